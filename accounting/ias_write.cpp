// Writes IAS (legacy) lines: the six fixed fields, then the request's
// attributes as number and value pairs, texts in double quotes, CR LF at
// the end.
#include <cstring>

#include "accounting/acct_write.h"
#include "accounting/ias_format.h"

namespace {

// A text in double quotes, a quote inside doubled.
void Quoted(TextOut* t, const char* s) {
  TextChar(t, '"');
  for (; *s != '\0'; ++s) {
    if (*s == '"') TextChar(t, '"');
    TextChar(t, *s);
  }
  TextChar(t, '"');
}

// A fixed field: bare, unless it holds a comma or a quote.
void Plain(TextOut* t, const char* s) {
  if (strpbrk(s, ",\"\r\n") != nullptr) return Quoted(t, s);
  TextAdd(t, s);
}

void Text(TextOut* t, int number, const char* s) {
  if (s == nullptr) return;
  TextChar(t, ',');
  TextNumber(t, static_cast<uint64_t>(number));
  TextChar(t, ',');
  Quoted(t, s);
}

void Number(TextOut* t, int number, uint64_t v) {
  TextChar(t, ',');
  TextNumber(t, static_cast<uint64_t>(number));
  TextChar(t, ',');
  TextNumber(t, v);
}

void Session(TextOut* t, const AcctRequest* q) {
  Number(t, kIasAttrNasPort, q->Port);
  Text(t, kIasAttrNasPortId, q->PortId);
  Number(t, kIasAttrNasPortType, q->PortType);
  Number(t, kIasAttrServiceType, 2);     // Framed
  Number(t, kIasAttrFramedProtocol, 1);  // PPP
  Text(t, kIasAttrCallingStationId, q->Calling);
}

void Accounting(TextOut* t, const AcctRequest* q) {
  Number(t, kIasAttrAcctStatusType, q->Status);
  Number(t, kIasAttrAcctDelayTime, q->Delay);
  Text(t, kIasAttrAcctSessionId, q->SessionId);
  Number(t, kIasAttrAcctAuthentic, 1);
  if (q->HasSessionTime) {
    Number(t, kIasAttrAcctSessionTime, q->SessionTime);
    Number(t, kIasAttrAcctInputOctets, q->InputOctets);
    Number(t, kIasAttrAcctOutputOctets, q->OutputOctets);
  }
  if (q->Status == kAcctStop && q->Cause != kCauseNone)
    Number(t, kIasAttrAcctTerminateCause, q->Cause);
  if (q->SendEventTimestamp) Number(t, kIasAttrEventTimestamp, static_cast<uint64_t>(q->Event));
}

}  // namespace

size_t IasWrite(const AcctRequest* q, char* out, size_t cap) {
  LocalParts p;
  if (!LocalPartsOf(q->Received, &p)) return 0;
  TextOut t;
  TextStart(&t, out, cap);
  Plain(&t, q->NasIp);
  TextChar(&t, ',');
  Plain(&t, q->User != nullptr ? q->User : "");
  TextChar(&t, ',');
  TextSlashDate(&t, p);
  TextChar(&t, ',');
  TextClock(&t, p);
  TextChar(&t, ',');
  TextAdd(&t, kIasServiceIas);
  TextChar(&t, ',');
  Plain(&t, q->Server);
  Text(&t, kIasAttrUserName, q->User);
  Text(&t, kIasAttrNasIdentifier, q->NasIdentifier);
  if (q->Status != kAcctOn && q->Status != kAcctOff) Session(&t, q);
  Text(&t, kIasAttrClientIpAddress, q->NasIp);
  Text(&t, kIasAttrClientFriendlyName, q->NasIdentifier);
  Number(&t, kIasAttrPacketType, q->Packet);
  if (q->Packet == kPacketAccountingRequest) Accounting(&t, q);
  TextAdd(&t, "\r\n");
  return TextEnd(&t);
}
