// velmar-log: the companion tool of the report. Reads the command line,
// checks it, and runs dump, make or sample, or hands an answering command
// (info, sessions, users, busy, capacity) to its own reader; bad usage
// prints the usage text on standard error and ends with status 2.
#include <cstring>
#include <ctime>

#include "platform/signalguard.h"
#include "platform/stdstreams.h"
#include "tools/answer_commands.h"
#include "tools/logtool.h"

namespace {

const char* const kUsage =
    "Usage: velmar-log dump FILE\n"
    "       velmar-log make CSV FILE [--max-size N] [--start-offset N] [--force]\n"
    "       velmar-log sample DIR [--days N] [--ports N] [--seed N] [--nas N]\n"
    "                         [--format detail|nps|ias|nps-xml] [--force]\n";

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
    "  users     per user: sessions, seconds, longest, first start, last end\n"
    "  busy      per hour, day or hour of the week: covered seconds, line-seconds, mean and\n"
    "            peak lines in use, seconds with all N lines busy, connects; then the time\n"
    "            at exactly k lines\n"
    "  capacity  the busy hour's traffic and the lines each blocking target needs (Erlang B)\n"
    "  --force lets make and sample replace files that exist; without it they write none\n"
    "  The logs of one server (the computer of their oldest records) are read as one\n"
    "  history: in time order, a record in two of them counted once.\n"
    "  T is YYYY-MM-DD (local midnight) or YYYY-MM-DDTHH:MM[:SS] (local time); the zone is TZ,\n"
    "  else SGT-8, or UTC with --utc. See velmar-log(1).\n";

// The whole usage text.
void PutUsage(FILE* out) {
  fputs(kUsage, out);
  fputs(kAnswerUsage, out);
  fputs(kUsageMore, out);
}

const int kBadUsage = 2;

int Usage(const char* problem) {
  if (problem != nullptr) fprintf(stderr, "velmar-log: %s\n", problem);
  PutUsage(stderr);
  return kBadUsage;
}

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
    v = v * 16 + (uint64_t)(d - digits);
  }
  if (v > max) return 0;
  *value = v;
  return 1;
}

// One option a command takes: a number in a range ("--days N") or a switch
// that takes no value ("--force").
struct CommandOption {
  const char* Name;  // "--days"
  uint64_t Min;      // smallest value
  uint64_t Max;      // largest value
  uint64_t* Value;   // set when given; null for a switch
  int* Given;        // set to 1 when given
};

// Splits args into positionals and options. Returns 0 or a usage status.
int ParseArgs(int argc, char** argv, const char** pos, int npos, CommandOption* options,
              int noptions) {
  int got = 0;
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (strncmp(a, "--", 2) != 0) {
      if (got == npos) return Usage("too many arguments");
      pos[got++] = a;
      continue;
    }
    const char* eq = strchr(a, '=');
    size_t nameLen = eq != nullptr ? (size_t)(eq - a) : strlen(a);
    CommandOption* option = nullptr;
    for (int k = 0; k < noptions; ++k)
      if (strlen(options[k].Name) == nameLen && strncmp(options[k].Name, a, nameLen) == 0)
        option = &options[k];
    if (option == nullptr) return Usage("unknown option");
    if (option->Value == nullptr) {
      if (eq != nullptr) {
        fprintf(stderr, "velmar-log: %s takes no value\n", option->Name);
        return Usage(nullptr);
      }
      *option->Given = 1;
      continue;
    }
    const char* text = eq != nullptr ? eq + 1 : (i + 1 < argc ? argv[++i] : nullptr);
    uint64_t v;
    if (text == nullptr || !ParseValue(text, option->Max, &v) || v < option->Min) {
      fprintf(stderr, "velmar-log: %s wants a number from %llu to %llu\n", option->Name,
              (unsigned long long)option->Min, (unsigned long long)option->Max);
      return Usage(nullptr);
    }
    *option->Value = v;
    *option->Given = 1;
  }
  return got == npos ? 0 : Usage("missing arguments");
}

