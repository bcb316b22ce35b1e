// The busy figures against a second-by-second oracle on random logs: two
// servers, resets, replaced sessions and disconnects rebuilt from their
// connected time. The profile must be exact whatever its cap, unless a
// rebuilt start reached before the folded horizon, which it must report;
// so must the figures of some users' or ports' sessions alone, and the
// intervals with every line busy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>

#include "analytics/busy.h"
#include "answerlog.h"
#include "answers/answers.h"
#include "support/capture.h"

namespace {

const EventTime kDay = 1796688000;  // 2026-12-08T00:00:00Z

std::string Clock(EventTime t) {
  char text[16];
  snprintf(text, sizeof text, "%02d:%02d:%02d", (int)((t - kDay) / 3600),
           (int)((t - kDay) / 60 % 60), (int)((t - kDay) % 60));
  return text;
}

// t as the answers write it under TZ=UTC0.
std::string IsoUtc(EventTime t) {
  ZoneCache z;
  ZoneInit(&z);
  char text[kIsoTextSize];
  ZoneFormat(&z, t, text);
  return text;
}

// What an answer writes, which must succeed.
template <typename Answer>
std::string AnswerText(Answer answer) {
  return Written([&](FILE* file) {
    OutBuf* out = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
    OutInit(out, file);
    EXPECT_EQ(answer(out), 0);
    OutFlush(out);
    free(out);
  });
}

// A random log of one server: a few ports, events minutes apart over the
// hours after 04:00. Most disconnects close an open session; the others
// are rebuilt, reaching back at most maxMinutes.
std::vector<AnswerRec> RandomLog(std::mt19937* rng, const std::string& computer, int maxMinutes) {
  std::vector<AnswerRec> recs;
  bool open[4] = {false, false, false, false};
  EventTime t = kDay + 4 * 3600 + (*rng)() % 600;
  recs.push_back(AnswerRec{Clock(t), computer, 7036, {"x"}});
  for (int i = 0; i < 60; ++i) {
    t += (*rng)() % 400;
    int port = (int)((*rng)() % 4), kind = (int)((*rng)() % 10);
    for (int k = 0; k < 4 && kind >= 6 && !open[port] && (*rng)() % 5 != 0; ++k)
      port = (port + 1) % 4;
    std::string name = "COM" + std::to_string(port + 1), user = "u" + std::to_string((*rng)() % 5);
    if (kind == 0) {
      recs.push_back(AnswerRec{Clock(t), computer, 6005, {}});
      for (bool& o : open) o = false;
    } else if (kind < 6) {
      recs.push_back(Connect(Clock(t), user, name, computer));
      open[port] = true;
    } else {
      std::string minutes = std::to_string((*rng)() % (maxMinutes + 1));
      recs.push_back(Disconnect(Clock(t), user, name, minutes, "7", computer));
      open[port] = false;
    }
  }
  return recs;
}

// Second-by-second truth from the sessions the model gave and the logs'
// coverage.
struct Oracle {
  EventTime From;                 // first second of the arrays
  std::vector<int> Lines;         // lines in use per second
  std::vector<bool> Covered;      // some log covers the second
  const SessionFilter* Filter;    // the sessions counted; null for all
  std::vector<EventTime> Starts;  // the connects of those counted
};

void OracleSession(void* context, const Session* s) {
  Oracle* o = (Oracle*)context;
  if (o->Filter != nullptr && !FilterMatches(o->Filter, s)) return;
  if (s->Started == kStartConnect) o->Starts.push_back(s->Start);
  for (EventTime t = s->Start; t < s->End; ++t) ++o->Lines[(size_t)(t - o->From)];
}

Oracle MakeOracle(const std::vector<std::string>& paths,
                  const std::vector<std::vector<AnswerRec>>& logs,
                  const SessionFilter* filter = nullptr) {
  Oracle o;
  o.From = kDay;
  o.Filter = filter;
  o.Lines.assign(86400, 0);
  o.Covered.assign(86400, false);
  for (const std::vector<AnswerRec>& log : logs) {
    EventTime first = TestTime(log.front().When), last = first;
    for (const AnswerRec& r : log) last = std::max(last, TestTime(r.When));
    for (EventTime t = first; t < last; ++t) o.Covered[(size_t)(t - o.From)] = true;
  }
  ModelListener l = {};
  l.Context = &o;
  l.Ended = OracleSession;
  std::vector<const char*> list;
  for (const std::string& p : paths) list.push_back(p.c_str());
  ModelFailure failure = {};
  EXPECT_TRUE(
      ModelReadLogs(list.data(), (int)list.size(), &l, nullptr, kAlways, kForever, &failure));
  return o;
}

// The oracle's figures for [from, to): covered, line-seconds, all-busy at 3
// lines, peak; and the seconds at each k into timeAt.
BusyFigures OracleFigures(const Oracle& o, EventTime from, EventTime to,
                          std::vector<int64_t>* timeAt) {
  BusyFigures f = {};
  for (EventTime t = from; t < to; ++t) {
    size_t i = (size_t)(t - o.From);
    if (!o.Covered[i]) continue;
    int n = o.Lines[i];
    ++f.Covered;
    f.LineSeconds += n;
    f.AllBusy += n >= 3;
    f.Peak = std::max(f.Peak, n);
    if (timeAt->size() <= (size_t)n) timeAt->resize((size_t)n + 1, 0);
    ++(*timeAt)[(size_t)n];
  }
  return f;
}

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC0", 1);
    tzset();
    ZoneInit(&zone_);
  }
  ZoneCache zone_;
};

