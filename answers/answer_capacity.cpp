// The capacity answer: the busy hour over the covered days, its mean lines
// in use as the carried traffic, beside it the mean of each day's own
// busiest hour, the offered traffic and blocking by Erlang B, and the lines
// each blocking target needs; in text, why the observed all-busy share and
// the blocking differ.
#include <cstdio>

#include "analytics/erlang.h"
#include "answers/answers.h"

namespace {

const char* const kModelNote = "Erlang B: blocked calls are lost, not retried";

const Column kPlanColumns[] = {
    {"busy_hour", 9, true, kCellInt, nullptr},
    {"days", 4, true, kCellInt, nullptr},
    {"carried_erlangs", 15, true, kCellReal, nullptr},
    {"lines", 5, true, kCellInt, nullptr},
    {"offered_erlangs", 15, true, kCellReal, nullptr},
    {"blocking", 8, true, kCellReal, nullptr},
    {"observed_all_busy", 17, true, kCellReal, nullptr},
    {"target", 6, true, kCellReal, nullptr},
    {"lines_needed", 12, true, kCellInt, nullptr},
    {"daily_busy_hour_erlangs", 23, true, kCellReal, nullptr},
};
const int kPlanCount = sizeof kPlanColumns / sizeof kPlanColumns[0];

// The plan's cells before the target's: busy hour, days, carried, lines,
// offered, blocking, observed (nulls for what is not known).
void PlanCells(const CapacityPlan& p, Cell* cells) {
  bool hour = p.BusyHour >= 0;
  cells[0] = hour ? IntCell(p.BusyHour) : NullCell();
  cells[1] = IntCell(p.Days);
  cells[2] = hour ? RealCell(p.Carried, 3) : NullCell();
  cells[3] = IntCell(p.Lines);
  cells[4] = p.Solved ? RealCell(p.Offered, 3) : NullCell();
  cells[5] = p.Solved ? RealCell(p.Blocking, 4) : NullCell();
  cells[6] = hour ? RealCell(p.Observed, 4) : NullCell();
}

Cell NeededCell(const CapacityPlan& p, size_t i) {
  return p.Solved && p.Needed[i] >= 0 ? IntCell(p.Needed[i]) : NullCell();
}

Cell DailyPeakCell(const CapacityPlan& p) {
  return p.PeakDays > 0 ? RealCell(p.DailyPeak, 3) : NullCell();
}

void Csv(const CapacityPlan& p, OutBuf* out, ZoneCache* zone) {
  Table t;
  TableStart(&t, out, kFormatCsv, kPlanColumns, kPlanCount, zone, nullptr);
  for (size_t i = 0; i < p.Targets.size(); ++i) {
    Cell cells[kPlanCount];
    PlanCells(p, cells);
    cells[7] = RealCell(p.Targets[i], 4);
    cells[8] = NeededCell(p, i);
    cells[9] = DailyPeakCell(p);
    TableRow(&t, cells);
  }
}

void Json(AnswerOptions* opt, const CapacityPlan& p, OutBuf* out, ZoneCache* zone) {
  Cell cells[kPlanCount];
  PlanCells(p, cells);
  OutChar(out, '{');
  for (int i = 0; i < 7; ++i) {
    OutText(out, i == 0 ? "\n  " : ",\n  ");
    JsonString(out, kPlanColumns[i].Name);
    OutBytes(out, ": ", 2);
    CellValue(out, cells[i], zone, true);
  }
  JsonMember(out, kPlanColumns[9].Name, DailyPeakCell(p), zone);
  OutText(out, ",\n  \"lines_from\": ");
  JsonString(out, opt->LinesFrom);
  OutText(out, ",\n  \"model\": ");
  JsonString(out, kModelNote);
  OutText(out, ",\n  \"targets\": [");
  for (size_t i = 0; i < p.Targets.size(); ++i) {
    OutText(out, i == 0 ? "\n    {\"target\": " : ",\n    {\"target\": ");
    CellValue(out, RealCell(p.Targets[i], 4), zone, true);
    OutText(out, ", \"lines_needed\": ");
    CellValue(out, NeededCell(p, i), zone, true);
    OutChar(out, '}');
  }
  OutText(out, "\n  ]\n}\n");
}

// One "name  text" line of the text answer.
void Line(OutBuf* out, const char* name, const char* text) {
  char line[300];
  snprintf(line, sizeof line, "%-17s %s\n", name, text);
  OutText(out, line);
}

// Why the two shares differ, under the figures.
const char* const kSharesNote =
    "The observed share is of time: how long every line was in use. The blocking is the\n"
    "share of call attempts the model turns away, which the log cannot see: a caller who\n"
    "finds every line busy leaves no record.\n";

void Text(AnswerOptions* opt, const CapacityPlan& p, OutBuf* out) {
  char text[200];
  if (p.BusyHour < 0) {
    OutText(out, "no covered time in the range: no busy hour\n");
    return;
  }
  snprintf(text, sizeof text,
           "%02d:00-%02d:00 (the clock hour with the highest mean, over %u days)", p.BusyHour,
           (p.BusyHour + 1) % 24, p.Days);
  Line(out, "busy hour", text);
  snprintf(text, sizeof text, "%.3f erlangs (the busy hour's mean lines in use)", p.Carried);
  Line(out, "carried traffic", text);
  snprintf(text, sizeof text, "%.3f erlangs (each day's own busiest hour, the mean over %u days)",
           p.DailyPeak, p.PeakDays);
  Line(out, "daily busy hours", text);
  snprintf(text, sizeof text, "%lld (%s)", static_cast<long long>(p.Lines), opt->LinesFrom);
  Line(out, "lines", text);
  snprintf(text, sizeof text, "%.2f%% of the busy hour's time (observed)", 100.0 * p.Observed);
  Line(out, "all lines busy", text);
  if (!p.Solved) {
    Line(out, "offered traffic",
         "none fits: the busy hour carries all the lines or nearly, so the demand behind it "
         "cannot be estimated");
  } else {
    snprintf(text, sizeof text, "%.3f erlangs (estimated: A (1 - B(A, %lld)) = carried)", p.Offered,
             static_cast<long long>(p.Lines));
    Line(out, "offered traffic", text);
    snprintf(text, sizeof text, "%.4f of the call attempts (Erlang B: B(A, %lld))", p.Blocking,
             static_cast<long long>(p.Lines));
    Line(out, "blocking today", text);
  }
  for (size_t i = 0; p.Solved && i < p.Targets.size(); ++i) {
    if (p.Needed[i] >= 0) {
      snprintf(text, sizeof text, "%lld for blocking %g", static_cast<long long>(p.Needed[i]),
               p.Targets[i]);
    } else {
      snprintf(text, sizeof text, "more than %lld for blocking %g",
               static_cast<long long>(kMaxPlannedLines), p.Targets[i]);
    }
    Line(out, i == 0 ? "lines needed" : "", text);
  }
  if (p.Solved) OutText(out, kSharesNote);
  OutText(out, "The model is Erlang B: it assumes that blocked calls are lost, not retried.\n");
}

}  // namespace

int AnswerCapacity(AnswerOptions* opt, OutBuf* out) {
  if (opt->Lines <= 0) {
    fprintf(stderr,
            "%s: capacity needs the pool's lines: give --lines N or --ports FILE, or put "
            "RasPorts.txt beside each log\n",
            opt->Program);
    return kAnswerFailed;
  }
  BusyModel b;
  int status = AnswerRunBusy(opt, kStepHour, &b);
  if (status != 0) return status;
  BusyFigures clock[24];
  BusyFoldSlots(&b, 24, clock);
  CapacityPlan plan;
  CapacityPlanFrom(clock, opt->Lines, opt->Targets, &plan);
  CapacityDailyPeak(&b, &plan);
  if (opt->Format == kFormatCsv) {
    Csv(plan, out, &opt->Zone);
  } else if (opt->Format == kFormatJson) {
    Json(opt, plan, out, &opt->Zone);
  } else {
    Text(opt, plan, out);
  }
  return 0;
}
