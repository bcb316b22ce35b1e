// Which sessions an answer counts: those of the users and on the ports the
// user named (velmar-log's --user and --port), every session when none is
// named. Names match byte for byte, as the logs hold them.
#ifndef VELMAR_ANALYTICS_FILTER_H
#define VELMAR_ANALYTICS_FILTER_H

#include <vector>

#include "analytics/model.h"

// The names a filter lets through; the texts belong to the caller.
struct SessionFilter {
  std::vector<const char*> Users;  // user names; empty: any user
  std::vector<const char*> Ports;  // port names; empty: any port
};

// Whether f names any user or port, and so may leave sessions out.
bool FilterActive(const SessionFilter* f);

// Whether s is counted: its user is one of f's users (when f names any)
// and its port one of f's ports (likewise).
bool FilterMatches(const SessionFilter* f, const Session* s);

#endif  // VELMAR_ANALYTICS_FILTER_H
