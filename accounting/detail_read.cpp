// Reads detail records: a header line, indented attribute lines, a blank
// line. A record is handed out only when it was read whole: one that the
// next header follows without a blank line, that the input cuts off inside
// a line, or that holds a line too long, a value of the wrong type or an
// attribute twice is skipped and counted.
#include <cstdint>
#include <cstring>
#include <string>

#include "accounting/acct_internal.h"
#include "accounting/detail_format.h"

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the n bytes at s are the name, without regard to case.
bool SameName(const char* name, const char* s, size_t n) {
  if (strlen(name) != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (Lower(name[i]) != Lower(s[i])) return false;
  return true;
}

bool Indented(const char* s, size_t n) {
  return n > 0 && (s[0] == ' ' || s[0] == '\t');
}

// A name of table `names` (without regard to case), or -1.
int Lookup(const DetailName* names, const char* s, size_t n) {
  for (const DetailName* d = names; d->Name != nullptr; ++d)
    if (SameName(d->Name, s, n)) return d->Value;
  return -1;
}

int Month(const char* s) {
  for (int m = 0; m < 12; ++m)
    if (memcmp(s, kDetailMonths[m], 3) == 0) return m + 1;
  return 0;
}

bool Letters(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) return false;
  return true;
}

// Reads a number of `width` digits at s (width 0: one or two, after an
// optional blank). Returns -1 when they are not there; steps *s over them.
int Number(const char** s, const char* end, int width) {
  const char* p = *s;
  int v = 0, got = 0, most = width == 0 ? 2 : width;
  if (width == 0 && p < end && *p == ' ') ++p;
  while (got < most && p < end && *p >= '0' && *p <= '9') v = v * 10 + (*p++ - '0'), ++got;
  if (got == 0 || (width != 0 && got != width)) return -1;
  *s = p;
  return v;
}

bool Char(const char** s, const char* end, char c) {
  if (*s >= end || **s != c) return false;
  ++*s;
  return true;
}

// "Mmm dd yyyy hh:mm:ss ZONE", as FreeRADIUS 3 writes Event-Timestamp.
// Returns 1 with local seconds and whether the zone is UTC, else 0.
int DateText(const char* s, size_t n, int64_t* seconds, bool* utc) {
  const char* end = s + n;
  if (n < 20 || Month(s) == 0 || s[3] != ' ') return 0;
  const char* p = s + 4;
  int month = Month(s), day = Number(&p, end, 0);
  if (day < 0 || !Char(&p, end, ' ')) return 0;
  int year = Number(&p, end, 4);
  if (year < 0 || !Char(&p, end, ' ')) return 0;
  int h = Number(&p, end, 2);
  if (h < 0 || !Char(&p, end, ':')) return 0;
  int mi = Number(&p, end, 2);
  if (mi < 0 || !Char(&p, end, ':')) return 0;
  int sec = Number(&p, end, 2);
  if (sec < 0 || !Char(&p, end, ' ')) return 0;
  size_t zone = static_cast<size_t>(end - p);
  if (zone == 0 || zone > 8) return 0;
  *utc = (zone == 3 && (memcmp(p, "UTC", 3) == 0 || memcmp(p, "GMT", 3) == 0)) ||
         (zone == 1 && *p == 'Z');
  *seconds = AcctCivilSeconds(year, month, day, h, mi, sec);
  return *seconds >= 0;
}

// Unquotes a detail text value in place (it shrinks). Returns its length,
// or -1 for a quote not closed at the end.
long Unquote(char* s, size_t n) {
  if (n == 0 || s[0] != '"') return static_cast<long>(n);
  if (n < 2 || s[n - 1] != '"') return -1;
  size_t out = 0;
  for (size_t i = 1; i + 1 < n; ++i) {
    char c = s[i];
    if (c == '\\' && i + 2 < n) {
      char e = s[++i];
      if (e >= '0' && e <= '7' && i + 3 < n && s[i + 1] >= '0' && s[i + 1] <= '7' &&
          s[i + 2] >= '0' && s[i + 2] <= '7') {
        c = static_cast<char>((e - '0') * 64 + (s[i + 1] - '0') * 8 + (s[i + 2] - '0'));
        i += 2;
      } else {
        c = e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
      }
    }
    s[out++] = c;
  }
  return static_cast<long>(out);
}

