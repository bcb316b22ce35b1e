// A new index under a unique name: the same file as DbiNew makes, a name of
// its own for each index, no existing file or link ever used, and the index
// bound to the file it created even when the name is swapped afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "index/dbi.h"
#include "index/dbi_check.h"
#include "index/dbi_test_util.h"

namespace {

// A fresh folder for one test, so that its files can be counted.
std::string FreshFolder(const char* name) {
  std::string dir = ScratchPath(name);
  mkdir(dir.c_str(), 0700);
  return dir;
}

TEST(DbiNewTemp, MakesTheFileDbiNewMakesUnderAFreshName) {
  std::string dir = FreshFolder("temp-same");
  std::string pattern = dir + "/velmarXXXXXX.tmp";
  DBI* a = DbiCreate(nullptr);
  DBI* b = DbiCreate(nullptr);
  ASSERT_EQ(DbiNewTemp(a, pattern.c_str(), "USER", 20), 0);
  ASSERT_EQ(DbiNewTemp(b, pattern.c_str(), "USER", 20), 0);
  std::string nameA = a->FileName;
  std::string nameB = b->FileName;
  EXPECT_NE(nameA, nameB);
  for (const std::string& name : {nameA, nameB}) {
    ASSERT_EQ(name.size(), pattern.size());
    EXPECT_EQ(name.compare(0, dir.size() + 7, dir + "/velmar"), 0) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    EXPECT_EQ(name.find('X', dir.size()), std::string::npos) << name;
    struct stat st;
    ASSERT_EQ(lstat(name.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  EXPECT_EQ(a->KeyLen, 20);
  DbiFree(&a);
  DbiFree(&b);
  // Byte for byte what DbiNew writes.
  std::string plain = dir + "/plain.dbi";
  DBI* c = DbiCreate(nullptr);
  ASSERT_EQ(DbiNew(c, plain.c_str(), "USER", 20), 0);
  DbiFree(&c);
  EXPECT_EQ(ReadBytes(nameA), ReadBytes(plain));
  unlink(nameA.c_str());
  unlink(nameB.c_str());
  unlink(plain.c_str());
}

TEST(DbiNewTemp, StaysOnItsFileWhenTheNameIsSwappedForALink) {
  std::string dir = FreshFolder("temp-swap");
  std::string victim = dir + "/victim";
  WriteBytes(victim, Bytes{'k', 'e', 'e', 'p'});
  DBI* dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiNewTemp(dbi, (dir + "/velmarXXXXXX.tmp").c_str(), "USER", 20), 0);
  std::string name = dbi->FileName;
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

// Failures give DbiNew's results and texts; FileName tells whether a file
// was made (and must be deleted by the caller).
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
  WriteBytes(dir + "/velmar.tmp", Bytes{'o', 'l', 'd'});
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.Name);
    DbiClearError();
    DBI* dbi = DbiCreate(nullptr);
    EXPECT_EQ(DbiNewTemp(dbi, (dir + "/" + c.Pattern).c_str(), "USER", c.KeyLen), c.Result);
    EXPECT_STREQ(DbiError(nullptr), c.Message);
    ASSERT_EQ(dbi->FileName != nullptr, c.Made);
    if (c.Made) {
      EXPECT_EQ(access(dbi->FileName, F_OK), 0);
      EXPECT_EQ(unlink(dbi->FileName), 0);
    }
    DbiFree(&dbi);
  }
  EXPECT_EQ(ReadBytes(dir + "/velmar.tmp"), (Bytes{'o', 'l', 'd'}));
  unlink((dir + "/velmar.tmp").c_str());
}

}  // namespace