TEST_F(ProfileTest, MatchesSecondBySecondTruthAtAnyCap) {
  int exactUnderPressure = 0, shortRuns = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    TestFolder folder;
    int maxMinutes = seed % 2 == 0 ? 90 : 3;
    std::vector<std::vector<AnswerRec>> logs = {RandomLog(&rng, "RAS1", maxMinutes),
                                                RandomLog(&rng, "RAS2", maxMinutes)};
    std::vector<std::string> paths = {folder.Log("a.evt", logs[0]), folder.Log("b.evt", logs[1])};
    Oracle o = MakeOracle(paths, logs);
    EventTime since = kDay + 5 * 3600, until = kDay + 9 * 3600 + 1234;
    for (size_t cap : {kProfileCap, (size_t)3, (size_t)8, (size_t)20}) {
      SCOPED_TRACE("cap " + std::to_string(cap));
      BusyModel b;
      BusyInit(&b, kStepHour, since, until, 3, &zone_);
      b.Cap = cap;
      ModelFailure failure = {};
      ASSERT_TRUE(RunBusy(paths, &b, &failure)) << failure.Text;
      std::vector<int64_t> timeAt;
      BusyFigures whole = OracleFigures(o, since, until, &timeAt);
      if (b.ShortSessions > 0) {
        // Only the reported sessions' time before the horizon is missing.
        EXPECT_LT(cap, kProfileCap);
        EXPECT_LE(BusyTotal(&b).LineSeconds, whole.LineSeconds);
        EXPECT_GE(b.ShortStart, b.ShortFrom - 86400);
        EXPECT_LT(b.ShortStart, b.ShortFrom);
        ++shortRuns;
        continue;
      }
      if (cap < 20) ++exactUnderPressure;
      EXPECT_EQ(b.TimeAt, timeAt);
      ASSERT_EQ(b.Rows.size(), 5u);
      for (const BusyRow& r : b.Rows) {
        std::vector<int64_t> unused;
        BusyFigures want =
            OracleFigures(o, std::max(r.Start, since), std::min(r.End, until), &unused);
        EXPECT_EQ(r.Sum.Covered, want.Covered);
        EXPECT_EQ(r.Sum.LineSeconds, want.LineSeconds);
        EXPECT_EQ(r.Sum.AllBusy, want.AllBusy);
        EXPECT_EQ(r.Sum.Peak, want.Peak);
      }
    }
  }
  EXPECT_GT(exactUnderPressure, 5);
  EXPECT_GT(shortRuns, 0);
}

