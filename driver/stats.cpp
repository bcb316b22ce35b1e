// The three summaries. They only read what the scan left behind; times are
// 64-bit and printed with the statistics' "%3d:%2d:%02d" pieces, and every
// percentage is of the scan's whole length.
#include "driver/stats.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "driver/output.h"

namespace {

double Percent(EventTime part, EventTime whole) {
  return static_cast<double>(part) * 100.0 / static_cast<double>(whole);
}

// One line of the user summary.
void WriteUserRow(FILE* out, const char* name, int64_t logins, EventTime seconds, int width,
                  bool html) {
  PutField(out, name, width, html);
  fprintf(out, " %5" PRId64 " ", logins);
  WriteStatsDuration(out, seconds);
  fputc('\n', out);
}

}  // namespace

void WriteStatsDuration(FILE* out, EventTime seconds) {
  fprintf(out, "%3" PRId64 ":%2" PRId64 ":%02" PRId64, seconds / 3600, (seconds / 60) % 60,
          seconds % 60);
}

void WriteGeneralStats(FILE* out, const ScanState* scan) {
  fputs("\nGeneral Statistics:\nDuration  = ", out);
  WriteStatsDuration(out, scan->TotalTime);
  fputc('\n', out);
  if (scan->TotalTime == 0) return;
  int32_t last = scan->PortCount < LINE_TIME_SLOTS ? scan->PortCount : LINE_TIME_SLOTS - 1;
  for (int32_t k = 0; k <= last; ++k) {
    fprintf(out, "%3d Lines = ", static_cast<int>(k));
    WriteStatsDuration(out, scan->LineTime[k]);
    fprintf(out, " (%5.1f%%)\n", Percent(scan->LineTime[k], scan->TotalTime));
  }
}

void WritePortStats(FILE* out, const ScanState* scan, const PortTable* ports, bool html) {
  if (scan->TotalTime == 0 || ports == nullptr || ports->Slots == nullptr) return;
  fprintf(out, "\nPort-based Statistics:\n%-*s Login  Duration\n", 6, "Port");
  for (int32_t i = 0; i < ports->PortCount; ++i) {
    const PortSlot* slot = &ports->Slots[i];
    PutField(out, slot->PortName, 6, html);
    fprintf(out, " %5" PRId32 " ", slot->Logins);
    WriteStatsDuration(out, slot->BusySeconds);
    fprintf(out, " (%5.1f%%)\n", Percent(slot->BusySeconds, scan->TotalTime));
  }
}

void WriteUserStats(FILE* out, UserCollector* users, int width, bool html) {
  DBI* index = users->Index;
  if (index == nullptr || DbiKeyLen(index) > USER_KEY_LEN || DbiEmpty(index)) return;
  errno = 0;
  DbiFirst(index);
  if (DbiStepFailed()) {
    UserCollectWalkFailed(users);
    return;
  }
  char group[USER_KEY_LEN + 1];
  char next[USER_KEY_LEN + 1];
  DbiKey(index, group);
  fprintf(out, "\nUser-based Statistics:\n%-*s Login  Duration\n", width, "User");
  int64_t logins = 0;
  EventTime seconds = 0;
  // Each entry is visited once; the count of slots bounds the walk even if
  // the file were damaged.
  for (int32_t left = DbiCount(index); left > 0; --left) {
    DbiKey(index, next);
    if (strcmp(next, group) != 0) {
      WriteUserRow(out, group, logins, seconds, width, html);
      memcpy(group, next, sizeof group);
      logins = 0;
      seconds = 0;
    }
    seconds += DbiRecNo(index);
    ++logins;
    // A value of 0 is a real connection of 0 seconds: the walk asks where it
    // stands instead of taking a 0 from DbiNext for the end.
    if (DbiAtLast(index)) break;
    errno = 0;
    DbiNext(index, nullptr);
    // A node that cannot be read would leave the totals short: the rows so
    // far stand, and the run fails with the index's message.
    if (DbiStepFailed()) {
      UserCollectWalkFailed(users);
      return;
    }
  }
  if (logins > 0) WriteUserRow(out, group, logins, seconds, width, html);
}

void WriteStatistics(FILE* out, const ReportOptions* opts, const ScanState* scan,
                     const PortTable* ports, UserCollector* users) {
  if (opts->GeneralStats) WriteGeneralStats(out, scan);
  if (opts->PortStats) WritePortStats(out, scan, ports, opts->Html);
  if (opts->UserStats && scan->TotalTime != 0 && users != nullptr) {
    WriteUserStats(out, users, opts->Width, opts->Html);
  }
}
