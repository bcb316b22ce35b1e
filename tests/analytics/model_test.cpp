// The session rules and the busy figures on small hand-worked logs: each
// case states the sessions in the order they end and the seconds at exactly
// k lines in use over the time the logs cover.
#include "analytics/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <numeric>

#include "analytics/busy.h"
#include "answerlog.h"
#include "support/bytes.h"
#include "tools/evtwrite.h"

namespace {

struct ModelCase {
  const char* Name;                          // what it shows
  std::vector<std::vector<AnswerRec>> Logs;  // one record list per log
  std::vector<std::string> Sessions;         // as SessionLines gives them
  std::vector<int64_t> TimeAt;               // seconds at 0, 1, 2... lines
  int64_t Lines;                             // N for the all-busy seconds (0: none)
  int64_t AllBusy;                           // seconds with N lines busy
};

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC0", 1);
    tzset();
    ZoneInit(&zone_);
  }
  std::vector<std::string> Write(const std::vector<std::vector<AnswerRec>>& logs) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < logs.size(); ++i) {
      paths.push_back(folder_.Log("log" + std::to_string(i) + ".evt", logs[i]));
    }
    return paths;
  }
  TestFolder folder_;
  ZoneCache zone_;
};

const std::vector<ModelCase>& Cases() {
  static const std::vector<ModelCase> cases = {
      {"connect and disconnect",
       {{Other("08:00"), Connect("09:00", "alice", "COM1"), Connect("09:30", "bob", "COM2"),
         Disconnect("10:00", "alice", "COM1", "60", "0"),
         Disconnect("11:00", "bob", "COM2", "90", "0"), Other("12:00")}},
       {"RAS1 COM1 alice 09:00:00-10:00:00 connect/disconnect 3600 #2-4",
        "RAS1 COM2 bob 09:30:00-11:00:00 connect/disconnect 5400 #3-5"},
       {7200, 5400, 1800},
       2,
       1800},
      {"a connect on a busy port replaces its session",
       {{Other("08:00"), Connect("09:00", "alice", "COM1"), Connect("09:30", "bob", "COM1"),
         Disconnect("10:00", "bob", "COM1", "30", "0"), Other("11:00")}},
       {"RAS1 COM1 alice 09:00:00-09:30:00 connect/replaced - #2-3",
        "RAS1 COM1 bob 09:30:00-10:00:00 connect/disconnect 1800 #3-4"},
       {7200, 3600},
       1,
       3600},
      {"resets close every session; a later disconnect starts no earlier than the reset",
       {{Other("08:00"), Connect("09:00", "alice", "COM1"), Connect("09:15", "bob", "COM2"),
         Reset("09:30"), Disconnect("09:40", "alice", "COM1", "40", "0"),
         Connect("10:00", "carol", "COM1"), Reset("10:30", 8033), Other("11:00")}},
       {"RAS1 COM1 alice 09:00:00-09:30:00 connect/reset - #2-4",
        "RAS1 COM2 bob 09:15:00-09:30:00 connect/reset - #3-4",
        "RAS1 COM1 alice 09:30:00-09:40:00 rebuilt/disconnect 2400 #--5",
        "RAS1 COM1 carol 10:00:00-10:30:00 connect/reset - #6-7"},
       {6600, 3300, 900},
       0,
       0},
      {"rebuilt from before the log, open at its end",
       {{Other("08:00"), Disconnect("09:00", "carol", "COM3", "120", "30"),
         Connect("10:00", "dave", "COM1"), Other("11:00")}},
       {"RAS1 COM3 carol 06:59:30-09:00:00 rebuilt/disconnect 7230 #--2",
        "RAS1 COM1 dave 10:00:00-11:00:00 connect/open - #3--"},
       {3600, 7200},
       0,
       0},
      {"two servers: lines add up",
       {{Other("08:00"), Connect("09:00", "alice", "COM1"),
         Disconnect("11:00", "alice", "COM1", "120", "0"), Other("12:00")},
        {Other("08:30", "RAS2"), Connect("10:00", "bob", "COM1", "RAS2"),
         Disconnect("10:30", "bob", "COM1", "30", "0", "RAS2"), Other("11:30", "RAS2")}},
       {"RAS2 COM1 bob 10:00:00-10:30:00 connect/disconnect 1800 #2-3",
        "RAS1 COM1 alice 09:00:00-11:00:00 connect/disconnect 7200 #2-3"},
       {7200, 5400, 1800},
       2,
       1800},
      {"time no log covers is not counted",
       {{Other("08:00"), Connect("09:00", "alice", "COM1"),
         Disconnect("09:30", "alice", "COM1", "30", "0"), Other("10:00")},
        {Other("12:00", "RAS2"), Connect("12:30", "bob", "COM2", "RAS2"), Other("13:00", "RAS2")}},
       {"RAS1 COM1 alice 09:00:00-09:30:00 connect/disconnect 1800 #2-3",
        "RAS2 COM2 bob 12:30:00-13:00:00 connect/open - #2--"},
       {7200, 3600},
       1,
       3600},
      {"rebuilt across midnight",
       {{Other("2026-12-07T23:55:00"), Disconnect("00:10", "eve", "COM1", "20", "0"),
         Other("01:00")}},
       {"RAS1 COM1 eve 2026-12-07T23:50:00Z-00:10:00 rebuilt/disconnect 1200 #--2"},
       {3000, 900},
       0,
       0},
      {"a clock set back and negative connected times",
       {{Other("08:00"), Connect("09:00", "alice", "COM1"),
         Disconnect("08:30", "alice", "COM1", "-5", "0"),
         Disconnect("10:00", "bob", "COM2", "-5", "0"), Other("11:00")}},
       {"RAS1 COM1 alice 09:00:00-09:00:00 connect/disconnect -300 #2-3",
        "RAS1 COM2 bob 10:00:00-10:00:00 rebuilt/disconnect -300 #--4"},
       {10800},
       0,
       0},
      {"a connected time past 32 bits is held as the report holds it",
       {{Other("08:00"), Connect("09:00", "alice", "COM1"),
         Disconnect("10:00", "alice", "COM1", "35791394", "8"), Other("11:00")}},
       {"RAS1 COM1 alice 09:00:00-10:00:00 connect/disconnect 2147483647 #2-3"},
       {7200, 3600},
       1,
       3600},
      {"the computer of the record keys the port; records without strings pass",
       {{Connect("09:00", "alice", "COM1"), Connect("09:00", "bob", "COM1", "RAS2"),
         AnswerRec{"09:10", "RAS1", 20050, {}}, AnswerRec{"09:20", "RAS1", 20017, {}},
         Other("10:00")}},
       {"RAS1 COM1 alice 09:00:00-10:00:00 connect/open - #1--",
        "RAS2 COM1 bob 09:00:00-10:00:00 connect/open - #2--"},
       {0, 0, 3600},
       2,
       3600},
  };
  return cases;
}

