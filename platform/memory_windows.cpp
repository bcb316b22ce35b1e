// Memory hints on Windows: large pages need a privilege a report program
// does not hold, so the hint is dropped.
#include "platform/memory.h"

void PlatformAdviseLargePages(void* p, size_t bytes) {
  static_cast<void>(p);
  static_cast<void>(bytes);
}
