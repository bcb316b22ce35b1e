// The index's temporary file on Windows: a fresh name for each index, made
// exclusively, worked on like any index, and deleted by the system when it
// is closed or when the process is ended without closing it.
#include <direct.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "index/dbi.h"
#include "index/dbi_check.h"
#include "index/dbi_test_util.h"

namespace {

// A fresh folder for one test, so that its files can be listed.
std::string FreshFolder(const char* name) {
  std::string dir = ScratchPath(name);
  _mkdir(dir.c_str());
  return dir;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The names of the files in dir.
std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

TEST(DbiNewTempWindows, FreshNamesWorkLikeAnyIndexAndGoWhenClosed) {
  std::string dir = FreshFolder("temp-names");
  std::string pattern = dir + "\\velmarXXXXXX.tmp";
  DBI* a = DbiCreate(nullptr);
  DBI* b = DbiCreate(nullptr);
  ASSERT_EQ(DbiNewTemp(a, pattern.c_str(), "USER", 20), 0);
  ASSERT_EQ(DbiNewTemp(b, pattern.c_str(), "USER", 20), 0);
  std::string nameA = a->FileName;
  std::string nameB = b->FileName;
  EXPECT_NE(nameA, nameB);
  for (const std::string& name : {nameA, nameB}) {
    ASSERT_EQ(name.size(), pattern.size());
    EXPECT_EQ(name.compare(0, dir.size() + 7, dir + "\\velmar"), 0) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    EXPECT_NE(name.substr(dir.size() + 7, 6), "XXXXXX") << name;
    EXPECT_TRUE(Exists(name)) << name;
  }
  for (int i = 0; i < 500; ++i) ASSERT_EQ(DbiAdd(a, ("u" + std::to_string(i % 37)).c_str(), i), 0);
  EXPECT_EQ(DbiCheck(a), "");
  EXPECT_EQ(DbiFirst(a), 0);
  EXPECT_STREQ(DbiKey(a, nullptr), "u0");
  DbiFree(&a);
  EXPECT_FALSE(Exists(nameA));
  EXPECT_TRUE(Exists(nameB));
  DbiFree(&b);
  EXPECT_TRUE(FilesIn(dir).empty());
}

// Failures give DbiNew's results and texts, as elsewhere.
struct FailCase {
  const char* Name;     // what the case shows
  const char* Pattern;  // template, relative to the test's folder
  int KeyLen;           // key length asked for
  int Result;           // DbiNewTemp's result
  const char* Message;  // DbiError afterwards
  bool Made;            // a file was made and FileName names it
};

TEST(DbiNewTempWindows, FailuresGiveDbiNewsTexts) {
  const FailCase cases[] = {
      {"no X's to replace", "velmar.tmp", 20, 1, "fopen New File", false},
      {"five X's are too few", "velmarXXXXX.tmp", 20, 1, "fopen New File", false},
      {"a folder that does not exist", "none\\velmarXXXXXX.tmp", 20, 1, "fopen New File", false},
      {"no key buffer for a negative length", "velmarXXXXXX.tmp", -1, 2, "Key in New", true},
  };
  std::string dir = FreshFolder("temp-fail");
  // An existing file of the plain name is never touched.
  WriteBytes(dir + "\\velmar.tmp", Bytes{'o', 'l', 'd'});
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.Name);
    DbiClearError();
    DBI* dbi = DbiCreate(nullptr);
    EXPECT_EQ(DbiNewTemp(dbi, (dir + "\\" + c.Pattern).c_str(), "USER", c.KeyLen), c.Result);
    EXPECT_STREQ(DbiError(nullptr), c.Message);
    ASSERT_EQ(dbi->FileName != nullptr, c.Made);
    std::string made = c.Made ? dbi->FileName : "";
    EXPECT_EQ(Exists(made), c.Made);
    DbiFree(&dbi);
    EXPECT_FALSE(Exists(made));
  }
  EXPECT_EQ(ReadBytes(dir + "\\velmar.tmp"), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"velmar.tmp"});
}

// A web server ends a CGI program that runs too long with TerminateProcess:
// no handler of the program runs, and the file goes all the same.
TEST(DbiNewTempWindowsDeathTest, GoesWhenTheProcessIsEndedFromOutside) {
  // The child runs this test from its start in a process of its own: the
  // folder reaches it through the environment.
  const char* given = std::getenv("VELMAR_TEST_KILLED_DIR");
  std::string dir = given != nullptr ? given : FreshFolder("temp-killed");
  _putenv_s("VELMAR_TEST_KILLED_DIR", dir.c_str());
  std::string pattern = dir + "\\velmarXXXXXX.tmp";
  EXPECT_EXIT(
      {
        DBI* dbi = DbiCreate(nullptr);
        if (DbiNewTemp(dbi, pattern.c_str(), "USER", 20) == 0 && DbiAdd(dbi, "amy", 1) == 0) {
          TerminateProcess(GetCurrentProcess(), 7);
        }
        ExitProcess(1);
      },
      testing::ExitedWithCode(7), "");
  EXPECT_TRUE(FilesIn(dir).empty());
  EXPECT_TRUE(RemoveDirectoryA(dir.c_str()));
}

}  // namespace
