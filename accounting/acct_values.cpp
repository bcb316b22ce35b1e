// The values the formats share: decimal numbers, addresses and texts kept
// in the record's scratch, local dates and clocks, the turn of a local time
// into UTC, and comma-separated fields.
#include <cstring>
#include <ctime>

#include "accounting/acct_internal.h"
#include "platform/environment.h"

namespace {

const int64_t kDay = 86400;

// Days from 1970-01-01 to a civil date (proleptic Gregorian), for years
// from 1970 on.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = y / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, struct tm* out) {
  z += 719468;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  out->tm_year = static_cast<int>(yoe + era * 400 + (m <= 2)) - 1900;
  out->tm_mon = static_cast<int>(m) - 1;
  out->tm_mday = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads one or two digits at s[*at..n) into *v (at most `most` of them,
// at least `least`).
bool Digits(const char* s, size_t n, size_t* at, int least, int most, int* v) {
  int got = 0, value = 0;
  while (got < most && *at < n && s[*at] >= '0' && s[*at] <= '9') {
    value = value * 10 + (s[*at] - '0');
    ++*at, ++got;
  }
  *v = value;
  return got >= least;
}

bool Expect(const char* s, size_t n, size_t* at, char c) {
  if (*at >= n || s[*at] != c) return false;
  ++*at;
  return true;
}

}  // namespace

bool AcctIpv4(const char* s, size_t n) {
  size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    int v;
    if (part > 0 && !Expect(s, n, &at, '.')) return false;
    if (!Digits(s, n, &at, 1, 3, &v) || v > 255) return false;
  }
  return at == n;
}

bool AcctIpv6(const char* s, size_t n) {
  int colons = 0;
  if (n < 2 || n > 45) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = s[i];
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (c == ':') ++colons;
    if (!hex && c != ':' && c != '.') return false;
  }
  return colons >= 2;
}

void AcctPortText(uint32_t v, char* out) {
  char digits[12];
  int n = 0;
  do digits[n++] = static_cast<char>('0' + v % 10), v /= 10;
  while (v != 0);
  for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
  out[n] = '\0';
}

void AcctKeepPort(AcctReader* r, const char* s, size_t n) {
  uint32_t v;
  if (!AcctNumber(s, n, &v)) {
    AcctDamage(r, kSkipBadValue);
    return;
  }
  AcctPortText(v, r->Fields.PortNumber);
}

void AcctKeepStatus(AcctReader* r, const char* s, size_t n) {
  uint32_t v;
  if (!AcctNumber(s, n, &v)) {
    AcctDamage(r, kSkipBadValue);
    return;
  }
  r->Fields.Status = v > 1000 ? 1000 : static_cast<int>(v);
}

int64_t AcctCivilSeconds(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1970 || year > 2106 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
    return -1;
  return DaysFromCivil(year, month, day) * kDay + hour * 3600 + minute * 60 + second;
}

int AcctSlashDate(const char* s, size_t n, int64_t* seconds) {
  size_t at = 0;
  int month, day, year;
  if (!Digits(s, n, &at, 1, 2, &month) || !Expect(s, n, &at, '/') ||
      !Digits(s, n, &at, 1, 2, &day) || !Expect(s, n, &at, '/') ||
      !Digits(s, n, &at, 4, 4, &year) || at != n)
    return 0;
  int64_t v = AcctCivilSeconds(year, month, day, 0, 0, 0);
  if (v < 0) return 0;
  *seconds = v;
  return 1;
}

int AcctClock(const char* s, size_t n, int64_t* seconds) {
  size_t at = 0;
  int h, m, sec;
  if (!Digits(s, n, &at, 1, 2, &h) || !Expect(s, n, &at, ':') || !Digits(s, n, &at, 2, 2, &m) ||
      !Expect(s, n, &at, ':') || !Digits(s, n, &at, 2, 2, &sec) || h > 23 || m > 59 || sec > 59)
    return 0;
  if (at < n && s[at] == '.') {
    size_t digits = ++at;
    while (at < n && s[at] >= '0' && s[at] <= '9') ++at;
    if (at == digits || at - digits > 9) return 0;
  }
  if (at != n) return 0;
  *seconds = h * 3600 + m * 60 + sec;
  return 1;
}

int AcctSlashDateTime(const char* s, size_t n, int64_t* seconds) {
  const char* space = static_cast<const char*>(memchr(s, ' ', n));
  if (space == nullptr) return 0;
  size_t dateLen = static_cast<size_t>(space - s);
  int64_t date, clock;
  if (!AcctSlashDate(s, dateLen, &date) || !AcctClock(space + 1, n - dateLen - 1, &clock)) return 0;
  *seconds = date + clock;
  return 1;
}

