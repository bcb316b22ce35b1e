// Writes detail records as FreeRADIUS writes them: the `ctime` header of
// the receive time, one tab-indented "Name = value" line per attribute,
// Timestamp last, then a blank line.
#include "accounting/acct_write.h"
#include "accounting/detail_format.h"

namespace {

const char* NameOf(const DetailName* names, int value) {
  for (const DetailName* d = names; d->Name != nullptr; ++d)
    if (d->Value == value) return d->Name;
  return nullptr;
}

void Begin(TextOut* t, const char* name) {
  TextChar(t, '\t');
  TextAdd(t, name);
  TextAdd(t, " = ");
}

// A text in double quotes: a quote or backslash escaped with a backslash,
// a control byte as \ooo.
void Quoted(TextOut* t, const char* name, const char* s) {
  Begin(t, name);
  TextChar(t, '"');
  for (; *s != '\0'; ++s) {
    unsigned char c = static_cast<unsigned char>(*s);
    if (c == '"' || c == '\\') {
      TextChar(t, '\\');
      TextChar(t, *s);
    } else if (c < 0x20 || c == 0x7F) {
      char esc[4] = {'\\', static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + (c >> 3 & 7)),
                     static_cast<char>('0' + (c & 7))};
      TextBytes(t, esc, 4);
    } else {
      TextChar(t, *s);
    }
  }
  TextAdd(t, "\"\n");
}

void Bare(TextOut* t, const char* name, const char* value) {
  Begin(t, name);
  TextAdd(t, value);
  TextChar(t, '\n');
}

void Number(TextOut* t, const char* name, uint64_t v) {
  Begin(t, name);
  TextNumber(t, v);
  TextChar(t, '\n');
}

void Header(TextOut* t, int64_t received) {
  LocalParts p;
  if (!LocalPartsOf(received, &p)) {
    t->Over = true;
    return;
  }
  TextAdd(t, kDetailWeekdays[p.Weekday]);
  TextChar(t, ' ');
  TextAdd(t, kDetailMonths[p.Month - 1]);
  TextChar(t, ' ');
  if (p.Day < 10) TextChar(t, ' ');  // ctime pads the day with a blank
  TextNumber(t, static_cast<uint64_t>(p.Day));
  TextChar(t, ' ');
  TextDigits(t, static_cast<uint64_t>(p.Hour), 2);
  TextChar(t, ':');
  TextDigits(t, static_cast<uint64_t>(p.Minute), 2);
  TextChar(t, ':');
  TextDigits(t, static_cast<uint64_t>(p.Second), 2);
  TextChar(t, ' ');
  TextNumber(t, static_cast<uint64_t>(p.Year));
  TextChar(t, '\n');
}

// The attributes of a session's request (not Accounting-On and -Off).
void Session(TextOut* t, const AcctRequest* q) {
  Bare(t, kDetailAcctAuthentic, "RADIUS");
  if (q->User != nullptr) Quoted(t, kDetailNames[kDetailUserName], q->User);
  Number(t, kDetailNames[kDetailNasPort], q->Port);
  if (q->PortId != nullptr) Quoted(t, kDetailNames[kDetailNasPortId], q->PortId);
  const char* type = NameOf(kDetailPortTypeNames, q->PortType);
  if (type != nullptr) Bare(t, kDetailNasPortType, type);
  Bare(t, kDetailServiceType, "Framed-User");
  Bare(t, kDetailFramedProtocol, "PPP");
  if (q->Calling != nullptr) Quoted(t, kDetailCallingStationId, q->Calling);
  if (q->HasSessionTime) {
    Number(t, kDetailNames[kDetailAcctSessionTime], q->SessionTime);
    Number(t, kDetailAcctInputOctets, q->InputOctets);
    Number(t, kDetailAcctOutputOctets, q->OutputOctets);
  }
  const char* cause = NameOf(kDetailCauseNames, q->Cause);
  if (q->Status == kAcctStop && cause != nullptr) Bare(t, kDetailAcctTerminateCause, cause);
}

}  // namespace

size_t DetailWrite(const AcctRequest* q, char* out, size_t cap) {
  if (q->Packet != kPacketAccountingRequest) return 0;
  const char* status = NameOf(kDetailStatusNames, q->Status);
  if (status == nullptr) return 0;
  TextOut t;
  TextStart(&t, out, cap);
  Header(&t, q->Received);
  Quoted(&t, kDetailNames[kDetailAcctSessionId], q->SessionId);
  Bare(&t, kDetailNames[kDetailAcctStatusType], status);
  Bare(&t, kDetailNames[kDetailNasIpAddress], q->NasIp);
  if (q->NasIdentifier != nullptr) Quoted(&t, kDetailNames[kDetailNasIdentifier], q->NasIdentifier);
  if (q->Status != kAcctOn && q->Status != kAcctOff) Session(&t, q);
  Number(&t, kDetailNames[kDetailAcctDelayTime], q->Delay);
  if (q->SendEventTimestamp)
    Number(&t, kDetailNames[kDetailEventTimestamp], static_cast<uint64_t>(q->Event));
  Number(&t, kDetailNames[kDetailTimestamp], static_cast<uint64_t>(q->Received));
  TextChar(&t, '\n');
  return TextEnd(&t);
}
