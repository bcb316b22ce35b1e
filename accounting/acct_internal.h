// What the format readers share inside the accounting reader: the lines of
// the block, the reading of values (numbers, addresses, texts, dates), the
// marking of damage, and the one place where a record's fields become an
// AcctRecord under the time rules.
#ifndef VELMAR_ACCOUNTING_ACCT_INTERNAL_H
#define VELMAR_ACCOUNTING_ACCT_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "accounting/acct.h"

// ---- lines ----

// Makes the next line of the input current (r->Line, LineLength, LineEnded,
// LineLong, LineNumber; the line is not NUL-terminated). Returns 1, 0 at
// the end of the input, or -1 with r->Message set when a read failed.
// Counts.Lines follows LineNumber at each AcctRead.
int AcctNextLineSlow(AcctReader* r);

// The same, for a whole line in the block without asking more of
// AcctNextLineSlow: called once per line of a file of millions.
inline int AcctNextLine(AcctReader* r) {
  size_t avail = r->End - r->Pos;
  if (!r->Skipping && avail > 0) {
    char* start = r->Block + r->Pos;
    char* nl = static_cast<char*>(memchr(start, '\n', avail));
    if (nl != nullptr && static_cast<size_t>(nl - start) <= kAcctLineLimit) {
      size_t len = static_cast<size_t>(nl - start);
      r->Pos += len + 1;
      ++r->LineNumber;
      if (len > 0 && start[len - 1] == '\r') --len;
      r->Line = start;
      r->LineLength = len;
      r->LineEnded = true;
      r->LineLong = false;
      return 1;
    }
  }
  return AcctNextLineSlow(r);
}

// Whether a line holds nothing but blanks (spaces and tabs).
bool AcctBlank(const char* s, size_t n);

// ---- records ----

// Starts a new record at line `line`: every field absent, no damage.
void AcctBeginFields(AcctReader* r, uint64_t line);

// Marks the record being read as damaged by reason (the first reason
// stays).
void AcctDamage(AcctReader* r, AcctSkip reason);

// Counts a skipped record of reason that starts at line.
void AcctCountSkip(AcctReader* r, AcctSkip reason, uint64_t line);

// Marks attribute bit `bit` as met; a second meeting damages the record
// (kSkipRepeated). Returns whether this is the first.
bool AcctFirstMeeting(AcctReader* r, int bit);

// Ends the record being read: counts it when damaged, no accounting
// request, or without what every record needs; otherwise fills *rec under
// the time rules. Returns 1 when *rec is a record to hand out, else 0.
int AcctFinish(AcctReader* r, AcctRecord* rec);

// ---- values ----

// A decimal number of at most 2^32 - 1: digits only. Returns 1 or 0.
int AcctNumber(const char* s, size_t n, uint32_t* v);

// Stores a text value of n bytes into out (room for kAcctTextMax and a NUL)
// with its length in *length; damages the record (kSkipBadValue) when it is
// longer than kAcctTextMax.
void AcctKeepText(AcctReader* r, const char* s, size_t n, char* out, size_t* length);

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
void AcctKeepNumber(AcctReader* r, const char* s, size_t n, bool* has, uint32_t* v);

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
  bool Done;        // no field is left
};

// Starts a cursor over the line of n bytes at s.
void CsvStart(CsvCursor* c, const char* s, size_t n);

// The next field as it stands (quotes included): returns 1 with *raw and
// *n, 0 when no field is left, -1 for a quote left open or text after a
// closing quote.
int CsvNext(CsvCursor* c, const char** raw, size_t* n);

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