TEST_F(ModelTest, HandWorkedLogs) {
  for (const ModelCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> paths = Write(c.Logs);
    EXPECT_EQ(SessionLines(paths), c.Sessions);
    BusyModel b;
    BusyInit(&b, kStepHour, kAlways, kForever, c.Lines, &zone_);
    ModelFailure failure = {};
    ASSERT_TRUE(RunBusy(paths, &b, &failure)) << failure.Text;
    EXPECT_EQ(b.TimeAt, c.TimeAt);
    BusyFigures total = BusyTotal(&b);
    int64_t weighted = 0;
    for (size_t k = 0; k < c.TimeAt.size(); ++k) weighted += (int64_t)k * c.TimeAt[k];
    EXPECT_EQ(total.Covered, std::accumulate(c.TimeAt.begin(), c.TimeAt.end(), (int64_t)0));
    EXPECT_EQ(total.LineSeconds, weighted);
    EXPECT_EQ(total.AllBusy, c.AllBusy);
    EXPECT_EQ(total.Peak, (int32_t)c.TimeAt.size() - 1);
  }
}

// The figures of one bucket: start, covered, line-seconds, peak, connects.
struct RowWant {
  std::string Start;
  int64_t Covered, LineSeconds;
  int32_t Peak;
  uint64_t Connects;
};

