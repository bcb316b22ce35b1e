// The charts' figures: intervals cut at column and hour edges by hand, the
// columns folded when the scan outruns the window, time taken off for a
// clock set back, time no log covers left out, the zone probed only where
// the log covers a long window; over real scans of random traffic the
// columns and the levels add up to the report's own counters. The SVG on the page is checked end to
// end (tests/e2e/cgi.sh, browser.sh).
#include "charts/chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "driver/porttable.h"
#include "driver/scan.h"
#include "eventlog/testlog.h"

namespace {

const uint32_t kT0 = 1796688000;  // 2026-12-08 00:00:00 UTC
const EventTime kDay = 86400;

// A heap copy: the figures are too big for a test's stack frame to hold
// several.
struct Chart {
  Chart() : Data(static_cast<ChartData*>(malloc(sizeof(ChartData)))) {}
  ~Chart() { free(Data); }
  ChartData* Data;  // the figures
};

// Σ k·t(k) as the report's counters give it.
EventTime LineSeconds(const ScanState& scan) {
  EventTime sum = 0;
  for (int k = 0; k < LINE_TIME_SLOTS; ++k) sum += k * scan.LineTime[k];
  return sum;
}

// Random traffic on ports COM1..COMn over days from kT0 - 1 day: connects
// and disconnects on random ports (a busy port reconnected too), now and
// then a reset, and a record whose clock was set back a few minutes.
std::vector<TestRecord> Traffic(unsigned seed, int days, int ports) {
  std::mt19937 random(seed);
  std::vector<TestRecord> records;
  EventTime t = kT0 - kDay;
  while (t < kT0 + days * kDay) {
    t += random() % 900;
    int kind = random() % 100;
    std::string port = "COM" + std::to_string(1 + random() % ports);
    std::string user = "u" + std::to_string(random() % 40);
    if (kind < 2) {
      records.push_back({static_cast<uint32_t>(t), 6005, {}});
    } else if (kind < 3) {
      records.push_back({static_cast<uint32_t>(t - 300), 7036, {"Service"}});
      records.push_back({static_cast<uint32_t>(t - 300), 20017, {"x", user, port}});
    } else {
      uint32_t id = kind < 52 ? 20017 : 20050;
      records.push_back({static_cast<uint32_t>(t), id, {"x", user, port}});
    }
  }
  return records;
}

// A port table of COM1..COMn built by hand, as PortTableSetup leaves it.
struct Ports {
  explicit Ports(int n) {
    Table.PortCount = n;
    Names.resize(n);
    Slots.resize(n);
    for (int i = 0; i < n; ++i) Names[i] = "COM" + std::to_string(n - i);
    for (int i = 0; i < n; ++i) {
      Slots[i] = PortSlot{};
      Slots[i].PortName = Names[i].c_str();
    }
    Table.Slots = Slots.data();
  }
  std::vector<std::string> Names;  // the ports' names
  std::vector<PortSlot> Slots;     // their slots
  PortTable Table = {};            // the table over them
};

}  // namespace

