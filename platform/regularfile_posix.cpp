// Opening a file of the log folder on POSIX: non-blocking, regular files
// only, every refusal a Win32 code.
#include "platform/regularfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

DWORD OpenError(int err) {
  switch (err) {
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_FILE_NOT_FOUND;
  }
}

// Why a file that opened is no file to read, or 0 when it is one.
DWORD KindError(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return ERROR_SUCCESS;
  return S_ISDIR(st.st_mode) ? ERROR_DIRECTORY : ERROR_BAD_FILE_TYPE;
}

}  // namespace

DWORD PlatformOpenRegular(const char* path, int* fd, uint64_t* size) {
  *fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (*fd < 0) return OpenError(errno);
  struct stat st;
  DWORD err = fstat(*fd, &st) != 0 ? ERROR_READ_FAULT : KindError(st);
  if (err != ERROR_SUCCESS) {
    close(*fd);
    *fd = -1;
    return err;
  }
  *size = static_cast<uint64_t>(st.st_size);
  return ERROR_SUCCESS;
}

DWORD PlatformOpenRegularStream(const char* path, FILE** file) {
  int fd = -1;
  uint64_t size = 0;
  DWORD error = PlatformOpenRegular(path, &fd, &size);
  if (error != ERROR_SUCCESS) return error;
  *file = fdopen(fd, "rb");
  if (*file != nullptr) return ERROR_SUCCESS;
  close(fd);
  return ERROR_NOT_ENOUGH_MEMORY;
}
