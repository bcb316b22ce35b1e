// The scan over a real log: which records it takes, where it stops, what it
// leaves in its counters, and a read failure that cuts the listing short.
#include "driver/scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "eventlog/testlog.h"
#include "support/capture.h"

namespace {

const uint32_t kT0 = 1796688000;  // 2026-12-08 00:00:00 UTC
const uint32_t kHour = 3600;

struct LogGuard {
  TestLog Log;
  ~LogGuard() { TestLogRemove(&Log); }
};

struct Scanned {
  int Result;           // ScanLog's result
  const char* Message;  // its message, or null
  std::string Text;     // what it wrote
  ScanState Scan;       // its counters
};

// Scans the log from its first record with the window [kT0, windowEnd).
Scanned Scan(HANDLE log, uint32_t windowEnd, DWORD newest) {
  setenv("TZ", "UTC0", 1);
  tzset();  // the listing follows the zone last read
  ReportOptions opts;
  OptionsInit(&opts);
  Capture text;
  Scanned s;
  ScanInit(&s.Scan, text.Out, kT0, windowEnd, newest);
  DWORD cap = 0;
  BYTE* buf = NewRecordBuffer(&cap);
  s.Message = nullptr;
  s.Result = ScanLog(&s.Scan, &opts, log, &buf, &cap, 1, &s.Message);
  free(buf);
  s.Text = text.Close();
  return s;
}

}  // namespace

TEST(Scan, TakesHandledRecordsAndStopsAtTheWindowEnd) {
  LogGuard g;
  std::string why;
  ASSERT_TRUE(TestLogMake(&g.Log,
                          {
                              {kT0 + 1 * kHour, 6005, {}},           // reset, no line in use
                              {kT0 + 2 * kHour, 7036, {"Service"}},  // not handled
                              {kT0 + 9 * kHour, 0x40004E31, {"x", "alice", "COM1"}},
                              {kT0 + 9 * kHour + 60, 20017, {}},  // no strings
                              {kT0 + 9 * kHour + 1800, 20017, {"x", "bob", "COM2"}},
                              {kT0 + 10 * kHour, 20050, {"x", "alice", "COM1"}},
                              {kT0 + 11 * kHour, 20050, {"x", "bob", "COM2"}},
                              {kT0 + 11 * kHour + 1800, 8033, {}},    // no line in use
                              {kT0 + 12 * kHour, 7036, {"Service"}},  // at the window end
                              {kT0 + 13 * kHour, 20017, {"x", "late", "COM3"}},
                          },
                          1, &why))
      << why;
  Scanned s = Scan(g.Log.Handle, kT0 + 12 * kHour, 10);
  EXPECT_EQ(s.Result, 1);
  EXPECT_EQ(s.Text,
            "Time     Port   User     Action NL Duration\n"
            "--- 08 Dec 2026 ---\n"
            "09:00:00 COM1   alice    login   1  0:30:00\n"
            "09:30:00 COM2   bob      login   2  0:30:00\n"
            "10:00:00 COM1   alice    logout  1  1: 0:00\n"
            "11:00:00 COM2   bob      logout  0  1: 0:00\n"
            "12:00:00 Ended.\n");
  EXPECT_EQ(s.Scan.LineTime[0], 36000);
  EXPECT_EQ(s.Scan.LineTime[1], 5400);
  EXPECT_EQ(s.Scan.LineTime[2], 1800);
  EXPECT_EQ(s.Scan.TotalTime, 43200);
  EXPECT_EQ(s.Scan.PortCount, 2);
}

TEST(Scan, ReadFailureCutsTheListingShort) {
  LogGuard g;
  std::string why;
  ASSERT_TRUE(TestLogMake(&g.Log,
                          {{kT0 + 9 * kHour, 20017, {"x", "alice", "COM1"}},
                           {kT0 + 10 * kHour, 20017, {"x", std::string(400, 'b'), "COM2"}}},
                          1, &why))
      << why;
  LogBufferRealloc = [](void* block, size_t size) -> void* {
    return size > RECORD_BUFFER_START + 1 ? nullptr : realloc(block, size);
  };
  Scanned s = Scan(g.Log.Handle, kT0 + 24 * kHour, 2);
  LogBufferRealloc = realloc;
  EXPECT_EQ(s.Result, 0);
  EXPECT_STREQ(s.Message, "Can't Realloc Buffer");
  EXPECT_EQ(s.Text,
            "Time     Port   User     Action NL Duration\n"
            "--- 08 Dec 2026 ---\n"
            "09:00:00 COM1   alice    login   1 ");
}
