// The run order of a report and its single error path. Each step acquires
// at most one resource into the run state; RunRelease frees whatever exists,
// so every path out of the run releases the same way.
#include "driver/report.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "charts/pagecharts.h"
#include "charts/spool.h"
#include "driver/cgimode.h"
#include "driver/dates.h"
#include "driver/notes.h"
#include "driver/output.h"
#include "driver/stats.h"
#include "eventlog/systemlog.h"
#include "logfolder/failreason.h"

namespace {

// The port table, before the log is opened, when the tabulated listing or
// the port statistics need it.
int SetUpPorts(RunState* run) {
  const ReportOptions* opts = &run->Options;
  if (!opts->Tabulated && !opts->PortStats) return 1;
  const char* message = PortTableSetup(&run->Ports, run->Out, run->CgiMode, opts->ComputerName);
  if (message == nullptr) return 1;
  if (run->Ports.EnumError != 0) {
    NotePortsFailure(run->Notes, opts->ComputerName, run->Ports.EnumError, run->Ports.EnumDetail);
  }
  return RunFail(run, message);
}

// Opens the log, allocates the record buffer and fixes the window; then
// says when the log does not cover the window's start.
int OpenWindow(RunState* run) {
  const ReportOptions* opts = &run->Options;
  run->Log = OpenSystemLog(opts->ComputerName);
  if (run->Log == nullptr) {
    DWORD error = GetLastError();  // before any other call can change it
    NoteLogFailure(run->Notes, opts->ComputerName, error, PlatformErrorDetail());
    return RunFail(run, "Can't Open Log");
  }
  run->Buffer = NewRecordBuffer(&run->Capacity);
  if (run->Buffer == nullptr) return RunFail(run, "Out of Memory");
  // The start may be any time, 0 included: only the message tells failure.
  const char* message = nullptr;
  run->WindowStart =
      GetWindowStart(run->Log, &run->FirstRec, &run->NewestRec, opts->Offset, &message);
  if (message != nullptr) return RunFail(run, message);
  run->Cover = GetLogCover(run->Log, run->FirstRec, run->NewestRec, run->WindowStart,
                           static_cast<EventTime>(time(nullptr)), &run->Buffer, &run->Capacity,
                           &run->CoverWhen);
  NoteLogCover(run->Notes, opts->ComputerName, run->Cover, run->CoverWhen);
  return 1;
}

// A failure of the user index: where and why on standard error, then the
// run's error line with the index's message.
int FailIndex(RunState* run) {
  NoteIndexFailure(run->Notes, run->Users.Failed, run->Users.SystemError);
  return RunFail(run, run->Users.Failed);
}

// The chart figures, set to follow the scan of the window that ends at
// windowEnd over the time the log covers, and the buffer the charts will
// be written through. A log that starts late covers the time from its
// oldest record on; a stale one none of the window.
int StartChart(RunState* run, EventTime windowEnd) {
  run->Chart = static_cast<ChartData*>(malloc(sizeof(ChartData)));
  run->ChartOut = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
  if (run->Chart == nullptr || run->ChartOut == nullptr) return RunFail(run, "Out of Memory");
  ChartInit(run->Chart, run->WindowStart, windowEnd);
  if (run->Cover == LOG_STARTS_LATE) ChartCover(run->Chart, run->CoverWhen);
  if (run->Cover == LOG_STALE) ChartCover(run->Chart, INT64_MAX);
  ScanUseChart(&run->Scan, run->Chart);
  return 1;
}

// The port watch beside the plain count, when there is no port table.
int StartWatch(RunState* run) {
  run->Watch = static_cast<PortWatch*>(malloc(sizeof(PortWatch)));
  if (run->Watch == nullptr) return RunFail(run, "Out of Memory");
  PortWatchInit(run->Watch);
  ScanUseWatch(&run->Scan, run->Watch);
  return 1;
}

// The charts write the window's times with four-digit years: a window
// outside the years 0001 to 9999 gets none, and the page says why.
bool ChartWindowFits(const RunState* run) {
  const ReportOptions* opts = &run->Options;
  SetReportZone();
  EventTime start = WindowStartOf(opts->Offset, static_cast<EventTime>(time(nullptr)));
  if (WindowInIsoYears(start, WindowEndOf(opts, start))) return true;
  NoteBadWindow(run->Notes, opts->Offset, opts->Duration);
  return false;
}

// The log as a page names it in a note: not by its path on the server.
void PageLogName(const char* computer, char* out, size_t size) {
  if (computer == nullptr) {
    snprintf(out, size, "The log");
    return;
  }
  bool slashes = computer[0] == '\\' && computer[1] == '\\';
  snprintf(out, size, "The log of %s%s", slashes ? "" : "\\\\", computer);
}

// The charts' section on the page, through their buffer: the charts and
// the notes on the log's coverage. A failed write shows in the output's
// error state, as the report's own writes do.
void WriteRunCharts(RunState* run) {
  const ReportOptions* opts = &run->Options;
  const ScanState* scan = &run->Scan;
  char name[300], cover[700], pastEnd[400];
  PageLogName(opts->ComputerName, name, sizeof name);
  CoverNoteText(cover, sizeof cover, name, run->Cover, run->CoverWhen);
  if (scan->PastEnd) {
    PastEndNoteText(pastEnd, sizeof pastEnd, scan->WindowEnd, run->WindowStart + scan->TotalTime);
    pastEnd[0] = static_cast<char>(toupper(static_cast<unsigned char>(pastEnd[0])));
  }
  ChartFrame frame = {opts->Title1,
                      opts->Title2,
                      opts->GeneralStats,
                      scan->TotalTime,
                      scan->PortCount,
                      run->Ports.Slots != nullptr,
                      {cover[0] != '\0' ? cover : nullptr, scan->PastEnd ? pastEnd : nullptr}};
  OutInit(run->ChartOut, run->Out);
  WriteCharts(run->ChartOut, &frame, run->Chart);
  OutFlush(run->ChartOut);
}

// Fails the chart page for its spool, with the reason on run->Notes:
// the page's top and an empty report block holding the error line.
int FailSpool(RunState* run, const char* reason, const char* message) {
  NoteLine(run->Notes, reason);
  WriteCgiHead(run->Out, &run->Options, true);
  return RunFail(run, message);
}

}  // namespace

