// The command line of velmar-log: the usage text, the one option table and
// the functions that take each option's value, and the reader. A value is
// checked as it is taken; times wait for the zone (answer_commands.cpp).
#include "tools/cmdline.h"

#include <cstdlib>
#include <cstring>

#include "tools/logtool.h"

namespace {

const char* const kUsage =
    "Usage: velmar-log dump FILE\n"
    "       velmar-log make CSV FILE [--max-size N] [--start-offset N] [--force]\n"
    "       velmar-log sample DIR [--days N] [--ports N] [--seed N] [--nas N]\n"
    "                         [--format detail|nps|ias|nps-xml] [--force]\n"
    "       velmar-log info FILE... [--since T] [--until T] [--format text|csv|json] [--utc]\n"
    "       velmar-log sessions FILE... [--user NAME] [--port NAME] [--since T] [--until T]\n"
    "                  [--format text|csv|json|ndjson|sql] [--utc]\n"
    "       velmar-log users FILE... [--user NAME] [--port NAME] [--sort KEY] [--top N]\n"
    "                  [--since T] [--until T] [--format text|csv|json|sql] [--utc]\n"
    "       velmar-log busy FILE... [--step hour|day|week|month|weekhour]\n"
    "                  [--lines N | --ports FILE] [--user NAME] [--port NAME] [--sort KEY]\n"
    "                  [--top N] [--since T] [--until T]\n"
    "                  [--format text|csv|json|sql|svg] [--utc]\n"
    "       velmar-log allbusy FILE... [--lines N | --ports FILE] [--since T] [--until T]\n"
    "                  [--format text|csv|json|ndjson|sql] [--utc]\n"
    "       velmar-log capacity FILE... [--lines N | --ports FILE] [--target 0.01,0.02,0.05]\n"
    "                  [--since T] [--until T] [--format text|csv|json] [--utc]\n"
    "       velmar-log --help | --version\n"
    "       (each answer: FILE an event log or an accounting log, - standard input;\n"
    "        --input evt|detail|nps|ias|nps-xml takes every FILE as that kind)\n";

const char* const kUsageMore =
    "\n"
    "  dump    print the records of the event log FILE (.evt) as CSV:\n"
    "          number,generated,written,event_id,type,category,source,computer,strings...\n"
    "          times in UTC as YYYY-MM-DDTHH:MM:SSZ, one column per insertion string\n"
    "  make    write the event log FILE from CSV in that form (CSV - reads standard input);\n"
    "          --max-size N makes a circular log of N bytes whose records start at\n"
    "          --start-offset N (default 48) and wrap, dropping the oldest\n"
    "  sample  write a sample SysEvent.Evt and RasPorts.txt into DIR: dial-up traffic on\n"
    "          --ports N ports (default 8) over the last --days N days (default 7),\n"
    "          generated from --seed N (default 1); the same seed and clock give the same files;\n"
    "          --nas N servers (default 1), each then in DIR/RAS01, DIR/RAS02, ...;\n"
    "          --format detail|nps|ias|nps-xml the same traffic as the pool's accounting log\n"
    "          instead (DIR/detail, nps.log, ias.log or nps-xml.log) and DIR/NasPorts.txt\n"
    "          (NAS PORTCOUNT lines): its Interim-Updates, retransmissions, delays, lost Starts\n"
    "          and authentication lines have no .evt record, nor the .evt's unrelated records\n"
    "          any accounting one; the sessions are the same\n"
    "  info      per server, its logs in time order: record numbers, first and last times,\n"
    "            wrapped, dirty, how each joins the one before; the counts once\n"
    "  sessions  one row per session, in the order they end\n"
    "  users     per user: sessions, time, longest, first start, last end; a total\n"
    "  busy      per hour, day, week, month or hour of the week: covered time, line time,\n"
    "            mean and peak lines in use, time with all N lines busy, connects; a total,\n"
    "            then the time at exactly k lines\n"
    "  allbusy   each interval with all N lines in use, to the second, and their total\n"
    "  capacity  the busy hour's traffic and the lines each blocking target needs (Erlang B)\n"
    "  --user NAME, --port NAME (each repeatable) count only those users' or ports' sessions;\n"
    "  --sort KEY orders the rows by a column (its CSV name), --top N keeps the first N\n"
    "  (busy without --sort: the N busiest by mean_lines). Text shows durations as h:mm:ss;\n"
    "  CSV, JSON and SQL give seconds. --format sql writes a script for sqlite3.\n"
    "  --force lets make and sample replace files that exist; without it they write none\n"
    "  The logs of one server (the computer of their oldest records) are read as one\n"
    "  history: in time order, a record in two of them counted once. Accounting logs\n"
    "  (detail, nps, ias, nps-xml) are read in event time, each NAS a history of its own;\n"
    "  --ports FILE may list NAS PORTCOUNT lines for them.\n"
    "  T is YYYY-MM-DD (local midnight), YYYY-MM-DDTHH:MM[:SS] (local time), YYYY-MM (the\n"
    "  month's first midnight), today, yesterday (their midnights), now, -Nd or -Nh (N days\n"
    "  or hours before now); the zone is TZ, else SGT-8, or UTC with --utc.\n"
    "  See velmar-log(1).\n";

const int64_t kMaxLines = 1000000;
const uint64_t kMaxTop = 1000000000;

struct ToolOption;

// How an option's value is kept: value is null for a switch, and "" when
// it is missing for a command that shows the usage. Returns 0, or the exit
// status after a message.
typedef int (*TakeValue)(ToolArgs* args, int command, const ToolOption* o, const char* value);

// One option of the table.
struct ToolOption {
  const char* Name;            // "--days"
  int Commands;                // the commands that take it
  bool Value;                  // a value follows
  TakeValue Take;              // keeps it
  uint64_t ToolArgs::*Number;  // TakeNumber: where the number goes
  uint64_t Min;                // TakeNumber: the smallest value
  uint64_t Max;                // TakeNumber: the largest value
};

// A number given in decimal or as 0x followed by hex digits.
int ParseValue(const char* text, uint64_t max, uint64_t* value) {
  if (strncmp(text, "0x", 2) != 0 && strncmp(text, "0X", 2) != 0)
    return ParseNumber(text, max, value);
  uint64_t v = 0;
  const char* p = text + 2;
  if (*p == 0) return 0;
  for (; *p != 0; ++p) {
    const char* digits = "0123456789abcdef";
    const char* d = strchr(digits, *p >= 'A' && *p <= 'F' ? *p - 'A' + 'a' : *p);
    if (d == nullptr || v > (max >> 4)) return 0;
    v = v * 16 + static_cast<uint64_t>(d - digits);
  }
  if (v > max) return 0;
  *value = v;
  return 1;
}

// ---- the values of dump, make and sample ----

int TakeNumber(ToolArgs* args, int, const ToolOption* o, const char* value) {
  uint64_t v;
  if (!ParseValue(value, o->Max, &v) || v < o->Min) {
    fprintf(stderr, "velmar-log: %s wants a number from %llu to %llu\n", o->Name,
            static_cast<unsigned long long>(o->Min), static_cast<unsigned long long>(o->Max));
    return Usage(nullptr);
  }
  args->*o->Number = v;
  return 0;
}

int TakeForce(ToolArgs* args, int, const ToolOption*, const char*) {
  args->Force = true;
  return 0;
}

int TakeSampleFormat(ToolArgs* args, int, const ToolOption*, const char* value) {
  if (!AcctKindFromName(value, &args->SampleFormat))
    return Usage("--format wants evt, detail, nps, ias or nps-xml");
  return 0;
}

// ---- the values of the answering commands ----

int TakeSince(ToolArgs* args, int, const ToolOption*, const char* value) {
  args->Since = value;
  return 0;
}

int TakeUntil(ToolArgs* args, int, const ToolOption*, const char* value) {
  args->Until = value;
  return 0;
}

int TakeUtc(ToolArgs* args, int, const ToolOption*, const char*) {
  args->Answer.Utc = true;
  return 0;
}

int TakeAnswerFormat(ToolArgs* args, int command, const ToolOption*, const char* value) {
  const struct {
    const char* Name;     // as --format names it
    AnswerFormat Format;  // the format
    int Commands;         // the commands that write it
  } formats[] = {{"text", kFormatText, kAnswering},
                 {"csv", kFormatCsv, kAnswering},
                 {"json", kFormatJson, kAnswering},
                 {"ndjson", kFormatNdjson, kSessions | kAllBusy},
                 {"sql", kFormatSql, kSessions | kUsers | kBusy | kAllBusy},
                 {"svg", kFormatSvg, kBusy}};
  for (const auto& f : formats) {
    if (strcmp(value, f.Name) == 0 && (f.Commands & command) != 0) {
      args->Answer.Format = f.Format;
      return 0;
    }
  }
  return BadValue("--format", value, "not a format of this command");
}

int TakeStep(ToolArgs* args, int, const ToolOption*, const char* value) {
  AnswerOptions* opt = &args->Answer;
  opt->WeekHour = strcmp(value, "weekhour") == 0;
  if (opt->WeekHour) {
    opt->Step = kStepHour;
    return 0;
  }
  for (BucketStep step : {kStepHour, kStepDay, kStepWeek, kStepMonth}) {
    if (strcmp(value, BucketStepName(step)) != 0) continue;
    opt->Step = step;
    return 0;
  }
  return BadValue("--step", value, "hour, day, week, month or weekhour");
}

int TakeUser(ToolArgs* args, int, const ToolOption*, const char* value) {
  args->Answer.Filter.Users.push_back(value);
  return 0;
}

int TakePort(ToolArgs* args, int, const ToolOption*, const char* value) {
  args->Answer.Filter.Ports.push_back(value);
  return 0;
}

// The column is checked against the answer's own, once the step is known.
int TakeSort(ToolArgs* args, int, const ToolOption*, const char* value) {
  args->Answer.Sort = value;
  return 0;
}

int TakeTop(ToolArgs* args, int, const ToolOption*, const char* value) {
  uint64_t n = 0;
  if (!ParseNumber(value, kMaxTop, &n) || n == 0)
    return BadValue("--top", value, "a number of rows from 1 to 1000000000");
  args->Answer.Top = n;
  return 0;
}

int TakeLines(ToolArgs* args, int, const ToolOption*, const char* value) {
  uint64_t n = 0;
  if (!ParseNumber(value, static_cast<uint64_t>(kMaxLines), &n) || n == 0) {
    return BadValue("--lines", value, "a number of lines from 1 to 1000000");
  }
  args->Answer.Lines = static_cast<int64_t>(n);
  args->Answer.LinesFrom = "--lines";
  return 0;
}

int TakePortFile(ToolArgs* args, int, const ToolOption*, const char* value) {
  args->Answer.PortFiles.push_back(value);
  return 0;
}

int TakeTargets(ToolArgs* args, int, const ToolOption*, const char* value) {
  std::vector<double>* targets = &args->Answer.Targets;
  targets->clear();
  for (const char* p = value;;) {
    char* end = nullptr;
    double target = strtod(p, &end);
    if (end == p || !(target > 0 && target < 1) || (*end != ',' && *end != '\0')) {
      return BadValue("--target", value, "blocking shares between 0 and 1, split by commas");
    }
    targets->push_back(target);
    if (*end == '\0') return 0;
    p = end + 1;
  }
}

int TakeInput(ToolArgs* args, int, const ToolOption*, const char* value) {
  if (!AcctKindFromName(value, &args->Answer.Input))
    return BadValue("--input", value, "evt, detail, nps, ias or nps-xml");
  return 0;
}

// Every option of every command. A name may stand in more than one row,
// for commands that give it different meanings (sample --ports N, busy
// --ports FILE).
const ToolOption kOptions[] = {
    {"--max-size", kMake, true, TakeNumber, &ToolArgs::MaxSize, 0x90, 0xFFFFFFFC},
    {"--start-offset", kMake, true, TakeNumber, &ToolArgs::StartOffset, 0x30, 0xFFFFFFFC},
    {"--force", kMake | kSample, false, TakeForce, nullptr, 0, 0},
    {"--days", kSample, true, TakeNumber, &ToolArgs::Days, 1, 3650},
    {"--ports", kSample, true, TakeNumber, &ToolArgs::Ports, 1, 256},
    {"--seed", kSample, true, TakeNumber, &ToolArgs::Seed, 0, UINT64_MAX},
    {"--nas", kSample, true, TakeNumber, &ToolArgs::Nas, 1, 64},
    {"--format", kSample, true, TakeSampleFormat, nullptr, 0, 0},
    {"--since", kAnswering, true, TakeSince, nullptr, 0, 0},
    {"--until", kAnswering, true, TakeUntil, nullptr, 0, 0},
    {"--format", kAnswering, true, TakeAnswerFormat, nullptr, 0, 0},
    {"--utc", kAnswering, false, TakeUtc, nullptr, 0, 0},
    {"--step", kBusy, true, TakeStep, nullptr, 0, 0},
    {"--lines", kBusy | kCapacity | kAllBusy, true, TakeLines, nullptr, 0, 0},
    {"--ports", kBusy | kCapacity | kAllBusy, true, TakePortFile, nullptr, 0, 0},
    {"--target", kCapacity, true, TakeTargets, nullptr, 0, 0},
    {"--user", kSessions | kUsers | kBusy, true, TakeUser, nullptr, 0, 0},
    {"--port", kSessions | kUsers | kBusy, true, TakePort, nullptr, 0, 0},
    {"--sort", kUsers | kBusy, true, TakeSort, nullptr, 0, 0},
    {"--top", kUsers | kBusy, true, TakeTop, nullptr, 0, 0},
    {"--input", kAnswering, true, TakeInput, nullptr, 0, 0},
};

// ---- the reader ----

const ToolOption* FindOption(const char* arg, size_t len, int command) {
  for (const ToolOption& o : kOptions) {
    if (strlen(o.Name) == len && strncmp(o.Name, arg, len) == 0 && (o.Commands & command) != 0) {
      return &o;
    }
  }
  return nullptr;
}

// Whether arg is one of command's places rather than an option: a log may
// be named anything but an option; the others' places never start "--".
bool IsPlace(const ToolCommand* command, const char* arg) {
  if (strncmp(arg, "--", 2) != 0) return true;
  return command->Places == kLogs && arg[2] == '\0';
}

int TakePlace(const ToolCommand* command, const char* arg, ToolArgs* args) {
  if (command->Places == kLogs) {
    args->Answer.Logs.push_back(arg);
    return 0;
  }
  if (args->PlaceCount == command->Places) return Usage("too many arguments");
  args->Places[args->PlaceCount++] = arg;
  return 0;
}

// An option this command doesn't take.
int UnknownOption(const ToolCommand* command, const char* arg, size_t len) {
  fprintf(stderr, "velmar-log: unknown option %.*s\n", static_cast<int>(len), arg);
  if (command->Places != kLogs) return Usage(nullptr);
  return BadUsage("not an option of this command");
}

int SwitchWithValue(const ToolCommand* command, const ToolOption* o, const char* value) {
  if (command->Places == kLogs) return BadValue(o->Name, value, "takes no value");
  fprintf(stderr, "velmar-log: %s takes no value\n", o->Name);
  return Usage(nullptr);
}

// After the last argument: the places every command needs, and the
// answering commands' one rule between options.
int Complete(const ToolCommand* command, const ToolArgs* args) {
  if (command->Places != kLogs) {
    return args->PlaceCount == command->Places ? 0 : Usage("missing arguments");
  }
  if (args->Answer.Logs.empty()) return BadUsage("no log file given");
  if (args->Answer.Lines > 0 && !args->Answer.PortFiles.empty())
    return BadUsage("give --lines or --ports, not both");
  // A chart's buckets stand on a time axis: no other order, none left out.
  if (args->Answer.Format == kFormatSvg && (args->Answer.Sort != nullptr || args->Answer.Top != 0))
    return BadUsage("--sort and --top order and cut rows, which --format svg does not write");
  return 0;
}

}  // namespace

