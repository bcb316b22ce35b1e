// The end of every record, whatever its format: damage and the missing
// pieces counted, the NAS key and the port chosen, and the event time found
// by the one ranking of time sources all formats share.
#include <cstring>

#include "accounting/acct_internal.h"

namespace {

const char* const kSkipTexts[kSkipReasonCount] = {
    "a line longer than 65536 bytes",
    "a record cut short by the end of the input",
    "a record with no blank line before the next one",
    "a line that is not of the format",
    "a value of the wrong type",
    "an attribute given twice",
    "a status type other than Start, Stop, Interim-Update, Accounting-On and Accounting-Off",
    "a record without its NAS, its time or its session id",
};

static_assert(kAcctLineLimit == 65536, "the skip text names the line limit");

const int64_t kLatest = 0xFFFFFFFFll;  // the last second a RADIUS time can hold

bool KnownStatus(int status) {
  return status == kAcctStart || status == kAcctStop || status == kAcctInterim ||
         status == kAcctOn || status == kAcctOff;
}

// The event time under the ranking in acct.h into *t (-1 for a local time
// the clock never shows). Returns false when the record has no time at all.
bool EventTime(AcctReader* r, AcctTimeFrom* from, int64_t* t) {
  const AcctFields& f = r->Fields;
  int64_t delay = f.HasDelay ? f.Delay : 0;
  if (f.HasEvent) {
    *from = kTimeEventTimestamp;
    *t = f.Event;
  } else if (f.HasReceived) {
    *from = kTimeReceived;
    *t = f.Received - delay;
  } else if (f.HasEventLocal) {
    *from = kTimeEventLocal;
    *t = AcctLocalToUtc(&r->Zone, f.EventLocal);
  } else if (f.HasReceivedLocal) {
    *from = kTimeReceivedLocal;
    int64_t utc = AcctLocalToUtc(&r->Zone, f.ReceivedLocal);
    *t = utc < 0 ? -1 : utc - delay;
  } else {
    return false;
  }
  return true;
}

// The NAS key, best first; false when the record names none.
bool ChooseNas(AcctFields* f, AcctRecord* rec) {
  if (f->IpLength > 0) {
    rec->Nas = f->Ip, rec->NasLength = f->IpLength, rec->NasFrom = kNasIpAddress;
  } else if (f->Ipv6Length > 0) {
    rec->Nas = f->Ipv6, rec->NasLength = f->Ipv6Length, rec->NasFrom = kNasIpv6Address;
  } else if (f->IdentLength > 0) {
    rec->Nas = f->Ident, rec->NasLength = f->IdentLength, rec->NasFrom = kNasIdentifier;
  } else {
    return false;
  }
  return true;
}

}  // namespace

const char* AcctSkipText(AcctSkip reason) {
  return reason >= 0 && reason < kSkipReasonCount ? kSkipTexts[reason] : "";
}

void AcctBeginFields(AcctReader* r, uint64_t line) {
  AcctFields& f = r->Fields;
  f.IpLength = f.Ipv6Length = f.IdentLength = f.PortIdLength = 0;
  f.UserLength = f.SessionIdLength = f.UniqueIdLength = 0;
  f.Ip[0] = f.Ipv6[0] = f.Ident[0] = f.PortId[0] = f.PortNumber[0] = '\0';
  f.User[0] = f.SessionId[0] = f.UniqueId[0] = '\0';
  f.Status = f.PacketType = -1;
  f.HasSessionTime = f.HasDelay = f.HasEvent = f.HasEventLocal = false;
  f.HasReceived = f.HasReceivedLocal = false;
  f.SessionTime = f.Delay = 0;
  f.Seen = 0;
  f.Damage = -1;
  r->RecordLine = line;
}

void AcctCountSkip(AcctReader* r, AcctSkip reason, uint64_t line) {
  if (r->Counts.Skipped[reason]++ == 0) r->Counts.FirstSkip[reason] = line;
}

int AcctFinish(AcctReader* r, AcctRecord* rec) {
  AcctFields* f = &r->Fields;
  uint64_t line = r->RecordLine;
  if (f->SessionIdLength == 0 && f->UniqueIdLength > 0) {
    memcpy(f->SessionId, f->UniqueId, f->UniqueIdLength + 1);
    f->SessionIdLength = f->UniqueIdLength;
  }
  if (f->Damage >= 0) {
    AcctCountSkip(r, static_cast<AcctSkip>(f->Damage), line);
    return 0;
  }
  if (f->PacketType >= 1 && f->PacketType <= 3) {
    ++r->Counts.Authentication;
    return 0;
  }
  if ((f->PacketType >= 0 && f->PacketType != 4) || f->Status < 0) {
    ++r->Counts.NotAccounting;
    return 0;
  }
  if (!KnownStatus(f->Status)) {
    AcctCountSkip(r, kSkipBadStatus, line);
    return 0;
  }
  AcctTimeFrom from = kTimeEventTimestamp;
  int64_t t = 0;
  bool session = f->Status == kAcctStart || f->Status == kAcctStop || f->Status == kAcctInterim;
  if (!ChooseNas(f, rec) || !EventTime(r, &from, &t) || (session && f->SessionIdLength == 0)) {
    AcctCountSkip(r, kSkipMissing, line);
    return 0;
  }
  if (t < 0 || t > kLatest) {
    AcctCountSkip(r, kSkipBadValue, line);
    return 0;
  }
  rec->Status = static_cast<AcctStatus>(f->Status);
  rec->Port = f->PortIdLength > 0 ? f->PortId : f->PortNumber;
  rec->PortLength = f->PortIdLength > 0 ? f->PortIdLength : strlen(f->PortNumber);
  rec->User = f->User, rec->UserLength = f->UserLength;
  rec->SessionId = f->SessionId, rec->SessionIdLength = f->SessionIdLength;
  rec->Time = t;
  rec->TimeFrom = from;
  rec->HasSessionTime = f->HasSessionTime;
  rec->SessionTime = f->SessionTime;
  rec->Delay = f->HasDelay ? f->Delay : 0;
  rec->Line = line;
  ++r->Counts.Records;
  return 1;
}
