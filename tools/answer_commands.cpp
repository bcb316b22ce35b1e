// The answering commands after their command line: the zone, the range
// and the pool's lines, then the command's answer on standard output,
// flushed; every failure is a message and status 2.
#include "tools/answer_commands.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "charts/busychart.h"
#include "platform/environment.h"
#include "platform/stdstreams.h"
#include "tools/logtool.h"

namespace {

// TZ for every time of the run: UTC with --utc, else TZ, else the report's
// default zone. A zone file that is missing is said, as the report says it.
void SetZone(bool utc) {
  const char* tz = utc ? "UTC0" : getenv("TZ") == nullptr ? DEFAULT_TZ : nullptr;
  if (tz != nullptr) PlatformSetEnv("TZ", tz);
  PlatformReadZone();
  if (!utc) WarnMissingZone(getenv("TZ"));
}

// A time given with an offset of its own, or far enough back from now,
// may lie outside the years every answer's times are written in: such a
// range is refused, not printed with a year that is not its own.
int ParseTime(ZoneCache* zone, const char* option, const char* text, EventTime now, EventTime* t) {
  if (!ZoneParseWhen(zone, text, now, t)) {
    return BadValue(option, text,
                    "want YYYY-MM-DD[THH:MM[:SS]], YYYY-MM, today, yesterday, now, -Nd or -Nh");
  }
  if (!ZoneInIsoYears(zone, *t))
    return BadValue(option, text, "not in the years 0001 to 9999 of the zone");
  return 0;
}

// Both times read against one clock reading, so "-1d" and "now" are a day
// apart to the second.
int ParseTimes(const ToolArgs* args, AnswerOptions* opt) {
  int status = 0;
  EventTime now = static_cast<EventTime>(time(nullptr));
  if (args->Since != nullptr)
    status = ParseTime(&opt->Zone, "--since", args->Since, now, &opt->Since);
  if (status == 0 && args->Until != nullptr)
    status = ParseTime(&opt->Zone, "--until", args->Until, now, &opt->Until);
  if (status != 0) return status;
  if (opt->Since >= opt->Until) return BadUsage("--since must come before --until");
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
    case kAllBusy:
      return AnswerAllBusy(opt, out);
    default:
      return AnswerCapacity(opt, out);
  }
}

// The answer a command's bit stands for.
AnswerCommand CommandOf(int command) {
  switch (command) {
    case kInfo:
      return kAnswerInfo;
    case kSessions:
      return kAnswerSessions;
    case kUsers:
      return kAnswerUsers;
    case kBusy:
      return kAnswerBusy;
    case kAllBusy:
      return kAnswerAllBusy;
    default:
      return kAnswerCapacity;
  }
}

// Runs the command with its output buffered to standard output.
int RunWithOutput(int command, AnswerOptions* opt) {
  OutBuf* out = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
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

int RunAnswerCommand(int command, ToolArgs* args) {
  AnswerOptions* opt = &args->Answer;
  opt->Command = CommandOf(command);
  SetZone(opt->Utc);
  ZoneInit(&opt->Zone);
  int status = ParseTimes(args, opt);
  if (status == 0 && (command & (kBusy | kCapacity | kAllBusy)) != 0) status = AnswerFindLines(opt);
  return status != 0 ? status : RunWithOutput(command, opt);
}
