// The port table: what the scan leaves in it and in the line counters over a
// real log and port list, the set-up's bracket and errors through a whole
// run, and where user names are cut for their column.
#include "driver/porttable.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "driver/portwatch.h"
#include "driver/report.h"
#include "driver/scan.h"
#include "eventlog/testlog.h"
#include "support/capture.h"
#include "support/tempdir.h"

namespace {

const uint32_t kT0 = 1796688000;  // 2026-12-08 00:00:00 UTC
const uint32_t kHour = 3600;

// Writes RasPorts.txt into dir, or removes it when text is null.
void PutPortList(const std::string& dir, const char* text) {
  std::string path = dir + "/RasPorts.txt";
  if (text == nullptr) {
    unlink(path.c_str());
  } else {
    std::ofstream(path, std::ios::binary) << text;
  }
}

}  // namespace

TEST(PortTable, WorkedDayChargesPortsAndLines) {
  TestLog log;
  std::string why;
  ASSERT_TRUE(TestLogMake(&log,
                          {
                              {kT0 + 9 * kHour, 20017, {"x", "alice", "A"}},
                              {kT0 + 9 * kHour + 1800, 20017, {"x", "bob", "B"}},
                              {kT0 + 10 * kHour, 20050, {"x", "alice", "A"}},
                              {kT0 + 12 * kHour, 7036, {"Service"}},  // at the window end
                          },
                          1, &why))
      << why;
  PutPortList(log.Dir, "A\nB\n");
  setenv("TZ", "UTC0", 1);
  tzset();  // the listing follows the zone last read
  ReportOptions opts;
  OptionsInit(&opts);
  opts.Listing = false;  // the rows are the end-to-end runs' to check
  PortTable ports = {};
  ASSERT_EQ(PortTableSetup(&ports, stdout, false, nullptr), nullptr);
  ScanState scan;
  ScanInit(&scan, stdout, kT0, kT0 + 12 * kHour, 4);
  ScanUsePorts(&scan, &ports);
  DWORD cap = 0;
  BYTE* buf = NewRecordBuffer(&cap);
  const char* message = nullptr;
  EXPECT_EQ(ScanLog(&scan, &opts, log.Handle, &buf, &cap, 1, &message), 1);
  free(buf);
  // The table holds the ports in the reverse of the list's order; the end of
  // the scan charged bob up to 12:00 and left every port free.
  const struct {
    const char* Name;
    int32_t Logins;
    EventTime Busy;
  } want[] = {{"B", 1, 9000}, {"A", 1, 3600}};
  ASSERT_EQ(ports.PortCount, 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_STREQ(ports.Slots[i].PortName, want[i].Name);
    EXPECT_EQ(ports.Slots[i].Logins, want[i].Logins) << want[i].Name;
    EXPECT_EQ(ports.Slots[i].BusySeconds, want[i].Busy) << want[i].Name;
    EXPECT_STREQ(ports.Slots[i].CurrentUser, "") << want[i].Name;
  }
  EXPECT_EQ(scan.LineTime[0], 32400);
  EXPECT_EQ(scan.LineTime[1], 9000);
  EXPECT_EQ(scan.LineTime[2], 1800);
  EXPECT_EQ(scan.TotalTime, 43200);
  EXPECT_EQ(scan.PortCount, 2);
  PortTableRelease(&ports);
  TestLogRemove(&log);
}

// On a web page the enumeration lies inside "<!---" and "--->", written
// whatever it gives; the error line follows them. There is no log here, so a
// table that is set up is followed by "Can't Open Log".
TEST(PortTable, SetupBracketsTheEnumerationOnAWebPage) {
  TempFolder dir("ports");
  setenv("VELMAR_LOGDIR", dir.Path.c_str(), 1);
  const char* kMissing = nullptr;
  const struct {
    bool Cgi, Tabulated, PortStats;
    const char* List;     // RasPorts.txt, or kMissing
    bool Bracketed;       // "<!---" and "--->" come before the error line
    const char* Message;  // of the error line
  } cases[] = {
      {true, true, false, kMissing, true, "Can't Read RAS Port"},
      {true, false, true, "A\n\nB\n", true, "Can't Read RAS Port"},
      {true, true, true, "", true, "No Port Detected"},
      {true, false, true, "A\nB\n", true, "Can't Open Log"},
      {true, false, false, "A\nB\n", false, "Can't Open Log"},
      {false, true, false, "A\nB\n", false, "Can't Open Log"},
      {false, true, false, kMissing, false, "Can't Read RAS Port"},
  };
  for (const auto& c : cases) {
    PutPortList(dir.Path, c.List);
    Capture cap;
    RunState run;
    RunInit(&run, cap.Out);
    run.CgiMode = c.Cgi;
    run.Options.Tabulated = c.Tabulated;
    run.Options.PortStats = c.PortStats;
    EXPECT_EQ(RunReport(&run), 0);
    RunRelease(&run);
    EXPECT_EQ(run.Ports.PortNames, nullptr);
    std::string want = std::string(c.Bracketed ? "<!------>" : "") + "\nError: " + c.Message + "\n";
    EXPECT_EQ(cap.Close(), want) << c.Cgi << c.Tabulated << c.PortStats << " "
                                 << (c.List ? c.List : "(missing)");
  }
}

