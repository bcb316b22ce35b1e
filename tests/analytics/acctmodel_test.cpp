// The session rules of the accounting logs on small hand-worked logs, each
// written in all four formats: the sessions in the order they end and the
// seconds at exactly k lines in use over the time the NAS cover. Then the
// joins of several files of a NAS, and records of no port.
#include "analytics/acctmodel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <numeric>
#include <random>

#include "acctlog.h"
#include "answerlog.h"
#include "support/tempdir.h"

namespace {

struct AcctCase {
  const char* Name;                   // what it shows
  std::vector<AcctReq> Requests;      // in the order received
  std::vector<std::string> Sessions;  // as AcctRun gives them
  std::vector<int64_t> TimeAt;        // seconds at 0, 1, 2... lines
};

const AcctKind kKinds[] = {kAcctDetail, kAcctNps, kAcctIas, kAcctNpsXml};

class AcctModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  std::string Path(const std::string& name) { return folder_.Path + "/" + name; }
  TempFolder folder_{"acctmodel"};
};

const std::vector<AcctCase>& Cases() {
  static const std::vector<AcctCase> cases = {
      {"a Start opens a session and its Stop closes it",
       {On("08:00"), Start("09:00", "A", "alice", 1), Start("09:30", "B", "bob", 2),
        Stop("10:00", "A", "alice", 1, 3600), Stop("11:00", "B", "bob", 2, 5400), Off("12:00")},
       {"10.0.0.1 1 alice 09:00:00-10:00:00 connect/disconnect 3600",
        "10.0.0.1 2 bob 09:30:00-11:00:00 connect/disconnect 5400"},
       {7200, 5400, 1800}},
      {"a Start on a line with an open session replaces it",
       {On("08:00"), Start("09:00", "A", "alice", 1), Start("09:30", "B", "bob", 1),
        Stop("10:00", "B", "bob", 1, 1800), Off("11:00")},
       {"10.0.0.1 1 alice 09:00:00-09:30:00 connect/replaced -",
        "10.0.0.1 1 bob 09:30:00-10:00:00 connect/disconnect 1800"},
       {7200, 3600}},
      {"Accounting-On and -Off end the sessions of their own NAS",
       {On("08:00"), On("08:00", kNas2), Start("09:00", "A", "alice", 1),
        Start("09:15", "B", "bob", 1, kNas2), Off("09:30"),
        Stop("10:00", "B", "bob", 1, 2700, kNas2), Start("10:00", "C", "carol", 1), On("10:30"),
        Off("11:00", kNas2)},
       {"10.0.0.1 1 alice 09:00:00-09:30:00 connect/reset -",
        "10.0.0.2 1 bob 09:15:00-10:00:00 connect/disconnect 2700",
        "10.0.0.1 1 carol 10:00:00-10:30:00 connect/reset -"},
       {5400, 4500, 900}},
      {"a Stop without its Start is rebuilt, not before its line's last end",
       {On("08:00"), Stop("09:00", "A", "carol", 3, 7230), Start("09:10", "B", "dave", 1),
        Off("09:20"), Stop("09:40", "B", "dave", 1, 1800), Stop("10:00", "C", "eve", 2, -1)},
       {"10.0.0.1 3 carol 06:59:30-09:00:00 rebuilt/disconnect 7230",
        "10.0.0.1 1 dave 09:10:00-09:20:00 connect/reset -",
        "10.0.0.1 1 dave 09:20:00-09:40:00 rebuilt/disconnect 1800",
        "10.0.0.1 2 eve 10:00:00-10:00:00 rebuilt/disconnect -"},
       {1800, 5400}},
      {"an Interim-Update without its Start opens the session back by its time",
       {On("08:00"), Interim("09:30", "A", "alice", 1, 1800),
        Interim("09:45", "A", "alice", 1, 2700), Stop("10:00", "A", "alice", 1, 3600),
        Start("10:30", "B", "bob", 2), Off("11:00")},
       {"10.0.0.1 1 alice 09:00:00-10:00:00 rebuilt/disconnect 3600",
        "10.0.0.1 2 bob 10:30:00-11:00:00 connect/reset -"},
       {5400, 5400}},
      {"the same request received twice counts once",
       {On("08:00"), Start("09:00", "A", "alice", 1), Start("09:00", "A", "alice", 1, kNas1, 5),
        Stop("10:00", "A", "alice", 1, 3600), Stop("10:00", "A", "alice", 1, 3600, kNas1, 8),
        Interim("09:30", "A", "alice", 1, 1800, kNas1), Off("10:30"), Off("10:30")},
       {"10.0.0.1 1 alice 09:00:00-10:00:00 connect/disconnect 3600"},
       {5400, 3600}},
      {"requests received late are taken in the order of their event times",
       {On("08:00"), Start("09:00", "A", "alice", 1), Start("09:58", "B", "bob", 1), Off("10:00"),
        Stop("09:55", "A", "alice", 1, 3300, kNas1, 600)},
       {"10.0.0.1 1 alice 09:00:00-09:55:00 connect/disconnect 3300",
        "10.0.0.1 1 bob 09:58:00-10:00:00 connect/reset -"},
       {3780, 3420}},
      {"a Stop received hours late still ends its session at its own time",
       {On("07:00"), Start("08:00", "A", "alice", 1), Start("09:30", "B", "bob", 2),
        Stop("10:30", "B", "bob", 2, 3600), Start("11:00", "C", "carol", 3),
        Stop("09:00", "A", "alice", 1, 3600, kNas1, 10800), Stop("12:00", "C", "carol", 3, 3600)},
       {"10.0.0.1 1 alice 08:00:00-09:00:00 connect/disconnect 3600",
        "10.0.0.1 2 bob 09:30:00-10:30:00 connect/disconnect 3600",
        "10.0.0.1 3 carol 11:00:00-12:00:00 connect/disconnect 3600"},
       {7200, 10800}},
      {"a session received hours late neither replaces nor shortens a later one on its line",
       {On("00:00"), Start("03:00", "B", "bob", 1), Stop("04:00", "B", "bob", 1, 3600),
        Stop("02:00", "A", "alice", 1, 3600, kNas1, 10800),
        Start("01:00", "A", "alice", 1, kNas1, 14400)},
       {"10.0.0.1 1 alice 01:00:00-02:00:00 rebuilt/disconnect 3600",
        "10.0.0.1 1 bob 03:00:00-04:00:00 connect/disconnect 3600"},
       {7200, 7200}},
      {"a Start received hours late moves the start its Interim-Update rebuilt",
       {On("07:00"), Interim("08:00", "X", "dave", 4, 600), Start("09:30", "Y", "eve", 5),
        Start("07:45", "X", "dave", 4, kNas1, 6300), Stop("10:00", "X", "dave", 4, 8100),
        Off("10:30")},
       {"10.0.0.1 4 dave 07:45:00-10:00:00 connect/disconnect 8100",
        "10.0.0.1 5 eve 09:30:00-10:30:00 connect/reset -"},
       {2700, 8100, 1800}},
      {"what is open ends at its NAS's last record, each NAS covering its own time",
       {On("08:00"), Start("09:00", "A", "alice", 1), On("09:00", kNas2),
        Start("09:30", "B", "bob", 1, kNas2), Interim("10:00", "A", "alice", 1, 3600),
        Interim("11:00", "B", "bob", 1, 5400, kNas2)},
       {"10.0.0.1 1 alice 09:00:00-10:00:00 connect/open -",
        "10.0.0.2 1 bob 09:30:00-11:00:00 connect/open -"},
       {3600, 5400, 1800}},
      {"an id used again after its session ended opens a new one",
       {On("08:00"), Start("09:00", "A", "alice", 1), Stop("09:30", "A", "alice", 1, 1800),
        Start("10:00", "A", "carol", 2), Stop("10:30", "A", "carol", 2, 1800), Off("11:00")},
       {"10.0.0.1 1 alice 09:00:00-09:30:00 connect/disconnect 1800",
        "10.0.0.1 2 carol 10:00:00-10:30:00 connect/disconnect 1800"},
       {7200, 3600}},
  };
  return cases;
}

