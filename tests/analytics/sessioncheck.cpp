// The session stream's check: the latest end per port, compared with each
// session's start as it comes.
#include "sessioncheck.h"

#include "analytics/busy.h"

namespace {

std::string Describe(const Session* s) {
  return std::string(s->Computer) + " " + s->Port + " " + s->User + " " + std::to_string(s->Start) +
         "-" + std::to_string(s->End);
}

void Fault(SessionCheck* c, const std::string& what) {
  if (c->Faults.size() < 10) c->Faults.push_back(what);
}

void OnEnded(void* context, const Session* s) {
  SessionCheck* c = static_cast<SessionCheck*>(context);
  ++c->Sessions;
  if (s->End < s->Start) Fault(c, "ends before it begins: " + Describe(s));
  if (c->Any && s->End < c->LastSeen) Fault(c, "out of the order of ends: " + Describe(s));
  c->Any = true;
  c->LastSeen = s->End;
  std::string key = std::string(s->Computer) + '\0' + s->Port;
  auto known = c->LastEnd.find(key);
  if (known != c->LastEnd.end() && s->Start < known->second) {
    Fault(c, "begins before its port's previous session ended at " + std::to_string(known->second) +
                 ": " + Describe(s));
  }
  c->LastEnd[key] = s->End;
}

}  // namespace

ModelListener SessionCheckListener(SessionCheck* c) {
  ModelListener l = {};
  l.Context = c;
  l.Ended = OnEnded;
  return l;
}

int CheckSessions(const std::vector<std::string>& paths, SessionCheck* c, std::string* failure) {
  std::vector<const char*> list;
  for (const std::string& p : paths) list.push_back(p.c_str());
  ModelListener l = SessionCheckListener(c);
  ModelFailure f = {};
  int ok =
      ModelReadLogs(list.data(), static_cast<int>(list.size()), &l, nullptr, kAlways, kForever, &f);
  failure->assign(f.Text);
  return ok;
}
