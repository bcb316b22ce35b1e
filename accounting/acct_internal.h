// What the format readers share inside the accounting reader: the lines of
// the block, the reading of values (numbers, addresses, texts, dates), the
// marking of damage, and the one place where a record's fields become an
// AcctRecord under the time rules.
#ifndef VELMAR_ACCOUNTING_ACCT_INTERNAL_H
#define VELMAR_ACCOUNTING_ACCT_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "accounting/acct.h"

// ---- many bytes at a time ----

// Bytes the block holds past kAcctBlockSize + 1, so that 64 bytes can be
// loaded at any offset below End (AcctMatch64).
const size_t kAcctBlockPad = 64;

// The 8 bytes at p as a number, p[0] in the low byte.
inline uint64_t AcctLoad64(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint64_t>(u[0]) | static_cast<uint64_t>(u[1]) << 8 |
         static_cast<uint64_t>(u[2]) << 16 | static_cast<uint64_t>(u[3]) << 24 |
         static_cast<uint64_t>(u[4]) << 32 | static_cast<uint64_t>(u[5]) << 40 |
         static_cast<uint64_t>(u[6]) << 48 | static_cast<uint64_t>(u[7]) << 56;
}

// Bit i set where byte i of the 8 at p is c: eight bytes in a few
// operations, no byte compared alone. Exact, with no borrow from one byte
// into the next (the high bit of each byte is set apart first).
inline uint64_t AcctMatch8(const char* p, char c) {
  const uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  uint64_t x = AcctLoad64(p) ^ (0x0101010101010101ull * static_cast<unsigned char>(c));
  uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);  // 0x80 in each byte that was c
  return ((zero >> 7) * 0x0102040810204080ull) >> 56;    // those bits gathered, byte 0 first
}

// Bit i set where p[i] is c, for the 64 bytes at p (all readable): the
// line ends, commas or brackets of a stretch of text found at once, each
// then taken with a count of trailing zeros instead of a call or a loop.
inline uint64_t AcctMatch64Portable(const char* p, char c) {
  uint64_t mask = 0;
  for (int i = 0; i < 8; ++i) mask |= AcctMatch8(p + 8 * i, c) << (8 * i);
  return mask;
}

#if defined(__SSE2__)
inline uint32_t AcctMatch16(const char* p, char c) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
}

inline uint64_t AcctMatch64(const char* p, char c) {
  const __m128i k = _mm_set1_epi8(c);
  const __m128i* v = reinterpret_cast<const __m128i*>(p);
  uint64_t m0 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v), k)));
  uint64_t m1 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 1), k)));
  uint64_t m2 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 2), k)));
  uint64_t m3 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 3), k)));
  return m0 | m1 << 16 | m2 << 32 | m3 << 48;
}
#else
inline uint32_t AcctMatch16(const char* p, char c) {
  return static_cast<uint32_t>(AcctMatch8(p, c) | AcctMatch8(p + 8, c) << 8);
}

inline uint64_t AcctMatch64(const char* p, char c) {
  return AcctMatch64Portable(p, c);
}
#endif

// The number eight decimal digits make, the first of them in the low byte
// of w; false when one of them is no digit. Three multiplications where a
// loop would take a step and a test per digit.
inline bool AcctEightDigits(uint64_t w, uint32_t* v) {
  const uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull, kZeros = 0x3030303030303030ull;
  if ((w & kHigh) != kZeros || ((w + 0x0606060606060606ull) & kHigh) != kZeros) return false;
  uint64_t x = w - kZeros;
  x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FFull;      // pairs of digits
  x = (x * 100 + (x >> 16)) & 0x0000FFFF0000FFFFull;    // fours
  *v = static_cast<uint32_t>((x * 10000 + (x >> 32)));  // eight
  return true;
}

// The index of the lowest bit set in mask (not 0).
inline int AcctLowestBit(uint64_t mask) {
  return __builtin_ctzll(mask);
}

// ---- lines ----

// Makes the next line of the input current (r->Line, LineLength, LineEnded,
// LineLong, LineNumber; the line is not NUL-terminated). Returns 1, 0 at
// the end of the input, or -1 with r->Message set when a read failed.
// Counts.Lines follows LineNumber at each AcctRead. Leaves the scan for
// line ends to start again at the next line.
int AcctNextLineSlow(AcctReader* r);