TEST_F(AcctModelTest, HandWorkedLogsInEveryFormat) {
  for (const AcctCase& c : Cases()) {
    for (AcctKind kind : kKinds) {
      SCOPED_TRACE(std::string(c.Name) + " (" + AcctKindName(kind) + ")");
      std::string path = WriteAcct(Path(AcctKindName(kind)), kind, c.Requests);
      AcctRun run = RunAcct({path}, 1);
      ASSERT_TRUE(run.Ok) << run.Failure;
      EXPECT_EQ(run.Sessions, c.Sessions);
      EXPECT_EQ(run.TimeAt, c.TimeAt);
      int64_t weighted = 0;
      for (size_t k = 0; k < c.TimeAt.size(); ++k)
        weighted += static_cast<int64_t>(k) * c.TimeAt[k];
      EXPECT_EQ(run.Total.LineSeconds, weighted);
      EXPECT_EQ(run.Total.Covered, std::accumulate(c.TimeAt.begin(), c.TimeAt.end(), int64_t{0}));
      EXPECT_TRUE(run.Warnings.empty());
    }
  }
}

// ---- several files of a NAS ----

const std::vector<AcctReq> kMorning = {On("08:00"), Start("09:00", "A", "alice", 1),
                                       Interim("10:00", "A", "alice", 1, 3600)};

