// Reading accounting records into plain values for the tests.
#include "support/acctread.h"

#include <cstdio>

namespace {

void Put(std::string* out, const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c > 0x7E) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      *out += hex;
    } else {
      *out += static_cast<char>(c);
    }
  }
}

const char* StatusName(AcctStatus s) {
  switch (s) {
    case kAcctStart:
      return "Start";
    case kAcctStop:
      return "Stop";
    case kAcctInterim:
      return "Interim";
    case kAcctOn:
      return "On";
    case kAcctOff:
      return "Off";
  }
  return "?";
}

}  // namespace

std::string AcctText(const AcctRecord& rec) {
  static const char* const kNasFrom[] = {"ip", "ipv6", "id"};
  static const char* const kTimeFrom[] = {"event", "received", "event-local", "received-local"};
  std::string s = std::to_string(rec.Line) + " " + StatusName(rec.Status) + " nas=";
  Put(&s, rec.Nas, rec.NasLength);
  s += std::string("(") + kNasFrom[rec.NasFrom] + ") port=";
  Put(&s, rec.Port, rec.PortLength);
  s += " user=";
  Put(&s, rec.User, rec.UserLength);
  s += " id=";
  Put(&s, rec.SessionId, rec.SessionIdLength);
  s += " time=" + std::to_string(rec.Time) + "(" + kTimeFrom[rec.TimeFrom] + ")";
  if (rec.HasSessionTime) s += " session=" + std::to_string(rec.SessionTime);
  if (rec.Delay != 0) s += " delay=" + std::to_string(rec.Delay);
  return s;
}

AcctResult ReadAcct(const std::string& bytes, AcctKind kind) {
  AcctResult out;
  AcctReader* r = new AcctReader;
  out.Opened = AcctOpenBytes(r, bytes.data(), bytes.size(), "test", kind) == 1;
  out.Kind = r->Kind;
  if (!out.Opened) out.Message = r->Message;
  AcctRecord rec;
  while (out.Opened && (out.End = AcctRead(r, &rec)) == 1) out.Records.push_back(AcctText(rec));
  if (out.End < 0) out.Message = r->Message;
  out.Counts = r->Counts;
  AcctClose(r);
  delete r;
  return out;
}

std::vector<std::string> WithoutLines(const std::vector<std::string>& records) {
  std::vector<std::string> out;
  for (const std::string& r : records) out.push_back(r.substr(r.find(' ') + 1));
  return out;
}

std::string SkipText(const AcctCounts& c) {
  std::string s;
  for (int i = 0; i < kSkipReasonCount; ++i) {
    if (c.Skipped[i] == 0) continue;
    if (!s.empty()) s += " ";
    s += std::to_string(i) + "=" + std::to_string(c.Skipped[i]) + "@" +
         std::to_string(c.FirstSkip[i]);
  }
  if (c.Authentication != 0)
    s += (s.empty() ? "" : " ") + std::string("auth=") + std::to_string(c.Authentication);
  if (c.NotAccounting != 0)
    s += (s.empty() ? "" : " ") + std::string("other=") + std::to_string(c.NotAccounting);
  return s;
}
