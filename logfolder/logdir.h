// Where the stand-in services find a computer's files: the log folder is
// $VELMAR_LOGDIR (the current directory when unset or empty); the local
// computer's files lie in it, a named computer's in its subfolder NAME.
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

#endif  // VELMAR_LOGFOLDER_LOGDIR_H
