// velmar-log: the companion tool of the report. Finds the command (or
// suggests the nearest to a name it does not know), reads its arguments
// with the one option table (cmdline.h), and runs dump, make or sample, or
// an answering command (info, sessions, users, busy, allbusy, capacity);
// bad usage is refused with status 2.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/signalguard.h"
#include "platform/stdstreams.h"
#include "tools/answer_commands.h"
#include "tools/cmdline.h"
#include "tools/logtool.h"

namespace {

int RunDump(int, ToolArgs* args) {
  return LogDump(args->Places[0], stdout);
}

int RunMake(int, ToolArgs* args) {
  if (args->StartOffset != 0 && args->MaxSize == 0) return Usage("--start-offset needs --max-size");
  uint32_t start = args->StartOffset != 0 ? static_cast<uint32_t>(args->StartOffset) : 0x30;
  return LogMake(args->Places[0], args->Places[1], static_cast<uint32_t>(args->MaxSize), start,
                 args->Force);
}

int RunSample(int, ToolArgs* args) {
  SampleOptions opt = {static_cast<uint32_t>(args->Days),
                       static_cast<uint32_t>(args->Ports),
                       args->Seed,
                       static_cast<int64_t>(time(nullptr)),
                       args->Force,
                       static_cast<uint32_t>(args->Nas),
                       args->SampleFormat};
  if (opt.Now < static_cast<int64_t>(args->Days) * 86400 || opt.Now > 0xFFFFFFFFLL) {
    fprintf(stderr, "velmar-log: the clock is outside the times a log can hold\n");
    return 1;
  }
  return LogSample(args->Places[0], &opt);
}

const ToolCommand kCommands[] = {
    {"dump", kDump, 1, RunDump},
    {"make", kMake, 2, RunMake},
    {"sample", kSample, 1, RunSample},
    {"info", kInfo, kLogs, RunAnswerCommand},
    {"sessions", kSessions, kLogs, RunAnswerCommand},
    {"users", kUsers, kLogs, RunAnswerCommand},
    {"busy", kBusy, kLogs, RunAnswerCommand},
    {"capacity", kCapacity, kLogs, RunAnswerCommand},
    {"allbusy", kAllBusy, kLogs, RunAnswerCommand},
};

const ToolCommand* FindCommand(const char* name) {
  for (const ToolCommand& c : kCommands) {
    if (strcmp(name, c.Name) == 0) return &c;
  }
  return nullptr;
}

// The edits (a byte added, dropped, changed, or two swapped) that make a
// into b, letters compared without case; past `most` it says most + 1, so
// a long argument costs no more than a short one.
size_t Edits(const std::string& a, const char* b, size_t most) {
  size_t n = strlen(b);
  if (a.size() > n + most || n > a.size() + most) return most + 1;
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(n + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= n; ++j) d[0][j] = j;
  auto same = [](char x, char y) { return tolower(x & 0xFF) == tolower(y & 0xFF); };
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= n; ++j) {
      size_t best = std::min(d[i - 1][j] + 1, d[i][j - 1] + 1);
      best = std::min(best, d[i - 1][j - 1] + (same(a[i - 1], b[j - 1]) ? 0 : 1));
      if (i > 1 && j > 1 && same(a[i - 1], b[j - 2]) && same(a[i - 2], b[j - 1]))
        best = std::min(best, d[i - 2][j - 2] + 1);
      d[i][j] = best;
    }
  }
  return std::min(d[a.size()][n], most + 1);
}

// The command nearest to name, when one is within two edits and fewer
// edits than name has bytes; else null.
const char* Nearest(const char* name) {
  const size_t kMost = 2;
  std::string typed(name, strnlen(name, 64));
  const char* best = nullptr;
  size_t fewest = kMost + 1;
  for (const ToolCommand& c : kCommands) {
    size_t edits = Edits(typed, c.Name, kMost);
    if (edits < fewest && edits < typed.size()) best = c.Name, fewest = edits;
  }
  return best;
}

// A name that is no command: the nearest one, or the usage.
int UnknownCommand(const char* name) {
  const char* nearest = Nearest(name);
  if (nearest == nullptr) {
    fprintf(stderr, "velmar-log: unknown command \"%s\"\n", name);
    return Usage(nullptr);
  }
  fprintf(stderr, "velmar-log: unknown command \"%s\"; did you mean \"%s\"?\n", name, nearest);
  return kBadUsage;
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
  const char* name = argv[1];
  if (strcmp(name, "-h") == 0 || strcmp(name, "--help") == 0 || strcmp(name, "help") == 0) {
    PutUsage(stdout);
    return 0;
  }
  if (strcmp(name, "--version") == 0) {
    PutVersion(stdout);
    return 0;
  }
  const ToolCommand* command = FindCommand(name);
  if (command == nullptr) return UnknownCommand(name);
  ToolArgs args;
  ToolArgsInit(&args);
  int status = ReadToolArgs(command, argc - 2, argv + 2, &args);
  return status != 0 ? status : command->Run(command->Bit, &args);
}
