// A server's logs as one history, on small hand-worked files: each case
// gives the files in the order given on the command line, the sessions in
// the order they end and the seconds at exactly k lines over the time the
// history covers; then the histories that can't be one, the warning for a
// log given twice, and what info learns of the joins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <numeric>

#include "analytics/busy.h"
#include "analytics/model.h"
#include "answerlog.h"
#include "sessioncheck.h"

namespace {

// One file: its records, numbered from First.
struct FileSpec {
  std::vector<AnswerRec> Recs;  // in record order
  uint32_t First;               // number of the first
};

struct HistoryCase {
  const char* Name;                   // what it shows
  std::vector<FileSpec> Files;        // in the order given
  std::vector<std::string> Sessions;  // as SessionLines gives them
  std::vector<int64_t> TimeAt;        // seconds at 0, 1, 2... lines
};

// What a run told: the sessions as lines, the warnings, and the check.
struct Heard {
  std::vector<std::string> Sessions;  // in the order they ended
  std::vector<std::string> Warnings;  // as the model worded them
  SessionCheck Check;                 // the stream's check
};

void HearSession(void* context, const Session* s) {
  Heard* h = static_cast<Heard*>(context);
  h->Sessions.push_back(SessionLine(s));
  ModelListener check = SessionCheckListener(&h->Check);
  check.Ended(check.Context, s);
}

void HearWarning(void* context, const char* text) {
  static_cast<Heard*>(context)->Warnings.push_back(text);
}

class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC0", 1);
    tzset();
    ZoneInit(&zone_);
  }
  std::vector<std::string> Write(const std::vector<FileSpec>& files) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < files.size(); ++i) {
      std::string name = std::string(1, static_cast<char>('A' + i)) + ".evt";
      paths.push_back(folder_.Log(name, files[i].Recs, 0, files[i].First));
    }
    return paths;
  }
  // Runs the model; returns its result, with *failure its message.
  int Run(const std::vector<std::string>& paths, Heard* heard, std::string* failure) {
    std::vector<const char*> list;
    for (const std::string& p : paths) list.push_back(p.c_str());
    ModelListener l = {};
    l.Context = heard;
    l.Ended = HearSession;
    l.Warning = HearWarning;
    ModelFailure f = {};
    int ok = ModelReadLogs(list.data(), static_cast<int>(list.size()), &l, nullptr, kAlways,
                           kForever, &f);
    *failure = f.Text;
    return ok;
  }
  TestFolder folder_;
  ZoneCache zone_;
};

AnswerRec Connect2(const std::string& when, const std::string& user) {
  return Connect(when, user, "COM1", "RAS2");
}

