// Model-based runs of the index: seeded random adds (many equal keys, keys
// longer than KeyLen, bytes above 127), deletes by key and by RecNo, finds
// and walks both ways, and reopening part-way, all against std::multimap
// (which keeps equal keys in the order added), with the whole-file checker.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "index/dbi.h"
#include "index/dbi_check.h"
#include "index/dbi_test_util.h"

namespace {

using Model = std::multimap<std::string, int32_t>;

// The shape of one run.
struct RunPlan {
  int KeyLen;            // the index's key length
  const char* Alphabet;  // key characters (few: many equal keys)
  int Ops;               // operations in all
  int CheckEvery;        // whole-file check and full compare every so many
  int ReopenEvery;       // close and DbiOpen every so many
  unsigned Seed;         // random seed
};

// One run in progress: the index, the model and the model's position.
struct Run {
  RunPlan Plan;                   // what to do
  std::string Path;               // the index file
  DBI* Dbi = nullptr;             // its open handle
  Model Map;                      // what the index should hold
  std::mt19937 Rng;               // the run's randomness
  std::vector<std::string> Pool;  // keys seen, for equal keys and prefixes
  int32_t NextValue = 1;          // values are unique and never 0
  std::string SearchKey;          // the handle's SearchKey, as the model sees it
  Model::iterator Pos;            // the handle's position when PosValid
  bool PosValid = false;          // false after adds, deletes and walk ends
};

int Pick(Run* r, int n) {
  return std::uniform_int_distribution<int>(0, n - 1)(r->Rng);
}

std::string Cut(const Run& r, const std::string& key) {
  return key.substr(0, r.Plan.KeyLen);
}

// A key: an earlier one (maybe shortened or extended) or a new random one
// of 0 to KeyLen + 3 characters.
std::string RandomKey(Run* r) {
  std::string key;
  if (!r->Pool.empty() && Pick(r, 2) == 0) {
    key = r->Pool[Pick(r, static_cast<int>(r->Pool.size()))];
    if (Pick(r, 4) == 0) key = key.substr(0, Pick(r, static_cast<int>(key.size()) + 1));
  } else {
    int len = Pick(r, r->Plan.KeyLen + 4);
    size_t letters = std::strlen(r->Plan.Alphabet);
    for (int i = 0; i < len; ++i) key += r->Plan.Alphabet[Pick(r, static_cast<int>(letters))];
    r->Pool.push_back(key);
  }
  return key;
}

// The prefix comparison the index makes: SearchKey against an entry's key
// over the length of the caller's text.
int PrefixCompare(const Run& r, const std::string& entryKey, const std::string& text) {
  return std::strncmp(r.SearchKey.c_str(), entryKey.c_str(), text.size());
}

void ExpectAtPos(Run* r, const char* what) {
  if (!r->PosValid) return;
  ASSERT_STREQ(DbiKey(r->Dbi, nullptr), r->Pos->first.c_str()) << what;
  ASSERT_EQ(DbiRecNo(r->Dbi), r->Pos->second) << what;
}

// ---- Operations, each checked against the model -----------------------------

void Add(Run* r) {
  std::string key = RandomKey(r);
  int32_t value = Pick(r, 8) == 0 ? -r->NextValue++ : r->NextValue++;
  ASSERT_EQ(DbiAdd(r->Dbi, key.c_str(), value), 0) << key;
  r->Map.insert({Cut(*r, key), value});
  r->SearchKey = Cut(*r, key);
  r->PosValid = false;
}

// Where DbiFind(text) lands in the model and what it answers.
int32_t ModelFind(Run* r, const std::string& text) {
  if (r->Map.empty()) return r->PosValid = false, 0;  // SearchKey is left alone
  r->SearchKey = Cut(*r, text);
  r->Pos = r->Map.lower_bound(r->SearchKey.substr(0, text.size()));
  if (r->Pos == r->Map.end()) --r->Pos;
  r->PosValid = true;
  return PrefixCompare(*r, r->Pos->first, text) == 0 ? r->Pos->second : 0;
}

// One in-order step of the model; forward for DbiNext.
int32_t ModelStep(Run* r, const std::string* text, bool forward) {
  if (forward) {
    if (++r->Pos == r->Map.end()) return r->PosValid = false, 0;
  } else {
    if (r->Pos == r->Map.begin()) return r->PosValid = false, 0;
    --r->Pos;
  }
  if (text && PrefixCompare(*r, r->Pos->first, *text) != 0) return 0;
  return r->Pos->second;
}

// DbiFind of a random text, then a few steps with the same text either way.
void FindAndWalk(Run* r) {
  std::string text = RandomKey(r);
  int32_t expected = ModelFind(r, text);
  ASSERT_EQ(DbiFind(r->Dbi, text.c_str()), expected) << "find " << text;
  ExpectAtPos(r, "after find");
  bool forward = Pick(r, 3) != 0;
  bool keyed = Pick(r, 3) != 0;
  for (int i = Pick(r, 12); i > 0 && r->PosValid; --i) {
    int32_t want = ModelStep(r, keyed ? &text : nullptr, forward);
    int32_t got = forward ? DbiNext(r->Dbi, keyed ? text.c_str() : nullptr)
                          : DbiPrev(r->Dbi, keyed ? text.c_str() : nullptr);
    ASSERT_EQ(got, want) << (forward ? "next " : "prev ") << text;
    ExpectAtPos(r, "after a step");
  }
}

// From First or Last, a few steps without a key.
void EndWalk(Run* r) {
  bool forward = Pick(r, 2) == 0;
  int32_t got = forward ? DbiFirst(r->Dbi) : DbiLast(r->Dbi);
  if (r->Map.empty()) {
    ASSERT_EQ(got, 0);
    ASSERT_STREQ(DbiError(nullptr), forward ? "Goto First" : "Goto Last");
    return;
  }
  r->Pos = forward ? r->Map.begin() : std::prev(r->Map.end());
  r->PosValid = true;
  ASSERT_EQ(got, r->Pos->second);
  for (int i = Pick(r, 12); i > 0 && r->PosValid; --i) {
    int32_t want = ModelStep(r, nullptr, forward);
    ASSERT_EQ(forward ? DbiNext(r->Dbi, nullptr) : DbiPrev(r->Dbi, nullptr), want);
    ExpectAtPos(r, "walking from an end");
  }
}

// DbiDelete by a text and either no RecNo or the RecNo of an entry that
// begins with it (sometimes a RecNo that none carries).
void Delete(Run* r) {
  std::string text = RandomKey(r);
  int32_t recNo = 0;
  if (!r->Map.empty() && Pick(r, 2) == 0) {
    auto it = std::next(r->Map.begin(), Pick(r, static_cast<int>(r->Map.size())));
    text = it->first.substr(0, Pick(r, static_cast<int>(it->first.size()) + 1));
    recNo = Pick(r, 10) == 0 ? r->NextValue + 1 : it->second;
  }
  int expected = 1;
  if (ModelFind(r, text) != 0) {
    expected = 2;
    for (auto it = r->Pos; it != r->Map.end() && PrefixCompare(*r, it->first, text) == 0; ++it) {
      if (recNo <= 0 || it->second == recNo) {
        r->Map.erase(it);
        expected = 0;
        break;
      }
    }
  }
  ASSERT_EQ(DbiDelete(r->Dbi, text.c_str(), recNo), expected) << text << " " << recNo;
  r->PosValid = false;
}

void Reopen(Run* r) {
  DbiFree(&r->Dbi);
  r->Dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiOpen(r->Dbi, r->Path.c_str()), 0);
  r->SearchKey.clear();
  r->PosValid = false;
}