// Some users' or ports' sessions alone: the figures of the oracle that
// counts those sessions only, connects included, whatever the cap.
TEST_F(ProfileTest, FilteredSessionsMatchTheirOwnTruth) {
  const SessionFilter filters[] = {
      {{"u1", "u3"}, {}},
      {{}, {"COM2"}},
      {{"u0", "u2"}, {"COM1", "COM4"}},
      {{"u0", "u1", "u2", "u3", "u4"}, {}},
  };
  EventTime since = kDay + 5 * 3600, until = kDay + 9 * 3600 + 1234;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    TestFolder folder;
    int maxMinutes = seed % 2 == 0 ? 90 : 3;
    std::vector<std::vector<AnswerRec>> logs = {RandomLog(&rng, "RAS1", maxMinutes),
                                                RandomLog(&rng, "RAS2", maxMinutes)};
    std::vector<std::string> paths = {folder.Log("a.evt", logs[0]), folder.Log("b.evt", logs[1])};
    std::vector<const char*> list = {paths[0].c_str(), paths[1].c_str()};
    for (const SessionFilter& f : filters) {
      Oracle o = MakeOracle(paths, logs, &f);
      for (size_t cap : {kProfileCap, static_cast<size_t>(8)}) {
        SCOPED_TRACE("cap " + std::to_string(cap));
        BusyModel b;
        BusyInit(&b, kStepHour, since, until, 3, &zone_);
        b.Cap = cap;
        ModelListener l = BusyFilteredListener(&b, &f);
        ModelFailure failure = {};
        ASSERT_TRUE(ModelReadLogs(list.data(), 2, &l, nullptr, kAlways, kForever, &failure));
        BusyFinish(&b);
        if (b.ShortSessions > 0) continue;  // as the unfiltered figures, told
        std::vector<int64_t> timeAt;
        OracleFigures(o, since, until, &timeAt);
        EXPECT_EQ(b.TimeAt, timeAt);
        for (const BusyRow& r : b.Rows) {
          std::vector<int64_t> unused;
          BusyFigures want =
              OracleFigures(o, std::max(r.Start, since), std::min(r.End, until), &unused);
          EXPECT_EQ(r.Sum.LineSeconds, want.LineSeconds);
          EXPECT_EQ(r.Sum.AllBusy, want.AllBusy);
          EXPECT_EQ(r.Sum.Peak, want.Peak);
          uint64_t connects = 0;
          for (EventTime t : o.Starts) connects += t >= std::max(r.Start, since) && t < r.End;
          EXPECT_EQ(r.Sum.Connects, connects);
        }
      }
    }
  }
}

// The allbusy answer's intervals are the oracle's runs of covered seconds
// with 3 lines or more in use, to the second, cut at the range; with the
// profile's cap at its least, so that the runs come out of many folds.
TEST_F(ProfileTest, AllBusyIntervalsAreTheRunsOfEveryLineBusy) {
  int intervals = 0;
  for (unsigned seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    TestFolder folder;
    std::vector<std::vector<AnswerRec>> logs = {RandomLog(&rng, "RAS1", 3),
                                                RandomLog(&rng, "RAS2", 3)};
    std::vector<std::string> paths = {folder.Log("a.evt", logs[0]), folder.Log("b.evt", logs[1])};
    Oracle o = MakeOracle(paths, logs);
    EventTime since = kDay + 5 * 3600 + static_cast<EventTime>(rng() % 3600);
    EventTime until = kDay + 9 * 3600;
    std::string want = "start,end,seconds\n";
    for (EventTime t = since; t < until;) {
      auto busy = [&](EventTime x) {
        size_t i = static_cast<size_t>(x - o.From);
        return x < until && o.Covered[i] && o.Lines[i] >= 3;
      };
      if (!busy(t)) {
        ++t;
        continue;
      }
      EventTime end = t;
      while (busy(end)) ++end;
      char row[100];
      snprintf(row, sizeof row, "%s,%s,%lld\n", IsoUtc(t).c_str(), IsoUtc(end).c_str(),
               static_cast<long long>(end - t));
      want += row;
      ++intervals;
      t = end;
    }
    AnswerOptions opt;
    AnswerOptionsInit(&opt);
    opt.Logs = {paths[0].c_str(), paths[1].c_str()};
    opt.Since = since;
    opt.Until = until;
    opt.Lines = 3;
    opt.LinesFrom = "--lines";
    opt.Format = kFormatCsv;
    ZoneInit(&opt.Zone);
    EXPECT_EQ(AnswerText([&](OutBuf* out) { return AnswerAllBusy(&opt, out); }), want);
  }
  EXPECT_GT(intervals, 20);
}

// The hour and day edges in zones with daylight time and half-hour offsets.
struct ZoneCase {
  const char* Tz;                   // TZ
  const char* From;                 // a UTC time inside the first bucket
  BucketStep Step;                  // hour or day
  std::vector<std::string> Starts;  // the buckets' starts as ZoneFormat prints them
};

