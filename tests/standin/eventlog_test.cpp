// The event log calls over real .evt files written by the log writer: every
// layout a server leaves (wrapped, split records and EOF records, filled
// tails, stale and dirty headers, empty logs), sizes and numbers at the
// edges, names, damaged files, and the cost of finding a record.
#include "standin/eventlog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <numeric>
#include <random>

#include "evt/evtfile.h"  // with the writer's header: one definition of the format
#include "evt/evtformat.h"
#include "logfolder/failreason.h"
#include "platform/winapi.h"
#include "support/bytes.h"
#include "support/tempdir.h"
#include "tools/evtwrite.h"

namespace {

// ---- Records, files and reads --------------------------------------------

// Record n's contents follow from n: some texts not ASCII, some SIDs and
// data, every 13th record larger than 256 bytes, in every 32nd record's data
// a record image at each byte alignment (a stray signature that a search
// must not take for a record), and records 900 to 999 of each thousand ten
// times the usual size, so that record numbers tell positions only roughly.
struct TestRecord {
  uint32_t Time, EventId;            // TimeGenerated (TimeWritten is one later), EventID
  std::string Source, Computer;      // names
  std::vector<std::string> Strings;  // insertion strings
  Bytes Sid, Data;                   // SID and data
};

TestRecord MakeRecord(uint32_t n) {
  TestRecord r{1700000000u + n * 37,
               n % 3 == 1 ? 0x40004E31u : 20050u,
               n % 5 == 0 ? "Säkerhet" : "RemoteAccess",
               n % 4 == 0 ? "東京-RAS" : "POOL1",
               {},
               {},
               Bytes(n % 1000 < 900 ? n % 9 : 2000, (uint8_t)n)};
  for (uint32_t k = 0; k < n % 6; ++k)
    r.Strings.push_back((k == 2 ? "Jürgen " : "s") + std::to_string(n + k));
  if (n % 13 == 7) r.Strings.push_back(std::string(300, 'x'));
  if (n % 4 == 1) r.Sid = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0};
  const uint32_t kFake = 0x40;  // length of the record image in the data
  for (uint32_t shift = 0; n % 32 == 27 && shift < 4; ++shift) {
    Bytes fake(shift + kFake, 0);
    Put32(&fake, shift + kEvtRecLength, kFake), Put32(&fake, shift + kFake - 4, kFake);
    Put32(&fake, shift + kEvtRecReserved, kEvtSignature);
    Put32(&fake, shift + kEvtRecRecordNumber, n - 2);
    r.Data.insert(r.Data.end(), fake.begin(), fake.end());
  }
  return r;
}

// Calls f with record n in the writer's form.
template <typename F>
auto WithWriterRecord(uint32_t n, F f) {
  TestRecord r = MakeRecord(n);
  std::vector<const char*> texts;
  for (const std::string& s : r.Strings) texts.push_back(s.c_str());
  EvtRecordIn in{r.Time,
                 r.Time + 1,
                 r.EventId,
                 4,
                 0,
                 r.Source.c_str(),
                 r.Computer.c_str(),
                 texts.data(),
                 (uint16_t)texts.size(),
                 r.Sid.data(),
                 (uint32_t)r.Sid.size(),
                 r.Data.data(),
                 (uint32_t)r.Data.size()};
  return f(&in);
}

std::vector<uint32_t> FileLengths(uint32_t count) {
  std::vector<uint32_t> len;
  for (uint32_t n = 1; n <= count; ++n) len.push_back(WithWriterRecord(n, EvtRecordLength));
  return len;
}

// Writes records 1..count: maxSize 0 grows, else a circular log with its
// first record at start (a full one drops its oldest).
void WriteLog(const std::string& path, uint32_t count, uint32_t maxSize = 0,
              uint32_t start = kEvtHeaderSize) {
  EvtWriter w;
  ASSERT_EQ(EvtWriterOpen(&w, path.c_str(), maxSize, start, 1), 1) << w.Message;
  for (uint32_t n = 1; n <= count; ++n) {
    ASSERT_EQ(WithWriterRecord(n, [&](const EvtRecordIn* in) { return EvtWriterAdd(&w, in); }), 1);
  }
  ASSERT_EQ(EvtWriterClose(&w), 1) << w.Message;
}

