// Per-user totals, one hash entry per user name.
#include "analytics/users.h"

#include <algorithm>

namespace {

void OnEnded(void* context, const Session* s) {
  UserCount* u = static_cast<UserCount*>(context);
  if (s->End < u->Since || s->End >= u->Until || !FilterMatches(u->Filter, s)) return;
  int64_t seconds = s->End - s->Start;
  std::unordered_map<std::string, UserTotals>::iterator it = u->ByName.find(s->User);
  if (it == u->ByName.end()) {
    UserTotals fresh = {s->User, 0, 0, 0, s->Start, s->End};
    it = u->ByName.emplace(fresh.User, fresh).first;
  }
  UserTotals* t = &it->second;
  ++t->Sessions;
  t->Seconds += seconds;
  t->Longest = std::max(t->Longest, seconds);
  t->First = std::min(t->First, s->Start);
  t->Last = std::max(t->Last, s->End);
}

}  // namespace

ModelListener UserListener(UserCount* u, EventTime since, EventTime until,
                           const SessionFilter* filter) {
  u->Since = since;
  u->Until = until;
  u->Filter = filter;
  u->ByName.clear();
  ModelListener l = {};
  l.Context = u;
  l.Ended = OnEnded;
  return l;
}

std::vector<UserTotals> UserRanking(const UserCount* u) {
  std::vector<UserTotals> out;
  out.reserve(u->ByName.size());
  for (const auto& e : u->ByName) out.push_back(e.second);
  std::sort(out.begin(), out.end(), [](const UserTotals& a, const UserTotals& b) {
    return a.Seconds != b.Seconds ? a.Seconds > b.Seconds : a.User < b.User;
  });
  return out;
}
