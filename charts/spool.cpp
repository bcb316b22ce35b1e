// The spool: a temporary file from the platform, named in a message by the
// folder it was to be made in, read back in blocks.
#include "charts/spool.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/tempfile.h"

namespace {

// The spool's folder, for a message: TMPDIR, else the system's.
const char* SpoolFolder() {
  const char* dir = getenv("TMPDIR");
  return dir != nullptr && dir[0] != '\0' ? dir : "the system's temporary folder";
}

}  // namespace

FILE* SpoolOpen(const char* what, char* reason, size_t size) {
  FILE* spool = TempSpoolOpen();
  if (spool == nullptr)
    snprintf(reason, size, "%s: %s spool: %s", SpoolFolder(), what, strerror(errno));
  return spool;
}

int SpoolSend(FILE* spool, FILE* out) {
  char block[1 << 15];
  rewind(spool);
  for (size_t n; (n = fread(block, 1, sizeof block, spool)) > 0;) fwrite(block, 1, n, out);
  return ferror(spool) == 0;
}
