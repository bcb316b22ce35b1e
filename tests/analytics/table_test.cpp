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

// One row of cells under two columns, as format writes it (heading and all),
// to a terminal when terminal is set.
std::string OneRow(AnswerFormat format, Cell a, Cell b, bool terminal = false) {
  static const Column kColumns[] = {{"a", 4, true, kCellInt, nullptr},
                                    {"b", 0, false, kCellText, nullptr}};
  return Written([&](FILE* out) {
    OutBuf* o = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
    OutInit(o, out);
    o->Terminal = terminal;
    ZoneCache zone;
    ZoneInit(&zone);
    Table t;
    TableStart(&t, o, format, kColumns, 2, &zone, "t");
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

// JSON is UTF-8 whatever the bytes of a name: each byte that is no part of
// a character becomes U+FFFD. Text for a terminal shows controls as '?';
// text for a file or a pipe, and CSV, keep the bytes as they are.
TEST(AnswerTable, JsonIsUtf8AndTerminalsGetNoControls) {
  const struct {
    const char* Name;
    const char* Json;      // the JSON string
    const char* Terminal;  // the text a terminal gets
  } cases[] = {
      {"Zo\xC3\xAB \xE6\x97\xA5 \xF0\x9F\x98\x80", "\"Zo\xC3\xAB \xE6\x97\xA5 \xF0\x9F\x98\x80\"",
       "Zo\xC3\xAB \xE6\x97\xA5 \xF0\x9F\x98\x80"},
      {"x\xFF.evt", "\"x\xEF\xBF\xBD.evt\"", "x?.evt"},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", "??"},                   // overlong '/'
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", "???"},  // a surrogate
      {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", "????"},
      {"cut\xE6\x97", "\"cut\xEF\xBF\xBD\xEF\xBF\xBD\"", "cut??"},
      {"\x1B[31mred\x7F", "\"\\u001b[31mred\x7F\"", "?[31mred?"},
      {"a\xC2\x9B"
       "2J\xC2\xA0"
       "b",
       "\"a\xC2\x9B"
       "2J\xC2\xA0"
       "b\"",
       "a?2J\xC2\xA0"
       "b"},  // C1 CSI
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string json = OneRow(kFormatNdjson, IntCell(1), TextCell(c.Name));
    EXPECT_EQ(json, std::string("{\"a\": 1, \"b\": ") + c.Json + "}\n");
    std::string text = OneRow(kFormatText, IntCell(1), TextCell(c.Name), true);
    EXPECT_EQ(text.substr(text.find('\n') + 1), std::string("   1  ") + c.Terminal + "\n");
    std::string plain = OneRow(kFormatText, IntCell(1), TextCell(c.Name));
    EXPECT_EQ(plain.substr(plain.find('\n') + 1), std::string("   1  ") + c.Name + "\n");
  }
}

// A duration is h:mm:ss for people, hours unbounded, and seconds for
// programs: CSV, JSON and SQL.
TEST(AnswerTable, DurationsAreClockTimeInTextOnly) {
  const struct {
    int64_t Seconds;
    const char* Text;
  } cases[] = {
      {0, "0:00:00"},
      {59, "0:00:59"},
      {3661, "1:01:01"},
      {360000, "100:00:00"},
      {-5, "-0:00:05"},
      {INT64_MIN, "-2562047788015215:30:08"},
      {INT64_MAX, "2562047788015215:30:07"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Seconds);
    std::string text = OneRow(kFormatText, SecondsCell(c.Seconds), NullCell());
    EXPECT_EQ(text.substr(text.find('\n') + 1), std::string(c.Text) + "  \n");
    std::string number = std::to_string(c.Seconds);
    std::string csv = OneRow(kFormatCsv, SecondsCell(c.Seconds), NullCell());
    EXPECT_EQ(csv.substr(csv.find('\n') + 1), number + ",\n");
    EXPECT_EQ(OneRow(kFormatNdjson, SecondsCell(c.Seconds), NullCell()),
              "{\"a\": " + number + ", \"b\": null}\n");
  }
}

// SQL: a name from a log is a literal sqlite3 reads back as its bytes, in
// quotes when it is plain UTF-8 and as hex bytes when it holds anything
// that could end a literal, a statement or a line, or is no UTF-8.
TEST(AnswerTable, SqlKeepsEveryNameWhole) {
  const struct {
    const char* Name;
    const char* Sql;
  } cases[] = {
      {"alice", "'alice'"},
      {"o'brien", "'o''brien'"},
      {"Zo\xC3\xAB", "'Zo\xC3\xAB'"},
      {"", "''"},
      {"a;\nDROP TABLE x;", "CAST(X'613B0A44524F50205441424C4520783B' AS TEXT)"},
      {"x\xFF'", "CAST(X'78FF27' AS TEXT)"},
      {"\x1B[31m", "CAST(X'1B5B33316D' AS TEXT)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string sql = OneRow(kFormatSql, IntCell(1), TextCell(c.Name));
    EXPECT_EQ(sql.substr(sql.find("INSERT")),
              std::string("INSERT INTO \"t\" VALUES (1,") + c.Sql + ");\n");
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