TEST(Chart, IntervalsAreCutAtColumnEdgesAndFoldedPastTheEnd) {
  setenv("TZ", "UTC0", 1);
  tzset();
  Chart c;
  ChartData* d = c.Data;
  ChartInit(d, kT0, kT0 + 8000);  // 800 columns of 10 s
  ASSERT_EQ(10, d->Span);
  ASSERT_EQ(800, d->Columns);
  EXPECT_FALSE(d->HeatMap);
  ChartCharge(d, kT0 + 5, kT0 + 25, 2, false);
  ChartCharge(d, kT0 + 25, kT0 + 28, 5, true);
  EXPECT_EQ(5, d->Column[0].Covered);
  EXPECT_EQ(10, d->Column[1].Covered);
  EXPECT_EQ(2 * 5 + 5 * 3, d->Column[2].LineSeconds);
  EXPECT_EQ(3, d->Column[2].AllBusy);
  EXPECT_EQ(5, d->Column[2].Peak);
  EXPECT_DOUBLE_EQ(25.0 / 8, ChartColumnMean(&d->Column[2]));
  // A clock set back: the span is taken off, the peak stays.
  ChartCharge(d, kT0 + 28, kT0 + 26, 5, true);
  EXPECT_EQ(6, d->Column[2].Covered);
  EXPECT_EQ(1, d->Column[2].AllBusy);
  // Past the window's end the span doubles: columns 2j and 2j + 1 merge.
  ChartCharge(d, kT0 + 7990, kT0 + 8010, 1, false);
  EXPECT_EQ(20, d->Span);
  EXPECT_EQ(800, d->Columns);
  EXPECT_EQ(15, d->Column[0].Covered);
  EXPECT_EQ(6, d->Column[1].Covered);
  EXPECT_EQ(10, d->Column[399].Covered);
  EXPECT_EQ(10, d->Column[400].Covered);
  ChartCharge(d, kT0 + 8010, kT0 + 5 * 8000, 3, false);
  EXPECT_EQ(80, d->Span);
  // Before the start (a clock set back past it) goes to the first column.
  ChartCharge(d, kT0 - 30, kT0, 1, false);
  EXPECT_EQ(15 + 6 + 30, d->Column[0].Covered);
  EventTime covered = 0;
  for (int i = 0; i < d->Columns; ++i) covered += d->Column[i].Covered;
  EXPECT_EQ(20 + 3 - 2 + 20 + 4 * 8000 - 10 + 30, covered);
}

TEST(Chart, HeatMapCellsAreLocalHoursOfDaysOrWeeks) {
  const struct {
    const char* Tz;
    EventTime Start, End;  // the window
    bool HeatMap;
    int32_t RowDays, Rows;
  } windows[] = {
      {"UTC0", kT0, kT0 + 2 * kDay, false, 0, 0},
      {"UTC0", kT0, kT0 + 3 * kDay, true, 1, 3},
      {"UTC0", kT0, kT0 + 62 * kDay, true, 1, 62},
      {"UTC0", kT0, kT0 + 63 * kDay, true, 7, 9},
      {"UTC0", kT0, kT0 + 365 * kDay, true, 7, 53},
      {"UTC0", kT0, kT0 + 3650 * kDay, true, 63, 58},
      // A window of three days that daylight time shortens by an hour.
      {"EST5EDT,M3.2.0,M11.1.0", 1772859600, 1772859600 + 3 * kDay - 3600, true, 1, 3},
  };
  for (const auto& w : windows) {
    setenv("TZ", w.Tz, 1);
    tzset();
    Chart c;
    ChartInit(c.Data, w.Start, w.End);
    EXPECT_EQ(w.HeatMap, c.Data->HeatMap) << w.Tz << " " << (w.End - w.Start);
    if (!w.HeatMap) continue;
    EXPECT_EQ(w.RowDays, c.Data->RowDays) << (w.End - w.Start);
    EXPECT_EQ(w.Rows, c.Data->Rows) << (w.End - w.Start);
  }
  // 01:30 to 02:30 of the first day, and 23:00 of the third to past the end.
  setenv("TZ", "SGT-8", 1);
  tzset();
  Chart c;
  EventTime start = kT0 - 8 * 3600;  // 2026-12-08 00:00 at UTC+8
  ChartInit(c.Data, start, start + 3 * kDay);
  ChartCharge(c.Data, start + 5400, start + 9000, 2, false);
  ChartCharge(c.Data, start + 2 * kDay + 23 * 3600, start + 3 * kDay + 600, 1, false);
  EXPECT_EQ(1800, c.Data->Cell[0][1].Covered);
  EXPECT_EQ(3600, c.Data->Cell[0][1].LineSeconds);
  EXPECT_EQ(1800, c.Data->Cell[0][2].Covered);
  EXPECT_EQ(3600, c.Data->Cell[2][23].Covered);
  EXPECT_EQ(0, c.Data->Cell[0][0].Covered);
}

