// The texts of the CSV form (times, quoting, the row reader), the files make
// and sample write whole or not at all, and the sample generator: same seed
// and clock give the same bytes, and the traffic it writes is consistent
// (disconnects match connects, ports are free before a connect, records in
// time order).
#include "tools/logtool.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/tempdir.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);
  return text;
}

void WriteAll(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

// The names in a folder, each followed by ';', in the order listed.
std::string Names(const std::string& folder) {
  std::string names;
  DIR* d = opendir(folder.c_str());
  for (struct dirent* e; d != nullptr && (e = readdir(d)) != nullptr;)
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
      names += std::string(e->d_name) + ";";
  if (d != nullptr) closedir(d);
  return names;
}

TEST(TimeText, UtcTextsBothWays) {
  const struct {
    uint32_t T;
    const char* Text;
  } good[] = {{0, "1970-01-01T00:00:00Z"},           {951782400, "2000-02-29T00:00:00Z"},
              {1796702400, "2026-12-08T04:00:00Z"},  {4107542399u, "2100-02-28T23:59:59Z"},
              {4107542400u, "2100-03-01T00:00:00Z"}, {4294967295u, "2106-02-07T06:28:15Z"}};
  for (const auto& c : good) {
    char text[kUtcTextSize];
    FormatUtc(c.T, text);
    EXPECT_STREQ(c.Text, text);
    uint32_t t = 0;
    EXPECT_TRUE(ParseUtc(c.Text, &t)) << c.Text;
    EXPECT_EQ(c.T, t) << c.Text;
  }
  const char* bad[] = {"2001-02-29T00:00:00Z", "2100-02-29T00:00:00Z",  "2106-02-07T06:28:16Z",
                       "1969-12-31T23:59:59Z", "2026-12-08 04:00:00Z",  "2026-12-08T04:00:00",
                       "2026-13-01T00:00:00Z", "2026-12-08T24:00:00Z",  "2026-12-08T04:60:00Z",
                       "+026-12-08T04:00:00Z", "2026-12-08T04:00:00Z ", ""};
  for (const char* text : bad) {
    uint32_t t;
    EXPECT_FALSE(ParseUtc(text, &t)) << text;
  }
}

TEST(CsvText, FieldsQuotedOnlyWhenNeeded) {
  const struct {
    std::string In, Out;
  } cases[] = {{"plain", "plain"},   {"", ""},
               {"a,b", "\"a,b\""},   {"say \"hi\"", "\"say \"\"hi\"\"\""},
               {"\"", "\"\"\"\""},   {"two\nlines", "\"two\nlines\""},
               {"cr\r", "\"cr\r\""}, {"caf\xC3\xA9 \xE4\xB8\xAD", "caf\xC3\xA9 \xE4\xB8\xAD"}};
  std::string path = ScratchPath("fields.csv");
  for (const auto& c : cases) {
    FILE* f = fopen(path.c_str(), "wb");
    OutBuf* o = new OutBuf;
    OutInit(o, f);
    CsvPutField(o, c.In.data(), c.In.size());
    EXPECT_TRUE(OutFlush(o));
    delete o;
    fclose(f);
    EXPECT_EQ(c.Out, ReadAll(path)) << c.In;
  }
  remove(path.c_str());
}

TEST(CsvText, ReaderSplitsRowsAndRefusesWhatItCouldNotWriteBack) {
  typedef std::vector<std::vector<std::string>> Rows;
  const struct {
    std::string Text;
    Rows Want;
    const char* Error;  // null when the text is good
  } cases[] = {
      {"a,b\nc\n", {{"a", "b"}, {"c"}}, nullptr},
      {"\"a,b\",\"c\"\"d\"\r\n", {{"a,b", "c\"d"}}, nullptr},
      {"\"x\r\ny\",\n", {{"x\r\ny", ""}}, nullptr},
      {"last,row", {{"last", "row"}}, nullptr},
      {",\n\n", {{"", ""}, {""}}, nullptr},
      {"", {}, nullptr},
      {"ok\n\"open", {{"ok"}}, "quoted field not closed"},
      {"a\"b\n", {}, "quote inside an unquoted field"},
      {"\"a\"b\n", {}, "text after a closing quote"},
      {"a\rb\n", {}, "CR outside quotes"},
      {std::string("a\0b\n", 4), {}, "NUL byte in the CSV"},
  };
  std::string path = ScratchPath("rows.csv");
  for (const auto& c : cases) {
    WriteAll(path, c.Text);
    CsvReader r;
    ASSERT_TRUE(CsvOpen(&r, path.c_str()));
    Rows got;
    int result;
    while ((result = CsvReadRow(&r)) == 1) {
      got.emplace_back();
      for (size_t i = 0; i < r.FieldCount; ++i) got.back().push_back(CsvField(&r, i));
    }
    EXPECT_EQ(c.Want, got) << c.Text;
    if (c.Error == nullptr) {
      EXPECT_EQ(0, result) << c.Text;
    } else {
      EXPECT_EQ(-1, result) << c.Text;
      EXPECT_STREQ(c.Error, r.Message) << c.Text;
    }
    CsvClose(&r);
  }
  remove(path.c_str());
}

// What is at the path before ("file" holding "old", a dangling "link", or
// nothing), with or without replace, and the run then placing its file or
// failing: the path holds the new bytes or exactly what it held, and no
// other name is left in the folder.
TEST(NewFile, WrittenWholeOrNotAtAll) {
  const struct {
    const char* Before;  // "file", "link" or ""
    int Replace;         // --force
    bool Opens;          // without replace only a free path opens
    bool Place;          // the run succeeds
  } cases[] = {{"", 0, true, true},       {"", 0, true, false},    {"file", 0, false, false},
               {"link", 0, false, false}, {"", 1, true, true},     {"file", 1, true, true},
               {"file", 1, true, false},  {"link", 1, true, true}, {"link", 1, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Before) + (c.Replace ? " replace" : "") + (c.Place ? " place" : ""));
    TempFolder dir("newfile");
    std::string path = dir.Path + "/SysEvent.Evt";
    std::string before = c.Before;
    if (before == "file") WriteAll(path, "old");
    if (before == "link") {
      ASSERT_EQ(0, symlink("gone", path.c_str()));
    }
    NewFile f;
    errno = 0;
    int fd = NewFileOpen(&f, path.c_str(), c.Replace, 0644);
    ASSERT_EQ(c.Opens, fd >= 0);
    if (!c.Opens) {
      EXPECT_EQ(EEXIST, errno);
    }
    if (fd >= 0) {
      EXPECT_EQ(3, PlatformWriteAt(fd, "new", 3, 0));
      EXPECT_EQ(0, PlatformCloseFile(fd));
    }
    if (c.Opens && c.Place) {
      EXPECT_TRUE(NewFilePlace(&f));
    } else {
      NewFileDiscard(&f);
    }
    std::string want = c.Opens && c.Place ? "new" : before == "file" ? "old" : "";
    EXPECT_EQ(want, ReadAll(path));
    char target[16] = "";
    bool linked = readlink(path.c_str(), target, sizeof target - 1) > 0;
    EXPECT_EQ(before == "link" && want.empty(), linked) << "the link is kept";
    EXPECT_FALSE(PlatformPathTaken((dir.Path + "/gone").c_str())) << "written through the link";
    bool kept = !want.empty() || linked;
    EXPECT_EQ(kept ? "SysEvent.Evt;" : "", Names(dir.Path)) << "nothing else in the folder";
  }
}