void ToolArgsInit(ToolArgs* args) {
  args->Places[0] = args->Places[1] = nullptr;
  args->PlaceCount = 0;
  args->Force = false;
  args->MaxSize = 0;
  args->StartOffset = 0;
  args->Days = 7;
  args->Ports = 8;
  args->Seed = 1;
  args->Nas = 1;
  args->SampleFormat = kAcctEvt;
  AnswerOptionsInit(&args->Answer);
  args->Since = nullptr;
  args->Until = nullptr;
}

int ReadToolArgs(const ToolCommand* command, int argc, char** argv, ToolArgs* args) {
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    int status = 0;
    if (IsPlace(command, a)) {
      status = TakePlace(command, a, args);
      if (status != 0) return status;
      continue;
    }
    const char* eq = strchr(a, '=');
    size_t len = eq != nullptr ? static_cast<size_t>(eq - a) : strlen(a);
    const ToolOption* o = FindOption(a, len, command->Bit);
    if (o == nullptr) return UnknownOption(command, a, len);
    const char* value = eq != nullptr ? eq + 1 : (o->Value && i + 1 < argc ? argv[++i] : nullptr);
    if (!o->Value && eq != nullptr) return SwitchWithValue(command, o, value);
    if (o->Value && value == nullptr) {
      if (command->Places == kLogs) return BadValue(o->Name, "", "a value is missing");
      value = "";
    }
    status = o->Take(args, command->Bit, o, value);
    if (status != 0) return status;
  }
  return Complete(command, args);
}

void PutUsage(FILE* out) {
  fputs(kUsage, out);
  fputs(kUsageMore, out);
}

void PutVersion(FILE* out) {
  fputs("velmar-log " VELMAR_VERSION "\n", out);
}

int Usage(const char* problem) {
  if (problem != nullptr) fprintf(stderr, "velmar-log: %s\n", problem);
  PutUsage(stderr);
  return kBadUsage;
}

int BadValue(const char* option, const char* value, const char* want) {
  fprintf(stderr, "velmar-log: %s: bad value '%s' (%s)\n", option, value, want);
  return kBadUsage;
}

int BadUsage(const char* problem) {
  fprintf(stderr, "velmar-log: %s (velmar-log --help shows the usage)\n", problem);
  return kBadUsage;
}
