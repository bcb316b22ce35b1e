// The unique name on Windows, drawn with rand_s, the C runtime's secure
// random numbers, so that runs at once seldom even try the same name.
// rand_s is declared only where this is defined before the first header.
#define _CRT_RAND_S
#include "platform/uniquename.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

int UniqueFileOpen(char* name, int suffixLen, int flags, int permissions) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  size_t n = std::strlen(name);
  char* unique = n >= static_cast<size_t>(suffixLen) + 6 ? name + n - suffixLen - 6 : nullptr;
  if (suffixLen < 0 || unique == nullptr || std::strncmp(unique, "XXXXXX", 6) != 0) {
    errno = EINVAL;
    return -1;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (int i = 0; i < 6; ++i) {
      unsigned int r = 0;
      if (rand_s(&r) != 0) return errno = EIO, -1;
      unique[i] = kChars[r % (sizeof kChars - 1)];
    }
    int fd = -1;
    errno_t err =
        _sopen_s(&fd, name, _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT | flags,
                 _SH_DENYNO, permissions);
    if (err == 0) return fd;
    if (err != EEXIST) return errno = err, -1;
  }
  errno = EEXIST;
  return -1;
}
