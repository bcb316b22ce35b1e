// A check of the model's session stream, run as a listener: no (computer,
// port) carries two sessions at once, no session ends before it begins,
// and sessions come in the order they end. Any answer's sessions pass
// through it in the tests, whatever logs they come from.
#ifndef VELMAR_TESTS_ANALYTICS_SESSIONCHECK_H
#define VELMAR_TESTS_ANALYTICS_SESSIONCHECK_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "analytics/model.h"

// What the check has seen.
struct SessionCheck {
  std::unordered_map<std::string, EventTime> LastEnd;  // (computer NUL port) -> latest end
  bool Any = false;                                    // a session was seen
  EventTime LastSeen = 0;                              // the end of the latest one
  uint64_t Sessions = 0;                               // sessions seen
  std::vector<std::string> Faults;                     // what was wrong, the first ten
};

// A listener that checks every session ended into c.
ModelListener SessionCheckListener(SessionCheck* c);

// Runs the model over paths with the check; *failure gets the model's
// message when it fails. Returns the model's result.
int CheckSessions(const std::vector<std::string>& paths, SessionCheck* c, std::string* failure);

#endif  // VELMAR_TESTS_ANALYTICS_SESSIONCHECK_H
