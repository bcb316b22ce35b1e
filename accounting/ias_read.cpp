// Reads IAS (legacy) lines: six fixed fields, then attribute numbers and
// values in pairs. The pairs can be cut anywhere without the line looking
// wrong, so a last line that the input cuts off is never read.
#include <cstring>

#include "accounting/acct_internal.h"
#include "accounting/ias_format.h"

namespace {

// The fixed fields of a line as they stand.
struct Fixed {
  const char* Raw[kIasFixedCount];  // quotes included
  size_t Length[kIasFixedCount];    // bytes of each
};

// Bit of an attribute the reader uses in AcctFields::Seen, or -1.
int Bit(uint32_t number) {
  switch (number) {
    case kIasAttrUserName:
      return 0;
    case kIasAttrNasIpAddress:
      return 1;
    case kIasAttrNasPort:
      return 2;
    case kIasAttrNasIdentifier:
      return 3;
    case kIasAttrAcctStatusType:
      return 4;
    case kIasAttrAcctDelayTime:
      return 5;
    case kIasAttrAcctSessionId:
      return 6;
    case kIasAttrAcctSessionTime:
      return 7;
    case kIasAttrEventTimestamp:
      return 8;
    case kIasAttrNasPortId:
      return 9;
    case kIasAttrNasIpv6Address:
      return 10;
    case kIasAttrPacketType:
      return 11;
    default:
      return -1;
  }
}

// Whether the raw field is the text t, quoted or not.
bool FieldIs(const char* s, size_t len, const char* t) {
  size_t n = strlen(t);
  if (len >= 2 && s[0] == '"' && s[len - 1] == '"') ++s, len -= 2;
  return len == n && memcmp(s, t, n) == 0;
}

// Event-Timestamp: seconds, or a date text in UTC.
void EventTimestamp(AcctReader* r, const char* raw, size_t n) {
  char text[32];
  const char* v;
  size_t len;
  uint32_t t;
  int64_t seconds;
  if (!CsvValue(raw, n, text, 31, &v, &len)) return AcctDamage(r, kSkipBadValue);
  if (AcctNumber(v, len, &t)) {
    r->Fields.Event = t;
  } else if (AcctSlashDateTime(v, len, &seconds)) {
    r->Fields.Event = seconds;
  } else {
    return AcctDamage(r, kSkipBadValue);
  }
  r->Fields.HasEvent = true;
}

void Pair(AcctReader* r, uint32_t number, const char* raw, size_t n) {
  AcctFields& f = r->Fields;
  int bit = Bit(number);
  if (bit < 0 || !AcctFirstMeeting(r, bit)) return;
  uint32_t v = 0;
  bool has = false;
  switch (number) {
    case kIasAttrUserName:
      return CsvKeepText(r, raw, n, f.User, &f.UserLength);
    case kIasAttrNasIdentifier:
      return CsvKeepText(r, raw, n, f.Ident, &f.IdentLength);
    case kIasAttrNasPortId:
      return CsvKeepText(r, raw, n, f.PortId, &f.PortIdLength);
    case kIasAttrAcctSessionId:
      return CsvKeepText(r, raw, n, f.SessionId, &f.SessionIdLength);
    case kIasAttrNasIpAddress:
      CsvKeepText(r, raw, n, f.Ip, &f.IpLength);
      if (!AcctIpv4(f.Ip, f.IpLength)) AcctDamage(r, kSkipBadValue);
      return;
    case kIasAttrNasIpv6Address:
      CsvKeepText(r, raw, n, f.Ipv6, &f.Ipv6Length);
      if (!AcctIpv6(f.Ipv6, f.Ipv6Length)) AcctDamage(r, kSkipBadValue);
      return;
    case kIasAttrNasPort:
      CsvKeepNumber(r, raw, n, &has, &v);
      if (has) AcctPortText(v, f.PortNumber);
      return;
    case kIasAttrAcctStatusType:
      CsvKeepNumber(r, raw, n, &has, &v);
      if (has) f.Status = v > 1000 ? 1000 : static_cast<int>(v);
      return;
    case kIasAttrPacketType:
      CsvKeepNumber(r, raw, n, &has, &v);
      if (has) f.PacketType = v > 1000 ? 1000 : static_cast<int>(v);
      return;
    case kIasAttrAcctDelayTime:
      return CsvKeepNumber(r, raw, n, &f.HasDelay, &f.Delay);
    case kIasAttrAcctSessionTime:
      return CsvKeepNumber(r, raw, n, &f.HasSessionTime, &f.SessionTime);
    case kIasAttrEventTimestamp:
      return EventTimestamp(r, raw, n);
    default:
      return;
  }
}

// The fixed fields' part: the NAS and user when no attribute gave them,
// and the local receive time.
void FixedFields(AcctReader* r, const Fixed& x) {
  AcctFields& f = r->Fields;
  if (f.IpLength == 0) {
    CsvKeepText(r, x.Raw[kIasNasIpAddress], x.Length[kIasNasIpAddress], f.Ip, &f.IpLength);
    if (f.IpLength > 0 && !AcctIpv4(f.Ip, f.IpLength)) AcctDamage(r, kSkipBadValue);
  }
  if (f.UserLength == 0)
    CsvKeepText(r, x.Raw[kIasUserName], x.Length[kIasUserName], f.User, &f.UserLength);
  if (f.HasEvent) return;
  char date[32], clock[32];
  const char* d;
  const char* c;
  size_t dn, cn;
  int64_t day, seconds;
  if (!CsvValue(x.Raw[kIasRecordDate], x.Length[kIasRecordDate], date, 31, &d, &dn) ||
      !CsvValue(x.Raw[kIasRecordTime], x.Length[kIasRecordTime], clock, 31, &c, &cn) ||
      !AcctSlashDate(d, dn, &day) || !AcctClock(c, cn, &seconds))
    return AcctDamage(r, kSkipBadValue);
  f.HasReceivedLocal = true;
  f.ReceivedLocal = day + seconds;
}

// Walks a line: the fixed fields into *x, then each pair into the record
// of r (null to only check the shape; padded: a line of the reader's
// block). Returns 1, or 0 for a line not of the format.
int Walk(AcctReader* r, const char* s, size_t n, Fixed* x, bool padded) {
  const int kBatch = 64;  // fields split at a time: even, so that a pair is never parted
  CsvCursor c;
  CsvStart(&c, s, n, padded);
  CsvField f[kBatch];
  if (CsvFields(&c, f, kIasFixedCount) != kIasFixedCount) return 0;
  for (int i = 0; i < kIasFixedCount; ++i) x->Raw[i] = f[i].Raw, x->Length[i] = f[i].Length;
  for (;;) {
    int got = CsvFields(&c, f, kBatch);
    for (int i = 0; i < got; i += 2) {
      uint32_t number;
      if (!AcctNumber(f[i].Raw, f[i].Length, &number)) return 0;
      if (i + 1 == got) return 0;  // a number without its value, or with one badly quoted
      if (r != nullptr) Pair(r, number, f[i + 1].Raw, f[i + 1].Length);
    }
    if (got < kBatch) break;
  }
  return !c.Bad;
}

}  // namespace

