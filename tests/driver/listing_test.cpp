// The listing's texts (durations) and the counters the scan leaves for the
// summaries, driven event by event.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "driver/scan.h"
#include "support/capture.h"

namespace {

void UseZone(const char* tz) {
  setenv("TZ", tz, 1);
  tzset();
}

// 2026-12-08 00:00:00 UTC.
const EventTime kMidnight = 1796688000;

ScanEvent Event(int id, EventTime t, const char* user = "", const char* port = "") {
  return ScanEvent{id, t, user, port, 0};
}

}  // namespace

TEST(Listing, DurationsTruncateTowardZero) {
  const struct {
    EventTime Seconds;
    const char* Text;
  } cases[] = {
      {0, " 0: 0:00"},
      {1800, " 0:30:00"},
      {3725, " 1: 2:05"},
      {360000, "100: 0:00"},
      {-5, " 0: 0:-5"},
      {-3725, "-1:-2:-5"},
      {86399, "23:59:59"},
      {(EventTime)1 << 33, "2386092:56:32"},
      {INT64_MAX, "2562047788015215:30:07"},
      {INT64_MIN, "-2562047788015215:-30:-8"},
  };
  for (const auto& c : cases) {
    Capture cap;
    WriteDuration(cap.Out, c.Seconds);
    EXPECT_EQ(cap.Close(), c.Text) << c.Seconds;
  }
}

TEST(Listing, CountsStayInTheirBounds) {
  UseZone("UTC0");
  ReportOptions opts;
  OptionsInit(&opts);
  opts.Listing = false;  // the counters run the same without the listing
  ScanState scan;
  ScanInit(&scan, stdout, kMidnight, kMidnight + 86400, 1000);
  // 300 connects a second apart: counts above 255 are charged to 255.
  for (int i = 1; i <= 300; ++i) {
    ScanEvent ev = Event(EVENT_CONNECT, kMidnight + i, "u", "P");
    HandleEvent(&scan, &opts, &ev);
  }
  EXPECT_EQ(scan.LinesInUse, 300);
  EXPECT_EQ(scan.PortCount, 255);
  EXPECT_EQ(scan.LineTime[254], 1);
  EXPECT_EQ(scan.LineTime[255], 45);  // counts 255 to 299, one second each
  // More disconnects than lines in use stop at 0; a reset frees them all.
  ScanEvent reset = Event(EVENT_RESET_8033, kMidnight + 400);
  HandleEvent(&scan, &opts, &reset);
  EXPECT_EQ(scan.LinesInUse, 0);
  EXPECT_EQ(scan.LineTime[255], 145);
  ScanEvent off = Event(EVENT_DISCONNECT, kMidnight + 500, "u", "P");
  HandleEvent(&scan, &opts, &off);
  EXPECT_EQ(scan.LinesInUse, 0);
  EXPECT_EQ(scan.LineTime[0], 1 + 100);
  EXPECT_EQ(scan.PortCount, 255);
  EXPECT_EQ(scan.TotalTime, 500);
}
