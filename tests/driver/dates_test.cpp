// A report day written as a date: which arguments are dates, the offset a
// date gives under the report's zone (the same window as that offset), and
// the texts that are no date. The whole program with dates, and the form's
// date field against its offset, are in tests/e2e/listing.sh and cgi.sh.
#include "driver/dates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

const EventTime kNoon = 1796702400;  // 2026-12-08 12:00:00 at UTC+8

// Runs with TZ set to tz, and puts the old TZ back afterwards.
struct ZoneScope {
  explicit ZoneScope(const char* tz) {
    const char* old = getenv("TZ");
    Had = old != nullptr;
    if (Had) Old = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ZoneScope() {
    Had ? setenv("TZ", Old.c_str(), 1) : unsetenv("TZ");
    tzset();
  }
  bool Had = false;  // TZ was set before
  std::string Old;   // its value
};

}  // namespace

TEST(Dates, ArgumentOneIsADateWhenItStartsWithAYearAndADash) {
  const struct {
    const char* Arg;
    bool Date;       // taken as a date
    int32_t Offset;  // else the offset it gives
  } cases[] = {
      {"2026-12-01", true, 0},   {"2026-13-01", true, 0},      {"2026-2-3", true, 0},
      {"2026-", true, 0},        {"2026", false, 2026},        {"-2026-12-01", false, -2026},
      {"202-12-01", false, 202}, {"+2026-12-01", false, 2026}, {" 2026-12-01", false, 2026},
      {"-1", false, -1},
  };
  for (const auto& c : cases) {
    char* argv[] = {const_cast<char*>("velmar"), const_cast<char*>(c.Arg)};
    ReportOptions opts;
    OptionsInit(&opts);
    OptionsFromArgs(&opts, 2, argv);
    EXPECT_EQ(c.Date, ArgumentIsDate(c.Arg)) << c.Arg;
    EXPECT_EQ(c.Date ? c.Arg : nullptr, opts.Date) << c.Arg;
    EXPECT_EQ(c.Offset, opts.Offset) << c.Arg;
  }
}

TEST(Dates, ADateGivesTheOffsetWhoseWindowStartsThatDay) {
  // now: 2026-12-08 12:00 at UTC+8; in New York 2026-07-02 00:30 daylight
  // time, which is still 1 July in standard time, the day the window cuts.
  const struct {
    const char* Tz;
    EventTime Now;
    const char* Date;
    int32_t Offset;
  } cases[] = {
      {"SGT-8", kNoon, "2026-12-08", 0},
      {"SGT-8", kNoon, "2026-12-01", -7},
      {"SGT-8", kNoon, "2026-12-09", 1},
      {"SGT-8", kNoon, "2025-12-08", -365},
      {"SGT-8", kNoon, "2024-02-29", -1013},
      {"UTC0", kNoon - 12 * 3600, "2026-12-07", 0},  // 2026-12-08 00:00 at UTC+8
      {"EST5EDT,M3.2.0,M11.1.0", 1782966600, "2026-07-01", 0},
      {"EST5EDT,M3.2.0,M11.1.0", 1782966600, "2026-07-02", 1},
      {"SGT-8", kNoon, "0001-01-01", -739957},
      {"SGT-8", kNoon, "9999-12-31", 2912101},
  };
  for (const auto& c : cases) {
    ZoneScope zone(c.Tz);
    ReportOptions opts;
    OptionsInit(&opts);
    opts.Offset = -3;  // a date wins over an offset
    opts.Date = c.Date;
    EXPECT_EQ(nullptr, ApplyDate(&opts, c.Now)) << c.Tz << " " << c.Date;
    EXPECT_EQ(c.Offset, opts.Offset) << c.Tz << " " << c.Date;
    // That offset's window starts at midnight, standard time, of the date.
    struct tm day = {};
    ASSERT_NE(nullptr, strptime(c.Date, "%Y-%m-%d", &day));
    EventTime midnight = static_cast<EventTime>(timegm(&day)) + timezone;
    EXPECT_EQ(midnight, WindowStartOf(opts.Offset, c.Now)) << c.Tz << " " << c.Date;
  }
}

TEST(Dates, TextsThatAreNoRealDateAreABadDate) {
  const char* bad[] = {
      "2026-02-30", "2026-13-01",  "2026-00-10",  "2026-12-00", "2026-12-32", "2026-12-1",
      "2026-2-03",  "2026-12-01x", "2026-12-01 ", "0000-06-01", "2026/12/01", "2100-02-29",
      "",           "2026-12"};
  ZoneScope zone("SGT-8");
  for (const char* text : bad) {
    ReportOptions opts;
    OptionsInit(&opts);
    opts.Offset = -3;
    opts.Date = text;
    EXPECT_STREQ("Bad Date", ApplyDate(&opts, kNoon)) << text;
    EXPECT_EQ(-3, opts.Offset) << text;
  }
  ReportOptions none;
  OptionsInit(&none);
  EXPECT_EQ(nullptr, ApplyDate(&none, kNoon));
  EXPECT_EQ(0, none.Offset);
}
