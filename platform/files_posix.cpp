// The file calls on POSIX: open with O_EXCL or O_TRUNC, mkostemps, rename,
// pread and pwrite, lstat and stat, getcwd.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

// O_EXCL refuses whatever is at the path, a link even when dangling, so no
// file is ever written through one.
int CreateFlags(int replace) {
  return O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL);
}

}  // namespace

int PlatformCreateFile(const char* path, int replace, int permissions) {
  return open(path, O_RDWR | CreateFlags(replace), static_cast<mode_t>(permissions));
}

FILE* PlatformCreateStream(const char* path, int replace, int permissions) {
  int fd = open(path, O_WRONLY | CreateFlags(replace), static_cast<mode_t>(permissions));
  FILE* f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (f == nullptr && fd >= 0) {
    int err = errno;
    close(fd);
    errno = err;
  }
  return f;
}

int PlatformCreateUniqueFile(char* name, int suffixLen, int permissions) {
  int fd = mkostemps(name, suffixLen, O_CLOEXEC);
  if (fd < 0) return -1;
  // mkostemps makes it 0600; the file is to be what an open would have made.
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd, static_cast<mode_t>(permissions) & ~mask) != 0) {
    int err = errno;
    close(fd);
    unlink(name);
    errno = err;
    return -1;
  }
  return fd;
}

int PlatformReplaceFile(const char* from, const char* to) {
  return rename(from, to);
}

int PlatformPlaceNewFile(const char* from, const char* to) {
  // A link is made only where nothing is; then the temporary name goes.
  if (link(from, to) == 0) return unlink(from) == 0 || errno == ENOENT ? 0 : -1;
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return -1;
  // A file system without links: the same, with a moment between the look
  // and the rename.
  struct stat st;
  if (lstat(to, &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return rename(from, to);
}

int PlatformCloseFile(int fd) {
  return close(fd);
}

int PlatformSetFileSize(int fd, uint64_t size) {
  return ftruncate(fd, static_cast<off_t>(size));
}

int64_t PlatformReadAt(int fd, void* buf, size_t n, uint64_t at) {
  ssize_t got;
  do {
    got = pread(fd, buf, n, static_cast<off_t>(at));
  } while (got < 0 && errno == EINTR);
  return got;
}

int64_t PlatformWriteAt(int fd, const void* buf, size_t n, uint64_t at) {
  ssize_t done;
  do {
    done = pwrite(fd, buf, n, static_cast<off_t>(at));
  } while (done < 0 && errno == EINTR);
  return done;
}

bool PlatformPathTaken(const char* path) {
  struct stat st;
  return lstat(path, &st) == 0;
}

int PlatformIsRegularFile(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return -1;
  return S_ISREG(st.st_mode) ? 1 : 0;
}

const char kPlatformPathSeparator[] = "/";

void PlatformWorkingFolder(char* out, size_t size) {
  if (getcwd(out, size) != nullptr) return;
  // A removed folder has no path any more; the system still tells the one
  // it had ("... (deleted)").
  ssize_t n = readlink("/proc/self/cwd", out, size - 1);
  if (n > 0) {
    out[n] = '\0';
  } else {
    std::snprintf(out, size, ".");
  }
}

int PlatformMakeFolder(const char* path) {
  return mkdir(path, 0755);
}

int PlatformRemoveFolder(const char* path) {
  return rmdir(path);
}
