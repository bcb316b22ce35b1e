// Opening a file of the log folder (a saved log or a port list) for
// reading: read-only, and off Windows without ever blocking and only a
// regular file, so a FIFO, a device or a folder put where a log or a port
// list should be fails at once. Every refusal is a Win32 code.
#ifndef VELMAR_PLATFORM_REGULARFILE_H
#define VELMAR_PLATFORM_REGULARFILE_H

#include <cstdint>
#include <cstdio>

#include "platform/winapi.h"

// Opens path as a stream of bytes for the caller to fclose. Returns
// ERROR_SUCCESS with *file set; otherwise *file is null and the result is
// PlatformOpenRegular's code, or ERROR_NOT_ENOUGH_MEMORY when the stream
// can't be made. On Windows any file the C runtime opens is taken, and
// every failure is ERROR_FILE_NOT_FOUND.
DWORD PlatformOpenRegularStream(const char* path, FILE** file);

// Off Windows only: there the system's event log service opens the logs,
// and nothing reads a file through a descriptor of its own.
#ifndef _WIN32

// Opens path read-only and non-blocking (a FIFO's open would wait for a
// writer) and checks that it is a regular file. Returns ERROR_SUCCESS with
// *fd open for the caller to close and *size the file's size; otherwise *fd
// is -1 and the result is the code the system would give:
// ERROR_FILE_NOT_FOUND (no such file), ERROR_PATH_NOT_FOUND (a part of the
// path is not a folder), ERROR_ACCESS_DENIED, ERROR_DIRECTORY (a folder),
// ERROR_BAD_FILE_TYPE (a FIFO, a device, a socket), ERROR_NOT_ENOUGH_MEMORY,
// or ERROR_READ_FAULT (its kind cannot be told).
DWORD PlatformOpenRegular(const char* path, int* fd, uint64_t* size);

#endif  // _WIN32

#endif  // VELMAR_PLATFORM_REGULARFILE_H
