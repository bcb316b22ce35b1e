// The stand-in remote-access library: loaded by name, bound by ordinal, and
// the 948-byte port records it makes from a computer's RasPorts.txt.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "eventlog/rasports.h"
#include "logfolder/failreason.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

std::string Repeat(const char* piece, int times) {
  std::string text;
  while (times-- > 0) text += piece;
  return text;
}

TEST(RasLibraryTest, LoadsByNameInAnyCaseBindsOrdinals5And10AndCountsLoads) {
  for (const char* bad : {"RASSAPI.dl", "RASSAPI.dll ", "kernel32.dll", ""}) {
    EXPECT_EQ(LoadLibraryA(bad), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND)) << bad;
  }
  HMODULE first = LoadLibraryA("RASSAPI.dll");
  HMODULE second = LoadLibraryA("rasSAPI");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_NE(GetProcAddress(first, MAKEINTRESOURCEA(5)), nullptr);
  EXPECT_NE(GetProcAddress(first, MAKEINTRESOURCEA(10)), nullptr);
  for (LPCSTR proc : {MAKEINTRESOURCEA(0), MAKEINTRESOURCEA(11), LPCSTR("RasAdminPortEnum")}) {
    EXPECT_EQ(GetProcAddress(first, proc), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  }
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(second, MAKEINTRESOURCEA(5)), nullptr);  // still loaded once
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(GetProcAddress(second, MAKEINTRESOURCEA(5)), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FreeLibrary(second));
}

// A fresh log folder in VELMAR_LOGDIR for each test, and the library bound.
class RasPortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempFolder("ras");
    setenv("VELMAR_LOGDIR", dir_.c_str(), 1);
    library_ = LoadLibraryA("RASSAPI.dll");
    enum_ = reinterpret_cast<RasPortEnumFn>(GetProcAddress(library_, MAKEINTRESOURCEA(5)));
    free_ = reinterpret_cast<RasFreeBufferFn>(GetProcAddress(library_, MAKEINTRESOURCEA(10)));
  }
  void TearDown() override {
    FreeLibrary(library_);
    RemoveTree(dir_);
  }
  void Write(const std::string& file, const std::string& text) {
    fs::create_directories((fs::path(dir_) / file).parent_path());
    std::ofstream(fs::path(dir_) / file, std::ios::binary) << text;
  }
  // Enumerates; checks each record (name ended inside it, the rest zero) and
  // the outputs of a failure, then gives the array back.
  DWORD Enumerate(const WCHAR* server, std::vector<std::u16string>* names) {
    BYTE* ports = reinterpret_cast<BYTE*>(this);
    WORD count = 7;
    DWORD error = enum_(server, &ports, &count);
    if (error != 0 || count == 0) {
      EXPECT_TRUE(ports == nullptr && count == 0);
    }
    for (WORD i = 0; i < count; ++i) {
      const BYTE* record = ports + i * RAS_PORT_RECORD_SIZE;
      names->push_back(reinterpret_cast<const WCHAR*>(record));
      size_t used = (names->back().size() + 1) * sizeof(WCHAR);
      EXPECT_LE(used, size_t(RAS_PORT_RECORD_SIZE)) << i;
      for (size_t b = used; b < RAS_PORT_RECORD_SIZE; ++b) EXPECT_EQ(record[b], 0) << i;
    }
    free_(ports);
    return error;
  }
  std::string dir_;
  HMODULE library_ = nullptr;
  RasPortEnumFn enum_ = nullptr;
  RasFreeBufferFn free_ = nullptr;
};

