// The atol-style number reader behind every number taken from a record, a
// command line, a form or a CSV field: what it steps over, where it stops,
// and how it holds a number to its limit and bounds.
#include "eventlog/number.h"

#include <gtest/gtest.h>

#include <climits>

TEST(NumberRead, BlanksSignDigitsAndTheLimit) {
  const struct {
    const char* Text;
    uint64_t Limit;
    uint64_t Magnitude;
    bool Negative, Over;
    int Digits, End;  // offsets into Text
  } cases[] = {
      {"", 100, 0, false, false, 0, 0},
      {" \t\n\v\f\r-12x", 100, 12, true, false, 7, 9},
      {"- 5", 100, 0, true, false, 1, 1},  // a blank after the sign ends the number
      {"100", 100, 100, false, false, 0, 3},
      {"101", 100, 100, false, true, 0, 3},
      {"18446744073709551615", UINT64_MAX, UINT64_MAX, false, false, 0, 20},
      {"18446744073709551616", UINT64_MAX, UINT64_MAX, false, true, 0, 20},
      {"1", 0, 0, false, true, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    NumberText n;
    NumberRead(c.Text, c.Limit, &n);
    EXPECT_EQ(n.Magnitude, c.Magnitude);
    EXPECT_EQ(n.Negative, c.Negative);
    EXPECT_EQ(n.Over, c.Over);
    EXPECT_EQ(n.Digits - c.Text, c.Digits);
    EXPECT_EQ(n.End - c.Text, c.End);
  }
}

TEST(NumberAtol, HeldToItsBounds) {
  const struct {
    const char* Text;
    int64_t Low, High, Want;
  } cases[] = {
      {"-0", -1, 9, 0},
      {"-5", -1, 9, -1},
      {"2147483648", INT32_MIN, INT32_MAX, INT32_MAX},
      {"-99999999999999999999", INT64_MIN, INT64_MAX, INT64_MIN},
      {"9223372036854775807", INT64_MIN, INT64_MAX, INT64_MAX},
      {"-9223372036854775807", INT64_MIN, INT64_MAX, -INT64_MAX},
      {"-3", 0, 5, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NumberAtol(c.Text, c.Low, c.High), c.Want) << c.Text;
  }
}
