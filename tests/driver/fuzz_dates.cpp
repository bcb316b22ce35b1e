// Fuzzes the date and zone texts a user gives: the input is the form's
// "date" field, then after a line end its "tz" field. The zone is taken as
// the form takes it (TzFieldAllowed, then OptionsFinish), the date turned
// into the report's offset (ApplyDate) and read as velmar-log reads
// --since (ZoneParse, and ZoneParseWhen for its words and times relative
// to now, which agree with the plain texts they stand for). A date that is
// taken is a real day and names it;
// every instant read is written back (ZoneFormat) as a text that reads as
// the same instant; a time given with its offset is the same in any zone;
// and away from a change of offset the local time written is the one read.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "analytics/zone.h"
#include "driver/cgimode.h"
#include "driver/dates.h"
#include "driver/options.h"

namespace {

const EventTime kNow = 1796702400;  // 2026-12-08 04:00:00 UTC, the tests' clock
const EventTime kDay = 86400;
// How far either side an instant's offset must hold for its clock to be
// taken as steady: the C library takes offsets of up to 24:59:59 either
// way, so a rule's clock may skip nearly 50 hours (a zone such as
// "SGT32:2nda-029-" skips 2201-01-03 whole).
const EventTime kSteady = 3 * kDay;

// The length of the date and clock of a time text that ZoneParse took:
// "YYYY-MM-DD", then "THH:MM", then ":SS"; an offset may follow ("Z",
// "+HH:MM").
size_t ClockLength(const std::string& text) {
  if (text.size() <= 10 || text[10] != 'T') return 10;
  return text.size() > 16 && text[16] == ':' ? 19 : 16;
}

bool OffsetGiven(const std::string& text) {
  return text.size() > ClockLength(text);
}

// The local year of t lies where the texts can write it.
bool Writable(ZoneCache* z, EventTime t) {
  CivilTime c;
  ZoneCivil(z, t, &c);
  return c.Year >= 1 && c.Year <= 9999;
}

// What the zone from the form makes of the time text; *t set when taken.
// Whether the zone holds offset at every hour within kSteady of t: only
// then must the clock at t show what was read. Rules the C library takes
// may hold an offset for a day or two only (a malformed rule about the
// new year), so two probes far apart are not enough.
bool Steady(ZoneCache* z, EventTime t, int32_t offset) {
  for (EventTime d = -kSteady; d <= kSteady; d += 3600) {
    if (ZoneOffset(z, t + d) != offset) return false;
  }
  return true;
}

bool ReadInZone(const std::string& date, EventTime* t) {
  ZoneCache z;
  ZoneInit(&z);
  if (!ZoneParse(&z, date.c_str(), t)) return false;
  if (!Writable(&z, *t)) return true;
  char text[kIsoTextSize];
  // The offset is written with its seconds when it has them ("+00:19:32"),
  // so the text is exact; and under a day, as ISO 8601 offsets are (the C
  // library takes rules of up to 24:59:59, POSIX's hours running to 24).
  int32_t offset = ZoneOffset(&z, *t);
  size_t length = offset % 60 == 0 ? kIsoTextSize - 4 : kIsoTextSize - 1;
  if (ZoneFormat(&z, *t, text) != length) __builtin_trap();
  EventTime again = 0;
  if (offset > -86400 && offset < 86400 && (!ZoneParse(&z, text, &again) || again != *t))
    __builtin_trap();
  // With no offset in the text and a steady clock about the instant, the
  // clock shows what was read, seconds included (the text
  // may leave them out).
  if (!OffsetGiven(date) && Steady(&z, *t, offset)) {
    std::string shown(text, 19);
    std::string read = date.substr(0, ClockLength(date));
    if (read.size() == 10) read += "T00:00";
    if (read.size() == 16) read += ":00";
    if (shown != read) __builtin_trap();
  }
  return true;
}

// The words and relative times of --since: a plain time reads as
// ZoneParse reads it; the others as the plain text they stand for.
void CheckWords(const std::string& text) {
  ZoneCache z;
  ZoneInit(&z);
  EventTime plain = 0, t = 0;
  bool isPlain = ZoneParse(&z, text.c_str(), &plain);
  bool taken = ZoneParseWhen(&z, text.c_str(), kNow, &t);
  if (isPlain) {
    if (!taken || t != plain) __builtin_trap();
    return;
  }
  if (!taken) return;
  CivilTime now;
  ZoneCivil(&z, kNow, &now);
  char expect[32] = "";
  if (text == "now") {
    if (t != kNow) __builtin_trap();
  } else if (text == "today" || text == "yesterday") {
    // The day of now, or the day before, at its midnight.
    CivilTime day;
    ZoneCivilDay(ZoneDay(&z, kNow) - (text == "yesterday"), &day);
    snprintf(expect, sizeof expect, "%04d-%02d-%02d", day.Year, day.Month, day.Day);
  } else if (text.size() == 7 && text[4] == '-') {
    snprintf(expect, sizeof expect, "%s-01", text.c_str());  // the month's first day
  } else if (text.back() == 'h') {
    if (t != kNow - 3600 * std::stoll(text.substr(1))) __builtin_trap();
  } else if (text.back() == 'd') {
    // N dates back at now's clock time, unless the offset changed about it.
    int64_t days = std::stoll(text.substr(1));
    CivilTime back;
    ZoneCivilDay(ZoneDay(&z, kNow) - days, &back);
    snprintf(expect, sizeof expect, "%04d-%02d-%02dT%02d:%02d:%02d", back.Year, back.Month,
             back.Day, now.Hour, now.Minute, now.Second);
    if (back.Year < 1 || !Steady(&z, t, ZoneOffset(&z, t))) return;
  } else {
    __builtin_trap();  // nothing else is taken
  }
  EventTime want = 0;
  if (expect[0] != '\0' && (!ZoneParse(&z, expect, &want) || want != t)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  if (input.find('\0') != std::string::npos) return 0;  // form fields end at a NUL
  size_t cut = input.find('\n');
  std::string date = input.substr(0, cut);
  std::string tz = cut == std::string::npos ? "" : input.substr(cut + 1);
  if (tz.find('\n') != std::string::npos) return 0;

  // The form's fields, as the run takes them.
  unsetenv("TZ");
  ReportOptions opts;
  OptionsInit(&opts);
  opts.Date = date.c_str();
  if (cut != std::string::npos && TzFieldAllowed(tz.c_str())) opts.TZ = tz.c_str();
  OptionsFinish(&opts);
  const char* message = ApplyDate(&opts, kNow);
  EventTime day = 0;
  bool isDay = ZoneParseDay(date.c_str(), &day);
  if ((message == nullptr) != isDay) __builtin_trap();
  if (message != nullptr && std::strcmp(message, "Bad Date") != 0) __builtin_trap();
  // The offset counts the days from today in the zone to the date, and
  // holds them whole in its 32 bits.
  if (isDay && opts.Offset != day - ReportDay(kNow)) __builtin_trap();
  EventTime inZone = 0;
  bool taken = ReadInZone(date, &inZone);
  CheckWords(date);
  if (isDay && !taken) __builtin_trap();

  // The same texts in UTC: a day is written back as its own date, and a
  // time with its own offset is the instant it was in the form's zone.
  setenv("TZ", "UTC0", 1);
  tzset();
  EventTime inUtc = 0;
  if (ReadInZone(date, &inUtc) != taken) __builtin_trap();
  if (taken && OffsetGiven(date) && inUtc != inZone) __builtin_trap();
  if (isDay) {
    ZoneCache z;
    ZoneInit(&z);
    char text[kIsoTextSize];
    ZoneFormat(&z, day * kDay, text);
    if (date != std::string(text, 10)) __builtin_trap();
  }
  return 0;
}
