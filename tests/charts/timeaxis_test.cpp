// The time axis: ticks on the local clock's hours, midnights, month and
// year starts as the span and the room decide, across daylight time; and
// labels that never overlap nor leave the chart, whatever the span, the
// width and the zone.
#include "charts/timeaxis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

namespace {

const EventTime kDay = 86400;

// The zone TZ names, read afresh.
void UseZone(const char* tz) {
  setenv("TZ", tz, 1);
  tzset();
}

// The instant of a local time, "YYYY-MM-DDTHH:MM" in the zone in use.
EventTime At(ZoneCache* zone, const char* text) {
  EventTime t = 0;
  EXPECT_TRUE(ZoneParse(zone, text, &t)) << text;
  return t;
}

// The labels of the ticks, joined by blanks.
std::string Labels(const TimeAxis& axis) {
  std::string all;
  for (int i = 0; i < axis.Count; ++i) all += (i > 0 ? " " : "") + std::string(axis.Tick[i].Label);
  return all;
}

}  // namespace

TEST(TimeAxis, TicksFallOnTheClocksAndCalendarsOwnBoundaries) {
  const struct {
    const char* Tz;
    const char* From;
    const char* To;
    double Length;
    const char* Want;
    EventTime Finest = 0;  // the buckets' length
  } cases[] = {
      // A day: whole hours, midnight as its date; a narrow chart fewer of them.
      {"SGT-8", "2026-12-08", "2026-12-09", 428, "Dec 8 06:00 12:00 18:00 Dec 9"},
      {"SGT-8", "2026-12-08", "2026-12-09", 1100,
       "Dec 8 02:00 04:00 06:00 08:00 10:00 12:00 "
       "14:00 16:00 18:00 20:00 22:00 Dec 9"},
      {"SGT-8", "2026-12-08T09:30", "2026-12-08T11:10", 428, "10:00 11:00"},
      // The day the clock goes back has 25 hours; the ticks are the clock's.
      {"EST5EDT,M3.2.0,M11.1.0", "2026-11-01", "2026-11-02", 428, "Nov 1 06:00 12:00 18:00 Nov 2"},
      // Half an hour back on Lord Howe Island: still whole local hours.
      {"Australia/Lord_Howe", "2026-04-05", "2026-04-06", 428, "Apr 5 06:00 12:00 18:00 Apr 6"},
      // Two days on: midnights; weeks from a Monday.
      {"SGT-8", "2026-12-02", "2026-12-09", 428, "Dec 2 Dec 3 Dec 4 Dec 5 Dec 6 Dec 7 Dec 8 Dec 9"},
      {"SGT-8", "2026-12-02", "2026-12-09", 240, "Dec 2 Dec 4 Dec 6 Dec 8"},
      {"SGT-8", "2026-11-09", "2026-12-09", 428, "Nov 9 Nov 16 Nov 23 Nov 30 Dec 7"},
      {"Europe/Paris", "2026-03-25", "2026-04-01", 428,
       "Mar 25 Mar 26 Mar 27 Mar 28 Mar 29 Mar 30 Mar 31 Apr 1"},
      // Months beyond a few of them, January as its year; then years.
      {"SGT-8", "2026-01-01", "2027-01-01", 428, "2026 Mar May Jul Sep Nov 2027"},
      {"SGT-8", "2025-12-08", "2026-12-09", 1100,
       "2026 Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec"},
      {"SGT-8", "2016-12-08", "2026-12-09", 428,
       "2017 2018 2019 2020 2021 2022 2023 2024 2025 2026"},
      {"SGT-8", "2016-12-08", "2026-12-09", 300, "2018 2020 2022 2024 2026"},
      {"SGT-8", "0001-01-01", "2026-12-09", 428, "200 400 600 800 1000 1200 1400 1600 1800 2000"},
      // Buckets of days get no hours, of weeks no days, of months their starts.
      {"SGT-8", "2026-12-07", "2026-12-09", 290, "Dec 7 Dec 8 Dec 9", 86400 - 3600},
      {"SGT-8", "2026-11-02", "2026-12-14", 428, "Nov 2 Nov 9 Nov 16 Nov 23 Nov 30 Dec 7 Dec 14",
       7 * 86400 - 3600},
      {"SGT-8", "2026-11-01", "2027-01-01", 290, "Nov Dec 2027", 31 * 86400},
  };
  for (const auto& c : cases) {
    UseZone(c.Tz);
    ZoneCache zone;
    ZoneInit(&zone);
    TimeAxis axis;
    axis.From = At(&zone, c.From);
    axis.To = At(&zone, c.To);
    axis.Length = c.Length;
    axis.CharWidth = 8.4;
    axis.Finest = c.Finest;
    TimeAxisTicks(&axis, &zone);
    EXPECT_EQ(c.Want, Labels(axis)) << c.Tz << " " << c.From << " " << c.Length;
    // Each tick is the instant its label names, in local time.
    for (int i = 0; i < axis.Count; ++i) {
      CivilTime civil;
      ZoneCivil(&zone, axis.Tick[i].At, &civil);
      EXPECT_EQ(0, civil.Minute + civil.Second) << axis.Tick[i].Label;
      EXPECT_TRUE(axis.Tick[i].At >= axis.From && axis.Tick[i].At <= axis.To);
    }
  }
  unsetenv("TZ");
  tzset();
}

