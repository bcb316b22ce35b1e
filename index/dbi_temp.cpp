// A new index under a fresh unique name. The file is created exclusively
// (never an existing file, never through a link) and the stream is opened on
// that very file through its descriptor, so whatever later happens to the
// name, the index reads and writes only what it created.
#include <fcntl.h>
#include <unistd.h>

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

// A zero-filled buffer of keyLen + 1 bytes, or null.
char* KeyBuffer(int keyLen) {
  return static_cast<char*>(std::calloc(static_cast<size_t>(keyLen) + 1, 1));
}

}  // namespace

int DbiNewTemp(DBI* dbi, const char* nameTemplate, const char* label, int keyLen) {
  size_t n = std::strlen(nameTemplate) + 1;
  char* name = static_cast<char*>(std::malloc(n));
  if (!name) return DbiFail(1, "fopen New File");
  std::memcpy(name, nameTemplate, n);
  int fd = mkostemps(name, SuffixLength(name), O_CLOEXEC);
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
  int usable = keyLen >= 0 && keyLen <= INT16_MAX - 16;
  dbi->KeyLen = static_cast<int16_t>(keyLen);
  dbi->Header.RecLen = static_cast<int16_t>(keyLen + 16);
  DbiCopyPadded(dbi->Header.Label, label, sizeof dbi->Header.Label);
  dbi->Key = usable ? KeyBuffer(keyLen) : nullptr;
  if (!dbi->Key) return DbiFail(2, "Key in New");
  dbi->SearchKey = KeyBuffer(keyLen);
  if (!dbi->SearchKey) return DbiFail(3, "Key in New");
  DbiLastStatus = DbiSaveHeader(dbi);
  if (DbiLastStatus != 0) return DbiFail(4, "Save Header in New");
  return 0;
}
