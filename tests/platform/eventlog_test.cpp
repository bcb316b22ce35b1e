// The event log calls over real .evt files written by the log writer: every
// layout a server leaves (wrapped, split records and EOF records, filled
// tails, stale and dirty headers, empty logs), sizes and numbers at the
// edges, names, damaged files, and the cost of finding a record.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>

#include "platform/evtstats.h"
#include "platform/failreason.h"
#include "platform/winapi.h"
#include "tools/evtwrite.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---- Records, files and reads --------------------------------------------

void Put32(Bytes* b, size_t off, uint32_t v) {
  for (int k = 0; k < 4; ++k) (*b)[off + k] = (uint8_t)(v >> (8 * k));
}
uint32_t Get32(const Bytes& b, size_t off) {
  return b[off] | b[off + 1] << 8 | b[off + 2] << 16 | (uint32_t)b[off + 3] << 24;
}

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
  for (uint32_t shift = 0; n % 32 == 27 && shift < 4; ++shift) {
    Bytes fake(shift + 0x40, 0);
    Put32(&fake, shift, 0x40), Put32(&fake, shift + 4, 0x654C664C), Put32(&fake, shift + 8, n - 2);
    Put32(&fake, shift + 0x3C, 0x40), r.Data.insert(r.Data.end(), fake.begin(), fake.end());
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
              uint32_t start = 0x30) {
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
  Bytes b(0x38, 0);
  uint32_t fixed[] = {0, 0x654C664C, n, r.Time, r.Time + 1, r.EventId};
  for (int k = 0; k < 6; ++k) Put32(&b, 4 * k, fixed[k]);
  b[0x18] = 4, b[0x1A] = (uint8_t)r.Strings.size();
  Put32(&b, 0x28, (uint32_t)r.Sid.size()), Put32(&b, 0x30, (uint32_t)r.Data.size());
  auto text = [&b](const std::string& s) {
    for (char c : s) b.push_back((uint8_t)c);
    b.push_back(0);
  };
  text(r.Source), text(r.Computer);
  Put32(&b, 0x2C, (uint32_t)b.size()), b.insert(b.end(), r.Sid.begin(), r.Sid.end());
  Put32(&b, 0x24, (uint32_t)b.size());
  for (const std::string& s : r.Strings) text(s);
  Put32(&b, 0x34, (uint32_t)b.size()), b.insert(b.end(), r.Data.begin(), r.Data.end());
  b.resize((b.size() + 3) / 4 * 4 + 4);
  Put32(&b, 0, (uint32_t)b.size()), Put32(&b, b.size() - 4, (uint32_t)b.size());
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
    char tmpl[] = "/tmp/velmar-evt-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl, file_ = dir_ + "/SysEvent.Evt";
    setenv("VELMAR_LOGDIR", tmpl, 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  Bytes Load() {
    std::ifstream in(file_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Store(const Bytes& b) {
    unlink(file_.c_str());  // a new file: rewriting one in place makes some file systems flush
    std::ofstream(file_, std::ios::binary).write((const char*)b.data(), b.size());
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
  EXPECT_LT(std::accumulate(l->Len.begin(), l->Len.end(), 0u) + 0x60, size - 0x30);
  for (uint32_t start = 0x30; start < size; start += 4) {
    l->At.clear(), l->Eof = start, l->Tail = false;
    for (uint32_t n : l->Len) {
      if (size - l->Eof < 0x38) l->Eof = 0x30, l->Tail = true;
      l->At.push_back(l->Eof);
      l->Eof += n;
      if (l->Eof >= size) l->Eof -= size - 0x30;
    }
    if (want(*l)) return start;
  }
  ADD_FAILURE() << "no start offset gives this layout";
  return 0x30;
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
       [](const Layout& l) { return l.Eof == 0x30; }},
      {"EOF record split", 4096, 20, [](const Layout& l) { return l.Eof + 0x28 > l.Size; }},
      {"EOF record in a short tail", 4096, 20,
       [](const Layout& l) { return l.Size - l.Eof < 0x38 && l.Eof + 0x28 <= l.Size; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Layout l{};
    WriteLog(file_, c.Count, c.Size, c.Want ? StartFor(c.Size, c.Count, c.Want, &l) : 0x30);
    EXPECT_TRUE(!c.Want || Get32(Load(), 0x14) == l.Eof);  // the writer laid it out so
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
  } cases[] = {{0x3, 0}, {0x3, 25}, {0x3, beforeWrap}, {0x2, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.Flags << ", back " << c.Back);
    WriteLog(file_, kCount, 8192, start);
    Bytes b = Load();
    if (c.Back > 0) Put32(&b, 0x14, l.At[kCount - c.Back]), Put32(&b, 0x18, kCount - c.Back + 1);
    Put32(&b, 0x24, c.Flags);
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
    WriteLog(file_, 0, size, size ? 0x800 : 0x30);
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
      EXPECT_TRUE(Get32(g.Record, 0) == g.Record.size() && Get32(g.Record, 8) == n &&
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
  std::ifstream in(file, std::ios::binary);
  Bytes good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(Get32(good, 0x14) == l->Eof && l->Eof + 0x28 <= 4096);
  return good;
}

TEST_F(EventLogTest, DamagedFieldsFailCleanly) {
  Layout l{};
  const Bytes good = WriteDamageLog(file_, &l);
  const uint32_t k = 5, rec = l.At[k - 1], len = l.Len[k - 1], eof = l.Eof;
  enum Outcome { kRecordFails, kNoOpen, kOpens };
  // Puts value at file offset `at` (~0, ~1, ~2: grow by a byte, cut to 0x54, empty the file).
  auto check = [&](uint32_t at, uint32_t value, Outcome then) {
    SCOPED_TRACE(testing::Message() << at << " = " << value);
    Bytes b = good;
    if (at < b.size()) Put32(&b, at, value);
    if (at >= b.size()) b.resize(at == ~0u ? b.size() + 1 : at == ~1u ? 0x54 : 0);
    Store(b);
    HANDLE log = Open();
    ASSERT_EQ(log != nullptr, then != kNoOpen);
    if (log == nullptr) return;
    Got g = Read(log, k);
    EXPECT_TRUE(then != kRecordFails || (!g.Ok && g.Error == ERROR_EVENTLOG_FILE_CORRUPT));
    for (DWORD n = 1; n < k && then == kRecordFails; ++n) EXPECT_TRUE(ReadsRight(log, n)) << n;
    ExpectCleanReads(log, true, at >= rec && at < rec + len ? k : 0);
    CloseEventLog(log);
  };
  // (offset, value) pairs. Record 5 (strings, SID and data) lies about a field: it fails.
  const uint32_t lies[] = {rec,        0,          rec,        0x38,  rec,           len + 4,
                           rec,        len + 2,    rec,        ~15u,  rec + len - 4, len + 4,
                           rec + 4,    0x654C664D, rec + 8,    k + 1, rec + 0x24,    len,
                           rec + 0x24, 0x10,       rec + 0x28, len,   rec + 0x2C,    ~3u,
                           rec + 0x30, ~0u,        rec + 0x34, ~1u};
  for (size_t i = 0; i < std::size(lies); i += 2) check(lies[i], lies[i + 1], kRecordFails);
  // Header or EOF record broken: the log does not open.
  const uint32_t broken[] = {
      0,          0x34,    4,          0, 0x2C,       0, 0x10,       0x10,    0x14,       4096,
      0x14,       eof + 2, eof + 8,    0, eof + 0x24, 0, eof + 0x18, eof + 4, eof + 0x14, 4096,
      eof + 0x14, 0x31,    eof + 0x20, 0, eof + 0x1C, 0, eof + 0x1C, 100000,  ~0u,        0,
      ~1u,        0,       ~2u,        0};
  for (size_t i = 0; i < std::size(broken); i += 2) check(broken[i], broken[i + 1], kNoOpen);
  // A plausible but wrong EOF record (Current, Oldest, Begin): it opens, reads stay clean.
  const uint32_t plausible[] = {eof + 0x1C, 24, eof + 0x20, 2, eof + 0x14, l.At[1]};
  for (size_t i = 0; i < std::size(plausible); i += 2)
    check(plausible[i], plausible[i + 1], kOpens);
  // NumStrings 65535: the strings run on to the record's end, the missing ones are empty.
  check(rec + 0x18, 0xFFFF0004, kOpens);
  HANDLE log = Open();
  Got g = Read(log, k);
  CloseEventLog(log);
  auto data = g.Record.begin() + Get32(g.Record, 0x34);
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
  Put32(&noSignature, 4, 0);
  Put32(&badHeader, 0x2C, 0);
  Put32(&noEof, l.Eof + 8, 0);
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

TEST_F(EventLogTest, TruncatedFlippedOrRandomBytesFailCleanly) {
  Layout l{};
  const Bytes good = WriteDamageLog(file_, &l);
  for (size_t cut = 0; cut < good.size(); cut += cut < 0x60 ? 1 : 4) {
    Store(Bytes(good.begin(), good.begin() + cut));
    if (HANDLE log = Open()) ExpectCleanReads(log, true), CloseEventLog(log);
  }
  std::mt19937 rng(20240611);
  for (int round = 0; round < 400; ++round) {
    Bytes b = good;
    if (round % 2 == 0) {
      for (int k = rng() % 8; k >= 0; --k) b[rng() % b.size()] = (uint8_t)rng();
    } else {
      // Random bytes rich in signature bytes, half behind the good header with an EOF record
      // that says anything.
      b.resize(rng() % 3000 & ~3u);
      for (size_t i = (round % 4 == 1 ? 0x30 : 0); i < b.size(); ++i)
        b[i] = rng() % 4 ? 0x4C : rng();
      if (round % 4 == 1 && b.size() >= 0x60) {
        uint32_t e = 0x30 + (uint32_t)(rng() % (b.size() - 0x58)) / 4 * 4, from = Get32(good, 0x14);
        std::copy(good.begin() + from, good.begin() + from + 0x28, b.begin() + e);
        Put32(&b, 0x14, e), Put32(&b, e + 0x18, e), Put32(&b, e + 0x20, rng() % 3);
        Put32(&b, e + 0x14, 0x30 + (uint32_t)(rng() % (b.size() - 0x30)) / 4 * 4);
      }
    }
    Store(b);
    if (HANDLE log = Open()) ExpectCleanReads(log, false), CloseEventLog(log);
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
  // Record after record from a random one on: about one read per 64 KiB block.
  DWORD from = oldest + rng() % (count / 2), to = std::min(from + 20000, oldest + count - 1);
  uint64_t span = 0;
  for (uint32_t len : FileLengths(to)) span += len;
  for (uint32_t len : FileLengths(from)) span -= len;
  ASSERT_TRUE(ReadsRight(log, from));
  EvtStats before = EvtLogStats(log);
  for (DWORD n = from + 1; n <= to; ++n) ASSERT_TRUE(ReadsRight(log, n)) << n;
  uint64_t onward = EvtLogStats(log).Reads - before.Reads;
  EXPECT_LE(onward, span / 65536 * 1.1 + 8);  // records cut by a block's end are read again
  printf(
      "%u records in %u bytes: a random record %.1f reads (at most %llu); %u more in order "
      "(%llu bytes) %llu reads\n",
      count, kBig, total / 60.0, (unsigned long long)worst, to - from, (unsigned long long)span,
      (unsigned long long)onward);
  CloseEventLog(log);
  Bytes b = Load();  // dirty: one pass in whole blocks finds the EOF record
  Put32(&b, 0x24, 0x3), Put32(&b, 0x14, Get32(b, 0x10));
  Store(b);
  log = Open();
  EXPECT_LE(EvtLogStats(log).Reads, kBig / 65536 + 3);
  CloseEventLog(log);
}

}  // namespace