// Without replace, a file that comes to the path while the new one is
// written is kept: the new one is not put over it, and goes.
TEST(NewFile, NeverPlacedOverAFileThatCameMeanwhile) {
  TempFolder dir("newfile");
  std::string path = dir.Path + "/SysEvent.Evt";
  NewFile f;
  int fd = NewFileOpen(&f, path.c_str(), 0, 0644);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(0, PlatformCloseFile(fd));
  EXPECT_EQ("", ReadAll(path)) << "written under another name";
  WriteAll(path, "other");
  errno = 0;
  EXPECT_FALSE(NewFilePlace(&f));
  EXPECT_EQ(EEXIST, errno);
  NewFileDiscard(&f);
  EXPECT_EQ("other", ReadAll(path));
  EXPECT_EQ("SysEvent.Evt;", Names(dir.Path));
}

// Replacing something that is no regular file writes to it as it is, and a
// failed run never removes it.
TEST(NewFile, DeviceIsWrittenInPlaceAndKept) {
  NewFile f;
  int fd = NewFileOpen(&f, "/dev/null", 1, 0644);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(3, PlatformWriteAt(fd, "new", 3, 0));
  EXPECT_EQ(0, PlatformCloseFile(fd));
  NewFileDiscard(&f);
  EXPECT_EQ(0, PlatformIsRegularFile("/dev/null"));
}

