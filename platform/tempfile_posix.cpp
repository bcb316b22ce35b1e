// The unique temporary file with mkostemps; the stream is opened on the
// descriptor itself, so it reaches the file created, not whatever its name
// now points to. The spool is an unnamed file where the system makes one
// (O_TMPFILE).
#include "platform/tempfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/signalguard.h"

namespace {

// How many characters follow the last 'X' of the pattern: the suffix that
// the unique part is placed before.
int SuffixLength(const char* name) {
  const char* x = std::strrchr(name, 'X');
  return x ? static_cast<int>(std::strlen(x + 1)) : 0;
}

}  // namespace

FILE* TempFileOpen(char* name, int* created) {
  *created = 0;
  int fd = mkostemps(name, SuffixLength(name), O_CLOEXEC);
  if (fd < 0) return nullptr;
  *created = 1;
  FILE* stream = fdopen(fd, "w+b");
  if (!stream) close(fd);
  return stream;
}

FILE* TempSpoolOpen(void) {
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || dir[0] == '\0') dir = "/tmp";
  int fd = -1;
#ifdef O_TMPFILE
  fd = open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  // A file system without unnamed files: a named one, unlinked at once.
  if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return nullptr;
#endif
  if (fd < 0) {
    char name[4096];
    if (std::snprintf(name, sizeof name, "%s/velmarXXXXXX", dir) >= static_cast<int>(sizeof name)) {
      errno = ENAMETOOLONG;
      return nullptr;
    }
    // Signals wait while the name exists, so none can leave it behind.
    SignalGuardHold();
    fd = mkostemp(name, O_CLOEXEC);
    if (fd >= 0) unlink(name);
    SignalGuardLetGo();
    if (fd < 0) return nullptr;
  }
  FILE* stream = fdopen(fd, "w+b");
  if (stream == nullptr) {
    int err = errno;
    close(fd);
    errno = err;
  }
  return stream;
}
