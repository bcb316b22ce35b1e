// The small rules that go with the decoding of a RAS record: the connected
// time, the cut of names and the local time with its texts.
#include "eventlog/rasevent.h"

#include <cstdio>
#include <cstring>

#include "eventlog/number.h"
#include "platform/environment.h"

namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Writes 0 to 99 as two digits, with a leading zero.
void PutTwoDigits(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The number of bytes of the UTF-8 sequence a lead byte opens, or 0 for a
// byte that opens none (ASCII opens one, but never needs keeping whole).
size_t SequenceLength(unsigned char lead) {
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

// Where the character holding byte n starts: n itself, or the lead byte
// before it whose sequence runs over n.
size_t CharacterStart(const unsigned char* name, size_t n) {
  if (!IsContinuation(name[n])) return n;
  for (size_t back = 1; back <= 3 && back <= n; ++back) {
    unsigned char byte = name[n - back];
    if (IsContinuation(byte)) continue;
    return SequenceLength(byte) > back ? n - back : n;
  }
  return n;
}

}  // namespace

int32_t RasConnectedSeconds(const char* minutes, const char* seconds) {
  int64_t total =
      NumberAtol(minutes, INT32_MIN, INT32_MAX) * 60 + NumberAtol(seconds, INT32_MIN, INT32_MAX);
  if (total > INT32_MAX) return INT32_MAX;
  if (total < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(total);
}

size_t RasNameCut(const char* name, int width) {
  if (width < 1) width = 1;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(name);
  size_t n = strnlen(name, static_cast<size_t>(width));
  if (bytes[n] == '\0') return n;
  size_t start = CharacterStart(bytes, n);
  if (start > 0) return start;
  // The first character alone overflows the column: it is kept whole, since
  // an empty name would mark a port free.
  size_t length = SequenceLength(bytes[0]);
  while (n < length && IsContinuation(bytes[n])) ++n;
  return n;
}

int RasLocalTime(EventTime t, struct tm* out) {
  time_t when = static_cast<time_t>(t);
  if (static_cast<EventTime>(when) != t) return 0;
  return PlatformLocalTime(when, out);
}

void FormatTimeTexts(EventTime t, TimeTexts* texts) {
  struct tm local;
  if (!RasLocalTime(t, &local)) {
    snprintf(texts->Date, sizeof texts->Date, "?? ??? ????");
    snprintf(texts->Time, sizeof texts->Time, "??:??:??");
    texts->Day = 0;
    return;
  }
  int year = local.tm_year + 1900;
  if (year < 0 || year > 9999) {
    snprintf(texts->Date, sizeof texts->Date, "%02d %s %04d", local.tm_mday, kMonths[local.tm_mon],
             year);
  } else {
    // Digit by digit: this runs once per listed event.
    char* d = texts->Date;
    PutTwoDigits(d, local.tm_mday);
    d[2] = ' ';
    memcpy(d + 3, kMonths[local.tm_mon], 3);
    d[6] = ' ';
    PutTwoDigits(d + 7, year / 100);
    PutTwoDigits(d + 9, year % 100);
    d[11] = '\0';
  }
  char* h = texts->Time;
  PutTwoDigits(h, local.tm_hour);
  h[2] = ':';
  PutTwoDigits(h + 3, local.tm_min);
  h[5] = ':';
  PutTwoDigits(h + 6, local.tm_sec);
  h[8] = '\0';
  texts->Day = local.tm_mday;
}
