// The cached stream where the C library has no cookie streams (or with
// VELMAR_PLAIN_STREAM, to test the callers against it): the C library's own
// stream, which buffers but keeps no page cache.
#include "platform/cachedstream.h"

#if !defined(__GLIBC__) || defined(VELMAR_PLAIN_STREAM)

FILE* CachedStreamOpen(const char* name, const char* mode, long cacheBytes) {
  (void)cacheBytes;
  return std::fopen(name, mode);
}

#endif
