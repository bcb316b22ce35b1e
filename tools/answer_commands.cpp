// The answering commands' command line: the log files, the options each
// command takes, the zone (TZ, else SGT-8 as the report does; UTC with
// --utc), the range, and the pool's lines from --lines, --ports or the
// RasPorts.txt lists beside the logs. Then the command runs and its output
// is flushed; every failure is a message and status 2.
#include "tools/answer_commands.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "charts/busychart.h"
#include "platform/environment.h"
#include "platform/stdstreams.h"
#include "tools/logtool.h"

const char* const kAnswerUsage =
    "       velmar-log info FILE... [--since T] [--until T] [--format text|csv|json] [--utc]\n"
    "       velmar-log sessions FILE... [--since T] [--until T]\n"
    "                  [--format text|csv|json|ndjson] [--utc]\n"
    "       velmar-log users FILE... [--since T] [--until T] [--format text|csv|json] [--utc]\n"
    "       velmar-log busy FILE... [--step hour|day|weekhour] [--lines N | --ports FILE]\n"
    "                  [--since T] [--until T] [--format text|csv|json|svg] [--utc]\n"
    "       velmar-log capacity FILE... [--lines N | --ports FILE] [--target 0.01,0.02,0.05]\n"
    "                  [--since T] [--until T] [--format text|csv|json] [--utc]\n";

namespace {

// The commands, as bits of the options' masks.
enum {
  kInfo = 1,
  kSessions = 2,
  kUsers = 4,
  kBusy = 8,
  kCapacity = 16,
  kEvery = 31,
};

const char* const kCommands[] = {"info", "sessions", "users", "busy", "capacity"};

// An option: its name, the commands that take it, whether a value follows.
struct AnswerOption {
  const char* Name;  // "--since"
  int Commands;      // mask of the commands
  bool Value;        // takes a value
};

const AnswerOption kAnswerOptions[] = {
    {"--since", kEvery, true},
    {"--until", kEvery, true},
    {"--format", kEvery, true},
    {"--utc", kEvery, false},
    {"--step", kBusy, true},
    {"--lines", kBusy | kCapacity, true},
    {"--ports", kBusy | kCapacity, true},
    {"--target", kCapacity, true},
};

const int64_t kMaxLines = 1000000;

// The texts of --since and --until, read once the zone is set.
struct RangeTexts {
  const char* Since;  // null when not given
  const char* Until;  // null when not given
};

int BadValue(const char* option, const char* value, const char* want) {
  fprintf(stderr, "velmar-log: %s: bad value '%s' (%s)\n", option, value, want);
  return kAnswerFailed;
}

int BadUsage(const char* problem) {
  fprintf(stderr, "velmar-log: %s (velmar-log --help shows the usage)\n", problem);
  return kAnswerFailed;
}

int ParseFormat(AnswerOptions* opt, int command, const char* v) {
  const struct {
    const char* Name;
    AnswerFormat Format;
    int Commands;
  } formats[] = {{"text", kFormatText, kEvery},
                 {"csv", kFormatCsv, kEvery},
                 {"json", kFormatJson, kEvery},
                 {"ndjson", kFormatNdjson, kSessions},
                 {"svg", kFormatSvg, kBusy}};
  for (const auto& f : formats) {
    if (strcmp(v, f.Name) == 0 && (f.Commands & command) != 0) {
      opt->Format = f.Format;
      return 0;
    }
  }
  return BadValue("--format", v, "not a format of this command");
}

int ParseStep(AnswerOptions* opt, const char* v) {
  opt->WeekHour = strcmp(v, "weekhour") == 0;
  if (strcmp(v, "hour") == 0 || opt->WeekHour) {
    opt->Step = kStepHour;
  } else if (strcmp(v, "day") == 0) {
    opt->Step = kStepDay;
  } else {
    return BadValue("--step", v, "hour, day or weekhour");
  }
  return 0;
}

int ParseTargets(AnswerOptions* opt, const char* v) {
  opt->Targets.clear();
  for (const char* p = v;;) {
    char* end = nullptr;
    double target = strtod(p, &end);
    if (end == p || !(target > 0 && target < 1) || (*end != ',' && *end != '\0')) {
      return BadValue("--target", v, "blocking shares between 0 and 1, split by commas");
    }
    opt->Targets.push_back(target);
    if (*end == '\0') return 0;
    p = end + 1;
  }
}

int ParseLines(AnswerOptions* opt, const char* v) {
  uint64_t n = 0;
  if (!ParseNumber(v, (uint64_t)kMaxLines, &n) || n == 0) {
    return BadValue("--lines", v, "a number of lines from 1 to 1000000");
  }
  opt->Lines = (int64_t)n;
  opt->LinesFrom = "--lines";
  return 0;
}

int Apply(AnswerOptions* opt, int command, const char* name, const char* v, RangeTexts* times) {
  if (strcmp(name, "--since") == 0) times->Since = v;
  if (strcmp(name, "--until") == 0) times->Until = v;
  if (strcmp(name, "--utc") == 0) opt->Utc = true;
  if (strcmp(name, "--ports") == 0) opt->PortFiles.push_back(v);
  if (strcmp(name, "--format") == 0) return ParseFormat(opt, command, v);
  if (strcmp(name, "--step") == 0) return ParseStep(opt, v);
  if (strcmp(name, "--target") == 0) return ParseTargets(opt, v);
  if (strcmp(name, "--lines") == 0) return ParseLines(opt, v);
  return 0;
}

const AnswerOption* FindOption(const char* arg, size_t len, int command) {
  for (const AnswerOption& o : kAnswerOptions) {
    if (strlen(o.Name) == len && strncmp(o.Name, arg, len) == 0 && (o.Commands & command) != 0) {
      return &o;
    }
  }
  return nullptr;
}

// Reads the arguments after the command: log files and options, as
// "--name value" or "--name=value".
int ParseAnswerArgs(AnswerOptions* opt, int command, int argc, char** argv, RangeTexts* times) {
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (strncmp(a, "--", 2) != 0 || a[2] == '\0') {
      opt->Logs.push_back(a);
      continue;
    }
    const char* eq = strchr(a, '=');
    size_t len = eq != nullptr ? (size_t)(eq - a) : strlen(a);
    const AnswerOption* o = FindOption(a, len, command);
    if (o == nullptr) {
      fprintf(stderr, "velmar-log: unknown option %.*s\n", (int)len, a);
      return BadUsage("not an option of this command");
    }
    const char* v = eq != nullptr ? eq + 1 : (o->Value && i + 1 < argc ? argv[++i] : nullptr);
    if (o->Value && v == nullptr) return BadValue(o->Name, "", "a value is missing");
    if (!o->Value && eq != nullptr) return BadValue(o->Name, v, "takes no value");
    int status = Apply(opt, command, o->Name, v, times);
    if (status != 0) return status;
  }
  if (opt->Logs.empty()) return BadUsage("no event log file given");
  if (opt->Lines > 0 && !opt->PortFiles.empty())
    return BadUsage("give --lines or --ports, not both");
  return 0;
}

