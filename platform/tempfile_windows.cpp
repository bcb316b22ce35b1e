// The unique temporary file on Windows, which has no mkostemps: the six X's
// become random letters and digits until an exclusive creation succeeds. The
// file is deleted by the system when its last handle closes, so also when
// the process is ended from outside (a web server's timeout), where no
// handler of ours could run.
#ifdef _WIN32
#define _CRT_RAND_S  // rand_s, the C runtime's secure random numbers
#endif
#include "platform/tempfile.h"

#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// How many characters follow the last 'X' of the pattern.
int SuffixLength(const char* name) {
  const char* x = std::strrchr(name, 'X');
  return x ? static_cast<int>(std::strlen(x + 1)) : 0;
}

int MakeUniqueFile(char* name, int suffixLen) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  size_t n = std::strlen(name);
  if (n < static_cast<size_t>(suffixLen) + 6) return -1;
  char* unique = name + n - suffixLen - 6;
  if (std::strncmp(unique, "XXXXXX", 6) != 0) return -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (int i = 0; i < 6; ++i) {
      unsigned int r = 0;
      if (rand_s(&r) != 0) return -1;
      unique[i] = kChars[r % (sizeof kChars - 1)];
    }
    int fd = -1;
    errno_t err =
        _sopen_s(&fd, name, _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT | _O_TEMPORARY,
                 _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (err == 0) return fd;
    if (err != EEXIST) return -1;
  }
  return -1;
}

}  // namespace

// There is no name for the descriptor to reach its file by, so the stream
// is a plain one on the descriptor.
FILE* TempFileOpen(char* name, long cacheBytes, int* created) {
  (void)cacheBytes;
  *created = 0;
  int fd = MakeUniqueFile(name, SuffixLength(name));
  if (fd < 0) return nullptr;
  *created = 1;
  FILE* stream = _fdopen(fd, "w+b");
  if (!stream) _close(fd);
  return stream;
}

#endif  // _WIN32
