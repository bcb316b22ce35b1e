// The environment and local time: a changed TZ is followed once the zone is
// read again (the C library need not notice it before), and TZ goes away.
#include "platform/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

}  // namespace