// Time before the log's oldest record, or a stale copy's whole window, is
// left out of every figure: columns, levels and cells hold the covered
// time alone, also when a clock set back takes time off across the edge.
TEST(Chart, TimeNoLogCoversIsLeftOutOfEveryFigure) {
  setenv("TZ", "UTC0", 1);
  tzset();
  Chart c;
  ChartData* d = c.Data;
  ChartInit(d, kT0, kT0 + 4 * kDay);
  EventTime cover = kT0 + kDay + 1800;  // the second day, 00:30
  ChartCover(d, cover);
  ChartCharge(d, kT0, kT0 + 2 * kDay, 3, true);
  EXPECT_EQ(kDay - 1800, d->Level[3]);
  EXPECT_EQ(0, d->Level[0]);
  EventTime covered = 0;
  for (int i = 0; i < d->Columns; ++i) covered += d->Column[i].Covered;
  EXPECT_EQ(kDay - 1800, covered);
  EXPECT_EQ(0, d->Column[0].Covered);
  EXPECT_EQ(0, d->Cell[0][12].Covered);
  EXPECT_EQ(1800, d->Cell[1][0].Covered);
  EXPECT_EQ(3600, d->Cell[1][1].Covered);
  EventTime from = 0, to = 0;
  ChartCoveredSpan(d, &from, &to);
  EXPECT_EQ(cover, from);
  EXPECT_EQ(kT0 + 2 * kDay, to);
  // A clock set back to before the cover takes off the covered part alone.
  ChartCharge(d, cover + 1800, kT0 + kDay, 3, true);
  EXPECT_EQ(kDay - 3600, d->Level[3]);
  EXPECT_EQ(0, d->Cell[1][0].Covered);
  EXPECT_EQ(kT0 + 2 * kDay, d->ChargedTo);
  // A stale copy covers nothing of the window: the charges reach its end
  // all the same.
  ChartInit(d, kT0, kT0 + 4 * kDay);
  ChartCover(d, INT64_MAX);
  ChartCharge(d, kT0, kT0 + 4 * kDay, 2, false);
  EXPECT_EQ(0, d->Level[2]);
  EXPECT_EQ(kT0 + 4 * kDay, d->ChargedTo);
  ChartCoveredSpan(d, &from, &to);
  EXPECT_EQ(from, to);
}

// A window from the year 1 over a week's log: the zone is probed over the
// week alone, and the hours come out as the C library tells them.
TEST(Chart, ALongWindowProbesTheZoneOnlyWhereTheLogCoversIt) {
  setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  tzset();
  Chart c;
  ChartData* d = c.Data;
  EventTime start = -62135578800;                                   // 0001-01-01 00:00 at UTC-5
  EventTime cover = 1793505600 - 3 * kDay, end = cover + 7 * kDay;  // over 2026-11-01
  ChartInit(d, start, end + kDay);
  ASSERT_TRUE(d->HeatMap);
  ChartCover(d, cover);
  std::mt19937 random(7);
  ChartCharge(d, start, cover + 60, 1, false);  // the scan's first interval
  for (EventTime t = cover + 60; t < end;) {
    EventTime next = std::min(end, t + 1 + static_cast<EventTime>(random() % 5000));
    ChartCharge(d, t, next, 1, false);
    t = next;
  }
  EXPECT_EQ(cover, d->RunStart[0]);
  EXPECT_LE(d->ZoneRuns, 3);
  EXPECT_LE(d->ProbedTo, end + 9 * 7 * kDay);
  EventTime want[CHART_HOURS] = {};
  for (EventTime t = cover; t < end; t += 60) {
    time_t when = static_cast<time_t>(t);
    want[localtime(&when)->tm_hour] += 60;
  }
  for (int h = 0; h < CHART_HOURS; ++h) {
    EXPECT_EQ(want[h], d->Cell[d->Rows - 1][h].Covered) << "hour " << h;
  }
  unsetenv("TZ");
  tzset();
}