// The same, for a whole line in the block without asking more of
// AcctNextLineSlow: called once per line of a file of millions. The line
// ends of 64 bytes are found at once (r->Ends) and served one by one.
inline int AcctNextLine(AcctReader* r) {
  uint64_t ends = r->Ends;
  size_t scan = r->ScanAt;
  while (ends == 0) {
    if (scan >= r->End) return AcctNextLineSlow(r);
    ends = AcctMatch64(r->Block + scan, '\n');
    size_t held = r->End - scan;
    if (held < 64) ends &= (uint64_t{1} << held) - 1;
    scan += 64;
  }
  size_t nl = scan - 64 + static_cast<size_t>(AcctLowestBit(ends));
  char* start = r->Block + r->Pos;
  size_t len = nl - r->Pos;
  if (len > kAcctLineLimit) return AcctNextLineSlow(r);
  r->Ends = ends & (ends - 1);
  r->ScanAt = scan;
  r->Pos = nl + 1;
  ++r->LineNumber;
  if (len > 0 && start[len - 1] == '\r') --len;
  r->Line = start;
  r->LineLength = len;
  r->LineEnded = true;
  r->LineLong = false;
  return 1;
}

// Whether a line holds nothing but blanks (spaces and tabs).
inline bool AcctBlank(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (s[i] != ' ' && s[i] != '\t') return false;
  return true;
}

// ---- records ----

// Starts a new record at line `line`: every field absent, no damage.
void AcctBeginFields(AcctReader* r, uint64_t line);

// Marks the record being read as damaged by reason (the first reason
// stays).
inline void AcctDamage(AcctReader* r, AcctSkip reason) {
  if (r->Fields.Damage < 0) r->Fields.Damage = reason;
}

// Counts a skipped record of reason that starts at line.
void AcctCountSkip(AcctReader* r, AcctSkip reason, uint64_t line);

// Marks attribute bit `bit` as met; a second meeting damages the record
// (kSkipRepeated). Returns whether this is the first.
inline bool AcctFirstMeeting(AcctReader* r, int bit) {
  uint32_t mask = 1u << bit;
  if ((r->Fields.Seen & mask) != 0) {
    AcctDamage(r, kSkipRepeated);
    return false;
  }
  r->Fields.Seen |= mask;
  return true;
}

// Ends the record being read: counts it when damaged, no accounting
// request, or without what every record needs; otherwise fills *rec under
// the time rules. Returns 1 when *rec is a record to hand out, else 0.
int AcctFinish(AcctReader* r, AcctRecord* rec);

// ---- values ----

// A decimal number of at most 2^32 - 1: digits only. Returns 1 or 0.
inline int AcctNumber(const char* s, size_t n, uint32_t* v) {
  if (n == 0 || n > 10) return 0;
  uint64_t value = 0;
  for (size_t i = 0; i < n; ++i) {
    unsigned digit = static_cast<unsigned char>(s[i]) - static_cast<unsigned>('0');
    if (digit > 9) return 0;
    value = value * 10 + digit;
  }
  if (value > 0xFFFFFFFFull) return 0;
  *v = static_cast<uint32_t>(value);
  return 1;
}

