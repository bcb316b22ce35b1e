// The allbusy answer: each interval with all the pool's lines in use, to
// the second, in time order, streamed as the logs are read, in every
// format, and their total.
#include <cstdio>
#include <string>

#include "answers/answers.h"

namespace {

// The cells of one all-busy interval.
void IntervalCells(EventTime from, EventTime to, Cell* cells) {
  cells[0] = TimeCell(from);
  cells[1] = TimeCell(to);
  cells[2] = SecondsCell(to - from);
}

const Column kIntervalColumns[] = {
    {"start", 25, false, kCellTime, nullptr},
    {"end", 25, false, kCellTime, nullptr},
    {"seconds", 14, true, kCellSeconds, "time (h:mm:ss)"},
};
const int kIntervalCount = sizeof kIntervalColumns / sizeof kIntervalColumns[0];

// The allbusy answer while the model runs: the interval being joined from
// the folded stretches, and the table the finished ones go to.
struct AllBusyWriter {
  int64_t Lines;       // N: a stretch of N lines or more is all busy
  bool Open;           // an interval is being joined
  EventTime From;      // its start
  EventTime To;        // its end so far
  uint64_t Intervals;  // intervals written
  int64_t Seconds;     // their seconds
  Table Rows;          // the output
};

void EndInterval(AllBusyWriter* w) {
  if (!w->Open) return;
  Cell cells[kIntervalCount];
  IntervalCells(w->From, w->To, cells);
  TableRow(&w->Rows, cells);
  w->Open = false;
  ++w->Intervals;
  w->Seconds += w->To - w->From;
}

// A folded stretch: all busy stretches that touch join into one interval;
// any other stretch, or time not covered between two, ends it.
void OnRun(void* context, EventTime from, EventTime to, int32_t lines) {
  AllBusyWriter* w = static_cast<AllBusyWriter*>(context);
  if (w->Open && (lines < w->Lines || from != w->To)) EndInterval(w);
  if (lines < w->Lines) return;
  if (!w->Open) w->From = from;
  w->Open = true;
  w->To = to;
}

void AllBusyJsonHead(AnswerOptions* opt, OutBuf* out) {
  ZoneCache* zone = &opt->Zone;
  OutText(out, "{\n  \"since\": ");
  CellValue(out, opt->Since != kAlways ? TimeCell(opt->Since) : NullCell(), zone, true);
  JsonMember(out, "until", opt->Until != kForever ? TimeCell(opt->Until) : NullCell(), zone);
  JsonMember(out, "lines", IntCell(opt->Lines), zone);
  JsonMember(out, "lines_from", TextCell(opt->LinesFrom), zone);
  OutText(out, ",\n  \"intervals\": [");
}

void AllBusyJsonTail(AnswerOptions* opt, const AllBusyWriter* w, const BusyModel* b, OutBuf* out) {
  OutText(out, "\n  ]");
  JsonMember(out, "count", IntCell(static_cast<int64_t>(w->Intervals)), &opt->Zone);
  JsonMember(out, "seconds", SecondsCell(w->Seconds), &opt->Zone);
  JsonMember(out, "covered_seconds", SecondsCell(BusyTotal(b).Covered), &opt->Zone);
  OutText(out, "\n}\n");
}

// Text under the intervals: their total, then their share of the covered
// time.
void AllBusyTextTail(AnswerOptions* opt, AllBusyWriter* w, const BusyModel* b, OutBuf* out) {
  std::string label = "total: " + std::to_string(w->Intervals) + " interval";
  if (w->Intervals != 1) label += "s";
  Cell cells[kIntervalCount] = {TextCell(label.c_str()), NullCell(), SecondsCell(w->Seconds)};
  TableRow(&w->Rows, cells);
  int64_t covered = BusyTotal(b).Covered;
  char line[300], clock[32];
  if (covered == 0) {
    snprintf(line, sizeof line, "\nno covered time in the range\n");
  } else {
    snprintf(line, sizeof line, "\nall %lld lines (%s) busy %.2f%% of the covered %s\n",
             static_cast<long long>(opt->Lines), opt->LinesFrom,
             100.0 * static_cast<double>(w->Seconds) / static_cast<double>(covered),
             ClockText(covered, clock, sizeof clock));
  }
  OutText(out, line);
}

}  // namespace

// The intervals come from the stretches the model folds, which it does in
// time order as the logs are read: each goes out once it has ended, so
// memory stays that of the busy model, with buckets of a month.
int AnswerAllBusy(AnswerOptions* opt, OutBuf* out) {
  if (opt->Lines <= 0) {
    fprintf(stderr,
            "%s: allbusy needs the pool's lines: give --lines N or --ports FILE, or put "
            "RasPorts.txt beside each log\n",
            opt->Program);
    return kAnswerFailed;
  }
  AllBusyWriter w = {opt->Lines, false, 0, 0, 0, 0, Table()};
  if (opt->Format == kFormatJson) AllBusyJsonHead(opt, out);
  TableStart(&w.Rows, out, opt->Format, kIntervalColumns, kIntervalCount, &opt->Zone, "allbusy");
  BusyModel b;
  BusyInit(&b, kStepMonth, opt->Since, opt->Until, opt->Lines, &opt->Zone);
  b.Run = OnRun;
  b.RunContext = &w;
  // What went out stays out; the failure follows it.
  int status = AnswerRunBusyModel(opt, &b);
  if (status != 0) return status;
  EndInterval(&w);
  if (opt->Format == kFormatJson) AllBusyJsonTail(opt, &w, &b, out);
  if (opt->Format == kFormatText) AllBusyTextTail(opt, &w, &b, out);
  TableEnd(&w.Rows);
  return 0;
}
