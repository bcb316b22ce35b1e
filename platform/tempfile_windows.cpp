// The unique temporary file on Windows, which has no mkostemps: the six X's
// become random letters and digits until an exclusive creation succeeds. The
// file is deleted by the system when its last handle closes, so also when
// the process is ended from outside (a web server's timeout), where no
// handler of ours could run.
#include "platform/tempfile.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/uniquename.h"

namespace {

// How many characters follow the last 'X' of the pattern.
int SuffixLength(const char* name) {
  const char* x = std::strrchr(name, 'X');
  return x ? static_cast<int>(std::strlen(x + 1)) : 0;
}

}  // namespace

// There is no name for the descriptor to reach its file by, so the stream
// is a plain one on the descriptor.
FILE* TempFileOpen(char* name, int* created) {
  *created = 0;
  int fd = UniqueFileOpen(name, SuffixLength(name), _O_TEMPORARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  *created = 1;
  FILE* stream = _fdopen(fd, "w+b");
  if (!stream) _close(fd);
  return stream;
}

FILE* TempSpoolOpen(void) {
  char name[MAX_PATH + 32];
  const char* dir = std::getenv("TMPDIR");
  if (dir != nullptr && dir[0] != '\0') {
    if (std::snprintf(name, sizeof name, "%s\\", dir) >= MAX_PATH) {
      errno = ENAMETOOLONG;
      return nullptr;
    }
  } else if (GetTempPathA(MAX_PATH + 1, name) == 0) {
    errno = ENOENT;
    return nullptr;
  }
  std::strcat(name, "velmarXXXXXX.tmp");
  int fd = UniqueFileOpen(name, 4, _O_TEMPORARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  FILE* stream = _fdopen(fd, "w+b");
  if (!stream) _close(fd);
  return stream;
}
