// Maps a computer name to its files under the log folder, refusing every
// name that could leave that folder: a web form chooses the computer. Paths
// are written with the system's own separator, the names of the files under
// the log folder as a user there would type them.
#include "logfolder/logdir.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace {

bool PlainHostName(const char* name) {
  size_t n = std::strlen(name);
  if (n == 0 || n > 255 || name[0] == '.') return false;
  for (size_t i = 0; i < n; ++i) {
    char c = name[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

int PlatformComputerPath(const char* server, const char* file, char* out, size_t outSize) {
  const char* dir = std::getenv("VELMAR_LOGDIR");
  if (dir == nullptr || dir[0] == '\0') dir = ".";
  int n;
  if (server == nullptr) {
    n = std::snprintf(out, outSize, "%s%s%s", dir, kPlatformPathSeparator, file);
  } else {
    const char* name = server;
    if (name[0] == '\\' && name[1] == '\\') name += 2;
    if (!PlainHostName(name)) return 0;
    n = std::snprintf(out, outSize, "%s%s%s%s%s", dir, kPlatformPathSeparator, name,
                      kPlatformPathSeparator, file);
  }
  return n > 0 && static_cast<size_t>(n) < outSize;
}

void ComputerFileName(const char* server, const char* file, char* out, size_t size) {
  if (PlatformComputerPath(server, file, out, size)) return;
  std::snprintf(out, size, "%s", server != nullptr ? server : "the log folder");
}

bool LogFolderSet(void) {
  const char* dir = std::getenv("VELMAR_LOGDIR");
  return dir != nullptr && dir[0] != '\0';
}
