// The environment and local time: a changed TZ is followed once the zone is
// read again (the C library need not notice it before), and TZ goes away;
// which TZ texts the C library takes as one fixed offset.
#include "platform/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/zonefile.h"

namespace {

// Keeps TZ as the test found it.
struct KeepTz {
  const char* Was = std::getenv("TZ");           // null when unset
  std::string Text = Was != nullptr ? Was : "";  // its value
  ~KeepTz() {
    if (Was != nullptr)
      PlatformSetEnv("TZ", Text.c_str());
    else
      PlatformUnsetEnv("TZ");
    PlatformReadZone();
  }
};

int LocalHour(time_t t) {
  struct tm tm;
  EXPECT_EQ(PlatformLocalTime(t, &tm), 1);
  return tm.tm_hour;
}

TEST(PlatformEnvironmentTest, LocalTimeFollowsEachZoneReadAndTzCanBeRemoved) {
  KeepTz keep;
  const time_t noonUtc = 1796702400 - 1796702400 % 86400 + 12 * 3600;
  ASSERT_EQ(PlatformSetEnv("TZ", "SGT-8"), 1);
  PlatformReadZone();
  EXPECT_EQ(LocalHour(noonUtc), 20);
  ASSERT_EQ(PlatformSetEnv("TZ", "EST5"), 1);
  PlatformReadZone();
  EXPECT_EQ(LocalHour(noonUtc), 7);
  EXPECT_STREQ(std::getenv("TZ"), "EST5");
  PlatformUnsetEnv("TZ");
  PlatformUnsetEnv("TZ");  // one not set is fine
  EXPECT_EQ(std::getenv("TZ"), nullptr);
}

// One offset for all time only for a rule without daylight time that names
// no zone file; each "fixed" one is checked against the C library over the
// centuries the charts may span.
TEST(PlatformEnvironmentTest, FixedZonesAreRulesWithoutDaylightTime) {
  KeepTz keep;
  const struct {
    const char* Tz;
    bool Fixed;
  } cases[] = {
      {"SGT-8", true},
      {":SGT-8", true},
      {"UTC0", true},
      {"<+0530>-5:30", true},
      {"LMT-0:19:32", true},
      {"EST+5", true},
      {"EST5EDT", false},
      {"EST5EDT,M3.2.0,M11.1.0", false},
      {"Asia/Singapore", false},
      {"UTC", false},
      {"SGT-8x", false},
      {"SG-8", false},
      {"SGT", false},
      {"SGT-25", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Tz != nullptr ? c.Tz : "(null)");
    EXPECT_EQ(c.Fixed, PlatformZoneFixed(c.Tz));
    if (!c.Fixed) continue;
    ASSERT_EQ(PlatformSetEnv("TZ", c.Tz), 1);
    PlatformReadZone();
    struct tm first;
    ASSERT_EQ(PlatformLocalTime(-62135596800, &first), 1);  // 0001-01-01T00:00:00Z
    for (time_t t = -62135596800; t < 4102444800; t += 86400 * 97 + 3607) {
      struct tm local;
      ASSERT_EQ(PlatformLocalTime(t, &local), 1);
      EXPECT_EQ(first.tm_gmtoff, local.tm_gmtoff) << t;
    }
  }
}

}  // namespace