TEST_F(RasPortsTest, EachLineIsOneRecordWhileItFits) {
  const std::string lines = Repeat("P\n", 65535);
  const char* const tooLong = "a line too long for a port name";
  const struct {
    std::string text;
    DWORD error;
    size_t count;
    std::u16string first;
    const char* detail;  // PlatformErrorDetail after a failure
  } cases[] = {
      {"", 0, 0, u"", nullptr},
      {"\xEF\xBB\xBFModem-\xC3\x84\r\nB", 0, 2, u"Modem-Ä", nullptr},  // byte-order mark skipped
      {"A\rB\r", 0, 1, u"A\rB", nullptr},                              // only a line-ending CR goes
      {"\n\n", 0, 2, u"", nullptr},
      {Repeat("x", 473), 0, 1, std::u16string(473, u'x'), nullptr},  // the longest name
      {Repeat("\xE7\xAB\xAF", 473) + "\r\n", 0, 1, std::u16string(473, u'端'), nullptr},
      {Repeat("x", 474), ERROR_INVALID_DATA, 0, u"", tooLong},
      {Repeat("\xF0\x9F\x98\x80", 237), ERROR_INVALID_DATA, 0, u"", tooLong},  // 474 units
      {Repeat("x", 100000), ERROR_INVALID_DATA, 0, u"", tooLong},
      {std::string("A\n\0B\n", 5), ERROR_INVALID_DATA, 0, u"", "a line holds a NUL byte"},
      {lines, 0, 65535, u"P", nullptr},
      {lines + "P", ERROR_INVALID_DATA, 0, u"", "more than 65535 lines"},
  };
  for (const auto& c : cases) {
    Write("RasPorts.txt", c.text);
    std::vector<std::u16string> names;
    EXPECT_EQ(Enumerate(nullptr, &names), c.error) << c.text.substr(0, 20);
    EXPECT_EQ(names.size(), c.count) << c.text.substr(0, 20);
    EXPECT_EQ(names.empty() ? u"" : names[0], c.first);
    if (c.error != 0) {
      EXPECT_STREQ(PlatformErrorDetail(), c.detail) << c.text.substr(0, 20);
    }
  }
}

TEST_F(RasPortsTest, NamedComputerReadsItsOwnFolderAndBadNamesAreRefused) {
  Write("POOL-1/RasPorts.txt", "COM1\n");
  fs::create_directories(fs::path(dir_) / "DIR/RasPorts.txt");
  // A FIFO or a device in the list's place fails at once, never blocking.
  fs::create_directories(fs::path(dir_) / "FIFO");
  ASSERT_EQ(mkfifo((dir_ + "/FIFO/RasPorts.txt").c_str(), 0644), 0);
  fs::create_directories(fs::path(dir_) / "DEV");
  fs::create_symlink("/dev/zero", fs::path(dir_) / "DEV/RasPorts.txt");
  const std::u16string tooLong = u"\\\\" + std::u16string(256, u'a');
  const struct {
    const WCHAR* server;
    DWORD error;
  } cases[] = {
      {u"\\\\POOL-1", 0},
      {u"POOL-1", 0},
      {nullptr, ERROR_FILE_NOT_FOUND},
      {u"\\\\POOL-2", ERROR_FILE_NOT_FOUND},
      {u"\\\\DIR", ERROR_DIRECTORY},  // a folder where the list should be
      {u"\\\\FIFO", ERROR_BAD_FILE_TYPE},
      {u"\\\\DEV", ERROR_BAD_FILE_TYPE},
      {u"\\\\..", ERROR_INVALID_NAME},
      {u"", ERROR_INVALID_NAME},
      {u"\\\\POOL-1/../POOL-1", ERROR_INVALID_NAME},
      {tooLong.c_str(), ERROR_INVALID_NAME},
      {u"\\\\POOL-1\u0100", ERROR_INVALID_NAME},  // must not narrow to "POOL-1\0"
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::vector<std::u16string> names;
    EXPECT_EQ(Enumerate(cases[i].server, &names), cases[i].error) << "case " << i;
  }
  BYTE* ports = nullptr;
  EXPECT_EQ(enum_(nullptr, &ports, nullptr), DWORD(ERROR_INVALID_PARAMETER));
}

}  // namespace