// The checker, then a full walk compared with the model.
void CheckWhole(Run* r, int op) {
  ASSERT_EQ(DbiCheck(r->Dbi), "") << "after op " << op;
  std::vector<std::pair<std::string, int32_t>> walk;
  for (int32_t v = DbiFirst(r->Dbi); v != 0 && walk.size() <= r->Map.size();
       v = DbiNext(r->Dbi, nullptr)) {
    walk.emplace_back(DbiKey(r->Dbi, nullptr), v);
  }
  std::vector<std::pair<std::string, int32_t>> want(r->Map.begin(), r->Map.end());
  ASSERT_EQ(walk, want) << "after op " << op;
  r->PosValid = false;
}

void RunModel(const RunPlan& plan) {
  Run r;
  r.Plan = plan;
  r.Rng.seed(plan.Seed);
  r.Path = ScratchPath("model-" + std::to_string(plan.Seed) + ".dbi");
  r.Dbi = DbiCreate(nullptr);
  ASSERT_EQ(DbiNew(r.Dbi, r.Path.c_str(), "MODEL", plan.KeyLen), 0);
  for (int op = 1; op <= plan.Ops && !testing::Test::HasFatalFailure(); ++op) {
    int dice = Pick(&r, 20);
    if (dice < 10) {
      Add(&r);
    } else if (dice < 14) {
      Delete(&r);
    } else if (dice < 18) {
      FindAndWalk(&r);
    } else {
      EndWalk(&r);
    }
    if (op % plan.ReopenEvery == 0) Reopen(&r);
    if (op % plan.CheckEvery == 0) CheckWhole(&r, op);
  }
  DbiFree(&r.Dbi);
}

TEST(DbiModel, ShortRunsCheckedAfterEveryOperation) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    RunModel({5, "ab\xE9z", 3000, 1, 700, seed});
  }
}

TEST(DbiModel, LongRunCheckedEveryFewHundred) {
  RunModel({6, "abc\xE9", 40000, 400, 9000, 11});
}

TEST(DbiModel, DriverKeyLengthWithUserNames) {
  RunModel({20, "aeiklmnrst", 6000, 25, 1500, 21});
}

TEST(DbiModel, TinyKeyLengthsKeepTheOrderAdded) {
  RunModel({0, "ab", 1500, 1, 400, 31});
  RunModel({1, "ab", 1500, 1, 400, 32});
}

}  // namespace
