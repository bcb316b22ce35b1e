// The busy answer: one row per clock hour, day, week or month (or per hour
// of the week), in time order or as --sort and --top ask, then over the
// whole range the time at exactly k lines, as text (with a total row), CSV
// and SQL (the rows alone) or JSON; and the model run behind it and the
// all-busy intervals, with what it says when a range needs too many
// buckets.
#include <algorithm>
#include <cstdio>

#include "answers/answers.h"

namespace {

const char* const kWeekdays[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

const Column kBucketColumns[] = {
    {"start", 25, false, kCellTime, nullptr},
    {"covered_seconds", 17, true, kCellSeconds, "covered (h:mm:ss)"},
    {"line_seconds", 19, true, kCellSeconds, "line_time (h:mm:ss)"},
    {"mean_lines", 10, true, kCellReal, nullptr},
    {"peak_lines", 10, true, kCellInt, nullptr},
    {"all_busy_seconds", 18, true, kCellSeconds, "all_busy (h:mm:ss)"},
    {"connects", 8, true, kCellInt, nullptr},
};
const int kBucketCount = sizeof kBucketColumns / sizeof kBucketColumns[0];
const Column kSlotColumns[] = {
    {"day", 5, false, kCellText, nullptr},
    {"hour", 4, true, kCellInt, nullptr},
    {"weeks", 5, true, kCellInt, nullptr},
    {"covered_seconds", 17, true, kCellSeconds, "covered (h:mm:ss)"},
    {"line_seconds", 19, true, kCellSeconds, "line_time (h:mm:ss)"},
    {"mean_lines", 10, true, kCellReal, nullptr},
    {"peak_lines", 10, true, kCellInt, nullptr},
    {"all_busy_seconds", 18, true, kCellSeconds, "all_busy (h:mm:ss)"},
    {"connects", 8, true, kCellInt, nullptr},
};
const int kSlotCount = sizeof kSlotColumns / sizeof kSlotColumns[0];
const int kFigureCount = 6;  // the columns from covered_seconds on
const Column kLevelColumns[] = {
    {"lines", 5, true, kCellInt, nullptr},
    {"seconds", 14, true, kCellSeconds, "time (h:mm:ss)"},
    {"percent", 7, true, kCellReal, nullptr},
};

// The figures' cells: covered, line-seconds, mean (null when nothing is
// covered), peak (null likewise), all-busy (null without N), connects.
void FigureCells(const BusyFigures& f, int64_t lines, Cell* cells) {
  bool covered = f.Covered > 0;
  cells[0] = SecondsCell(f.Covered);
  cells[1] = SecondsCell(f.LineSeconds);
  cells[2] = covered
                 ? RealCell(static_cast<double>(f.LineSeconds) / static_cast<double>(f.Covered), 3)
                 : NullCell();
  cells[3] = covered ? IntCell(f.Peak) : NullCell();
  cells[4] = lines > 0 ? SecondsCell(f.AllBusy) : NullCell();
  cells[5] = IntCell(static_cast<int64_t>(f.Connects));
}

// The rows of a table, from the answer's own order (time, or Monday 00
// first) to the one --sort and --top ask.
struct RowList {
  const Column* Columns;  // the table's columns
  int Count;              // how many
  int Sort;               // the column rows are sorted by, -1 for the own order
  int Own;                // the column whose order is the own order
};

// The cells of row i of the bucket table, or of the hours of the week.
void BucketCells(const AnswerOptions* opt, const BusyModel* b, size_t i, Cell* cells) {
  cells[0] = TimeCell(b->Rows[i].Start);
  FigureCells(b->Rows[i].Sum, opt->Lines, cells + 1);
}

void SlotCells(const AnswerOptions* opt, const BusyFigures* slots, size_t i, Cell* cells) {
  cells[0] = TextCell(kWeekdays[i / 24]);
  cells[1] = IntCell(static_cast<int64_t>(i % 24));
  cells[2] = IntCell(slots[i].Buckets);
  FigureCells(slots[i], opt->Lines, cells + 3);
}

// The places of the n rows in the order to write them. cellsOf(i, cells)
// gives row i's cells. --top without --sort shows the busiest by mean.
template <typename CellsOf>
std::vector<size_t> Order(const AnswerOptions* opt, const RowList& list, size_t n,
                          CellsOf cellsOf) {
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  int key = list.Sort;
  if (opt->Sort == nullptr && opt->Top != 0) key = list.Count - kFigureCount + 2;  // mean_lines
  if (key >= 0 && key != list.Own) {
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      Cell x[kSlotCount], y[kSlotCount];
      cellsOf(a, x);
      cellsOf(b, y);
      // The hour of the week sorts by the hour of the day, then the day.
      if (list.Columns == kSlotColumns && key == 1) return a % 24 < b % 24;
      return CellBefore(x[key], y[key]);
    });
  }
  order.resize(AnswerShown(opt, n));
  return order;
}

