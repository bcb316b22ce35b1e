// Local time through the one conversion the report's listing uses too
// (RasLocalTime), turned into offsets once per quarter hour and cached;
// dates are reckoned by the proleptic Gregorian calendar in plain integer
// arithmetic, so no other time call is needed.
#include "analytics/zone.h"

#include <cstring>
#include <ctime>

#include "eventlog/rasevent.h"

namespace {

const EventTime kDay = 86400;
const EventTime kHour = 3600;
const EventTime kQuarter = 900;  // offsets change on quarter hours, if ever inside one

EventTime FloorDiv(EventTime a, EventTime b) {
  EventTime q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

EventTime FloorMod(EventTime a, EventTime b) {
  return a - FloorDiv(a, b) * b;
}

// Days from 1970-01-01 to the given date.
EventTime DaysFromCivil(EventTime y, EventTime m, EventTime d) {
  y -= m <= 2;
  EventTime era = FloorDiv(y, 400);
  EventTime yoe = y - era * 400;
  EventTime doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  EventTime doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(EventTime z, CivilTime* out) {
  z += 719468;
  EventTime era = FloorDiv(z, 146097);
  EventTime doe = z - era * 146097;
  EventTime yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  EventTime doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  EventTime mp = (5 * doy + 2) / 153;
  EventTime m = mp < 10 ? mp + 3 : mp - 9;
  out->Year = static_cast<int>(yoe + era * 400 + (m <= 2));
  out->Month = static_cast<int>(m);
  out->Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
}

// Local seconds (seconds since 1970-01-01 00:00:00 of the local clock).
void CivilFromLocal(EventTime local, CivilTime* out) {
  EventTime days = FloorDiv(local, kDay);
  EventTime secs = local - days * kDay;
  CivilFromDays(days, out);
  out->Hour = static_cast<int>(secs / kHour);
  out->Minute = static_cast<int>(secs / 60 % 60);
  out->Second = static_cast<int>(secs % 60);
  out->Weekday = static_cast<int>(FloorMod(days + 3, 7));  // 1970-01-01 was a Thursday
}

// The offset the C library gives for t.
int32_t LibraryOffset(EventTime t) {
  std::tm tm;
  if (!RasLocalTime(t, &tm)) return 0;
  EventTime local = DaysFromCivil(tm.tm_year + 1900LL, tm.tm_mon + 1, tm.tm_mday) * kDay +
                    tm.tm_hour * kHour + tm.tm_min * 60 + tm.tm_sec;
  return static_cast<int32_t>(local - t);
}

// The instant the local clock shows local (seconds of the local clock). Of
// two instants it picks the earlier; in a gap the clock skips, the instant
// that the old offset gives.
EventTime LocalToInstant(ZoneCache* z, EventTime local) {
  int32_t before = ZoneOffset(z, local - 2 * kDay);
  int32_t after = ZoneOffset(z, local + 2 * kDay);
  EventTime a = local - before, b = local - after;
  bool aFits = ZoneOffset(z, a) == before, bFits = ZoneOffset(z, b) == after;
  if (aFits && bFits) return a < b ? a : b;
  if (bFits) return b;
  return a;
}

// Reads exactly n digits at *p into *value and steps over them.
bool Digits(const char** p, int n, int* value) {
  int v = 0;
  for (int i = 0; i < n; ++i) {
    char c = (*p)[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *p += n;
  *value = v;
  return true;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "YYYY-MM-DD" at *p; a real date from year 1.
bool ParseDate(const char** p, CivilTime* c) {
  if (!Digits(p, 4, &c->Year) || *(*p)++ != '-' || !Digits(p, 2, &c->Month) || *(*p)++ != '-' ||
      !Digits(p, 2, &c->Day)) {
    return false;
  }
  return c->Year >= 1 && c->Month >= 1 && c->Month <= 12 && c->Day >= 1 &&
         c->Day <= DaysInMonth(c->Year, c->Month);
}

// "THH:MM[:SS]" at *p, when there is a 'T'.
bool ParseClock(const char** p, CivilTime* c) {
  c->Hour = c->Minute = c->Second = 0;
  if (**p != 'T') return true;
  ++*p;
  if (!Digits(p, 2, &c->Hour) || *(*p)++ != ':' || !Digits(p, 2, &c->Minute)) return false;
  if (**p == ':' && (++*p, !Digits(p, 2, &c->Second))) return false;
  return c->Hour <= 23 && c->Minute <= 59 && c->Second <= 59;
}

// "Z", "+HH:MM" or "-HH:MM" at *p into *offset (seconds east); *given 0
// when the text ends instead.
bool ParseOffset(const char** p, int* given, int32_t* offset) {
  *given = **p != '\0';
  if (**p == '\0') return true;
  if (**p == 'Z') {
    ++*p;
    *offset = 0;
    return **p == '\0';
  }
  int sign = **p == '+' ? 1 : **p == '-' ? -1 : 0;
  int hours, minutes, seconds = 0;
  ++*p;
  if (sign == 0 || !Digits(p, 2, &hours) || *(*p)++ != ':' || !Digits(p, 2, &minutes)) {
    return false;
  }
  if (**p == ':' && (++*p, !Digits(p, 2, &seconds))) return false;
  *offset = sign * (hours * 3600 + minutes * 60 + seconds);
  return **p == '\0' && hours <= 23 && minutes <= 59 && seconds <= 59;
}

// The first local day (days since 1970) of the day, week or month that
// holds local day d.
EventTime FirstDay(BucketStep step, EventTime d) {
  if (step == kStepWeek) return d - FloorMod(d + 3, 7);  // 1970-01-01 was a Thursday
  if (step != kStepMonth) return d;
  CivilTime c;
  CivilFromDays(d, &c);
  return DaysFromCivil(c.Year, c.Month, 1);
}

// The first local day of the day, week or month after the one that starts
// on local day first.
EventTime NextFirstDay(BucketStep step, EventTime first) {
  if (step == kStepWeek) return first + 7;
  if (step != kStepMonth) return first + 1;
  CivilTime c;
  CivilFromDays(first, &c);
  return c.Month == 12 ? DaysFromCivil(c.Year + 1, 1, 1) : DaysFromCivil(c.Year, c.Month + 1, 1);
}

// Puts v as width digits with leading zeros.
char* PutDigits(char* out, int v, int width) {
  for (int i = width - 1; i >= 0; --i, v /= 10) out[i] = static_cast<char>('0' + v % 10);
  return out + width;
}

}  // namespace

void ZoneInit(ZoneCache* z) {
  for (int i = 0; i < kZoneSlots; ++i) z->From[i] = z->To[i] = 0, z->Offset[i] = 0;
  z->TextDay = INT64_MIN;  // no day's text yet
}

int32_t ZoneOffset(ZoneCache* z, EventTime t) {
  EventTime quarter = FloorDiv(t, kQuarter);
  int slot = static_cast<int>(quarter & (kZoneSlots - 1));
  if (t >= z->From[slot] && t < z->To[slot]) return z->Offset[slot];
  EventTime a = quarter * kQuarter;
  int32_t first = LibraryOffset(a);
  if (LibraryOffset(a + kQuarter - 1) == first) {
    z->From[slot] = a, z->To[slot] = a + kQuarter, z->Offset[slot] = first;
  } else {
    // The offset changes inside this quarter hour: remember only t.
    z->From[slot] = t, z->To[slot] = t + 1, z->Offset[slot] = LibraryOffset(t);
  }
  return z->Offset[slot];
}

void ZoneCivil(ZoneCache* z, EventTime t, CivilTime* out) {
  CivilFromLocal(t + ZoneOffset(z, t), out);
}

// Times come in runs of one day (a session list, a bucket table), so the
// date part is worked out once a day and copied.
size_t ZoneFormat(ZoneCache* z, EventTime t, char* out) {
  int32_t offset = ZoneOffset(z, t);
  EventTime local = t + offset;
  EventTime day = FloorDiv(local, kDay);
  if (day != z->TextDay) {
    CivilTime c;
    CivilFromDays(day, &c);
    char* d = PutDigits(z->DayText, c.Year, 4);
    *d++ = '-';
    d = PutDigits(d, c.Month, 2);
    *d++ = '-';
    d = PutDigits(d, c.Day, 2);
    *d = 'T';
    z->TextDay = day;
  }
  std::memcpy(out, z->DayText, sizeof z->DayText);
  int32_t secs = static_cast<int32_t>(local - day * kDay);
  char* p = PutDigits(out + sizeof z->DayText, secs / 3600, 2);
  *p++ = ':';
  p = PutDigits(p, secs / 60 % 60, 2);
  *p++ = ':';
  p = PutDigits(p, secs % 60, 2);
  *p++ = offset < 0 ? '-' : '+';
  int32_t east = offset < 0 ? -offset : offset;
  p = PutDigits(p, east / 3600 % 100, 2);
  *p++ = ':';
  p = PutDigits(p, east / 60 % 60, 2);
  // An offset of seconds (local mean time) is written whole, or the text
  // would name another instant.
  if (east % 60 != 0) {
    *p++ = ':';
    p = PutDigits(p, east % 60, 2);
  }
  *p = '\0';
  return static_cast<size_t>(p - out);
}

int ZoneParse(ZoneCache* z, const char* text, EventTime* t) {
  CivilTime c;
  const char* p = text;
  int given = 0;
  int32_t offset = 0;
  if (!ParseDate(&p, &c) || !ParseClock(&p, &c) || !ParseOffset(&p, &given, &offset)) return 0;
  EventTime local =
      DaysFromCivil(c.Year, c.Month, c.Day) * kDay + c.Hour * kHour + c.Minute * 60 + c.Second;
  *t = given ? local - offset : LocalToInstant(z, local);
  return 1;
}

int ZoneParseWhen(ZoneCache* z, const char* text, EventTime now, EventTime* t) {
  EventTime local = now + ZoneOffset(z, now);
  EventTime today = FloorDiv(local, kDay);
  if (strcmp(text, "now") == 0) {
    *t = now;
  } else if (strcmp(text, "today") == 0 || strcmp(text, "yesterday") == 0) {
    *t = LocalToInstant(z, (text[0] == 't' ? today : today - 1) * kDay);
  } else if (text[0] == '-') {
    // "-" then 1 to 9 digits then the unit, d or h.
    size_t digits = strspn(text + 1, "0123456789");
    char unit = text[1 + digits];
    if (digits == 0 || digits > 9 || (unit != 'd' && unit != 'h') || text[2 + digits] != '\0')
      return 0;
    EventTime n = 0;
    for (size_t i = 1; i <= digits; ++i) n = n * 10 + (text[i] - '0');
    *t = unit == 'h' ? now - n * kHour : LocalToInstant(z, local - n * kDay);
  } else {
    CivilTime c;
    const char* p = text;
    if (Digits(&p, 4, &c.Year) && *p++ == '-' && Digits(&p, 2, &c.Month) && *p == '\0') {
      if (c.Year < 1 || c.Month < 1 || c.Month > 12) return 0;
      *t = LocalToInstant(z, DaysFromCivil(c.Year, c.Month, 1) * kDay);
      return 1;
    }
    return ZoneParse(z, text, t);
  }
  return 1;
}

int ZoneParseDay(const char* text, EventTime* days) {
  CivilTime c;
  const char* p = text;
  if (!ParseDate(&p, &c) || *p != '\0') return 0;
  *days = DaysFromCivil(c.Year, c.Month, c.Day);
  return 1;
}

bool ZoneInIsoYears(ZoneCache* z, EventTime t) {
  // Any t works: the offset of a time the C library can't convert is 0.
  EventTime local = t + ZoneOffset(z, t);
  return local >= DaysFromCivil(1, 1, 1) * kDay && local < DaysFromCivil(10000, 1, 1) * kDay;
}

EventTime ZoneDay(ZoneCache* z, EventTime t) {
  return FloorDiv(t + ZoneOffset(z, t), kDay);
}

void ZoneCivilDay(EventTime day, CivilTime* out) {
  CivilFromLocal(day * kDay, out);
}

const char* BucketStepName(BucketStep step) {
  static const char* const kNames[] = {"hour", "day", "week", "month"};
  return kNames[step];
}

EventTime ZoneBucketStart(ZoneCache* z, BucketStep step, EventTime t) {
  EventTime local = t + ZoneOffset(z, t);
  if (step == kStepHour) return t - FloorMod(local, kHour);
  EventTime start = LocalToInstant(z, FirstDay(step, FloorDiv(local, kDay)) * kDay);
  return start <= t ? start : t;
}

EventTime ZoneBucketEnd(ZoneCache* z, BucketStep step, EventTime start) {
  int32_t offset = ZoneOffset(z, start);
  EventTime local = start + offset;
  if (step != kStepHour) {
    EventTime first = FirstDay(step, FloorDiv(local, kDay));
    EventTime end = LocalToInstant(z, NextFirstDay(step, first) * kDay);
    return end > start ? end : start + kDay;
  }
  EventTime end = start + kHour - FloorMod(local, kHour);
  if (ZoneOffset(z, end) == offset) return end;
  // The offset changes within the hour: the bucket ends where it does.
  EventTime lo = start, hi = end;
  while (hi - lo > 1) {
    EventTime mid = lo + (hi - lo) / 2;
    (ZoneOffset(z, mid) == offset ? lo : hi) = mid;
  }
  return hi;
}

// Bisection keeps lo on the run's offset and hi past it: the change lies in
// (lo, hi], found in log2(kZoneProbe) calls, about 20.
int ZoneRuns(EventTime from, EventTime to, EventTime* at, int32_t* offset, int cap) {
  int runs = 1;
  at[0] = from;
  offset[0] = LibraryOffset(from);
  for (EventTime probe = from; probe < to && runs < cap;) {
    EventTime next = to - probe > kZoneProbe ? probe + kZoneProbe : to - 1;
    if (next <= probe) break;
    if (LibraryOffset(next) == offset[runs - 1]) {
      probe = next;
      continue;
    }
    EventTime lo = probe, hi = next;
    while (hi - lo > 1) {
      EventTime mid = lo + (hi - lo) / 2;
      (LibraryOffset(mid) == offset[runs - 1] ? lo : hi) = mid;
    }
    at[runs] = hi;
    offset[runs] = LibraryOffset(hi);
    ++runs;
    probe = hi;
  }
  return runs;
}
