// Environment and local time with the Windows C runtime: _putenv_s sets a
// variable, and removes it when the value is empty.
#include "platform/environment.h"

#include <cstdlib>

int PlatformSetEnv(const char* name, const char* value) {
  return _putenv_s(name, value) == 0;
}

void PlatformUnsetEnv(const char* name) {
  _putenv_s(name, "");
}

void PlatformReadZone(void) {
  _tzset();
}

int PlatformLocalTime(time_t t, struct tm* out) {
  return localtime_s(out, &t) == 0;
}

int PlatformMakeLocalTime(const struct tm* local, time_t* t) {
  struct tm copy = *local;
  copy.tm_isdst = -1;
  time_t v = mktime(&copy);
  if (v == static_cast<time_t>(-1)) return 0;
  *t = v;
  return 1;
}
