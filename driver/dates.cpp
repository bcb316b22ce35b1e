// Dates to offsets: both days are counted from 1970-01-01, the asked one on
// the calendar, today in the zone's standard time, so that a date and its
// offset give the same window.
#include "driver/dates.h"

#include "analytics/zone.h"

const char* ApplyDate(ReportOptions* opts, EventTime now) {
  if (opts->Date == nullptr) return nullptr;
  EventTime day = 0;
  if (!ZoneParseDay(opts->Date, &day)) return "Bad Date";
  SetReportZone();
  // Years 1 to 9999 lie within 3.7 million days of today: the offset fits.
  opts->Offset = static_cast<int32_t>(day - ReportDay(now));
  return nullptr;
}

bool WindowInIsoYears(EventTime start, EventTime end) {
  ZoneCache zone;
  ZoneInit(&zone);
  return ZoneInIsoYears(&zone, start) && ZoneInIsoYears(&zone, end);
}
