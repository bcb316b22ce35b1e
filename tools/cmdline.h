// velmar-log's command line: its commands, the one table of every
// command's options (the name, the commands that take it, whether a value
// follows, and how the value is taken), and the reader that goes through a
// command's arguments with it. A new option is a row of the table and the
// function that takes its value. Refusals keep each command's manner:
// dump, make and sample say what is wrong and show the usage, the
// answering commands say it in one line; both end with status 2.
#ifndef VELMAR_TOOLS_CMDLINE_H
#define VELMAR_TOOLS_CMDLINE_H

#include <cstdint>
#include <cstdio>

#include "accounting/acct.h"
#include "answers/answers.h"

// The commands, as bits of the options' masks.
enum {
  kDump = 1 << 0,
  kMake = 1 << 1,
  kSample = 1 << 2,
  kInfo = 1 << 3,
  kSessions = 1 << 4,
  kUsers = 1 << 5,
  kBusy = 1 << 6,
  kCapacity = 1 << 7,
  kAllBusy = 1 << 8,
  kAnswering = kInfo | kSessions | kUsers | kBusy | kCapacity | kAllBusy,
};

// Exit status of a refused command line.
const int kBadUsage = 2;

// What a command's arguments set, over the defaults.
struct ToolArgs {
  const char* Places[2];  // the files or folders of dump, make and sample, in order
  int PlaceCount;         // how many were given
  bool Force;             // --force: make and sample may replace files
  uint64_t MaxSize;       // make --max-size: a circular log of that size; 0 for none
  uint64_t StartOffset;   // make --start-offset: where its first record starts; 0: not given
  uint64_t Days;          // sample --days
  uint64_t Ports;         // sample --ports
  uint64_t Seed;          // sample --seed
  uint64_t Nas;           // sample --nas
  AcctKind SampleFormat;  // sample --format: kAcctEvt unless given
  AnswerOptions Answer;   // an answering command's settings; its places are Answer.Logs
  const char* Since;      // --since as given, read once the zone is known
  const char* Until;      // --until likewise
};

// A command and how its arguments are read.
struct ToolCommand {
  const char* Name;  // "sample"
  int Bit;           // its bit in the options' masks
  int Places;        // the files or folders it takes, exactly; kLogs: one or more logs
  int (*Run)(int command, ToolArgs* args);  // runs it once its arguments are read
};

// ToolCommand.Places of the answering commands: one or more logs, any
// argument that is not an option ("--" too). Their refusals come in one
// line each.
const int kLogs = -1;

// Sets args to the defaults: no places, no --force, no --max-size or
// --start-offset, 7 days of 8 ports from seed 1 on 1 server as an .evt
// file, the answers' defaults (AnswerOptionsInit), no --since or --until.
void ToolArgsInit(ToolArgs* args);

// Reads command's arguments into args: its places and its options, as
// "--name value" or "--name=value", each looked up in the one table for
// this command. Returns 0, or kBadUsage after the refusal's message.
int ReadToolArgs(const ToolCommand* command, int argc, char** argv, ToolArgs* args);

// Writes the whole usage text to out.
void PutUsage(FILE* out);

// Writes "velmar-log VERSION" and a line end to out.
void PutVersion(FILE* out);

// Says "velmar-log: PROBLEM" (when not null) and the usage on standard
// error. Returns kBadUsage.
int Usage(const char* problem);

// Says "velmar-log: OPTION: bad value 'VALUE' (WANT)" on standard error, as
// the answering commands refuse a value. Returns kBadUsage.
int BadValue(const char* option, const char* value, const char* want);

// Says "velmar-log: PROBLEM (velmar-log --help shows the usage)" on
// standard error, as the answering commands refuse a command line. Returns
// kBadUsage.
int BadUsage(const char* problem);

#endif  // VELMAR_TOOLS_CMDLINE_H