// Record n as the ANSI read call must hand it back, byte for byte.
Bytes Expected(uint32_t n) {
  TestRecord r = MakeRecord(n);
  Bytes b(kEvtFixedSize, 0);
  Put32(&b, kEvtRecReserved, kEvtSignature), Put32(&b, kEvtRecRecordNumber, n);
  Put32(&b, kEvtRecTimeGenerated, r.Time), Put32(&b, kEvtRecTimeWritten, r.Time + 1);
  Put32(&b, kEvtRecEventID, r.EventId), Put16(&b, kEvtRecEventType, 4);
  Put16(&b, kEvtRecNumStrings, (uint16_t)r.Strings.size());
  Put32(&b, kEvtRecUserSidLength, (uint32_t)r.Sid.size());
  Put32(&b, kEvtRecDataLength, (uint32_t)r.Data.size());
  auto text = [&b](const std::string& s) {
    for (char c : s) b.push_back((uint8_t)c);
    b.push_back(0);
  };
  text(r.Source), text(r.Computer);
  Put32(&b, kEvtRecUserSidOffset, (uint32_t)b.size());
  b.insert(b.end(), r.Sid.begin(), r.Sid.end());
  Put32(&b, kEvtRecStringOffset, (uint32_t)b.size());
  for (const std::string& s : r.Strings) text(s);
  Put32(&b, kEvtRecDataOffset, (uint32_t)b.size());
  b.insert(b.end(), r.Data.begin(), r.Data.end());
  b.resize((b.size() + 3) / 4 * 4 + 4);
  Put32(&b, kEvtRecLength, (uint32_t)b.size()), Put32(&b, b.size() - 4, (uint32_t)b.size());
  return b;
}

// One read with a cap-byte buffer; nothing may be written past cap.
struct Got {
  BOOL Ok;       // the call's result
  DWORD Error;   // GetLastError after a failure
  DWORD Needed;  // bytes needed
  Bytes Record;  // the record on success
};

Got ReadAt(HANDLE log, DWORD n, DWORD cap, DWORD flags = 6) {
  Bytes buf(cap + 16, 0xA5);
  DWORD read = 0, needed = 0xDEAD;
  BOOL ok = ReadEventLogA(log, flags, n, buf.data(), cap, &read, &needed);
  EXPECT_TRUE(std::all_of(buf.begin() + cap, buf.end(), [](uint8_t c) { return c == 0xA5; }));
  buf.resize(ok ? read : 0);
  return Got{ok, ok ? 0 : GetLastError(), needed, buf};
}

// As the report reads: 256 bytes, then the size asked for.
Got Read(HANDLE log, DWORD n) {
  Got g = ReadAt(log, n, 256);
  return !g.Ok && g.Error == ERROR_INSUFFICIENT_BUFFER ? ReadAt(log, n, g.Needed) : g;
}

bool ReadsRight(HANDLE log, DWORD n) {
  return Read(log, n).Record == Expected(n);
}

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempFolder("evt"), file_ = dir_ + "/SysEvent.Evt";
    setenv("VELMAR_LOGDIR", dir_.c_str(), 1);
  }
  void TearDown() override { RemoveTree(dir_); }
  Bytes Load() { return ReadBytes(file_); }
  void Store(const Bytes& b) {
    unlink(file_.c_str());  // a new file: rewriting one in place makes some file systems flush
    WriteBytes(file_, b);
  }
  std::string dir_, file_;  // the log folder and its SysEvent.Evt
};

HANDLE Open() {
  return OpenEventLogA(nullptr, "SYSTEM");
}

// Oldest and count as given; every record right forwards, backwards, shuffled.
void ExpectWholeLog(HANDLE log, DWORD oldest, DWORD count) {
  DWORD o = 9, c = 9;
  ASSERT_TRUE(GetOldestEventLogRecord(log, &o) && GetNumberOfEventLogRecords(log, &c));
  ASSERT_EQ(o, oldest);
  ASSERT_EQ(c, count);
  std::vector<DWORD> order(count);
  std::iota(order.begin(), order.end(), oldest);
  for (int pass = 0; pass < 3; ++pass) {
    if (pass == 1) std::reverse(order.begin(), order.end());
    if (pass == 2) std::shuffle(order.begin(), order.end(), std::mt19937(count));
    for (DWORD n : order) EXPECT_TRUE(ReadsRight(log, n)) << "record " << n;
  }
}