TEST_F(AcctModelTest, FilesOfANasJoinInTime) {
  const struct {
    const char* Name;
    std::vector<AcctReq> Later;         // the second file
    std::vector<std::string> Sessions;  // both read, in either order
    std::vector<int64_t> TimeAt;
  } cases[] = {
      {"records that go on continue the session",
       {Stop("12:15", "A", "alice", 1, 11700), Off("13:00")},
       {"10.0.0.1 1 alice 09:00:00-12:15:00 connect/disconnect 11700"},
       {6300, 11700}},
      {"an Accounting-On after the first file's end is a gap, not covered",
       {On("12:00"), Start("12:30", "B", "bob", 1), Stop("13:00", "B", "bob", 1, 1800)},
       {"10.0.0.1 1 alice 09:00:00-10:00:00 connect/open -",
        "10.0.0.1 1 bob 12:30:00-13:00:00 connect/disconnect 1800"},
       {5400, 5400}},
      {"an Accounting-On after its NAS's records in its own file is a reset",
       {Start("09:30", "B", "bob", 2), Stop("09:40", "B", "bob", 2, 600), On("10:30")},
       {"10.0.0.1 2 bob 09:30:00-09:40:00 connect/disconnect 600",
        "10.0.0.1 1 alice 09:00:00-10:30:00 connect/reset -"},
       {3600, 4800, 600}},
  };
  for (const auto& c : cases) {
    for (int order = 0; order < 2; ++order) {
      SCOPED_TRACE(std::string(c.Name) + (order ? " (given later first)" : ""));
      std::string first = WriteAcct(Path("detail-1"), kAcctDetail, kMorning);
      std::string later = WriteAcct(Path("detail-2"), kAcctNps, c.Later);
      AcctRun run = RunAcct(order == 0 ? std::vector<std::string>{first, later}
                                       : std::vector<std::string>{later, first});
      ASSERT_TRUE(run.Ok) << run.Failure;
      EXPECT_EQ(run.Sessions, c.Sessions);
      EXPECT_EQ(run.TimeAt, c.TimeAt);
    }
  }
}

