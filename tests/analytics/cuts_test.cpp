// A sample log cut into files as archives hold them (consecutive pieces,
// overlapping copies, the same file twice, numbering restarted after a
// clear, a day missing, given in any order), dumped to CSV and made back
// with the log tool, so that record numbers come from the CSV. Each cut
// must give the single log's answers byte for byte, or where it can't
// (a clear, a missing day) exactly what its gap takes away; and no port
// may carry two sessions at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analytics/busy.h"
#include "answerlog.h"
#include "answers/answers.h"
#include "charts/busychart.h"
#include "sessioncheck.h"
#include "support/capture.h"
#include "support/tempdir.h"
#include "tools/logtool.h"

namespace {

const int64_t kSampleNow = 1796702400;  // 2026-12-08T04:00:00Z

// The sample log and its rows as velmar-log dump writes them.
struct Sample {
  std::string Dir;                // where the files go
  std::string Log;                // the whole log
  std::string Header;             // the CSV header row
  std::vector<std::string> Rows;  // one per record, in record order
};

// Dumps the log into s's header and rows. Returns dump's status.
int DumpRows(Sample* s) {
  int status = 1;
  std::istringstream csv(Written([&](FILE* out) { status = LogDump(s->Log.c_str(), out); }));
  std::getline(csv, s->Header);
  for (std::string row; std::getline(csv, row);) s->Rows.push_back(row);
  return status;
}

Sample MakeSample() {
  Sample s;
  s.Dir = ScratchPath("cuts");
  SampleOptions opt = {14, 8, 5, kSampleNow, 0, 1, kAcctEvt};
  EXPECT_EQ(0, LogSample(s.Dir.c_str(), &opt));
  s.Log = s.Dir + "/SysEvent.Evt";
  EXPECT_EQ(0, DumpRows(&s));
  return s;
}

// Made once for the tests of this program.
Sample* TheSample() {
  static Sample sample = MakeSample();
  return &sample;
}

// The time field of a row, as dump writes it (UTC, so text order is time
// order).
std::string RowTime(const std::string& row) {
  size_t a = row.find(',');
  return row.substr(a + 1, row.find(',', a + 1) - a - 1);
}

// One file of a cut: rows [From, To) of the sample, renumbered from
// Renumber when it is not 0 (a log cleared before them).
struct Piece {
  size_t From, To;
  uint32_t Renumber;
};

// Writes the piece as the log NAME through CSV and make. Returns its path.
std::string MakePiece(const Sample& s, const std::string& name, const Piece& p) {
  std::string csv = s.Dir + "/" + name + ".csv", evt = s.Dir + "/" + name + ".evt";
  std::ofstream out(csv);
  out << s.Header << "\n";
  for (size_t i = p.From; i < p.To; ++i) {
    const std::string& row = s.Rows[i];
    if (p.Renumber == 0) {
      out << row << "\n";
    } else {
      out << p.Renumber + (i - p.From) << row.substr(row.find(',')) << "\n";
    }
  }
  out.close();
  EXPECT_EQ(0, LogMake(csv.c_str(), evt.c_str(), 0, 0x30, 1)) << name;
  return evt;
}

// An answer to compare: what it is called, and how it runs.
struct Ask {
  const char* Name;     // "busy day svg"
  AnswerFormat Format;  // its format
  BucketStep Step;      // busy's step
  bool WeekHour;        // busy --step weekhour
  int (*Run)(AnswerOptions* opt, OutBuf* out);
};

const Ask kAsks[] = {
    {"sessions csv", kFormatCsv, kStepHour, false, AnswerSessions},
    {"sessions json", kFormatJson, kStepHour, false, AnswerSessions},
    {"users csv", kFormatCsv, kStepHour, false, AnswerUsers},
    {"users text", kFormatText, kStepHour, false, AnswerUsers},
    {"busy hour text", kFormatText, kStepHour, false, AnswerBusy},
    {"busy hour csv", kFormatCsv, kStepHour, false, AnswerBusy},
    {"busy hour json", kFormatJson, kStepHour, false, AnswerBusy},
    {"busy hour svg", kFormatSvg, kStepHour, false, AnswerBusyChart},
    {"busy day text", kFormatText, kStepDay, false, AnswerBusy},
    {"busy day csv", kFormatCsv, kStepDay, false, AnswerBusy},
    {"busy day json", kFormatJson, kStepDay, false, AnswerBusy},
    {"busy day svg", kFormatSvg, kStepDay, false, AnswerBusyChart},
    {"busy weekhour text", kFormatText, kStepHour, true, AnswerBusy},
    {"busy weekhour csv", kFormatCsv, kStepHour, true, AnswerBusy},
    {"busy weekhour json", kFormatJson, kStepHour, true, AnswerBusy},
    {"busy weekhour svg", kFormatSvg, kStepHour, true, AnswerBusyChart},
};

// The answer's whole output over the logs (the pool's 8 lines given).
std::string Answer(const Ask& ask, const std::vector<std::string>& paths) {
  AnswerOptions opt;
  AnswerOptionsInit(&opt);
  for (const std::string& p : paths) opt.Logs.push_back(p.c_str());
  opt.Format = ask.Format;
  opt.Step = ask.Step;
  opt.WeekHour = ask.WeekHour;
  opt.Lines = 8;
  opt.LinesFrom = "--lines";
  ZoneInit(&opt.Zone);
  OutBuf* out = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
  Capture cap;
  OutInit(out, cap.Out);
  EXPECT_EQ(ask.Run(&opt, out), 0) << ask.Name;
  EXPECT_TRUE(OutFlush(out));
  free(out);
  return cap.Close();
}

// "" when a and b are the same text, else their first lines that differ.
std::string FirstDifference(const std::string& a, const std::string& b) {
  if (a == b) return "";
  std::istringstream x(a), y(b);
  std::string p, q;
  for (int line = 1;; ++line) {
    bool more = static_cast<bool>(std::getline(x, p)), also = static_cast<bool>(std::getline(y, q));
    if (!more && !also) return "they differ in their last line end";
    if (!more || !also || p != q) {
      return "line " + std::to_string(line) + ": '" + (more ? p : "(none)") + "' against '" +
             (also ? q : "(none)") + "'";
    }
  }
}

// The sessions CSV without its record numbers, which a clear renumbers.
std::string WithoutRecords(const std::string& csv) {
  std::istringstream in(csv);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    size_t cut = line.size();
    for (int commas = 0; commas < 2; ++commas) cut = line.rfind(',', cut - 1);
    out += line.substr(0, cut) + "\n";
  }
  return out;
}