// Copies n bytes (n up to 16) from s to out as two words or less: the
// short texts of most records without a call.
inline void AcctCopyShort(char* out, const char* s, size_t n) {
  if (n >= 8) {
    uint64_t head, tail;
    memcpy(&head, s, 8);
    memcpy(&tail, s + n - 8, 8);
    memcpy(out, &head, 8);
    memcpy(out + n - 8, &tail, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    memcpy(&head, s, 4);
    memcpy(&tail, s + n - 4, 4);
    memcpy(out, &head, 4);
    memcpy(out + n - 4, &tail, 4);
  } else {
    for (size_t i = 0; i < n; ++i) out[i] = s[i];
  }
}

// Stores a text value of n bytes into out (room for kAcctTextMax and a NUL)
// with its length in *length; damages the record (kSkipBadValue) when it is
// longer than kAcctTextMax.
inline void AcctKeepText(AcctReader* r, const char* s, size_t n, char* out, size_t* length) {
  if (n <= 16) {
    AcctCopyShort(out, s, n);
  } else if (n <= kAcctTextMax) {
    memcpy(out, s, n);
  } else {
    AcctDamage(r, kSkipBadValue);
    n = 0;
  }
  out[n] = '\0';
  *length = n;
}

// A dotted-decimal IPv4 address: four numbers of 0 to 255.
bool AcctIpv4(const char* s, size_t n);

// An IPv6 address as written: hex digits, colons (at least two) and dots.
bool AcctIpv6(const char* s, size_t n);

// Writes v in decimal with a NUL into out (12 bytes).
void AcctPortText(uint32_t v, char* out);

// Keeps NAS-Port as a number in decimal; damages the record when it is none.
void AcctKeepPort(AcctReader* r, const char* s, size_t n);

// Keeps an Acct-Status-Type number (any number: AcctFinish judges it).
void AcctKeepStatus(AcctReader* r, const char* s, size_t n);

// Keeps a number into *v with *has set; damages the record when it is none.
inline void AcctKeepNumber(AcctReader* r, const char* s, size_t n, bool* has, uint32_t* v) {
  if (!AcctNumber(s, n, v)) {
    AcctDamage(r, kSkipBadValue);
    return;
  }
  *has = true;
}

// Local seconds (seconds since 1970 as if the local clock were UTC) of a
// civil date and time, or -1 when it is no real one (years 1970 to 2106).
int64_t AcctCivilSeconds(int year, int month, int day, int hour, int minute, int second);

// Reads "MM/DD/YYYY" (month and day of one or two digits) into local days'
// seconds. Returns 1 with *seconds set (midnight), else 0.
int AcctSlashDate(const char* s, size_t n, int64_t* seconds);

// Reads "HH:MM:SS" (hour of one or two digits), optionally followed by a
// fraction ".mmm" which is dropped. Returns 1 with *seconds since
// midnight, else 0.
int AcctClock(const char* s, size_t n, int64_t* seconds);

// Reads "MM/DD/YYYY HH:MM:SS[.fff]" into local seconds. Returns 1 or 0.
int AcctSlashDateTime(const char* s, size_t n, int64_t* seconds);

// The UTC instant the local clock (TZ) shows at local seconds `local`,
// through the platform's local time; -1 when there is none.
int64_t AcctLocalToUtc(AcctZoneCache* z, int64_t local);

// ---- one decoder per format ----
// Each reads lines until it has a record to hand out (1, *rec filled), the
// input ends (0), or a read fails (-1).

int DetailNext(AcctReader* r, AcctRecord* rec);
int NpsNext(AcctReader* r, AcctRecord* rec);
int IasNext(AcctReader* r, AcctRecord* rec);
int DtsNext(AcctReader* r, AcctRecord* rec);

// Whether a line of n bytes is a detail record's header, the receive time
// in `ctime` form ("Tue Sep 13 16:24:27 2011", the day also " 3" or "03").
// Returns 1 with its local seconds in *local, else 0.
int DetailHeaderTime(const char* s, size_t n, int64_t* local);

// Whether a line is the first of an nps file: 66 fields, the second "RAS"
// or "IAS".
bool NpsLooksLike(const char* s, size_t n);

// Whether a line is the first of an ias file: six fields whose fifth is
// "RAS" or "IAS" after a date and a time, then pairs led by numbers.
bool IasLooksLike(const char* s, size_t n);

// ---- comma-separated fields (nps and ias) ----

// A cursor over the fields of one CSV line.
struct CsvCursor {
  const char* At;   // the next field's first byte
  const char* End;  // the line's end
  bool Padded;      // 64 bytes can be read past End (a line in the reader's block)
  bool Done;        // no field is left
  bool Bad;         // the next field has a quote left open or text after its closing quote
};

// A field as it stands in the line, quotes included.
struct CsvField {
  const char* Raw;  // its first byte
  size_t Length;    // its bytes
};

// Starts a cursor over the line of n bytes at s; padded tells that 64
// bytes past it can be read (they are not looked at).
void CsvStart(CsvCursor* c, const char* s, size_t n, bool padded);

// The next fields of the line, up to max of them, into out: returns how
// many. Fewer than max when the line ends (c->Done) or when the field
// after them is badly quoted (c->Bad: a quote left open, or text after a
// closing quote); 0 when none is left. The commas of 64 bytes are found
// at once: most fields are short or empty.
int CsvFields(CsvCursor* c, CsvField* out, int max);

// The value of a raw field: itself, or when quoted its text with "" taken
// as one " copied into out (cap bytes, one more for a NUL). Returns 1 with
// *value and *len, 0 when the text does not fit.
int CsvValue(const char* raw, size_t n, char* out, size_t cap, const char** value, size_t* len);

// Keeps the value of a raw CSV field as a text of the record (see
// AcctKeepText); a quoted one is unquoted first.
void CsvKeepText(AcctReader* r, const char* raw, size_t n, char* out, size_t* length);

// Reads the value of a raw CSV field as a number: *has is false for an
// empty field; the record is damaged (kSkipBadValue) for one that is no
// number.
void CsvKeepNumber(AcctReader* r, const char* raw, size_t n, bool* has, uint32_t* v);

#endif  // VELMAR_ACCOUNTING_ACCT_INTERNAL_H
