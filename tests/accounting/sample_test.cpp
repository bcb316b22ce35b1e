// The sample's traffic in every kind of file: the four accounting formats
// read back as the same records, and those records tell the sessions of the
// .evt logs of the same options: each connect a Start (or, when the Start
// was lost, a Stop whose session time leads back to it), each disconnect
// its Stop, each boot an Accounting-On, a crash's sessions with no Stop.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "accounting/acct.h"
#include "platform/environment.h"
#include "support/acctread.h"
#include "support/tempdir.h"
#include "tools/logtool.h"

namespace {

// Four days up to noon UTC on 2026-11-03: in New York the clock goes back
// on 2026-11-01, and the NAS that sends no Event-Timestamp must stay exact.
const int64_t kNow = 1793707200;
const char* const kZone = "EST5EDT,M3.2.0,M11.1.0";
const uint32_t kServers = 3, kPorts = 6;

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);
  return text;
}

// The log file of an accounting sample.
std::string LogName(AcctKind kind) {
  return kind == kAcctDetail ? "detail"
         : kind == kAcctNps  ? "nps.log"
         : kind == kAcctIas  ? "ias.log"
                             : "nps-xml.log";
}

std::string Sample(const TempFolder& dir, AcctKind format) {
  std::string path = dir.Path + "/" + AcctKindName(format);
  SampleOptions opt = {4, kPorts, 11, kNow, 0, kServers, format};
  EXPECT_EQ(0, LogSample(path.c_str(), &opt));
  return path;
}

// One record as its facts: what every format must agree on.
struct Fact {
  std::string Status;  // Start, Stop, Interim, On, Off
  int Nas;             // server index, from the address 192.0.2.(Nas + 1)
  int Port;            // port number from 1, from NAS-Port or the number ending NAS-Port-Id
  std::string User;    // user
  std::string Id;      // session id
  int64_t Time;        // event time
  int64_t Session;     // session time, -1 when none
};

// Parses AcctText's fields back.
Fact ParseRecord(const std::string& text) {
  std::istringstream in(text);
  std::string line, status, nas, port, user, id, time;
  in >> line >> status >> nas >> port >> user >> id >> time;
  Fact f;
  f.Status = status;
  f.Nas = atoi(nas.c_str() + nas.rfind('.') + 1) - 1;
  size_t digits = port.find_last_not_of("0123456789") + 1;
  f.Port = digits < port.size() ? atoi(port.c_str() + digits) : 0;
  f.User = user.substr(5);
  f.Id = id.substr(3);
  f.Time = atoll(time.c_str() + 5);
  size_t session = text.find(" session=");
  f.Session = session == std::string::npos ? -1 : atoll(text.c_str() + session + 9);
  return f;
}

std::string FactText(const Fact& f) {
  return f.Status + " " + std::to_string(f.Nas) + " " + std::to_string(f.Port) + " " + f.User +
         " " + f.Id + " " + std::to_string(f.Time) + " " + std::to_string(f.Session);
}

std::vector<Fact> Facts(const std::string& file, AcctCounts* counts) {
  AcctResult got = ReadAcct(ReadFile(file));
  EXPECT_EQ(0, got.End) << file;
  *counts = got.Counts;
  std::vector<Fact> facts;
  for (const std::string& r : got.Records) facts.push_back(ParseRecord(r));
  return facts;
}

// A session as (server, port, user, start) with its end, -1 for none.
typedef std::tuple<int, int, std::string, int64_t> SessionKey;

// The sessions of the .evt logs, by dump's CSV: connects and disconnects
// (ids 20017 and 20050) paired by port.
std::map<SessionKey, int64_t> EvtSessions(const std::string& dir, int* boots) {
  std::map<SessionKey, int64_t> sessions;
  *boots = 0;
  for (uint32_t k = 0; k < kServers; ++k) {
    char name[32];
    snprintf(name, sizeof name, "/RAS%02u/SysEvent.Evt", k + 1);
    std::string csv = ScratchPath("dump.csv");
    FILE* out = fopen(csv.c_str(), "wb");
    EXPECT_EQ(0, LogDump((dir + name).c_str(), out));
    fclose(out);
    std::istringstream rows(ReadFile(csv));
    std::string row;
    std::map<int, SessionKey> open;  // port -> its session
    std::getline(rows, row);
    while (std::getline(rows, row)) {
      std::vector<std::string> f;
      std::istringstream cells(row);
      for (std::string cell; std::getline(cells, cell, ',');) f.push_back(cell);
      uint32_t t;
      EXPECT_EQ(1, ParseUtc(f[1].c_str(), &t));
      int id = static_cast<int>(strtoul(f[3].c_str(), nullptr, 10) & 0xFFFF);
      if (id == 6005) {
        ++*boots;
        for (auto& o : open) sessions[o.second] = -1;  // ended by the reset, with no Stop
        open.clear();
      } else if (id == 20017 || id == 20050) {
        int port = atoi(f[10].c_str() + 3);
        if (id == 20017) open[port] = SessionKey(static_cast<int>(k), port, f[9], t);
        if (id == 20050) sessions[open[port]] = t, open.erase(port);
      }
    }
    for (auto& o : open) sessions[o.second] = -1;
  }
  return sessions;
}

