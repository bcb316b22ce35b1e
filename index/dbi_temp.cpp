// A new index under a fresh unique name. The file is created exclusively
// (never an existing file, never through a link) and the stream is opened on
// that very file through its descriptor, so whatever later happens to the
// name, the index reads and writes only what it created.
#ifdef _WIN32
#define _CRT_RAND_S  // rand_s, the C runtime's secure random numbers
#endif
#include <fcntl.h>
#include <unistd.h>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#endif

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "index/dbi.h"
#include "index/dbi_internal.h"
#include "index/dbi_stream.h"

namespace {

// How many characters follow the last 'X' of the template: the suffix that
// the unique part is placed before.
int SuffixLength(const char* name) {
  const char* x = std::strrchr(name, 'X');
  return x ? static_cast<int>(std::strlen(x + 1)) : 0;
}

#ifdef _WIN32

// Windows has no mkostemps: the six X's before the suffix become random
// letters and digits until an exclusive creation succeeds. The file is
// deleted by the system when its last handle closes, so also when the
// process is ended from outside (a web server's timeout), where no handler
// of ours could run.
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

// A read-write stream on the file behind fd; fd is given up on success.
// There is no name for the descriptor to reach its file by, so it becomes a
// plain stream.
FILE* StreamOnDescriptor(int fd) {
  FILE* stream = _fdopen(fd, "w+b");
  if (!stream) _close(fd);
  return stream;
}

#else

int MakeUniqueFile(char* name, int suffixLen) {
  return mkostemps(name, suffixLen, O_CLOEXEC);
}

// A read-write stream on the file behind fd; fd is given up on success.
// The descriptor's own name in /proc reaches the same file as fd does (not
// whatever the file's name now points to), and gives the index its cached
// stream; without /proc the descriptor itself becomes a plain stream.
FILE* StreamOnDescriptor(int fd) {
  char path[40];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  FILE* stream = DbiStreamOpen(path, "r+b");
  if (stream) {
    close(fd);
    return stream;
  }
  stream = fdopen(fd, "w+b");
  if (!stream) close(fd);
  return stream;
}

#endif  // _WIN32

}  // namespace

int DbiNewTemp(DBI* dbi, const char* nameTemplate, const char* label, int keyLen) {
  size_t n = std::strlen(nameTemplate) + 1;
  char* name = static_cast<char*>(std::malloc(n));
  if (!name) return DbiFail(1, "fopen New File");
  std::memcpy(name, nameTemplate, n);
  int fd = MakeUniqueFile(name, SuffixLength(name));
  if (fd < 0) {
    std::free(name);
    return DbiFail(1, "fopen New File");
  }
  // From here the file exists: its name stays in the handle for the caller
  // to delete, whatever follows.
  dbi->FileName = name;
  dbi->Stream = StreamOnDescriptor(fd);
  if (!dbi->Stream) return DbiFail(1, "fopen New File");
  // The rest is DbiNew's set-up of a new file: the same header and texts.
  return DbiSetUpNew(dbi, label, keyLen);
}