constexpr size_t kLength[kDetailAttributeCount] = {
    std::char_traits<char>::length(kDetailNames[0]),
    std::char_traits<char>::length(kDetailNames[1]),
    std::char_traits<char>::length(kDetailNames[2]),
    std::char_traits<char>::length(kDetailNames[3]),
    std::char_traits<char>::length(kDetailNames[4]),
    std::char_traits<char>::length(kDetailNames[5]),
    std::char_traits<char>::length(kDetailNames[6]),
    std::char_traits<char>::length(kDetailNames[7]),
    std::char_traits<char>::length(kDetailNames[8]),
    std::char_traits<char>::length(kDetailNames[9]),
    std::char_traits<char>::length(kDetailNames[10]),
    std::char_traits<char>::length(kDetailNames[11]),
    std::char_traits<char>::length(kDetailNames[12]),
};
static_assert(kDetailAttributeCount == 13, "every name has its length");
static_assert(std::char_traits<char>::length(kDetailNames[kDetailNasPort]) >= 8,
              "the shortest name is compared eight bytes at a time");

// Whether the len bytes (8 or more) at a and b are the same, eight at a
// time, the last eight overlapping: a call to memcmp costs more than this
// for the names of attributes.
bool SameBytes(const char* a, const char* b, size_t len) {
  uint64_t x, y;
  for (size_t i = 0; i + 8 < len; i += 8) {
    memcpy(&x, a + i, 8);
    memcpy(&y, b + i, 8);
    if (x != y) return false;
  }
  memcpy(&x, a + len - 8, 8);
  memcpy(&y, b + len - 8, 8);
  return x == y;
}

// Whether the len bytes at s spell name, letters without regard to case.
bool Spells(const char* name, const char* s, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    char a = s[i], b = name[i];
    if (a == b) continue;
    char lower = static_cast<char>(b | 0x20);
    if ((a ^ b) != 0x20 || lower < 'a' || lower > 'z') return false;
  }
  return true;
}

// The attribute whose name starts the n bytes at s, or -1. Most lines
// name one the reader passes over: a letter or two leave few names to
// try, a name's length fails most of them at once, and the rest fail
// within a few bytes.
int Attribute(const char* s, size_t n) {
  static const int kStatusOrSession[] = {kDetailAcctStatusType, kDetailAcctSessionId,
                                         kDetailAcctSessionTime, -1};
  static const int kDelay[] = {kDetailAcctDelayTime, -1};
  static const int kUnique[] = {kDetailAcctUniqueSessionId, -1};
  static const int kIp[] = {kDetailNasIpAddress, kDetailNasIpv6Address, kDetailNasIdentifier, -1};
  static const int kPort[] = {kDetailNasPort, kDetailNasPortId, -1};
  static const int kUser[] = {kDetailUserName, -1};
  static const int kEvent[] = {kDetailEventTimestamp, -1};
  static const int kTime[] = {kDetailTimestamp, -1};
  if (n < 9) return -1;  // shorter than the shortest name and its " ="
  const int* tries;
  switch (s[0] | 0x20) {
    case 'a':  // Acct-...
      switch (s[5] | 0x20) {
        case 's':
          tries = kStatusOrSession;
          break;
        case 'd':
          tries = kDelay;
          break;
        case 'u':
          tries = kUnique;
          break;
        default:
          return -1;
      }
      break;
    case 'n':  // NAS-...
      switch (s[4] | 0x20) {
        case 'i':
          tries = kIp;
          break;
        case 'p':
          tries = kPort;
          break;
        default:
          return -1;
      }
      break;
    case 'u':
      tries = kUser;
      break;
    case 'e':
      tries = kEvent;
      break;
    case 't':
      tries = kTime;
      break;
    default:
      return -1;
  }
  for (; *tries >= 0; ++tries) {
    size_t len = kLength[*tries];
    if (len < n && (s[len] == ' ' || s[len] == '\t' || s[len] == '=') &&
        (SameBytes(kDetailNames[*tries], s, len) || Spells(kDetailNames[*tries], s, len)))
      return *tries;
  }
  return -1;
}

