// The program around one run: the mode and settings, then a report or a
// download, then release and the exit status.
#include "driver/program.h"

#include <cstdio>
#include <cstdlib>

#include "driver/cgimode.h"
#include "driver/download.h"
#include "driver/notes.h"
#include "driver/report.h"
#include "platform/signalguard.h"

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
  } else {
    WriteHead(&run);
    done = RunReport(&run);
  }
  RunRelease(&run);
  // A report that could not be written whole is a failed run too.
  if (fflush(stdout) != 0 || ferror(stdout)) done = 0;
  return done ? 0 : 2;
}
