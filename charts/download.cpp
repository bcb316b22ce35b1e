// A download: the answer's settings from the request, the answer spooled
// to a temporary file under TMPDIR, then the CGI header and the file; or
// the fixed text of the failure when the answer failed before it was
// whole or had no spool to go to.
#include "charts/download.h"

#include <cstdlib>
#include <cstring>

#include "answers/answers.h"
#include "charts/spool.h"
#include "eventlog/placenames.h"
#include "logfolder/failreason.h"
#include "logfolder/logdir.h"

namespace {

const char* const kAnswers[] = {"sessions", "users", "busy"};

// d->Reason: "NAME: REASON" for the log of d's computer that could not be
// opened, as the report names it.
void LogFailure(Download* d, DWORD error, const char* detail) {
  char name[4096];
  SystemLogName(d->Computer, name, sizeof name);
  DescribeOpenFailure(name, error, detail, d->Reason, sizeof d->Reason);
}

// The answer's settings: the log of the report's computer, the window, the
// format, the zone, and for busy the ports beside the log. The log itself
// is left to the answer, which opens it once. Returns null, or the
// failure's text.
const char* SetUpAnswer(Download* d, AnswerOptions* opt, char* path, size_t size) {
  opt->Program = "velmar";
  opt->Download = true;
  opt->Command = d->What == kDownloadSessions ? kAnswerSessions
                 : d->What == kDownloadUsers  ? kAnswerUsers
                                              : kAnswerBusy;
  opt->Format = d->Json ? kFormatJson : kFormatCsv;
  opt->Since = d->Since;
  opt->Until = d->Until;
  if (!PlatformComputerPath(d->Computer, kSystemLogFile, path, size)) {
    LogFailure(d, ERROR_INVALID_NAME, nullptr);
    return "Can't Open Log";
  }
  opt->Logs.push_back(path);
  ZoneInit(&opt->Zone);
  if (d->What == kDownloadBusy && AnswerLinesBesideLog(opt) != 0) return "Can't Read RAS Port";
  return nullptr;
}

// "velmar-RAS2-2026-12-08-busy.csv": the computer as the log folder names
// it (none for the local computer), the window's first day, the answer.
void FileName(const Download* d, AnswerOptions* opt, char* out, size_t size) {
  const char* computer = d->Computer;
  if (computer != nullptr && computer[0] == '\\' && computer[1] == '\\') computer += 2;
  CivilTime day;
  ZoneCivil(&opt->Zone, opt->Since, &day);
  snprintf(out, size, "velmar-%s%s%04d-%02d-%02d-%s.%s", computer != nullptr ? computer : "",
           computer != nullptr ? "-" : "", day.Year, day.Month, day.Day, kAnswers[d->What],
           d->Json ? "json" : "csv");
}

void WriteHeader(const Download* d, AnswerOptions* opt, FILE* out) {
  char name[400];
  FileName(d, opt, name, sizeof name);
  fprintf(out, "Content-type: %s\nContent-Disposition: attachment; filename=\"%s\"\n\n",
          d->Json ? "application/json" : "text/csv; charset=utf-8", name);
}

int Answer(DownloadAnswer what, AnswerOptions* opt, OutBuf* out) {
  if (what == kDownloadSessions) return AnswerSessions(opt, out);
  if (what == kDownloadUsers) return AnswerUsers(opt, out);
  return AnswerBusy(opt, out);
}

// Runs the answer into the spool. Without a spool there is no answer:
// streamed, a log that fails part way would leave a file cut short that
// still looks whole. Returns null with the whole answer in the spool, else
// the failure's text (*spool then closed).
const char* Spool(Download* d, AnswerOptions* opt, FILE** spool) {
  *spool = SpoolOpen("download", d->Reason, sizeof d->Reason);
  if (*spool == nullptr) return "Can't Write Temp File";
  OutBuf* buffer = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
  if (buffer == nullptr) {
    fclose(*spool);
    return "Out of Memory";
  }
  OutInit(buffer, *spool);
  int status = Answer(d->What, opt, buffer);
  bool written = OutFlush(buffer) != 0;
  int error = buffer->Errno;
  free(buffer);
  if (status == 0 && written) return nullptr;
  fclose(*spool);
  if (status != 0)
    return opt->Unopened ? "Can't Open Log" : opt->Overflow ? "Bad Window" : "Can't Read Rec";
  snprintf(d->Reason, sizeof d->Reason, "%s", strerror(error));
  return "Can't Write Temp File";
}

}  // namespace

int DownloadFromForm(Download* d, const char* exportName, const char* format) {
  int what = 0;
  while (what < 3 && strcmp(exportName, kAnswers[what]) != 0) ++what;
  if (format == nullptr) format = "csv";
  d->Json = strcmp(format, "json") == 0;
  d->What = static_cast<DownloadAnswer>(what);
  return what < 3 && (d->Json || strcmp(format, "csv") == 0);
}

const char* DownloadSend(Download* d, FILE* out) {
  d->Sent = false;
  d->Reason[0] = '\0';
  AnswerOptions opt;
  AnswerOptionsInit(&opt);
  opt.Input = kAcctEvt;  // the report's log is the server's event log, whatever it holds
  char path[4096];
  const char* failed = SetUpAnswer(d, &opt, path, sizeof path);
  FILE* spool = nullptr;
  if (failed == nullptr) failed = Spool(d, &opt, &spool);
  if (failed != nullptr) return failed;
  WriteHeader(d, &opt, out);
  d->Sent = true;
  int whole = SpoolSend(spool, out);
  fclose(spool);
  return whole ? nullptr : "Can't Read Temp File";
}
