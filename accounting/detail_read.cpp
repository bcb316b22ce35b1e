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
              "the shortest name is compared eight bytes at a time, and told by eight");

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

// ---- the names of attributes, told by their first eight bytes ----
// Every used name is eight bytes or more, and no two share their first
// eight but Acct-Session-Id and -Time, and NAS-Port and NAS-Port-Id. Those
// bytes with each byte's 0x20 bit set (letters in lower case) pick a slot
// of a table by one multiplication: a line of an attribute the reader
// passes over fails with one comparison, whatever its name. The slot holds
// how the lines of its one or two names start as writers write them.

// The first eight bytes of s with the 0x20 bit of each set.
constexpr uint64_t Folded8(const char* s) {
  uint64_t w = 0;
  for (size_t i = 0; i < 8; ++i)
    w |= static_cast<uint64_t>(static_cast<unsigned char>(s[i]) | 0x20u) << (8 * i);
  return w;
}

const uint64_t kFold = 0x2020202020202020ull;
const uint64_t kSlotHash = 0xb02ba83f96ba955bull;  // sends each folded start to a slot of its own
const int kSlotCount = 16;

constexpr int SlotOf(uint64_t folded) {
  return static_cast<int>((folded * kSlotHash) >> 60);
}

// The start of an attribute's line as writers write it, "Name = ", as
// words of 8 bytes: a line that starts so is told by four comparisons,
// with no byte looked at alone.
struct UsualStart {
  uint64_t Word[4];  // the bytes, byte 0 lowest
  uint64_t Mask[4];  // the bytes of each word that belong to it
  int Attribute;     // whose name it is, -1 for none (no line starts so)
  size_t Length;     // bytes of "Name = ", where the value starts
};

constexpr UsualStart MakeUsualStart(int a) {
  UsualStart t{};
  t.Attribute = a;
  if (a < 0) {
    t.Mask[0] = ~uint64_t{0};  // and Word[0] 0: no name starts with eight NULs
    return t;
  }
  const char* name = kDetailNames[a];
  size_t len = kLength[a];
  t.Length = len + 3;
  for (size_t i = 0; i < len + 3; ++i) {
    unsigned char c = i < len ? static_cast<unsigned char>(name[i]) : i == len + 1 ? '=' : ' ';
    t.Word[i / 8] |= static_cast<uint64_t>(c) << (8 * (i % 8));
    t.Mask[i / 8] |= uint64_t{0xFF} << (8 * (i % 8));
  }
  return t;
}

// Whether the 32 bytes at s (in the block) start as t.
bool StartsAs(const UsualStart& t, const char* s) {
  uint64_t diff = ((AcctLoad64(s) ^ t.Word[0]) & t.Mask[0]) |
                  ((AcctLoad64(s + 8) ^ t.Word[1]) & t.Mask[1]) |
                  ((AcctLoad64(s + 16) ^ t.Word[2]) & t.Mask[2]) |
                  ((AcctLoad64(s + 24) ^ t.Word[3]) & t.Mask[3]);
  return diff == 0;
}

// A slot: the folded start of one or two names, and how their lines start.
struct NameSlot {
  uint64_t Folded;      // 0 for an empty slot (no folded text is 0)
  UsualStart Usual[2];  // the attribute of the start, and the other one of the same start
};

struct NameSlots {
  NameSlot Slot[kSlotCount];  // by SlotOf
  bool Apart;                 // no two starts met in one slot, no third name in one
};

constexpr NameSlots MakeSlots() {
  NameSlots t{};
  t.Apart = true;
  for (NameSlot& slot : t.Slot) slot = {0, {MakeUsualStart(-1), MakeUsualStart(-1)}};
  for (int a = 0; a < kDetailAttributeCount; ++a) {
    uint64_t folded = Folded8(kDetailNames[a]);
    NameSlot& slot = t.Slot[SlotOf(folded)];
    if (slot.Usual[0].Attribute < 0)
      slot = {folded, {MakeUsualStart(a), MakeUsualStart(-1)}};
    else if (slot.Folded == folded && slot.Usual[1].Attribute < 0)
      slot.Usual[1] = MakeUsualStart(a);
    else
      t.Apart = false;
  }
  return t;
}

constexpr NameSlots kSlots = MakeSlots();
static_assert(kSlots.Apart, "every start of a name has a slot of its own");
static_assert(kLength[kDetailAcctUniqueSessionId] + 3 <= 32, "\"Name = \" fits four words");

