// Environment and local time with the POSIX calls.
#include "platform/environment.h"

#ifndef _WIN32

#include <cstdlib>

int PlatformSetEnv(const char* name, const char* value) {
  return setenv(name, value, 1) == 0;
}

void PlatformUnsetEnv(const char* name) {
  unsetenv(name);
}

void PlatformReadZone(void) {
  tzset();
}

int PlatformLocalTime(time_t t, struct tm* out) {
  return localtime_r(&t, out) != nullptr;
}

#endif  // _WIN32
