// GetRasPorts on real port lists read through the stand-in library, and the
// two conversions it relies on. Under AddressSanitizer the leak check at exit
// proves that every path gives back the names, the records and the server name.
#include "eventlog/rasports.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

// Calls GetRasPorts, checks the outputs that go with its code, and releases
// the names as the driver does: each string, then the array.
int ListPorts(const char* server, std::vector<std::string>* names) {
  int count = -1;
  char** list = reinterpret_cast<char**>(&count);  // must be overwritten
  int code = GetRasPorts(server, &count, &list);
  if (code != 0 || count == 0) {
    EXPECT_TRUE(count == 0 && list == nullptr);
  }
  for (int i = 0; i < count; ++i) {
    names->push_back(list[i]);
    std::free(list[i]);
  }
  std::free(list);
  // The library was freed: a fresh load is its only one.
  HMODULE library = LoadLibraryA("RASSAPI.dll");
  EXPECT_TRUE(FreeLibrary(library));
  EXPECT_FALSE(FreeLibrary(library));
  return code;
}

TEST(GetRasPortsTest, CodesAndNamesForEachList) {
  TempFolder dir("ras");
  setenv("VELMAR_LOGDIR", dir.Path.c_str(), 1);
  const char* kMissing = nullptr;
  const struct {
    const char* folder;  // where the list lies ("" for the local computer)
    const char* text;    // its contents, or kMissing
    const char* server;  // what is asked for
    int code;
    std::vector<std::string> names;
  } cases[] = {
      {"", "A\nB\nC\n", nullptr, 0, {"A", "B", "C"}},
      {"", "C\r\nA\r\nB", nullptr, 0, {"C", "A", "B"}},  // the server's order, no sorting
      {"", "", nullptr, 0, {}},
      {"", kMissing, nullptr, 2, {}},
      {"", "A\n", "", 1, {}},
      {"POOL1", "P1\nP2\n", "\\\\POOL1", 0, {"P1", "P2"}},
      {"POOL1", "P1\nP2\n", "POOL1", 0, {"P1", "P2"}},
      {"", "A\n", "\\\\..", 2, {}},
      {"", "\nB\nC\n", nullptr, 4, {}},  // a blank line is an empty name
      {"", "A\n\nC\n", nullptr, 4, {}},  // the second of three fails
      {"", "A\r\nB\r\n\r\n", nullptr, 4, {}},
      {"",
       "Modem-\xC3\x84\n\xE7\xAB\xAF\xE5\x8F\xA3"
       "1\nbad\xFF",
       nullptr,
       0,
       {"Modem-\xC3\x84",
        "\xE7\xAB\xAF\xE5\x8F\xA3"
        "1",
        "bad\xEF\xBF\xBD"}},
  };
  for (const auto& c : cases) {
    fs::path list = fs::path(dir.Path) / c.folder / "RasPorts.txt";
    fs::create_directories(list.parent_path());
    if (c.text != kMissing) std::ofstream(list, std::ios::binary) << c.text;
    std::vector<std::string> names;
    EXPECT_EQ(ListPorts(c.server, &names), c.code) << (c.text ? c.text : "(missing)");
    EXPECT_EQ(names, c.names) << (c.text ? c.text : "(missing)");
    fs::remove(list);
  }
}

TEST(CodePageConversionTest, RoundTripsAndGivesNullForNoText) {
  for (const char* text : {"COM1", "Modem-\xC3\x84", "\\\\\xE7\xAB\xAF\xF0\x9F\x98\x80"}) {
    WCHAR* wide = AnsiToWide(text);
    char* narrow = WideToAnsi(wide);
    EXPECT_STREQ(narrow, text);
    std::free(wide);
    std::free(narrow);
  }
  WCHAR* wide = AnsiToWide("\xC3\x84");
  EXPECT_EQ(std::u16string(wide), u"Ä");
  std::free(wide);
  EXPECT_EQ(AnsiToWide(nullptr), nullptr);
  EXPECT_EQ(AnsiToWide(""), nullptr);
  EXPECT_EQ(WideToAnsi(nullptr), nullptr);
  EXPECT_EQ(WideToAnsi(u""), nullptr);
}

}  // namespace
