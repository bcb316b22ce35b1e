// A new index under a fresh unique name: the file is made by the platform's
// temporary file, which never reuses an existing file, and the index works
// on that very file through the stream it hands back, with its page cache.
#include <cstdlib>
#include <cstring>

#include "index/dbi.h"
#include "index/dbi_cache.h"
#include "index/dbi_internal.h"
#include "platform/tempfile.h"

int DbiNewTemp(DBI* dbi, const char* nameTemplate, const char* label, int keyLen) {
  size_t n = std::strlen(nameTemplate) + 1;
  char* name = static_cast<char*>(std::malloc(n));
  if (!name) return DbiFail(1, "fopen New File");
  std::memcpy(name, nameTemplate, n);
  int created = 0;
  dbi->Stream = DbiCacheStream(TempFileOpen(name, &created), kDbiCacheBytes);
  if (!created) {
    std::free(name);
    return DbiFail(1, "fopen New File");
  }
  // From here the file exists: its name stays in the handle for the caller
  // to delete, whatever follows.
  dbi->FileName = name;
  if (!dbi->Stream) return DbiFail(1, "fopen New File");
  // The rest is DbiNew's set-up of a new file: the same header and texts.
  return DbiSetUpNew(dbi, label, keyLen);
}
