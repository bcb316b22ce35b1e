// The file calls with the Windows C runtime, and MoveFileEx, which
// replaces a file in one step. The runtime has no positioned transfers on a
// descriptor: each descriptor here has one user that always says where, so
// a seek before each transfer does the same.
#include "platform/files.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "platform/uniquename.h"

namespace {

// Bytes, never text; not handed to child processes. O_EXCL refuses
// whatever is at the path.
int CreateFlags(int replace) {
  return O_CREAT | O_BINARY | O_NOINHERIT | (replace ? O_TRUNC : O_EXCL);
}

// errno for the error of a failed move.
void SetMoveErrno(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    errno = ENOENT;
  else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
    errno = EACCES;
  else if (error == ERROR_DISK_FULL)
    errno = ENOSPC;
  else if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
    errno = EEXIST;
  else
    errno = EIO;
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

// _sopen_s refuses permission bits it does not know: only the owner's
// write bit says anything here (a file without it is read-only).
int PlatformCreateUniqueFile(char* name, int suffixLen, int permissions) {
  int mode = _S_IREAD | ((permissions & 0200) != 0 ? _S_IWRITE : 0);
  return UniqueFileOpen(name, suffixLen, 0, mode);
}

// MoveFileEx replaces the file in one step; the C runtime's rename refuses
// a name that is taken.
int PlatformReplaceFile(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  SetMoveErrno(GetLastError());
  return -1;
}

int PlatformPlaceNewFile(const char* from, const char* to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails where a file is.
  if (MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH)) return 0;
  SetMoveErrno(GetLastError());
  return -1;
}

int PlatformCloseFile(int fd) {
  return _close(fd);
}

int PlatformSetFileSize(int fd, uint64_t size) {
  errno_t err = _chsize_s(fd, static_cast<__int64>(size));
  if (err == 0) return 0;
  errno = err;
  return -1;
}

int64_t PlatformReadAt(int fd, void* buf, size_t n, uint64_t at) {
  if (_lseeki64(fd, static_cast<__int64>(at), SEEK_SET) < 0) return -1;
  return _read(fd, buf, static_cast<unsigned>(n));
}

int64_t PlatformWriteAt(int fd, const void* buf, size_t n, uint64_t at) {
  if (_lseeki64(fd, static_cast<__int64>(at), SEEK_SET) < 0) return -1;
  return _write(fd, buf, static_cast<unsigned>(n));
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

const char kPlatformPathSeparator[] = "\\";

void PlatformWorkingFolder(char* out, size_t size) {
  if (_getcwd(out, static_cast<int>(size)) == nullptr) std::snprintf(out, size, ".");
}

int PlatformMakeFolder(const char* path) {
  return _mkdir(path);
}

int PlatformRemoveFolder(const char* path) {
  return _rmdir(path);
}
