// A report day written as a date: "2026-12-01" on the command line or in the
// form's "date" field stands for the offset in days from today to that
// date, so a window can be asked for without counting days back.
#ifndef VELMAR_DRIVER_DATES_H
#define VELMAR_DRIVER_DATES_H

#include "driver/options.h"
#include "eventlog/logread.h"

// Whether argument 1 of the command line is meant as a date rather than an
// offset: it starts with four digits and a '-' ("2026-12-01", also a
// malformed "2026-13-01" or "2026-2-3"). Such a text read as an offset
// would be thousands of days ahead.
bool ArgumentIsDate(const char* arg);

// When opts->Date is set, sets opts->Offset to the days from today to that
// date, both in the report's zone (SetReportZone) as the window reckons its
// days, today being the day of now. Returns null, or "Bad Date" when the
// text is not exactly YYYY-MM-DD or names no real date (2026-02-30); Offset
// is then left alone.
const char* ApplyDate(ReportOptions* opts, EventTime now);

#endif  // VELMAR_DRIVER_DATES_H
