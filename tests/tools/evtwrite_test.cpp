// The writer lays records, the EOF record and the header byte for byte as a
// server does, and wraps circular logs by its rules. Expected offsets are
// worked out by hand from the format; each wrapped log is also read back
// through the platform's event log calls.
#include "tools/evtwrite.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "evt/evtformat.h"
#include "platform/winapi.h"
#include "support/bytes.h"
#include "support/tempdir.h"
#include "tools/logtool.h"

namespace {

// Record i of the wrap tests: source "S", computer "C" and k strings "x",
// so that its length is 0x44 + 4k.
struct Sized {
  std::vector<const char*> Strings;  // k times "x"
  EvtRecordIn Rec;                   // the record
};

void MakeSized(uint32_t length, uint32_t i, Sized* s) {
  s->Strings.assign((length - 0x44) / 4, "x");
  s->Rec = {1000000000u + i,
            1000000000u + i,
            0x40004E51,
            4,
            0,
            "S",
            "C",
            s->Strings.data(),
            (uint16_t)s->Strings.size(),
            nullptr,
            0,
            nullptr,
            0};
}

int WriteLog(const std::string& path, uint32_t maxSize, uint32_t start,
             const std::vector<uint32_t>& lengths) {
  EvtWriter w;
  if (!EvtWriterOpen(&w, path.c_str(), maxSize, start, 1)) return 0;
  for (size_t i = 0; i < lengths.size(); ++i) {
    Sized s;
    MakeSized(lengths[i], (uint32_t)i + 1, &s);
    EXPECT_EQ(lengths[i], EvtRecordLength(&s.Rec));
    if (!EvtWriterAdd(&w, &s.Rec)) {
      EvtWriterClose(&w);
      return 0;
    }
  }
  return EvtWriterClose(&w);
}

// The record numbers that dump reads back, in order.
std::vector<uint32_t> DumpNumbers(const std::string& path) {
  std::vector<uint32_t> numbers;
  std::string csv = path + ".csv";
  FILE* out = fopen(csv.c_str(), "w");
  EXPECT_EQ(0, LogDump(path.c_str(), out));
  fclose(out);
  std::vector<uint8_t> text = ReadBytes(csv);
  remove(csv.c_str());
  std::string all(text.begin(), text.end());
  for (size_t at = all.find('\n'); at != std::string::npos && at + 1 < all.size();
       at = all.find('\n', at + 1))
    numbers.push_back((uint32_t)strtoul(all.c_str() + at + 1, nullptr, 10));
  return numbers;
}

TEST(EvtWrite, RecordHeaderAndEofLaidOutAsAServerDoes) {
  std::string path = ScratchPath("plain.evt");
  const uint8_t sid[12] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
  const uint8_t data[3] = {0xAA, 0xBB, 0xCC};
  const char* strings[] = {"alice", ""};
  EvtRecordIn r = {1796702400u, 1796702401u, 0xC0004E82, 1,          3,    "RemoteAccess", "RAS01",
                   strings,     2,           sid,        sizeof sid, data, sizeof data};
  EvtWriter w;
  ASSERT_TRUE(EvtWriterOpen(&w, path.c_str(), 0, kEvtHeaderSize, 7));
  ASSERT_TRUE(EvtWriterAdd(&w, &r));
  ASSERT_TRUE(EvtWriterClose(&w));
  std::vector<uint8_t> b = ReadBytes(path);
  // Names end at 0x38 + 26 + 12 = 0x5E, SID at 0x60, strings at 0x6C ("alice"
  // 12 bytes, "" 2 bytes), data at 0x7A, padding to 0x80, Length 0x84.
  ASSERT_EQ(0xDCu, b.size());
  const uint32_t header[12] = {0x30, 0x654C664C, 1, 1, 0x30, 0xB4, 8, 7, 0xDC, 0, 0, 0x30};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(header[i], Get32(b, 4 * i)) << "header dword " << i;
  const uint32_t fixed[14] = {0x84,       0x654C664C, 7, 1796702400u, 1796702401u,
                              0xC0004E82, 0x00020001, 3, 0,           0x6C,
                              12,         0x60,       3, 0x7A};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(fixed[i], Get32(b, 0x30 + 4 * i)) << "record dword " << i;
  EXPECT_EQ(0x84u, Get32(b, 0x30 + 0x80));
  EXPECT_EQ(0u, Get32(b, 0x30 + 0x5E) & 0xFFFF) << "padding before the SID";
  EXPECT_EQ(0x00CCBBAAu, Get32(b, 0x30 + 0x7A) & 0xFFFFFF);
  EXPECT_EQ(0, b[0x30 + 0x7D] | b[0x30 + 0x7E] | b[0x30 + 0x7F]) << "padding after the data";
  const uint32_t eof[10] = {0x28, 0x11111111, 0x22222222, 0x33333333, 0x44444444,
                            0x30, 0xB4,       8,          7,          0x28};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(eof[i], Get32(b, 0xB4 + 4 * i)) << "EOF dword " << i;
  remove(path.c_str());
}

TEST(EvtWrite, EmptyLogHasOnlyHeaderAndEof) {
  std::string path = ScratchPath("empty.evt");
  ASSERT_TRUE(WriteLog(path, 0, kEvtHeaderSize, {}));
  std::vector<uint8_t> b = ReadBytes(path);
  const uint32_t eof = kEvtHeaderSize;  // the EOF record follows the header
  ASSERT_EQ(eof + kEvtEofSize, b.size());
  EXPECT_EQ(eof, Get32(b, kEvtHdrStartOffset));
  EXPECT_EQ(eof, Get32(b, kEvtHdrEndOffset));
  EXPECT_EQ(1u, Get32(b, kEvtHdrCurrentRecordNumber));
  EXPECT_EQ(0u, Get32(b, kEvtHdrOldestRecordNumber));
  EXPECT_EQ(eof, Get32(b, eof + kEvtEofBeginRecord));
  EXPECT_EQ(1u, Get32(b, eof + kEvtEofCurrentRecordNumber));
  EXPECT_EQ(0u, Get32(b, eof + kEvtEofOldestRecordNumber));
  EXPECT_TRUE(DumpNumbers(path).empty());
  remove(path.c_str());
}

// A circular log and what must be found where once its records are written.
struct WrapCase {
  const char* Name;                                   // the layout it shows
  uint32_t MaxSize;                                   // S
  uint32_t Start;                                     // where the first record went
  std::vector<uint32_t> Lengths;                      // record lengths, numbered from 1
  uint32_t Begin, End;                                // header StartOffset and EndOffset
  uint32_t Oldest, Current;                           // header record numbers
  std::vector<std::pair<uint32_t, uint32_t>> Dwords;  // (offset, value) in the file
};

TEST(EvtWrite, CircularLogsWrapByTheServersRules) {
  const uint32_t F = 0x00000027, L = 0x80;  // the tail filler, a record of 0x80 bytes
  const WrapCase cases[] = {
      // r1..r3 at 0x30, 0xB0, 0x130 leave a 0x20 tail: it is filled, r1 and
      // r2 go to make room, r4 starts at 0x30.
      {"tail filled with 0x27",
       0x1D0,
       0x30,
       {L, L, L, L},
       0x130,
       0xB0,
       3,
       5,
       {{0x1B0, F}, {0x1C0, F}, {0x1CC, F}, {0x30, L}, {0xAC, L}, {0x130, L}, {0xB0, 0x28}}},
      // r4 starts at 0x1B0: 0x50 bytes before S, 0x30 after 0x30.
      {"record split at the end",
       0x200,
       0x30,
       {L, L, L, L},
       0xB0,
       0x60,
       2,
       5,
       {{0x1B0, L}, {0x1B4, 0x654C664C}, {0x1B8, 4}, {0x5C, L}, {0x60, 0x28}}},
      // r4 ends exactly at S = 0x230: r5 follows at 0x30.
      {"record ending exactly at the end",
       0x230,
       0x30,
       {L, L, L, L, L},
       0x130,
       0xB0,
       3,
       6,
       {{0x1B0, L}, {0x22C, L}, {0x30, L}, {0x38, 5}, {0xB0, 0x28}}},
      // r3 ends at 0x1B0, 0x10 before S: the EOF record is split there.
      {"EOF record split at the end",
       0x1C0,
       0x30,
       {L, L, L},
       0xB0,
       0x1B0,
       2,
       4,
       {{0x1B0, 0x28},
        {0x1B4, 0x11111111},
        {0x1B8, 0x22222222},
        {0x1BC, 0x33333333},
        {0x30, 0x44444444},
        {0x34, 0xB0},
        {0x38, 0x1B0},
        {0x3C, 4},
        {0x40, 2},
        {0x44, 0x28}}},
      // The first record starts at 0x1C0 and is split; the next follows it.
      {"first record at a start offset",
       0x200,
       0x1C0,
       {L, L},
       0x1C0,
       0xF0,
       1,
       3,
       {{0x1C0, L}, {0x6C, L}, {0x70, L}, {0x78, 2}, {0xF0, 0x28}}},
      // The start offset leaves a 0x20 tail: filled, the record goes to 0x30.
      {"start offset in a short tail",
       0x200,
       0x1E0,
       {L},
       0x30,
       0xB0,
       1,
       2,
       {{0x1E0, F}, {0x1FC, F}, {0x30, L}, {0xB0, 0x28}}},
      // A record that needs more than the rest drops every older one.
      {"all older records dropped",
       0x200,
       0x30,
       {0x180, 0x180},
       0x1B0,
       0x160,
       2,
       3,
       {{0x1B0, 0x180}, {0x1B8, 2}, {0x15C, 0x180}, {0x160, 0x28}}},
  };
  for (const WrapCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string path = ScratchPath("wrap.evt");
    ASSERT_TRUE(WriteLog(path, c.MaxSize, c.Start, c.Lengths));
    std::vector<uint8_t> b = ReadBytes(path);
    ASSERT_EQ(c.MaxSize, b.size());
    EXPECT_EQ(c.Begin, Get32(b, kEvtHdrStartOffset));
    EXPECT_EQ(c.End, Get32(b, kEvtHdrEndOffset));
    EXPECT_EQ(c.Current, Get32(b, kEvtHdrCurrentRecordNumber));
    EXPECT_EQ(c.Oldest, Get32(b, kEvtHdrOldestRecordNumber));
    EXPECT_EQ(c.MaxSize, Get32(b, kEvtHdrMaxSize));
    EXPECT_EQ(kEvtFlagWrap, Get32(b, kEvtHdrFlags));
    for (const auto& d : c.Dwords) EXPECT_EQ(d.second, Get32(b, d.first)) << "at " << d.first;
    std::vector<uint32_t> want;
    for (uint32_t n = c.Oldest; n < c.Current; ++n) want.push_back(n);
    EXPECT_EQ(want, DumpNumbers(path));
    remove(path.c_str());
  }
}

TEST(EvtWrite, RefusesWhatCannotBeStored) {
  std::string path = ScratchPath("refuse.evt");
  EvtWriter w;
  EXPECT_FALSE(EvtWriterOpen(&w, path.c_str(), 0x8C, 0x30, 1)) << "too small";
  EXPECT_FALSE(EvtWriterOpen(&w, path.c_str(), 0x202, 0x30, 1)) << "not a multiple of 4";
  EXPECT_FALSE(EvtWriterOpen(&w, path.c_str(), 0x200, 0x200, 1)) << "start outside";
  EXPECT_FALSE(EvtWriterOpen(&w, path.c_str(), 0x200, 0x2C, 1)) << "start in the header";
  EXPECT_FALSE(EvtWriterOpen(&w, path.c_str(), 0, 0x30, 0)) << "record number 0";
  EXPECT_FALSE(EvtWriterOpen(&w, "/nonexistent/dir/x.evt", 0, 0x30, 1));
  ASSERT_TRUE(EvtWriterOpen(&w, path.c_str(), 0x200, 0x30, 1));
  Sized fits, huge;
  MakeSized(0x1A8, 1, &fits);  // with the EOF record exactly the data area
  MakeSized(0x1AC, 2, &huge);
  EXPECT_FALSE(EvtWriterAdd(&w, &huge.Rec));
  ASSERT_TRUE(EvtWriterAdd(&w, &fits.Rec)) << w.Message;
  EXPECT_FALSE(EvtWriterAdd(&w, &huge.Rec));
  EvtRecordIn noSource = fits.Rec;
  noSource.SourceName = nullptr;
  EXPECT_FALSE(EvtWriterAdd(&w, &noSource));
  ASSERT_TRUE(EvtWriterClose(&w));
  EXPECT_EQ((std::vector<uint32_t>{1}), DumpNumbers(path));
  remove(path.c_str());
}

// Many records through a small circular log: every state the wrap reaches
// must stay readable, and the survivors are the newest ones.
TEST(EvtWrite, LongRunThroughSmallLogKeepsTheNewestRecords) {
  std::string path = ScratchPath("long.evt");
  std::vector<uint32_t> lengths;
  for (uint32_t i = 0; i < 3000; ++i) lengths.push_back(0x44 + 4 * ((i * 7919) % 61));
  for (uint32_t size : {0x400u, 0x1000u, 0x1234u & ~3u}) {
    SCOPED_TRACE(size);
    ASSERT_TRUE(WriteLog(path, size, 0x30, lengths));
    std::vector<uint32_t> numbers = DumpNumbers(path);
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(3000u, numbers.back());
    uint32_t used = kEvtEofSize;
    for (uint32_t n : numbers) used += lengths[n - 1];
    EXPECT_LE(used, size - kEvtHeaderSize);
    EXPECT_GT(used + lengths[numbers.front() - 2] + kEvtFixedSize, size - kEvtHeaderSize)
        << "an older record would still have fitted";
  }
  remove(path.c_str());
}

}  // namespace