void ExpectRows(const BusyModel& b, const std::vector<RowWant>& want) {
  ASSERT_EQ(b.Rows.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].Start);
    EXPECT_EQ(b.Rows[i].Start, TestTime(want[i].Start));
    EXPECT_EQ(b.Rows[i].Sum.Covered, want[i].Covered);
    EXPECT_EQ(b.Rows[i].Sum.LineSeconds, want[i].LineSeconds);
    EXPECT_EQ(b.Rows[i].Sum.Peak, want[i].Peak);
    EXPECT_EQ(b.Rows[i].Sum.Connects, want[i].Connects);
  }
}

TEST_F(ModelTest, RebuiltSessionCountsForTheNewDay) {
  // A user on from 23:50 to 00:10 whose connect the log does not hold.
  std::vector<std::string> paths = Write(Cases()[6].Logs);
  BusyModel b;
  BusyInit(&b, kStepDay, kAlways, kForever, 0, &zone_);
  ModelFailure failure = {};
  ASSERT_TRUE(RunBusy(paths, &b, &failure));
  ExpectRows(b, {{"2026-12-07T00:00:00", 300, 300, 1, 0}, {"00:00", 3600, 600, 1, 0}});
}

TEST_F(ModelTest, RangeCutsSessionsAndReachesBeforeTheLog) {
  std::vector<std::string> paths = Write(Cases()[0].Logs);
  BusyModel b;
  BusyInit(&b, kStepHour, TestTime("06:00"), TestTime("09:45"), 2, &zone_);
  ModelFailure failure = {};
  ASSERT_TRUE(RunBusy(paths, &b, &failure));
  ExpectRows(b, {{"06:00", 0, 0, 0, 0},
                 {"07:00", 0, 0, 0, 0},
                 {"08:00", 3600, 0, 0, 0},
                 {"09:00", 2700, 2700 + 900, 2, 2}});
  EXPECT_EQ(b.Rows[3].Sum.AllBusy, 900);
  EXPECT_EQ(b.TimeAt, (std::vector<int64_t>{3600, 1800, 900}));
}

TEST_F(ModelTest, CoverageGapLeavesEmptyBuckets) {
  std::vector<std::string> paths = Write(Cases()[5].Logs);
  BusyModel b;
  BusyInit(&b, kStepHour, kAlways, kForever, 0, &zone_);
  ModelFailure failure = {};
  ASSERT_TRUE(RunBusy(paths, &b, &failure));
  ExpectRows(b, {{"08:00", 3600, 0, 0, 0},
                 {"09:00", 3600, 1800, 1, 1},
                 {"10:00", 0, 0, 0, 0},
                 {"11:00", 0, 0, 0, 0},
                 {"12:00", 3600, 1800, 1, 1}});
}

TEST_F(ModelTest, FactsCountRecordsInTheRange) {
  std::vector<std::string> paths = Write(Cases()[2].Logs);
  std::vector<const char*> list = {paths[0].c_str()};
  std::vector<HistoryFacts> facts;
  ModelListener none = {};
  ModelFailure failure = {};
  ASSERT_TRUE(
      ModelReadLogs(list.data(), 1, &none, &facts, TestTime("09:10"), TestTime("10:30"), &failure));
  ASSERT_EQ(facts.size(), 1u);
  ASSERT_EQ(facts[0].Files.size(), 1u);
  const LogFacts& f = facts[0].Files[0];
  EXPECT_EQ(f.Oldest, 1u);
  EXPECT_EQ(f.Count, 8u);
  EXPECT_EQ(f.FirstTime, TestTime("08:00"));
  EXPECT_EQ(f.LastTime, TestTime("11:00"));
  EXPECT_EQ(f.Connects, 2u);
  EXPECT_EQ(f.Disconnects, 1u);
  EXPECT_EQ(f.Resets, 1u);
  EXPECT_EQ(f.Ports, (std::set<std::string>{"COM1", "COM2"}));
  EXPECT_EQ(f.Users, (std::set<std::string>{"alice", "bob", "carol"}));
  EXPECT_TRUE(f.Header.Known);
  EXPECT_FALSE(f.Header.Dirty);
  EXPECT_FALSE(f.Header.Wrapped);
}

