// Reading records into the growing buffer, its three failure texts, the
// insertion strings of damaged records, and the bisection for the window's
// first record, on real .evt files.
#include "eventlog/logread.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "eventlog/testlog.h"

namespace {

const uint32_t kConnect = 20017;

// A fixture-free guard: the log is removed whatever the test does.
struct LogGuard {
  TestLog Log;
  ~LogGuard() { TestLogRemove(&Log); }
};

void* FailGrowth(void* block, size_t size) {
  return size > RECORD_BUFFER_START + 1 ? nullptr : realloc(block, size);
}

// Growth that pulls the file away under the reader, as a log removed or cut
// while it is read.
std::string TruncateOnGrowth;
void* GrowAndTruncate(void* block, size_t size) {
  if (truncate(TruncateOnGrowth.c_str(), 0) != 0) return nullptr;
  return realloc(block, size);
}

struct GrowthHookReset {
  ~GrowthHookReset() { LogBufferRealloc = realloc; }
};

}  // namespace

TEST(ReadRec, GrowsOnceAndKeepsTheLargerBlock) {
  std::string big(600, 'u');
  LogGuard g;
  std::string why;
  ASSERT_TRUE(TestLogMake(&g.Log,
                          {{100, kConnect, {"a", "small", "COM1"}},
                           {200, kConnect, {"a", big, "COM2"}},
                           {300, kConnect, {"a", "small", "COM3"}}},
                          1, &why))
      << why;
  DWORD cap = 0;
  BYTE* buf = NewRecordBuffer(&cap);
  ASSERT_NE(buf, nullptr);
  const char* msg = nullptr;
  EXPECT_EQ(ReadRec(g.Log.Handle, 1, &buf, &cap, &msg), 1);
  EXPECT_EQ(cap, 256u);
  ASSERT_EQ(ReadRec(g.Log.Handle, 2, &buf, &cap, &msg), 1);
  DWORD length;
  memcpy(&length, buf, sizeof length);
  EXPECT_GT(cap, 600u);
  EXPECT_EQ(cap, length);  // grown to exactly what the record needs
  const char* s[3];
  EXPECT_EQ(RecStrings(buf, cap, s, 3), 3);
  EXPECT_EQ(std::string(s[1]), big);
  DWORD grown = cap;
  ASSERT_EQ(ReadRec(g.Log.Handle, 3, &buf, &cap, &msg), 1);
  EXPECT_EQ(cap, grown);  // never shrinks
  EXPECT_EQ(RecTimeGenerated(buf), 300);
  EXPECT_EQ(msg, nullptr);  // written only on failure
  free(buf);
}

TEST(ReadRec, FailureTexts) {
  std::string big(70000, 'x');  // larger than the reader's read-ahead block
  LogGuard g;
  std::string why;
  ASSERT_TRUE(TestLogMake(&g.Log, {{100, kConnect, {"a", big, "COM1"}}}, 1, &why)) << why;
  GrowthHookReset reset;
  DWORD cap = 0;
  BYTE* buf = NewRecordBuffer(&cap);
  ASSERT_NE(buf, nullptr);
  const char* msg = nullptr;
  EXPECT_EQ(ReadRec(g.Log.Handle, 2, &buf, &cap, &msg), 0);
  EXPECT_STREQ(msg, "Can't Read Rec");
  msg = nullptr;
  EXPECT_EQ(ReadRec(g.Log.Handle, 0, &buf, &cap, &msg), 0);
  EXPECT_STREQ(msg, "Can't Read Rec");

  LogBufferRealloc = FailGrowth;
  BYTE* before = buf;
  EXPECT_EQ(ReadRec(g.Log.Handle, 1, &buf, &cap, &msg), 0);
  EXPECT_STREQ(msg, "Can't Realloc Buffer");
  EXPECT_EQ(buf, before);  // block and capacity stay the caller's as they were
  EXPECT_EQ(cap, 256u);

  TruncateOnGrowth = g.Log.Path;
  LogBufferRealloc = GrowAndTruncate;
  EXPECT_EQ(ReadRec(g.Log.Handle, 1, &buf, &cap, &msg), 0);
  EXPECT_STREQ(msg, "Still Can't Read Rec");
  EXPECT_GT(cap, 70000u);
  free(buf);
}

