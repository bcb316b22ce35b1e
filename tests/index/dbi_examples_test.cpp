// The index's worked examples, checked byte for byte against file images
// written by hand: new files, insert splits, delete repair and slot reuse,
// prefix finds and walks, the free list, opening, and the dump listing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "index/dbi.h"
#include "index/dbi_check.h"
#include "index/dbi_test_util.h"

namespace {

const std::string kBlank;  // an empty key field

// Closes and frees the handle, then returns the file's bytes.
Bytes CloseAndRead(DBI** dbi, const std::string& path) {
  DbiFree(dbi);
  return ReadBytes(path);
}

TEST(DbiFile, NewFileIsTheHeaderAlone) {
  std::string path = ScratchPath("new.dbi");
  DBI* dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiNew(dbi, path.c_str(), "USER", 20), 0);
  EXPECT_EQ(DbiStatus(), 0);
  EXPECT_EQ(DbiCheck(dbi), "");
  Bytes expected = {4, 0, 0, 0, 0, 0, 0, 0, 36, 0, 128, 0, 0, 0, 0,   0,   0,   0,
                    0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0,   0, 0, 0, 'U', 'S', 'E', 'R'};
  expected.resize(128, 0);
  EXPECT_EQ(CloseAndRead(&dbi, path), expected);
}

// One case of adding keys to a new index with key length 20 (values 1, 2,
// ...), and the file it must give.
struct AddCase {
  const char* Name;               // what the case shows
  std::vector<std::string> Keys;  // added in this order
  HeaderImage Header;             // Head, First, Last, Free
  std::vector<SlotImage> Slots;   // every slot in file order
};

TEST(DbiAdd, WorkedExamplesGiveTheseFiles) {
  const std::vector<AddCase> cases = {
      {"A then B: B is A's red right child",
       {"A", "B"},
       {128, 128, 164, 0},
       {{0, 0, 164, 1, "A"}, {-128, 0, 0, 2, "B"}}},
      {"A, B, C: the full group splits, B moves up",
       {"A", "B", "C"},
       {164, 128, 200, 0},
       {{164, 0, 0, 1, "A"}, {0, 128, 200, 2, "B"}, {164, 0, 0, 3, "C"}}},
      {"C then B: B takes the root, C becomes red",
       {"C", "B"},
       {164, 164, 128, 0},
       {{-164, 0, 0, 1, "C"}, {0, 0, 128, 2, "B"}}},
      {"A three times: equal keys go right",
       {"A", "A", "A"},
       {164, 128, 200, 0},
       {{164, 0, 0, 1, "A"}, {0, 128, 200, 2, "A"}, {164, 0, 0, 3, "A"}}},
      {"A to G ascending: seven black nodes",
       {"A", "B", "C", "D", "E", "F", "G"},
       {236, 128, 344, 0},
       {{164, 0, 0, 1, "A"},
        {236, 128, 200, 2, "B"},
        {164, 0, 0, 3, "C"},
        {0, 164, 308, 4, "D"},
        {308, 0, 0, 5, "E"},
        {236, 272, 344, 6, "F"},
        {308, 0, 0, 7, "G"}}},
      {"M, D, T, B",
       {"M", "D", "T", "B"},
       {128, 236, 200, 0},
       {{0, 236, 200, 1, "M"}, {-236, 0, 0, 2, "D"}, {128, 0, 0, 3, "T"}, {128, 0, 164, 4, "B"}}},
  };
  for (const AddCase& c : cases) {
    std::string path = ScratchPath("add.dbi");
    DBI* dbi = NewIndexWith(path, 20, c.Keys);
    EXPECT_EQ(DbiCheck(dbi), "") << c.Name;
    EXPECT_EQ(CloseAndRead(&dbi, path), IndexImage(20, "USER", c.Header, c.Slots)) << c.Name;
  }
}

