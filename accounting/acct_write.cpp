// The bounded text the writers build, and local time pieces through the
// platform's local time.
#include "accounting/acct_write.h"

#include <cstring>
#include <ctime>

#include "platform/environment.h"

void TextStart(TextOut* t, char* out, size_t cap) {
  t->Out = out;
  t->Cap = cap;
  t->Len = 0;
  t->Over = false;
}

void TextBytes(TextOut* t, const char* s, size_t n) {
  if (t->Over || n > t->Cap - t->Len) {
    t->Over = true;
    return;
  }
  memcpy(t->Out + t->Len, s, n);
  t->Len += n;
}

void TextAdd(TextOut* t, const char* s) {
  TextBytes(t, s, strlen(s));
}

void TextChar(TextOut* t, char c) {
  TextBytes(t, &c, 1);
}

void TextNumber(TextOut* t, uint64_t v) {
  TextDigits(t, v, 1);
}

void TextDigits(TextOut* t, uint64_t v, int width) {
  char digits[24];
  int n = 0;
  do {
    digits[sizeof digits - 1 - n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0 || n < width);
  TextBytes(t, digits + sizeof digits - n, static_cast<size_t>(n));
}

size_t TextEnd(const TextOut* t) {
  return t->Over ? 0 : t->Len;
}

int LocalPartsOf(int64_t t, LocalParts* out) {
  struct tm tm;
  if (!PlatformLocalTime(static_cast<time_t>(t), &tm)) return 0;
  out->Year = tm.tm_year + 1900;
  out->Month = tm.tm_mon + 1;
  out->Day = tm.tm_mday;
  out->Hour = tm.tm_hour;
  out->Minute = tm.tm_min;
  out->Second = tm.tm_sec;
  out->Weekday = tm.tm_wday;
  return 1;
}

void TextSlashDate(TextOut* t, const LocalParts& p) {
  TextDigits(t, static_cast<uint64_t>(p.Month), 2);
  TextChar(t, '/');
  TextDigits(t, static_cast<uint64_t>(p.Day), 2);
  TextChar(t, '/');
  TextDigits(t, static_cast<uint64_t>(p.Year), 4);
}

void TextClock(TextOut* t, const LocalParts& p) {
  TextDigits(t, static_cast<uint64_t>(p.Hour), 2);
  TextChar(t, ':');
  TextDigits(t, static_cast<uint64_t>(p.Minute), 2);
  TextChar(t, ':');
  TextDigits(t, static_cast<uint64_t>(p.Second), 2);
}
