// What every answer needs before it runs: the settings' defaults and the
// pool's lines from the port lists; and how the model's failures and
// warnings are told.
#include <cstdio>
#include <map>
#include <string>

#include "answers/answers.h"
#include "logfolder/failreason.h"
#include "logfolder/portlist.h"

namespace {

const int64_t kMaxNasPorts = 1000000;  // the most ports a NAS line may give, as --lines

bool Blank(WCHAR c) {
  return c == ' ' || c == '\t';
}

// The port count of a line "NAS COUNT" (a name, blanks, then a number of
// ports from 0 to kMaxNasPorts), or -1 when the line is not of that form.
int64_t NasPortCount(const WCHAR* line) {
  size_t end = 0;
  while (line[end] != 0) ++end;
  while (end > 0 && Blank(line[end - 1])) --end;
  size_t digits = end;
  while (digits > 0 && line[digits - 1] >= '0' && line[digits - 1] <= '9') --digits;
  if (digits == end || end - digits > 7 || digits == 0 || !Blank(line[digits - 1])) return -1;
  size_t name = digits;
  while (name > 0 && Blank(line[name - 1])) --name;
  if (name == 0) return -1;
  int64_t count = 0;
  for (size_t i = digits; i < end; ++i) count = count * 10 + (line[i] - '0');
  return count <= kMaxNasPorts ? count : -1;
}

// The lines a list of `count` lines gives: its lines, or, when every line
// names a NAS and its port count, the sum of the counts.
int64_t ListedLines(const BYTE* records, WORD count) {
  int64_t sum = 0;
  for (WORD i = 0; i < count; ++i) {
    int64_t n = NasPortCount(
        reinterpret_cast<const WCHAR*>(records + static_cast<size_t>(i) * RAS_PORT_RECORD_SIZE));
    if (n < 0) return count;
    sum += n;
  }
  return sum;
}

// Adds the ports of the list at path to *lines. A missing list sets
// *missing when that is allowed; anything else wrong with it is a failure,
// told as opt->Program.
int CountPorts(const AnswerOptions* opt, const char* path, bool mayBeMissing, int64_t* lines,
               bool* missing) {
  BYTE* records = nullptr;
  WORD count = 0;
  DWORD error = PlatformReadPortFile(path, &records, &count);
  if (error == ERROR_FILE_NOT_FOUND && mayBeMissing) {
    *missing = true;
    return 0;
  }
  const char* detail = error != 0 ? PlatformErrorDetail() : nullptr;
  if (error == 0 && count == 0) error = ERROR_INVALID_DATA, detail = "no port listed";
  for (WORD i = 0; error == 0 && i < count; ++i) {
    const WCHAR* name =
        reinterpret_cast<const WCHAR*>(records + static_cast<size_t>(i) * RAS_PORT_RECORD_SIZE);
    if (name[0] == 0) error = ERROR_INVALID_DATA, detail = "a blank line";
  }
  int64_t listed = error == 0 ? ListedLines(records, count) : 0;
  if (error == 0 && listed == 0) error = ERROR_INVALID_DATA, detail = "no port listed";
  PlatformFreePortFile(records);
  if (error != 0) {
    char text[4352];
    DescribeOpenFailure(path, error, detail, text, sizeof text);
    fprintf(stderr, "%s: %s\n", opt->Program, text);
    return kAnswerFailed;
  }
  *lines += listed;
  return 0;
}

// N from the lists beside the logs: unknown when a server has none.
void SetLinesBeside(AnswerOptions* opt, int64_t lines, bool missing) {
  opt->Lines = missing ? 0 : lines;
  opt->LinesFrom = missing ? nullptr : "RasPorts.txt";
}

// RasPorts.txt in the folder of the log at path.
std::string BesideLog(const char* path) {
  std::string p = path;
  size_t slash = p.find_last_of("/\\");
  return slash == std::string::npos ? std::string("RasPorts.txt")
                                    : p.substr(0, slash + 1) + "RasPorts.txt";
}

// N from the RasPorts.txt lists beside the logs: each server (the computer
// of a log's oldest record) counted once, however many of its logs are
// given, from the first of them (in the order given) that has a list
// beside it, as archived copies often lie in folders of their own; unknown
// when none of a server's logs has one. An accounting log has no such
// list: with one among the logs N is unknown.
int LinesBesideLogs(AnswerOptions* opt) {
  for (const char* log : opt->Logs) {
    if (!ModelIsEventLog(log, opt->Input)) return 0;
  }
  std::map<std::string, bool> found;  // server -> a list was counted
  int64_t lines = 0;
  for (const char* log : opt->Logs) {
    std::string computer;
    ModelFailure failure = {};
    if (!ModelLogComputer(log, &computer, &failure)) return AnswerModelFailed(opt, &failure);
    bool* counted = &found.emplace(computer, false).first->second;
    if (*counted) continue;
    bool missing = false;
    int status = CountPorts(opt, BesideLog(log).c_str(), true, &lines, &missing);
    if (status != 0) return status;
    *counted = !missing;
  }
  bool missing = false;
  for (const auto& server : found) missing = missing || !server.second;
  SetLinesBeside(opt, lines, missing);
  return 0;
}

// A warning of the model, on standard error; context is the answer's
// settings.
void WarnOnStderr(void* context, const char* text) {
  fprintf(stderr, "%s: warning: %s\n", static_cast<AnswerOptions*>(context)->Program, text);
}

}  // namespace

