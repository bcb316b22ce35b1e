// The answers' row writer: integers at their limits and signs, and which
// CSV cells are quoted, in text and CSV alike; times in a zone whose
// quarter hours lie before 1970 as well as after, one cache across days.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "answers/answers.h"
#include "tests/support/capture.h"

namespace {

// One row of cells under two columns, as format writes it (heading and all).
std::string OneRow(AnswerFormat format, Cell a, Cell b) {
  static const Column kColumns[] = {{"a", 4, true}, {"b", 0, false}};
  return Written([&](FILE* out) {
    OutBuf* o = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
    OutInit(o, out);
    ZoneCache zone;
    ZoneInit(&zone);
    Table t;
    TableStart(&t, o, format, kColumns, 2, &zone);
    Cell cells[] = {a, b};
    TableRow(&t, cells);
    OutFlush(o);
    free(o);
  });
}

TEST(AnswerTable, IntegersAndQuotingInTextAndCsv) {
  const struct {
    Cell A, B;
    const char* Csv;   // the data row in CSV
    const char* Text;  // the data row as text
  } cases[] = {
      {IntCell(0), TextCell("x"), "0,x\n", "   0  x\n"},
      {IntCell(-1), TextCell("a,b"), "-1,\"a,b\"\n", "  -1  a,b\n"},
      {IntCell(INT64_MAX), TextCell("say \"hi\""), "9223372036854775807,\"say \"\"hi\"\"\"\n",
       "9223372036854775807  say \"hi\"\n"},
      {IntCell(INT64_MIN), NullCell(), "-9223372036854775808,\n", "-9223372036854775808  \n"},
      {IntCell(1234), BoolCell(true), "1234,true\n", "1234  true\n"},
  };
  for (const auto& c : cases) {
    std::string csv = OneRow(kFormatCsv, c.A, c.B);
    EXPECT_EQ(csv.substr(csv.find('\n') + 1), c.Csv);
    std::string text = OneRow(kFormatText, c.A, c.B);
    EXPECT_EQ(text.substr(text.find('\n') + 1), c.Text);
  }
}

TEST(AnswerTable, TimesOnEitherSideOf1970) {
  setenv("TZ", "SGT-8", 1);
  tzset();
  const struct {
    EventTime When;
    const char* Csv;
  } cases[] = {
      {0, "0,1970-01-01T08:00:00+08:00\n"},
      {-1, "0,1970-01-01T07:59:59+08:00\n"},
      {-900 * 64 - 1, "0,1969-12-31T15:59:59+08:00\n"},  // the same slot as -1, a day apart
      {1796810707, "0,2026-12-09T18:05:07+08:00\n"},
  };
  for (const auto& c : cases) {
    std::string csv = OneRow(kFormatCsv, IntCell(0), TimeCell(c.When));
    EXPECT_EQ(csv.substr(csv.find('\n') + 1), c.Csv) << c.When;
  }
}

}  // namespace

// One cache formats times back and forth across midnight and across years,
// as a session list does with its starts and ends.
TEST(AnswerTable, OneZoneCacheAcrossDays) {
  setenv("TZ", "SGT-8", 1);
  tzset();
  ZoneCache zone;
  ZoneInit(&zone);
  const struct {
    EventTime When;
    const char* Text;
  } steps[] = {
      {1796745599, "2026-12-08T23:59:59+08:00"}, {1796745600, "2026-12-09T00:00:00+08:00"},
      {1796745599, "2026-12-08T23:59:59+08:00"}, {-57601, "1969-12-31T15:59:59+08:00"},
      {-1, "1970-01-01T07:59:59+08:00"},         {1796745600, "2026-12-09T00:00:00+08:00"},
  };
  for (const auto& s : steps) {
    char text[kIsoTextSize];
    EXPECT_EQ(ZoneFormat(&zone, s.When, text), strlen(s.Text));
    EXPECT_STREQ(text, s.Text) << s.When;
  }
}