int64_t AcctLocalToUtc(AcctZoneCache* z, int64_t local) {
  if (local < 0) return -1;
  int64_t minute = local - local % 60;
  if (!z->Valid || z->Minute != minute) {
    struct tm tm;
    memset(&tm, 0, sizeof tm);
    CivilFromDays(minute / kDay, &tm);
    tm.tm_hour = static_cast<int>(minute % kDay / 3600);
    tm.tm_min = static_cast<int>(minute % 3600 / 60);
    time_t t;
    if (!PlatformMakeLocalTime(&tm, &t)) return -1;
    z->Valid = true;
    z->Minute = minute;
    z->Utc = static_cast<int64_t>(t);
  }
  return z->Utc + local % 60;
}

// ---- comma-separated fields ----

void CsvStart(CsvCursor* c, const char* s, size_t n, bool padded) {
  c->At = s;
  c->End = s + n;
  c->Padded = padded;
  c->Done = false;
  c->Bad = false;
}

namespace {

// The commas of the 64 bytes at p as bits, none at or past end; the bytes
// past end are read only when padded.
uint64_t CsvCommas(const char* p, const char* end, bool padded) {
  size_t held = static_cast<size_t>(end - p);
  if (held >= 64) return AcctMatch64(p, ',');
  if (padded) return AcctMatch64(p, ',') & ((uint64_t{1} << held) - 1);
  char tail[64] = {};
  memcpy(tail, p, held);
  return AcctMatch64(tail, ',');
}

}  // namespace

int CsvFields(CsvCursor* c, CsvField* out, int max) {
  if (c->Done || c->Bad) return 0;
  const char* p = c->At;
  const char* end = c->End;
  // The commas of the 64 bytes at base not yet passed, as bits: an
  // unquoted field ends at the lowest.
  const char* base = p;
  uint64_t commas = p < end ? CsvCommas(p, end, c->Padded) : 0;
  int count = 0;
  while (count < max) {
    const char* stop;  // the byte after the field: a comma or the end
    if (p < end && *p == '"') {
      const char* q = p + 1;
      for (;;) {  // the closing quote, "" inside taken as one
        q = static_cast<const char*>(memchr(q, '"', static_cast<size_t>(end - q)));
        if (q == nullptr || q + 1 >= end || q[1] != '"') break;
        q += 2;
      }
      if (q == nullptr || (q + 1 < end && q[1] != ',')) {
        c->Bad = true;
        break;
      }
      stop = q + 1;
      // The commas inside the quotes, and the one after them, are passed.
      if (stop >= end) {
        commas = 0;
      } else if (static_cast<size_t>(stop - base) < 64) {
        commas &= ~((uint64_t{2} << (stop - base)) - 1);
      } else {
        base = stop;
        commas = CsvCommas(stop, end, c->Padded) & ~uint64_t{1};
      }
    } else {
      while (commas == 0 && base + 64 < end) {
        base += 64;
        commas = CsvCommas(base, end, c->Padded);
      }
      if (commas == 0) {
        stop = end;
      } else {
        stop = base + AcctLowestBit(commas);
        commas &= commas - 1;
      }
    }
    CsvField* f = out + count++;
    f->Raw = p;
    f->Length = static_cast<size_t>(stop - p);
    if (stop == end) {
      c->Done = true;
      break;
    }
    p = stop + 1;
  }
  c->At = p;
  return count;
}

int CsvValue(const char* raw, size_t n, char* out, size_t cap, const char** value, size_t* len) {
  if (n < 2 || raw[0] != '"') {
    *value = raw;
    *len = n;
    return 1;
  }
  size_t got = 0;
  if (memchr(raw + 1, '"', n - 2) == nullptr) {  // most texts: no quote inside, copied at once
    if (n - 2 > cap) return 0;
    memcpy(out, raw + 1, n - 2);
    out[n - 2] = '\0';
    *value = out;
    *len = n - 2;
    return 1;
  }
  for (size_t i = 1; i + 1 < n; ++i) {
    if (got == cap) return 0;
    out[got++] = raw[i];
    if (raw[i] == '"') ++i;  // the second of a doubled quote
  }
  out[got] = '\0';
  *value = out;
  *len = got;
  return 1;
}

void CsvKeepText(AcctReader* r, const char* raw, size_t n, char* out, size_t* length) {
  const char* v;
  size_t len;
  if (!CsvValue(raw, n, out, kAcctTextMax, &v, &len)) {
    AcctDamage(r, kSkipBadValue);
    out[0] = '\0';
    *length = 0;
    return;
  }
  if (v != out) return AcctKeepText(r, v, len, out, length);
  *length = len;
}

void CsvKeepNumber(AcctReader* r, const char* raw, size_t n, bool* has, uint32_t* v) {
  if (n >= 2 && raw[0] == '"' && raw[n - 1] == '"') ++raw, n -= 2;
  *has = false;
  if (n == 0) return;
  if (!AcctNumber(raw, n, v)) return AcctDamage(r, kSkipBadValue);
  *has = true;
}