int AnswerFindLines(AnswerOptions* opt) {
  if (opt->Lines > 0) return 0;
  if (opt->PortFiles.empty()) return LinesBesideLogs(opt);
  int64_t lines = 0;
  bool missing = false;
  for (const char* path : opt->PortFiles) {
    int status = CountPorts(opt, path, false, &lines, &missing);
    if (status != 0) return status;
  }
  opt->Lines = lines;
  opt->LinesFrom = "--ports";
  return 0;
}

int AnswerLinesBesideLog(AnswerOptions* opt) {
  int64_t lines = 0;
  bool missing = false;
  int status = CountPorts(opt, BesideLog(opt->Logs[0]).c_str(), true, &lines, &missing);
  if (status == 0) SetLinesBeside(opt, lines, missing);
  return status;
}

void AnswerOptionsInit(AnswerOptions* opt) {
  opt->Logs.clear();
  opt->Input = kAcctAuto;
  opt->Since = kAlways;
  opt->Until = kForever;
  opt->Format = kFormatText;
  opt->Utc = false;
  opt->Command = kAnswerBusy;
  opt->Download = false;
  opt->Step = kStepHour;
  opt->WeekHour = false;
  opt->Filter.Users.clear();
  opt->Filter.Ports.clear();
  opt->Sort = nullptr;
  opt->Top = 0;
  opt->Lines = 0;
  opt->LinesFrom = nullptr;
  opt->PortFiles.clear();
  opt->Targets = {0.01, 0.02, 0.05};
  opt->Program = "velmar-log";
  opt->Overflow = false;
  opt->Unopened = false;
}

int AnswerReadLogs(AnswerOptions* opt, ModelListener* listener, ModelFacts* facts) {
  listener->Warning = WarnOnStderr;
  listener->WarningContext = opt;
  ModelFailure failure = {};
  ModelInput in = {opt->Logs.data(), static_cast<int>(opt->Logs.size()), opt->Input};
  if (!ModelRead(&in, listener, facts, opt->Since, opt->Until, &failure)) {
    opt->Unopened = failure.Unopened;
    return AnswerModelFailed(opt, &failure);
  }
  return 0;
}

int AnswerModelFailed(const AnswerOptions* opt, const ModelFailure* failure) {
  fprintf(stderr, "%s: %s\n", opt->Program, failure->Text);
  return kAnswerFailed;
}
