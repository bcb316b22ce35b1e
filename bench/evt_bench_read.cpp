// Reads records of the log in $VELMAR_LOGDIR through the event log calls:
// the first COUNT records in order (the report's scan), COUNT record numbers
// drawn at random from the whole log, and COUNT drawn at random from the
// first COUNT (each read then locates its record, but near the start: if
// locating scanned from the oldest record, the whole-log draw would cost far
// more). Each pass runs on a fresh handle. Prints the median times of ROUNDS
// passes: "first_ms random_ms first_random_ms records".
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/winapi.h"

namespace {

const DWORD kSeekForwards = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;

double Seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

uint64_t NextRandom(uint64_t* state) {  // splitmix64
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

enum PassKind { kInOrder, kRandom, kRandomFirst };

// One pass: opens the log, reads `count` records as `kind` says, closes it.
// Returns the seconds taken, or -1 on a failure.
double Pass(PassKind kind, DWORD count, uint64_t* seed) {
  static uint8_t buf[1 << 16];
  double start = Seconds();
  HANDLE log = OpenEventLogA(nullptr, "System");
  DWORD oldest = 0, total = 0;
  if (log == nullptr || !GetOldestEventLogRecord(log, &oldest) ||
      !GetNumberOfEventLogRecords(log, &total) || total < count)
    return -1;
  for (DWORD i = 0; i < count; ++i) {
    DWORD n = oldest + i;
    if (kind == kRandom) n = oldest + (DWORD)(NextRandom(seed) % total);
    if (kind == kRandomFirst) n = oldest + (DWORD)(NextRandom(seed) % count);
    DWORD got = 0, needed = 0;
    if (!ReadEventLogA(log, kSeekForwards, n, buf, sizeof buf, &got, &needed)) return -1;
  }
  CloseEventLog(log);
  return Seconds() - start;
}

int Compare(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

}  // namespace

int main(int argc, char** argv) {
  DWORD count = argc > 1 ? (DWORD)atol(argv[1]) : 1000;
  int rounds = argc > 2 ? atoi(argv[2]) : 7;
  if (count == 0 || rounds < 1 || rounds > 101) {
    fprintf(stderr, "usage: evt-bench-read [COUNT] [ROUNDS]  (log in $VELMAR_LOGDIR)\n");
    return 2;
  }
  double first[101], random[101], randomFirst[101];
  uint64_t seed = 1;
  for (int r = 0; r < rounds; ++r) {
    first[r] = Pass(kInOrder, count, &seed);
    random[r] = Pass(kRandom, count, &seed);
    randomFirst[r] = Pass(kRandomFirst, count, &seed);
    if (first[r] < 0 || random[r] < 0 || randomFirst[r] < 0) {
      fprintf(stderr, "evt-bench-read: can't read the log\n");
      return 1;
    }
  }
  qsort(first, (size_t)rounds, sizeof(double), Compare);
  qsort(random, (size_t)rounds, sizeof(double), Compare);
  qsort(randomFirst, (size_t)rounds, sizeof(double), Compare);
  printf("%.3f %.3f %.3f %lu\n", first[rounds / 2] * 1e3, random[rounds / 2] * 1e3,
         randomFirst[rounds / 2] * 1e3, (unsigned long)count);
  return 0;
}