const std::vector<HistoryCase>& Cases() {
  static const std::vector<HistoryCase> cases = {
      {"a session open at a file's end goes on in the next, given first",
       {{{Disconnect("10:00", "alice", "COM1", "60", "0"), Other("11:00")}, 3},
        {{Other("08:00"), Connect("09:00", "alice", "COM1")}, 1}},
       {"RAS1 COM1 alice 09:00:00-10:00:00 connect/disconnect 3600 #2-3"},
       {7200, 3600}},
      {"records two copies share count once",
       {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Connect("09:30", "bob", "COM2")}, 1},
        {{Connect("09:00", "alice", "COM1"), Connect("09:30", "bob", "COM2"),
          Disconnect("10:00", "alice", "COM1", "60", "0"),
          Disconnect("10:30", "bob", "COM2", "60", "0"), Other("11:00")},
         2}},
       {"RAS1 COM1 alice 09:00:00-10:00:00 connect/disconnect 3600 #2-4",
        "RAS1 COM2 bob 09:30:00-10:30:00 connect/disconnect 3600 #3-5"},
       {5400, 3600, 1800}},
      {"a copy inside another adds nothing",
       {{{Connect("09:00", "alice", "COM1"), Disconnect("10:00", "alice", "COM1", "60", "0")}, 2},
        {{Other("08:00"), Connect("09:00", "alice", "COM1"),
          Disconnect("10:00", "alice", "COM1", "60", "0"), Other("11:00")},
         1}},
       {"RAS1 COM1 alice 09:00:00-10:00:00 connect/disconnect 3600 #2-3"},
       {7200, 3600}},
      {"the clock runs on across a join",
       {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Other("10:00")}, 1},
        {{Disconnect("09:30", "alice", "COM1", "30", "0"), Other("11:00")}, 4}},
       {"RAS1 COM1 alice 09:00:00-10:00:00 connect/disconnect 1800 #2-4"},
       {7200, 3600}},
      {"across a gap, a disconnect of the same user that reaches back goes on the session",
       {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Other("09:30")}, 1},
        {{Other("10:00"), Disconnect("10:30", "alice", "COM1", "90", "0"), Other("11:00")}, 1}},
       {"RAS1 COM1 alice 09:00:00-10:30:00 connect/disconnect 5400 #2-2"},
       {5400, 3600}},
      {"across a gap, anything else ends at its start, and holds rebuilt starts at its end",
       {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Connect("09:05", "bob", "COM2"),
          Connect("09:10", "carol", "COM3"), Other("09:30")},
         1},
        {{Other("10:00"), Connect("10:05", "dave", "COM1"),
          Disconnect("10:10", "erin", "COM2", "80", "0"),
          Disconnect("10:20", "carol", "COM3", "10", "0"),
          Disconnect("10:40", "dave", "COM1", "35", "0"), Other("11:00")},
         1}},
       {"RAS1 COM1 alice 09:00:00-09:30:00 connect/open - #2--",
        "RAS1 COM2 bob 09:05:00-09:30:00 connect/open - #3--",
        "RAS1 COM3 carol 09:10:00-09:30:00 connect/open - #4--",
        "RAS1 COM2 erin 10:00:00-10:10:00 rebuilt/disconnect 4800 #--3",
        "RAS1 COM3 carol 10:10:00-10:20:00 rebuilt/disconnect 600 #--4",
        "RAS1 COM1 dave 10:05:00-10:40:00 connect/disconnect 2100 #2-5"},
       {4800, 1800, 1200, 1200}},
      {"a reset read ahead ends the sessions whose port it comes before",
       {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Connect("09:10", "bob", "COM2"),
          Other("09:30")},
         1},
        {{Other("10:00"), Disconnect("10:05", "bob", "COM2", "65", "0"), Reset("10:10"),
          Disconnect("10:30", "alice", "COM1", "90", "0"), Other("11:00")},
         1}},
       {"RAS1 COM1 alice 09:00:00-09:30:00 connect/open - #2--",
        "RAS1 COM2 bob 09:10:00-10:05:00 connect/disconnect 3900 #3-2",
        "RAS1 COM1 alice 10:00:00-10:30:00 rebuilt/disconnect 5400 #--4"},
       {5400, 2100, 1500}},
      {"two servers' histories, their files given mixed, add up",
       {{{Disconnect("10:00", "alice", "COM1", "60", "0"), Other("11:00")}, 3},
        {{Other("08:30", "RAS2"), Connect2("09:30", "bob"),
          Disconnect("10:30", "bob", "COM1", "60", "0", "RAS2"), Other("11:30", "RAS2")},
         1},
        {{Other("08:00"), Connect("09:00", "alice", "COM1")}, 1}},
       {"RAS1 COM1 alice 09:00:00-10:00:00 connect/disconnect 3600 #2-3",
        "RAS2 COM1 bob 09:30:00-10:30:00 connect/disconnect 3600 #2-3"},
       {7200, 3600, 1800}},
  };
  return cases;
}

TEST_F(HistoryTest, HandWorkedHistories) {
  for (const HistoryCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> paths = Write(c.Files);
    Heard heard;
    std::string failure;
    ASSERT_TRUE(Run(paths, &heard, &failure)) << failure;
    EXPECT_EQ(heard.Sessions, c.Sessions);
    EXPECT_EQ(heard.Check.Faults, std::vector<std::string>());
    BusyModel b;
    BusyInit(&b, kStepHour, kAlways, kForever, 0, &zone_);
    ModelFailure f = {};
    ASSERT_TRUE(RunBusy(paths, &b, &f)) << f.Text;
    EXPECT_EQ(b.TimeAt, c.TimeAt);
    EXPECT_EQ(BusyTotal(&b).Covered,
              std::accumulate(c.TimeAt.begin(), c.TimeAt.end(), static_cast<int64_t>(0)));
  }
}

TEST_F(HistoryTest, AGapIsNotCoveredExactlyOverItsTime) {
  // The gap runs from 09:30, the last record before it, to 10:15.
  std::vector<std::string> paths = Write(
      {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Other("09:30")}, 1},
       {{Other("10:15"), Disconnect("10:30", "alice", "COM1", "90", "0"), Other("11:00")}, 1}});
  BusyModel b;
  BusyInit(&b, kStepHour, kAlways, kForever, 0, &zone_);
  ModelFailure f = {};
  ASSERT_TRUE(RunBusy(paths, &b, &f)) << f.Text;
  ASSERT_EQ(b.Rows.size(), 3u);
  const int64_t covered[] = {3600, 1800, 2700}, lines[] = {0, 1800, 900};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(b.Rows[i].Sum.Covered, covered[i]);
    EXPECT_EQ(b.Rows[i].Sum.LineSeconds, lines[i]);
  }
}

