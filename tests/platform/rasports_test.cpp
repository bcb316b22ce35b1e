// The stand-in remote-access library: loading it by name, binding by
// ordinal, and the port records it makes from a computer's RasPorts.txt.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "eventlog/rasports.h"
#include "platform/winapi.h"

namespace {

namespace fs = std::filesystem;

std::string Repeat(const char* piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// A fresh log folder in VELMAR_LOGDIR for each test, removed afterwards.
class RasPortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/velmar-ras-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("VELMAR_LOGDIR", dir_.c_str(), 1);
    library_ = LoadLibraryA("RASSAPI.dll");
    ASSERT_NE(library_, nullptr);
    enum_ = reinterpret_cast<RasPortEnumFn>(GetProcAddress(library_, MAKEINTRESOURCEA(5)));
    free_ = reinterpret_cast<RasFreeBufferFn>(GetProcAddress(library_, MAKEINTRESOURCEA(10)));
    ASSERT_NE(enum_, nullptr);
    ASSERT_NE(free_, nullptr);
  }
  void TearDown() override {
    FreeLibrary(library_);
    unsetenv("VELMAR_LOGDIR");
    fs::remove_all(dir_);
  }
  void Write(const std::string& relative, const std::string& text) {
    fs::path path = fs::path(dir_) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  // Enumerates server's ports; on success names gets each record's name,
  // after checking that the name ends inside the record and the rest is zero.
  DWORD Enumerate(const WCHAR* server, std::vector<std::u16string>* names) {
    BYTE* ports = reinterpret_cast<BYTE*>(1);
    WORD count = 7;
    DWORD error = enum_(server, &ports, &count);
    if (error != 0) {
      EXPECT_EQ(ports, nullptr);
      EXPECT_EQ(count, 0);
    }
    for (WORD i = 0; i < count; ++i) {
      const BYTE* record = ports + i * RAS_PORT_RECORD_SIZE;
      std::u16string name(reinterpret_cast<const WCHAR*>(record));
      size_t used = (name.size() + 1) * sizeof(WCHAR);
      EXPECT_LE(used, size_t(RAS_PORT_RECORD_SIZE));
      for (size_t b = used; b < RAS_PORT_RECORD_SIZE; ++b) EXPECT_EQ(record[b], 0) << b;
      names->push_back(name);
    }
    free_(ports);
    return error;
  }
  std::string dir_;
  HMODULE library_ = nullptr;
  RasPortEnumFn enum_ = nullptr;
  RasFreeBufferFn free_ = nullptr;
};

TEST(RasLibraryTest, LoadsByNameInAnyCaseAndBindsOnlyOrdinals5And10) {
  const struct {
    const char* name;
    DWORD error;  // 0: loads
  } loads[] = {{"RASSAPI.dll", 0}, {"rassapi.DLL", 0}, {"RasSapi", 0},
               {"RASSAPI.dl", ERROR_MOD_NOT_FOUND}, {"RASSAPI.dll ", ERROR_MOD_NOT_FOUND},
               {"kernel32.dll", ERROR_MOD_NOT_FOUND}, {"", ERROR_MOD_NOT_FOUND},
               {nullptr, ERROR_INVALID_PARAMETER}};
  for (const auto& c : loads) {
    SetLastError(0);
    HMODULE module = LoadLibraryA(c.name);
    EXPECT_EQ(module == nullptr, c.error != 0) << (c.name ? c.name : "(null)");
    EXPECT_EQ(GetLastError(), c.error) << (c.name ? c.name : "(null)");
    if (module != nullptr) {
      EXPECT_TRUE(FreeLibrary(module));
    }
  }
  HMODULE module = LoadLibraryA("RASSAPI.dll");
  EXPECT_NE(GetProcAddress(module, MAKEINTRESOURCEA(5)), nullptr);
  EXPECT_NE(GetProcAddress(module, MAKEINTRESOURCEA(10)), nullptr);
  for (LPCSTR proc : {MAKEINTRESOURCEA(0), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(11),
                      static_cast<LPCSTR>("RasAdminPortEnum")}) {
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, proc), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  }
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(RasLibraryTest, HandleLivesUntilItsLastFree) {
  HMODULE first = LoadLibraryA("RASSAPI.dll");
  HMODULE second = LoadLibraryA("rassapi");
  EXPECT_EQ(first, second);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(second, MAKEINTRESOURCEA(5)), nullptr);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(GetProcAddress(second, MAKEINTRESOURCEA(5)), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FreeLibrary(second));
  int local = 0;
  EXPECT_FALSE(FreeLibrary(&local));
}

