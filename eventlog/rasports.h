// The RAS port list of a server as plain 8-bit names, from the remote-access
// library "RASSAPI.dll" bound by ordinal, and the two code-page conversions
// between the ANSI code page and UTF-16 that the library's answer needs.
#ifndef VELMAR_EVENTLOG_RASPORTS_H
#define VELMAR_EVENTLOG_RASPORTS_H

#include "logfolder/portlist.h"  // RAS_PORT_RECORD_SIZE
#include "platform/winapi.h"

// The library and what is bound from it.
#define RAS_LIBRARY_NAME "RASSAPI.dll"
#define RAS_PORT_ENUM_ORDINAL 5     // enumerate the ports of a server
#define RAS_FREE_BUFFER_ORDINAL 10  // release an array the enumeration gave

// Ordinal 5: server is a UTF-16 name or null for the local server; on 0 the
// library has put a heap array of *count records of RAS_PORT_RECORD_SIZE
// bytes in *ports, each starting with its UTF-16 port name ended by a 0
// unit. Any other result is a failure.
typedef DWORD(WINAPI* RasPortEnumFn)(const WCHAR* server, BYTE** ports, WORD* count);

// Ordinal 10: releases an array that ordinal 5 gave; the result is not used.
typedef DWORD(WINAPI* RasFreeBufferFn)(void* buffer);

// Converts a NUL-terminated text in the ANSI code page to a new heap UTF-16
// string ended by a 0 unit, for the caller to release with free(). Null
// text, an empty text or a failed conversion give null.
WCHAR* AnsiToWide(const char* text);

// Converts a UTF-16 text ended by a 0 unit to a new heap string in the ANSI
// code page ended by one NUL byte, for the caller to release with free().
// Null text, an empty text or a failed conversion give null.
char* WideToAnsi(const WCHAR* text);

// Lists the RAS ports of serverName (null for the local server; a name is
// passed on as it stands, leading backslashes included). count and names
// must not be null. Returns
//   0  success: *count ports, and when it is above 0 *names is a heap array
//      of *count heap NUL-terminated names in the library's order; the
//      caller releases each name, then the array, with free();
//   1  the server name can't be converted (an empty name counts as such);
//   2  the library can't be loaded or bound, or the enumeration failed;
//   3  no memory for the name array;
//   4  a port name can't be converted (an empty name counts as such).
// After any result but 0, and after 0 with no ports, *count is 0, *names is
// null and nothing is left to release. After a result but 0, GetLastError
// tells why: ERROR_INVALID_NAME (1), the library's or the enumeration's own
// code (2; with the stand-in's PlatformErrorDetail), ERROR_NOT_ENOUGH_MEMORY
// (3), ERROR_INVALID_DATA (4, with PlatformErrorDetail "an empty port name"
// or "a port name that can't be converted").
int GetRasPorts(const char* serverName, int* count, char*** names);

#endif  // VELMAR_EVENTLOG_RASPORTS_H
