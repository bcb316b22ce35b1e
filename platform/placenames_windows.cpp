// Place names on Windows: the system's own log and port library, unless the
// log folder is set, whose saved logs are files.
#include "platform/placenames.h"

#include <cstdio>
#include <cstdlib>

#include "logfolder/logdir.h"
#include "platform/files.h"

namespace {

// "WHAT of \\NAME", or "WHAT of this computer" for the local one.
void ServiceName(const char* what, const char* server, char* out, size_t size) {
  if (server == nullptr) {
    std::snprintf(out, size, "%s of this computer", what);
  } else {
    std::snprintf(out, size, "%s of %s", what, server);
  }
}

}  // namespace

void SystemLogName(const char* server, char* out, size_t size) {
  const char* dir = std::getenv("VELMAR_LOGDIR");
  if (dir == nullptr || dir[0] == '\0') {
    ServiceName("SYSTEM log", server, out, size);
  } else if (!PlatformComputerPath(server, kSystemLogFile, out, size)) {
    std::snprintf(out, size, "%s", server != nullptr ? server : "the log folder");
  }
}

void PortListName(const char* server, char* out, size_t size) {
  ServiceName("RAS ports", server, out, size);
}

void WorkingFolderName(char* out, size_t size) {
  PlatformWorkingFolder(out, size);
}