void Status(AcctReader* r, const char* v, size_t n) {
  if (n >= 2 && v[0] == ':' && v[1] == ':') v += 2, n -= 2;
  if (n > 0 && v[0] >= '0' && v[0] <= '9') return AcctKeepStatus(r, v, n);
  int status = Lookup(kDetailStatusNames, v, n);
  if (n == 0) AcctDamage(r, kSkipBadValue);
  r->Fields.Status = status < 0 ? 1000 : status;  // an unknown name is a status outside the five
}

void EventTimestamp(AcctReader* r, const char* v, size_t n, bool quoted) {
  AcctFields& f = r->Fields;
  uint32_t t;
  bool utc;
  int64_t local;
  if (AcctNumber(v, n, &t)) {
    f.HasEvent = true, f.Event = t;
  } else if (quoted && DateText(v, n, &local, &utc)) {
    if (utc)
      f.HasEvent = true, f.Event = local;
    else
      f.HasEventLocal = true, f.EventLocal = local;
  } else {
    AcctDamage(r, kSkipBadValue);
  }
}

// One value of attribute a (unquoted already).
void Value(AcctReader* r, int a, const char* v, size_t n, bool quoted) {
  AcctFields& f = r->Fields;
  uint32_t number;
  bool has;
  switch (a) {
    case kDetailUserName:
      return AcctKeepText(r, v, n, f.User, &f.UserLength);
    case kDetailNasIdentifier:
      return AcctKeepText(r, v, n, f.Ident, &f.IdentLength);
    case kDetailNasPortId:
      return AcctKeepText(r, v, n, f.PortId, &f.PortIdLength);
    case kDetailAcctSessionId:
      return AcctKeepText(r, v, n, f.SessionId, &f.SessionIdLength);
    case kDetailAcctUniqueSessionId:
      return AcctKeepText(r, v, n, f.UniqueId, &f.UniqueIdLength);
    case kDetailNasIpAddress:
      if (!AcctIpv4(v, n)) return AcctDamage(r, kSkipBadValue);
      return AcctKeepText(r, v, n, f.Ip, &f.IpLength);
    case kDetailNasIpv6Address:
      if (!AcctIpv6(v, n)) return AcctDamage(r, kSkipBadValue);
      return AcctKeepText(r, v, n, f.Ipv6, &f.Ipv6Length);
    case kDetailNasPort:
      return AcctKeepPort(r, v, n);
    case kDetailAcctStatusType:
      return Status(r, v, n);
    case kDetailAcctSessionTime:
      return AcctKeepNumber(r, v, n, &f.HasSessionTime, &f.SessionTime);
    case kDetailAcctDelayTime:
      return AcctKeepNumber(r, v, n, &f.HasDelay, &f.Delay);
    case kDetailEventTimestamp:
      return EventTimestamp(r, v, n, quoted);
    case kDetailTimestamp:
      has = false;
      AcctKeepNumber(r, v, n, &has, &number);
      if (has) f.HasReceived = true, f.Received = number;
      return;
    default:
      return;
  }
}

