// The SYSTEM log the report reads: the live log, or on Windows a saved log
// in the log folder when VELMAR_LOGDIR names one. Off Windows the stand-in
// event log already serves the log folder, so there is nothing to choose.
#include "platform/systemlog.h"

#ifdef _WIN32

#include <cstdlib>

#include "platform/logdir.h"

HANDLE OpenSystemLog(const char* server) {
  const char* dir = std::getenv("VELMAR_LOGDIR");
  if (dir == nullptr || dir[0] == '\0') return OpenEventLogA(server, "SYSTEM");
  char path[MAX_PATH];
  if (!PlatformComputerPath(server, "SysEvent.Evt", path, sizeof path)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  // A saved log is a file on this computer, whichever server it came from.
  return OpenBackupEventLogA(nullptr, path);
}

#else

HANDLE OpenSystemLog(const char* server) {
  return OpenEventLogA(server, "SYSTEM");
}

#endif  // _WIN32