TEST(RecStrings, NeverReadsPastTheRecord) {
  // A record image: fixed part, then strings from StringOffset.
  const DWORD fixed = sizeof(EVENTLOGRECORD);
  const struct {
    const char* Name;
    WORD NumStrings;
    DWORD StringOffset;
    DWORD Length;      // Length field
    DWORD Capacity;    // buffer capacity given
    const char* Want;  // the three strings joined by '|'
  } cases[] = {
      {"whole", 3, fixed, fixed + 11, 256, "a|bb|ccc"},
      {"fewer than asked", 1, fixed, fixed + 11, 256, "a||"},
      {"none", 0, fixed, fixed + 11, 256, "||"},
      {"offset past length", 3, fixed + 20, fixed + 11, 256, "||"},
      {"offset into fixed part", 3, 8, fixed + 11, 256, "||"},
      {"length cuts third", 3, fixed, fixed + 8, 256, "a|bb|"},
      {"capacity cuts second", 3, fixed, 4000, fixed + 4, "a||"},
      {"huge offset", 3, 0xFFFFFFF0u, fixed + 11, 256, "||"},
  };
  for (const auto& c : cases) {
    BYTE buf[257];
    memset(buf, 'z', sizeof buf);  // no stray terminators after the strings
    EVENTLOGRECORD head = {};
    head.Length = c.Length;
    head.NumStrings = c.NumStrings;
    head.StringOffset = c.StringOffset;
    memcpy(buf, &head, sizeof head);
    memcpy(buf + fixed, "a\0bb\0ccc\0", 9);
    const char* s[3];
    RecStrings(buf, c.Capacity, s, 3);
    EXPECT_EQ(std::string(s[0]) + "|" + s[1] + "|" + s[2], c.Want) << c.Name;
  }
}

TEST(RecComputer, SecondTextOrEmptyWhenNotInsideTheRecord) {
  const DWORD fixed = sizeof(EVENTLOGRECORD);
  const struct {
    DWORD Length;      // Length field
    DWORD Capacity;    // buffer capacity given
    const char* Want;  // the computer name found
  } cases[] = {
      {fixed + 12, 256, "RAS01"}, {fixed + 11, 256, ""},  // the name's terminator lies past Length
      {fixed + 6, 256, ""},                               // only the source name fits
      {4000, fixed + 11, ""},                             // the capacity cuts the name
      {fixed, 256, ""},                                   // no text at all
  };
  for (const auto& c : cases) {
    BYTE buf[257];
    memset(buf, 'z', sizeof buf);
    EVENTLOGRECORD head = {};
    head.Length = c.Length;
    memcpy(buf, &head, sizeof head);
    memcpy(buf + fixed, "Sourc\0RAS01\0", 12);
    EXPECT_STREQ(RecComputer(buf, c.Capacity), c.Want) << c.Length << " " << c.Capacity;
  }
}

TEST(FindFirstRec, FirstRecordAtOrAfterStart) {
  LogGuard g;
  std::string why;
  // Records 10 to 14.
  ASSERT_TRUE(TestLogMake(
      &g.Log, {{100, 1, {}}, {200, 1, {}}, {200, 1, {}}, {200, 1, {}}, {300, 1, {}}}, 10, &why))
      << why;
  const struct {
    EventTime Start;
    DWORD First;
  } cases[] = {
      {400, 15},            // every record earlier: the one after the newest
      {301, 15},            // the newest just earlier: still after it, never it
      {50, 10},             // the oldest at or after the start
      {100, 10},            // the oldest on the start second
      {300, 14},            // only the newest in the window
      {200, 11},            // several on the start second: the first of them
      {201, 14}, {-5, 10},  // a start before 1970
  };
  for (const auto& c : cases) {
    DWORD first = 0;
    DWORD newest = 0;
    const char* msg = nullptr;
    EXPECT_EQ(FindFirstRec(g.Log.Handle, &first, &newest, c.Start, &msg), c.Start);
    EXPECT_EQ(msg, nullptr);
    EXPECT_EQ(newest, 14u) << c.Start;
    EXPECT_EQ(first, c.First) << c.Start;
  }
}

TEST(FindFirstRec, SingleAndEmptyLogs) {
  {
    LogGuard g;
    std::string why;
    ASSERT_TRUE(TestLogMake(&g.Log, {{100, 1, {}}}, 1, &why)) << why;
    DWORD first = 0;
    DWORD newest = 0;
    const char* msg = nullptr;
    EXPECT_EQ(FindFirstRec(g.Log.Handle, &first, &newest, 100, &msg), 100);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(FindFirstRec(g.Log.Handle, &first, &newest, 101, &msg), 101);
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(newest, 1u);
  }
  {
    LogGuard g;
    std::string why;
    ASSERT_TRUE(TestLogMake(&g.Log, {}, 1, &why)) << why;
    DWORD first = 0;
    DWORD newest = 0;
    const char* msg = nullptr;
    EXPECT_EQ(FindFirstRec(g.Log.Handle, &first, &newest, 100, &msg), 0);
    EXPECT_STREQ(msg, "Can't Read Rec");
  }
}

TEST(FindFirstRec, SetupFailures) {
  LogGuard g;
  std::string why;
  ASSERT_TRUE(TestLogMake(&g.Log, {{100, 1, {}}}, 1, &why)) << why;
  GrowthHookReset reset;
  LogBufferRealloc = [](void*, size_t) -> void* { return nullptr; };
  DWORD first = 0;
  DWORD newest = 0;
  const char* msg = nullptr;
  EXPECT_EQ(FindFirstRec(g.Log.Handle, &first, &newest, 100, &msg), 0);
  EXPECT_STREQ(msg, "Can't allocate Buffer");
  LogBufferRealloc = realloc;
  // A handle that is no open log.
  EXPECT_EQ(FindFirstRec(nullptr, &first, &newest, 100, &msg), 0);
  EXPECT_STREQ(msg, "Can't Get Oldest Rec");
}
