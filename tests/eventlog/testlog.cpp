// Real SYSTEM logs for tests, written with the .evt writer.
#include "eventlog/testlog.h"

#include <cstdlib>

#include "support/tempdir.h"
#include "tools/evtwrite.h"

namespace {

bool WriteRecords(const std::string& path, const std::vector<TestRecord>& records,
                  uint32_t firstNumber, std::string* why) {
  EvtWriter w;
  if (!EvtWriterOpen(&w, path.c_str(), 0, kEvtHeaderSize, firstNumber)) {
    *why = w.Message;
    return false;
  }
  for (const TestRecord& r : records) {
    std::vector<const char*> strings;
    for (const std::string& s : r.Strings) strings.push_back(s.c_str());
    EvtRecordIn in = {};
    in.TimeGenerated = r.Time;
    in.TimeWritten = r.Time;
    in.EventID = r.EventId;
    in.EventType = 4;
    in.SourceName = "RemoteAccess";
    in.ComputerName = "RAS1";
    in.Strings = strings.data();
    in.NumStrings = static_cast<uint16_t>(strings.size());
    if (!EvtWriterAdd(&w, &in)) {
      *why = w.Message;
      EvtWriterClose(&w);
      return false;
    }
  }
  if (!EvtWriterClose(&w)) {
    *why = w.Message;
    return false;
  }
  return true;
}

}  // namespace

bool TestLogMake(TestLog* log, const std::vector<TestRecord>& records, uint32_t firstNumber,
                 std::string* why) {
  log->Handle = nullptr;
  log->Dir = MakeTempFolder("log");
  log->Path = log->Dir + "/SysEvent.Evt";
  setenv("VELMAR_LOGDIR", log->Dir.c_str(), 1);
  if (!WriteRecords(log->Path, records, firstNumber, why)) return false;
  log->Handle = OpenEventLogA(nullptr, "SYSTEM");
  if (log->Handle == nullptr) *why = "OpenEventLogA";
  return log->Handle != nullptr;
}

void TestLogRemove(TestLog* log) {
  if (log->Handle != nullptr) CloseEventLog(log->Handle);
  log->Handle = nullptr;
  RemoveTree(log->Dir);
}
