// Record reading with a growing buffer, the report window's start, and the
// bisection that finds its first record. Every buffer this file allocates for
// itself is released on every path; the caller's buffer stays the caller's.
#include "eventlog/logread.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

void* (*LogBufferRealloc)(void* block, size_t size) = realloc;

namespace {

// Read the record with exactly this number, oldest to newest.
const DWORD kSeekForwards = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;

const EventTime kSecondsPerDay = 86400;

// putenv keeps this very buffer in the environment.
char DefaultTz[] = "TZ=" DEFAULT_TZ;

DWORD FieldDword(const BYTE* rec, size_t offset) {
  DWORD value;
  memcpy(&value, rec + offset, sizeof value);
  return value;
}

// Bisection and final probe of FindFirstRec, reading into the search's own
// buffer (which the caller releases). Returns 1, or 0 with *message set.
int SearchFirstRec(HANDLE log, BYTE** buffer, DWORD* capacity, DWORD* firstRec, DWORD* newestRec,
                   EventTime start, const char** message) {
  DWORD oldest = 0;
  DWORD count = 0;
  if (!GetOldestEventLogRecord(log, &oldest)) {
    *message = "Can't Get Oldest Rec";
    return 0;
  }
  if (!GetNumberOfEventLogRecords(log, &count)) {
    *message = "Can't Get N_Rec";
    return 0;
  }
  *newestRec = oldest + count - 1;
  DWORD lo = oldest;
  DWORD hi = *newestRec;
  while (count != 0 && lo < hi) {
    DWORD mid = lo + (hi - lo) / 2;
    if (!ReadRec(log, mid, buffer, capacity, message)) return 0;
    if (RecTimeGenerated(*buffer) < start) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  // The last candidate may itself be early: then the window starts after it
  // (after the newest record, when lo is the newest).
  if (!ReadRec(log, lo, buffer, capacity, message)) return 0;
  *firstRec = RecTimeGenerated(*buffer) < start ? lo + 1 : lo;
  return 1;
}

}  // namespace

BYTE* NewRecordBuffer(DWORD* capacity) {
  BYTE* block = static_cast<BYTE*>(LogBufferRealloc(nullptr, RECORD_BUFFER_START + 1));
  if (block != nullptr) *capacity = RECORD_BUFFER_START;
  return block;
}

int ReadRec(HANDLE log, DWORD recNo, BYTE** buffer, DWORD* capacity, const char** message) {
  DWORD got = 0;
  DWORD needed = 0;
  if (ReadEventLogA(log, kSeekForwards, recNo, *buffer, *capacity, &got, &needed)) return 1;
  if (needed <= *capacity) {
    *message = "Can't Read Rec";
    return 0;
  }
  void* grown = LogBufferRealloc(*buffer, static_cast<size_t>(needed) + 1);
  if (grown == nullptr) {
    *message = "Can't Realloc Buffer";
    return 0;
  }
  *buffer = static_cast<BYTE*>(grown);
  *capacity = needed;
  if (ReadEventLogA(log, kSeekForwards, recNo, *buffer, *capacity, &got, &needed)) return 1;
  *message = "Still Can't Read Rec";
  return 0;
}

void SetReportZone() {
  if (getenv("TZ") == nullptr) putenv(DefaultTz);
  tzset();
}

EventTime ReportDay(EventTime t) {
  // timezone is standard time's offset west of UTC, so the day is cut at
  // midnight of standard time even while daylight time is shown.
  EventTime local = t - timezone;
  return (local - (local % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay) / kSecondsPerDay;
}

EventTime WindowStartOf(int32_t offset, EventTime now) {
  return (ReportDay(now) + offset) * kSecondsPerDay + timezone;
}

EventTime GetWindowStart(HANDLE log, DWORD* firstRec, DWORD* newestRec, int32_t offset,
                         const char** message) {
  SetReportZone();
  EventTime start = WindowStartOf(offset, static_cast<EventTime>(time(nullptr)));
  return FindFirstRec(log, firstRec, newestRec, start, message);
}

EventTime FindFirstRec(HANDLE log, DWORD* firstRec, DWORD* newestRec, EventTime start,
                       const char** message) {
  DWORD capacity = 0;
  BYTE* buffer = NewRecordBuffer(&capacity);
  if (buffer == nullptr) {
    *message = "Can't allocate Buffer";
    return 0;
  }
  int found = SearchFirstRec(log, &buffer, &capacity, firstRec, newestRec, start, message);
  free(buffer);
  return found ? start : 0;
}

LogCover GetLogCover(HANDLE log, DWORD firstRec, DWORD newestRec, EventTime start, EventTime now,
                     BYTE** buffer, DWORD* capacity, EventTime* when) {
  DWORD oldest = 0;
  const char* message = nullptr;
  bool late = GetOldestEventLogRecord(log, &oldest) && firstRec == oldest;
  bool stale = firstRec == newestRec + 1 && start <= now;
  if (!late && !stale) return LOG_COVERS;
  if (!ReadRec(log, late ? oldest : newestRec, buffer, capacity, &message)) return LOG_COVERS;
  *when = RecTimeGenerated(*buffer);
  if (late) return *when > start ? LOG_STARTS_LATE : LOG_COVERS;
  return LOG_STALE;
}

int RecStrings(const BYTE* rec, DWORD capacity, const char** out, int count) {
  DWORD length = FieldDword(rec, offsetof(EVENTLOGRECORD, Length));
  size_t end = length < capacity ? length : capacity;
  size_t pos = FieldDword(rec, offsetof(EVENTLOGRECORD, StringOffset));
  int have = RecNumStrings(rec);
  int found = 0;
  // Strings start after the fixed part; an offset into it is damage.
  while (pos >= sizeof(EVENTLOGRECORD) && found < count && found < have && pos < end) {
    const BYTE* nul = static_cast<const BYTE*>(memchr(rec + pos, 0, end - pos));
    if (nul == nullptr) break;
    out[found++] = reinterpret_cast<const char*>(rec + pos);
    pos = static_cast<size_t>(nul - rec) + 1;
  }
  // Each string the record lacks is given as "", set once rather than before.
  for (int k = found; k < count; ++k) out[k] = "";
  return found;
}

const char* RecComputer(const BYTE* rec, DWORD capacity) {
  DWORD length = FieldDword(rec, offsetof(EVENTLOGRECORD, Length));
  size_t end = length < capacity ? length : capacity;
  size_t pos = sizeof(EVENTLOGRECORD);
  if (pos >= end) return "";
  const BYTE* nul = static_cast<const BYTE*>(memchr(rec + pos, 0, end - pos));
  if (nul == nullptr || static_cast<size_t>(nul - rec) + 1 >= end) return "";
  const BYTE* computer = nul + 1;
  if (memchr(computer, 0, end - static_cast<size_t>(computer - rec)) == nullptr) return "";
  return reinterpret_cast<const char*>(computer);
}