// The same from accounting records: a session begins at its Start, else
// at its first Interim-Update or its Stop less the session time; a
// request sent twice counts once.
std::map<SessionKey, int64_t> AcctSessions(const std::vector<Fact>& facts, int* ons, int* twice,
                                           int* lost) {
  struct Known {
    int64_t Start = -1, End = -1;
    int Nas = 0, Port = 0;
    std::string User;
  };
  std::map<std::pair<int, std::string>, Known> byId;
  std::set<std::string> seen;
  *ons = *twice = *lost = 0;
  for (const Fact& f : facts) {
    if (!seen.insert(FactText(f)).second) {
      ++*twice;
      continue;
    }
    if (f.Status == "On") ++*ons;
    if (f.Status == "On" || f.Status == "Off") continue;
    Known& s = byId[{f.Nas, f.Id}];
    s.Nas = f.Nas, s.Port = f.Port, s.User = f.User;
    if (f.Status == "Start") s.Start = f.Time;
    if (f.Status != "Start" && s.Start < 0)
      s.Start = f.Time - f.Session, *lost += f.Status == "Stop";
    if (f.Status == "Stop") s.End = f.Time;
  }
  std::map<SessionKey, int64_t> sessions;
  for (const auto& s : byId)
    sessions[SessionKey(s.second.Nas, s.second.Port, s.second.User, s.second.Start)] = s.second.End;
  return sessions;
}

TEST(AcctSample, EveryFormatTellsTheSameRecords) {
  PlatformSetEnv("TZ", kZone);
  PlatformReadZone();
  TempFolder dir("acct-sample");
  std::vector<std::string> first;
  for (AcctKind kind : {kAcctDetail, kAcctNps, kAcctIas, kAcctNpsXml}) {
    std::string path = Sample(dir, kind);
    AcctCounts counts;
    std::vector<std::string> texts;
    for (const Fact& f : Facts(path + "/" + LogName(kind), &counts)) texts.push_back(FactText(f));
    EXPECT_GT(texts.size(), 1000u);
    EXPECT_EQ(kind == kAcctDetail ? "" : "auth=" + std::to_string(counts.Authentication),
              SkipText(counts))
        << AcctKindName(kind);
    if (kind != kAcctDetail) {
      EXPECT_GT(counts.Authentication, texts.size() / 4);
    }
    if (first.empty())
      first = texts;
    else
      EXPECT_EQ(first, texts) << AcctKindName(kind);
    EXPECT_EQ("192.0.2.1 6\n192.0.2.2 6\n192.0.2.3 6\n", ReadFile(path + "/NasPorts.txt"));
  }
}

TEST(AcctSample, RecordsTellTheSessionsOfTheEvtLogs) {
  PlatformSetEnv("TZ", kZone);
  PlatformReadZone();
  TempFolder dir("acct-sample");
  std::string evt = Sample(dir, kAcctEvt);
  EXPECT_EQ("COM1\nCOM2\nCOM3\nCOM4\nCOM5\nCOM6\n", ReadFile(evt + "/RAS02/RasPorts.txt"));
  int boots;
  std::map<SessionKey, int64_t> want = EvtSessions(evt, &boots);
  AcctCounts counts;
  std::vector<Fact> facts = Facts(Sample(dir, kAcctDetail) + "/detail", &counts);
  int ons, twice, lost;
  std::map<SessionKey, int64_t> got = AcctSessions(facts, &ons, &twice, &lost);
  EXPECT_GT(want.size(), 1000u);
  EXPECT_EQ(want, got);
  EXPECT_EQ(boots, ons);
  // What only accounting has is there.
  EXPECT_GT(twice, 0);
  EXPECT_GT(lost, 0);
  int interims = 0, delayed = 0, local = 0;
  for (const Fact& f : facts) interims += f.Status == "Interim";
  AcctResult raw = ReadAcct(ReadFile(dir.Path + "/detail/detail"));
  for (const std::string& r : raw.Records) {
    delayed += r.find(" delay=") != std::string::npos;
    local += r.find("(received)") != std::string::npos;
  }
  EXPECT_GT(interims, 100);
  EXPECT_GT(delayed, 100);
  EXPECT_GT(local, 100);  // the NAS that sends no Event-Timestamp
}

}  // namespace
