// Line planning with Erlang B: the busy hour's mean lines in use is the
// carried traffic; the offered traffic is estimated from it, and the lines
// that a blocking target needs follow. The model assumes that blocked calls
// are lost, not retried.
#ifndef VELMAR_ANALYTICS_ERLANG_H
#define VELMAR_ANALYTICS_ERLANG_H

#include <cstdint>
#include <vector>

#include "analytics/busy.h"

// Blocking B(a, n) of n lines offered a erlangs, by the stable recursion
// B(a, 0) = 1, B(a, k) = a B(a, k-1) / (k + a B(a, k-1)).
double ErlangB(double a, int64_t n);

// Traffic carried by n lines offered a erlangs: a (1 - B(a, n)), computed
// without cancelling when B is close to 1.
double ErlangCarried(double a, int64_t n);

// The offered traffic A with A (1 - B(A, n)) = carried, by bisection.
// Returns 1 with *offered set; 0 when carried is n or more, or so close to n
// that no offered traffic below 10^12 erlangs carries it.
int ErlangOffered(double carried, int64_t n, double* offered);

// The fewest lines n with B(a, n) <= target, or -1 when even `limit` lines
// block more.
int64_t ErlangLines(double a, double target, int64_t limit);

// What the capacity answer says.
struct CapacityPlan {
  int BusyHour;       // clock hour with the highest mean lines, -1 when nothing is covered
  uint32_t Days;      // hours at that clock hour with covered time
  double Carried;     // Ac: that hour's mean lines in use, erlangs
  int64_t Lines;      // N
  bool Solved;        // an offered traffic was found
  double Offered;     // A
  double Blocking;    // B(A, N)
  double Observed;    // share of the busy hour's covered time with all N lines busy
  double DailyPeak;   // each day's own busiest hour's mean lines, averaged over the days
  uint32_t PeakDays;  // the days with covered time that went into DailyPeak
  std::vector<double> Targets;  // blocking targets
  std::vector<int64_t> Needed;  // per target the fewest lines, -1 beyond the limit
};

// Lines the answer looks at for a target at most.
const int64_t kMaxPlannedLines = 1000000;

// Plans from the 24 clock-hour slots of a busy table (BusyFoldSlots with 24
// slots), the pool's lines (at least 1) and the targets. DailyPeak and
// PeakDays are left 0 for CapacityDailyPeak.
void CapacityPlanFrom(const BusyFigures* clock, int64_t lines, const std::vector<double>& targets,
                      CapacityPlan* out);

// The busy hour the other way round, from the hourly buckets of b: for
// each local day with covered time the highest mean lines in use of its
// clock hours (each over its covered time), averaged over those days, into
// out->DailyPeak and out->PeakDays. Over whole covered days it is at least
// the carried traffic of the one clock hour CapacityPlanFrom picks: each
// day's own busiest hour is at least as busy as that hour was on the day.
void CapacityDailyPeak(const BusyModel* b, CapacityPlan* out);

#endif  // VELMAR_ANALYTICS_ERLANG_H
