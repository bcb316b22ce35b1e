// The session filter: a few names, looked through one by one.
#include "analytics/filter.h"

#include <cstring>

namespace {

// Whether name is among names; an empty list holds every name.
bool Among(const std::vector<const char*>& names, const char* name) {
  if (names.empty()) return true;
  for (const char* n : names) {
    if (strcmp(n, name) == 0) return true;
  }
  return false;
}

}  // namespace

bool FilterActive(const SessionFilter* f) {
  return !f->Users.empty() || !f->Ports.empty();
}

bool FilterMatches(const SessionFilter* f, const Session* s) {
  return Among(f->Users, s->User) && Among(f->Ports, s->Port);
}