TEST(DbiAdd, EqualKeysWalkInTheOrderAdded) {
  std::string path = ScratchPath("equal.dbi");
  DBI* dbi = NewIndexWith(path, 20, {"A", "A", "A"});
  std::vector<int32_t> walk = {DbiFirst(dbi)};
  while (walk.back() != 0) walk.push_back(DbiNext(dbi, nullptr));
  EXPECT_EQ(walk, (std::vector<int32_t>{1, 2, 3, 0}));
  DbiFree(&dbi);
}

TEST(DbiDelete, RootDeleteRotatesAndQReusesTheFreedSlot) {
  std::string path = ScratchPath("mdtb.dbi");
  DBI* dbi = NewIndexWith(path, 20, {"M", "D", "T", "B"});
  ASSERT_EQ(DbiDelete(dbi, "M", 0), 0);
  EXPECT_EQ(dbi->Cur, 200);  // the released slot
  EXPECT_EQ(DbiCheck(dbi), "");
  DbiFree(&dbi);
  EXPECT_EQ(
      ReadBytes(path),
      IndexImage(
          20, "USER", {164, 236, 128, 200},
          {{164, 0, 0, 3, "T"}, {0, 236, 128, 2, "D"}, {0, 0, 0, 0, "T"}, {164, 0, 0, 4, "B"}}));
  dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiOpen(dbi, path.c_str()), 0);
  ASSERT_EQ(DbiAdd(dbi, "Q", 9), 0);
  EXPECT_EQ(DbiCheck(dbi), "");
  EXPECT_EQ(CloseAndRead(&dbi, path), IndexImage(20, "USER", {164, 236, 128, 0},
                                                 {{-200, 0, 0, 3, "T"},
                                                  {0, 236, 200, 2, "D"},
                                                  {164, 0, 128, 9, "Q"},
                                                  {164, 0, 0, 4, "B"}}));
}

TEST(DbiDelete, OnlyEntryLeavesAnEmptyTreeAndAFreeSlot) {
  std::string path = ScratchPath("only.dbi");
  DBI* dbi = NewIndexWith(path, 20, {"A"});
  ASSERT_EQ(DbiDelete(dbi, "A", 0), 0);
  EXPECT_EQ(DbiCheck(dbi), "");
  DbiClearError();
  EXPECT_EQ(DbiFirst(dbi), 0);
  EXPECT_STREQ(DbiError(nullptr), "Goto First");
  EXPECT_EQ(DumpText(dbi),
            "N_Rec=       1 RecLen=      36 Head=       0\n"
            "First=       0 Last  =       0 Free=     128\n"
            "\n  Offset   Parent      Left    Right   RecNo Key\n"
            "     128        0        0        0        0 A\n");
  EXPECT_EQ(CloseAndRead(&dbi, path), IndexImage(20, "USER", {0, 0, 0, 128}, {{0, 0, 0, 0, "A"}}));
}

TEST(DbiDelete, UnknownKeyOrRecNoChangesNothing) {
  std::string path = ScratchPath("keep.dbi");
  DBI* dbi = NewIndexWith(path, 20, {"ALAN", "ALBERT", "BOB"});
  DbiFree(&dbi);
  Bytes before = ReadBytes(path);
  dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiOpen(dbi, path.c_str()), 0);
  DbiClearError();
  EXPECT_EQ(DbiDelete(dbi, "AL", 7), 2);
  EXPECT_STREQ(DbiError(nullptr), "RecNo to Delete");
  EXPECT_EQ(DbiDelete(dbi, "C", 0), 1);
  EXPECT_STREQ(DbiError(nullptr), "Key to Delete");
  EXPECT_EQ(CloseAndRead(&dbi, path), before);
}

TEST(DbiDelete, RecNoPicksTheEntryWithinTheRun) {
  std::string path = ScratchPath("recno.dbi");
  DBI* dbi = NewIndexWith(path, 20, {"AL", "ALAN", "ALBERT", "BOB"});
  ASSERT_EQ(DbiDelete(dbi, "AL", 3), 0);
  EXPECT_EQ(DbiCheck(dbi), "");
  std::vector<int32_t> walk = {DbiFirst(dbi)};
  while (walk.back() != 0) walk.push_back(DbiNext(dbi, nullptr));
  EXPECT_EQ(walk, (std::vector<int32_t>{1, 2, 4, 0}));
  DbiFree(&dbi);
}

