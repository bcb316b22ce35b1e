// Environment variables and the local time that follows TZ. The C library
// need not read TZ again each time it converts a time, so a change of TZ is
// sure to take effect only after PlatformReadZone.
#ifndef VELMAR_PLATFORM_ENVIRONMENT_H
#define VELMAR_PLATFORM_ENVIRONMENT_H

#include <ctime>

// Sets the variable name to value (a copy is kept), replacing any it had.
// value must not be empty: on Windows an empty value removes the variable.
// Returns 1, or 0 when the environment can't take it.
int PlatformSetEnv(const char* name, const char* value);

// Removes the variable name from the environment; one not set is fine.
void PlatformUnsetEnv(const char* name);

// Has the C library read the time zone from TZ again (tzset): from here on
// local times and the standard-time offset follow it.
void PlatformReadZone(void);

// Breaks t down into *out as local time in the zone last read. Returns 1,
// or 0 for a time the C library can't convert.
int PlatformLocalTime(time_t t, struct tm* out);

// The instant the local clock shows at the date and time in *local (its
// tm_isdst and the weekday fields are not read), in the zone last read;
// where the clock shows that time twice, or skips it, the C library picks
// one of the offsets around it. Returns 1 with *t set, or 0 when the C
// library has no such instant.
int PlatformMakeLocalTime(const struct tm* local, time_t* t);

#endif  // VELMAR_PLATFORM_ENVIRONMENT_H