BusyModel HourlyBusy(const std::vector<std::string>& paths, ZoneCache* zone) {
  BusyModel b;
  BusyInit(&b, kStepHour, kAlways, kForever, 8, zone);
  ModelFailure f = {};
  EXPECT_TRUE(RunBusy(paths, &b, &f)) << f.Text;
  return b;
}

class CutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "SGT-8", 1);
    tzset();
    ZoneInit(&zone_);
    s_ = TheSample();
    ASSERT_GT(s_->Rows.size(), 2000u);
  }
  // The pieces as logs, in the order given.
  std::vector<std::string> Make(const std::string& cut, const std::vector<Piece>& pieces) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < pieces.size(); ++i)
      paths.push_back(MakePiece(*s_, cut + "-" + std::to_string(i), pieces[i]));
    return paths;
  }
  void ExpectOnePortOneSession(const std::vector<std::string>& paths) {
    SessionCheck check;
    std::string failure;
    ASSERT_TRUE(CheckSessions(paths, &check, &failure)) << failure;
    EXPECT_EQ(check.Faults, std::vector<std::string>());
    EXPECT_GT(check.Sessions, 1000u);
  }
  Sample* s_;
  ZoneCache zone_;
};

TEST_F(CutsTest, CutsGiveTheSingleLogsAnswers) {
  size_t n = s_->Rows.size(), h = n / 2, t = n / 3;
  std::vector<Piece> twelve;
  for (size_t i = 12; i-- > 0;) twelve.push_back(Piece{n * i / 12, n * (i + 1) / 12, 0});
  const struct {
    const char* Name;
    std::vector<Piece> Pieces;  // in the order given
    bool Twice;                 // the first piece's path given twice more
  } cuts[] = {
      {"consecutive halves", {{0, h, 0}, {h, n, 0}}, false},
      {"consecutive thirds, out of order", {{2 * t, n, 0}, {0, t, 0}, {t, 2 * t, 0}}, false},
      {"twelve pieces, the last first", twelve, false},
      {"overlapping by 1 record", {{h, n, 0}, {0, h + 1, 0}}, false},
      {"overlapping by 500 records", {{0, h + 250, 0}, {h - 250, n, 0}}, false},
      {"the same file twice", {{0, n, 0}}, true},
      {"an identical copy, a piece inside, and a piece over the end",
       {{0, n, 0}, {t, t + 100, 0}, {0, n, 0}, {2 * t, n, 0}},
       false},
  };
  std::vector<std::string> single = {s_->Log};
  std::vector<std::string> want;
  for (const Ask& ask : kAsks) want.push_back(Answer(ask, single));
  int number = 0;
  for (const auto& cut : cuts) {
    SCOPED_TRACE(cut.Name);
    std::vector<std::string> paths = Make("cut" + std::to_string(number++), cut.Pieces);
    if (cut.Twice) paths.push_back(paths[0]);
    for (size_t i = 0; i < sizeof kAsks / sizeof kAsks[0]; ++i) {
      SCOPED_TRACE(kAsks[i].Name);
      EXPECT_EQ(FirstDifference(Answer(kAsks[i], paths), want[i]), "");
    }
    ExpectOnePortOneSession(paths);
  }
}

// The time of row i, as a record's time.
EventTime TimeOfRow(const Sample& s, size_t i) {
  uint32_t t = 0;
  EXPECT_TRUE(ParseUtc(RowTime(s.Rows[i]).c_str(), &t));
  return t;
}