// ---- Finding ---------------------------------------------------------------

TEST(DbiFind, PrefixFindsAndWalksInEveryOrderOfAdding) {
  std::vector<std::string> keys = {"ALAN", "ALBERT", "BOB"};
  std::vector<int> order = {0, 1, 2};
  do {
    std::string path = ScratchPath("alan.dbi");
    DBI* dbi = DbiCreate(nullptr);
    ASSERT_EQ(DbiNew(dbi, path.c_str(), "USER", 20), 0);
    for (int i : order) ASSERT_EQ(DbiAdd(dbi, keys[i].c_str(), 10 * (i + 1)), 0);
    DbiClearError();
    EXPECT_EQ(DbiFind(dbi, "AL"), 10);
    EXPECT_EQ(DbiNext(dbi, "AL"), 20);
    EXPECT_EQ(DbiNext(dbi, "AL"), 0);
    EXPECT_STREQ(DbiKey(dbi, nullptr), "BOB");
    EXPECT_EQ(DbiFind(dbi, "ALZ"), 0);
    EXPECT_EQ(DbiFind(dbi, "B"), 30);
    EXPECT_EQ(DbiFind(dbi, ""), 10);  // First
    EXPECT_EQ(DbiFind(dbi, "C"), 0);
    EXPECT_EQ(DbiError(nullptr), nullptr);  // misses are not failures
    DbiFree(&dbi);
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(DbiFind, EmptyTreeFindsNothingWithoutMessage) {
  std::string path = ScratchPath("empty.dbi");
  DBI* dbi = NewIndexWith(path, 20, {});
  DbiClearError();
  EXPECT_EQ(DbiFind(dbi, ""), 0);
  EXPECT_EQ(DbiFind(dbi, "A"), 0);
  EXPECT_EQ(DbiError(nullptr), nullptr);
  DbiFree(&dbi);
}

TEST(DbiFind, TextLongerThanTheKeyMatchesItsFirstKeyLenBytes) {
  std::string path = ScratchPath("long.dbi");
  DBI* dbi = NewIndexWith(path, 20, {"ABCDEFGHIJKLMNOPQRSTxyz", "ABCDEFGHIJKLMNOPQRS"});
  EXPECT_EQ(DbiFind(dbi, "ABCDEFGHIJKLMNOPQRSXYZ123"), 0);  // differs within 20
  EXPECT_EQ(DbiFind(dbi, "ABCDEFGHIJKLMNOPQRST12345"), 1);
  EXPECT_STREQ(DbiKey(dbi, nullptr), "ABCDEFGHIJKLMNOPQRST");
  char copy[21];
  EXPECT_EQ(DbiKey(dbi, copy), dbi->Key);
  EXPECT_STREQ(copy, "ABCDEFGHIJKLMNOPQRST");
  DbiFree(&dbi);
  Bytes file = ReadBytes(path);
  EXPECT_EQ(std::string(file.begin() + 144, file.begin() + 164), "ABCDEFGHIJKLMNOPQRST");
}

TEST(DbiWalk, EndsAndZeroValues) {
  std::string path = ScratchPath("ends.dbi");
  DBI* dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiNew(dbi, path.c_str(), "USER", 20), 0);
  for (const char* k : {"B", "C", "D"}) ASSERT_EQ(DbiAdd(dbi, k, k[0]), 0);
  ASSERT_EQ(DbiAdd(dbi, "A", 0), 0);
  DbiClearError();
  EXPECT_EQ(DbiLast(dbi), 'D');
  EXPECT_EQ(DbiNext(dbi, nullptr), 0);  // past the last: the end, no message
  EXPECT_EQ(DbiLast(dbi), 'D');
  EXPECT_EQ(DbiPrev(dbi, nullptr), 'C');
  EXPECT_EQ(DbiPrev(dbi, nullptr), 'B');
  EXPECT_EQ(DbiPrev(dbi, nullptr), 0);  // the stored 0 of A ends the walk
  EXPECT_STREQ(DbiKey(dbi, nullptr), "A");
  EXPECT_EQ(DbiError(nullptr), nullptr);
  EXPECT_EQ(DbiFirst(dbi), 0);
  EXPECT_EQ(DbiNext(dbi, "B"), 0);  // search key of the last add is "A"
  EXPECT_STREQ(DbiKey(dbi, nullptr), "B");
  DbiFree(&dbi);
}

// A walk over stored 0s asks where it stands and whether a step failed,
// instead of taking a 0 for the end or for a failure.
TEST(DbiWalk, AtLastAndStepFailedTellZerosFromTheEndAndFromFailures) {
  std::string path = ScratchPath("zeros.dbi");
  DBI* dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiNew(dbi, path.c_str(), "USER", 12), 0);
  EXPECT_EQ(DbiKeyLen(dbi), 12);
  EXPECT_TRUE(DbiEmpty(dbi));
  EXPECT_FALSE(DbiAtLast(dbi));
  EXPECT_EQ(DbiFirst(dbi), 0);
  EXPECT_TRUE(DbiStepFailed());  // an empty tree has no First to reach
  for (const char* k : {"B", "A", "C"}) ASSERT_EQ(DbiAdd(dbi, k, 0), 0);
  EXPECT_FALSE(DbiEmpty(dbi));
  std::string walked;
  DbiFirst(dbi);
  for (int32_t left = DbiCount(dbi); !DbiStepFailed() && left > 0; --left) {
    walked += DbiKey(dbi, nullptr);
    if (DbiAtLast(dbi)) break;
    DbiNext(dbi, nullptr);
  }
  EXPECT_EQ(walked, "ABC");
  EXPECT_FALSE(DbiStepFailed());
  // First's Right set to no slot's start: the step to it fails.
  DbiFirst(dbi);
  ASSERT_EQ(DbiWriteField(dbi, dbi->Cur, DBI_RIGHT, 130), 0);
  ASSERT_NE(DbiGoto(dbi, dbi->Cur), 0);
  EXPECT_FALSE(DbiAtLast(dbi));
  EXPECT_EQ(DbiNext(dbi, nullptr), 0);
  EXPECT_TRUE(DbiStepFailed());
  EXPECT_STREQ(DbiError(nullptr), "Goto Right in Next");
  DbiFree(&dbi);
}