// The heat map against the C library asked about every step of the window:
// each instant goes to the row of its local date and the column of its
// local hour, across daylight time, half-hour changes (Lord Howe), offsets
// of 45 minutes and of seconds (Monrovia's -0:44:30 until 1972), and in
// fixed zones.
TEST(Chart, HeatMapCellsFollowTheLocalClockAcrossChanges) {
  const struct {
    const char* Tz;
    EventTime Start;  // the window, from 3 days before this instant
    int Days;         // its length
    EventTime Step;   // the oracle's resolution, seconds
  } cases[] = {
      {"Australia/Lord_Howe", 1791043200, 4, 60},                // 2026-10-04, +10:30 to +11
      {"Australia/Lord_Howe", 1775318400, 4, 60},                // 2026-04-05, back
      {"EST5EDT,M3.2.0,M11.1.0", 1793505600, 4, 60},             // 2026-11-01
      {"Europe/Paris", 1774749600, 70, 600},                     // weekly rows over 2026-03-29
      {"Asia/Kathmandu", 504889200, 5, 60},                      // 1986-01-01: +5:30 to +5:45
      {"Africa/Monrovia", 63590400, 4, 1},                       // 1972-01-07: -0:44:30 to 0
      {"AAA-1BBB,M3.5.0/2:30,M10.5.0/3:30", 1774749600, 4, 60},  // changes in mid-hour
      {"SGT-8", 1796688000, 3, 60},                              // one fixed offset
      {"<+0530>-5:30", 1796688000, 3, 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Tz);
    setenv("TZ", c.Tz, 1);
    tzset();
    Chart chart, pieces;
    ChartData* d = chart.Data;
    EventTime from = c.Start - 3 * kDay, to = from + c.Days * kDay;
    ChartInit(d, from, to);
    ASSERT_TRUE(d->HeatMap);
    ChartCharge(d, from - kDay, to + kDay, 2, false);  // the map's edges too
    // The same time as a scan charges it: one interval after another, from
    // a second to hours long, and now and then a clock set back, whose time
    // is taken off and then charged again from there, so that charges start
    // before the hour the one before ended in and cross changes of offset.
    ChartInit(pieces.Data, from, to);
    std::mt19937 random(static_cast<unsigned>(c.Start));
    for (EventTime t = from - kDay; t < to + kDay;) {
      EventTime next = std::min(to + kDay, t + 1 + static_cast<EventTime>(random() % 9000));
      ChartCharge(pieces.Data, t, next, 2, false);
      if (next - t > 1 && next < to + kDay && random() % 3 == 0) {
        EventTime back = next - 1 - static_cast<EventTime>(random()) % (next - t);
        ChartCharge(pieces.Data, next, back, 2, false);
        next = back;
      }
      t = next;
    }
    static ChartCell want[CHART_ROWS][CHART_HOURS];
    memset(want, 0, sizeof want);
    for (EventTime t = from - kDay; t < to + kDay; t += c.Step) {
      time_t when = static_cast<time_t>(t);
      const std::tm* local = localtime(&when);
      EventTime day = (timegm(const_cast<std::tm*>(local)) / kDay) - d->FirstDay;
      if (day < 0 || day / d->RowDays >= d->Rows) continue;
      want[day / d->RowDays][local->tm_hour].Covered += c.Step;
      want[day / d->RowDays][local->tm_hour].LineSeconds += 2 * c.Step;
    }
    for (int r = 0; r < d->Rows; ++r) {
      for (int h = 0; h < CHART_HOURS; ++h) {
        EXPECT_EQ(want[r][h].Covered, d->Cell[r][h].Covered) << "row " << r << " hour " << h;
        EXPECT_EQ(want[r][h].LineSeconds, d->Cell[r][h].LineSeconds)
            << "row " << r << " hour " << h;
        EXPECT_EQ(want[r][h].Covered, pieces.Data->Cell[r][h].Covered)
            << "in pieces, row " << r << " hour " << h;
        EXPECT_EQ(want[r][h].LineSeconds, pieces.Data->Cell[r][h].LineSeconds)
            << "in pieces, row " << r << " hour " << h;
      }
    }
  }
}