TEST_F(AcctModelTest, CopiesOfAFileCountOnce) {
  std::vector<AcctReq> day = Cases()[0].Requests;
  std::string a = WriteAcct(Path("a.log"), kAcctNps, day);
  std::string copy = WriteAcct(Path("copy.xml"), kAcctNpsXml, day);
  std::string half = WriteAcct(Path("half.log"), kAcctIas, {day.begin(), day.begin() + 3});
  const struct {
    std::vector<std::string> Paths;
    std::vector<std::string> Warnings;
  } cases[] = {
      {{a, a}, {a + " is given twice: it counts once"}},
      {{a, copy}, {copy + " holds only records that " + a + " holds too: they count once"}},
      {{half, a}, {}},
      {{a, half}, {half + " holds only records that " + a + " holds too: they count once"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Paths[0] + " " + c.Paths[1]);
    AcctRun run = RunAcct(c.Paths);
    ASSERT_TRUE(run.Ok) << run.Failure;
    EXPECT_EQ(run.Sessions, Cases()[0].Sessions);
    EXPECT_EQ(run.TimeAt, Cases()[0].TimeAt);
    EXPECT_EQ(run.Warnings, c.Warnings);
  }
}

// ---- random logs against their own sessions ----

// Requests of two NAS at random: ids used again, copies, resets, Stops and
// Interim-Updates without their Starts, and delays, some past the window,
// so that requests come late and the lines change back in time. Whatever
// the rules made of them, busy must count exactly the sessions the model
// told, second by second over the time the NAS cover.
std::vector<AcctReq> RandomRequests(std::mt19937* rng) {
  std::vector<std::pair<EventTime, AcctReq>> received;
  std::vector<AcctReq> sent;
  EventTime t = 4 * 3600;
  for (int i = 0; i < 90; ++i) {
    t += static_cast<EventTime>((*rng)() % 300);
    int roll = static_cast<int>((*rng)() % 100);
    std::string nas = (*rng)() % 2 ? kNas1 : kNas2;
    char when[16];
    snprintf(when, sizeof when, "%02d:%02d:%02d", static_cast<int>(t / 3600),
             static_cast<int>(t / 60 % 60), static_cast<int>(t % 60));
    std::string id = "s" + std::to_string((*rng)() % 8), user = "u" + std::to_string((*rng)() % 5);
    uint32_t port = 1 + (*rng)() % 4;
    int64_t seconds = static_cast<int64_t>((*rng)() % 1200);
    AcctReq q = roll < 35       ? Start(when, id, user, port, nas)
                : roll < 65     ? Stop(when, id, user, port, seconds, nas)
                : roll < 85     ? Interim(when, id, user, port, seconds, nas)
                : roll < 90     ? On(when, nas)
                : roll < 94     ? Off(when, nas)
                : !sent.empty() ? sent[(*rng)() % sent.size()]
                                : On(when, nas);
    int late = static_cast<int>((*rng)() % 100);
    q.Delay = late < 80 ? 0 : late < 94 ? (*rng)() % 30 : 4000 + (*rng)() % 4000;
    sent.push_back(q);
    received.push_back({TestTime(q.When) + q.Delay, q});
  }
  std::stable_sort(received.begin(), received.end(),
                   [](const std::pair<EventTime, AcctReq>& a,
                      const std::pair<EventTime, AcctReq>& b) { return a.first < b.first; });
  std::vector<AcctReq> out;
  for (const auto& r : received) out.push_back(r.second);
  return out;
}

TEST_F(AcctModelTest, RandomLogsCountTheirSessionsSecondBySecond) {
  const EventTime day = TestTime("00:00");
  int late = 0;
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::vector<AcctReq> reqs = RandomRequests(&rng);
    AcctRun run = RunAcct({WriteAcct(Path("random"), kKinds[seed % 4], reqs)});
    ASSERT_TRUE(run.Ok) << run.Failure;
    ASSERT_EQ(run.Reached, 0u);
    // Each NAS covers its first record's time to its last one's.
    std::map<std::string, std::pair<EventTime, EventTime>> spans;
    for (const AcctReq& q : reqs) {
      EventTime t = TestTime(q.When);
      auto known = spans.emplace(q.Nas, std::make_pair(t, t)).first;
      known->second.first = std::min(known->second.first, t);
      known->second.second = std::max(known->second.second, t);
      late += q.Delay > kAcctWindow;
    }
    std::vector<int> lines(86400, 0);
    std::vector<bool> covered(86400, false);
    for (const auto& s : spans) {
      for (EventTime t = s.second.first; t < s.second.second; ++t) covered[t - day] = true;
    }
    for (const auto& s : run.Times) {
      ASSERT_LE(s.first, s.second);
      for (EventTime t = std::max(s.first, day); t < s.second; ++t) ++lines[t - day];
    }
    std::vector<int64_t> timeAt;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (!covered[i]) continue;
      if (timeAt.size() <= static_cast<size_t>(lines[i])) timeAt.resize(lines[i] + 1, 0);
      ++timeAt[static_cast<size_t>(lines[i])];
    }
    EXPECT_EQ(run.TimeAt, timeAt);
  }
  EXPECT_GT(late, 20);  // requests past the window came, and were counted
}