// Whether the name at s may be one of slot's, by the byte after each of
// them, which must be a blank or "=": most lines of an attribute the
// reader passes over whose name starts as one it uses (NAS-Port-Type as
// NAS-Port) fail here.
bool MayBeNamed(const NameSlot& slot, const char* s) {
  for (const UsualStart& t : slot.Usual) {
    if (t.Attribute < 0) continue;
    char c = s[kLength[t.Attribute]];
    if (c == ' ' || c == '\t' || c == '=') return true;
  }
  return false;
}

// How the line of n bytes after its tab at s (in the block, so that 32
// bytes can be read), whose name starts as slot's, is written: as writers
// write it, "Name = " and a byte more, or not (null).
const UsualStart* WrittenAsUsual(const NameSlot& slot, const char* s, size_t n) {
  const UsualStart* t = &slot.Usual[0];
  if (!StartsAs(*t, s)) {
    t = &slot.Usual[1];
    if (!StartsAs(*t, s)) return nullptr;
  }
  return t->Length < n ? t : nullptr;
}

// Whether the n bytes at s start with the name of attribute a and a blank
// or "=" after it.
bool Named(int a, const char* s, size_t n) {
  size_t len = kLength[a];
  return len < n && (s[len] == ' ' || s[len] == '\t' || s[len] == '=') &&
         (SameBytes(kDetailNames[a], s, len) || Spells(kDetailNames[a], s, len));
}

// The attribute whose name starts the n bytes at s, or -1.
int Attribute(const char* s, size_t n) {
  if (n < 9) return -1;  // shorter than the shortest name and its " ="
  uint64_t folded = AcctLoad64(s) | kFold;
  const NameSlot& slot = kSlots.Slot[SlotOf(folded)];
  if (slot.Folded != folded) return -1;
  for (const UsualStart& t : slot.Usual)
    if (t.Attribute >= 0 && Named(t.Attribute, s, n)) return t.Attribute;
  return -1;
}

// The status names as FreeRADIUS writes them, told by their length and
// bytes as they stand; any other spelling is looked up in the table.
int CommonStatus(const char* v, size_t n) {
  switch (n) {
    case 4:
      return memcmp(v, "Stop", 4) == 0 ? kAcctStop : -1;
    case 5:
      return memcmp(v, "Start", 5) == 0 ? kAcctStart : -1;
    case 13:
      return memcmp(v, "Accounting-On", 13) == 0 ? kAcctOn : -1;
    case 14:
      return memcmp(v, "Interim-Update", 14) == 0   ? kAcctInterim
             : memcmp(v, "Accounting-Off", 14) == 0 ? kAcctOff
                                                    : -1;
    default:
      return -1;
  }
}

