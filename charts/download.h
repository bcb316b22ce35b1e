// The web form's downloads: the sessions, users or busy hours of the
// report's computer over the report's window, answered as velmar-log
// answers "sessions", "users" or "busy" (by hour) with --since and --until
// at the window's start and end, and sent as a CSV or JSON attachment in
// place of the page.
#ifndef VELMAR_CHARTS_DOWNLOAD_H
#define VELMAR_CHARTS_DOWNLOAD_H

#include <cstdio>

#include "eventlog/logread.h"

// The answers a form may ask for, by its "export" value.
enum DownloadAnswer {
  kDownloadSessions,  // "sessions"
  kDownloadUsers,     // "users"
  kDownloadBusy,      // "busy"
};

// One download: what is asked, and how it went.
struct Download {
  DownloadAnswer What;   // the answer
  bool Json;             // JSON, else CSV
  const char* Computer;  // the report's computer, "\\NAME" or "NAME"; null for the local one
  EventTime Since;       // the window's start
  EventTime Until;       // the window's end
  bool Sent;             // the reply's header went out: no page may follow
  char Reason[4352];     // why it failed, for a line on standard error; "" for none
};

// Reads the form's "export" and "format" values (a null format is csv)
// into d. Returns 1, or 0 when either names no download.
int DownloadFromForm(Download* d, const char* exportName, const char* format);

// Answers d in the zone last read (SetReportZone) and sends it on out. The
// answer is written to a temporary file first, so that the reply is either
// the whole file, under "Content-type: text/csv; charset=utf-8" or
// "application/json" and "Content-Disposition: attachment; filename=..."
// ("velmar-RAS2-2026-12-08-busy.csv": the computer, the window's first day,
// the answer), or no reply at all: the answer never goes out unspooled.
// The log is opened by the answer alone, once the temporary file is made.
// Returns null after the whole file. Otherwise the fixed text of the
// page's error line: "Can't Open Log" for a computer name the log folder
// refuses (the reason in d->Reason, as the report gives it) or a log that
// can't be opened at all, "Can't Read RAS Port" for a port list beside the
// log that busy can't use, "Can't Read Rec" when the log can't be read to
// its end, "Bad Window" for a busy table of too many hours (the answer
// tells each of these four on standard error, as "velmar: PATH: REASON"),
// "Can't Write Temp File" also when no temporary file can be made under
// TMPDIR (else /tmp; the reason in d->Reason), "Out of Memory"; or, with
// d->Sent set after the header went out, "Can't Read Temp File".
const char* DownloadSend(Download* d, FILE* out);

#endif  // VELMAR_CHARTS_DOWNLOAD_H
