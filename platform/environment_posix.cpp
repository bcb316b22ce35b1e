// Environment and local time with the POSIX calls.
#include "platform/environment.h"

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

int PlatformMakeLocalTime(const struct tm* local, time_t* t) {
  struct tm copy = *local;
  copy.tm_isdst = -1;
  time_t v = mktime(&copy);
  if (v == static_cast<time_t>(-1)) return 0;
  *t = v;
  return 1;
}