TEST_F(ProfileTest, BucketEdgesFollowTheLocalClock) {
  const ZoneCase cases[] = {
      {"EST5EDT,M3.2.0,M11.1.0",
       "2026-03-08T05:20:00",
       kStepHour,
       {"2026-03-08T00:00:00-05:00", "2026-03-08T01:00:00-05:00", "2026-03-08T03:00:00-04:00",
        "2026-03-08T04:00:00-04:00"}},
      {"EST5EDT,M3.2.0,M11.1.0",
       "2026-11-01T04:59:59",
       kStepHour,
       {"2026-11-01T00:00:00-04:00", "2026-11-01T01:00:00-04:00", "2026-11-01T01:00:00-05:00",
        "2026-11-01T02:00:00-05:00"}},
      {"EST5EDT,M3.2.0,M11.1.0",
       "2026-03-08T12:00:00",
       kStepDay,
       {"2026-03-08T00:00:00-05:00", "2026-03-09T00:00:00-04:00", "2026-03-10T00:00:00-04:00"}},
      {"EST5EDT,M3.2.0,M11.1.0",
       "2026-11-01T12:00:00",
       kStepDay,
       {"2026-11-01T00:00:00-04:00", "2026-11-02T00:00:00-05:00"}},
      {"IST-5:30",
       "2026-12-08T04:10:00",
       kStepHour,
       {"2026-12-08T09:00:00+05:30", "2026-12-08T10:00:00+05:30"}},
      {"SGT-8",
       "2026-12-07T16:00:00",
       kStepDay,
       {"2026-12-08T00:00:00+08:00", "2026-12-09T00:00:00+08:00"}},
      // Local mean time: the offset keeps its seconds, so the text names
      // the instant.
      {"LMT-0:19:32",
       "2026-12-08T04:00:00",
       kStepHour,
       {"2026-12-08T04:00:00+00:19:32", "2026-12-08T05:00:00+00:19:32"}},
      {"LMT+0:44:30",
       "2026-12-08T04:00:00",
       kStepHour,
       {"2026-12-08T03:00:00-00:44:30", "2026-12-08T04:00:00-00:44:30"}},
      // Weeks from Monday and months from the first, across a change of
      // offset and the end of a year.
      {"EST5EDT,M3.2.0,M11.1.0",
       "2026-03-04T12:00:00",
       kStepWeek,
       {"2026-03-02T00:00:00-05:00", "2026-03-09T00:00:00-04:00", "2026-03-16T00:00:00-04:00"}},
      {"SGT-8",
       "2026-12-06T16:00:00",
       kStepWeek,
       {"2026-12-07T00:00:00+08:00", "2026-12-14T00:00:00+08:00"}},
      {"SGT-8",
       "2026-12-06T15:59:59",
       kStepWeek,
       {"2026-11-30T00:00:00+08:00", "2026-12-07T00:00:00+08:00"}},
      {"EST5EDT,M3.2.0,M11.1.0",
       "2026-11-15T12:00:00",
       kStepMonth,
       {"2026-11-01T00:00:00-04:00", "2026-12-01T00:00:00-05:00", "2027-01-01T00:00:00-05:00",
        "2027-02-01T00:00:00-05:00", "2027-03-01T00:00:00-05:00"}},
      {"SGT-8",
       "2024-01-31T16:00:00",
       kStepMonth,
       {"2024-02-01T00:00:00+08:00", "2024-03-01T00:00:00+08:00"}},
  };
  for (const ZoneCase& c : cases) {
    SCOPED_TRACE(std::string(c.Tz) + " " + c.From);
    setenv("TZ", c.Tz, 1);
    tzset();
    ZoneCache z;
    ZoneInit(&z);
    EventTime t = ZoneBucketStart(&z, c.Step, TestTime(c.From));
    for (const std::string& want : c.Starts) {
      char text[kIsoTextSize];
      EXPECT_EQ(ZoneFormat(&z, t, text), want.size());
      EXPECT_EQ(text, want);
      EventTime parsed = 0;
      ASSERT_TRUE(ZoneParse(&z, text, &parsed));
      EXPECT_EQ(parsed, t);
      t = ZoneBucketEnd(&z, c.Step, t);
    }
  }
}

