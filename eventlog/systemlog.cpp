// The SYSTEM log the report reads: the live log, or a saved log in the log
// folder when VELMAR_LOGDIR names one, so a copy of a server's log can be
// reported on from any desktop.
#include "eventlog/systemlog.h"

#include "logfolder/logdir.h"

HANDLE OpenSystemLog(const char* server) {
  if (!LogFolderSet()) return OpenEventLogA(server, "SYSTEM");
  char path[4096];
  if (!PlatformComputerPath(server, kSystemLogFile, path, sizeof path)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  // A saved log is a file on this computer, whichever server it came from.
  return OpenBackupEventLogA(nullptr, path);
}
