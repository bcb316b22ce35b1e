// The program around one run: the mode and settings, then a report or a
// download, then release and the exit status.
#include "driver/program.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "charts/download.h"
#include "driver/cgimode.h"
#include "driver/dates.h"
#include "driver/notes.h"
#include "driver/report.h"
#include "platform/signalguard.h"

namespace {

// The page with its error line instead of a file.
int FailPage(RunState* run, const char* message) {
  WriteHead(run);
  return RunFail(run, message);
}

// The download the form asks for, over the report's computer and window:
// the file, or the page with its error line ("Bad Export", "Bad Date",
// "Bad Window" or the download's own, the reasons on run->Notes). Returns
// 1 after a whole file, else 0 with run->Error set.
int RunDownload(RunState* run) {
  Download d;
  if (!DownloadFromForm(&d, run->Web.Export, run->Web.Format)) return FailPage(run, "Bad Export");
  ReportOptions* opts = &run->Options;
  const char* bad = ApplyDate(opts, static_cast<EventTime>(time(nullptr)));
  if (bad != nullptr) return FailPage(run, bad);
  SetReportZone();
  d.Since = WindowStartOf(opts->Offset, static_cast<EventTime>(time(nullptr)));
  d.Until = WindowEndOf(opts, d.Since);
  if (!WindowInIsoYears(d.Since, d.Until)) {
    NoteBadWindow(run->Notes, opts->Offset, opts->Duration);
    return FailPage(run, "Bad Window");
  }
  d.Computer = opts->ComputerName;
  const char* failed = DownloadSend(&d, run->Out);
  if (d.Reason[0] != '\0') NoteLine(run->Notes, d.Reason);
  if (failed == nullptr) return 1;
  if (d.Sent) {
    run->Error = failed;
    return 0;
  }
  return FailPage(run, failed);
}

}  // namespace

int VelmarMain(int argc, char** argv) {
  // A file size limit makes the write that passes it fail, which the run
  // reports, instead of ending the process without a word.
  SignalGuardIgnoreFileSizeLimit();
  RunState run;
  RunInit(&run, stdout);
  // A decoded web form supplies the settings; the command line is then not
  // looked at, and there is no usage text.
  run.CgiForm = CgiDecideMode();
  run.CgiMode = run.CgiForm != nullptr;
  if (run.CgiMode) {
    OptionsFromForm(&run.Options, run.CgiForm);
    WebRequestFromForm(&run.Web, run.CgiForm);
  } else if (ArgumentsAskVersion(argc, argv)) {
    WriteVersion(stdout);
    RunRelease(&run);
    return fflush(stdout) != 0 || ferror(stdout) ? 2 : 0;
  } else if (argc < 2 || !ArgumentIsOffsetOrDate(argv[1])) {
    // A first argument that is neither an offset nor a date would give some
    // other report without a word, as if the user had asked for it.
    WriteUsage(stdout, argc > 0 && argv[0] != nullptr ? argv[0] : "velmar");
    return 1;
  } else {
    OptionsFromArgs(&run.Options, argc, argv);
  }
  OptionsFinish(&run.Options);
  NoteZone(run.Notes, getenv("TZ"));
  int done = 0;
  if (run.Web.Export != nullptr) {
    done = RunDownload(&run);
  } else if (run.Web.Chart) {
    done = RunChartPage(&run);
  } else {
    WriteHead(&run);
    done = RunReport(&run);
  }
  RunRelease(&run);
  // A report that could not be written whole is a failed run too.
  if (fflush(stdout) != 0 || ferror(stdout)) done = 0;
  return done ? 0 : 2;
}
