// Hand-made logs written through the .evt writer, and the model run over
// them into plain text lines that a table of cases can state.
#include "answerlog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "support/tempdir.h"
#include "tools/evtwrite.h"
#include "tools/logtool.h"

namespace {

const EventTime kTestDay = 1796688000;  // 2026-12-08T00:00:00Z

const char* const kStarted[] = {"connect", "rebuilt"};
const char* const kEnded[] = {"disconnect", "replaced", "reset", "open"};

std::string TimeText(EventTime t) {
  char text[40];
  if (t >= kTestDay && t < kTestDay + 86400) {
    snprintf(text, sizeof text, "%02d:%02d:%02d", (int)((t - kTestDay) / 3600),
             (int)((t - kTestDay) / 60 % 60), (int)((t - kTestDay) % 60));
  } else {
    FormatUtc((uint32_t)t, text);
  }
  return text;
}

void CollectLine(void* context, const Session* s) {
  std::vector<std::string>* lines = (std::vector<std::string>*)context;
  lines->push_back(SessionLine(s));
}

std::vector<const char*> PathList(const std::vector<std::string>& paths) {
  std::vector<const char*> list;
  for (const std::string& p : paths) list.push_back(p.c_str());
  return list;
}

}  // namespace

std::string SessionLine(const Session* s) {
  return std::string(s->Computer) + " " + s->Port + " " + s->User + " " + TimeText(s->Start) + "-" +
         TimeText(s->End) + " " + kStarted[s->Started] + "/" + kEnded[s->Ended] + " " +
         (s->HasConnected ? std::to_string(s->Connected) : "-") + " #" +
         (s->HasStartRecord ? std::to_string(s->StartRecord) : "-") + "-" +
         (s->HasEndRecord ? std::to_string(s->EndRecord) : "-");
}

EventTime TestTime(const std::string& when) {
  if (when.size() > 8) {
    uint32_t t = 0;
    EXPECT_TRUE(ParseUtc((when + "Z").c_str(), &t)) << when;
    return t;
  }
  int h = 0, m = 0, s = 0;
  EXPECT_GE(sscanf(when.c_str(), "%d:%d:%d", &h, &m, &s), 2) << when;
  return kTestDay + h * 3600 + m * 60 + s;
}

AnswerRec Connect(const std::string& when, const std::string& user, const std::string& port,
                  const std::string& computer) {
  return AnswerRec{when, computer, 20017, {"DIALUP", user, port}};
}

AnswerRec Disconnect(const std::string& when, const std::string& user, const std::string& port,
                     const std::string& minutes, const std::string& seconds,
                     const std::string& computer) {
  return AnswerRec{
      when, computer, 20050, {"DIALUP", user, port, "d", "t", "d", "t", minutes, seconds}};
}

AnswerRec Reset(const std::string& when, int code, const std::string& computer) {
  return AnswerRec{when, computer, code, {}};
}

AnswerRec Other(const std::string& when, const std::string& computer) {
  return AnswerRec{when, computer, 7036, {"Spooler", "running"}};
}

TestFolder::TestFolder() : Dir(MakeTempFolder("answers")) {}

TestFolder::~TestFolder() {
  RemoveTree(Dir);
}

std::string TestFolder::Log(const std::string& name, const std::vector<AnswerRec>& recs,
                            uint32_t maxSize, uint32_t firstNumber) {
  std::string path = Dir + "/" + name;
  EvtWriter w;
  EXPECT_TRUE(EvtWriterOpen(&w, path.c_str(), maxSize, kEvtHeaderSize, firstNumber)) << w.Message;
  for (const AnswerRec& r : recs) {
    std::vector<const char*> strings;
    for (const std::string& s : r.Strings) strings.push_back(s.c_str());
    EvtRecordIn in = {};
    in.TimeGenerated = in.TimeWritten = (uint32_t)TestTime(r.When);
    in.EventID = 0x40000000u | (uint32_t)r.Code;
    in.EventType = 4;
    in.SourceName = "RemoteAccess";
    in.ComputerName = r.Computer.c_str();
    in.Strings = strings.data();
    in.NumStrings = (uint16_t)strings.size();
    EXPECT_TRUE(EvtWriterAdd(&w, &in)) << w.Message;
  }
  EXPECT_TRUE(EvtWriterClose(&w)) << w.Message;
  return path;
}

std::vector<std::string> SessionLines(const std::vector<std::string>& paths) {
  std::vector<std::string> lines;
  ModelListener l = {};
  l.Context = &lines;
  l.Ended = CollectLine;
  ModelFailure failure = {};
  std::vector<const char*> list = PathList(paths);
  EXPECT_TRUE(
      ModelReadLogs(list.data(), (int)list.size(), &l, nullptr, kAlways, kForever, &failure))
      << failure.Text;
  return lines;
}

int RunBusy(const std::vector<std::string>& paths, BusyModel* b, ModelFailure* failure) {
  ModelListener l = BusyListener(b);
  std::vector<const char*> list = PathList(paths);
  int ok = ModelReadLogs(list.data(), (int)list.size(), &l, nullptr, kAlways, kForever, failure);
  if (ok) BusyFinish(b);
  return ok;
}