// TZ for every time of the run: UTC with --utc, else TZ, else the report's
// default zone. A zone file that is missing is said, as the report says it.
void SetZone(bool utc) {
  const char* tz = utc ? "UTC0" : getenv("TZ") == nullptr ? DEFAULT_TZ : nullptr;
  if (tz != nullptr) PlatformSetEnv("TZ", tz);
  PlatformReadZone();
  if (!utc) WarnMissingZone(getenv("TZ"));
}

// A time given with an offset of its own may lie outside the years every
// answer's times are written in: such a range is refused, not printed
// with a year that is not its own.
int ParseTime(ZoneCache* zone, const char* option, const char* text, EventTime* t) {
  if (!ZoneParse(zone, text, t))
    return BadValue(option, text, "want YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]");
  if (!ZoneInIsoYears(zone, *t))
    return BadValue(option, text, "not in the years 0001 to 9999 of the zone");
  return 0;
}

int ParseTimes(AnswerOptions* opt, const RangeTexts* times) {
  int status = 0;
  if (times->Since != nullptr) status = ParseTime(&opt->Zone, "--since", times->Since, &opt->Since);
  if (status == 0 && times->Until != nullptr)
    status = ParseTime(&opt->Zone, "--until", times->Until, &opt->Until);
  if (status != 0) return status;
  if (opt->Since >= opt->Until) return BadUsage("--since must come before --until");
  return 0;
}

int CommandBit(const char* command) {
  for (int i = 0; i < 5; ++i) {
    if (strcmp(command, kCommands[i]) == 0) return 1 << i;
  }
  return 0;
}

int Dispatch(int command, AnswerOptions* opt, OutBuf* out) {
  switch (command) {
    case kInfo:
      return AnswerInfo(opt, out);
    case kSessions:
      return AnswerSessions(opt, out);
    case kUsers:
      return AnswerUsers(opt, out);
    case kBusy:
      return opt->Format == kFormatSvg ? AnswerBusyChart(opt, out) : AnswerBusy(opt, out);
    default:
      return AnswerCapacity(opt, out);
  }
}

// Runs the command with its output buffered to standard output.
int RunWithOutput(int command, AnswerOptions* opt) {
  OutBuf* out = (OutBuf*)malloc(sizeof(OutBuf));
  if (out == nullptr) {
    fprintf(stderr, "velmar-log: out of memory\n");
    return kAnswerFailed;
  }
  OutInit(out, stdout);
  out->Terminal = opt->Format == kFormatText && PlatformStdoutIsTerminal();
  int status = Dispatch(command, opt, out);
  if (!OutFlush(out)) {
    if (out->Errno != EPIPE)
      fprintf(stderr, "velmar-log: can't write the output: %s\n", strerror(out->Errno));
    status = kAnswerFailed;
  }
  free(out);
  return status;
}

}  // namespace

int RunAnswer(const char* command, int argc, char** argv) {
  int which = CommandBit(command);
  if (which == 0) return -1;
  AnswerOptions opt;
  AnswerOptionsInit(&opt);
  RangeTexts times = {nullptr, nullptr};
  int status = ParseAnswerArgs(&opt, which, argc, argv, &times);
  if (status != 0) return status;
  SetZone(opt.Utc);
  ZoneInit(&opt.Zone);
  status = ParseTimes(&opt, &times);
  if (status == 0 && (which & (kBusy | kCapacity)) != 0) status = AnswerFindLines(&opt);
  return status != 0 ? status : RunWithOutput(which, &opt);
}
