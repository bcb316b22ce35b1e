// The operating-system services the report is written against: the event log,
// code-page conversion and run-time library loading, with the Win32 names,
// types and result conventions. A Windows build takes them from <windows.h>;
// elsewhere the stand-ins of standin/ provide them, so the modules above
// are written once and never know which they got.
#ifndef VELMAR_PLATFORM_WINAPI_H
#define VELMAR_PLATFORM_WINAPI_H

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef DWORD* PDWORD;
typedef void* HANDLE;
typedef void* LPVOID;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef char16_t WCHAR;  // one UTF-16 unit, as on Windows
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPWSTR;
typedef void* HMODULE;
typedef void (*FARPROC)(void);

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// The calling convention of the system's libraries: one convention here.
#define WINAPI

// Results kept for GetLastError (the Win32 numbers).
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_BAD_FORMAT 11
#define ERROR_INVALID_DATA 13
#define ERROR_READ_FAULT 30
#define ERROR_HANDLE_EOF 38
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_INVALID_NAME 123
#define ERROR_MOD_NOT_FOUND 126
#define ERROR_PROC_NOT_FOUND 127
#define ERROR_BAD_FILE_TYPE 222
#define ERROR_DIRECTORY 267
#define ERROR_NO_UNICODE_TRANSLATION 1113
#define ERROR_EVENTLOG_FILE_CORRUPT 1500

// Read flags of ReadEventLogA.
#define EVENTLOG_SEQUENTIAL_READ 0x0001
#define EVENTLOG_SEEK_READ 0x0002
#define EVENTLOG_FORWARDS_READ 0x0004
#define EVENTLOG_BACKWARDS_READ 0x0008

// Code pages: the ANSI one is UTF-8 here.
#define CP_ACP 0
#define CP_UTF8 65001

// One event log record as the read call hands it back. The variable part
// (source and computer names, SID, insertion strings, data, padding, the
// trailing copy of Length) follows the fixed part; the offsets are from the
// record's first byte.
typedef struct _EVENTLOGRECORD {
  DWORD Length;               // whole record, trailing Length copy included
  DWORD Reserved;             // signature 0x654C664C
  DWORD RecordNumber;         // number of the record in its log
  DWORD TimeGenerated;        // seconds since 1970-01-01 UTC, unsigned
  DWORD TimeWritten;          // seconds since 1970-01-01 UTC, unsigned
  DWORD EventID;              // full 32 bits; the code is the low 16
  WORD EventType;             // 1 error, 2 warning, 4 information, ...
  WORD NumStrings;            // number of insertion strings
  WORD EventCategory;         // source-specific category
  WORD ReservedFlags;         // unused
  DWORD ClosingRecordNumber;  // unused
  DWORD StringOffset;         // first insertion string
  DWORD UserSidLength;        // 0 when there is no SID
  DWORD UserSidOffset;        // the SID
  DWORD DataLength;           // binary data
  DWORD DataOffset;           // the binary data
} EVENTLOGRECORD, *PEVENTLOGRECORD;

DWORD GetLastError(void);
void SetLastError(DWORD error);

// Event log. Only the log "SYSTEM" is served; the server name is null for the
// local computer, else "\\NAME" or "NAME".
HANDLE OpenEventLogA(LPCSTR serverName, LPCSTR sourceName);
// A saved log: the .evt file at fileName on this computer (serverName must
// be null here). Close it with CloseEventLog, as any other log.
HANDLE OpenBackupEventLogA(LPCSTR serverName, LPCSTR fileName);
BOOL CloseEventLog(HANDLE log);
BOOL ReadEventLogA(HANDLE log, DWORD readFlags, DWORD recordOffset, LPVOID buffer,
                   DWORD bytesToRead, DWORD* bytesRead, DWORD* minBytesNeeded);
BOOL GetOldestEventLogRecord(HANDLE log, PDWORD oldestRecord);
BOOL GetNumberOfEventLogRecords(HANDLE log, PDWORD numberOfRecords);

// Code-page conversion. A call with a null output buffer and size 0
// measures; 0 means failure, also for an empty text.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLen, LPWSTR wide,
                        int wideLen);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLen, LPSTR multiByte,
                        int multiByteLen, LPCSTR defaultChar, BOOL* usedDefaultChar);

// Run-time libraries, for the remote-access library bound by ordinal.
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

#endif  // _WIN32

#endif  // VELMAR_PLATFORM_WINAPI_H
