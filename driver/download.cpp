// A download: the settings of the answer from the form and the report's
// window, the answer spooled to a temporary file under TMPDIR, then the CGI
// header and the file, or the error page when the answer failed before it
// was whole or had no spool to go to.
#include "driver/download.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "answers/answers.h"
#include "driver/dates.h"
#include "driver/notes.h"
#include "platform/failreason.h"
#include "platform/logdir.h"
#include "platform/systemlog.h"
#include "platform/tempfile.h"

namespace {

// The answers a form may ask for, by the "export" value.
enum Export { kSessions, kUsers, kBusy, kNoExport };

const char* const kExports[] = {"sessions", "users", "busy"};

Export ExportOf(const char* name) {
  for (int i = 0; i < 3; ++i) {
    if (strcmp(name, kExports[i]) == 0) return static_cast<Export>(i);
  }
  return kNoExport;
}

// The page with its error line instead of a file.
int FailPage(RunState* run, const char* message) {
  WriteHead(run);
  return RunFail(run, message);
}

// The answer's settings: the log of the report's computer, the window,
// the format, the zone. A log that can't be opened is told as the report
// tells it. Returns 1, or 0 after the error page.
int SetUpAnswer(RunState* run, Export what, AnswerOptions* opt, char* path, size_t size) {
  const ReportOptions* opts = &run->Options;
  opt->Since = WindowStartOf(opts->Offset, static_cast<EventTime>(time(nullptr)));
  opt->Until = WindowEndOf(opts, opt->Since);
  if (!WindowInIsoYears(opt->Since, opt->Until)) {
    NoteBadWindow(run->Notes, opts->Offset, opts->Duration);
    return FailPage(run, "Bad Window");
  }
  HANDLE log = OpenSystemLog(opts->ComputerName);
  if (log == nullptr) {
    DWORD error = GetLastError();
    NoteLogFailure(run->Notes, opts->ComputerName, error, PlatformErrorDetail());
    return FailPage(run, "Can't Open Log");
  }
  CloseEventLog(log);
  if (!PlatformComputerPath(opts->ComputerName, kSystemLogFile, path, size)) {
    return FailPage(run, "Can't Open Log");
  }
  opt->Program = "velmar";
  opt->Logs.push_back(path);
  ZoneInit(&opt->Zone);
  if (what == kBusy && AnswerFindLines(opt) != 0) return FailPage(run, "Can't Read RAS Port");
  return 1;
}

// "velmar-RAS2-2026-12-08-busy.csv": the computer as the log folder names
// it (none for the local computer), the window's first day, the answer.
void FileName(const RunState* run, AnswerOptions* opt, Export what, char* out, size_t size) {
  const char* computer = run->Options.ComputerName;
  if (computer != nullptr && computer[0] == '\\' && computer[1] == '\\') computer += 2;
  CivilTime day;
  ZoneCivil(&opt->Zone, opt->Since, &day);
  snprintf(out, size, "velmar-%s%s%04d-%02d-%02d-%s.%s", computer != nullptr ? computer : "",
           computer != nullptr ? "-" : "", day.Year, day.Month, day.Day, kExports[what],
           opt->Format == kFormatJson ? "json" : "csv");
}

void WriteHeader(const RunState* run, AnswerOptions* opt, Export what) {
  char name[400];
  FileName(run, opt, what, name, sizeof name);
  fprintf(run->Out, "Content-type: %s\nContent-Disposition: attachment; filename=\"%s\"\n\n",
          opt->Format == kFormatJson ? "application/json" : "text/csv; charset=utf-8", name);
}

int Answer(Export what, AnswerOptions* opt, OutBuf* out) {
  if (what == kSessions) return AnswerSessions(opt, out);
  if (what == kUsers) return AnswerUsers(opt, out);
  return AnswerBusy(opt, out);
}

// Copies the spooled answer after the header. Returns 1, or 0 when it
// can't be read back.
int SendSpool(RunState* run, FILE* spool) {
  char block[1 << 15];
  rewind(spool);
  for (size_t n; (n = fread(block, 1, sizeof block, spool)) > 0;) fwrite(block, 1, n, run->Out);
  return ferror(spool) == 0;
}

// The spool's folder, for a note: TMPDIR, else the system's.
const char* SpoolFolder() {
  const char* dir = getenv("TMPDIR");
  return dir != nullptr && dir[0] != '\0' ? dir : "the system's temporary folder";
}

// Runs the answer into the spool and sends it. Without a spool there is no
// answer: streamed, a log that fails part way would leave a file cut short
// that still looks whole. Returns 1 after a whole file, else 0.
int AnswerAndSend(RunState* run, Export what, AnswerOptions* opt) {
  FILE* spool = TempSpoolOpen();
  if (spool == nullptr) {
    char text[4352];
    snprintf(text, sizeof text, "%s: download spool: %s", SpoolFolder(), strerror(errno));
    NoteLine(run->Notes, text);
    return FailPage(run, "Can't Write Temp File");
  }
  OutBuf* buffer = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
  if (buffer == nullptr) {
    fclose(spool);
    return FailPage(run, "Out of Memory");
  }
  OutInit(buffer, spool);
  int status = Answer(what, opt, buffer);
  bool written = OutFlush(buffer) != 0;
  int error = buffer->Errno;
  free(buffer);
  if (status != 0 || !written) {
    fclose(spool);
    if (status == 0) NoteLine(run->Notes, strerror(error));
    if (status != 0) return FailPage(run, opt->Overflow ? "Bad Window" : "Can't Read Rec");
    return FailPage(run, "Can't Write Temp File");
  }
  WriteHeader(run, opt, what);
  int whole = SendSpool(run, spool);
  fclose(spool);
  if (!whole) run->Error = "Can't Read Temp File";
  return whole;
}

}  // namespace

int RunDownload(RunState* run) {
  Export what = ExportOf(run->Web.Export);
  const char* format = run->Web.Format != nullptr ? run->Web.Format : "csv";
  bool json = strcmp(format, "json") == 0;
  if (what == kNoExport || (!json && strcmp(format, "csv") != 0)) {
    return FailPage(run, "Bad Export");
  }
  const char* bad = ApplyDate(&run->Options, static_cast<EventTime>(time(nullptr)));
  if (bad != nullptr) return FailPage(run, bad);
  SetReportZone();
  AnswerOptions opt;
  AnswerOptionsInit(&opt);
  opt.Format = json ? kFormatJson : kFormatCsv;
  char path[4096];
  if (!SetUpAnswer(run, what, &opt, path, sizeof path)) return 0;
  return AnswerAndSend(run, what, &opt);
}
