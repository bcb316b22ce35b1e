// A new file under a fresh unique name, opened for reading and writing. The
// file is created exclusively (never an existing file, never through a link)
// and the stream is opened on that very file, so whatever later happens to
// the name, the stream reaches only what was created. On Windows the file
// is opened delete-on-close: the system removes it when the process ends,
// however it ends.
#ifndef VELMAR_PLATFORM_TEMPFILE_H
#define VELMAR_PLATFORM_TEMPFILE_H

#include <cstdio>

// name holds a pattern whose last 'X' is preceded by five more ("XXXXXX"),
// for example "velmarXXXXXX.tmp"; on return the six X's are the unique part
// of the name the file was created under. The stream reads and writes as
// bytes ("w+b" on the new file). *created is 1 once a file exists under
// name, also when no stream could be opened on it (the caller then deletes
// it), and 0 when none was made. Null on failure.
FILE* TempFileOpen(char* name, int* created);

// A temporary file for a download's spool, opened for reading and writing
// as bytes, in the folder TMPDIR names, else the system's (/tmp; on Windows
// the folder the system gives). It has no name once this returns (on
// Linux it never has one), or the system deletes it when it is closed, so
// nothing of it outlives the process, however the process ends. Null with
// errno set when none can be made there: a caller that needs the spool
// must then give up, as the folder is not to be bypassed.
FILE* TempSpoolOpen(void);

#endif  // VELMAR_PLATFORM_TEMPFILE_H
