// Numbers in text as the C library's atol reads them: leading blanks, an
// optional sign, then decimal digits up to the first other character; no
// digits reads as 0. The one reader behind every number the programs take
// from a record, a command line, a form or a CSV field. It is this header
// alone and needs nothing but the text, so every module may include it
// without linking anything.
#ifndef VELMAR_EVENTLOG_NUMBER_H
#define VELMAR_EVENTLOG_NUMBER_H

#include <cstdint>

// What one reading of a text found.
struct NumberText {
  uint64_t Magnitude;  // the digits' value, held to the limit of the reading
  bool Negative;       // a '-' stood before the digits
  bool Over;           // the digits named more than the limit
  const char* Digits;  // the first digit, after the blanks and the sign
  const char* End;     // the first character after the digits (Digits when none)
};

// Reads text as atol does (blanks as isspace takes them in the C locale:
// space, \t, \n, \v, \f, \r). The magnitude is held to limit digit by digit,
// so no text overflows, and every digit is stepped over either way. Example:
// " -12x" gives Magnitude 12, Negative, End at "x". Inline, as it runs for
// every disconnect a log holds.
inline void NumberRead(const char* text, uint64_t limit, NumberText* out) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  const char* digits = text;
  // Past cut, or at cut with a digit above last, one more digit would pass
  // the limit: checked before the step, so the product never wraps.
  const uint64_t cut = limit / 10;
  const uint64_t last = limit % 10;
  uint64_t value = 0;
  bool over = false;
  for (; *text >= '0' && *text <= '9'; ++text) {
    uint64_t digit = static_cast<uint64_t>(*text - '0');
    if (value < cut || (value == cut && digit <= last)) {
      value = value * 10 + digit;
    } else {
      over = true;
      value = limit;
    }
  }
  out->Magnitude = value;
  out->Negative = negative;
  out->Over = over;
  out->Digits = digits;
  out->End = text;
}

// The number text says as atol reads it, held to [low, high] instead of
// overflowing (low <= 0 <= high). Example: ("99999999999", INT32_MIN,
// INT32_MAX) gives 2147483647; ("-0", -1, 9) gives 0.
inline int64_t NumberAtol(const char* text, int64_t low, int64_t high) {
  uint64_t below = 0 - static_cast<uint64_t>(low);  // |low|, also for INT64_MIN
  uint64_t above = static_cast<uint64_t>(high);
  NumberText n;
  NumberRead(text, below > above ? below : above, &n);
  if (n.Negative) return n.Magnitude >= below ? low : -static_cast<int64_t>(n.Magnitude);
  return n.Magnitude >= above ? high : static_cast<int64_t>(n.Magnitude);
}

#endif  // VELMAR_EVENTLOG_NUMBER_H
