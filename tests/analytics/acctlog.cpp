// Hand-made accounting logs through the formats' writers, and the model run
// over them into lines a table of cases can state.
#include "acctlog.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "accounting/detail_format.h"
#include "accounting/dts_format.h"
#include "accounting/ias_format.h"
#include "accounting/nps_format.h"
#include "answerlog.h"

namespace {

AcctReq Request(AcctStatus status, const std::string& when, const std::string& nas) {
  return AcctReq{status, when, nas, 0, "", "00000000", -1, 0};
}

size_t (*WriterOf(AcctKind kind))(const AcctRequest*, char*, size_t) {
  switch (kind) {
    case kAcctDetail:
      return DetailWrite;
    case kAcctNps:
      return NpsWrite;
    case kAcctIas:
      return IasWrite;
    default:
      return DtsWrite;
  }
}

// A session as AcctRun states it.
void Collect(void* context, const Session* s) {
  std::string line = SessionLine(s);
  line = line.substr(0, line.rfind(" #"));  // the places differ from format to format
  static_cast<AcctRun*>(context)->Sessions.push_back(line);
  static_cast<AcctRun*>(context)->Times.push_back({s->Start, s->End});
}

void Warned(void* context, const char* text) {
  static_cast<AcctRun*>(context)->Warnings.push_back(text);
}

// The busy listener's calls, and the session collector's beside them.
struct Both {
  ModelListener Busy;  // the busy table's
  AcctRun* Run;        // where sessions and warnings go
};

void BothEnded(void* context, const Session* s) {
  Collect(static_cast<Both*>(context)->Run, s);
}

void BothCovers(void* context, int span, EventTime first, bool empty) {
  const ModelListener& b = static_cast<Both*>(context)->Busy;
  b.Covers(b.Context, span, first, empty);
}

void BothStep(void* context, EventTime t, int delta) {
  const ModelListener& b = static_cast<Both*>(context)->Busy;
  b.Step(b.Context, t, delta);
}

void BothPast(void* context, EventTime from, EventTime to, const Session* s) {
  const ModelListener& b = static_cast<Both*>(context)->Busy;
  b.Past(b.Context, from, to, s);
}

void BothBack(void* context, EventTime t, int delta, const Session* s) {
  const ModelListener& b = static_cast<Both*>(context)->Busy;
  b.Back(b.Context, t, delta, s);
}

void BothConnect(void* context, EventTime t) {
  const ModelListener& b = static_cast<Both*>(context)->Busy;
  b.Connect(b.Context, t);
}

void BothDone(void* context, int span, EventTime last) {
  const ModelListener& b = static_cast<Both*>(context)->Busy;
  b.Done(b.Context, span, last);
}

void BothWarning(void* context, const char* text) {
  Warned(static_cast<Both*>(context)->Run, text);
}

}  // namespace

AcctReq Start(const std::string& when, const std::string& id, const std::string& user,
              uint32_t port, const std::string& nas, uint32_t delay) {
  return AcctReq{kAcctStart, when, nas, port, user, id, -1, delay};
}

AcctReq Stop(const std::string& when, const std::string& id, const std::string& user, uint32_t port,
             int64_t seconds, const std::string& nas, uint32_t delay) {
  return AcctReq{kAcctStop, when, nas, port, user, id, seconds, delay};
}

AcctReq Interim(const std::string& when, const std::string& id, const std::string& user,
                uint32_t port, int64_t seconds, const std::string& nas) {
  return AcctReq{kAcctInterim, when, nas, port, user, id, seconds, 0};
}

AcctReq On(const std::string& when, const std::string& nas) {
  return Request(kAcctOn, when, nas);
}

AcctReq Off(const std::string& when, const std::string& nas) {
  return Request(kAcctOff, when, nas);
}

std::string WriteAcct(const std::string& path, AcctKind kind, const std::vector<AcctReq>& reqs) {
  FILE* f = fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr) << path;
  if (f == nullptr) return path;
  for (const AcctReq& r : reqs) {
    AcctRequest q = {};
    q.Packet = kPacketAccountingRequest;
    q.Status = r.Status;
    q.NasIp = r.Nas.c_str();
    q.Port = r.Port;
    q.PortType = kPortAsync;
    q.User = r.User.empty() ? nullptr : r.User.c_str();
    q.SessionId = r.Id.c_str();
    q.Event = TestTime(r.When);
    q.SendEventTimestamp = true;
    q.Delay = r.Delay;
    q.Received = q.Event + r.Delay;
    q.HasSessionTime = r.Seconds >= 0;
    q.SessionTime = r.Seconds >= 0 ? static_cast<uint32_t>(r.Seconds) : 0;
    q.Server = "NPS1";
    char text[kAcctRequestTextMax];
    size_t n = WriterOf(kind)(&q, text, sizeof text);
    EXPECT_GT(n, 0u);
    EXPECT_EQ(fwrite(text, 1, n, f), n);
  }
  EXPECT_EQ(fclose(f), 0);
  return path;
}

AcctRun RunAcct(const std::vector<std::string>& paths, int64_t lines) {
  AcctRun run;
  ZoneCache zone;
  ZoneInit(&zone);
  BusyModel b;
  BusyInit(&b, kStepHour, kAlways, kForever, lines, &zone);
  Both both = {BusyListener(&b), &run};
  ModelListener l = {};
  l.Context = &both;
  l.Ended = BothEnded;
  l.Covers = BothCovers;
  l.Step = BothStep;
  l.Past = BothPast;
  l.Back = BothBack;
  l.Connect = BothConnect;
  l.Done = BothDone;
  l.Warning = BothWarning;
  l.WarningContext = &both;
  std::vector<const char*> list;
  for (const std::string& p : paths) list.push_back(p.c_str());
  ModelFailure failure = {};
  run.Ok = ModelReadLogs(list.data(), static_cast<int>(list.size()), &l, nullptr, kAlways, kForever,
                         &failure) != 0;
  run.Failure = failure.Text;
  if (!run.Ok) return run;
  BusyFinish(&b);
  run.TimeAt = b.TimeAt;
  run.Total = BusyTotal(&b);
  run.Reached = b.ShortSessions + b.LateChanges;
  return run;
}