TEST_F(RasPortsTest, LinesBecomeNamesInOrder) {
  const std::u16string longest(473, u'x'), longestWide(473, u'端');
  const struct {
    std::string text;
    std::vector<std::u16string> names;
  } cases[] = {
      {"A\nB\nC\n", {u"A", u"B", u"C"}},
      {"A\r\nB\r\nC", {u"A", u"B", u"C"}},  // CRLF, no final line end
      {"A\rB\r", {u"A\rB"}},                // only a CR that ends a line goes
      {"", {}},
      {"\n", {u""}},
      {"A\n\nC\n", {u"A", u"", u"C"}},
      {"\xEF\xBB\xBFModem-\xC3\x84\n\xE7\xAB\xAF\xE5\x8F\xA3\x31\n", {u"Modem-Ä", u"端口1"}},
      {"bad\xFF\xE7\xAB\n", {u"bad\uFFFD\uFFFD"}},  // invalid and cut-short sequences
      {"\xF0\x9F\x98\x80\n", {u"\U0001F600"}},       // a surrogate pair
      {std::string(473, 'x'), {longest}},
      {Repeat("\xE7\xAB\xAF", 473) + "\r\n", {longestWide}},
  };
  for (const auto& c : cases) {
    Write("RasPorts.txt", c.text);
    std::vector<std::u16string> names;
    EXPECT_EQ(Enumerate(nullptr, &names), 0u) << c.text;
    EXPECT_EQ(names, c.names) << c.text;
  }
}

TEST_F(RasPortsTest, ListsThatNoRecordCanHoldAreRefused) {
  const std::string manyLines = Repeat("P\n", 65535);
  const struct {
    std::string text;
    DWORD error;
  } cases[] = {
      {std::string(474, 'x'), ERROR_INVALID_DATA},
      {Repeat("\xE7\xAB\xAF", 474), ERROR_INVALID_DATA},
      {Repeat("\xF0\x9F\x98\x80", 237), ERROR_INVALID_DATA},  // 474 units in pairs
      {std::string(100000, 'x'), ERROR_INVALID_DATA},
      {std::string("A\n\0B\n", 5), ERROR_INVALID_DATA},  // e.g. a UTF-16 file
      {manyLines, 0},
      {manyLines + "P", ERROR_INVALID_DATA},
      {manyLines + "\n", ERROR_INVALID_DATA},
  };
  for (const auto& c : cases) {
    Write("RasPorts.txt", c.text);
    std::vector<std::u16string> names;
    EXPECT_EQ(Enumerate(nullptr, &names), c.error) << c.text.size() << " bytes";
    EXPECT_EQ(names.size(), c.error == 0 ? 65535u : 0u);
  }
}

TEST_F(RasPortsTest, NamedComputerReadsItsOwnFolderAndBadNamesAreRefused) {
  Write("RasPorts.txt", "LOCAL\n");
  Write("POOL-1/RasPorts.txt", "COM1\nCOM2\n");
  fs::create_directories(fs::path(dir_) / "EMPTYDIR" / "RasPorts.txt");
  const struct {
    const WCHAR* server;
    DWORD error;
    std::vector<std::u16string> names;
  } cases[] = {
      {nullptr, 0, {u"LOCAL"}},
      {u"\\\\POOL-1", 0, {u"COM1", u"COM2"}},
      {u"POOL-1", 0, {u"COM1", u"COM2"}},
      {u"\\\\POOL-2", ERROR_FILE_NOT_FOUND, {}},
      {u"\\\\EMPTYDIR", ERROR_READ_FAULT, {}},  // a folder where the list should be
      {u"\\\\..", ERROR_INVALID_NAME, {}},
      {u"..", ERROR_INVALID_NAME, {}},
      {u"\\\\", ERROR_INVALID_NAME, {}},
      {u"", ERROR_INVALID_NAME, {}},
      {u"\\\\POOL-1/../POOL-1", ERROR_INVALID_NAME, {}},
      {u"\\\\POOL\u00C4", ERROR_INVALID_NAME, {}},
      {u"\\\\POOL-1\u0100", ERROR_INVALID_NAME, {}},  // must not narrow to "POOL-1\0"
  };
  for (const auto& c : cases) {
    std::vector<std::u16string> names;
    std::u16string server = c.server ? c.server : u"(local)";
    EXPECT_EQ(Enumerate(c.server, &names), c.error) << std::string(server.begin(), server.end());
    EXPECT_EQ(names, c.names);
  }
  std::u16string longName = u"\\\\" + std::u16string(256, u'a');
  std::vector<std::u16string> names;
  EXPECT_EQ(Enumerate(longName.c_str(), &names), DWORD(ERROR_INVALID_NAME));
  fs::remove(fs::path(dir_) / "RasPorts.txt");
  EXPECT_EQ(Enumerate(nullptr, &names), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(RasPortsTest, NullOutPointersAreRefused) {
  Write("RasPorts.txt", "A\n");
  BYTE* ports = nullptr;
  WORD count = 0;
  EXPECT_EQ(enum_(nullptr, nullptr, &count), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(enum_(nullptr, &ports, nullptr), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(free_(nullptr), 0u);
}

}  // namespace
