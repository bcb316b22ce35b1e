// The summaries' texts from given counters, the user walk over a real index
// (zero-second connections, grouping, order against a model), the connected
// time read from its texts, and the collector's file and signal guard.
#include "driver/stats.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "driver/usercollect.h"
#include "support/capture.h"
#include "support/tempdir.h"

namespace {

// A fresh working folder for the test's duration; the previous one after.
struct InFolder {
  TempFolder Dir{"stats"};  // the fresh folder
  char Old[PATH_MAX];       // where the test was before
  InFolder() {
    EXPECT_NE(getcwd(Old, sizeof Old), nullptr);
    EXPECT_EQ(chdir(Dir.Path.c_str()), 0);
  }
  ~InFolder() { EXPECT_EQ(chdir(Old), 0); }
};

// The names in the current folder.
std::vector<std::string> FolderNames() {
  std::vector<std::string> names;
  FILE* ls = popen("ls -A", "r");
  char line[256];
  while (fgets(line, sizeof line, ls)) names.emplace_back(line, strcspn(line, "\n"));
  pclose(ls);
  return names;
}

using Adds = std::vector<std::pair<std::string, int32_t>>;

// The user summary of a collector fed with adds, in a folder of its own.
std::string UserSummary(const Adds& adds, int width) {
  InFolder folder;
  UserCollector users = {};
  EXPECT_EQ(UserCollectStart(&users), nullptr);
  for (const auto& a : adds) UserCollectAdd(&users, a.first.c_str(), a.second);
  EXPECT_EQ(users.Failed, nullptr);
  std::string text = Written([&](FILE* out) { WriteUserStats(out, &users, width, false); });
  UserCollectRelease(&users);
  EXPECT_TRUE(FolderNames().empty());
  return text;
}

const char* const kUserHead = "\nUser-based Statistics:\nUser     Login  Duration\n";

// What the end-to-end runs cannot reach: names wider than the column, sums
// below zero and beyond 32 bits.
TEST(Stats, UserSummaryEdges) {
  const struct {
    Adds Entries;      // added in this order
    int Width;         // name column
    std::string Text;  // the summary
  } cases[] = {
      {{{"alice", 60}},
       3,
       "\nUser-based Statistics:\nUser Login  Duration\nalice     1   0: 1:00\n"},
      {{{"amy", -5}, {"amy", 2}}, 8, std::string(kUserHead) + "amy          2   0: 0:-3\n"},
      {{{"amy", INT32_MAX}, {"amy", INT32_MAX}},
       8,
       std::string(kUserHead) + "amy          2 1193046:28:14\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(UserSummary(c.Entries, c.Width), c.Text);
}

TEST(Stats, UserSummaryMatchesAModel) {
  std::mt19937 rng(7);
  Adds adds;
  std::map<std::string, std::pair<int64_t, int64_t>> model;  // logins, seconds
  for (int i = 0; i < 3000; ++i) {
    // Names of 1 to 24 bytes from a small alphabet: many equal ones, some
    // that agree in their first 20 bytes, and plenty of 0-second entries.
    std::string name(1 + rng() % 24, 'a');
    for (char& ch : name) ch = "aAb"[rng() % 3];
    if (name.size() > 3) name.resize(rng() % 2 ? 3 : name.size());
    int32_t seconds = rng() % 4 == 0 ? 0 : static_cast<int32_t>(rng() % 100000);
    adds.emplace_back(name, seconds);
    auto& m = model[name.substr(0, USER_KEY_LEN)];
    m.first += 1;
    m.second += seconds;
  }
  std::string want = kUserHead;
  for (const auto& m : model) {
    char row[128];
    int64_t s = m.second.second;
    snprintf(row, sizeof row, "%-8s %5lld %3lld:%2lld:%02lld\n", m.first.c_str(),
             static_cast<long long>(m.second.first), static_cast<long long>(s / 3600),
             static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    want += row;
  }
  EXPECT_EQ(UserSummary(adds, 8), want);
}

// Hours beyond three digits and negative times, which the end-to-end runs
// cannot make.
TEST(Stats, GeneralSummaryRows) {
  const struct {
    const char* Name;                              // what the case shows
    EventTime Total;                               // TotalTime
    int32_t PortCount;                             // rows 0 to PortCount
    std::vector<std::pair<int, EventTime>> Lines;  // LineTime entries
    const char* Text;                              // the summary
  } cases[] = {
      {"hours beyond three digits, a negative remainder",
       400 * 86400 - 5,
       0,
       {{0, 400 * 86400 - 5}},
       "\nGeneral Statistics:\nDuration  = 9599:59:55\n  0 Lines = 9599:59:55 (100.0%)\n"},
      {"a negative scan",
       -5,
       0,
       {{0, -5}},
       "\nGeneral Statistics:\nDuration  =   0: 0:-5\n  0 Lines =   0: 0:-5 (100.0%)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ScanState scan = {};
    scan.TotalTime = c.Total;
    scan.PortCount = c.PortCount;
    for (const auto& l : c.Lines) scan.LineTime[l.first] = l.second;
    EXPECT_EQ(Written([&](FILE* out) { WriteGeneralStats(out, &scan); }), c.Text);
  }
}

TEST(Stats, GeneralSummaryStopsAtTheLastCounter) {
  ScanState scan = {};
  scan.TotalTime = 100;
  scan.PortCount = 300;  // a port table of 300 ports
  scan.LineTime[255] = 100;
  std::string text = Written([&](FILE* out) { WriteGeneralStats(out, &scan); });
  size_t rows = 0;
  for (size_t at = 0; (at = text.find(" Lines = ", at)) != std::string::npos; ++at) ++rows;
  EXPECT_EQ(rows, 256u);
  EXPECT_NE(text.find("\n255 Lines =   0: 1:40 (100.0%)\n"), std::string::npos);
  EXPECT_EQ(text.find("256 Lines"), std::string::npos);
}

TEST(Collector, KeepsItsFileOnlyWhileItRuns) {
  InFolder folder;
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction before;
  sigaction(SIGPIPE, &ignore, &before);
  UserCollector users = {};
  UserCollectRelease(&users);  // never started: nothing to do
  ASSERT_EQ(UserCollectStart(&users), nullptr);
  std::vector<std::string> names = FolderNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), strlen(USER_INDEX_TEMPLATE));
  EXPECT_EQ(names[0].rfind("velmar", 0), 0u);
  struct stat st;
  ASSERT_EQ(lstat(names[0].c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Default actions are guarded; an ignored signal stays ignored.
  struct sigaction now;
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_NE(now.sa_handler, SIG_DFL);
  sigaction(SIGPIPE, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  UserCollectRelease(&users);
  EXPECT_EQ(users.Index, nullptr);
  EXPECT_TRUE(FolderNames().empty());
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
  UserCollectRelease(&users);  // twice is harmless
  sigaction(SIGPIPE, &before, nullptr);
}

}  // namespace