TEST_F(CutsTest, AGapLosesItsOwnSecondsAlone) {
  size_t n = s_->Rows.size(), h = n / 2, from = 0, to = 0;
  // Cleared between two records of different seconds, so the gap has time.
  while (RowTime(s_->Rows[h - 1]) == RowTime(s_->Rows[h])) ++h;
  while (from < n && RowTime(s_->Rows[from]) < "2026-12-01") ++from;
  for (to = from; to < n && RowTime(s_->Rows[to]) < "2026-12-02";) ++to;
  ASSERT_LT(from + 100, to);
  const struct {
    const char* Name;
    std::vector<Piece> Pieces;  // in the order given
    size_t Before, After;       // the rows on either side of the gap
    bool Sessions;              // the sessions and users stay the single log's
  } gaps[] = {
      // Every session open at the clear is proved to go on by its disconnect.
      {"saved, cleared and numbered from 1 again", {{h, n, 1}, {0, h, 0}}, h - 1, h, true},
      // The numbers jump: sessions open at the gap end there.
      {"a day missing", {{to, n, 0}, {0, from, 0}}, from - 1, to, false},
  };
  std::vector<std::string> single = {s_->Log};
  BusyModel whole = HourlyBusy(single, &zone_);
  for (const auto& gap : gaps) {
    SCOPED_TRACE(gap.Name);
    std::vector<std::string> paths = Make(gap.Name[0] == 's' ? "cleared" : "missing", gap.Pieces);
    if (gap.Sessions) {
      EXPECT_EQ(FirstDifference(WithoutRecords(Answer(kAsks[0], paths)),
                                WithoutRecords(Answer(kAsks[0], single))),
                "");
      EXPECT_EQ(FirstDifference(Answer(kAsks[2], paths), Answer(kAsks[2], single)), "");
    }
    EventTime gapStart = TimeOfRow(*s_, gap.Before), gapEnd = TimeOfRow(*s_, gap.After);
    BusyModel cut = HourlyBusy(paths, &zone_);
    ASSERT_EQ(cut.Rows.size(), whole.Rows.size());
    for (size_t i = 0; i < whole.Rows.size(); ++i) {
      const BusyRow& w = whole.Rows[i];
      const BusyRow& c = cut.Rows[i];
      SCOPED_TRACE(w.Start);
      int64_t lost = std::max<int64_t>(0, std::min(w.End, gapEnd) - std::max(w.Start, gapStart));
      EXPECT_EQ(c.Sum.Covered, w.Sum.Covered - lost);
      if (lost > 0 || (!gap.Sessions && w.End > gapStart)) continue;
      EXPECT_EQ(c.Sum.LineSeconds, w.Sum.LineSeconds);
      EXPECT_EQ(c.Sum.AllBusy, w.Sum.AllBusy);
      EXPECT_EQ(c.Sum.Peak, w.Sum.Peak);
    }
    ExpectOnePortOneSession(paths);
  }
}

// The fuzz corpus's logs, damaged ones among them, each given whole, twice
// and cut in two (a damaged one where its records can be read), and the
// readable ones all together: whatever the model
// makes of them, or however it fails, no port carries two sessions at once.
TEST(SessionStream, NoPortCarriesTwoSessionsOverTheFuzzCorpus) {
  std::vector<std::string> logs, readable;
  for (const auto& e :
       std::filesystem::directory_iterator(VELMAR_SOURCE_DIR "/tests/fuzz/corpus/evt"))
    logs.push_back(e.path().string());
  std::sort(logs.begin(), logs.end());
  ASSERT_GT(logs.size(), 20u);
  std::vector<std::vector<std::string>> runs;
  for (size_t i = 0; i < logs.size(); ++i) {
    runs.push_back({logs[i]});
    runs.push_back({logs[i], logs[i]});
    Sample dumped;
    dumped.Dir = ScratchPath("corpus-" + std::to_string(i));
    ASSERT_TRUE(std::filesystem::create_directory(dumped.Dir));
    dumped.Log = logs[i];
    // A damaged log is cut in its records that can be read.
    if (DumpRows(&dumped) == 0) readable.push_back(logs[i]);
    if (dumped.Rows.size() < 2) continue;
    size_t h = dumped.Rows.size() / 2;
    std::string a = MakePiece(dumped, "a", Piece{0, h, 0});
    std::string b = MakePiece(dumped, "b", Piece{h, dumped.Rows.size(), 0});
    runs.push_back({b, a});
    runs.push_back({logs[i], b, a});
  }
  runs.push_back(readable);
  int answered = 0;
  for (const std::vector<std::string>& run : runs) {
    SCOPED_TRACE(run[0] + (run.size() > 1 ? " and more" : ""));
    SessionCheck check;
    std::string failure;
    if (CheckSessions(run, &check, &failure)) {
      ++answered;
    } else {
      EXPECT_NE(failure, "");
    }
    EXPECT_EQ(check.Faults, std::vector<std::string>());
  }
  EXPECT_GT(readable.size(), 5u);
  EXPECT_GT(answered, 30);
}

}  // namespace
