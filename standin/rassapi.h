// The stand-in of the remote-access library "RASSAPI.dll", which
// LoadLibraryA serves off Windows: its two exports. Callers bind them by
// ordinal through GetProcAddress, never by these names, exactly as with the
// real library.
#ifndef VELMAR_STANDIN_RASSAPI_H
#define VELMAR_STANDIN_RASSAPI_H

#include "platform/winapi.h"

// Ordinal 5: the ports of the local computer (server null) or of the
// computer "\\NAME" or "NAME", read from its RasPorts.txt under the log
// folder by the rules of PlatformReadPortFile. Returns 0 with *ports a heap
// array of *count records of RAS_PORT_RECORD_SIZE bytes (null for an empty
// list), to be given back to ordinal 10. Otherwise returns a Win32 error
// with *ports null and *count 0: ERROR_INVALID_NAME for a refused computer
// name, else PlatformReadPortFile's codes.
DWORD PlatformRasPortEnum(const WCHAR* server, BYTE** ports, WORD* count);

// Ordinal 10: releases an array that ordinal 5 returned (null is accepted).
// Always returns 0.
DWORD PlatformRasFreeBuffer(void* buffer);

#endif  // VELMAR_STANDIN_RASSAPI_H
