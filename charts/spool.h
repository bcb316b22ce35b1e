// A temporary file that holds an answer until it is whole: a download, or
// the report of a page whose charts must go out ahead of it. The file has
// no name while it is used (platform/tempfile.h), so nothing of it
// outlives the run, however the run ends.
#ifndef VELMAR_CHARTS_SPOOL_H
#define VELMAR_CHARTS_SPOOL_H

#include <cstddef>
#include <cstdio>

// Opens a spool in TMPDIR (else the system's temporary folder). Returns
// it, or null with reason set to "FOLDER: WHAT spool: REASON" (what names
// the spool's use: "download", "page").
FILE* SpoolOpen(const char* what, char* reason, size_t size);

// Copies the whole spool, from its start, to out. Returns 1, or 0 when it
// can't be read back.
int SpoolSend(FILE* spool, FILE* out);

#endif  // VELMAR_CHARTS_SPOOL_H