// ---- Node store ------------------------------------------------------------

TEST(DbiStore, FreeListIsLastInFirstOut) {
  std::string path = ScratchPath("free.dbi");
  DBI* dbi = NewIndexWith(path, 20, {});
  int32_t a = DbiGet(dbi), b = DbiGet(dbi);
  EXPECT_EQ(a, 128);
  EXPECT_EQ(b, 164);
  EXPECT_EQ(DbiCount(dbi), 2);
  DbiWriteKey(dbi, a, "KEYA\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0");
  ASSERT_EQ(DbiRelease(dbi, a), 0);
  ASSERT_EQ(DbiRelease(dbi, b), 0);
  DbiLinks l;
  char key[21];
  ASSERT_EQ(DbiReadNode(dbi, a, &l, key), 0);
  EXPECT_EQ(l.Parent, 0);
  EXPECT_EQ(l.Left, 0);
  EXPECT_EQ(l.Right, 0);
  EXPECT_EQ(l.RecNo, 0);
  EXPECT_STREQ(key, "KEYA");
  EXPECT_EQ(DbiReadField(dbi, b, DBI_RECNO), a);
  EXPECT_EQ(DbiGet(dbi), b);
  EXPECT_EQ(DbiGet(dbi), a);
  EXPECT_EQ(DbiCount(dbi), 2);
  EXPECT_EQ(dbi->Header.Free, 0);
  ASSERT_EQ(DbiReadNode(dbi, a, &l, key), 0);
  EXPECT_STREQ(key, "");  // a slot handed out is zeroed
  DbiFree(&dbi);
}

