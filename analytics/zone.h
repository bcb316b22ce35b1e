// Local time for the answers: the offset from UTC in force at an instant
// (the zone is TZ as the C library last read it, by SetReportZone or
// PlatformReadZone), ISO 8601 texts with that offset, the times a user
// types, and the edges of clock hours, days, weeks and months. Zones with
// daylight time and half-hour offsets come out right: an hour or a day is
// cut where the clock shows a new hour or a new date.
#ifndef VELMAR_ANALYTICS_ZONE_H
#define VELMAR_ANALYTICS_ZONE_H

#include <cstddef>
#include <cstdint>

#include "eventlog/logread.h"

// Bytes of the longest ISO text ZoneFormat writes, "2026-12-08T09:30:00
// +00:19:32" (an offset with seconds), and its terminator.
const size_t kIsoTextSize = 29;

// Quarter hours whose offsets a ZoneCache remembers: 16 hours of them, so
// that a session's start, printed beside its end, is found as a rule.
const int kZoneSlots = 64;

// Remembers the offsets of recent quarter hours, each in the slot of its
// number, so that printing a million times asks the C library about once
// per quarter hour of them.
struct ZoneCache {
  EventTime From[kZoneSlots];  // the offset holds on [From, To)
  EventTime To[kZoneSlots];    // From == To marks an empty entry
  int32_t Offset[kZoneSlots];  // seconds east of UTC
  EventTime TextDay;           // local day (days since 1970) of DayText; see ZoneFormat
  char DayText[11];            // "YYYY-MM-DDT" of TextDay, unterminated
};

// A local date and time.
struct CivilTime {
  int Year;     // 1 to 9999
  int Month;    // 1 to 12
  int Day;      // 1 to 31
  int Hour;     // 0 to 23
  int Minute;   // 0 to 59
  int Second;   // 0 to 59
  int Weekday;  // 0 Monday to 6 Sunday
};

// The length of a bucket of the busy table.
enum BucketStep {
  kStepHour,   // a clock hour
  kStepDay,    // a calendar day
  kStepWeek,   // a calendar week, from local midnight of a Monday
  kStepMonth,  // a calendar month, from local midnight of its first day
};

// The step's name as the command line and the answers give it: "hour",
// "day", "week" or "month".
const char* BucketStepName(BucketStep step);

// Empties the cache; call before first use.
void ZoneInit(ZoneCache* z);

// Seconds east of UTC in force at t (0 where the C library knows no local
// time for t).
int32_t ZoneOffset(ZoneCache* z, EventTime t);

// The local date and time of t.
void ZoneCivil(ZoneCache* z, EventTime t, CivilTime* out);

// Writes t as "YYYY-MM-DDTHH:MM:SS+HH:MM" (local time and its offset,
// "+00:00" for UTC; "+HH:MM:SS" when the offset has seconds, as local mean
// time has) with a terminator into out (kIsoTextSize bytes). t must lie in
// the years 0001 to 9999 (ZoneInIsoYears). Returns the length, 25 or 28.
size_t ZoneFormat(ZoneCache* z, EventTime t, char* out);

// Reads a time as a user gives it: "YYYY-MM-DD" (local midnight),
// "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (local time), each optionally
// followed by "Z" or "+HH:MM"/"-HH:MM" (or "+HH:MM:SS", as ZoneFormat
// writes an offset with seconds), which then fixes the offset. A local
// time the clock skips or shows twice is taken with one of the offsets
// around it. Returns 1 with *t set, 0 for anything else (a date that does not
// exist included).
int ZoneParse(ZoneCache* z, const char* text, EventTime* t);

// Reads a time as ZoneParse does, or one of the words and relative times
// a user types, read against now: "now"; "today" and "yesterday", local
// midnight of now's date and of the date before; "-Nd", the same local
// time N dates back (N of 1 to 9 digits), and "-Nh", N hours before now;
// "YYYY-MM", local midnight of that month's first day. A local time the
// clock skips or shows twice is taken as ZoneParse takes it. Returns 1
// with *t set, 0 for anything else.
int ZoneParseWhen(ZoneCache* z, const char* text, EventTime now, EventTime* t);

// Reads exactly "YYYY-MM-DD", a real date from year 1, as its day: days
// since 1970-01-01. Returns 1 with *days set, 0 for anything else.
int ZoneParseDay(const char* text, EventTime* days);

// Whether the local time of t lies in the years 0001 to 9999, the years a
// four-digit ISO 8601 time can name (ZoneFormat writes no other).
bool ZoneInIsoYears(ZoneCache* z, EventTime t);

// The local date of t, as days since 1970-01-01.
EventTime ZoneDay(ZoneCache* z, EventTime t);

// The local date of day (days since 1970-01-01) into out: Year, Month and
// Day; the clock fields are 0.
void ZoneCivilDay(EventTime day, CivilTime* out);

// The start of the bucket of the given step that holds t.
EventTime ZoneBucketStart(ZoneCache* z, BucketStep step, EventTime t);

// The start of the bucket after the one starting at start: the next instant
// the clock shows a new hour (or the date that starts the next day, week
// or month), or the offset changes within the hour.
EventTime ZoneBucketEnd(ZoneCache* z, BucketStep step, EventTime start);

// Probes of the offset are this far apart when runs of one offset are
// sought: a week, shorter than any stretch of daylight time.
const EventTime kZoneProbe = 7 * 86400;

// The runs of one offset over [from, to): run i starts at at[i] (at[0] is
// from) and has offset[i] (seconds east of UTC) until at[i + 1], the last
// until to. The offset is probed every kZoneProbe seconds, and where two
// probes differ the change is found to the second by bisection, so an
// offset that changes and changes back within a week goes unseen. Writes at
// most cap runs (the last then holds to the end). Returns how many, at
// least 1; from < to and cap >= 1.
int ZoneRuns(EventTime from, EventTime to, EventTime* at, int32_t* offset, int cap);

#endif  // VELMAR_ANALYTICS_ZONE_H
