// The busy answer: one row per clock hour or day (or per hour of the week),
// then over the whole range the time at exactly k lines, as text, CSV (the
// rows alone) or JSON.
#include <cstdio>

#include "answers/answers.h"

namespace {

const char* const kWeekdays[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

const Column kBucketColumns[] = {
    {"start", 25, false},     {"covered_seconds", 15, true}, {"line_seconds", 12, true},
    {"mean_lines", 10, true}, {"peak_lines", 10, true},      {"all_busy_seconds", 16, true},
    {"connects", 8, true},
};
const Column kSlotColumns[] = {
    {"day", 3, false},          {"hour", 4, true},
    {"weeks", 5, true},         {"covered_seconds", 15, true},
    {"line_seconds", 12, true}, {"mean_lines", 10, true},
    {"peak_lines", 10, true},   {"all_busy_seconds", 16, true},
    {"connects", 8, true},
};
const Column kLevelColumns[] = {
    {"lines", 5, true},
    {"seconds", 12, true},
    {"percent", 7, true},
};

// The figures' cells: covered, line-seconds, mean (null when nothing is
// covered), peak (null likewise), all-busy (null without N), connects.
void FigureCells(const BusyFigures& f, int64_t lines, Cell* cells) {
  bool covered = f.Covered > 0;
  cells[0] = IntCell(f.Covered);
  cells[1] = IntCell(f.LineSeconds);
  cells[2] = covered ? RealCell((double)f.LineSeconds / (double)f.Covered, 3) : NullCell();
  cells[3] = covered ? IntCell(f.Peak) : NullCell();
  cells[4] = lines > 0 ? IntCell(f.AllBusy) : NullCell();
  cells[5] = IntCell((int64_t)f.Connects);
}

void BucketRows(AnswerOptions* opt, const BusyModel* b, Table* t) {
  for (const BusyRow& r : b->Rows) {
    Cell cells[7];
    cells[0] = TimeCell(r.Start);
    FigureCells(r.Sum, opt->Lines, cells + 1);
    TableRow(t, cells);
  }
}

void SlotRows(AnswerOptions* opt, const BusyModel* b, Table* t) {
  BusyFigures slots[168];
  BusyFoldSlots(b, 168, slots);
  for (int i = 0; i < 168; ++i) {
    Cell cells[9];
    cells[0] = TextCell(kWeekdays[i / 24]);
    cells[1] = IntCell(i % 24);
    cells[2] = IntCell(slots[i].Buckets);
    FigureCells(slots[i], opt->Lines, cells + 3);
    TableRow(t, cells);
  }
}

void Rows(AnswerOptions* opt, const BusyModel* b, OutBuf* out, AnswerFormat format) {
  Table t;
  if (opt->WeekHour) {
    TableStart(&t, out, format, kSlotColumns, 9, &opt->Zone);
    SlotRows(opt, b, &t);
  } else {
    TableStart(&t, out, format, kBucketColumns, 7, &opt->Zone);
    BucketRows(opt, b, &t);
  }
}

// The time at exactly k lines, k = 0 to the peak, with its share of the
// covered time.
void Levels(const BusyModel* b, OutBuf* out, AnswerFormat format, ZoneCache* zone) {
  int64_t covered = 0;
  for (int64_t s : b->TimeAt) covered += s;
  Table t;
  TableStart(&t, out, format, kLevelColumns, 3, zone);
  for (size_t k = 0; k < b->TimeAt.size(); ++k) {
    Cell cells[3] = {IntCell((int64_t)k), IntCell(b->TimeAt[k]),
                     RealCell(100.0 * (double)b->TimeAt[k] / (double)covered, 2)};
    TableRow(&t, cells);
  }
}

// "name": value, after a comma unless it is the first.
void JsonField(OutBuf* out, const char* name, const Cell& value, ZoneCache* zone) {
  OutText(out, ",\n  ");
  JsonString(out, name);
  OutBytes(out, ": ", 2);
  CellValue(out, value, zone, true);
}

void JsonTotals(AnswerOptions* opt, const BusyModel* b, OutBuf* out) {
  ZoneCache* zone = &opt->Zone;
  OutText(out, "{\n  \"step\": ");
  JsonString(out, opt->WeekHour ? "weekhour" : opt->Step == kStepDay ? "day" : "hour");
  JsonField(out, "since", opt->Since != kAlways ? TimeCell(opt->Since) : NullCell(), zone);
  JsonField(out, "until", opt->Until != kForever ? TimeCell(opt->Until) : NullCell(), zone);
  JsonField(out, "lines", opt->Lines > 0 ? IntCell(opt->Lines) : NullCell(), zone);
  JsonField(out, "lines_from", opt->LinesFrom != nullptr ? TextCell(opt->LinesFrom) : NullCell(),
            zone);
  Cell cells[6];
  FigureCells(BusyTotal(b), opt->Lines, cells);
  const char* names[6] = {"covered_seconds", "line_seconds",     "mean_lines",
                          "peak_lines",      "all_busy_seconds", "connects"};
  for (int i = 0; i < 6; ++i) JsonField(out, names[i], cells[i], zone);
}

void Json(AnswerOptions* opt, const BusyModel* b, OutBuf* out) {
  JsonTotals(opt, b, out);
  OutText(out, ",\n  \"rows\": [");
  Rows(opt, b, out, kFormatJson);
  OutText(out, "\n  ],\n  \"time_at_lines\": [");
  Levels(b, out, kFormatJson, &opt->Zone);
  OutText(out, "\n  ]\n}\n");
}

void Text(AnswerOptions* opt, const BusyModel* b, OutBuf* out) {
  Rows(opt, b, out, kFormatText);
  BusyFigures total = BusyTotal(b);
  char line[200];
  if (total.Covered == 0) {
    snprintf(line, sizeof line, "\nno covered time in the range\n");
  } else {
    snprintf(line, sizeof line, "\ncovered %lld s, %.3f lines in use on average, peak %d",
             (long long)total.Covered, (double)total.LineSeconds / (double)total.Covered,
             total.Peak);
  }
  OutText(out, line);
  if (total.Covered == 0) return;
  if (opt->Lines > 0) {
    snprintf(line, sizeof line, " of %lld lines (%s), all busy %lld s", (long long)opt->Lines,
             opt->LinesFrom, (long long)total.AllBusy);
    OutText(out, line);
  }
  OutText(out, "\ntime at exactly k lines:\n");
  Levels(b, out, kFormatText, &opt->Zone);
}

// Says on standard error, as program, which rebuilt session reached before
// the profile kept in memory, and from when its time is missing.
void WarnShort(const char* program, BusyModel* b) {
  char from[kIsoTextSize], start[kIsoTextSize];
  ZoneFormat(b->Zone, b->ShortFrom, from);
  ZoneFormat(b->Zone, b->ShortStart, start);
  fprintf(stderr,
          "%s: warning: the session of %s, rebuilt to start at %s, reaches back past "
          "the time still held in memory: the figures miss its time before %s",
          program, b->ShortSession.c_str(), start, from);
  if (b->ShortSessions > 1) {
    fprintf(stderr, " (and %llu more such sessions)", (unsigned long long)(b->ShortSessions - 1));
  }
  fputc('\n', stderr);
}

}  // namespace

int AnswerRunBusy(AnswerOptions* opt, BucketStep step, BusyModel* b) {
  BusyInit(b, step, opt->Since, opt->Until, opt->Lines, &opt->Zone);
  ModelListener l = BusyListener(b);
  if (!b->Overflow) {
    int status = AnswerReadLogs(opt, &l, nullptr);
    if (status != 0) return status;
    BusyFinish(b);
  }
  opt->Overflow = b->Overflow;
  if (b->Overflow) {
    fprintf(stderr,
            "%s: more than %zu buckets: narrow the range with --since and --until, or "
            "use --step day\n",
            opt->Program, b->MaxRows);
    return kAnswerFailed;
  }
  if (b->ShortSessions > 0) WarnShort(opt->Program, b);
  return 0;
}

int AnswerBusy(AnswerOptions* opt, OutBuf* out) {
  BusyModel b;
  int status = AnswerRunBusy(opt, opt->Step, &b);
  if (status != 0) return status;
  if (opt->Format == kFormatJson) {
    Json(opt, &b, out);
  } else if (opt->Format == kFormatCsv) {
    Rows(opt, &b, out, kFormatCsv);
  } else {
    Text(opt, &b, out);
  }
  return 0;
}