TEST(DbiStore, GotoZeroChangesNothingAndNegativeReadsTheNode) {
  std::string path = ScratchPath("goto.dbi");
  DBI* dbi = NewIndexWith(path, 20, {"A", "B"});
  ASSERT_EQ(DbiGoto(dbi, 164), 164);
  DbiLastStatus = 77;
  EXPECT_EQ(DbiGoto(dbi, 0), 0);
  EXPECT_EQ(dbi->Cur, 164);
  EXPECT_EQ(DbiStatus(), 77);
  EXPECT_EQ(DbiGoto(dbi, -128), 128);
  EXPECT_EQ(dbi->Right, 164);
  EXPECT_STREQ(dbi->Key, "A");
  DbiLink(dbi, -128, DBI_RIGHT, 164);
  EXPECT_EQ(DbiReadField(dbi, 164, DBI_PARENT), -128);
  EXPECT_EQ(DbiSetRecNo(dbi, 42), 0);
  EXPECT_EQ(DbiRecNo(dbi), 42);
  EXPECT_EQ(DbiReadField(dbi, 128, DBI_RECNO), 42);
  DbiFree(&dbi);
}

TEST(DbiHandle, EmptyHandlesErrorsAndLabels) {
  DBI* dbi = nullptr;
  ASSERT_EQ(DbiCreate(&dbi), dbi);
  EXPECT_EQ(DbiSetRecNo(dbi, 5), 1);  // nothing positioned yet
  EXPECT_EQ(DbiClose(dbi), 0);
  EXPECT_EQ(DbiClose(dbi), 0);
  EXPECT_EQ(dbi->Header.HdrLen, 128);
  EXPECT_EQ(dbi->Header.Id[0], 4);
  DbiFree(&dbi);
  EXPECT_EQ(dbi, nullptr);
  DbiFree(&dbi);     // a null handle is accepted
  DbiFree(nullptr);  // and a null address

  DbiLastError = "Goto First";
  char text[32];
  EXPECT_STREQ(DbiError(text), "Goto First");
  EXPECT_STREQ(text, "Goto First");
  DbiClearError();
  EXPECT_EQ(DbiError(text), nullptr);
  EXPECT_EQ(DbiStatus(), 0);

  std::string path = ScratchPath("label.dbi");
  std::string full(100, 'L');
  dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiNew(dbi, path.c_str(), full.c_str(), 20), 0);
  char label[97];
  EXPECT_EQ(std::string(DbiLabel(dbi, nullptr)), full.substr(0, 96));
  EXPECT_EQ(std::string(DbiLabel(dbi, label)), full.substr(0, 96));
  DbiFree(&dbi);
  Bytes file = ReadBytes(path);
  EXPECT_EQ(std::string(file.begin() + 32, file.begin() + 128), full.substr(0, 96));
  dbi = NewIndexWith(path, 20, {});
  EXPECT_STREQ(DbiLabel(dbi, nullptr), "USER");
  DbiFree(&dbi);
}

