// The web form's downloads: the sessions, users or busy hours of the
// report's computer over the report's window, answered as velmar-log
// answers "sessions", "users" or "busy" (by hour) with --since and --until
// at the window's start and end, and sent as a CSV or JSON attachment in
// place of the page.
#ifndef VELMAR_DRIVER_DOWNLOAD_H
#define VELMAR_DRIVER_DOWNLOAD_H

#include "driver/report.h"

// Answers the download the form asks for (run->Web.Export, in the format
// run->Web.Format, csv when absent) on run->Out. The answer is written to a
// temporary file first, so that the reply is either the whole file, under
// "Content-type: text/csv; charset=utf-8" or "application/json" and
// "Content-Disposition: attachment; filename=..." ("velmar-RAS2-2026-12-08-
// busy.csv": the computer, the window's first day, the answer), or the
// report's page with its error line: "Bad Export" for an unknown answer or
// format, "Bad Date", "Can't Open Log" (told on run->Notes as for the
// report), "Can't Read RAS Port" for a port list beside the log that busy
// can't use, "Can't Read Rec" when the log can't be read to its end, or
// "Can't Write Temp File" (the reasons on standard error), also when no
// temporary file can be made under TMPDIR (else /tmp): the answer never
// goes out unspooled. "Bad Window" for a window outside the years 0001 to
// 9999, or a busy table of too many hours. Returns 1 after a whole file,
// else 0 with run->Error set.
int RunDownload(RunState* run);

#endif  // VELMAR_DRIVER_DOWNLOAD_H