int RunDump(int argc, char** argv) {
  const char* pos[1];
  int bad = ParseArgs(argc, argv, pos, 1, nullptr, 0);
  return bad != 0 ? bad : LogDump(pos[0], stdout);
}

int RunMake(int argc, char** argv) {
  const char* pos[2];
  uint64_t size = 0, start = 0x30;
  int sizeGiven = 0, startGiven = 0, force = 0;
  CommandOption options[] = {{"--max-size", 0x90, 0xFFFFFFFC, &size, &sizeGiven},
                             {"--start-offset", 0x30, 0xFFFFFFFC, &start, &startGiven},
                             {"--force", 0, 0, nullptr, &force}};
  int bad = ParseArgs(argc, argv, pos, 2, options, 3);
  if (bad != 0) return bad;
  if (startGiven && !sizeGiven) return Usage("--start-offset needs --max-size");
  return LogMake(pos[0], pos[1], (uint32_t)size, (uint32_t)start, force);
}

// Takes "--format NAME" (or "--format=NAME") out of the arguments into
// *kind. Returns 0, or a usage status for a name of no format.
int TakeFormat(int* argc, char** argv, AcctKind* kind) {
  for (int i = 0; i < *argc; ++i) {
    const char* a = argv[i];
    const char* name = strncmp(a, "--format=", 9) == 0 ? a + 9 : nullptr;
    int taken = 1;
    if (name == nullptr && strcmp(a, "--format") == 0)
      name = i + 1 < *argc ? argv[i + 1] : "", taken = 2;
    if (name == nullptr) continue;
    if (!AcctKindFromName(name, kind))
      return Usage("--format wants evt, detail, nps, ias or nps-xml");
    for (int j = i; j + taken < *argc; ++j) argv[j] = argv[j + taken];
    *argc -= taken;
    --i;
  }
  return 0;
}

int RunSample(int argc, char** argv) {
  const char* pos[1];
  uint64_t days = 7, ports = 8, seed = 1, nas = 1;
  int given[5] = {0, 0, 0, 0, 0};
  AcctKind format = kAcctEvt;
  int bad = TakeFormat(&argc, argv, &format);
  if (bad != 0) return bad;
  CommandOption options[] = {{"--days", 1, 3650, &days, &given[0]},
                             {"--ports", 1, 256, &ports, &given[1]},
                             {"--seed", 0, UINT64_MAX, &seed, &given[2]},
                             {"--force", 0, 0, nullptr, &given[3]},
                             {"--nas", 1, 64, &nas, &given[4]}};
  bad = ParseArgs(argc, argv, pos, 1, options, 5);
  if (bad != 0) return bad;
  SampleOptions opt = {(uint32_t)days, (uint32_t)ports, seed,  (int64_t)time(nullptr),
                       given[3],       (uint32_t)nas,   format};
  if (opt.Now < (int64_t)days * 86400 || opt.Now > 0xFFFFFFFFLL) {
    fprintf(stderr, "velmar-log: the clock is outside the times a log can hold\n");
    return 1;
  }
  return LogSample(pos[0], &opt);
}

}  // namespace

int main(int argc, char** argv) {
  // The CSV goes in and out as the same bytes on every system.
  PlatformBinaryStdio();
  // A file size limit makes the write that passes it fail, which the
  // commands report (and make and sample clean up after), instead of
  // ending the process without a word.
  SignalGuardIgnoreFileSizeLimit();
  if (argc < 2) return Usage(nullptr);
  const char* command = argv[1];
  if (strcmp(command, "-h") == 0 || strcmp(command, "--help") == 0 ||
      strcmp(command, "help") == 0) {
    PutUsage(stdout);
    return 0;
  }
  if (strcmp(command, "dump") == 0) return RunDump(argc - 2, argv + 2);
  if (strcmp(command, "make") == 0) return RunMake(argc - 2, argv + 2);
  if (strcmp(command, "sample") == 0) return RunSample(argc - 2, argv + 2);
  int status = RunAnswer(command, argc - 2, argv + 2);
  return status >= 0 ? status : Usage("unknown command");
}
