// The info answer: per server's history (and per NAS of the accounting
// logs) its files in time order with their numbers, times and joins, then
// its counts; per accounting file what its reader met. Text shows a block
// of "name value" lines per history and per accounting file; CSV and JSON
// one row per file of a history, and per accounting file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "answers/answers.h"

namespace {

// info: one row per file, in the order of its history.
const Column kFileColumns[] = {
    {"computer", 0, false, kCellText, nullptr},
    {"file", 0, false, kCellText, nullptr},
    {"oldest_record", 0, false, kCellInt, nullptr},
    {"newest_record", 0, false, kCellInt, nullptr},
    {"records", 0, false, kCellInt, nullptr},
    {"first_time", 0, false, kCellTime, nullptr},
    {"last_time", 0, false, kCellTime, nullptr},
    {"wrapped", 0, false, kCellBool, nullptr},
    {"dirty", 0, false, kCellBool, nullptr},
    {"join", 0, false, kCellText, nullptr},
    {"shared_records", 0, false, kCellInt, nullptr},
    {"gap_seconds", 0, false, kCellSeconds, nullptr},
    {"same_as", 0, false, kCellText, nullptr},
    {"added_records", 0, false, kCellInt, nullptr},
    {"connects", 0, false, kCellInt, nullptr},
    {"disconnects", 0, false, kCellInt, nullptr},
    {"resets", 0, false, kCellInt, nullptr},
    {"ports", 0, false, kCellInt, nullptr},
    {"users", 0, false, kCellInt, nullptr},
};
const int kFileCount = sizeof kFileColumns / sizeof kFileColumns[0];
// The cells of a file that its text block shows (computer to dirty), then
// join.
const int kFileTextCount = 9;
const int kJoinCell = 9;

// ... and after them, when accounting logs are among the files: the kind
// of each file, a NAS's Interim-Updates and repeats, and what the reader of
// an accounting file passed over (on a row of its own).
const Column kAcctColumns[] = {
    {"kind", 0, false, kCellText, nullptr},
    {"interims", 0, false, kCellInt, nullptr},
    {"repeated_records", 0, false, kCellInt, nullptr},
    {"authentication_records", 0, false, kCellInt, nullptr},
    {"other_records", 0, false, kCellInt, nullptr},
    {"skipped_records", 0, false, kCellInt, nullptr},
};
const int kAcctCount = sizeof kAcctColumns / sizeof kAcctColumns[0];
const int kRowMost = kFileCount + kAcctCount;

// info: one row per history, each record counted once.
const Column kHistoryColumns[] = {
    {"computer", 0, false, kCellText, nullptr},   {"files", 0, false, kCellInt, nullptr},
    {"records", 0, false, kCellInt, nullptr},     {"connects", 0, false, kCellInt, nullptr},
    {"disconnects", 0, false, kCellInt, nullptr}, {"resets", 0, false, kCellInt, nullptr},
    {"ports", 0, false, kCellInt, nullptr},       {"users", 0, false, kCellInt, nullptr},
    {"interims", 0, false, kCellInt, nullptr},    {"repeated_records", 0, false, kCellInt, nullptr},
};
const int kHistoryCount = 8;     // without the accounting logs' two
const int kHistoryCountsAt = 3;  // connects to users, as text shows them

const char* const kJoins[] = {"first", "continuous", "overlap", "gap"};

// The info row of one file of history h.
void FileCells(const HistoryFacts& h, const LogFacts& f, Cell* cells) {
  bool empty = f.Count == 0;
  uint64_t newest = f.Accounting ? f.Newest : f.Oldest + f.Count - 1;
  cells[0] = h.Empty ? NullCell() : TextCell(h.Computer.c_str());
  cells[1] = TextCell(f.Path);
  cells[2] = empty ? NullCell() : IntCell(static_cast<int64_t>(f.Oldest));
  cells[3] = empty ? NullCell() : IntCell(static_cast<int64_t>(newest));
  cells[4] = IntCell(static_cast<int64_t>(f.Count));
  cells[5] = empty ? NullCell() : TimeCell(f.FirstTime);
  cells[6] = empty ? NullCell() : TimeCell(f.LastTime);
  cells[7] = f.Header.Known ? BoolCell(f.Header.Wrapped) : NullCell();
  cells[8] = f.Header.Known ? BoolCell(f.Header.Dirty) : NullCell();
  cells[9] = TextCell(kJoins[f.Join]);
  cells[10] = f.Join == kJoinOverlap ? IntCell(static_cast<int64_t>(f.Shared)) : NullCell();
  cells[11] = f.Join == kJoinGap ? IntCell(f.GapSeconds) : NullCell();
  cells[12] = f.SameAs != nullptr ? TextCell(f.SameAs) : NullCell();
  cells[13] = IntCell(static_cast<int64_t>(f.Added));
  cells[14] = IntCell(static_cast<int64_t>(f.Connects));
  cells[15] = IntCell(static_cast<int64_t>(f.Disconnects));
  cells[16] = IntCell(static_cast<int64_t>(f.Resets));
  cells[17] = IntCell(static_cast<int64_t>(f.Ports.size()));
  cells[18] = IntCell(static_cast<int64_t>(f.Users.size()));
}

void HistoryCells(const HistoryFacts& h, Cell* cells) {
  cells[0] = h.Empty ? NullCell() : TextCell(h.Computer.c_str());
  cells[1] = IntCell(static_cast<int64_t>(h.Files.size()));
  cells[2] = IntCell(static_cast<int64_t>(h.Records));
  cells[3] = IntCell(static_cast<int64_t>(h.Connects));
  cells[4] = IntCell(static_cast<int64_t>(h.Disconnects));
  cells[5] = IntCell(static_cast<int64_t>(h.Resets));
  cells[6] = IntCell(static_cast<int64_t>(h.Ports.size()));
  cells[7] = IntCell(static_cast<int64_t>(h.Users.size()));
  cells[8] = h.Accounting ? IntCell(static_cast<int64_t>(h.Interims)) : NullCell();
  cells[9] = h.Accounting ? IntCell(static_cast<int64_t>(h.Repeated)) : NullCell();
}

// The kind of the accounting file at path among all ("evt" for none).
const char* KindOf(const ModelFacts& all, const char* path) {
  for (const AcctFileFacts& a : all.AcctFiles) {
    if (a.Path == path) return AcctKindName(a.Kind);
  }
  return AcctKindName(kAcctEvt);
}

uint64_t Skipped(const AcctCounts& c) {
  uint64_t total = 0;
  for (uint64_t n : c.Skipped) total += n;
  return total;
}

// The accounting columns of a file of history h.
void AcctCells(const ModelFacts& all, const HistoryFacts& h, const LogFacts& f, Cell* cells) {
  cells[0] = TextCell(KindOf(all, f.Path));
  cells[1] = h.Accounting ? IntCell(static_cast<int64_t>(f.Interims)) : NullCell();
  cells[2] = h.Accounting ? IntCell(static_cast<int64_t>(f.Repeated)) : NullCell();
  for (int i = 3; i < kAcctCount; ++i) cells[i] = NullCell();
}

// The row of an accounting file itself: no computer, its records, their
// times, and what its reader passed over.
void AcctFileCells(const AcctFileFacts& a, Cell* cells) {
  bool any = a.Counts.Records > 0;
  for (int i = 0; i < kRowMost; ++i) cells[i] = NullCell();
  cells[1] = TextCell(a.Path);
  cells[4] = IntCell(static_cast<int64_t>(a.Counts.Records));
  cells[5] = any ? TimeCell(a.FirstTime) : NullCell();
  cells[6] = any ? TimeCell(a.LastTime) : NullCell();
  cells[13] = IntCell(static_cast<int64_t>(a.Counts.Records - a.Repeated));
  Cell* acct = cells + kFileCount;
  acct[0] = TextCell(AcctKindName(a.Kind));
  acct[2] = IntCell(static_cast<int64_t>(a.Repeated));
  acct[3] = IntCell(static_cast<int64_t>(a.Counts.Authentication));
  acct[4] = IntCell(static_cast<int64_t>(a.Counts.NotAccounting));
  acct[5] = IntCell(static_cast<int64_t>(Skipped(a.Counts)));
}

// ---- text -------------------------------------------------------------------

// One "name  value" line of info's text form ("-" for a null value).
void InfoLine(OutBuf* out, const char* name, const Cell& value, ZoneCache* zone) {
  OutText(out, name);
  for (size_t n = strlen(name); n < 15; ++n) OutChar(out, ' ');
  CellValue(out, value, zone, false);
  if (value.Kind == kCellNull) OutChar(out, '-');
  OutChar(out, '\n');
}

// How a file joins its history, as text shows it: "first", "continuous",
// "overlap of 500 records" (and of which file it is a copy), "gap of 24:00:00".
std::string JoinText(const LogFacts& f) {
  char text[64], clock[32];
  if (f.Join == kJoinOverlap) {
    snprintf(text, sizeof text, "overlap of %llu record%s",
             static_cast<unsigned long long>(f.Shared), f.Shared == 1 ? "" : "s");
    std::string join = text;
    if (f.SameAs != nullptr) join += std::string(": the same records as ") + f.SameAs;
    return join;
  }
  if (f.Join == kJoinGap) {
    snprintf(text, sizeof text, "gap of %s", ClockText(f.GapSeconds, clock, sizeof clock));
    return text;
  }
  return kJoins[f.Join];
}

// Info as text: a block per history, its files in order, then its counts
// (an accounting log's have no header state to show, and count
// Interim-Updates and repeats besides).
void InfoText(OutBuf* out, const HistoryFacts& h, ZoneCache* zone, bool first) {
  if (!first) OutChar(out, '\n');
  for (size_t k = 0; k < h.Files.size(); ++k) {
    const LogFacts& f = h.Files[k];
    Cell cells[kFileCount];
    FileCells(h, f, cells);
    int shown = h.Accounting ? 7 : kFileTextCount;
    for (int i = k == 0 ? 0 : 1; i < shown; ++i)
      InfoLine(out, kFileColumns[i].Name, cells[i], zone);
    std::string join = JoinText(f);
    InfoLine(out, kFileColumns[kJoinCell].Name, TextCell(join.c_str()), zone);
  }
  Cell cells[10];
  HistoryCells(h, cells);
  for (int i = kHistoryCountsAt; i < 6; ++i) {
    if (i == 5 && h.Accounting) InfoLine(out, "interims", cells[8], zone);
    InfoLine(out, kHistoryColumns[i].Name, cells[i], zone);
  }
  if (h.Accounting) InfoLine(out, "repeated", cells[9], zone);
  for (int i = 6; i < kHistoryCount; ++i) InfoLine(out, kHistoryColumns[i].Name, cells[i], zone);
}

// "3 (2 a line that is not of the format, first at line 7; 1 ...)"
std::string SkippedText(const AcctCounts& c) {
  std::string text = std::to_string(Skipped(c));
  const char* sep = " (";
  for (int k = 0; k < kSkipReasonCount; ++k) {
    if (c.Skipped[k] == 0) continue;
    char part[200];
    snprintf(part, sizeof part, "%s%llu %s, first at line %llu", sep,
             static_cast<unsigned long long>(c.Skipped[k]), AcctSkipText(static_cast<AcctSkip>(k)),
             static_cast<unsigned long long>(c.FirstSkip[k]));
    text += part;
    sep = "; ";
  }
  return Skipped(c) > 0 ? text + ")" : text;
}

// An accounting file as text: its kind, records and times, and what its
// reader passed over.
void AcctFileText(OutBuf* out, const AcctFileFacts& a, ZoneCache* zone, bool first) {
  if (!first) OutChar(out, '\n');
  Cell cells[kRowMost];
  AcctFileCells(a, cells);
  InfoLine(out, "file", cells[1], zone);
  InfoLine(out, "kind", cells[kFileCount], zone);
  for (int i = 4; i < 7; ++i) InfoLine(out, kFileColumns[i].Name, cells[i], zone);
  InfoLine(out, "repeated", cells[kFileCount + 2], zone);
  InfoLine(out, "authentication", cells[kFileCount + 3], zone);
  InfoLine(out, "not_accounting", cells[kFileCount + 4], zone);
  std::string skipped = SkippedText(a.Counts);
  InfoLine(out, "skipped", TextCell(skipped.c_str()), zone);
}

// The whole text form: the event logs' histories, the accounting files,
// then the histories of their NAS.
void InfoTexts(OutBuf* out, const ModelFacts& all, ZoneCache* zone) {
  bool first = true;
  for (const HistoryFacts& h : all.Histories) {
    if (h.Accounting) continue;
    InfoText(out, h, zone, first);
    first = false;
  }
  for (const AcctFileFacts& a : all.AcctFiles) {
    AcctFileText(out, a, zone, first);
    first = false;
  }
  for (const HistoryFacts& h : all.Histories) {
    if (!h.Accounting) continue;
    InfoText(out, h, zone, first);
    first = false;
  }
}

// ---- CSV and JSON -----------------------------------------------------------

// The rows of every file: those of the event logs' histories, the
// accounting files', then those of the NAS.
void FileRows(Table* t, const ModelFacts& all, bool acct) {
  for (int pass = 0; pass < 2; ++pass) {
    for (const HistoryFacts& h : all.Histories) {
      if (h.Accounting != (pass == 1)) continue;
      for (const LogFacts& f : h.Files) {
        Cell cells[kRowMost];
        FileCells(h, f, cells);
        if (acct) AcctCells(all, h, f, cells + kFileCount);
        TableRow(t, cells);
      }
    }
    for (size_t i = 0; pass == 0 && i < all.AcctFiles.size(); ++i) {
      Cell cells[kRowMost];
      AcctFileCells(all.AcctFiles[i], cells);
      TableRow(t, cells);
    }
  }
}

}  // namespace

