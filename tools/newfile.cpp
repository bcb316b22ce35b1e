// Files that make and sample write whole or not at all: made exclusively
// where nothing was, or under a unique name beside the file they replace
// and renamed over it once complete; removed again when the run fails.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "tools/logtool.h"

namespace {

const char* const kUniqueTail = ".XXXXXX.tmp";
const int kSuffixLen = 4;  // ".tmp" after the X's

}  // namespace

int NewFileOpen(NewFile* f, const char* path, int replace, int permissions) {
  memset(f, 0, sizeof *f);
  f->Path = path;
  // Replacing a device or a FIFO means writing to it; there is no file to
  // keep, and a name beside /dev/null is nothing to make.
  int mode = replace ? PlatformIsRegularFile(path) : -1;
  f->Rename = replace && mode != 0;
  const char* tail = f->Rename ? kUniqueTail : "";
  if ((size_t)snprintf(f->Name, sizeof f->Name, "%s%s", path, tail) >= sizeof f->Name) {
    errno = ENAMETOOLONG;
    return -1;
  }
  int fd = f->Rename ? PlatformCreateUniqueFile(f->Name, kSuffixLen, permissions)
                     : PlatformCreateFile(f->Name, replace, permissions);
  f->Made = fd >= 0 && (f->Rename || !replace);
  return fd;
}

int NewFilePlace(NewFile* f) {
  if (!f->Rename) return 1;
  if (PlatformReplaceFile(f->Name, f->Path) != 0) return 0;
  f->Made = 0;  // it is the file at Path now
  return 1;
}

void NewFileDiscard(NewFile* f) {
  if (f->Made) std::remove(f->Name);
  f->Made = 0;
}