TEST_F(ProfileTest, TimesAsUsersTypeThem) {
  setenv("TZ", "SGT-8", 1);
  tzset();
  ZoneCache z;
  ZoneInit(&z);
  const struct {
    const char* Text;
    const char* Utc;  // "" when refused
  } cases[] = {
      {"2026-12-08", "2026-12-07T16:00:00"},
      {"2026-12-08T09:30", "2026-12-08T01:30:00"},
      {"2026-12-08T09:30:15", "2026-12-08T01:30:15"},
      {"2026-12-08T09:30:15Z", "2026-12-08T09:30:15"},
      {"2026-12-08T09:30-05:00", "2026-12-08T14:30:00"},
      {"2024-02-29", "2024-02-28T16:00:00"},
      {"2026-02-29", ""},
      {"2026-13-01", ""},
      {"2026-1-01", ""},
      {"2026-12-08T24:00", ""},
      {"2026-12-08T09:60", ""},
      {"2026-12-08 09:00", ""},
      {"2026-12-08T09", ""},
      {"2026-12-08T09:30+8", ""},
      {"2026-12-08T04:19:32+00:19:32", "2026-12-08T04:00:00"},
      {"2026-12-08T04:19:32+00:19:60", ""},
      {"2026-12-08T04:19:32+00:19:", ""},
      {"2026-12-08x", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EventTime t = 0;
    int ok = ZoneParse(&z, c.Text, &t);
    EXPECT_EQ(ok, c.Utc[0] != '\0');
    if (ok && c.Utc[0] != '\0') {
      EXPECT_EQ(t, TestTime(c.Utc));
    }
  }
}

// The words and relative times of --since and --until, against the tests'
// clock; "-Nd" keeps the local time across a change of offset, "-Nh" counts
// hours.
TEST_F(ProfileTest, WordsAndRelativeTimes) {
  const EventTime kNow = 1796702400;     // 2026-12-08T04:00:00Z, 12:00 in SGT-8
  const EventTime kDstDay = 1772989200;  // 2026-03-08T17:00:00Z, 13:00 EDT that day
  const struct {
    const char* Tz;
    EventTime Now;
    const char* Text;
    const char* Utc;  // "" when refused
  } cases[] = {
      {"SGT-8", kNow, "now", "2026-12-08T04:00:00"},
      {"SGT-8", kNow, "today", "2026-12-07T16:00:00"},
      {"SGT-8", kNow, "yesterday", "2026-12-06T16:00:00"},
      {"SGT-8", kNow, "-7d", "2026-12-01T04:00:00"},
      {"SGT-8", kNow, "-0d", "2026-12-08T04:00:00"},
      {"SGT-8", kNow, "-12h", "2026-12-07T16:00:00"},
      {"SGT-8", kNow, "2026-12", "2026-11-30T16:00:00"},
      {"UTC0", kNow, "1970-01", "1970-01-01T00:00:00"},
      {"SGT-8", kNow, "2026-12-08T09:30", "2026-12-08T01:30:00"},
      {"EST5EDT,M3.2.0,M11.1.0", kDstDay, "-1d", "2026-03-07T18:00:00"},
      {"EST5EDT,M3.2.0,M11.1.0", kDstDay, "-24h", "2026-03-07T17:00:00"},
      {"EST5EDT,M3.2.0,M11.1.0", kDstDay, "today", "2026-03-08T05:00:00"},
      {"SGT-8", kNow, "2026-13", ""},
      {"SGT-8", kNow, "2026-00", ""},
      {"SGT-8", kNow, "0000-12", ""},
      {"SGT-8", kNow, "2026-1", ""},
      {"SGT-8", kNow, "-7", ""},
      {"SGT-8", kNow, "-d", ""},
      {"SGT-8", kNow, "-7w", ""},
      {"SGT-8", kNow, "-7dd", ""},
      {"SGT-8", kNow, "+7d", ""},
      {"SGT-8", kNow, "-1234567890d", ""},
      {"SGT-8", kNow, "Today", ""},
      {"SGT-8", kNow, "now ", ""},
      {"SGT-8", kNow, "tomorrow", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Tz) + " " + c.Text);
    setenv("TZ", c.Tz, 1);
    tzset();
    ZoneCache z;
    ZoneInit(&z);
    EventTime t = 0;
    int ok = ZoneParseWhen(&z, c.Text, c.Now, &t);
    EXPECT_EQ(ok, c.Utc[0] != '\0');
    if (ok && c.Utc[0] != '\0') {
      EXPECT_EQ(t, TestTime(c.Utc));
    }
  }
}

}  // namespace

