// The same traffic as .evt logs and as each accounting format gives the
// same answers: the sessions (names of the NAS and ports aside), the users,
// every hour of busy and the capacity plan. The sample's accounting logs
// hold what no event log does (delays, retransmissions, lost Starts,
// Interim-Updates, authentication lines), so this is the model's rules
// against the event log's on the same facts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "analytics/busy.h"
#include "analytics/erlang.h"
#include "analytics/filter.h"
#include "analytics/users.h"
#include "platform/environment.h"
#include "sessioncheck.h"
#include "support/tempdir.h"
#include "tools/logtool.h"

namespace {

// Four days up to noon UTC on 2026-11-03: in New York the clock goes back
// on 2026-11-01, and the NAS that send no Event-Timestamp must stay exact.
const int64_t kNow = 1793707200;
const char* const kZone = "EST5EDT,M3.2.0,M11.1.0";
const uint32_t kServers = 3, kPorts = 6;

// A session by the numbers its names end in: (server from 1, port from 1,
// user, start, end, how it ended, connected seconds or -1).
typedef std::tuple<int, int, std::string, EventTime, EventTime, int, int64_t> Facts;

// The number a name ends in ("RAS02" 2, "192.0.2.2" 2, "COM3" 3,
// "Async1/03" 3).
int Trailing(const char* name) {
  std::string s = name;
  size_t digits = s.find_last_not_of("0123456789") + 1;
  return digits < s.size() ? atoi(s.c_str() + digits) : -1;
}

// Everything the answers give for some logs.
struct Answers {
  std::vector<Facts> Sessions;    // sorted
  SessionCheck Check;             // the stream's own soundness
  std::vector<UserTotals> Users;  // as ranked
  std::vector<BusyRow> Rows;      // hourly
  std::vector<int64_t> TimeAt;    // seconds at exactly k lines
  CapacityPlan Plan;              // for N = all the pool's ports
};

// The listeners the run feeds: sessions, the check, users and busy.
struct Fan {
  Answers* Out;         // what is gathered
  ModelListener Check;  // the stream check
  ModelListener Users;  // the user totals
  ModelListener Busy;   // the busy table
};

void FanEnded(void* context, const Session* s) {
  Fan* f = static_cast<Fan*>(context);
  f->Out->Sessions.push_back(Facts(Trailing(s->Computer), Trailing(s->Port), s->User, s->Start,
                                   s->End, s->Ended, s->HasConnected ? s->Connected : -1));
  f->Check.Ended(f->Check.Context, s);
  f->Users.Ended(f->Users.Context, s);
}

void FanCovers(void* c, int span, EventTime first, bool empty) {
  static_cast<Fan*>(c)->Busy.Covers(static_cast<Fan*>(c)->Busy.Context, span, first, empty);
}
void FanStep(void* c, EventTime t, int delta) {
  static_cast<Fan*>(c)->Busy.Step(static_cast<Fan*>(c)->Busy.Context, t, delta);
}
void FanPast(void* c, EventTime from, EventTime to, const Session* s) {
  static_cast<Fan*>(c)->Busy.Past(static_cast<Fan*>(c)->Busy.Context, from, to, s);
}
void FanBack(void* c, EventTime t, int delta, const Session* s) {
  static_cast<Fan*>(c)->Busy.Back(static_cast<Fan*>(c)->Busy.Context, t, delta, s);
}
void FanConnect(void* c, EventTime t) {
  static_cast<Fan*>(c)->Busy.Connect(static_cast<Fan*>(c)->Busy.Context, t);
}
void FanDone(void* c, int span, EventTime last) {
  static_cast<Fan*>(c)->Busy.Done(static_cast<Fan*>(c)->Busy.Context, span, last);
}

Answers Answer(const std::vector<std::string>& paths) {
  Answers a;
  ZoneCache zone;
  ZoneInit(&zone);
  BusyModel b;
  BusyInit(&b, kStepHour, kAlways, kForever, kServers * kPorts, &zone);
  UserCount users;
  SessionFilter everyone;
  Fan fan = {&a, SessionCheckListener(&a.Check), UserListener(&users, kAlways, kForever, &everyone),
             BusyListener(&b)};
  ModelListener l = {};
  l.Context = &fan;
  l.Ended = FanEnded;
  l.Covers = FanCovers;
  l.Step = FanStep;
  l.Past = FanPast;
  l.Back = FanBack;
  l.Connect = FanConnect;
  l.Done = FanDone;
  std::vector<const char*> list;
  for (const std::string& p : paths) list.push_back(p.c_str());
  ModelFailure failure = {};
  EXPECT_TRUE(ModelReadLogs(list.data(), static_cast<int>(list.size()), &l, nullptr, kAlways,
                            kForever, &failure))
      << failure.Text;
  BusyFinish(&b);
  EXPECT_EQ(b.ShortSessions + b.LateChanges, 0u);
  std::sort(a.Sessions.begin(), a.Sessions.end());
  a.Users = UserRanking(&users);
  a.Rows = b.Rows;
  a.TimeAt = b.TimeAt;
  BusyFigures clock[24];
  BusyFoldSlots(&b, 24, clock);
  CapacityPlanFrom(clock, kServers * kPorts, {0.01, 0.02, 0.05}, &a.Plan);
  return a;
}

void ExpectSameRows(const std::vector<BusyRow>& want, const std::vector<BusyRow>& got) {
  ASSERT_EQ(want.size(), got.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("hour " + std::to_string(i));
    EXPECT_EQ(want[i].Start, got[i].Start);
    EXPECT_EQ(want[i].Sum.Covered, got[i].Sum.Covered);
    EXPECT_EQ(want[i].Sum.LineSeconds, got[i].Sum.LineSeconds);
    EXPECT_EQ(want[i].Sum.AllBusy, got[i].Sum.AllBusy);
    EXPECT_EQ(want[i].Sum.Peak, got[i].Sum.Peak);
    EXPECT_EQ(want[i].Sum.Connects, got[i].Sum.Connects);
  }
}

void ExpectSameUsers(const std::vector<UserTotals>& want, const std::vector<UserTotals>& got) {
  ASSERT_EQ(want.size(), got.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(std::make_tuple(want[i].User, want[i].Sessions, want[i].Seconds, want[i].Longest,
                              want[i].First, want[i].Last),
              std::make_tuple(got[i].User, got[i].Sessions, got[i].Seconds, got[i].Longest,
                              got[i].First, got[i].Last));
  }
}

TEST(AcctSampleAnswers, EveryKindOfFileGivesTheSameAnswers) {
  PlatformSetEnv("TZ", kZone);
  PlatformReadZone();
  TempFolder dir("acct-answers");
  for (uint64_t seed : {11u, 12u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::string evt = dir.Path + "/evt" + std::to_string(seed);
    SampleOptions opt = {4, kPorts, seed, kNow, 0, kServers, kAcctEvt};
    ASSERT_EQ(0, LogSample(evt.c_str(), &opt));
    std::vector<std::string> logs;
    for (uint32_t k = 1; k <= kServers; ++k)
      logs.push_back(evt + "/RAS0" + std::to_string(k) + "/SysEvent.Evt");
    Answers want = Answer(logs);
    EXPECT_GT(want.Sessions.size(), 500u);
    EXPECT_TRUE(want.Check.Faults.empty());
    const struct {
      AcctKind Kind;
      const char* File;
    } kinds[] = {{kAcctDetail, "detail"},
                 {kAcctNps, "nps.log"},
                 {kAcctIas, "ias.log"},
                 {kAcctNpsXml, "nps-xml.log"}};
    for (const auto& k : kinds) {
      SCOPED_TRACE(AcctKindName(k.Kind));
      std::string path = dir.Path + "/" + AcctKindName(k.Kind) + std::to_string(seed);
      opt.Format = k.Kind;
      ASSERT_EQ(0, LogSample(path.c_str(), &opt));
      Answers got = Answer({path + "/" + k.File});
      EXPECT_EQ(want.Sessions, got.Sessions);
      // Sessions still open at the end of their NAS's records end when the
      // records end, after those of later NAS; any other fault counts.
      for (const std::string& fault : got.Check.Faults) {
        EXPECT_EQ(0u, fault.find("out of the order of ends")) << fault;
      }
      ExpectSameUsers(want.Users, got.Users);
      ExpectSameRows(want.Rows, got.Rows);
      EXPECT_EQ(want.TimeAt, got.TimeAt);
      EXPECT_EQ(want.Plan.BusyHour, got.Plan.BusyHour);
      EXPECT_EQ(want.Plan.Carried, got.Plan.Carried);
      EXPECT_EQ(want.Plan.Needed, got.Plan.Needed);
    }
  }
}

}  // namespace