int AnswerInfo(AnswerOptions* opt, OutBuf* out) {
  ModelFacts facts;
  ModelListener none = {};
  int status = AnswerReadLogs(opt, &none, &facts);
  if (status != 0) return status;
  if (opt->Format == kFormatText) {
    InfoTexts(out, facts, &opt->Zone);
    return 0;
  }
  // The accounting columns come only when accounting logs do, so that the
  // answers on event logs keep their columns.
  bool acct = !facts.AcctFiles.empty();
  Table t;
  if (opt->Format == kFormatJson) {
    // The histories with their counts, then the files as CSV has them.
    JsonListOpen(out, "histories");
    TableStart(&t, out, opt->Format, kHistoryColumns, acct ? 10 : kHistoryCount, &opt->Zone,
               nullptr);
    for (const HistoryFacts& h : facts.Histories) {
      Cell cells[10];
      HistoryCells(h, cells);
      TableRow(&t, cells);
    }
    OutText(out, "\n  ],\n  ");
    JsonString(out, "logs");
    OutText(out, ": [");
  }
  std::vector<Column> columns(kFileColumns, kFileColumns + kFileCount);
  if (acct) columns.insert(columns.end(), kAcctColumns, kAcctColumns + kAcctCount);
  TableStart(&t, out, opt->Format, columns.data(), static_cast<int>(columns.size()), &opt->Zone,
             nullptr);
  FileRows(&t, facts, acct);
  if (opt->Format == kFormatJson) JsonListClose(out);
  return 0;
}
