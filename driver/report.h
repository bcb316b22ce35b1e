// One report run from start to release: the settings, the head, the fixed
// order of steps, the single error path ("\nError: %s\n") and the release of
// everything the run holds, in a fixed order, also after an error.
#ifndef VELMAR_DRIVER_REPORT_H
#define VELMAR_DRIVER_REPORT_H

#include <cstdio>

#include "answers/outbuf.h"
#include "cgi/libform.h"
#include "driver/cgimode.h"
#include "driver/options.h"
#include "driver/porttable.h"
#include "driver/scan.h"
#include "driver/usercollect.h"
#include "eventlog/logread.h"

// Everything one run holds. Whatever is non-null is released by RunRelease.
struct RunState {
  FILE* Out;              // where the report goes (standard output)
  FILE* Notes;            // where the lines that say why go (standard error)
  bool CgiMode;           // a web form was decoded: settings from it, HTML framing
  Form* CgiForm;          // the decoded form the settings point into, or null
  WebRequest Web;         // charts or a download asked by the form
  ReportOptions Options;  // the settings of the run
  PortTable Ports;        // port names and table, with Tabulated or PortStats
  HANDLE Log;             // the SYSTEM log, or null before it is open
  BYTE* Buffer;           // record buffer of capacity + 1 bytes, or null
  DWORD Capacity;         // record space in Buffer
  EventTime WindowStart;  // start of the report window
  LogCover Cover;         // how the log covers the window
  EventTime CoverWhen;    // the time of the record Cover tells of
  DWORD FirstRec;         // first record of the window
  DWORD NewestRec;        // newest record of the log
  ScanState Scan;         // scan state and its totals
  UserCollector Users;    // the user index, with UserStats
  ChartData* Chart;       // the charts' figures, when the form asks for charts
  OutBuf* ChartOut;       // the buffer the charts are written through, with Chart
  PortWatch* Watch;       // the ports' own state beside the plain count (no port table)
  const char* Error;      // fixed text of the run's failure, or null
};

// Prepares an empty run writing to out, its notes to standard error, with
// default settings.
void RunInit(RunState* run, FILE* out);

// The one way a failure is reported, where the report stands:
// "\nError: %s\n" with message, which run->Error keeps. Returns 0.
int RunFail(RunState* run, const char* message);

// Writes the head: the titles and a line end, or in CGI mode the page head
// around them (WriteCgiHead, with the charts' page head when the form asks
// for charts).
void WriteHead(const RunState* run);

// Runs the report after the head: a date turned into the offset (ApplyDate;
// "Bad Date" fails the run), the port table (when the tabulated listing
// or the port statistics are asked for), log, buffer, window, scan (with
// the user collector when UserStats is on, and the chart figures, charged
// only with the time the log covers, when the form asks for charts), then
// statistics. On a failure writes "\nError: %s\n" once with its message,
// records it in run->Error and returns 0; returns 1 after a complete
// report; the charts are the caller's to write. A log or port list that
// can't be read, and a user index that can't be made, grown or read, are
// also told on run->Notes with their place and reason; so is a log that
// does not cover the window's start, a scan that ran past the window's end
// to the current time, and a plain count (without the port table) that
// departed from the ports' own state (notes.h). A failed read of the index
// during the user summary fails the run as a failed add does. Release is
// the caller's.
int RunReport(RunState* run);

// The page of a form that asks for charts: the report goes to a spool
// (charts/spool.h) as the log is scanned, then the page goes out in order:
// its head (WriteCgiTop), after a whole report the charts' section
// (WriteCharts) with the notes on the log's coverage that standard error
// gets (the log named "The log", or "The log of \\NAME", never by its
// path), the report's block (WriteCgiReportOpen) with the spooled report,
// and "</pre>" after a whole report. A spool that can't be made, written
// or read back fails the run with "Can't Write Temp File" or "Can't Read
// Temp File", its reason on run->Notes. Returns as RunReport does.
int RunChartPage(RunState* run);

// Releases what the run holds, in order: the user index (its file deleted),
// the port names and the port table, the decoded form, the record buffer,
// the log handle, then the chart figures with their buffer and the port
// watch.
void RunRelease(RunState* run);

#endif  // VELMAR_DRIVER_REPORT_H
