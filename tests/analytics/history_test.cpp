// A server's logs as one history, on small hand-worked files: each case
// gives the files in the order given on the command line, the sessions in
// the order they end and the seconds at exactly k lines over the time the
// history covers. (What info tells of the joins, the warning for a log
// given twice and the histories that can't be one: tests/e2e/history.sh.)
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

// What a run told: the sessions as lines, and the stream's check.
struct Heard {
  std::vector<std::string> Sessions;  // in the order they ended
  SessionCheck Check;                 // the stream's check
};

void HearSession(void* context, const Session* s) {
  Heard* h = static_cast<Heard*>(context);
  h->Sessions.push_back(SessionLine(s));
  ModelListener check = SessionCheckListener(&h->Check);
  check.Ended(check.Context, s);
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

}  // namespace
