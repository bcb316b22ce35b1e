// Texts of the CSV form: UTC times, decimal numbers, RFC 4180 fields in (the
// writer is answers/outbuf). The reader keeps one row in memory and refuses
// what it could not write back the same way, so make and dump round-trip
// exactly.
#include <cstdlib>
#include <cstring>

#include "eventlog/number.h"
#include "platform/stdstreams.h"
#include "tools/logtool.h"

const char* const kCsvHeader =
    "number,generated,written,event_id,type,category,source,computer,strings";

namespace {

const int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

void PutDigits(char* out, unsigned v, int width) {
  for (int i = width - 1; i >= 0; --i, v /= 10) out[i] = static_cast<char>('0' + v % 10);
}

// Reads `width` digits at s; returns -1 unless all are digits.
int Digits(const char* s, int width) {
  int v = 0;
  for (int i = 0; i < width; ++i) {
    if (s[i] < '0' || s[i] > '9') return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return days[m - 1] + (m == 2 && leap);
}

}  // namespace

void FormatUtc(uint32_t t, char* out) {
  int y, m, d;
  CivilFromDays(t / kSecondsPerDay, &y, &m, &d);
  unsigned s = t % kSecondsPerDay;
  memcpy(out, "0000-00-00T00:00:00Z", kUtcTextSize);
  PutDigits(out, static_cast<unsigned>(y), 4);
  PutDigits(out + 5, static_cast<unsigned>(m), 2);
  PutDigits(out + 8, static_cast<unsigned>(d), 2);
  PutDigits(out + 11, s / 3600, 2);
  PutDigits(out + 14, s / 60 % 60, 2);
  PutDigits(out + 17, s % 60, 2);
}

int ParseUtc(const char* s, uint32_t* t) {
  if (strlen(s) != kUtcTextSize - 1 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' ||
      s[16] != ':' || s[19] != 'Z')
    return 0;
  int y = Digits(s, 4), mo = Digits(s + 5, 2), d = Digits(s + 8, 2);
  int h = Digits(s + 11, 2), mi = Digits(s + 14, 2), se = Digits(s + 17, 2);
  if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h < 0 || h > 23 ||
      mi < 0 || mi > 59 || se < 0 || se > 59)
    return 0;
  int64_t v =
      DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * kSecondsPerDay +
      h * 3600 + mi * 60 + se;
  if (v > 0xFFFFFFFFLL) return 0;
  *t = static_cast<uint32_t>(v);
  return 1;
}

// The atol reader, with nothing allowed around the digits: no blanks, no
// sign, no other character after them.
int ParseNumber(const char* s, uint64_t max, uint64_t* value) {
  NumberText n;
  NumberRead(s, max, &n);
  if (n.Digits != s || n.End == s || *n.End != 0 || n.Over) return 0;
  *value = n.Magnitude;
  return 1;
}

// ---- CSV reader ----

namespace {

int Grow(void** p, size_t* cap, size_t need, size_t unit) {
  if (need <= *cap) return 1;
  size_t n = *cap < 64 ? 64 : *cap;
  while (n < need) n *= 2;
  void* grown = realloc(*p, n * unit);
  if (grown == nullptr) return 0;
  *p = grown;
  *cap = n;
  return 1;
}

int Append(CsvReader* r, int c) {
  if (r->TextLen == r->TextCap &&
      !Grow(reinterpret_cast<void**>(&r->Text), &r->TextCap, r->TextLen + 1, 1)) {
    r->Message = "out of memory";
    return 0;
  }
  r->Text[r->TextLen++] = static_cast<char>(c);
  return 1;
}

int StartField(CsvReader* r) {
  if (r->FieldCount == r->FieldCap && !Grow(reinterpret_cast<void**>(&r->Fields), &r->FieldCap,
                                            r->FieldCount + 1, sizeof(size_t))) {
    r->Message = "out of memory";
    return 0;
  }
  r->Fields[r->FieldCount++] = r->TextLen;
  return 1;
}

int Bad(CsvReader* r, const char* message) {
  r->Message = message;
  return -1;
}

// Reads a quoted field's text after its opening quote; returns the
// character after the closing quote, or -2 on failure.
int ReadQuoted(CsvReader* r) {
  for (;;) {
    int c = PlatformGetcUnlocked(r->File);
    if (c == EOF) return Bad(r, "quoted field not closed"), -2;
    if (c == '"') {
      c = PlatformGetcUnlocked(r->File);
      if (c != '"') return c;
    }
    if (c == 0) return Bad(r, "NUL byte in the CSV"), -2;
    if (c == '\n') r->NextLine++;
    if (!Append(r, c)) return -2;
  }
}

// Reads an unquoted field starting with c; returns the character after it.
int ReadPlain(CsvReader* r, int c) {
  while (c != ',' && c != '\n' && c != '\r' && c != EOF) {
    if (c == '"') return Bad(r, "quote inside an unquoted field"), -2;
    if (c == 0) return Bad(r, "NUL byte in the CSV"), -2;
    if (!Append(r, c)) return -2;
    c = PlatformGetcUnlocked(r->File);
  }
  return c;
}

}  // namespace

int CsvOpen(CsvReader* r, const char* path) {
  memset(r, 0, sizeof *r);
  r->NextLine = 1;
  if (strcmp(path, "-") == 0) {
    r->File = stdin;
    return 1;
  }
  r->File = fopen(path, "rb");
  r->OwnsFile = 1;
  if (r->File == nullptr) r->Message = "can't open the CSV file";
  return r->File != nullptr;
}

int CsvReadRow(CsvReader* r) {
  r->TextLen = 0;
  r->FieldCount = 0;
  r->Line = r->NextLine;
  int c = PlatformGetcUnlocked(r->File);
  if (c == EOF) return ferror(r->File) ? Bad(r, "can't read the CSV file") : 0;
  for (;;) {
    if (!StartField(r)) return -1;
    c = c == '"' ? ReadQuoted(r) : ReadPlain(r, c);
    if (c == -2 || !Append(r, 0)) return -1;
    if (c == ',') {
      c = PlatformGetcUnlocked(r->File);
      continue;
    }
    if (c == '\r' && (c = PlatformGetcUnlocked(r->File)) != '\n')
      return Bad(r, "CR outside quotes");
    if (c == '\n') {
      r->NextLine++;
      return 1;
    }
    if (c == EOF) return ferror(r->File) ? Bad(r, "can't read the CSV file") : 1;
    return Bad(r, "text after a closing quote");
  }
}

const char* CsvField(const CsvReader* r, size_t i) {
  return r->Text + r->Fields[i];
}

void CsvClose(CsvReader* r) {
  if (r->OwnsFile && r->File != nullptr) fclose(r->File);
  free(r->Text);
  free(r->Fields);
  memset(r, 0, sizeof *r);
}