// ---- Layouts ---------------------------------------------------------------

// Where the writer puts records 1..count in a circular log of Size bytes
// from a start offset, none dropped.
struct Layout {
  uint32_t Size;              // file size
  std::vector<uint32_t> Len;  // record lengths
  std::vector<uint32_t> At;   // record offsets
  uint32_t Eof;               // EOF record offset
  bool Tail;                  // a tail too short for a fixed part was filled
};
using Wanted = bool (*)(const Layout&);

// The first start offset whose layout is wanted; *l is that layout.
uint32_t StartFor(uint32_t size, uint32_t count, Wanted want, Layout* l) {
  *l = Layout{size, FileLengths(count), {}, 0, false};
  uint32_t room = std::accumulate(l->Len.begin(), l->Len.end(), 0u) + kEvtFixedSize + kEvtEofSize;
  EXPECT_LT(room, size - kEvtHeaderSize);  // records, a filled tail and the EOF record fit
  for (uint32_t start = kEvtHeaderSize; start < size; start += 4) {
    l->At.clear(), l->Eof = start, l->Tail = false;
    for (uint32_t n : l->Len) {
      if (size - l->Eof < kEvtFixedSize) l->Eof = kEvtHeaderSize, l->Tail = true;
      l->At.push_back(l->Eof);
      l->Eof += n;
      if (l->Eof >= size) l->Eof -= size - kEvtHeaderSize;
    }
    if (want(*l)) return start;
  }
  ADD_FAILURE() << "no start offset gives this layout";
  return kEvtHeaderSize;
}

bool AnySplit(const Layout& l) {
  for (size_t i = 0; i < l.Len.size(); ++i) {
    if (l.At[i] + l.Len[i] > l.Size) return true;
  }
  return false;
}