// The total row text gives under the rows, over every row (not only those
// --top shows).
void TotalRow(const AnswerOptions* opt, const BusyModel* b, const RowList& list, Table* t) {
  Cell cells[kSlotCount];
  for (int i = 0; i < list.Count; ++i) cells[i] = NullCell();
  cells[0] = TextCell("total");
  FigureCells(BusyTotal(b), opt->Lines, cells + list.Count - kFigureCount);
  TableRow(t, cells);
}

// The rows as format writes them (with the total row in text).
void Rows(AnswerOptions* opt, const BusyModel* b, const RowList& list, OutBuf* out,
          AnswerFormat format) {
  Table t;
  TableStart(&t, out, format, list.Columns, list.Count, &opt->Zone, "busy");
  if (opt->WeekHour) {
    BusyFigures slots[168];
    BusyFoldSlots(b, 168, slots);
    auto cellsOf = [&](size_t i, Cell* cells) { SlotCells(opt, slots, i, cells); };
    for (size_t i : Order(opt, list, 168, cellsOf)) {
      Cell cells[kSlotCount];
      cellsOf(i, cells);
      TableRow(&t, cells);
    }
  } else {
    auto cellsOf = [&](size_t i, Cell* cells) { BucketCells(opt, b, i, cells); };
    for (size_t i : Order(opt, list, b->Rows.size(), cellsOf)) {
      Cell cells[kBucketCount];
      cellsOf(i, cells);
      TableRow(&t, cells);
    }
  }
  if (format == kFormatText) TotalRow(opt, b, list, &t);
  TableEnd(&t);
}

// The time at exactly k lines, k = 0 to the peak, with its share of the
// covered time.
void Levels(const BusyModel* b, OutBuf* out, AnswerFormat format, ZoneCache* zone) {
  int64_t covered = 0;
  for (int64_t s : b->TimeAt) covered += s;
  Table t;
  TableStart(&t, out, format, kLevelColumns, 3, zone, nullptr);
  for (size_t k = 0; k < b->TimeAt.size(); ++k) {
    Cell cells[3] = {
        IntCell(static_cast<int64_t>(k)), SecondsCell(b->TimeAt[k]),
        RealCell(100.0 * static_cast<double>(b->TimeAt[k]) / static_cast<double>(covered), 2)};
    TableRow(&t, cells);
  }
}

void JsonTotals(AnswerOptions* opt, const BusyModel* b, OutBuf* out) {
  ZoneCache* zone = &opt->Zone;
  OutText(out, "{\n  \"step\": ");
  JsonString(out, opt->WeekHour ? "weekhour" : BucketStepName(opt->Step));
  JsonMember(out, "since", opt->Since != kAlways ? TimeCell(opt->Since) : NullCell(), zone);
  JsonMember(out, "until", opt->Until != kForever ? TimeCell(opt->Until) : NullCell(), zone);
  JsonMember(out, "lines", opt->Lines > 0 ? IntCell(opt->Lines) : NullCell(), zone);
  JsonMember(out, "lines_from", opt->LinesFrom != nullptr ? TextCell(opt->LinesFrom) : NullCell(),
             zone);
  Cell cells[kFigureCount];
  FigureCells(BusyTotal(b), opt->Lines, cells);
  for (int i = 0; i < kFigureCount; ++i)
    JsonMember(out, kBucketColumns[i + 1].Name, cells[i], zone);
}

void Json(AnswerOptions* opt, const BusyModel* b, const RowList& list, OutBuf* out) {
  JsonTotals(opt, b, out);
  OutText(out, ",\n  \"rows\": [");
  Rows(opt, b, list, out, kFormatJson);
  OutText(out, "\n  ],\n  \"time_at_lines\": [");
  Levels(b, out, kFormatJson, &opt->Zone);
  OutText(out, "\n  ]\n}\n");
}

// Under the rows and their total: the pool's lines and the share of the
// covered time they were all busy, then the time at exactly k lines.
void Text(AnswerOptions* opt, const BusyModel* b, const RowList& list, OutBuf* out) {
  Rows(opt, b, list, out, kFormatText);
  BusyFigures total = BusyTotal(b);
  if (total.Covered == 0) {
    OutText(out, "\nno covered time in the range\n");
    return;
  }
  char line[200];
  if (opt->Lines > 0) {
    snprintf(line, sizeof line, "\n%lld lines (%s): all busy %.2f%% of the covered time\n",
             static_cast<long long>(opt->Lines), opt->LinesFrom,
             100.0 * static_cast<double>(total.AllBusy) / static_cast<double>(total.Covered));
  } else {
    snprintf(line, sizeof line,
             "\nthe pool's lines are not known: --lines or --ports gives the all-busy time\n");
  }
  OutText(out, line);
  OutText(out, "time at exactly k lines:\n");
  Levels(b, out, kFormatText, &opt->Zone);
}

