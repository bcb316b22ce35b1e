// The scan loop and the plain listing. Every interval between handled events
// is charged once, to the lines in use while it lasted, so the counters add
// up to the time from the window start to the scan's end.
#include "driver/scan.h"

#include <cinttypes>
#include <cstring>
#include <ctime>

#include "driver/output.h"

namespace {

// What obtaining the next record gave.
enum Obtained {
  kReadFailed,  // the record could not be read
  kSkipped,     // not a handled event: nothing happens
  kHandled,     // ev holds a handled event or the end marker
};

// Puts v as printf's %*d (zeros false) or %0*d (zeros true) would, at
// the end of buf; returns where it starts. buf needs room for 20 digits,
// the sign and the padding.
char* FormatNumber(char* end, int64_t v, int width, bool zeros) {
  uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  char* p = end;
  do {
    *--p = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag != 0);
  int len = static_cast<int>(end - p) + (v < 0 ? 1 : 0);
  if (zeros) {
    for (; len < width; ++len) *--p = '0';
    if (v < 0) *--p = '-';
  } else {
    if (v < 0) *--p = '-';
    for (; len < width; ++len) *--p = ' ';
  }
  return p;
}

bool IsConnection(int id) {
  RasKind kind = RasCodeKind(id);
  return kind == RAS_CONNECT || kind == RAS_DISCONNECT;
}

bool IsReset(int id) {
  return RasCodeKind(id) == RAS_RESET;
}

// Fills ev from record recNo, or from the end of the window or of the log.
Obtained ObtainEvent(ScanState* scan, HANDLE log, DWORD recNo, BYTE** buffer, DWORD* capacity,
                     ScanEvent* ev, const char** message) {
  ev->User = "";
  ev->Port = "";
  ev->Seconds = 0;
  if (recNo == scan->EndNumber) {
    ev->Id = END_MARKER;
    ev->Time = static_cast<EventTime>(time(nullptr));
    scan->PastEnd = ev->Time > scan->WindowEnd;
    return kHandled;
  }
  if (!ReadRec(log, recNo, buffer, capacity, message)) return kReadFailed;
  ev->Time = RecTimeGenerated(*buffer);
  if (ev->Time >= scan->WindowEnd) {
    ev->Id = END_MARKER;
    ev->Time = scan->WindowEnd;
    return kHandled;
  }
  // The filter: connects and disconnects need an insertion string (the
  // decoding's rule), resets a line in use; everything else is skipped. Only
  // the user-statistics collector needs a disconnect's connected time.
  RasEvent ras;
  RasDecode(*buffer, *capacity, scan->Users != nullptr ? RAS_WANT_SECONDS : 0, &ras);
  if (ras.Kind == RAS_OTHER || (ras.Kind == RAS_RESET && scan->LinesInUse == 0)) return kSkipped;
  ev->Id = ras.Code;
  ev->User = ras.User;
  ev->Port = ras.Port;
  ev->Seconds = ras.Seconds;
  return kHandled;
}

// The text after each printed duration: the port table flags intervals in
// which every port was busy. Without the table it is empty.
const char* Marker(const ScanState* scan) {
  return scan->Ports != nullptr ? PortMarker(scan->Ports, scan->LinesInUse) : "";
}

// Adds the interval since PrevTime to the time of the lines in use while it
// lasted, and to the chart at the same count.
void ChargeInterval(ScanState* scan, EventTime interval) {
  int32_t slot = scan->LinesInUse;
  if (slot >= LINE_TIME_SLOTS) slot = LINE_TIME_SLOTS - 1;
  if (slot < 0) slot = 0;
  scan->LineTime[slot] += interval;
  scan->TotalTime += interval;
  if (scan->Chart != nullptr) {
    ChartCharge(scan->Chart, scan->PrevTime, scan->PrevTime + interval, slot,
                Marker(scan)[0] != '\0');
  }
}

// The count of lines in use after the event: the busy ports when the table
// exists (whatever the listing looks like), else counted from the events.
void UpdateLinesInUse(ScanState* scan, int id) {
  if (scan->Ports != nullptr) {
    scan->LinesInUse = PortRecount(scan->Ports);
  } else if (id == EVENT_CONNECT) {
    ++scan->LinesInUse;
    int32_t seen = scan->LinesInUse < LINE_TIME_SLOTS ? scan->LinesInUse : LINE_TIME_SLOTS - 1;
    if (seen > scan->PortCount) scan->PortCount = seen;
  } else if (id == EVENT_DISCONNECT) {
    if (scan->LinesInUse > 0) --scan->LinesInUse;
  } else if (IsReset(id)) {
    scan->LinesInUse = 0;
  }
}

// Tells the port watch, when there is one, what the event did to its port.
void WatchPorts(const ScanState* scan, const ScanEvent* ev) {
  if (scan->Watch == nullptr) return;
  PortWatchEvent event = ev->Id == EVENT_CONNECT      ? kWatchConnect
                         : ev->Id == EVENT_DISCONNECT ? kWatchDisconnect
                                                      : kWatchReset;
  PortWatchNote(scan->Watch, event, ev->Port);
}

// Applies the event to the port table, when there is one, before the
// interval is charged to the lines that were in use.
void UpdatePorts(ScanState* scan, const ReportOptions* opts, const ScanEvent* ev,
                 EventTime interval) {
  if (scan->Ports == nullptr) return;
  if (IsConnection(ev->Id)) {
    PortConnectUpdate(scan->Ports, ev->Id == EVENT_CONNECT, interval, ev->Port, ev->User,
                      opts->Width);
  } else {
    PortResetUpdate(scan->Ports, interval);  // a reset, or the end of the scan
  }
}

// Port, user and action columns of the plain listing, or the port table's
// row when the listing is tabulated.
void WriteAction(const ScanState* scan, const ReportOptions* opts, const ScanEvent* ev) {
  FILE* out = scan->Out;
  if (opts->Tabulated && scan->Ports != nullptr) {
    PortWriteRow(out, scan->Ports, opts, IsReset(ev->Id));
    return;
  }
  if (IsReset(ev->Id)) {
    fprintf(out, "%-*s", opts->Width + 15, "Reset.");
    return;
  }
  const char* word = ev->Id == EVENT_CONNECT ? "login" : "logout";
  PutField(out, ev->Port, 6, opts->Html);
  fputc(' ', out);
  PutField(out, ev->User, opts->Width, opts->Html);
  fprintf(out, " %-*s ", 6, word);
}

}  // namespace

