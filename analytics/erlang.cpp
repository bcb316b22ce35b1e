// Erlang B by its recursion, the offered traffic by bisection on the
// carried traffic (which rises with the offered), and the busy hour.
#include "analytics/erlang.h"

#include <algorithm>

namespace {

const double kMaxOffered = 1e12;
const int kBisections = 200;

}  // namespace

double ErlangB(double a, int64_t n) {
  double b = 1.0;
  for (int64_t k = 1; k <= n; ++k) b = a * b / (static_cast<double>(k) + a * b);
  return b;
}

double ErlangCarried(double a, int64_t n) {
  if (n <= 0) return 0.0;
  // 1 - B(a, n) = n / (n + a B(a, n - 1)).
  double previous = ErlangB(a, n - 1);
  return a * static_cast<double>(n) / (static_cast<double>(n) + a * previous);
}

int ErlangOffered(double carried, int64_t n, double* offered) {
  if (carried <= 0.0) {
    *offered = 0.0;
    return 1;
  }
  if (carried >= static_cast<double>(n)) return 0;
  double lo = carried, hi = carried * 2;
  while (ErlangCarried(hi, n) < carried) {
    if (hi > kMaxOffered) return 0;
    lo = hi;
    hi *= 2;
  }
  for (int i = 0; i < kBisections && hi - lo > hi * 1e-15; ++i) {
    double mid = lo + (hi - lo) / 2;
    (ErlangCarried(mid, n) < carried ? lo : hi) = mid;
  }
  *offered = hi;
  return 1;
}

int64_t ErlangLines(double a, double target, int64_t limit) {
  double b = 1.0;
  for (int64_t n = 0; n <= limit; ++n) {
    if (n > 0) b = a * b / (static_cast<double>(n) + a * b);
    if (b <= target) return n;
  }
  return -1;
}

void CapacityPlanFrom(const BusyFigures* clock, int64_t lines, const std::vector<double>& targets,
                      CapacityPlan* out) {
  out->BusyHour = -1;
  out->Days = 0;
  out->Carried = 0.0;
  out->Lines = lines;
  out->Targets = targets;
  out->Needed.assign(targets.size(), -1);
  out->DailyPeak = 0.0;
  out->PeakDays = 0;
  for (int h = 0; h < 24; ++h) {
    if (clock[h].Covered <= 0) continue;
    double mean = static_cast<double>(clock[h].LineSeconds) / static_cast<double>(clock[h].Covered);
    if (out->BusyHour < 0 || mean > out->Carried) out->BusyHour = h, out->Carried = mean;
  }
  out->Solved = false;
  if (out->BusyHour < 0) return;
  const BusyFigures& busy = clock[out->BusyHour];
  out->Days = busy.Buckets;
  out->Observed = static_cast<double>(busy.AllBusy) / static_cast<double>(busy.Covered);
  out->Solved = ErlangOffered(out->Carried, lines, &out->Offered) != 0;
  if (!out->Solved) return;
  out->Blocking = ErlangB(out->Offered, lines);
  for (size_t i = 0; i < targets.size(); ++i) {
    out->Needed[i] = ErlangLines(out->Offered, targets[i], kMaxPlannedLines);
  }
}

void CapacityDailyPeak(const BusyModel* b, CapacityPlan* out) {
  double sum = 0.0, best = -1.0;
  uint32_t days = 0;
  EventTime day = 0;
  for (const BusyRow& r : b->Rows) {
    EventTime d = ZoneDay(b->Zone, r.Start);
    if (best >= 0.0 && d != day) sum += best, ++days, best = -1.0;
    day = d;
    if (r.Sum.Covered <= 0) continue;
    double mean = static_cast<double>(r.Sum.LineSeconds) / static_cast<double>(r.Sum.Covered);
    best = std::max(best, mean);
  }
  if (best >= 0.0) sum += best, ++days;
  out->PeakDays = days;
  out->DailyPeak = days > 0 ? sum / static_cast<double>(days) : 0.0;
}