// Overwrites the little-endian dword of the file at offset with value.
void Patch(const std::string& path, size_t offset, uint32_t value) {
  Bytes bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), offset + 4);
  Put32(&bytes, offset, value);
  WriteBytes(path, bytes);
}

TEST_F(ModelTest, WrappedAndDirtyLogsReadAsTheReportReadsThem) {
  std::vector<AnswerRec> recs;
  for (int i = 0; i < 40; ++i) {
    std::string at = "09:" + std::string(i < 10 ? "0" : "") + std::to_string(i);
    recs.push_back(i % 2 == 0 ? Connect(at, "u" + std::to_string(i % 3), "COM1")
                              : Disconnect(at, "u1", "COM1", "1", "0"));
  }
  std::string plain = folder_.Log("plain.evt", recs);
  std::string wrapped = folder_.Log("wrapped.evt", recs, 2048);
  std::vector<std::string> all = SessionLines({plain});
  std::vector<std::string> kept = SessionLines({wrapped});
  ASSERT_FALSE(kept.empty());
  ASSERT_LT(kept.size(), all.size());
  // The oldest surviving record may be a disconnect, rebuilt; the rest agree.
  EXPECT_TRUE(std::equal(kept.rbegin(), kept.rend() - 1, all.rbegin()));
  Patch(wrapped, kEvtHdrFlags,
        kEvtFlagDirty | kEvtFlagWrap);  // dirty and wrapped, as a server left running writes it
  EXPECT_EQ(SessionLines({wrapped}), kept);
  std::vector<const char*> list = {wrapped.c_str()};
  std::vector<HistoryFacts> facts;
  ModelListener none = {};
  ModelFailure failure = {};
  ASSERT_TRUE(ModelReadLogs(list.data(), 1, &none, &facts, kAlways, kForever, &failure));
  EXPECT_TRUE(facts[0].Files[0].Header.Dirty);
  EXPECT_TRUE(facts[0].Files[0].Header.Wrapped);
}

TEST_F(ModelTest, LogsThatCannotBeReadFailWithTheirReason) {
  std::vector<AnswerRec> recs, other;
  for (int i = 0; i < 20; ++i) {
    recs.push_back(Connect("09:" + std::to_string(10 + i), "u", "COM1"));
    other.push_back(Connect("09:" + std::to_string(10 + i), "u", "COM1", "RAS2"));
  }
  // A good log of another server beside each bad one.
  std::string good = folder_.Log("good.evt", other);
  std::string broken = folder_.Log("broken.evt", recs);
  // Every record has the same length; break the signature of record 12.
  std::vector<const char*> strings = {"DIALUP", "u", "COM1"};
  EvtRecordIn in = {};
  in.SourceName = "RemoteAccess";
  in.ComputerName = "RAS1";
  in.Strings = strings.data();
  in.NumStrings = 3;
  Patch(broken, kEvtHeaderSize + 11 * EvtRecordLength(&in) + kEvtRecReserved, 0);
  std::string text = folder_.Dir + "/notes.txt";
  FILE* f = fopen(text.c_str(), "w");
  fputs("not an event log, but long enough to be taken for its header......\n", f);
  fclose(f);
  const struct {
    std::string Path;
    const char* Reason;
  } cases[] = {
      {folder_.Dir + "/missing.evt", "No such file or directory"},
      {text, "not an accounting log nor an event log (tried evt, detail, nps, ias, nps-xml)"},
      {broken, "damaged: record 12 can't be read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    std::vector<const char*> list = {good.c_str(), c.Path.c_str()};
    int heard = 0;
    ModelListener l = {};
    l.Context = &heard;
    l.Ended = [](void* context, const Session*) { ++*(int*)context; };
    ModelFailure failure = {};
    EXPECT_FALSE(ModelReadLogs(list.data(), 2, &l, nullptr, kAlways, kForever, &failure));
    EXPECT_EQ(failure.Text, c.Path + ": " + c.Reason);
  }
}

}  // namespace
