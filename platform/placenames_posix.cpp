// Place names where the stand-ins serve everything from the log folder.
#include "platform/placenames.h"

#include <cstdio>

#include "logfolder/logdir.h"
#include "platform/files.h"

namespace {

// The file's path under the log folder, or the computer name as it stands
// (the log folder itself when a path in it is too long).
void FileName(const char* server, const char* file, char* out, size_t size) {
  if (PlatformComputerPath(server, file, out, size)) return;
  std::snprintf(out, size, "%s", server != nullptr ? server : "the log folder");
}

}  // namespace

void SystemLogName(const char* server, char* out, size_t size) {
  FileName(server, kSystemLogFile, out, size);
}

void PortListName(const char* server, char* out, size_t size) {
  FileName(server, kPortListFile, out, size);
}

void WorkingFolderName(char* out, size_t size) {
  PlatformWorkingFolder(out, size);
}