TEST_F(HistoryTest, LogsThatCannotBeOneHistoryFailNamingBoth) {
  const struct {
    const char* Name;
    std::vector<FileSpec> Files;
    const char* Failure;  // after the folder
  } cases[] = {
      {"copies that disagree at a record",
       {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Other("10:00")}, 1},
        {{Connect("09:00", "bob", "COM1"), Other("10:00"), Other("11:00")}, 2}},
       "/B.evt: record 2 differs from record 2 of DIR/A.evt: they can't both be the log of RAS1"},
      {"a later disagreement after the first shared record agrees",
       {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Other("10:00")}, 1},
        {{Connect("09:00", "alice", "COM1"), Other("10:30"), Other("11:00")}, 2}},
       "/B.evt: record 3 differs from record 3 of DIR/A.evt: they can't both be the log of RAS1"},
      {"numbers restarted inside the other's time",
       {{{Other("08:00"), Other("11:00")}, 1}, {{Other("09:00"), Other("12:00")}, 1}},
       "/B.evt: its records interleave in time with those of DIR/A.evt without being the same "
       "records: they can't both be the log of RAS1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> paths = Write(c.Files);
    Heard heard;
    std::string failure;
    EXPECT_FALSE(Run(paths, &heard, &failure));
    std::string want = folder_.Dir + c.Failure;
    want.replace(want.find("DIR", folder_.Dir.size()), 3, folder_.Dir);
    EXPECT_EQ(failure, want);
    EXPECT_TRUE(heard.Sessions.empty());
  }
}

TEST_F(HistoryTest, TheSameLogTwiceCountsOnceWithAWarning) {
  std::vector<AnswerRec> recs = {Other("08:00"), Connect("09:00", "alice", "COM1"),
                                 Disconnect("10:00", "alice", "COM1", "60", "0")};
  std::vector<std::string> paths = Write({{recs, 1}, {recs, 1}});
  for (const std::vector<std::string>& given : {std::vector<std::string>{paths[0], paths[0]},
                                                std::vector<std::string>{paths[1], paths[0]}}) {
    Heard heard;
    std::string failure;
    ASSERT_TRUE(Run(given, &heard, &failure)) << failure;
    EXPECT_EQ(
        heard.Sessions,
        std::vector<std::string>{"RAS1 COM1 alice 09:00:00-10:00:00 connect/disconnect 3600 #2-3"});
    EXPECT_EQ(heard.Warnings, std::vector<std::string>{given[1] + " holds the same records as " +
                                                       given[0] + ": they count once"});
  }
}

TEST_F(HistoryTest, InfoTellsHowEachFileJoins) {
  std::vector<std::string> paths = Write(
      {{{Other("08:00"), Connect("09:00", "alice", "COM1"), Other("09:30")}, 1},
       {{Connect("09:00", "alice", "COM1"), Other("09:30"), Connect("09:40", "bob", "COM2")}, 2},
       {{Other("10:00"), Disconnect("10:30", "bob", "COM2", "50", "0"), Reset("10:45")}, 1},
       {{}, 1}});
  std::vector<const char*> list = {paths[2].c_str(), paths[0].c_str(), paths[3].c_str(),
                                   paths[1].c_str()};
  std::vector<HistoryFacts> facts;
  ModelListener none = {};
  ModelFailure f = {};
  ASSERT_TRUE(ModelReadLogs(list.data(), 4, &none, &facts, kAlways, kForever, &f)) << f.Text;
  ASSERT_EQ(facts.size(), 2u);
  const HistoryFacts& h = facts[0];
  EXPECT_EQ(h.Computer, "RAS1");
  ASSERT_EQ(h.Files.size(), 3u);
  const struct {
    std::string Path;
    JoinKind Join;
    uint64_t Shared, Added, Connects;
    int64_t Gap;
  } want[] = {{paths[0], kJoinFirst, 0, 3, 1, 0},
              {paths[1], kJoinOverlap, 2, 1, 1, 0},
              {paths[2], kJoinGap, 0, 3, 0, 20 * 60}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(want[i].Path);
    const LogFacts& l = h.Files[i];
    EXPECT_EQ(l.Path, want[i].Path);
    EXPECT_EQ(l.Join, want[i].Join);
    EXPECT_EQ(l.Shared, want[i].Shared);
    EXPECT_EQ(l.Added, want[i].Added);
    EXPECT_EQ(l.Connects, want[i].Connects);
    EXPECT_EQ(l.GapSeconds, want[i].Gap);
    EXPECT_EQ(l.SameAs, nullptr);
  }
  EXPECT_EQ(h.Files[1].LastTime, TestTime("09:40"));
  EXPECT_EQ(h.Records, 7u);
  EXPECT_EQ(h.Connects, 2u);
  EXPECT_EQ(h.Disconnects, 1u);
  EXPECT_EQ(h.Resets, 1u);
  EXPECT_EQ(h.Users, (std::set<std::string>{"alice", "bob"}));
  EXPECT_TRUE(facts[1].Empty);
  EXPECT_EQ(facts[1].Files[0].Path, paths[3]);
}

}  // namespace
