// The event log calls with their Win32 names and result conventions, over
// the .evt files of the log folder: only the log "SYSTEM" opens, a handle is
// an open file, failures are FALSE or null with the reason in GetLastError.
// Beyond them, what platform/logservice.h asks of the log: the header state
// read from the file, and the live log named by its path.
#include "standin/eventlog.h"

#include <cstddef>

#include "evt/evtfile.h"
#include "evt/evtformat.h"
#include "logfolder/logdir.h"
#include "platform/logservice.h"
#include "platform/winapi.h"

namespace {

const DWORD kSeekForwards = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;

// Whether name is "SYSTEM" in any case.
bool IsSystemLog(const char* name) {
  const char* want = "SYSTEM";
  for (; *want != '\0'; ++name, ++want) {
    char c = *name >= 'a' && *name <= 'z' ? static_cast<char>(*name - 'a' + 'A') : *name;
    if (c != *want) return false;
  }
  return *name == '\0';
}

// The open log behind a handle, or null (with ERROR_INVALID_HANDLE set).
EvtFile* LogOf(HANDLE log) {
  EvtFile* f = static_cast<EvtFile*>(log);
  if (f == nullptr || f->Magic != kEvtMagic) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return f;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

HANDLE OpenEventLogA(LPCSTR serverName, LPCSTR sourceName) {
  if (sourceName == nullptr || !IsSystemLog(sourceName)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  char path[4096];
  if (!PlatformComputerPath(serverName, kSystemLogFile, path, sizeof path)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return OpenBackupEventLogA(nullptr, path);
}

HANDLE OpenBackupEventLogA(LPCSTR serverName, LPCSTR fileName) {
  // A saved log is a file of this computer; another computer's files are
  // out of reach of the stand-in, as its event log service would be.
  if (serverName != nullptr || fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  EvtFile* f = nullptr;
  DWORD err = EvtOpen(fileName, &f);
  if (err != ERROR_SUCCESS) {
    SetLastError(err);
    return nullptr;
  }
  return f;
}

BOOL CloseEventLog(HANDLE log) {
  EvtFile* f = LogOf(log);
  if (f == nullptr) return FALSE;
  EvtClose(f);
  return TRUE;
}

BOOL ReadEventLogA(HANDLE log, DWORD readFlags, DWORD recordOffset, LPVOID buffer,
                   DWORD bytesToRead, DWORD* bytesRead, DWORD* minBytesNeeded) {
  EvtFile* f = LogOf(log);
  if (f == nullptr) return FALSE;
  if (bytesRead == nullptr || minBytesNeeded == nullptr || (buffer == nullptr && bytesToRead > 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  *bytesRead = 0;
  *minBytesNeeded = 0;
  // Records are read by number only; sequential reading is not offered.
  if (readFlags != kSeekForwards) return Fail(ERROR_INVALID_PARAMETER);
  uint32_t size = 0;
  DWORD err = EvtReadRecord(f, recordOffset, static_cast<uint8_t*>(buffer), bytesToRead, &size);
  if (err == ERROR_INSUFFICIENT_BUFFER) *minBytesNeeded = size;
  if (err != ERROR_SUCCESS) return Fail(err);
  *bytesRead = size;
  return TRUE;
}

BOOL GetOldestEventLogRecord(HANDLE log, PDWORD oldestRecord) {
  EvtFile* f = LogOf(log);
  if (f == nullptr) return FALSE;
  if (oldestRecord == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *oldestRecord = f->Oldest;
  return TRUE;
}

BOOL GetNumberOfEventLogRecords(HANDLE log, PDWORD numberOfRecords) {
  EvtFile* f = LogOf(log);
  if (f == nullptr) return FALSE;
  if (numberOfRecords == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *numberOfRecords = EvtCount(f);
  return TRUE;
}

// ---- Beyond the Win32 calls ----------------------------------------------

EvtStats EvtLogStats(HANDLE log) {
  const EvtFile* f = static_cast<const EvtFile*>(log);
  return f != nullptr ? f->Stats : EvtStats{0, 0};
}

EvtHeaderFacts EvtLogHeader(HANDLE log) {
  const EvtFile* f = static_cast<const EvtFile*>(log);
  if (f == nullptr || f->Magic != kEvtMagic) return EvtHeaderFacts{0, 0, 0};
  // A stale header may miss the wrap: when the oldest record lies behind the
  // EOF record, the records run over the file's end, whatever the flag says.
  bool runsOver = f->Oldest != 0 && f->End < f->Begin;
  return EvtHeaderFacts{1, (f->Flags & kEvtFlagDirty) != 0,
                        (f->Flags & kEvtFlagWrap) != 0 || runsOver};
}

void LiveLogName(const char* server, char* out, size_t size) {
  ComputerFileName(server, kSystemLogFile, out, size);
}
