// velmar-log's file calls with the Windows C runtime. It has no positioned
// transfers on a descriptor: each descriptor here has one user that always
// says where, so a seek before each transfer does the same.
#include "platform/files.h"

#ifdef _WIN32

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

// Bytes, never text; not handed to child processes. O_EXCL refuses
// whatever is at the path.
int CreateFlags(int replace) {
  return O_CREAT | O_BINARY | O_NOINHERIT | (replace ? O_TRUNC : O_EXCL);
}

}  // namespace

int PlatformCreateFile(const char* path, int replace, int permissions) {
  return _open(path, O_RDWR | CreateFlags(replace), permissions);
}

FILE* PlatformCreateStream(const char* path, int replace, int permissions) {
  int fd = _open(path, O_WRONLY | CreateFlags(replace), permissions);
  FILE* f = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
  if (f == nullptr && fd >= 0) {
    int err = errno;
    _close(fd);
    errno = err;
  }
  return f;
}

int PlatformCloseFile(int fd) {
  return _close(fd);
}

int PlatformSetFileSize(int fd, uint64_t size) {
  errno_t err = _chsize_s(fd, (__int64)size);
  if (err == 0) return 0;
  errno = err;
  return -1;
}

int64_t PlatformReadAt(int fd, void* buf, size_t n, uint64_t at) {
  if (_lseeki64(fd, (__int64)at, SEEK_SET) < 0) return -1;
  return _read(fd, buf, (unsigned)n);
}

int64_t PlatformWriteAt(int fd, const void* buf, size_t n, uint64_t at) {
  if (_lseeki64(fd, (__int64)at, SEEK_SET) < 0) return -1;
  return _write(fd, buf, (unsigned)n);
}

bool PlatformPathTaken(const char* path) {
  struct _stat64 st;
  return _stat64(path, &st) == 0;
}

int PlatformIsRegularFile(const char* path) {
  struct _stat64 st;
  if (_stat64(path, &st) != 0) return -1;
  return (st.st_mode & _S_IFMT) == _S_IFREG ? 1 : 0;
}

int PlatformMakeFolder(const char* path) {
  return _mkdir(path);
}

#endif  // _WIN32