TEST(TimeAxis, LabelsStayInsideTheChartAndApart) {
  // By hand: a label at either edge moves inward; one too close to the
  // label before it is left out, its tick kept.
  TimeAxis axis = {};
  axis.CharWidth = 10;
  const struct {
    double X;
    const char* Label;
    double LabelX;
    bool Labelled;
  } ticks[] = {{0, "Dec 8", 26, true},
               {90, "03:00", 90, true},
               {130, "06:00", 130, false},
               {180, "09:00", 180, true},
               {300, "Dec 9", 274, true}};
  axis.Count = 5;
  for (int i = 0; i < axis.Count; ++i) {
    axis.Tick[i].X = ticks[i].X;
    snprintf(axis.Tick[i].Label, sizeof axis.Tick[i].Label, "%s", ticks[i].Label);
  }
  TimeAxisPlace(&axis, 300);
  for (int i = 0; i < axis.Count; ++i) {
    EXPECT_DOUBLE_EQ(ticks[i].LabelX, axis.Tick[i].LabelX) << ticks[i].Label;
    EXPECT_EQ(ticks[i].Labelled, axis.Tick[i].Labelled) << ticks[i].Label;
  }
  // Any span, any width, any zone: the labels drawn lie within the chart,
  // a character apart, and at most a few ticks go without one.
  std::mt19937 random(26);
  for (const char* tz : {"SGT-8", "EST5EDT,M3.2.0,M11.1.0", "Australia/Lord_Howe"}) {
    UseZone(tz);
    ZoneCache zone;
    ZoneInit(&zone);
    for (int run = 0; run < 300; ++run) {
      EventTime span = static_cast<EventTime>(3600.0 * std::pow(10.0, (random() % 700) / 100.0));
      TimeAxis a = {};
      a.From = -62135596800 + static_cast<EventTime>(random() % 300000) * kDay;
      a.To = a.From + std::min<EventTime>(span, 253402300799 - a.From);
      a.Length = 150 + random() % 1000;
      a.CharWidth = 7 + random() % 3;
      double left = 20 + random() % 40, width = left + a.Length + 12;
      TimeAxisTicks(&a, &zone);
      ASSERT_GE(a.Count, 1) << tz << " span " << span;
      int unlabelled = 0;
      double lastRight = -1e9;
      for (int i = 0; i < a.Count; ++i) {
        TimeTick* t = &a.Tick[i];
        t->X = left +
               static_cast<double>(t->At - a.From) * a.Length / static_cast<double>(a.To - a.From);
      }
      TimeAxisPlace(&a, width);
      for (int i = 0; i < a.Count; ++i) {
        const TimeTick& t = a.Tick[i];
        double half = static_cast<double>(strlen(t.Label)) * a.CharWidth / 2;
        if (!t.Labelled) {
          ++unlabelled;
          continue;
        }
        EXPECT_GE(t.LabelX - half, 0) << t.Label;
        EXPECT_LE(t.LabelX + half, width) << t.Label;
        EXPECT_GE(t.LabelX - half, lastRight + a.CharWidth) << t.Label;
        lastRight = t.LabelX + half;
      }
      EXPECT_LE(unlabelled, 2) << tz << " span " << span << " length " << a.Length << ": "
                               << Labels(a);
    }
  }
  unsetenv("TZ");
  tzset();
}
