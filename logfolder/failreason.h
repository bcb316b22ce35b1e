// Why a log file or a port list could not be opened or read, told as the one
// short text a message puts after its name ("PATH: REASON"). The report and
// the log tool both take it from here, so they say the same of the same file.
#ifndef VELMAR_LOGFOLDER_FAILREASON_H
#define VELMAR_LOGFOLDER_FAILREASON_H

#include <cstddef>

#include "platform/winapi.h"

// Keeps, for this thread, a short fixed text that says more about a failure
// than its Win32 code does: which check a damaged log failed ("no
// end-of-file record"), what is wrong in a port list ("a line holds a NUL
// byte"). The stand-ins clear it when an open begins and set it where they
// fail; null clears it. Windows's own calls leave none.
void PlatformSetErrorDetail(const char* detail);

// The detail of the last failure that set one, or null. Read it together
// with GetLastError, right after the failed call; reading it leaves
// GetLastError alone.
const char* PlatformErrorDetail(void);

// Writes "NAME: REASON" into out (size bytes, size > 0; cut to fit, always
// ended by a NUL). REASON follows the Win32 code of the failed open or read:
//   ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND  "No such file or directory"
//   ERROR_ACCESS_DENIED                         "permission denied"
//   ERROR_DIRECTORY                             "a folder, not a file"
//   ERROR_BAD_FILE_TYPE                         "not a regular file"
//   ERROR_BAD_FORMAT                            "not an event log file"
//   ERROR_EVENTLOG_FILE_CORRUPT                 "damaged: DETAIL" ("damaged")
//   ERROR_INVALID_DATA                          "invalid data: DETAIL"
//   ERROR_READ_FAULT                            "read error"
//   ERROR_INVALID_NAME                          "not a valid computer name"
//   ERROR_NOT_ENOUGH_MEMORY                     "out of memory"
//   ERROR_NO_UNICODE_TRANSLATION                "a name that can't be converted"
//   ERROR_MOD_NOT_FOUND, ERROR_PROC_NOT_FOUND   "library not found"
//   any other code                              "error N" (N in decimal)
// detail may be null (PlatformErrorDetail's). A byte of name below 0x20 or
// 0x7F is written as '?', so that a name from a web form cannot start a
// line of its own in a server's log.
void DescribeOpenFailure(const char* name, DWORD error, const char* detail, char* out, size_t size);

#endif  // VELMAR_LOGFOLDER_FAILREASON_H