// ---- sample ----

const int64_t kNow = 1796702400;  // 2026-12-08T04:00:00Z

std::string MakeSample(const std::string& name, uint32_t days, uint32_t ports, uint64_t seed) {
  std::string dir = ScratchPath(name);
  SampleOptions opt = {days, ports, seed, kNow, 0, 1, kAcctEvt};
  EXPECT_EQ(0, LogSample(dir.c_str(), &opt));
  return dir;
}

void RemoveSample(const std::string& dir) {
  remove((dir + "/SysEvent.Evt").c_str());
  remove((dir + "/RasPorts.txt").c_str());
  rmdir(dir.c_str());
}

TEST(Sample, SameSeedAndClockGiveTheSameBytes) {
  setenv("TZ", "UTC0", 1);
  std::string a = MakeSample("a", 7, 8, 1), b = MakeSample("b", 7, 8, 1),
              c = MakeSample("c", 7, 8, 2);
  std::string log = ReadAll(a + "/SysEvent.Evt");
  EXPECT_GT(log.size(), 10000u);
  EXPECT_EQ(log, ReadAll(b + "/SysEvent.Evt"));
  EXPECT_NE(log, ReadAll(c + "/SysEvent.Evt"));
  EXPECT_EQ("COM1\nCOM2\nCOM3\nCOM4\nCOM5\nCOM6\nCOM7\nCOM8\n", ReadAll(a + "/RasPorts.txt"));
  for (const std::string& dir : {a, b, c}) RemoveSample(dir);
}

// Reads the sample back through dump and follows every port.
TEST(Sample, TrafficIsConsistentAndInTimeOrder) {
  setenv("TZ", "UTC0", 1);
  std::string dir = MakeSample("traffic", 90, 16, 7);
  std::string csv = dir + ".csv";
  FILE* out = fopen(csv.c_str(), "w");
  ASSERT_EQ(0, LogDump((dir + "/SysEvent.Evt").c_str(), out));
  fclose(out);
  CsvReader r;
  ASSERT_TRUE(CsvOpen(&r, csv.c_str()));
  ASSERT_EQ(1, CsvReadRow(&r));
  std::map<std::string, std::string> onPort;  // port -> user connected on it
  std::map<uint32_t, int> seen;               // low 16 bits of the event id -> count
  std::string previous = "1970", first;
  int rows = 0;
  while (CsvReadRow(&r) == 1) {
    ++rows;
    std::string when = CsvField(&r, 1);
    if (first.empty()) first = when;
    ASSERT_LE(previous, when) << "record " << CsvField(&r, 0) << " out of time order";
    previous = when;
    uint32_t id = (uint32_t)strtoul(CsvField(&r, 3), nullptr, 10);
    seen[id & 0xFFFF]++;
    if ((id & 0xFFFF) == 6005) onPort.clear();  // a reboot ends every connection
    if ((id & 0xFFFF) != 20017 && (id & 0xFFFF) != 20050) continue;
    EXPECT_EQ(0x40000000u, id & 0xC0000000u);
    ASSERT_EQ((id & 0xFFFF) == 20017 ? 11u : 19u, r.FieldCount) << "record " << CsvField(&r, 0);
    std::string user = CsvField(&r, 9), port = CsvField(&r, 10);
    if ((id & 0xFFFF) == 20017) {
      EXPECT_EQ(0u, onPort.count(port)) << "connect on a busy port, record " << CsvField(&r, 0);
      onPort[port] = user;
    } else {
      EXPECT_EQ(user, onPort[port]) << "disconnect without its connect, record " << CsvField(&r, 0);
      onPort.erase(port);
    }
  }
  CsvClose(&r);
  EXPECT_GE(first, "2026-09-09T04:00:00Z");
  EXPECT_LE(previous, "2026-12-08T04:00:00Z");
  EXPECT_GT(seen[20017], 90 * 16 * 5) << "busy enough";
  EXPECT_GE(seen[20050] * 100, seen[20017] * 95) << "only crashes lose disconnects";
  EXPECT_GE(seen[6005], 3) << "reboots now and then";
  EXPECT_GT(rows - seen[20017] - seen[20050] - seen[6005], 90) << "unrelated records";
  remove(csv.c_str());
  RemoveSample(dir);
}

}  // namespace
