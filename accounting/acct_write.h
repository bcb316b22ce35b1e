// What the four writers share: a bounded text being built, and the local
// date and time pieces of a receive time.
#ifndef VELMAR_ACCOUNTING_ACCT_WRITE_H
#define VELMAR_ACCOUNTING_ACCT_WRITE_H

#include <cstddef>
#include <cstdint>

// A text built into a caller's buffer; once it overflows, it stays over
// and is not used.
struct TextOut {
  char* Out;   // the buffer
  size_t Cap;  // its bytes
  size_t Len;  // bytes written
  bool Over;   // something did not fit
};

void TextStart(TextOut* t, char* out, size_t cap);
void TextBytes(TextOut* t, const char* s, size_t n);
void TextAdd(TextOut* t, const char* s);
void TextChar(TextOut* t, char c);
void TextNumber(TextOut* t, uint64_t v);
// v in decimal, at least `width` digits with leading zeros.
void TextDigits(TextOut* t, uint64_t v, int width);
// The length written, or 0 when it overflowed.
size_t TextEnd(const TextOut* t);

// The local date and time of t (TZ).
struct LocalParts {
  int Year;     // e.g. 2026
  int Month;    // 1 to 12
  int Day;      // 1 to 31
  int Hour;     // 0 to 23
  int Minute;   // 0 to 59
  int Second;   // 0 to 59
  int Weekday;  // 0 Sunday to 6 Saturday
};

// Breaks t down in local time. Returns 1, or 0 when the C library can't.
int LocalPartsOf(int64_t t, LocalParts* out);

// Writes "MM/DD/YYYY" and "HH:MM:SS" of p, as the NPS formats show them.
void TextSlashDate(TextOut* t, const LocalParts& p);
void TextClock(TextOut* t, const LocalParts& p);

#endif  // VELMAR_ACCOUNTING_ACCT_WRITE_H