// Records of long texts, of every length up to the longest an attribute
// holds, many times what the reading passes on at once: each comes through
// whole and in order, those that pass the end of the reading's room among
// them, in every format.
TEST_F(AcctModelTest, LongTextsComeThroughWholeAndInOrder) {
  for (AcctKind kind : kKinds) {
    SCOPED_TRACE(kind);
    std::vector<AcctReq> reqs = {On("00:00")};
    std::vector<std::string> want;
    for (int i = 0; i < 3000; ++i) {
      std::string user(static_cast<size_t>(1 + i % kAcctTextMax), static_cast<char>('a' + i % 26));
      std::string id = std::to_string(i) + std::string(static_cast<size_t>(i * 7 % 240), 'x');
      uint32_t port = static_cast<uint32_t>(1 + i % 48);
      char start[16], stop[16];
      snprintf(start, sizeof start, "%02d:%02d:%02d", i * 20 / 3600, i * 20 / 60 % 60, i * 20 % 60);
      snprintf(stop, sizeof stop, "%02d:%02d:%02d", i * 20 / 3600, i * 20 / 60 % 60,
               i * 20 % 60 + 10);
      reqs.push_back(Start(start, id, user, port));
      reqs.push_back(Stop(stop, id, user, port, 10));
      want.push_back(std::string(kNas1) + " " + std::to_string(port) + " " + user + " " + start +
                     "-" + stop + " connect/disconnect 10");
    }
    reqs.push_back(Off("23:00"));
    AcctRun run = RunAcct({WriteAcct(Path("long"), kind, reqs)});
    ASSERT_TRUE(run.Ok) << run.Failure;
    EXPECT_EQ(run.Sessions, want);
  }
}

// A detail file written by hand: sessions that name no port are each on a
// line of their own, and a NAS told by its NAS-Identifier alone.
TEST_F(AcctModelTest, SessionsWithoutAPortDoNotReplaceEachOther) {
  std::string path = Path("detail");
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const char* const records[][3] = {
      {"Start", "A", "1796716800"},
      {"Start", "B", "1796717400"},
      {"Stop", "A", "1796720400"},
      {"Stop", "B", "1796724000"},
  };
  for (const auto& r : records) {
    fprintf(f,
            "Tue Dec  8 09:00:00 2026\n\tNAS-Identifier = \"vpn-gw\"\n\tUser-Name = \"u%s\"\n"
            "\tAcct-Session-Id = \"%s\"\n\tAcct-Status-Type = %s\n\tEvent-Timestamp = %s\n\n",
            r[1], r[1], r[0], r[2]);
  }
  fclose(f);
  AcctRun run = RunAcct({path});
  ASSERT_TRUE(run.Ok) << run.Failure;
  EXPECT_EQ(run.Sessions,
            (std::vector<std::string>{"vpn-gw  uA 08:00:00-09:00:00 connect/disconnect -",
                                      "vpn-gw  uB 08:10:00-10:00:00 connect/disconnect -"}));
  EXPECT_EQ(run.TimeAt, (std::vector<int64_t>{0, 4200, 3000}));
}

}  // namespace
