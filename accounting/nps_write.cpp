// Writes database-compatible lines as NPS writes them: all 66 columns,
// texts in double quotes, numbers and the date and time bare, absent
// values empty, CR LF at the end.
#include <cstring>

#include "accounting/acct_write.h"
#include "accounting/nps_format.h"

namespace {

// One column's text: what the line shows between its commas.
struct Column {
  char Text[24];      // a number or date written here
  const char* Value;  // or a text given
  bool Quote;         // shown in double quotes
};

void SetText(Column* c, const char* s) {
  if (s == nullptr) return;
  c->Value = s;
  c->Quote = true;
}

void SetNumber(Column* c, uint64_t v) {
  TextOut t;
  TextStart(&t, c->Text, sizeof c->Text - 1);
  TextNumber(&t, v);
  c->Text[TextEnd(&t)] = '\0';
  c->Value = c->Text;
}

void Put(TextOut* t, const Column& c) {
  if (c.Value == nullptr) return;
  if (!c.Quote) return TextAdd(t, c.Value);
  TextChar(t, '"');
  for (const char* s = c.Value; *s != '\0'; ++s) {
    if (*s == '"') TextChar(t, '"');
    TextChar(t, *s);
  }
  TextChar(t, '"');
}

void Accounting(Column* col, const AcctRequest* q) {
  SetNumber(&col[kNpsAcctStatusType], q->Status);
  SetNumber(&col[kNpsAcctDelayTime], q->Delay);
  SetText(&col[kNpsAcctSessionId], q->SessionId);
  SetNumber(&col[kNpsAcctAuthentic], 1);
  if (q->SendEventTimestamp) SetNumber(&col[kNpsEventTimestamp], static_cast<uint64_t>(q->Event));
  if (q->HasSessionTime) {
    SetNumber(&col[kNpsAcctSessionTime], q->SessionTime);
    SetNumber(&col[kNpsAcctInputOctets], q->InputOctets);
    SetNumber(&col[kNpsAcctOutputOctets], q->OutputOctets);
  }
  if (q->Status == kAcctStop && q->Cause != kCauseNone)
    SetNumber(&col[kNpsAcctTerminateCause], q->Cause);
}

}  // namespace

size_t NpsWrite(const AcctRequest* q, char* out, size_t cap) {
  LocalParts p;
  if (!LocalPartsOf(q->Received, &p)) return 0;
  Column col[kNpsColumnCount];
  memset(col, 0, sizeof col);
  char date[16], clock[16];
  TextOut d, c;
  TextStart(&d, date, sizeof date - 1);
  TextSlashDate(&d, p);
  date[TextEnd(&d)] = '\0';
  TextStart(&c, clock, sizeof clock - 1);
  TextClock(&c, p);
  clock[TextEnd(&c)] = '\0';
  SetText(&col[kNpsComputerName], q->Server);
  SetText(&col[kNpsServiceName], kNpsServiceIas);
  col[kNpsRecordDate].Value = date;
  col[kNpsRecordTime].Value = clock;
  SetNumber(&col[kNpsPacketType], q->Packet);
  SetText(&col[kNpsUserName], q->User);
  SetText(&col[kNpsCallingStationId], q->Calling);
  SetText(&col[kNpsNasIdentifier], q->NasIdentifier);
  SetText(&col[kNpsNasIpAddress], q->NasIp);
  SetText(&col[kNpsClientIpAddress], q->NasIp);
  SetText(&col[kNpsClientFriendlyName], q->NasIdentifier);
  if (q->Status != kAcctOn && q->Status != kAcctOff) {
    SetNumber(&col[kNpsNasPort], q->Port);
    SetNumber(&col[kNpsNasPortType], q->PortType);
    SetNumber(&col[kNpsServiceType], 2);     // Framed
    SetNumber(&col[kNpsFramedProtocol], 1);  // PPP
  }
  if (q->Packet == kPacketAccountingRequest) Accounting(col, q);
  if (q->Packet != kPacketAccountingRequest)
    SetNumber(&col[kNpsReasonCode], q->Packet == kPacketAccessReject ? 16 : 0);
  TextOut t;
  TextStart(&t, out, cap);
  for (int i = 0; i < kNpsColumnCount; ++i) {
    if (i > 0) TextChar(&t, ',');
    Put(&t, col[i]);
  }
  TextAdd(&t, "\r\n");
  return TextEnd(&t);
}
