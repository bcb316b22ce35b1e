// Writes DTS-compliant lines as NPS writes them: <Event>, the server's
// Timestamp, Computer-Name and Event-Source, one element per attribute
// with its data_type, </Event>, CR LF.
#include "accounting/acct_write.h"
#include "accounting/dts_format.h"

namespace {

void Open(TextOut* t, const char* name, DtsDataType type) {
  TextChar(t, '<');
  TextAdd(t, name);
  TextAdd(t, " data_type=\"");
  TextNumber(t, static_cast<uint64_t>(type));
  TextAdd(t, "\">");
}

void Close(TextOut* t, const char* name) {
  TextAdd(t, "</");
  TextAdd(t, name);
  TextChar(t, '>');
}

// A text with & < > " ' as entities.
void Text(TextOut* t, const char* name, const char* s, DtsDataType type = kDtsText) {
  if (s == nullptr) return;
  Open(t, name, type);
  for (; *s != '\0'; ++s) {
    switch (*s) {
      case '&':
        TextAdd(t, "&amp;");
        break;
      case '<':
        TextAdd(t, "&lt;");
        break;
      case '>':
        TextAdd(t, "&gt;");
        break;
      case '"':
        TextAdd(t, "&quot;");
        break;
      case '\'':
        TextAdd(t, "&apos;");
        break;
      default:
        TextChar(t, *s);
    }
  }
  Close(t, name);
}

void Number(TextOut* t, const char* name, uint64_t v) {
  Open(t, name, kDtsNumber);
  TextNumber(t, v);
  Close(t, name);
}

void Session(TextOut* t, const AcctRequest* q) {
  Number(t, kDtsNames[kDtsNasPort], q->Port);
  Text(t, kDtsNames[kDtsNasPortId], q->PortId);
  Number(t, kDtsNasPortType, q->PortType);
  Text(t, kDtsCallingStationId, q->Calling);
}

void Accounting(TextOut* t, const AcctRequest* q) {
  Number(t, kDtsNames[kDtsAcctStatusType], q->Status);
  Number(t, kDtsNames[kDtsAcctDelayTime], q->Delay);
  Text(t, kDtsNames[kDtsAcctSessionId], q->SessionId);
  if (q->HasSessionTime) {
    Number(t, kDtsNames[kDtsAcctSessionTime], q->SessionTime);
    Number(t, kDtsAcctInputOctets, q->InputOctets);
    Number(t, kDtsAcctOutputOctets, q->OutputOctets);
  }
  if (q->Status == kAcctStop && q->Cause != kCauseNone) Number(t, kDtsAcctTerminateCause, q->Cause);
  if (q->SendEventTimestamp)
    Number(t, kDtsNames[kDtsEventTimestamp], static_cast<uint64_t>(q->Event));
}

}  // namespace

size_t DtsWrite(const AcctRequest* q, char* out, size_t cap) {
  LocalParts p;
  if (!LocalPartsOf(q->Received, &p)) return 0;
  TextOut t;
  TextStart(&t, out, cap);
  TextAdd(&t, kDtsEventOpen);
  Open(&t, kDtsNames[kDtsTimestamp], kDtsTime);
  TextSlashDate(&t, p);
  TextChar(&t, ' ');
  TextClock(&t, p);
  TextChar(&t, '.');
  TextDigits(&t, q->ReceivedMs % 1000, 3);
  Close(&t, kDtsNames[kDtsTimestamp]);
  Text(&t, kDtsComputerName, q->Server);
  Text(&t, kDtsEventSource, "IAS");
  Text(&t, kDtsNames[kDtsUserName], q->User);
  Text(&t, kDtsNames[kDtsNasIpAddress], q->NasIp, kDtsAddress);
  Text(&t, kDtsNames[kDtsNasIdentifier], q->NasIdentifier);
  if (q->Status != kAcctOn && q->Status != kAcctOff) Session(&t, q);
  Text(&t, kDtsClientIpAddress, q->NasIp, kDtsAddress);
  Number(&t, kDtsNames[kDtsPacketType], q->Packet);
  if (q->Packet == kPacketAccountingRequest) Accounting(&t, q);
  TextAdd(&t, kDtsEventClose);
  TextAdd(&t, "\r\n");
  return TextEnd(&t);
}
