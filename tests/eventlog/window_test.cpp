// The report window's start: midnight of today's standard time under TZ
// (SGT-8 when TZ is absent), moved by whole days, with its first record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "eventlog/logread.h"
#include "eventlog/testlog.h"

namespace {

// Midnight of standard time (west seconds west of UTC) of the day of now.
EventTime Midnight(EventTime now, EventTime west) {
  EventTime local = now - west;
  return local - local % 86400 + west;
}

}  // namespace

TEST(GetWindowStart, MidnightUnderTzMovedByWholeDays) {
  TestLog log;
  std::string why;
  // One record far in the past: every window is after it.
  ASSERT_TRUE(TestLogMake(&log, {{1000, 1, {}}}, 1, &why)) << why;
  const struct {
    const char* Tz;  // null: TZ absent
    EventTime West;  // standard time's seconds west of UTC
    int32_t Offset;
  } cases[] = {
      {nullptr, -28800, 0},
      {nullptr, -28800, -1},
      {nullptr, -28800, 1},
      {"UTC0", 0, 0},
      {"UTC0", 0, -1},
      {"UTC0", 0, 1},
      // A daylight zone still cuts the day at midnight of standard time.
      {"EST5EDT", 18000, 0},
      {"NZST-12NZDT", -43200, -7},
  };
  for (const auto& c : cases) {
    if (c.Tz == nullptr) {
      unsetenv("TZ");
    } else {
      setenv("TZ", c.Tz, 1);
    }
    DWORD first = 0;
    DWORD newest = 0;
    const char* msg = nullptr;
    EventTime before = time(nullptr);
    EventTime start = GetWindowStart(log.Handle, &first, &newest, c.Offset, &msg);
    EventTime after = time(nullptr);
    ASSERT_EQ(msg, nullptr);
    // Either side of the call, in case the clock passed midnight during it.
    EventTime want = Midnight(before, c.West) + c.Offset * 86400;
    if (start != want) want = Midnight(after, c.West) + c.Offset * 86400;
    EXPECT_EQ(start, want) << (c.Tz ? c.Tz : "(absent)") << " " << c.Offset;
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(newest, 1u);
    ASSERT_NE(getenv("TZ"), nullptr);
    if (c.Tz == nullptr) {
      EXPECT_STREQ(getenv("TZ"), "SGT-8");
    }
    EXPECT_EQ(timezone, c.West);
  }
  TestLogRemove(&log);
}
