// The one decoding of a RAS record, on records read back from a real log,
// and the small rules that go with it: the connected time, the name cut and
// the local time with its texts.
#include "eventlog/rasevent.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "eventlog/testlog.h"
#include "platform/environment.h"

namespace {

const uint32_t kInfo = 0x40000000u;       // the severity bits the service sets
const EventTime kDecember8 = 1796688000;  // 2026-12-08 00:00:00 UTC
const uint32_t kError = 0xC0000000u;

// Strings 1 to 9 of a disconnect with the connected time's texts.
std::vector<std::string> Disconnect(const std::string& minutes, const std::string& seconds) {
  return {"a", "alice", "COM1", "4", "5", "6", "7", minutes, seconds};
}

// What a decoding gives.
struct Decoded {
  RasKind Kind;          // what the record says happened
  const char* Computer;  // its computer name, when wanted
  const char* User;      // string 2
  const char* Port;      // string 3
  int32_t Seconds;       // the connected time, when wanted
};

struct DecodeCase {
  const char* Name;   // what it shows
  TestRecord Record;  // written to the log and read back
  unsigned Want;      // RAS_WANT_ flags
  Decoded Got;        // what RasDecode gives
};

const DecodeCase kDecodeCases[] = {
    {"connect with its computer",
     {100, kInfo | 20017, {"a", "alice", "COM1"}},
     RAS_WANT_COMPUTER,
     {RAS_CONNECT, "RAS1", "alice", "COM1", 0}},
    {"only the low 16 bits are the code",
     {100, kError | 20017, {"a", "bob", "COM2"}},
     0,
     {RAS_CONNECT, "", "bob", "COM2", 0}},
    {"a connect without strings is passed over",
     {100, kInfo | 20017, {}},
     RAS_WANT_COMPUTER,
     {RAS_OTHER, "", "", "", 0}},
    {"a disconnect without strings is passed over",
     {100, kInfo | 20050, {}},
     RAS_WANT_SECONDS,
     {RAS_OTHER, "", "", "", 0}},
    {"missing strings read as empty", {100, kInfo | 20017, {"a"}}, 0, {RAS_CONNECT, "", "", "", 0}},
    {"a disconnect's time only when wanted",
     {100, kInfo | 20050, Disconnect("90", "5")},
     0,
     {RAS_DISCONNECT, "", "alice", "COM1", 0}},
    {"minutes and seconds",
     {100, kInfo | 20050, Disconnect("90", "5")},
     RAS_WANT_SECONDS,
     {RAS_DISCONNECT, "", "alice", "COM1", 5405}},
    {"a disconnect without strings 8 and 9",
     {100, kInfo | 20050, {"a", "alice", "COM1"}},
     RAS_WANT_SECONDS | RAS_WANT_COMPUTER,
     {RAS_DISCONNECT, "RAS1", "alice", "COM1", 0}},
    {"resets, strings unread",
     {100, 0x80000000u | 6005, {"a", "x", "y"}},
     RAS_WANT_COMPUTER,
     {RAS_RESET, "", "", "", 0}},
    {"the other reset", {100, kInfo | 8033, {}}, 0, {RAS_RESET, "", "", "", 0}},
    {"codes that are not handled",
     {100, 0x80000000u | 6006, {"a", "b", "c"}},
     0,
     {RAS_OTHER, "", "", "", 0}},
    {"a code beside the connect's",
     {100, kInfo | 20018, {"a", "b", "c"}},
     0,
     {RAS_OTHER, "", "", "", 0}},
};

// Connected times from their texts, as both the report and the answers
// take them.
struct SecondsCase {
  const char* Minutes;  // string 8
  const char* Seconds;  // string 9
  int32_t Want;
};

const SecondsCase kSecondsCases[] = {
    {" 2x", "+3", 123},
    {"", "abc", 0},
    {"-1", "30", -30},
    {"-2", "", -120},
    {"35791394", "0", 2147483640},  // 35791394 minutes: the last whole minute
    {"35791394", "8", INT32_MAX},   // one second past the range
    {"99999999999999999999999", "0", INT32_MAX},
    {"-99999999999999999999", "-5", INT32_MIN},
};

}  // namespace

