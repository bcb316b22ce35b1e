// velmar-log: the companion tool of the report. Finds the command, reads
// its arguments with the one option table (cmdline.h), and runs dump, make
// or sample, or an answering command (info, sessions, users, busy,
// capacity); bad usage is refused with status 2.
#include <cstring>
#include <ctime>

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
};

const ToolCommand* FindCommand(const char* name) {
  for (const ToolCommand& c : kCommands) {
    if (strcmp(name, c.Name) == 0) return &c;
  }
  return nullptr;
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
  const ToolCommand* command = FindCommand(name);
  if (command == nullptr) return Usage("unknown command");
  ToolArgs args;
  ToolArgsInit(&args);
  int status = ReadToolArgs(command, argc - 2, argv + 2, &args);
  return status != 0 ? status : command->Run(command->Bit, &args);
}
