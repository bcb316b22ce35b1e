// A report day written as a date: "2026-12-01" on the command line or in the
// form's "date" field stands for the offset in days from today to that
// date, so a window can be asked for without counting days back.
#ifndef VELMAR_DRIVER_DATES_H
#define VELMAR_DRIVER_DATES_H

#include "driver/options.h"
#include "eventlog/logread.h"

// When opts->Date is set, sets opts->Offset to the days from today to that
// date, both in the report's zone (SetReportZone) as the window reckons its
// days, today being the day of now. Returns null, or "Bad Date" when the
// text is not exactly YYYY-MM-DD or names no real date (2026-02-30); Offset
// is then left alone.
const char* ApplyDate(ReportOptions* opts, EventTime now);

// Whether the window [start, end) lies in the years 0001 to 9999 of the
// report's zone, its end included: the years the charts and the downloads
// write their times in. Call SetReportZone first.
bool WindowInIsoYears(EventTime start, EventTime end);

#endif  // VELMAR_DRIVER_DATES_H
