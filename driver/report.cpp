// The run order of a report and its single error path. Each step acquires
// at most one resource into the run state; RunRelease frees whatever exists,
// so every path out of the run releases the same way.
#include "driver/report.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "charts/pagecharts.h"
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
  EventTime when = 0;
  LogCover cover =
      GetLogCover(run->Log, run->FirstRec, run->NewestRec, run->WindowStart,
                  static_cast<EventTime>(time(nullptr)), &run->Buffer, &run->Capacity, &when);
  NoteLogCover(run->Notes, opts->ComputerName, cover, when);
  return 1;
}

// A failure of the user index: where and why on standard error, then the
// run's error line with the index's message.
int FailIndex(RunState* run) {
  NoteIndexFailure(run->Notes, run->Users.Failed, run->Users.SystemError);
  return RunFail(run, run->Users.Failed);
}

// The chart figures, set to follow the scan of the window that ends at
// windowEnd, and the buffer the charts will be written through.
int StartChart(RunState* run, EventTime windowEnd) {
  run->Chart = static_cast<ChartData*>(malloc(sizeof(ChartData)));
  run->ChartOut = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
  if (run->Chart == nullptr || run->ChartOut == nullptr) return RunFail(run, "Out of Memory");
  ChartInit(run->Chart, run->WindowStart, windowEnd);
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

// The charts after the report, through their buffer on the report's
// output. A failed write shows in the output's error state, as the
// report's own writes do.
void WriteRunCharts(RunState* run) {
  const ReportOptions* opts = &run->Options;
  const ScanState* scan = &run->Scan;
  ChartFrame frame = {
      opts->Title1,    opts->Title2,    opts->GeneralStats, scan->LineTime,
      LINE_TIME_SLOTS, scan->TotalTime, scan->PortCount,    run->Ports.Slots != nullptr};
  OutInit(run->ChartOut, run->Out);
  WriteCharts(run->ChartOut, &frame, run->Chart);
  OutFlush(run->ChartOut);
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
  if (run->Chart != nullptr) WriteRunCharts(run);
  return 1;
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
