// The command-line rules: argument 1 is always the offset, options by their
// second character, computer names by two backslashes, titles in order,
// and the finishing steps (default title, width bounds, the TZ assignment).
#include "driver/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ArgCase {
  std::vector<const char*> Args;  // after the program name
  int32_t Offset;
  const char* Computer;  // expected ComputerName, or null
  const char* Title1;    // expected Title1, or null
  const char* Title2;    // expected Title2 after the finishing steps
  int32_t Duration;
  int32_t Width;
  const char* Tz;  // expected TZ field, or null
  bool Tabulated, GeneralStats, PortStats, UserStats, Listing;
};

ReportOptions Parse(const ArgCase& c) {
  std::vector<char*> argv{const_cast<char*>("velmar")};
  for (const char* a : c.Args) argv.push_back(const_cast<char*>(a));
  ReportOptions opts;
  OptionsInit(&opts);
  OptionsFromArgs(&opts, static_cast<int>(argv.size()), argv.data());
  return opts;
}

void ExpectText(const char* want, const char* got, size_t row) {
  if (want == nullptr) {
    EXPECT_EQ(got, nullptr) << "row " << row;
  } else {
    ASSERT_NE(got, nullptr) << "row " << row;
    EXPECT_STREQ(want, got) << "row " << row;
  }
}

}  // namespace

TEST(Options, CommandLineRules) {
  // clang-format off
  const ArgCase cases[] = {
      // An option in the offset place is read as the offset.
      {{"+t"}, 0, nullptr, nullptr, "Velmar", 0, 8, nullptr, false, false, false, false, true},
      {{"-1", "\\\\RAS1", "Monthly"}, -1, "\\\\RAS1", "Monthly", "Velmar", 0, 8, nullptr,
       false, false, false, false, true},
      {{"0", "One", "Two", "Three"}, 0, nullptr, "One", "Two", 0, 8, nullptr,
       false, false, false, false, true},
      {{"0", "+w30"}, 0, nullptr, nullptr, "Velmar", 0, 20, nullptr,
       false, false, false, false, true},
      {{"0", "+w0"}, 0, nullptr, nullptr, "Velmar", 0, 1, nullptr,
       false, false, false, false, true},
      {{"0", "+w-4"}, 0, nullptr, nullptr, "Velmar", 0, 1, nullptr,
       false, false, false, false, true},
      {{"0", "+w12x"}, 0, nullptr, nullptr, "Velmar", 0, 12, nullptr,
       false, false, false, false, true},
      {{"0", "-x", "-list", "+tab"}, 0, nullptr, nullptr, "Velmar", 0, 8, nullptr,
       true, false, false, false, false},
      {{"0", "+g", "+p", "+u", "+q", "+"}, 0, nullptr, nullptr, "Velmar", 0, 8, nullptr,
       false, true, true, true, true},
      {{"2", "+d36", "+zUTC0"}, 2, nullptr, nullptr, "Velmar", 36, 8, "UTC0",
       false, false, false, false, true},
      {{"0", "+d", "+z"}, 0, nullptr, nullptr, "Velmar", 0, 8, "",
       false, false, false, false, true},
      // The last computer name counts; one backslash makes a title.
      {{"0", "\\\\A", "\\one", "\\\\B"}, 0, "\\\\B", "\\one", "Velmar", 0, 8, nullptr,
       false, false, false, false, true},
      // Numbers as atol reads them, held to 32 bits.
      {{" 7days"}, 7, nullptr, nullptr, "Velmar", 0, 8, nullptr, false, false, false, false, true},
      {{"abc"}, 0, nullptr, nullptr, "Velmar", 0, 8, nullptr, false, false, false, false, true},
      {{"-99999999999"}, INT32_MIN, nullptr, nullptr, "Velmar", 0, 8, nullptr,
       false, false, false, false, true},
      {{"99999999999"}, INT32_MAX, nullptr, nullptr, "Velmar", 0, 8, nullptr,
       false, false, false, false, true},
  };
  // clang-format on
  for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row) {
    const ArgCase& c = cases[row];
    ReportOptions opts = Parse(c);
    ExpectText(c.Tz, opts.TZ, row);
    opts.TZ = nullptr;  // the environment is tested on its own below
    EXPECT_EQ(OptionsFinish(&opts), 1) << "row " << row;
    EXPECT_EQ(opts.Offset, c.Offset) << "row " << row;
    ExpectText(c.Computer, opts.ComputerName, row);
    ExpectText(c.Title1, opts.Title1, row);
    ExpectText(c.Title2, opts.Title2, row);
    EXPECT_EQ(opts.Duration, c.Duration) << "row " << row;
    EXPECT_EQ(opts.Width, c.Width) << "row " << row;
    EXPECT_EQ(opts.Tabulated, c.Tabulated) << "row " << row;
    EXPECT_EQ(opts.GeneralStats, c.GeneralStats) << "row " << row;
    EXPECT_EQ(opts.PortStats, c.PortStats) << "row " << row;
    EXPECT_EQ(opts.UserStats, c.UserStats) << "row " << row;
    EXPECT_EQ(opts.Listing, c.Listing) << "row " << row;
  }
}

TEST(Options, TzAssignmentReachesTheEnvironment) {
  std::string longest(MAX_TZ_TEXT, 'A');
  std::string tooLong(MAX_TZ_TEXT + 1, 'B');
  ReportOptions opts;
  OptionsInit(&opts);

  opts.TZ = "EST5EDT";
  EXPECT_EQ(OptionsFinish(&opts), 1);
  ASSERT_NE(getenv("TZ"), nullptr);
  EXPECT_STREQ(getenv("TZ"), "EST5EDT");

  // 76 characters fill the 80-byte assignment exactly.
  opts.TZ = longest.c_str();
  EXPECT_EQ(OptionsFinish(&opts), 1);
  EXPECT_EQ(std::string(getenv("TZ")), longest);

  // One more is refused and the zone in force stays.
  opts.TZ = tooLong.c_str();
  EXPECT_EQ(OptionsFinish(&opts), 0);
  EXPECT_EQ(opts.TZ, nullptr);
  EXPECT_EQ(std::string(getenv("TZ")), longest);

  // An empty text removes TZ so that the report's default applies.
  opts.TZ = "";
  EXPECT_EQ(OptionsFinish(&opts), 1);
  EXPECT_EQ(getenv("TZ"), nullptr);
}