TEST_F(EventLogTest, EveryLayoutReadsEveryRecord) {
  const struct {
    const char* Name;
    uint32_t Size, Count;  // Size 0: a log that grows
    Wanted Want;
  } cases[] = {
      {"grown, not wrapped", 0, 40, nullptr},
      {"circular, not wrapped", 8192, 20, [](const Layout&) { return true; }},
      {"record split across the end", 4096, 20, AnySplit},
      {"tail filled with 0x27", 4096, 20, [](const Layout& l) { return l.Tail; }},
      {"record ends at the end", 4096, 20,
       [](const Layout& l) { return l.At[5] + l.Len[5] == l.Size; }},
      {"newest ends at the end, EOF at 0x30", 4096, 20,
       [](const Layout& l) { return l.Eof == kEvtHeaderSize; }},
      {"EOF record split", 4096, 20, [](const Layout& l) { return l.Eof + kEvtEofSize > l.Size; }},
      {"EOF record in a short tail", 4096, 20,
       [](const Layout& l) {
         return l.Size - l.Eof < kEvtFixedSize && l.Eof + kEvtEofSize <= l.Size;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Layout l{};
    WriteLog(file_, c.Count, c.Size,
             c.Want ? StartFor(c.Size, c.Count, c.Want, &l) : kEvtHeaderSize);
    EXPECT_TRUE(!c.Want || Get32(Load(), kEvtHdrEndOffset) == l.Eof);  // the writer laid it out so
    HANDLE log = Open();
    ASSERT_NE(log, nullptr);
    ExpectWholeLog(log, 1, c.Count);
    EXPECT_TRUE(CloseEventLog(log));
  }
  WriteLog(file_, 300, 4096);  // full: the oldest were dropped
  HANDLE log = Open();
  DWORD oldest = 0;
  ASSERT_TRUE(GetOldestEventLogRecord(log, &oldest));
  EXPECT_GT(oldest, 200u);
  ExpectWholeLog(log, oldest, 301 - oldest);
  CloseEventLog(log);
}

TEST_F(EventLogTest, StaleOrDirtyHeaderStillReadsNewestRecords) {
  const uint32_t kCount = 45;
  Layout l{};
  uint32_t start = StartFor(8192, kCount, AnySplit, &l);
  uint32_t beforeWrap = 1;  // this many records old, the header's End lies before the wrap
  while (l.At[kCount - beforeWrap] < l.Eof) ++beforeWrap;
  const struct {
    uint32_t Flags, Back;  // header flags; its End and Current are this many records old
  } cases[] = {{kEvtFlagDirty | kEvtFlagWrap, 0},
               {kEvtFlagDirty | kEvtFlagWrap, 25},
               {kEvtFlagDirty | kEvtFlagWrap, beforeWrap},
               {kEvtFlagWrap, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.Flags << ", back " << c.Back);
    WriteLog(file_, kCount, 8192, start);
    Bytes b = Load();
    if (c.Back > 0) {
      Put32(&b, kEvtHdrEndOffset, l.At[kCount - c.Back]);
      Put32(&b, kEvtHdrCurrentRecordNumber, kCount - c.Back + 1);
    }
    Put32(&b, kEvtHdrFlags, c.Flags);
    Store(b);
    HANDLE log = Open();
    ASSERT_NE(log, nullptr);
    ExpectWholeLog(log, 1, kCount);
    CloseEventLog(log);
  }
}

// ---- Edges: empty logs, large records, numbers outside, names -----------------

TEST_F(EventLogTest, EmptyLogLargeRecordAndNumbersOutsideAnswerAsWin32Does) {
  for (uint32_t size : {0u, 4096u}) {
    WriteLog(file_, 0, size, size ? 0x800 : kEvtHeaderSize);
    HANDLE log = Open();
    ASSERT_NE(log, nullptr);
    ExpectWholeLog(log, 0, 0);
    for (DWORD n : {0u, 1u, 2u}) EXPECT_EQ(ReadAt(log, n, 4096).Error, (DWORD)ERROR_HANDLE_EOF);
    CloseEventLog(log);
  }
  WriteLog(file_, 20);  // record 7 is large
  HANDLE log = Open();
  DWORD size = (DWORD)Expected(7).size();
  ASSERT_GT(size, 256u);
  for (DWORD cap : {0u, 256u, size - 4}) {
    Got g = ReadAt(log, 7, cap);
    EXPECT_TRUE(!g.Ok && g.Error == ERROR_INSUFFICIENT_BUFFER && g.Needed == size) << cap;
  }
  EXPECT_EQ(ReadAt(log, 7, size).Record, Expected(7));
  EXPECT_EQ(ReadAt(log, 8, size).Record, Expected(8));  // a smaller one in the larger buffer
  const struct {
    DWORD Number, Cap, Error;
  } outside[] = {{0, 256, ERROR_INVALID_PARAMETER},
                 {0, 0, ERROR_INVALID_PARAMETER},
                 {21, 256, ERROR_HANDLE_EOF},
                 {21, 0, ERROR_HANDLE_EOF},
                 {~0u, 8, ERROR_HANDLE_EOF}};
  for (const auto& o : outside) {
    Got g = ReadAt(log, o.Number, o.Cap);
    EXPECT_TRUE(!g.Ok && g.Error == o.Error && g.Needed == 0) << o.Number << " " << o.Cap;
  }
  for (DWORD flags : {0u, 1u, 2u, 4u, 5u, 10u}) EXPECT_EQ(ReadAt(log, 1, 4096, flags).Error, 87u);
  CloseEventLog(log);
}

TEST_F(EventLogTest, OnlySystemLogOfPlainComputerNamesOpens) {
  WriteLog(file_, 3);
  ASSERT_EQ(mkdir((dir_ + "/NAME").c_str(), 0755), 0);
  WriteLog(dir_ + "/NAME/SysEvent.Evt", 30, 8192, 0x1C00);
  const struct {
    const char *Server, *Log;
    DWORD Count;  // records of the log
  } opens[] = {{nullptr, "SYSTEM", 3},
               {nullptr, "system", 3},
               {"\\\\NAME", "SyStEm", 30},
               {"NAME", "SYSTEM", 30}};
  for (const auto& c : opens) {
    HANDLE log = OpenEventLogA(c.Server, c.Log);
    DWORD count = 0;
    EXPECT_TRUE(GetNumberOfEventLogRecords(log, &count) && count == c.Count && CloseEventLog(log));
  }
  for (const char* log : {"Application", "SYSTEMS", "", (const char*)nullptr}) {
    EXPECT_EQ(OpenEventLogA(nullptr, log), nullptr) << log;
  }
  for (const char* server : {"..", "a/b", "", "\\\\..", "\\\\", "\\\\NAME\\x", "\\\\OTHER"}) {
    EXPECT_EQ(OpenEventLogA(server, "SYSTEM"), nullptr) << server;
  }
  // A saved log opens by its path wherever it lies; only this computer's.
  HANDLE saved = OpenBackupEventLogA(nullptr, (dir_ + "/NAME/SysEvent.Evt").c_str());
  DWORD savedCount = 0;
  EXPECT_TRUE(GetNumberOfEventLogRecords(saved, &savedCount) && savedCount == 30 &&
              CloseEventLog(saved));
  EXPECT_EQ(OpenBackupEventLogA("NAME", file_.c_str()), nullptr);
  EXPECT_EQ(OpenBackupEventLogA(nullptr, (dir_ + "/none.evt").c_str()), nullptr);
  // Handles open at once keep their own place.
  HANDLE a = Open(), b = OpenEventLogA("NAME", "SYSTEM");
  for (DWORD n = 1; n <= 30; ++n) {
    EXPECT_TRUE(ReadsRight(a, n % 3 + 1) && ReadsRight(b, n) && ReadsRight(b, 31 - n)) << n;
  }
  EXPECT_TRUE(CloseEventLog(a) && CloseEventLog(b));
  DWORD v = 0;
  EXPECT_FALSE(CloseEventLog(nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(GetOldestEventLogRecord(nullptr, &v) || GetNumberOfEventLogRecords(nullptr, &v));
  EXPECT_FALSE(ReadEventLogA(nullptr, 6, 1, &v, 4, &v, &v));
}

// ---- Damaged files -----------------------------------------------------------

// Every number of the log and around it reads cleanly: a plain error, or
// with `exact` the record written (but `except`), else a well-formed one.
void ExpectCleanReads(HANDLE log, bool exact, DWORD except = 0) {
  DWORD oldest = 0, count = 0;
  ASSERT_TRUE(GetOldestEventLogRecord(log, &oldest) && GetNumberOfEventLogRecords(log, &count));
  for (DWORD n = oldest ? oldest - 1 : 0; n <= oldest + std::min(count, 200u) + 1; ++n) {
    Got g = Read(log, n);
    if (!g.Ok) {
      EXPECT_TRUE(g.Error == ERROR_EVENTLOG_FILE_CORRUPT || g.Error == ERROR_HANDLE_EOF ||
                  g.Error == ERROR_INVALID_PARAMETER)
          << n << ": " << g.Error;
    } else if (exact && n != except) {
      EXPECT_EQ(g.Record, Expected(n)) << n;
    } else {
      EXPECT_TRUE(Get32(g.Record, kEvtRecLength) == g.Record.size() &&
                  Get32(g.Record, kEvtRecRecordNumber) == n &&
                  Get32(g.Record, g.Record.size() - 4) == g.Record.size())
          << n;
    }
  }
}

// Writes a wrapped log of 20 records in 4096 bytes, the first at 3600, and
// returns its bytes; *l says where each record lies.
Bytes WriteDamageLog(const std::string& file, Layout* l) {
  WriteLog(file, 20, 4096, 3600);
  StartFor(
      4096, 20, [](const Layout& at) { return at.At[0] == 3600; }, l);
  Bytes good = ReadBytes(file);
  EXPECT_TRUE(Get32(good, kEvtHdrEndOffset) == l->Eof && l->Eof + kEvtEofSize <= 4096);
  return good;
}

TEST_F(EventLogTest, DamagedFieldsFailCleanly) {
  Layout l{};
  const Bytes good = WriteDamageLog(file_, &l);
  const uint32_t k = 5, rec = l.At[k - 1], len = l.Len[k - 1], eof = l.Eof;
  enum Outcome { kRecordFails, kNoOpen, kOpens };
  // Stores b as the log and reads it as `then` says; only record `except`
  // may read otherwise than it was written.
  auto check = [&](const Bytes& b, Outcome then, DWORD except) {
    Store(b);
    HANDLE log = Open();
    ASSERT_EQ(log != nullptr, then != kNoOpen);
    if (log == nullptr) return;
    Got g = Read(log, k);
    EXPECT_TRUE(then != kRecordFails || (!g.Ok && g.Error == ERROR_EVENTLOG_FILE_CORRUPT));
    for (DWORD n = 1; n < k && then == kRecordFails; ++n) EXPECT_TRUE(ReadsRight(log, n)) << n;
    ExpectCleanReads(log, true, except);
    CloseEventLog(log);
  };
  // One dword set to a lie: a field of the header (at 0), of record 5 (at
  // rec, which has strings, a SID and data) or of the EOF record (at eof).
  const struct {
    uint32_t At, Value;
    Outcome Then;
  } lies[] = {
      // Record 5 lies about a field: it fails, the records before it read.
      {rec + kEvtRecLength, 0, kRecordFails},
      {rec + kEvtRecLength, kEvtFixedSize, kRecordFails},
      {rec + kEvtRecLength, len + 4, kRecordFails},
      {rec + kEvtRecLength, len + 2, kRecordFails},
      {rec + kEvtRecLength, ~15u, kRecordFails},
      {rec + len - 4, len + 4, kRecordFails},  // the trailing copy of Length
      {rec + kEvtRecReserved, kEvtSignature + 1, kRecordFails},
      {rec + kEvtRecRecordNumber, k + 1, kRecordFails},
      {rec + kEvtRecStringOffset, len, kRecordFails},
      {rec + kEvtRecStringOffset, 0x10, kRecordFails},  // inside the fixed part
      {rec + kEvtRecUserSidLength, len, kRecordFails},
      {rec + kEvtRecUserSidOffset, ~3u, kRecordFails},
      {rec + kEvtRecDataLength, ~0u, kRecordFails},
      {rec + kEvtRecDataOffset, ~1u, kRecordFails},
      // The header or the EOF record broken: the log does not open.
      {kEvtHdrHeaderSize, kEvtHeaderSize + 4, kNoOpen},
      {kEvtHdrSignature, 0, kNoOpen},
      {kEvtHdrEndHeaderSize, 0, kNoOpen},
      {kEvtHdrStartOffset, 0x10, kNoOpen},  // inside the header
      {kEvtHdrEndOffset, 4096, kNoOpen},
      {kEvtHdrEndOffset, eof + 2, kNoOpen},
      {eof + kEvtEofOne + 4, 0, kNoOpen},  // the second magic dword
      {eof + kEvtEofRecordSizeEnd, 0, kNoOpen},
      {eof + kEvtEofEndRecord, eof + 4, kNoOpen},
      {eof + kEvtEofBeginRecord, 4096, kNoOpen},
      {eof + kEvtEofBeginRecord, kEvtHeaderSize + 1, kNoOpen},
      {eof + kEvtEofOldestRecordNumber, 0, kNoOpen},
      {eof + kEvtEofCurrentRecordNumber, 0, kNoOpen},
      {eof + kEvtEofCurrentRecordNumber, 100000, kNoOpen},
      // A plausible but wrong EOF record: it opens, reads stay clean.
      {eof + kEvtEofCurrentRecordNumber, 24, kOpens},
      {eof + kEvtEofOldestRecordNumber, 2, kOpens},
      {eof + kEvtEofBeginRecord, l.At[1], kOpens},
  };
  for (const auto& d : lies) {
    SCOPED_TRACE(testing::Message() << std::hex << "dword at 0x" << d.At << " = 0x" << d.Value);
    Bytes b = good;
    Put32(&b, d.At, d.Value);
    check(b, d.Then, d.At >= rec && d.At < rec + len ? k : 0);
  }
  // A byte more, one dword short of the smallest log, empty: it does not open.
  for (size_t size : {good.size() + 1, (size_t)(kEvtHeaderSize + kEvtEofSize - 4), (size_t)0}) {
    SCOPED_TRACE(testing::Message() << "file of " << size << " bytes");
    Bytes b = good;
    b.resize(size);
    check(b, kNoOpen, 0);
  }
  // NumStrings 65535: the strings run on to the record's end, the missing ones are empty.
  Bytes many = good;
  Put16(&many, rec + kEvtRecNumStrings, 0xFFFF);
  check(many, kOpens, k);
  HANDLE log = Open();
  Got g = Read(log, k);
  CloseEventLog(log);
  auto data = g.Record.begin() + Get32(g.Record, kEvtRecDataOffset);
  EXPECT_LT(data - g.Record.begin(), 0xFFFF + len);
  EXPECT_TRUE(std::all_of(data - 0xFFF0, data, [](uint8_t c) { return c == 0; }));
  // Not a regular file: a FIFO must not block the open, a folder fails.
  unlink(file_.c_str());
  ASSERT_EQ(mkfifo(file_.c_str(), 0644), 0);
  EXPECT_EQ(Open(), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_FILE_TYPE));
  unlink(file_.c_str());
  ASSERT_EQ(mkdir(file_.c_str(), 0755), 0);
  EXPECT_EQ(Open(), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
}

// A log that does not open says why: no log at all, or a damaged one and the
// check it failed, as the report's message will give them.
TEST_F(EventLogTest, FailedOpensTellWhy) {
  Layout l{};
  const Bytes good = WriteDamageLog(file_, &l);
  Bytes text(64, 'x'), noSignature = good, cut(good.begin(), good.begin() + 0x54), longer = good,
                       badHeader = good, noEof = good;
  longer.push_back(0);
  Put32(&noSignature, kEvtHdrSignature, 0);
  Put32(&badHeader, kEvtHdrEndHeaderSize, 0);
  Put32(&noEof, l.Eof + kEvtEofOne + 4, 0);  // the second magic dword
  const struct {
    const Bytes* File;   // the file, or null for none
    DWORD Error;         // GetLastError after the failed open
    const char* Detail;  // PlatformErrorDetail
  } cases[] = {
      {nullptr, ERROR_FILE_NOT_FOUND, nullptr},
      {&text, ERROR_BAD_FORMAT, nullptr},
      {&noSignature, ERROR_BAD_FORMAT, nullptr},
      {&cut, ERROR_EVENTLOG_FILE_CORRUPT, "shorter than a header and an end-of-file record"},
      {&longer, ERROR_EVENTLOG_FILE_CORRUPT, "size not a multiple of 4"},
      {&badHeader, ERROR_EVENTLOG_FILE_CORRUPT, "bad header"},
      {&noEof, ERROR_EVENTLOG_FILE_CORRUPT, "no end-of-file record"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Error);
    if (c.File != nullptr) Store(*c.File);
    if (c.File == nullptr) unlink(file_.c_str());
    EXPECT_EQ(Open(), nullptr);
    EXPECT_EQ(GetLastError(), c.Error);
    EXPECT_STREQ(PlatformErrorDetail(), c.Detail);
  }
}

TEST(FailReason, NameAndReasonForEachCode) {
  const struct {
    const char* Name;    // what failed
    DWORD Error;         // its code
    const char* Detail;  // the platform's detail, or null
    const char* Text;    // the message text
  } cases[] = {
      {"/logs/SysEvent.Evt", ERROR_FILE_NOT_FOUND, nullptr,
       "/logs/SysEvent.Evt: No such file or directory"},
      {"a", ERROR_ACCESS_DENIED, "ignored", "a: permission denied"},
      {"a", ERROR_EVENTLOG_FILE_CORRUPT, "bad header", "a: damaged: bad header"},
      {"a", ERROR_EVENTLOG_FILE_CORRUPT, nullptr, "a: damaged"},
      {"a", ERROR_INVALID_DATA, "x", "a: invalid data: x"},
      {"\\\\..", ERROR_INVALID_NAME, nullptr, "\\\\..: not a valid computer name"},
      {"a\nb\x7F", 1722, nullptr, "a?b?: error 1722"},  // no line of its own
  };
  for (const auto& c : cases) {
    char text[64];
    DescribeOpenFailure(c.Name, c.Error, c.Detail, text, sizeof text);
    EXPECT_STREQ(text, c.Text);
  }
  char small[8];
  DescribeOpenFailure("/logs/SysEvent.Evt", ERROR_FILE_NOT_FOUND, nullptr, small, sizeof small);
  EXPECT_STREQ(small, "/logs/S");
}

// Flipped and random bytes are the fuzz target's (fuzz_evt.cpp), whose
// corpus keeps the inputs that reached code the others did not.
TEST_F(EventLogTest, TruncatedLogsReadRightOrFailCleanly) {
  Layout l{};
  const Bytes good = WriteDamageLog(file_, &l);
  for (size_t cut = 0; cut < good.size(); cut += cut < 0x60 ? 1 : 4) {
    Store(Bytes(good.begin(), good.begin() + cut));
    if (HANDLE log = Open()) ExpectCleanReads(log, true), CloseEventLog(log);
  }
}

// ---- Cost: finding a record takes log2 reads at most, reading on uses the block ---------

TEST_F(EventLogTest, RandomReadIsLogReadsAndReadingOnUsesTheBlock) {
  const uint32_t kBig = 8u << 20;
  WriteLog(file_, 80000, kBig);  // wraps: the oldest are dropped
  HANDLE log = Open();
  EXPECT_LE(EvtLogStats(log).Reads, 2u);  // header and EOF record
  DWORD oldest = 0, count = 0;
  ASSERT_TRUE(GetOldestEventLogRecord(log, &oldest) && GetNumberOfEventLogRecords(log, &count));
  const double bound = std::log2(kBig) + 4;  // about log2(file size) reads
  std::mt19937 rng(5);
  uint64_t total = 0, worst = 0;
  for (int i = 0; i < 60; ++i) {
    DWORD n = oldest + rng() % count;
    EvtStats before = EvtLogStats(log);
    ASSERT_TRUE(ReadsRight(log, n));
    uint64_t reads = EvtLogStats(log).Reads - before.Reads;
    EXPECT_LE(reads, bound);
    EXPECT_LE(EvtLogStats(log).BytesRead - before.BytesRead, reads * 8192);
    total += reads, worst = std::max(worst, reads);
  }
  EXPECT_LE(total / 60.0, 8);  // record numbers place most probes next to the record
  // Record after record from a random one on: about one read per block.
  DWORD from = oldest + rng() % (count / 2), to = std::min(from + 20000, oldest + count - 1);
  uint64_t span = 0;
  for (uint32_t len : FileLengths(to)) span += len;
  for (uint32_t len : FileLengths(from)) span -= len;
  ASSERT_TRUE(ReadsRight(log, from));
  EvtStats before = EvtLogStats(log);
  for (DWORD n = from + 1; n <= to; ++n) ASSERT_TRUE(ReadsRight(log, n)) << n;
  uint64_t onward = EvtLogStats(log).Reads - before.Reads;
  EXPECT_LE(onward, span / kEvtBlockSize * 1.1 + 8);  // records cut by a block's end are read again
  printf(
      "%u records in %u bytes: a random record %.1f reads (at most %llu); %u more in order "
      "(%llu bytes) %llu reads\n",
      count, kBig, total / 60.0, (unsigned long long)worst, to - from, (unsigned long long)span,
      (unsigned long long)onward);
  CloseEventLog(log);
  Bytes b = Load();  // dirty: one pass in whole blocks finds the EOF record
  Put32(&b, kEvtHdrFlags, kEvtFlagDirty | kEvtFlagWrap);
  Put32(&b, kEvtHdrEndOffset, Get32(b, kEvtHdrStartOffset));
  Store(b);
  log = Open();
  EXPECT_LE(EvtLogStats(log).Reads, kBig / kEvtBlockSize + 3);
  CloseEventLog(log);
}

}  // namespace
