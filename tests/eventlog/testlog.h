// Real SYSTEM logs for tests: writes records into SysEvent.Evt in a fresh
// temporary log folder (VELMAR_LOGDIR points at it) through the .evt writer,
// and opens it through the event log stand-ins the report uses.
#ifndef VELMAR_TESTS_EVENTLOG_TESTLOG_H
#define VELMAR_TESTS_EVENTLOG_TESTLOG_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/winapi.h"

// One record to write.
struct TestRecord {
  uint32_t Time;                     // TimeGenerated (and TimeWritten)
  uint32_t EventId;                  // full 32-bit event id
  std::vector<std::string> Strings;  // insertion strings
};

// A temporary log folder holding one SYSTEM log.
struct TestLog {
  std::string Dir;   // the folder, VELMAR_LOGDIR while the log exists
  std::string Path;  // Dir/SysEvent.Evt
  HANDLE Handle;     // open log, or null
};

// Writes records (numbered from firstNumber) into a fresh folder, points
// VELMAR_LOGDIR at it and opens the log. Returns false (with the writer's
// text in *why) when the file cannot be made or opened.
bool TestLogMake(TestLog* log, const std::vector<TestRecord>& records, uint32_t firstNumber,
                 std::string* why);

// Closes the log and removes its folder with everything in it.
void TestLogRemove(TestLog* log);

#endif  // VELMAR_TESTS_EVENTLOG_TESTLOG_H