TEST(RasDecode, RecordsOfEveryKind) {
  std::vector<TestRecord> records;
  for (const DecodeCase& c : kDecodeCases) records.push_back(c.Record);
  for (const SecondsCase& c : kSecondsCases) {
    records.push_back({200, kInfo | 20050, Disconnect(c.Minutes, c.Seconds)});
  }
  TestLog log;
  std::string why;
  ASSERT_TRUE(TestLogMake(&log, records, 1, &why)) << why;
  DWORD capacity = 0;
  BYTE* buffer = NewRecordBuffer(&capacity);
  ASSERT_NE(buffer, nullptr);
  const char* message = nullptr;
  DWORD number = 1;
  for (const DecodeCase& c : kDecodeCases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(ReadRec(log.Handle, number++, &buffer, &capacity, &message), 1) << message;
    RasEvent ev;
    RasDecode(buffer, capacity, c.Want, &ev);
    EXPECT_EQ(ev.Kind, c.Got.Kind);
    EXPECT_EQ(ev.Code, static_cast<int>(c.Record.EventId & 0xFFFF));
    EXPECT_STREQ(ev.Computer, c.Got.Computer);
    EXPECT_STREQ(ev.User, c.Got.User);
    EXPECT_STREQ(ev.Port, c.Got.Port);
    EXPECT_EQ(ev.Seconds, c.Got.Seconds);
  }
  for (const SecondsCase& c : kSecondsCases) {
    SCOPED_TRACE(std::string(c.Minutes) + " " + c.Seconds);
    ASSERT_EQ(ReadRec(log.Handle, number++, &buffer, &capacity, &message), 1) << message;
    RasEvent ev;
    RasDecode(buffer, capacity, RAS_WANT_SECONDS, &ev);
    EXPECT_EQ(ev.Seconds, c.Want);
    EXPECT_EQ(RasConnectedSeconds(c.Minutes, c.Seconds), c.Want);
  }
  free(buffer);
  TestLogRemove(&log);
}

// The cut's own rules beyond those the port table's columns show: the
// width has no bound of its own.
TEST(RasNameCut, WidthsOutsideTheColumns) {
  const struct {
    const char* Name;
    int Width;
    size_t Kept;
  } cases[] = {
      {"abc", 0, 1},
      {"\xC3\xA9mile", -3, 2},
      {"a name of thirty bytes, longer", 25, 25},
  };
  for (const auto& c : cases) EXPECT_EQ(RasNameCut(c.Name, c.Width), c.Kept) << c.Name;
}

TEST(RasLocalTime, FollowsTheZoneAndRefusesWhatItCannotShow) {
  setenv("TZ", "EST5", 1);
  PlatformReadZone();
  struct tm tm;
  ASSERT_EQ(RasLocalTime(0, &tm), 1);
  EXPECT_EQ(tm.tm_year, 69);
  EXPECT_EQ(tm.tm_hour, 19);
  EXPECT_EQ(RasLocalTime(INT64_MAX, &tm), 0);
  unsetenv("TZ");
  PlatformReadZone();
}

TEST(RasLocalTime, TimeTextsFollowTz) {
  const struct {
    const char* Tz;
    EventTime When;
    const char* Date;
    const char* Time;
    int Day;
  } cases[] = {
      {"UTC0", kDecember8 + 4 * 3600, "08 Dec 2026", "04:00:00", 8},
      {"SGT-8", kDecember8 - 1, "08 Dec 2026", "07:59:59", 8},
      {"SGT-8", kDecember8 + 16 * 3600, "09 Dec 2026", "00:00:00", 9},
      {"UTC0", 0, "01 Jan 1970", "00:00:00", 1},
      // Past 2038 a record time read as unsigned still has its date.
      {"UTC0", 0xFFFFFFFFLL, "07 Feb 2106", "06:28:15", 7},
      {"UTC0", 2200000000LL, "18 Sep 2039", "23:06:40", 18},
  };
  for (const auto& c : cases) {
    setenv("TZ", c.Tz, 1);
    PlatformReadZone();
    TimeTexts texts;
    FormatTimeTexts(c.When, &texts);
    EXPECT_STREQ(texts.Date, c.Date) << c.When;
    EXPECT_STREQ(texts.Time, c.Time) << c.When;
    EXPECT_EQ(texts.Day, c.Day) << c.When;
  }
  unsetenv("TZ");
  PlatformReadZone();
}
