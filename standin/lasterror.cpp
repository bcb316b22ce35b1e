// The per-thread last-error value behind GetLastError.
#include "platform/winapi.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError(void) {
  return lastError;
}

void SetLastError(DWORD error) {
  lastError = error;
}