// A user's name is cut to at most width bytes, never inside a UTF-8
// sequence; bytes of an 8-bit code page are cut as bytes.
TEST(PortTable, UserNamesCutAtACharacterBoundary) {
  const struct {
    const char* Name;
    int Width;
    const char* Kept;
  } cases[] = {
      {"alexandra", 4, "alex"},
      {"ren\xC3\xA9"
       "e",
       4, "ren"},                       // "renée": the é would be split
      {"zo\xC3\xAB", 4, "zo\xC3\xAB"},  // "zoë" fills 4 bytes exactly
      {"\xE6\x97\xA5\xE6\x9C\xAC", 5, "\xE6\x97\xA5"},
      {"ab\xF0\x9F\x98\x80", 5, "ab"},  // a 4-byte character
      // A first character wider than the column is kept whole: an empty
      // name would mark a connected user's port free.
      {"\xC3\xA9mile", 1, "\xC3\xA9"},
      {"\xF0\x9F\x98\x80x", 3, "\xF0\x9F\x98\x80"},
      // Latin-1 "Renée" and stray continuation bytes: no sequence to keep.
      {"Ren\xE9"
       "e",
       4, "Ren\xE9"},
      {"ab\xA3\xA3\xA3\xA3\xA3", 4, "ab\xA3\xA3"},
      {"\xA3\xA3", 1, "\xA3"},
      {"", 8, ""},
      {"abcdefghijklmnopqrstuvwxyz", 30, "abcdefghijklmnopqrst"},  // at most 20
  };
  PortSlot slot = {};
  slot.PortName = "P";
  PortTable table = {};
  table.PortCount = 1;
  table.Slots = &slot;
  for (const auto& c : cases) {
    PortConnectUpdate(&table, true, 0, "P", c.Name, c.Width);
    EXPECT_STREQ(slot.CurrentUser, c.Kept) << c.Name << " " << c.Width;
  }
  EXPECT_EQ(slot.Logins, 12);
}

// The ports' own state beside the plain count: a connect on a busy port, a
// disconnect on a free one (a session from before the window), a reset
// that frees every port, names matched exactly; past the names it follows,
// a port counts nothing.
TEST(PortWatch, CountsWhereThePlainCountDeparts) {
  PortWatch* w = static_cast<PortWatch*>(malloc(sizeof(PortWatch)));
  PortWatchInit(w);
  const struct {
    PortWatchEvent Event;
    const char* Port;
    uint64_t OnBusy, OnFree;  // the counts after it
  } steps[] = {
      {kWatchConnect, "COM1", 0, 0},    {kWatchConnect, "COM1", 1, 0},
      {kWatchConnect, "com1", 1, 0},    {kWatchDisconnect, "COM2", 1, 1},
      {kWatchDisconnect, "COM1", 1, 1}, {kWatchDisconnect, "COM1", 1, 2},
      {kWatchConnect, "COM1", 1, 2},    {kWatchReset, "", 1, 2},
      {kWatchConnect, "COM1", 1, 2},    {kWatchDisconnect, "com1", 1, 3},
      {kWatchConnect, "", 1, 3},        {kWatchConnect, "", 2, 3},
  };
  for (const auto& s : steps) {
    PortWatchNote(w, s.Event, s.Port);
    EXPECT_EQ(s.OnBusy, w->ConnectsOnBusy) << s.Port;
    EXPECT_EQ(s.OnFree, w->DisconnectsOnFree) << s.Port;
  }
  for (int i = static_cast<int>(w->Ports); i < PORT_WATCH_PORTS; ++i) {
    PortWatchNote(w, kWatchConnect, ("P" + std::to_string(i)).c_str());
  }
  EXPECT_EQ(static_cast<uint32_t>(PORT_WATCH_PORTS), w->Ports);
  PortWatchNote(w, kWatchDisconnect, "one more");
  PortWatchNote(w, kWatchConnect, "P5");
  EXPECT_EQ(3u, w->DisconnectsOnFree);
  EXPECT_EQ(3u, w->ConnectsOnBusy);  // P5 is followed, and busy
  PortWatchRelease(w);
  free(w);
}