TEST(DbiHandle, NewAndOpenFailuresAndWhatOpenAccepts) {
  std::string path = ScratchPath("open.dbi");
  struct Case {
    Bytes File;           // the file to open ({} for none at all)
    bool Exists;          // whether it is written
    int Result;           // DbiOpen's result
    const char* Message;  // its message, null for none
  };
  Bytes odd = IndexImage(20, "X", {0, 0, 0, 0}, {});
  odd[0] = 'Z';  // any Id is accepted
  Bytes noKey = odd;
  noKey[8] = 15;  // RecLen 15 leaves a key length of -1
  const std::vector<Case> cases = {
      {{}, false, 2, "fopen File"},      {Bytes(127, 0), true, 3, "fread FH in Open"},
      {{}, true, 3, "fread FH in Open"}, {odd, true, 0, nullptr},
      {noKey, true, 4, "Key in Open"},
  };
  for (const Case& c : cases) {
    std::remove(path.c_str());
    if (c.Exists) WriteBytes(path, c.File);
    DbiClearError();
    DBI* dbi = DbiCreate(nullptr);
    EXPECT_EQ(DbiOpen(dbi, path.c_str()), c.Result);
    if (c.Message) {
      EXPECT_STREQ(DbiError(nullptr), c.Message);
    }
    if (c.Result == 0) {
      EXPECT_STREQ(DbiLabel(dbi, nullptr), "X");
    }
    DbiFree(&dbi);
  }
  DBI* dbi = DbiCreate(nullptr);
  EXPECT_EQ(DbiNew(dbi, ScratchPath("no/such/dir").c_str(), "USER", 20), 1);
  EXPECT_STREQ(DbiError(nullptr), "fopen New File");
  DbiFree(&dbi);
  for (int keyLen : {-1, 32752}) {
    dbi = DbiCreate(nullptr);
    EXPECT_EQ(DbiNew(dbi, path.c_str(), "USER", keyLen), 2);
    EXPECT_STREQ(DbiError(nullptr), "Key in New");
    DbiFree(&dbi);
  }
}

// ---- Dump ------------------------------------------------------------------

TEST(DbiDump, ListsHeaderAndSlotsAsStored) {
  std::string path = ScratchPath("dump.dbi");
  DBI* dbi = NewIndexWith(path, 20, {});
  const std::string head =
      "N_Rec=       0 RecLen=      36 Head=       0\n"
      "First=       0 Last  =       0 Free=       0\n"
      "\n  Offset   Parent      Left    Right   RecNo Key\n";
  EXPECT_EQ(DumpText(dbi), head);
  ASSERT_EQ(DbiAdd(dbi, "A", 1), 0);
  ASSERT_EQ(DbiAdd(dbi, "B", 2), 0);
  EXPECT_EQ(DumpText(dbi),
            "N_Rec=       2 RecLen=      36 Head=     128\n"
            "First=     128 Last  =     164 Free=       0\n"
            "\n  Offset   Parent      Left    Right   RecNo Key\n"
            "     128        0        0      164        1 A\n"
            "     164     -128        0        0        2 B\n");
  EXPECT_EQ(dbi->Cur, 164);
  DbiFree(&dbi);

  dbi = NewIndexWith(path, 4, {"WXYZW"});
  ASSERT_EQ(DbiSetRecNo(dbi, 0), 1);  // no position after an add of the first entry
  EXPECT_EQ(DumpText(dbi),
            "N_Rec=       1 RecLen=      20 Head=     128\n"
            "First=     128 Last  =     128 Free=       0\n"
            "\n  Offset   Parent      Left    Right   RecNo Key\n"
            "     128        0        0        0        1 WXYZ\n");
  DbiFree(&dbi);
}

TEST(DbiDump, UnreadableSlotEndsTheListing) {
  std::string path = ScratchPath("dumpcut.dbi");
  DBI* dbi = NewIndexWith(path, 20, {"A", "B", "C"});
  DbiFree(&dbi);
  Bytes file = ReadBytes(path);
  file.resize(128 + 36 + 20);  // slot 164 cut short
  WriteBytes(path, file);
  dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiOpen(dbi, path.c_str()), 0);
  DbiClearError();
  EXPECT_EQ(DumpText(dbi),
            "N_Rec=       3 RecLen=      36 Head=     164\n"
            "First=     128 Last  =     200 Free=       0\n"
            "\n  Offset   Parent      Left    Right   RecNo Key\n"
            "     128      164        0        0        1 A\n");
  EXPECT_STREQ(DbiError(nullptr), "Goto Offset in Dump");
  EXPECT_EQ(DbiStatus(), 0);
  DbiFree(&dbi);
}

}  // namespace