// Says on standard error, as program, which session reached before the
// profile kept in memory, and from when its time is missing: a rebuilt
// one, or with a filter, whose sessions are counted as they end, any one.
void WarnShort(const char* program, BusyModel* b, bool filtered) {
  char from[kIsoTextSize], start[kIsoTextSize];
  ZoneFormat(b->Zone, b->ShortFrom, from);
  ZoneFormat(b->Zone, b->ShortStart, start);
  fprintf(stderr,
          "%s: warning: the session of %s, %s %s, reaches back past the time still held in "
          "memory: the figures miss its time before %s",
          program, b->ShortSession.c_str(), filtered ? "from" : "rebuilt to start at", start, from);
  if (b->ShortSessions > 1) {
    fprintf(stderr, " (and %llu more such sessions)",
            static_cast<unsigned long long>(b->ShortSessions - 1));
  }
  fputc('\n', stderr);
}

// Says on standard error which session's change of lines in use came too
// late for the profile kept in memory, and from when it counts.
void WarnLate(const char* program, BusyModel* b) {
  char from[kIsoTextSize], at[kIsoTextSize];
  ZoneFormat(b->Zone, b->LateFrom, from);
  ZoneFormat(b->Zone, b->LateAt, at);
  fprintf(stderr,
          "%s: warning: the session of %s changed the lines in use at %s, which a record "
          "told only past the time still held in memory: the figures take the change from %s",
          program, b->LateSession.c_str(), at, from);
  if (b->LateChanges > 1) {
    fprintf(stderr, " (and %llu more such changes)",
            static_cast<unsigned long long>(b->LateChanges - 1));
  }
  fputc('\n', stderr);
}

// Says on standard error that the range needs more buckets than a table
// may have, and how to ask for fewer: the download's window, or velmar-log's
// --since and --until, and for busy a longer --step when there is one.
void SayTooManyBuckets(const AnswerOptions* opt, const BusyModel* b) {
  static const char* const kUnits[] = {"hours", "days", "weeks", "months"};
  static const char* const kLonger[] = {", or use --step day, week or month",
                                        ", or use --step week or month", ", or use --step month",
                                        ""};
  if (opt->Download) {
    fprintf(stderr,
            "%s: more than %zu %s: the busy download counts by the hour; choose a later first "
            "day or a duration\n",
            opt->Program, b->MaxRows, kUnits[b->Step]);
    return;
  }
  bool longer = opt->Command == kAnswerBusy && !opt->WeekHour;
  fprintf(stderr, "%s: more than %zu %s: narrow the range with --since and --until%s\n",
          opt->Program, b->MaxRows, kUnits[b->Step], longer ? kLonger[b->Step] : "");
}

}  // namespace

int AnswerRunBusyModel(AnswerOptions* opt, BusyModel* b) {
  ModelListener l =
      FilterActive(&opt->Filter) ? BusyFilteredListener(b, &opt->Filter) : BusyListener(b);
  if (!b->Overflow) {
    int status = AnswerReadLogs(opt, &l, nullptr);
    if (status != 0) return status;
    BusyFinish(b);
  }
  opt->Overflow = b->Overflow;
  if (b->Overflow) {
    SayTooManyBuckets(opt, b);
    return kAnswerFailed;
  }
  if (b->ShortSessions > 0) WarnShort(opt->Program, b, FilterActive(&opt->Filter));
  if (b->LateChanges > 0) WarnLate(opt->Program, b);
  return 0;
}

int AnswerRunBusy(AnswerOptions* opt, BucketStep step, BusyModel* b) {
  BusyInit(b, step, opt->Since, opt->Until, opt->Lines, &opt->Zone);
  return AnswerRunBusyModel(opt, b);
}

int AnswerBusy(AnswerOptions* opt, OutBuf* out) {
  RowList list = {opt->WeekHour ? kSlotColumns : kBucketColumns,
                  opt->WeekHour ? kSlotCount : kBucketCount, -1, 0};
  if (!AnswerSortColumn(opt, list.Columns, list.Count, list.Own, &list.Sort)) return kAnswerFailed;
  BusyModel b;
  int status = AnswerRunBusy(opt, opt->Step, &b);
  if (status != 0) return status;
  if (opt->Format == kFormatJson) {
    Json(opt, &b, list, out);
  } else if (opt->Format == kFormatCsv || opt->Format == kFormatSql) {
    Rows(opt, &b, list, out, opt->Format);
  } else {
    Text(opt, &b, list, out);
  }
  return 0;
}