namespace {

// The profile as a plain list of (time, lines from then on), raised point by
// point: the rules the busy table must keep, however it stores them.
struct PlainProfile {
  std::vector<std::pair<EventTime, int32_t>> Points{{0, 0}};  // in time order
  std::vector<int64_t> TimeAt;                                // folded seconds per lines
  size_t Cap;                                                 // breakpoints kept

  void Fold() {
    while (Points.size() > Cap && Points.size() >= 2) {
      size_t k = (size_t)Points[0].second;
      if (Points[1].first > Points[0].first && TimeAt.size() <= k) TimeAt.resize(k + 1, 0);
      if (Points[1].first > Points[0].first) TimeAt[k] += Points[1].first - Points[0].first;
      Points.erase(Points.begin());
    }
  }
  void At(EventTime t) {
    if (Points.back().first < t) Points.push_back({t, Points.back().second});
  }
  void Step(EventTime t, int delta) {
    At(t);
    Points.back().second += delta;
    size_t n = Points.size();
    if (n >= 2 && Points[n - 2].second == Points[n - 1].second) Points.pop_back();
    Fold();
  }
  void Past(EventTime from, EventTime to) {
    from = std::max(from, Points.front().first);
    if (from >= to) return;
    At(to);
    size_t i = 0;
    while (Points[i].first < from) ++i;
    if (Points[i].first != from) Points.insert(Points.begin() + i, {from, Points[i - 1].second});
    for (; Points[i].first < to; ++i) ++Points[i].second;
    Fold();
  }
};

// The table's breakpoints as (time, lines), merged from where it keeps them.
std::vector<std::pair<EventTime, int32_t>> Breakpoints(const BusyModel& b) {
  std::vector<std::pair<EventTime, int32_t>> changes;
  for (const Breakpoint& p : b.Points) changes.push_back({p.Time, p.Change});
  for (const auto& r : b.Raised) changes.push_back({r.first, r.second});
  std::sort(changes.begin(), changes.end());
  int32_t lines = b.FrontLines;
  for (size_t i = 0; i < changes.size(); ++i) {
    if (i > 0) lines += changes[i].second;
    changes[i].second = lines;
  }
  return changes;
}

}  // namespace

// Random steps and rebuilt starts, several at one second, against the plain
// profile: after every event the same breakpoints, and in the end the same
// time at each number of lines, whatever the cap.
TEST_F(ProfileTest, BreakpointsMatchThePlainProfile) {
  for (unsigned seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    BusyModel b;
    BusyInit(&b, kStepHour, kAlways, kForever, 0, &zone_);
    b.Cap = 2 + rng() % 12;
    PlainProfile plain;
    plain.Cap = b.Cap;
    ModelListener l = BusyListener(&b);
    l.Covers(l.Context, 0, 0, false);
    Session s = {};
    s.User = s.Computer = s.Port = "x";
    EventTime t = 1;
    for (int i = 0; i < 300; ++i) {
      t += rng() % 3;
      if (rng() % 3 == 0) {
        EventTime from = t - (EventTime)(rng() % 40);
        l.Past(l.Context, from, t, &s);
        plain.Past(from, t);
      } else {
        int delta = plain.Points.back().second > 0 && rng() % 2 == 0 ? -1 : 1;
        l.Step(l.Context, t, delta);
        plain.Step(t, delta);
      }
      ASSERT_EQ(plain.Points, Breakpoints(b)) << "after event " << i;
      // The last breakpoint is the last of those the steps keep.
      ASSERT_FALSE(b.Points.empty());
      ASSERT_TRUE(b.Raised.empty() || b.Raised.rbegin()->first < b.Points.back().Time);
    }
    l.Done(l.Context, 0, t);
    BusyFinish(&b);
    plain.Cap = 1;
    plain.Fold();
    plain.Points.push_back({t, 0});  // the coverage ends at the last event
    plain.Fold();
    EXPECT_EQ(plain.TimeAt, b.TimeAt);
  }
}