bool IasLooksLike(const char* s, size_t n) {
  Fixed x;
  const char* d;
  const char* t;
  size_t dn, tn;
  char date[32], clock[32];
  int64_t day, seconds;
  if (!Walk(nullptr, s, n, &x, false)) return false;
  bool service = FieldIs(x.Raw[kIasServiceName], x.Length[kIasServiceName], kIasServiceIas) ||
                 FieldIs(x.Raw[kIasServiceName], x.Length[kIasServiceName], kIasServiceRas);
  return service && CsvValue(x.Raw[kIasRecordDate], x.Length[kIasRecordDate], date, 31, &d, &dn) &&
         CsvValue(x.Raw[kIasRecordTime], x.Length[kIasRecordTime], clock, 31, &t, &tn) &&
         AcctSlashDate(d, dn, &day) && AcctClock(t, tn, &seconds);
}

int IasNext(AcctReader* r, AcctRecord* rec) {
  Fixed x;
  for (;;) {
    int got = AcctNextLine(r);
    if (got <= 0) return got;
    if (!r->LineLong && AcctBlank(r->Line, r->LineLength)) continue;
    AcctBeginFields(r, r->LineNumber);
    if (r->LineLong) {
      AcctDamage(r, kSkipLongLine);
    } else if (!r->LineEnded) {
      AcctDamage(r, kSkipTruncated);
    } else if (!Walk(r, r->Line, r->LineLength, &x, true)) {
      AcctDamage(r, kSkipBadLine);
    } else if (r->Fields.PacketType < 1 || r->Fields.PacketType > 3) {
      FixedFields(r, x);
    }
    if (AcctFinish(r, rec)) return 1;
  }
}