// One "Name = value" line of the record being read. Lines of attributes
// the reader passes over are not looked at further.
void AttributeLine(AcctReader* r, char* s, size_t n) {
  size_t i = 0;
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  int a = Attribute(s + i, n - i);
  if (a < 0) return;
  i += kLength[a];
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  if (i == n || s[i] != '=') return AcctDamage(r, kSkipBadLine);
  ++i;
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  while (n > i && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  if (!AcctFirstMeeting(r, a)) return;
  bool quoted = i < n && s[i] == '"';
  long len = Unquote(s + i, n - i);
  if (len < 0) return AcctDamage(r, kSkipBadValue);
  Value(r, a, s + i, static_cast<size_t>(len), quoted);
}

const size_t kHeaderMax = 25;  // "Tue Sep 13 16:24:27 2011" and a blank more before the day

// Whether a line can be a header: a `ctime` text's blanks, colons and
// year where they stand. DetailHeaderTime reads it when it is needed.
bool HeaderShape(const char* s, size_t n) {
  if (n < 23 || n > kHeaderMax) return false;
  const char* year = s + n - 4;
  return s[3] == ' ' && s[7] == ' ' && year[-1] == ' ' && year[-4] == ':' && year[-7] == ':' &&
         year[0] >= '0' && year[0] <= '9' && year[3] >= '0' && year[3] <= '9';
}

// Reads the lines after a record's header up to its end: a blank line,
// the end of the input, or the next header (kept as the current line).
// Returns 1, or -1 when a read failed.
int Body(AcctReader* r) {
  for (;;) {
    int got = AcctNextLine(r);
    if (got <= 0) return got < 0 ? -1 : 1;
    if (r->LineLength > 1 && r->Line[0] == '\t' && r->Line[1] != ' ' && r->Line[1] != '\t' &&
        r->LineEnded) {  // most lines: a tab, then a name
      AttributeLine(r, r->Line, r->LineLength);
      continue;
    }
    if (r->LineLong) {
      AcctDamage(r, kSkipLongLine);
      continue;
    }
    if (AcctBlank(r->Line, r->LineLength)) return 1;
    if (!r->LineEnded) AcctDamage(r, kSkipTruncated);
    if (!Indented(r->Line, r->LineLength)) {
      AcctDamage(r, kSkipNoBlankLine);
      r->HaveLine = true;
      return 1;
    }
    AttributeLine(r, r->Line, r->LineLength);
  }
}

}  // namespace

int DetailHeaderTime(const char* s, size_t n, int64_t* local) {
  const char* end = s + n;
  if (n < 23 || n > 25 || !Letters(s, 3) || s[3] != ' ' || s[7] != ' ') return 0;
  int month = Month(s + 4);
  const char* p = s + 8;
  int day = Number(&p, end, 0);
  if (month == 0 || day < 0 || !Char(&p, end, ' ')) return 0;
  int h = Number(&p, end, 2);
  if (h < 0 || !Char(&p, end, ':')) return 0;
  int mi = Number(&p, end, 2);
  if (mi < 0 || !Char(&p, end, ':')) return 0;
  int sec = Number(&p, end, 2);
  if (sec < 0 || !Char(&p, end, ' ')) return 0;
  int year = Number(&p, end, 4);
  if (year < 0 || p != end) return 0;
  *local = AcctCivilSeconds(year, month, day, h, mi, sec);
  return *local >= 0;
}

int DetailNext(AcctReader* r, AcctRecord* rec) {
  for (;;) {
    if (!r->HaveLine) {
      int got = AcctNextLine(r);
      if (got <= 0) return got;
    }
    r->HaveLine = false;
    if (!r->LineLong && AcctBlank(r->Line, r->LineLength)) continue;
    AcctBeginFields(r, r->LineNumber);
    // The header is read only when no attribute gives the time, as most
    // do; it is kept, since the lines after it may move the block.
    char header[kHeaderMax + 1];
    size_t headerLength = 0;
    if (r->LineLong) {
      AcctDamage(r, kSkipLongLine);
    } else if (!r->LineEnded) {
      AcctDamage(r, kSkipTruncated);
    } else if (Indented(r->Line, r->LineLength) || !HeaderShape(r->Line, r->LineLength)) {
      AcctDamage(r, kSkipBadLine);  // attribute lines with no header, or a header of no time
    } else {
      headerLength = r->LineLength;
      memcpy(header, r->Line, headerLength);
    }
    if (Body(r) < 0) return -1;
    AcctFields& f = r->Fields;
    int64_t local;
    if (f.Damage < 0 && !f.HasEvent && !f.HasReceived && !f.HasEventLocal) {
      if (!DetailHeaderTime(header, headerLength, &local)) {
        AcctDamage(r, kSkipBadLine);
      } else {
        f.HasReceivedLocal = true;
        f.ReceivedLocal = local;
      }
    }
    if (AcctFinish(r, rec)) return 1;
  }
}
