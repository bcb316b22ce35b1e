// Files that make and sample write whole or not at all: made under a unique
// name beside their place and put there once complete (over the old file
// only when replacing it); removed again when the run fails, and by the
// signal guard when a signal ends it.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/signalguard.h"
#include "tools/logtool.h"

namespace {

const char* const kUniqueTail = ".XXXXXX.tmp";
const int kSuffixLen = 4;  // ".tmp" after the X's

}  // namespace

int NewFileOpen(NewFile* f, const char* path, int replace, int permissions) {
  memset(f, 0, sizeof *f);
  f->Path = path;
  f->Replace = replace;
  // Replacing a device or a FIFO means writing to it; there is no file to
  // keep, and a name beside /dev/null is nothing to make.
  f->Rename = !replace || PlatformIsRegularFile(path) != 0;
  if (!f->Rename) {
    snprintf(f->Name, sizeof f->Name, "%s", path);
    return PlatformCreateFile(path, replace, permissions);
  }
  // Without replace, refused at once where something is; NewFilePlace
  // refuses again should something come meanwhile.
  if (!replace && PlatformPathTaken(path)) {
    errno = EEXIST;
    return -1;
  }
  if (static_cast<size_t>(snprintf(f->Name, sizeof f->Name, "%s%s", path, kUniqueTail)) >=
      sizeof f->Name) {
    errno = ENAMETOOLONG;
    return -1;
  }
  // The guard learns the name before any signal can arrive.
  SignalGuardHold();
  int fd = PlatformCreateUniqueFile(f->Name, kSuffixLen, permissions);
  int err = errno;
  if (fd >= 0) {
    f->Made = 1;
    f->Guard = SignalGuardAddFile(f->Name) + 1;
  }
  SignalGuardLetGo();
  errno = err;
  return fd;
}

int NewFilePlace(NewFile* f) {
  if (!f->Rename) return 1;
  SignalGuardHold();
  int placed =
      f->Replace ? PlatformReplaceFile(f->Name, f->Path) : PlatformPlaceNewFile(f->Name, f->Path);
  int err = errno;
  if (placed == 0) {
    SignalGuardDropFile(f->Guard - 1);
    f->Guard = 0;
    f->Made = 0;  // it is the file at Path now
  }
  SignalGuardLetGo();
  errno = err;
  return placed == 0;
}

void NewFileDiscard(NewFile* f) {
  SignalGuardHold();
  if (f->Made) std::remove(f->Name);
  f->Made = 0;
  SignalGuardDropFile(f->Guard - 1);
  f->Guard = 0;
  SignalGuardLetGo();
}

void NewFilesGuard(void) {
  SignalGuardHold();
  SignalGuardInstall();
  SignalGuardLetGo();
}

void NewFilesUnguard(void) {
  SignalGuardHold();
  SignalGuardRemove();
  SignalGuardLetGo();
}
