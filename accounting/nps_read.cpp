// Reads the NPS/IAS database-compatible lines: exactly 66 comma-separated
// fields each. A line of another count, or whose quotes do not close, is
// skipped; authentication lines are counted before anything else of them
// is read.
#include <cstring>

#include "accounting/acct_internal.h"
#include "accounting/nps_format.h"

namespace {

using Field = CsvField;

// Splits the line into the 66 fields (padded: a line of the reader's
// block). Returns 1, or 0 for a line of another count or bad quoting.
int Split(const char* s, size_t n, Field* fields, bool padded) {
  CsvCursor c;
  CsvStart(&c, s, n, padded);
  int count = CsvFields(&c, fields, kNpsColumnCount);
  return count == kNpsColumnCount && c.Done;
}

// Whether the raw field is the text t, quoted or not.
bool FieldIs(const Field& f, const char* t) {
  size_t n = strlen(t);
  const char* s = f.Raw;
  size_t len = f.Length;
  if (len >= 2 && s[0] == '"' && s[len - 1] == '"') ++s, len -= 2;
  return len == n && memcmp(s, t, n) == 0;
}

// The local receive time from Record-Date and Record-Time.
void RecordTime(AcctReader* r, const Field* col) {
  char date[32], clock[32];
  const char* d;
  const char* c;
  size_t dn, cn;
  int64_t day, seconds;
  if (!CsvValue(col[kNpsRecordDate].Raw, col[kNpsRecordDate].Length, date, 31, &d, &dn) ||
      !CsvValue(col[kNpsRecordTime].Raw, col[kNpsRecordTime].Length, clock, 31, &c, &cn) ||
      !AcctSlashDate(d, dn, &day) || !AcctClock(c, cn, &seconds))
    return AcctDamage(r, kSkipBadValue);
  r->Fields.HasReceivedLocal = true;
  r->Fields.ReceivedLocal = day + seconds;
}

void Columns(AcctReader* r, const Field* col) {
  AcctFields& f = r->Fields;
  uint32_t v = 0;
  bool has;
  CsvKeepNumber(r, col[kNpsPacketType].Raw, col[kNpsPacketType].Length, &has, &v);
  if (has) f.PacketType = v > 1000 ? 1000 : static_cast<int>(v);
  if (f.PacketType >= 1 && f.PacketType <= 3) return;  // counted as it is
  CsvKeepText(r, col[kNpsUserName].Raw, col[kNpsUserName].Length, f.User, &f.UserLength);
  CsvKeepText(r, col[kNpsNasIdentifier].Raw, col[kNpsNasIdentifier].Length, f.Ident,
              &f.IdentLength);
  CsvKeepText(r, col[kNpsNasIpAddress].Raw, col[kNpsNasIpAddress].Length, f.Ip, &f.IpLength);
  if (f.IpLength > 0 && !AcctIpv4(f.Ip, f.IpLength)) AcctDamage(r, kSkipBadValue);
  CsvKeepNumber(r, col[kNpsNasPort].Raw, col[kNpsNasPort].Length, &has, &v);
  if (has) AcctPortText(v, f.PortNumber);
  CsvKeepNumber(r, col[kNpsEventTimestamp].Raw, col[kNpsEventTimestamp].Length, &f.HasEvent, &v);
  f.Event = v;
  CsvKeepNumber(r, col[kNpsAcctStatusType].Raw, col[kNpsAcctStatusType].Length, &has, &v);
  if (has) f.Status = v > 1000 ? 1000 : static_cast<int>(v);
  CsvKeepNumber(r, col[kNpsAcctDelayTime].Raw, col[kNpsAcctDelayTime].Length, &f.HasDelay,
                &f.Delay);
  CsvKeepText(r, col[kNpsAcctSessionId].Raw, col[kNpsAcctSessionId].Length, f.SessionId,
              &f.SessionIdLength);
  CsvKeepNumber(r, col[kNpsAcctSessionTime].Raw, col[kNpsAcctSessionTime].Length, &f.HasSessionTime,
                &f.SessionTime);
  if (!f.HasEvent) RecordTime(r, col);
}

}  // namespace

bool NpsLooksLike(const char* s, size_t n) {
  Field fields[kNpsColumnCount];
  return Split(s, n, fields, false) && (FieldIs(fields[kNpsServiceName], kNpsServiceRas) ||
                                        FieldIs(fields[kNpsServiceName], kNpsServiceIas));
}

int NpsNext(AcctReader* r, AcctRecord* rec) {
  Field fields[kNpsColumnCount];
  for (;;) {
    int got = AcctNextLine(r);
    if (got <= 0) return got;
    if (!r->LineLong && AcctBlank(r->Line, r->LineLength)) continue;
    AcctBeginFields(r, r->LineNumber);
    if (r->LineLong)
      AcctDamage(r, kSkipLongLine);
    else if (!Split(r->Line, r->LineLength, fields, true))
      AcctDamage(r, r->LineEnded ? kSkipBadLine : kSkipTruncated);
    else
      Columns(r, fields);
    if (AcctFinish(r, rec)) return 1;
  }
}
