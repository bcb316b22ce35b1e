// A port list file (RasPorts.txt) read into the answer of the remote-access
// library "RASSAPI.dll" to its port enumeration, on every system: the
// library's stand-in reads a computer's list through it, and velmar-log a
// saved server's list anywhere.
#ifndef VELMAR_LOGFOLDER_PORTLIST_H
#define VELMAR_LOGFOLDER_PORTLIST_H

#include "platform/winapi.h"

// Size of one port record of the enumeration; the port name, in UTF-16 and
// ended by a 0 unit, is its first field. The reader zeroes the rest.
#define RAS_PORT_RECORD_SIZE 948

// Reads the port list file at path: UTF-8, one port name per line in the
// server's order, the final line end optional, a CR before a line end (or
// the end of the file) dropped, a leading byte-order mark skipped, a blank
// line an empty name. Only a regular file is read, and off Windows a FIFO,
// a device or a folder fails at once (PlatformOpenRegularStream). Returns 0
// with *ports a heap array of *count records (null for an empty list),
// released with PlatformFreePortFile. Otherwise returns a Win32 error with
// *ports null and *count 0: PlatformOpenRegularStream's codes when the list
// can't be opened or is no regular file, ERROR_READ_FAULT when it can't be
// read, ERROR_INVALID_DATA for more than 65535 lines, a NUL byte or a name
// too long for its record (the detail in PlatformErrorDetail),
// ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER for null arguments.
DWORD PlatformReadPortFile(const char* path, BYTE** ports, WORD* count);

// Releases what PlatformReadPortFile gave (null is accepted).
void PlatformFreePortFile(BYTE* ports);

#endif  // VELMAR_LOGFOLDER_PORTLIST_H
