// Reads NPS DTS-compliant lines: "<Event>", flat elements "<Name ...>text
// </Name>" (or "<Name .../>"), "</Event>". Nothing nests; a line that is
// not closed by "</Event>", or whose elements do not close, is skipped.
#include <cstring>
#include <string>

#include "accounting/acct_internal.h"
#include "accounting/dts_format.h"

namespace {

constexpr size_t kDtsLength[kDtsElementCount] = {
    std::char_traits<char>::length(kDtsNames[0]),  std::char_traits<char>::length(kDtsNames[1]),
    std::char_traits<char>::length(kDtsNames[2]),  std::char_traits<char>::length(kDtsNames[3]),
    std::char_traits<char>::length(kDtsNames[4]),  std::char_traits<char>::length(kDtsNames[5]),
    std::char_traits<char>::length(kDtsNames[6]),  std::char_traits<char>::length(kDtsNames[7]),
    std::char_traits<char>::length(kDtsNames[8]),  std::char_traits<char>::length(kDtsNames[9]),
    std::char_traits<char>::length(kDtsNames[10]), std::char_traits<char>::length(kDtsNames[11]),
    std::char_traits<char>::length(kDtsNames[12]),
};
static_assert(kDtsElementCount == 13, "every name has its length");

// Whether the n bytes at a and b are the same (both in the block, so 8
// bytes past them can be read): a word or a few for the names of
// elements.
bool Same(const char* a, const char* b, size_t n) {
  if (n > 32) return memcmp(a, b, n) == 0;
  uint64_t diff = AcctLoad64(a) ^ AcctLoad64(b);
  if (n < 8) return (diff & ((uint64_t{1} << (8 * n)) - 1)) == 0;
  for (size_t i = 8; i + 8 < n; i += 8) diff |= AcctLoad64(a + i) ^ AcctLoad64(b + i);
  return (diff | (AcctLoad64(a + n - 8) ^ AcctLoad64(b + n - 8))) == 0;
}

// The element a name of n bytes at s is, or -1. Names of elements the
// reader passes over fail on their length or first and last bytes: most
// are compared with no name at all.
int Element(const char* s, size_t n) {
  if (n < 8) return -1;  // shorter than the shortest name used
  for (int e = 0; e < kDtsElementCount; ++e)
    if (kDtsLength[e] == n && s[0] == kDtsNames[e][0] && s[n - 1] == kDtsNames[e][n - 1] &&
        memcmp(kDtsNames[e], s, n) == 0)
      return e;
  return -1;
}

// Decodes one entity at s (n bytes, s[0] == '&') into *c. Returns the
// bytes it takes, 0 for none known.
size_t Entity(const char* s, size_t n, char* c) {
  static const struct {
    const char* Name;
    char Char;
  } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (const auto& e : kNamed) {
    size_t len = strlen(e.Name);
    if (n >= len && memcmp(s, e.Name, len) == 0) {
      *c = e.Char;
      return len;
    }
  }
  if (n < 4 || s[1] != '#') return 0;
  bool hex = s[2] == 'x' || s[2] == 'X';
  size_t i = hex ? 3 : 2;
  unsigned v = 0, digits = 0;
  for (; i < n && s[i] != ';' && digits < 6; ++i, ++digits) {
    char d = s[i];
    int k = d >= '0' && d <= '9'          ? d - '0'
            : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
            : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                          : -1;
    if (k < 0) return 0;
    v = v * (hex ? 16 : 10) + static_cast<unsigned>(k);
  }
  if (i >= n || s[i] != ';' || digits == 0 || v > 255) return 0;  // bytes, as the file stores them
  *c = static_cast<char>(v);
  return i + 1;
}

// The text of an element with its entities decoded into out (kAcctTextMax
// and a NUL). Returns 1 with *len, 0 for an unknown entity or too long.
int Text(const char* s, size_t n, char* out, size_t* len) {
  size_t got = 0;
  if (memchr(s, '&', n) == nullptr) {  // most texts: no entity, copied at once
    if (n > kAcctTextMax) return 0;
    memcpy(out, s, n);
    out[n] = '\0';
    *len = n;
    return 1;
  }
  for (size_t i = 0; i < n;) {
    char c = s[i];
    size_t step = 1;
    if (c == '&' && (step = Entity(s + i, n - i, &c)) == 0) return 0;
    if (got == kAcctTextMax) return 0;
    out[got++] = c;
    i += step;
  }
  out[got] = '\0';
  *len = got;
  return 1;
}

void KeepText(AcctReader* r, const char* s, size_t n, char* out, size_t* length) {
  if (!Text(s, n, out, length)) AcctDamage(r, kSkipBadValue);
}

void KeepNumber(AcctReader* r, const char* s, size_t n, int* out) {
  uint32_t v;
  if (!AcctNumber(s, n, &v)) return AcctDamage(r, kSkipBadValue);
  *out = v > 1000 ? 1000 : static_cast<int>(v);
}

void Value(AcctReader* r, int e, const char* s, size_t n) {
  AcctFields& f = r->Fields;
  uint32_t v;
  int64_t seconds;
  switch (e) {
    case kDtsUserName:
      return KeepText(r, s, n, f.User, &f.UserLength);
    case kDtsNasIdentifier:
      return KeepText(r, s, n, f.Ident, &f.IdentLength);
    case kDtsNasPortId:
      return KeepText(r, s, n, f.PortId, &f.PortIdLength);
    case kDtsAcctSessionId:
      return KeepText(r, s, n, f.SessionId, &f.SessionIdLength);
    case kDtsNasIpAddress:
      if (!AcctIpv4(s, n)) return AcctDamage(r, kSkipBadValue);
      return AcctKeepText(r, s, n, f.Ip, &f.IpLength);
    case kDtsNasIpv6Address:
      if (!AcctIpv6(s, n)) return AcctDamage(r, kSkipBadValue);
      return AcctKeepText(r, s, n, f.Ipv6, &f.Ipv6Length);
    case kDtsNasPort:
      return AcctKeepPort(r, s, n);
    case kDtsPacketType:
      return KeepNumber(r, s, n, &f.PacketType);
    case kDtsAcctStatusType:
      return KeepNumber(r, s, n, &f.Status);
    case kDtsAcctDelayTime:
      return AcctKeepNumber(r, s, n, &f.HasDelay, &f.Delay);
    case kDtsAcctSessionTime:
      return AcctKeepNumber(r, s, n, &f.HasSessionTime, &f.SessionTime);
    case kDtsEventTimestamp:
      if (AcctNumber(s, n, &v))
        f.Event = v;
      else if (AcctSlashDateTime(s, n, &seconds))
        f.Event = seconds;
      else
        return AcctDamage(r, kSkipBadValue);
      f.HasEvent = true;
      return;
    case kDtsTimestamp:
      if (!AcctSlashDateTime(s, n, &seconds)) return AcctDamage(r, kSkipBadValue);
      f.HasReceivedLocal = true;
      f.ReceivedLocal = seconds;
      return;
    default:
      return;
  }
}

// The first c at p or after it before end, or null. The line is in the
// reader's block, so 16 bytes are read at a time even near its end.
const char* Find(const char* p, const char* end, char c) {
  for (; p < end; p += 16) {
    uint32_t m = AcctMatch16(p, c);
    if (m != 0) {
      const char* at = p + AcctLowestBit(m);
      return at < end ? at : nullptr;
    }
  }
  return nullptr;
}

// The end of an element's name at p: its first blank, '>' or '/', or end.
const char* NameEnd(const char* p, const char* end) {
  while (end - p >= 16) {  // 16 bytes at a time while the line has them
    uint32_t m = AcctMatch16(p, ' ') | AcctMatch16(p, '>') | AcctMatch16(p, '/');
    if (m != 0) return p + AcctLowestBit(m);
    p += 16;
  }
  while (p < end && *p != ' ' && *p != '>' && *p != '/') ++p;
  return p;
}

// The elements between "<Event>" and "</Event>". Returns 1, or 0 for
// elements that do not close.
int Elements(AcctReader* r, const char* p, const char* end) {
  while (p < end) {
    if (*p != '<') return 0;
    const char* name = ++p;
    p = NameEnd(p, end);
    size_t nameLen = static_cast<size_t>(p - name);
    const char* close = Find(p, end, '>');
    if (nameLen == 0 || close == nullptr) return 0;
    int e = Element(name, nameLen);
    if (close[-1] == '/') {  // <Name .../>: an empty value
      if (e >= 0 && AcctFirstMeeting(r, e)) Value(r, e, close, 0);
      p = close + 1;
      continue;
    }
    const char* text = close + 1;
    const char* lt = Find(text, end, '<');
    if (lt == nullptr || static_cast<size_t>(end - lt) < nameLen + 3 || lt[1] != '/' ||
        !Same(lt + 2, name, nameLen) || lt[2 + nameLen] != '>')
      return 0;
    if (e >= 0 && AcctFirstMeeting(r, e)) Value(r, e, text, static_cast<size_t>(lt - text));
    p = lt + 3 + nameLen;
  }
  return 1;
}

// One line of the format.
void Line(AcctReader* r, const char* s, size_t n) {
  size_t open = strlen(kDtsEventOpen), shut = strlen(kDtsEventClose);
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  if (n < open + shut || memcmp(s, kDtsEventOpen, open) != 0 ||
      memcmp(s + n - shut, kDtsEventClose, shut) != 0)
    return AcctDamage(r, r->LineEnded ? kSkipBadLine : kSkipTruncated);
  if (!Elements(r, s + open, s + n - shut)) AcctDamage(r, kSkipBadLine);
}

}  // namespace

int DtsNext(AcctReader* r, AcctRecord* rec) {
  for (;;) {
    int got = AcctNextLine(r);
    if (got <= 0) return got;
    if (!r->LineLong && AcctBlank(r->Line, r->LineLength)) continue;
    AcctBeginFields(r, r->LineNumber);
    if (r->LineLong)
      AcctDamage(r, kSkipLongLine);
    else
      Line(r, r->Line, r->LineLength);
    if (AcctFinish(r, rec)) return 1;
  }
}