EventTime WindowEndOf(const ReportOptions* opts, EventTime windowStart) {
  if (opts->Duration != 0) return windowStart + static_cast<EventTime>(opts->Duration) * 3600;
  return windowStart + (1 - static_cast<EventTime>(opts->Offset)) * 86400;
}

void ScanInit(ScanState* scan, FILE* out, EventTime windowStart, EventTime windowEnd,
              DWORD newestRec) {
  memset(scan, 0, sizeof *scan);
  scan->Out = out;
  scan->WindowStart = windowStart;
  scan->WindowEnd = windowEnd;
  scan->EndNumber = newestRec + 1;
  scan->PrevTime = windowStart;
  scan->First = true;
}

void ScanUsePorts(ScanState* scan, PortTable* ports) {
  scan->Ports = ports;
  scan->PortCount = ports->PortCount;
}

void ScanUseCollector(ScanState* scan, UserCollector* users) {
  scan->Users = users;
}

void ScanUseChart(ScanState* scan, ChartData* chart) {
  scan->Chart = chart;
}

void ScanUseWatch(ScanState* scan, PortWatch* watch) {
  scan->Watch = watch;
}

// Formatted by hand, as printf's "%2d:%2d:%02d" would: it comes with every
// listing line.
void WriteDuration(FILE* out, EventTime seconds) {
  char text[80];
  char* end = text + sizeof text;
  char* p = FormatNumber(end, seconds % 60, 2, true);
  *--p = ':';
  p = FormatNumber(p, (seconds / 60) % 60, 2, false);
  *--p = ':';
  p = FormatNumber(p, seconds / 3600, 2, false);
  fwrite(p, 1, static_cast<size_t>(end - p), out);
}

void WriteListingHeader(FILE* out, const ReportOptions* opts, const PortTable* ports) {
  fprintf(out, "%-*s ", 8, "Time");
  if (opts->Tabulated && ports != nullptr) {
    PortWriteHeader(out, ports, opts);
  } else {
    fprintf(out, "%-*s %-*s %-*s ", 6, "Port", opts->Width, "User", 6, "Action");
  }
  fputs("NL Duration\n", out);
}

bool HandleEvent(ScanState* scan, const ReportOptions* opts, const ScanEvent* ev) {
  FILE* out = scan->Out;
  TimeTexts texts;
  FormatTimeTexts(ev->Time, &texts);
  EventTime interval = ev->Time - scan->PrevTime;
  if (opts->Listing && !scan->First) {
    WriteDuration(out, interval);
    fputs(Marker(scan), out);
    fputc('\n', out);
  }
  scan->First = false;
  if (ev->Id == EVENT_DISCONNECT && scan->Users != nullptr) {
    UserCollectAdd(scan->Users, ev->User, ev->Seconds);
  }
  UpdatePorts(scan, opts, ev, interval);
  ChargeInterval(scan, interval);
  if (opts->Listing) {
    if (texts.Day != scan->PrevDay) fprintf(out, "--- %s ---\n", texts.Date);
    fputs(texts.Time, out);
    fputc(' ', out);
  }
  if (ev->Id == END_MARKER) return true;
  if (opts->Listing) WriteAction(scan, opts, ev);
  WatchPorts(scan, ev);
  UpdateLinesInUse(scan, ev->Id);
  if (opts->Listing) {
    char text[24];
    char* end = text + sizeof text;
    char* p = FormatNumber(end - 1, scan->LinesInUse, 2, false);
    end[-1] = ' ';
    fwrite(p, 1, static_cast<size_t>(end - p), out);
  }
  scan->PrevTime = ev->Time;
  scan->PrevDay = texts.Day;
  return false;
}

int ScanLog(ScanState* scan, const ReportOptions* opts, HANDLE log, BYTE** buffer, DWORD* capacity,
            DWORD firstRec, const char** message) {
  if (opts->Listing) WriteListingHeader(scan->Out, opts, scan->Ports);
  if (scan->Users != nullptr) {
    *message = UserCollectStart(scan->Users);
    if (*message != nullptr) return 0;
  }
  // The record number runs up to the end number and stops there, also when
  // the numbers wrap past 2^32 - 1.
  for (DWORD recNo = firstRec;; ++recNo) {
    ScanEvent ev;
    Obtained got = ObtainEvent(scan, log, recNo, buffer, capacity, &ev, message);
    if (got == kReadFailed) return 0;
    if (got == kSkipped) continue;
    bool ended = HandleEvent(scan, opts, &ev);
    // An index that cannot take a connection would leave the user totals
    // short without a word: the run ends with its message instead.
    if (scan->Users != nullptr && scan->Users->Failed != nullptr) {
      *message = scan->Users->Failed;
      return 0;
    }
    if (ended) break;
  }
  if (opts->Listing) fputs("Ended.\n", scan->Out);
  return 1;
}
