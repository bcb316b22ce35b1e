// The unique temporary file with mkostemps. The stream is opened on the
// file through the descriptor's own name in /proc, which reaches the file the
// descriptor holds, not whatever its name now points to.
#include "platform/tempfile.h"

#ifndef _WIN32

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/cachedstream.h"

namespace {

// How many characters follow the last 'X' of the pattern: the suffix that
// the unique part is placed before.
int SuffixLength(const char* name) {
  const char* x = std::strrchr(name, 'X');
  return x ? static_cast<int>(std::strlen(x + 1)) : 0;
}

// A read-write stream on the file behind fd; fd is given up on success.
// Without /proc the descriptor itself becomes a plain stream.
FILE* StreamOnDescriptor(int fd, long cacheBytes) {
  char path[40];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  FILE* stream = CachedStreamOpen(path, "r+b", cacheBytes);
  if (stream) {
    close(fd);
    return stream;
  }
  stream = fdopen(fd, "w+b");
  if (!stream) close(fd);
  return stream;
}

}  // namespace

FILE* TempFileOpen(char* name, long cacheBytes, int* created) {
  *created = 0;
  int fd = mkostemps(name, SuffixLength(name), O_CLOEXEC);
  if (fd < 0) return nullptr;
  *created = 1;
  return StreamOnDescriptor(fd, cacheBytes);
}

#endif  // !_WIN32
