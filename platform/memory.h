// Memory hints to the system: what a large, long-lived block of the
// program's own is for, so that the system can back it as suits it best.
// A hint never changes what the memory holds, and one the system can't
// take is dropped without a word.
#ifndef VELMAR_PLATFORM_MEMORY_H
#define VELMAR_PLATFORM_MEMORY_H

#include <cstddef>

// Bytes of the system's large pages, to which a block that wants them is
// aligned.
const size_t kPlatformLargePage = 2 << 20;

// Asks the system to back [p, p + bytes) with large pages where it can:
// a block that is touched all over (a page cache) then costs far fewer
// misses of the address cache. p is aligned to kPlatformLargePage.
void PlatformAdviseLargePages(void* p, size_t bytes);

#endif  // VELMAR_PLATFORM_MEMORY_H
