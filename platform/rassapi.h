// The remote-access library "RASSAPI.dll": the size of the port records it
// hands back, on every system, and the exports of its stand-in, which
// LoadLibraryA serves from this folder. Callers bind them by ordinal through
// GetProcAddress, never by these names, exactly as with the real library.
#ifndef VELMAR_PLATFORM_RASSAPI_H
#define VELMAR_PLATFORM_RASSAPI_H

#include "platform/winapi.h"

// Size of one port record of the enumeration; the port name, in UTF-16 and
// ended by a 0 unit, is its first field. The stand-in zeroes the rest.
#define RAS_PORT_RECORD_SIZE 948

// Reads the port list file at path by the rules of RasPorts.txt below, on
// every system (a saved server's list read anywhere). Only a regular file is
// read. Results as ordinal 5; release *ports with PlatformFreePortFile.
DWORD PlatformReadPortFile(const char* path, BYTE** ports, WORD* count);

// Releases what PlatformReadPortFile gave (null is accepted).
void PlatformFreePortFile(BYTE* ports);

#ifndef _WIN32

// Ordinal 5: the ports of the local computer (server null) or of the
// computer "\\NAME" or "NAME", read from its RasPorts.txt under the log
// folder: UTF-8, one port name per line in the server's order, the final
// line end optional, a CR before a line end (or the end of the file)
// dropped, a leading byte-order mark skipped, a blank line an empty name.
// Returns 0 with *ports a heap array of *count records (null for an empty
// list), to be given back to ordinal 10. Otherwise returns a Win32 error
// with *ports null and *count 0: ERROR_INVALID_NAME for a refused computer
// name, PlatformOpenRegular's codes when the list can't be opened or is no
// regular file (a FIFO, a device or a folder fails at once),
// ERROR_READ_FAULT when it can't be read, ERROR_INVALID_DATA for more than
// 65535 lines, a NUL byte or a name too long for its record (the detail in
// PlatformErrorDetail), ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER for
// null out-pointers.
DWORD PlatformRasPortEnum(const WCHAR* server, BYTE** ports, WORD* count);

// Ordinal 10: releases an array that ordinal 5 returned (null is accepted).
// Always returns 0.
DWORD PlatformRasFreeBuffer(void* buffer);

#endif  // _WIN32

#endif  // VELMAR_PLATFORM_RASSAPI_H
