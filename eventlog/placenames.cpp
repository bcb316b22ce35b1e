// The names a message gives to the places a report reads and writes: a
// saved log by its path under the log folder, the live log and port list as
// the system's services (or their stand-ins) name them, and the working
// folder.
#include "eventlog/placenames.h"

#include "logfolder/logdir.h"
#include "platform/files.h"
#include "platform/logservice.h"

void SystemLogName(const char* server, char* out, size_t size) {
  if (LogFolderSet()) {
    ComputerFileName(server, kSystemLogFile, out, size);
  } else {
    LiveLogName(server, out, size);
  }
}

void PortListName(const char* server, char* out, size_t size) {
  LivePortListName(server, out, size);
}

void WorkingFolderName(char* out, size_t size) {
  PlatformWorkingFolder(out, size);
}