// The scan charges the chart as it charges LineTime: over any window, the
// columns' time-weighted means, added up, give the report's Σ k·t(k) within
// one line-second per column, and their time its TotalTime.
TEST(Chart, ColumnsAddUpToTheScansCounters) {
  setenv("TZ", "UTC0", 1);
  tzset();  // the listing follows the zone last read
  const struct {
    unsigned Seed;
    int Days;          // of traffic
    EventTime Window;  // seconds from kT0
    int Ports;         // with a port table of this many ports, or 0
  } runs[] = {
      {1, 2, kDay, 0},
      {2, 2, kDay, 4},
      {3, 9, 7 * kDay, 6},
      {4, 3, 3600, 3},
      {5, 40, 35 * kDay, 0},
      // The log ends before the window: the scan runs to the clock's now.
      {6, 0, 3600, 2},
  };
  for (const auto& r : runs) {
    TestLog log;
    std::string why;
    ASSERT_TRUE(TestLogMake(&log, Traffic(r.Seed, r.Days, r.Ports > 0 ? r.Ports : 5), 1, &why))
        << why;
    DWORD first = 0, newest = 0;
    const char* message = nullptr;
    ASSERT_EQ(kT0, FindFirstRec(log.Handle, &first, &newest, kT0, &message));
    ReportOptions opts;
    OptionsInit(&opts);
    opts.Listing = false;
    ScanState scan;
    ScanInit(&scan, stdout, kT0, kT0 + r.Window, newest);
    Ports ports(r.Ports);
    if (r.Ports > 0) ScanUsePorts(&scan, &ports.Table);
    Chart c;
    ChartInit(c.Data, kT0, kT0 + r.Window);
    ScanUseChart(&scan, c.Data);
    DWORD cap = 0;
    BYTE* buf = NewRecordBuffer(&cap);
    ASSERT_EQ(1, ScanLog(&scan, &opts, log.Handle, &buf, &cap, first, &message)) << message;
    free(buf);
    TestLogRemove(&log);
    double weighted = 0;
    EventTime covered = 0, allBusy = 0;
    for (int i = 0; i < c.Data->Columns; ++i) {
      weighted += ChartColumnMean(&c.Data->Column[i]) * c.Data->Column[i].Covered;
      covered += c.Data->Column[i].Covered;
      allBusy += c.Data->Column[i].AllBusy;
    }
    EXPECT_NEAR(static_cast<double>(LineSeconds(scan)), weighted, c.Data->Columns) << r.Seed;
    EXPECT_EQ(scan.TotalTime, covered) << r.Seed;
    for (int k = 0; k < LINE_TIME_SLOTS && k < CHART_LEVELS; ++k) {
      EXPECT_EQ(scan.LineTime[k], c.Data->Level[k]) << r.Seed << " at " << k << " lines";
    }
    EXPECT_LE(c.Data->Columns, CHART_COLUMNS);
    if (r.Ports > 0) {
      EXPECT_EQ(scan.LineTime[r.Ports], allBusy) << r.Seed;
    }
    if (r.Days > 0) {
      EXPECT_GT(scan.LineTime[1], 0) << r.Seed;  // the traffic was there
    }
    if (time(nullptr) > kT0 + r.Window) {
      EXPECT_GE(c.Data->Columns * c.Data->Span, scan.TotalTime);
    }
  }
}
