// Where a computer's files lie: the log folder is $VELMAR_LOGDIR (the
// current directory when unset or empty); the local computer's files lie
// in it, a named computer's in its subfolder NAME. The stand-ins serve the
// live log and port list from there, and on every system the report reads
// a saved log there when VELMAR_LOGDIR is set.
#ifndef VELMAR_LOGFOLDER_LOGDIR_H
#define VELMAR_LOGFOLDER_LOGDIR_H

#include <cstddef>

// A computer's files in its folder, named as the server names them.
const char kSystemLogFile[] = "SysEvent.Evt";  // the SYSTEM event log
const char kPortListFile[] = "RasPorts.txt";   // the RAS port names, one a line

// Builds the path of `file` for the computer `server` into out (outSize
// bytes). server is null for the local computer, else "\\NAME" or "NAME".
// NAME must be a plain host name: 1 to 255 letters, digits, '-', '_' and
// '.', not starting with '.'; anything else (empty, "..", slashes,
// backslashes) is refused, so no name reaches a file outside the log folder.
// Returns 1 with the path written, 0 for a refused name or a path that does
// not fit.
int PlatformComputerPath(const char* server, const char* file, char* out, size_t outSize);

// The name a message gives to `file` of the computer `server`, into out
// (size > 0 bytes, cut to fit): its path as PlatformComputerPath builds it,
// else the computer name as it stands (the log folder itself for the local
// computer, when its path does not fit).
void ComputerFileName(const char* server, const char* file, char* out, size_t size);

// Whether VELMAR_LOGDIR is set and not empty: then the report reads the
// saved log in the log folder rather than the live one.
bool LogFolderSet(void);

#endif  // VELMAR_LOGFOLDER_LOGDIR_H
