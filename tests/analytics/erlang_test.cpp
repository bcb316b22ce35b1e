// Erlang B against published table values, the offered traffic solved back
// from the carried, and the busy hour of a plan.
#include "analytics/erlang.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

TEST(ErlangTest, PublishedTableValues) {
  EXPECT_NEAR(ErlangB(2, 2), 0.4000, 5e-5);
  EXPECT_NEAR(ErlangB(10, 10), 0.2146, 5e-5);
  EXPECT_EQ(ErlangLines(10, 0.01, 1000), 18);
  EXPECT_EQ(ErlangLines(20, 0.02, 1000), 28);
  EXPECT_EQ(ErlangB(5, 0), 1.0);
  EXPECT_EQ(ErlangLines(1e6, 1e-9, 10), -1);
}

TEST(ErlangTest, OfferedTrafficSolvedFromCarried) {
  for (double offered : {0.5, 10.0, 45.0, 200.0}) {
    SCOPED_TRACE(offered);
    double carried = ErlangCarried(offered, 50);
    EXPECT_NEAR(carried, offered * (1 - ErlangB(offered, 50)), 1e-9 * offered);
    double back = 0;
    ASSERT_TRUE(ErlangOffered(carried, 50, &back));
    EXPECT_NEAR(back, offered, 1e-6 * offered);
  }
  double a = -1;
  EXPECT_FALSE(ErlangOffered(50, 50, &a));
  EXPECT_FALSE(ErlangOffered(51, 50, &a));
  EXPECT_FALSE(ErlangOffered(50 - 1e-13, 50, &a));
  EXPECT_TRUE(ErlangOffered(0, 50, &a));
  EXPECT_EQ(a, 0);
}

TEST(ErlangTest, PlanTakesTheHourWithTheHighestMean) {
  BusyFigures clock[24] = {};
  for (int h = 0; h < 24; ++h) clock[h] = BusyFigures{7200, 7200 * 2, 0, 3, 2, 10};
  clock[10] = BusyFigures{7200, 7200 * 7, 720, 8, 2, 40};  // mean 7 of 8 lines
  clock[11] = BusyFigures{3600, 3600 * 7, 0, 8, 1, 20};    // a tie goes to the earlier hour
  clock[3] = BusyFigures{};                                // not covered
  CapacityPlan plan;
  CapacityPlanFrom(clock, 8, {0.01, 0.05}, &plan);
  EXPECT_EQ(plan.BusyHour, 10);
  EXPECT_EQ(plan.Days, 2u);
  EXPECT_DOUBLE_EQ(plan.Carried, 7.0);
  EXPECT_DOUBLE_EQ(plan.Observed, 0.1);
  ASSERT_TRUE(plan.Solved);
  EXPECT_NEAR(ErlangCarried(plan.Offered, 8), 7.0, 1e-9);
  EXPECT_NEAR(plan.Blocking, ErlangB(plan.Offered, 8), 1e-12);
  ASSERT_EQ(plan.Needed.size(), 2u);
  EXPECT_EQ(plan.Needed[0], ErlangLines(plan.Offered, 0.01, 1000));
  EXPECT_GT(plan.Needed[0], plan.Needed[1]);
  BusyFigures none[24] = {};
  CapacityPlanFrom(none, 8, {0.01}, &plan);
  EXPECT_EQ(plan.BusyHour, -1);
  EXPECT_FALSE(plan.Solved);
}

}  // namespace

// The other busy hour: each day's own busiest clock hour (by its mean over
// its covered time), averaged over the days with covered time. A day of
// no covered time is no day; a partly covered hour counts by its mean.
TEST(ErlangTest, DailyBusyHourIsTheMeanOfEachDaysBusiest) {
  setenv("TZ", "SGT-8", 1);
  tzset();
  ZoneCache zone;
  ZoneInit(&zone);
  BusyModel b;
  BusyInit(&b, kStepHour, kAlways, kForever, 8, &zone);
  const EventTime kMidnight = 1796659200;  // 2026-12-08T00:00:00+08:00
  const struct {
    int Hour;  // from kMidnight, hours (local days of 24)
    int64_t Covered, LineSeconds;
  } hours[] = {
      {-2, 3600, 3600 * 6},                       // the 7th: its busiest hour has mean 6
      {-1, 3600, 3600 * 2}, {0, 3600, 3600 * 1},  // the 8th: 4, from half an hour at mean 4
      {1, 1800, 1800 * 4},  {5, 3600, 3600 * 3}, {30, 0, 0},  // the 9th: not covered
  };
  for (const auto& h : hours) {
    BusyRow r = {kMidnight + h.Hour * 3600, kMidnight + (h.Hour + 1) * 3600, {}};
    r.Sum.Covered = h.Covered;
    r.Sum.LineSeconds = h.LineSeconds;
    b.Rows.push_back(r);
  }
  CapacityPlan plan;
  CapacityDailyPeak(&b, &plan);
  EXPECT_EQ(plan.PeakDays, 2u);
  EXPECT_DOUBLE_EQ(plan.DailyPeak, 5.0);
}
