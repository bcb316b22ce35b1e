// Per-user totals over the sessions that end in a range, as the report's
// user summary counts the disconnects in its window: sessions, seconds, the
// longest session, the first start and the last end. The names are kept
// whole (not cut to 20 bytes); memory is O(users), bounded by the pool's
// user base, not by the size of the logs.
#ifndef VELMAR_ANALYTICS_USERS_H
#define VELMAR_ANALYTICS_USERS_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "analytics/filter.h"
#include "analytics/model.h"

// One user's totals.
struct UserTotals {
  std::string User;   // the name, whole
  uint64_t Sessions;  // sessions that ended in the range
  int64_t Seconds;    // their time, end - start
  int64_t Longest;    // the longest of them
  EventTime First;    // the earliest start among them
  EventTime Last;     // the latest end among them
};

// The users being counted.
struct UserCount {
  EventTime Since;                                     // sessions ending from here
  EventTime Until;                                     // and before here
  const SessionFilter* Filter;                         // the sessions counted
  std::unordered_map<std::string, UserTotals> ByName;  // name -> totals
};

// A listener that counts into u the model's sessions ending in [since,
// until) that filter lets through (it must outlive the run).
ModelListener UserListener(UserCount* u, EventTime since, EventTime until,
                           const SessionFilter* filter);

// The totals ordered by seconds, most first, then by name (byte order).
std::vector<UserTotals> UserRanking(const UserCount* u);

#endif  // VELMAR_ANALYTICS_USERS_H