int RunFail(RunState* run, const char* message) {
  run->Error = message;
  fprintf(run->Out, "\nError: %s\n", message);
  return 0;
}

void RunInit(RunState* run, FILE* out) {
  memset(run, 0, sizeof *run);
  run->Out = out;
  run->Notes = stderr;
  OptionsInit(&run->Options);
}

void WriteHead(const RunState* run) {
  if (run->CgiMode) {
    WriteCgiHead(run->Out, &run->Options, run->Web.Chart);
    return;
  }
  WriteTitles(run->Out, run->Options.Title1, run->Options.Title2, run->Options.Html);
  fputc('\n', run->Out);
}

int RunReport(RunState* run) {
  const char* bad = ApplyDate(&run->Options, static_cast<EventTime>(time(nullptr)));
  if (bad != nullptr) return RunFail(run, bad);
  const ReportOptions* opts = &run->Options;
  if (run->Web.Chart && !ChartWindowFits(run)) return RunFail(run, "Bad Window");
  if (!SetUpPorts(run)) return 0;
  if (!OpenWindow(run)) return 0;
  EventTime windowEnd = WindowEndOf(opts, run->WindowStart);
  ScanInit(&run->Scan, run->Out, run->WindowStart, windowEnd, run->NewestRec);
  if (run->Ports.Slots != nullptr) ScanUsePorts(&run->Scan, &run->Ports);
  if (opts->UserStats) ScanUseCollector(&run->Scan, &run->Users);
  if (run->Web.Chart && !StartChart(run, windowEnd)) return 0;
  if (run->Ports.Slots == nullptr && !StartWatch(run)) return 0;
  const char* message = nullptr;
  if (!ScanLog(&run->Scan, opts, run->Log, &run->Buffer, &run->Capacity, run->FirstRec, &message)) {
    return run->Users.Failed != nullptr ? FailIndex(run) : RunFail(run, message);
  }
  WriteStatistics(run->Out, opts, &run->Scan, &run->Ports, &run->Users);
  // A summary short of users is no report: the run fails as for an add.
  if (run->Users.Failed != nullptr) return FailIndex(run);
  // What the report's own rules made of the log, for a reader who compares.
  if (run->Scan.PastEnd) {
    NotePastEnd(run->Notes, windowEnd, run->WindowStart + run->Scan.TotalTime);
  }
  if (run->Watch != nullptr) {
    NotePlainCount(run->Notes, run->Watch->ConnectsOnBusy, run->Watch->DisconnectsOnFree);
  }
  return 1;
}

int RunChartPage(RunState* run) {
  char reason[4352];
  FILE* spool = SpoolOpen("page", reason, sizeof reason);
  if (spool == nullptr) return FailSpool(run, reason, "Can't Write Temp File");
  FILE* page = run->Out;
  run->Out = spool;
  int done = RunReport(run);
  run->Out = page;
  // The report must be whole in the spool before any of the page goes out.
  errno = 0;
  if (fflush(spool) != 0 || ferror(spool)) {
    snprintf(reason, sizeof reason, "%s", strerror(errno != 0 ? errno : EIO));
    fclose(spool);
    return FailSpool(run, reason, "Can't Write Temp File");
  }
  WriteCgiTop(page, &run->Options, true);
  if (done) WriteRunCharts(run);
  WriteCgiReportOpen(page, true);
  int whole = SpoolSend(spool, page);
  fclose(spool);
  if (!whole) return RunFail(run, "Can't Read Temp File");
  if (done) fputs("</pre>\n", page);
  return done;
}

void RunRelease(RunState* run) {
  // The user index goes first (its file deleted), then the port names and the
  // port table, then the decoded form, ahead of the buffer.
  UserCollectRelease(&run->Users);
  PortTableRelease(&run->Ports);
  FormFree(&run->CgiForm);
  free(run->Buffer);
  run->Buffer = nullptr;
  if (run->Log != nullptr) CloseEventLog(run->Log);
  run->Log = nullptr;
  free(run->Chart);
  run->Chart = nullptr;
  free(run->ChartOut);
  run->ChartOut = nullptr;
  if (run->Watch != nullptr) PortWatchRelease(run->Watch);
  free(run->Watch);
  run->Watch = nullptr;
}