void Status(AcctReader* r, const char* v, size_t n) {
  if (n >= 2 && v[0] == ':' && v[1] == ':') v += 2, n -= 2;
  if (n > 0 && v[0] >= '0' && v[0] <= '9') return AcctKeepStatus(r, v, n);
  int status = CommonStatus(v, n);
  if (status < 0) status = Lookup(kDetailStatusNames, v, n);
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

// Whether the n bytes at s (in the block, so that 16 can be read) hold
// no backslash.
bool NoEscape(const char* s, size_t n) {
  if (n > 16) return memchr(s, '\\', n) == nullptr;
  return (AcctMatch16(s, '\\') & ((uint32_t{1} << n) - 1)) == 0;
}

// A number of n digits (1 to 10) at s, in the block so that 8 bytes can
// be read, as AcctNumber reads it: the digits are moved to the top of a
// word below '0's and read at once.
bool BlockNumber(const char* s, size_t n, uint32_t* v) {
  const uint64_t kZeros = 0x3030303030303030ull;
  if (n == 0 || n > 10) return false;
  if (n > 8) {  // a time in seconds: its first digit or two, then eight
    uint32_t head, tail;
    if (!AcctNumber(s, n - 8, &head) || !AcctEightDigits(AcctLoad64(s + n - 8), &tail))
      return false;
    uint64_t value = uint64_t{head} * 100000000 + tail;
    if (value > 0xFFFFFFFFull) return false;
    *v = static_cast<uint32_t>(value);
    return true;
  }
  size_t pad = 8 * (8 - n);  // bits of the word the digits do not fill
  uint64_t w = AcctLoad64(s);
  w = pad == 0 ? w : (w << pad) | (kZeros & ((uint64_t{1} << pad) - 1));
  return AcctEightDigits(w, v);
}

// The text of a value as it stands, or unquoted into place when it holds
// an escape. Returns false for a quote not closed at the end.
bool Text(char* s, size_t n, const char** v, size_t* len) {
  if (n >= 2 && s[0] == '"' && s[n - 1] == '"' && NoEscape(s + 1, n - 2)) {
    *v = s + 1, *len = n - 2;
    return true;
  }
  long got = Unquote(s, n);
  *v = s, *len = static_cast<size_t>(got);
  return got >= 0;
}

// The value of attribute a, the n bytes at s (blanks trimmed): unquoted,
// then read by its attribute's rule.
void AnyValue(AcctReader* r, int a, char* s, size_t n) {
  bool quoted = n > 0 && s[0] == '"';
  const char* v;
  size_t len;
  if (!Text(s, n, &v, &len)) return AcctDamage(r, kSkipBadValue);
  Value(r, a, v, len, quoted);
}

// The value of attribute a in the line of n bytes at s, from s[i] on
// (blanks trimmed).
void AttributeValue(AcctReader* r, int a, char* s, size_t i, size_t n) {
  if (AcctFirstMeeting(r, a)) AnyValue(r, a, s + i, n - i);
}

// Whether a value of n bytes at s (in the block) is a quoted text short
// enough for one 16-byte copy and without an escape: its text is then the
// bytes between the quotes as they stand.
bool ShortText(const char* s, size_t n) {
  return n >= 2 && n <= 18 && s[0] == '"' && s[n - 1] == '"' && NoEscape(s + 1, n - 2);
}

// Keeps the text of a ShortText value into out.
void KeepShortText(const char* s, size_t n, char* out, size_t* length) {
  memcpy(out, s + 1, 16);  // the field has room, the block's pad the bytes
  out[n - 2] = '\0';
  *length = n - 2;
}

// One "Name = value" line of the record being read, its name at s[i] (in
// the block), blanks around "=" and the name's letters in any case. Lines
// of attributes the reader passes over are not looked at further.
void AttributeLine(AcctReader* r, char* s, size_t n, size_t i) {
  int a = Attribute(s + i, n - i);
  if (a < 0) return;
  i += kLength[a];
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  if (i == n || s[i] != '=') return AcctDamage(r, kSkipBadLine);
  ++i;
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  while (n > i && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  AttributeValue(r, a, s, i, n);
}

// The line of n bytes at s (in the block) of attribute a, written "Name
// = " as usual (WrittenAsUsual). The values writers write, a short quoted
// text, bare digits, a dotted address or a status by its name, are read
// here at once, with no blank around them; any other line as AttributeLine
// reads it. Nothing is kept before the value's form is known.
void UsualLine(AcctReader* r, int a, char* line, size_t n) {
  size_t at = 1 + kLength[a] + 3;
  const char* s = line + at;
  size_t len = n - at;
  AcctFields& f = r->Fields;
  uint32_t v;
  int status;
  switch (a) {
    case kDetailUserName:
      if (!ShortText(s, len)) break;
      if (AcctFirstMeeting(r, a)) KeepShortText(s, len, f.User, &f.UserLength);
      return;
    case kDetailNasIdentifier:
      if (!ShortText(s, len)) break;
      if (AcctFirstMeeting(r, a)) KeepShortText(s, len, f.Ident, &f.IdentLength);
      return;
    case kDetailNasPortId:
      if (!ShortText(s, len)) break;
      if (AcctFirstMeeting(r, a)) KeepShortText(s, len, f.PortId, &f.PortIdLength);
      return;
    case kDetailAcctSessionId:
      if (!ShortText(s, len)) break;
      if (AcctFirstMeeting(r, a)) KeepShortText(s, len, f.SessionId, &f.SessionIdLength);
      return;
    case kDetailAcctUniqueSessionId:
      if (!ShortText(s, len)) break;
      if (AcctFirstMeeting(r, a)) KeepShortText(s, len, f.UniqueId, &f.UniqueIdLength);
      return;
    case kDetailNasIpAddress:
      if (!AcctIpv4(s, len)) break;
      if (AcctFirstMeeting(r, a)) AcctKeepText(r, s, len, f.Ip, &f.IpLength);
      return;
    case kDetailNasPort:
      // the decimal text of the number is the value itself
      if ((len > 1 && s[0] == '0') || !BlockNumber(s, len, &v)) break;
      if (!AcctFirstMeeting(r, a)) return;
      AcctCopyShort(f.PortNumber, s, len);
      f.PortNumber[len] = '\0';
      return;
    case kDetailAcctStatusType:
      status = CommonStatus(s, len);
      if (status < 0) break;
      if (AcctFirstMeeting(r, a)) f.Status = status;
      return;
    case kDetailAcctSessionTime:
    case kDetailAcctDelayTime:
    case kDetailEventTimestamp:
    case kDetailTimestamp:
      if (!BlockNumber(s, len, &v)) break;
      if (!AcctFirstMeeting(r, a)) return;
      if (a == kDetailAcctSessionTime)
        f.HasSessionTime = true, f.SessionTime = v;
      else if (a == kDetailAcctDelayTime)
        f.HasDelay = true, f.Delay = v;
      else if (a == kDetailEventTimestamp)
        f.HasEvent = true, f.Event = v;
      else
        f.HasReceived = true, f.Received = v;
      return;
    default:
      break;
  }
  AttributeLine(r, line, n, 1);
}

// A line with its name after blanks.
void IndentedLine(AcctReader* r, char* s, size_t n) {
  size_t i = 0;
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  AttributeLine(r, s, n, i);
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

// Reads the lines whole in the block that start with a tab and a name, as
// most do, up to the first that does not: the reader's line fields are
// left alone and the line ends are taken here, which is most of the work
// of a record. An empty line, the usual end of a record, is taken too and
// ends it: returns true. Stops before any other line (header, blanks,
// long, cut off or not whole in the block) for the general line reader.
bool AttributeLines(AcctReader* r) {
  char* block = r->Block;
  size_t pos = r->Pos, base = r->ScanAt - 64;  // the line ends of block[base..] are in ends
  uint64_t ends = r->Ends, lines = r->LineNumber;
  bool ended = false;
  for (;;) {
    if (ends == 0) {  // the next 64 bytes; none past a line that would be too long
      size_t scan = base + 64, end = r->End;
      while (ends == 0 && scan < end && scan + 64 - pos <= kAcctLineLimit) {
        ends = AcctMatch64(block + scan, '\n');
        if (end - scan < 64) ends &= (uint64_t{1} << (end - scan)) - 1;
        base = scan, scan += 64;
      }
      if (ends == 0) {
        base = scan - 64;
        break;
      }
    }
    size_t nl = base + static_cast<unsigned>(AcctLowestBit(ends));
    char* s = block + pos;
    if (s[0] != '\t') {
      size_t n = nl - pos;
      if (n > 1 || (n == 1 && s[0] != '\r')) break;
      ends &= ends - 1, pos = nl + 1, ++lines;  // the empty line after a record
      r->Line = s, r->LineLength = 0, r->LineEnded = true, r->LineLong = false;
      ended = true;
      break;
    }
    // A name the reader uses has eight bytes or more: the eight after the
    // tab tell them, even of a line too short to hold one (it fails below).
    uint64_t folded = AcctLoad64(s + 1) | kFold;
    const NameSlot& slot = kSlots.Slot[SlotOf(folded)];
    if (slot.Folded != folded) {
      // Blanks or a line end after the tab, or a byte below them: the
      // general reader's.
      if (static_cast<unsigned char>(s[1]) <= ' ') break;
      ends &= ends - 1, pos = nl + 1, ++lines;  // an attribute passed over
      continue;
    }
    size_t n = nl - pos;
    ends &= ends - 1, pos = nl + 1, ++lines;
    if (s[n - 1] == '\r') --n;
    const UsualStart* usual = WrittenAsUsual(slot, s + 1, n - 1);
    if (usual != nullptr)
      UsualLine(r, usual->Attribute, s, n);
    else if (MayBeNamed(slot, s + 1))
      AttributeLine(r, s, n, 1);
  }
  r->Pos = pos, r->ScanAt = base + 64, r->Ends = ends, r->LineNumber = lines;
  return ended;
}

// Reads the lines after a record's header up to its end: a blank line,
// the end of the input, or the next header (kept as the current line).
// Returns 1, or -1 when a read failed.
int Body(AcctReader* r) {
  for (;;) {
    if (AttributeLines(r)) return 1;
    int got = AcctNextLine(r);
    if (got <= 0) return got < 0 ? -1 : 1;
    if (r->LineLength > 1 && r->Line[0] == '\t' && r->Line[1] != ' ' && r->Line[1] != '\t' &&
        r->LineEnded) {  // most lines: a tab, then a name
      AttributeLine(r, r->Line, r->LineLength, 1);
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
    IndentedLine(r, r->Line, r->LineLength);
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
    char header[32];
    size_t headerLength = 0;
    if (r->LineLong) {
      AcctDamage(r, kSkipLongLine);
    } else if (!r->LineEnded) {
      AcctDamage(r, kSkipTruncated);
    } else if (Indented(r->Line, r->LineLength) || !HeaderShape(r->Line, r->LineLength)) {
      AcctDamage(r, kSkipBadLine);  // attribute lines with no header, or a header of no time
    } else {
      headerLength = r->LineLength;
      memcpy(header, r->Line, sizeof header);  // of it, and of what the block holds after it
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
