// The one pass over the log: picks out connects, disconnects and resets in
// record-number order from the window's first record, charges each interval
// to the number of lines that were in use, and writes the listing. A
// pseudo-event ends the pass at the window end or, when the log runs out
// first, at the current time.
#ifndef VELMAR_DRIVER_SCAN_H
#define VELMAR_DRIVER_SCAN_H

#include <cstdint>
#include <cstdio>

#include "charts/chart.h"
#include "driver/options.h"
#include "driver/porttable.h"
#include "driver/portwatch.h"
#include "driver/usercollect.h"
#include "eventlog/logread.h"
#include "eventlog/rasevent.h"

// Pseudo-event that ends the scan, beside the RAS records' event codes.
#define END_MARKER 99999

// Counters of time per number of lines in use; a higher count is charged to
// the last one.
#define LINE_TIME_SLOTS 256

// One handled event of the pass.
struct ScanEvent {
  int Id;            // event code (EVENT_CONNECT ...), or END_MARKER
  EventTime Time;    // TimeGenerated, or the time the scan ends
  const char* User;  // insertion string 2 of a connect or disconnect, else ""
  const char* Port;  // insertion string 3 of a connect or disconnect, else ""
  int32_t Seconds;   // connected time of a disconnect (strings 8 and 9) for the collector
};

// Scan state and the totals it leaves for the summaries.
struct ScanState {
  FILE* Out;                            // where the listing goes
  EventTime WindowStart;                // start of the report window
  EventTime WindowEnd;                  // records at or after it end the scan
  DWORD EndNumber;                      // NewestRec + 1: the log has run out
  EventTime PrevTime;                   // time of the previous handled event
  int32_t LinesInUse;                   // lines in use after the previous event
  int32_t PortCount;                    // ports of the table, else highest LinesInUse (<= 255)
  EventTime LineTime[LINE_TIME_SLOTS];  // seconds with exactly k lines in use
  EventTime TotalTime;                  // seconds from WindowStart to the scan's end
  int PrevDay;                          // day of the month of the previous event
  bool First;                           // no handled event yet
  PortTable* Ports;                     // the port table, or null without one
  UserCollector* Users;                 // the user-statistics collector, or null
  ChartData* Chart;                     // the web page's chart figures, or null
  PortWatch* Watch;                     // the ports' own state beside the plain count, or null
  bool PastEnd;                         // the log ran out, and the scan ran past WindowEnd to now
};

// The end of the window: start + duration hours, or with duration 0 the
// midnight that ends today (start + (1 - offset) days).
EventTime WindowEndOf(const ReportOptions* opts, EventTime windowStart);

// Prepares the scan: zero counters, PrevTime at the window start, first flag
// set. newestRec + 1 becomes the end number.
void ScanInit(ScanState* scan, FILE* out, EventTime windowStart, EventTime windowEnd,
              DWORD newestRec);

// Lets the port table follow the scan: it takes over the count of lines in
// use, the marker and, for the tabulated listing, the port columns; the
// number of ports becomes PortCount. Call after ScanInit.
void ScanUsePorts(ScanState* scan, PortTable* ports);

// Lets the user-statistics collector follow the scan: ScanLog starts it
// before the loop, and each disconnect adds its user and connected time.
// Call after ScanInit.
void ScanUseCollector(ScanState* scan, UserCollector* users);

// Lets the chart figures follow the scan: every interval charged to
// LineTime is charged to them too, at the same count of lines in use,
// flagged when every port of the table was busy. Call after ScanInit.
void ScanUseChart(ScanState* scan, ChartData* chart);

// Lets the port watch follow the connects, disconnects and resets the scan
// handles, beside the plain count (without the port table). Call after
// ScanInit.
void ScanUseWatch(ScanState* scan, PortWatch* watch);

// Writes a duration as "%2d:%2d:%02d" of hours, minutes and seconds, each
// truncated toward zero (so -5 s is " 0: 0:-5"; hours grow past 2 digits).
void WriteDuration(FILE* out, EventTime seconds);

// Writes the column heading: port, user and action for the plain listing,
// one column per port when the listing is tabulated and ports is not null.
void WriteListingHeader(FILE* out, const ReportOptions* opts, const PortTable* ports);

// Handles one event: closes the previous listing line with its duration,
// charges the interval, writes the day separator, the time and the action,
// and updates the count of lines in use. Returns true for END_MARKER, which
// ends the scan after its time text.
bool HandleEvent(ScanState* scan, const ReportOptions* opts, const ScanEvent* ev);

// Runs the whole pass from record firstRec, reading into the caller's record
// buffer (grown as needed), and writes "Ended." after it. When the log runs
// out the pass ends at the current time, also past WindowEnd (PastEnd). Returns 1, or 0 with
// *message set when a record cannot be read, or the collector's index cannot
// be created or take an entry (the listing stops there).
int ScanLog(ScanState* scan, const ReportOptions* opts, HANDLE log, BYTE** buffer, DWORD* capacity,
            DWORD firstRec, const char** message);

#endif  // VELMAR_DRIVER_SCAN_H
