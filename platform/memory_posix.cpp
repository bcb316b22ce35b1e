// Memory hints on POSIX systems: madvise, where the system has the advice.
#include "platform/memory.h"

#include <sys/mman.h>

void PlatformAdviseLargePages(void* p, size_t bytes) {
#ifdef MADV_HUGEPAGE
  if (bytes > 0) madvise(p, bytes, MADV_HUGEPAGE);
#else
  static_cast<void>(p);
  static_cast<void>(bytes);
#endif
}
