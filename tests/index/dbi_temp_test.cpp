// A new index under a unique name: the same file as DbiNew makes, a name of
// its own for each index, no existing file or link ever used, and the index
// bound to the file it created even when the name is swapped afterwards. On
// Windows the system deletes the file when it is closed, and when the
// process is ended without closing it. Built for Linux and for Windows.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "index/dbi.h"
#include "index/dbi_check.h"
#include "index/dbi_test_util.h"

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
const bool kGoneWhenClosed = true;  // delete-on-close: the system deletes the file
const char kSep = '\\';
#else
const bool kGoneWhenClosed = false;  // the caller deletes the file by its name
const char kSep = '/';
#endif

// A fresh folder for one test, so that its files can be listed.
std::string FreshFolder(const char* name) {
  std::string dir = ScratchPath(name);
  fs::create_directory(dir);
  return dir;
}

// rel under dir, written with the system's separator.
std::string Under(const std::string& dir, std::string rel) {
  for (char& c : rel) c = c == '/' ? kSep : c;
  return dir + kSep + rel;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec);
}

// The names of the files in dir.
std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  return names;
}

TEST(DbiNewTemp, FreshNamesWorkLikeAnyIndex) {
  std::string dir = FreshFolder("temp-names");
  std::string pattern = Under(dir, "velmarXXXXXX.tmp");
  DBI* a = DbiCreate(nullptr);
  DBI* b = DbiCreate(nullptr);
  ASSERT_EQ(DbiNewTemp(a, pattern.c_str(), "USER", 20), 0);
  ASSERT_EQ(DbiNewTemp(b, pattern.c_str(), "USER", 20), 0);
  std::string nameA = DbiFileName(a);
  std::string nameB = DbiFileName(b);
  EXPECT_NE(nameA, nameB);
  for (const std::string& name : {nameA, nameB}) {
    ASSERT_EQ(name.size(), pattern.size());
    EXPECT_EQ(name.compare(0, dir.size() + 7, Under(dir, "velmar")), 0) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    // The unique part is random letters and digits: an 'X' among them is fine.
    EXPECT_NE(name.substr(dir.size() + 7, 6), "XXXXXX") << name;
    EXPECT_TRUE(Exists(name)) << name;
#ifndef _WIN32
    struct stat st;
    ASSERT_EQ(lstat(name.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
  }
  EXPECT_EQ(a->KeyLen, 20);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(DbiAdd(a, ("u" + std::to_string(i % 37)).c_str(), i), 0);
  EXPECT_EQ(DbiCheck(a), "");
  EXPECT_EQ(DbiFirst(a), 0);
  EXPECT_STREQ(DbiKey(a, nullptr), "u0");
  DbiFree(&a);
  EXPECT_EQ(Exists(nameA), !kGoneWhenClosed);
  EXPECT_TRUE(Exists(nameB));
  DbiFree(&b);
  if (!kGoneWhenClosed) {
    // Byte for byte what DbiNew writes.
    std::string plain = Under(dir, "plain.dbi");
    DBI* c = DbiCreate(nullptr);
    ASSERT_EQ(DbiNew(c, plain.c_str(), "USER", 20), 0);
    DbiFree(&c);
    EXPECT_EQ(ReadBytes(nameB), ReadBytes(plain));
    for (const std::string& name : {nameA, nameB, plain}) std::remove(name.c_str());
  }
  EXPECT_TRUE(FilesIn(dir).empty());
}

#ifndef _WIN32
TEST(DbiNewTemp, StaysOnItsFileWhenTheNameIsSwappedForALink) {
  std::string dir = FreshFolder("temp-swap");
  std::string victim = dir + "/victim";
  WriteBytes(victim, Bytes{'k', 'e', 'e', 'p'});
  DBI* dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiNewTemp(dbi, (dir + "/velmarXXXXXX.tmp").c_str(), "USER", 20), 0);
  std::string name = DbiFileName(dbi);
  std::string moved = dir + "/moved";
  ASSERT_EQ(rename(name.c_str(), moved.c_str()), 0);
  ASSERT_EQ(symlink(victim.c_str(), name.c_str()), 0);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(DbiAdd(dbi, ("u" + std::to_string(i % 7)).c_str(), i), 0);
  EXPECT_EQ(DbiCheck(dbi), "");
  DbiFree(&dbi);
  EXPECT_EQ(ReadBytes(victim), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(ReadBytes(moved).size(), 128u + 200u * 36u);
  unlink(name.c_str());
  unlink(moved.c_str());
  unlink(victim.c_str());
}
#endif

// Failures give DbiNew's results and texts; FileName tells whether a file
// was made (and, except on Windows, must be deleted by the caller).
struct FailCase {
  const char* Name;     // what the case shows
  const char* Pattern;  // template, relative to the test's folder
  int KeyLen;           // key length asked for
  int Result;           // DbiNewTemp's result
  const char* Message;  // DbiError afterwards
  bool Made;            // a file was made and FileName names it
};

TEST(DbiNewTemp, FailuresGiveDbiNewsTexts) {
  const FailCase cases[] = {
      {"no X's to replace", "velmar.tmp", 20, 1, "fopen New File", false},
      {"five X's are too few", "velmarXXXXX.tmp", 20, 1, "fopen New File", false},
      {"a folder that does not exist", "none/velmarXXXXXX.tmp", 20, 1, "fopen New File", false},
      {"no key buffer for a negative length", "velmarXXXXXX.tmp", -1, 2, "Key in New", true},
  };
  std::string dir = FreshFolder("temp-fail");
  // An existing file of the plain name is never touched.
  WriteBytes(Under(dir, "velmar.tmp"), Bytes{'o', 'l', 'd'});
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.Name);
    DbiClearError();
    DBI* dbi = DbiCreate(nullptr);
    EXPECT_EQ(DbiNewTemp(dbi, Under(dir, c.Pattern).c_str(), "USER", c.KeyLen), c.Result);
    EXPECT_STREQ(DbiError(nullptr), c.Message);
    ASSERT_EQ(DbiFileName(dbi) != nullptr, c.Made);
    std::string made = c.Made ? DbiFileName(dbi) : "";
    EXPECT_EQ(Exists(made), c.Made);
    DbiFree(&dbi);
    if (c.Made && !kGoneWhenClosed) {
      EXPECT_EQ(std::remove(made.c_str()), 0);
    }
    EXPECT_FALSE(Exists(made));
  }
  EXPECT_EQ(ReadBytes(Under(dir, "velmar.tmp")), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"velmar.tmp"});
}

#ifdef _WIN32
// A web server ends a CGI program that runs too long with TerminateProcess:
// no handler of the program runs, and the file goes all the same.
TEST(DbiNewTempDeathTest, GoesWhenTheProcessIsEndedFromOutside) {
  // The child runs this test from its start in a process of its own: the
  // folder reaches it through the environment.
  const char* given = std::getenv("VELMAR_TEST_KILLED_DIR");
  std::string dir = given != nullptr ? given : FreshFolder("temp-killed");
  _putenv_s("VELMAR_TEST_KILLED_DIR", dir.c_str());
  std::string pattern = Under(dir, "velmarXXXXXX.tmp");
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
#endif

}  // namespace
