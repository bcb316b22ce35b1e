// Charging the scan's intervals to the chart's columns and heat map cells.
// A charge is cut at the columns' edges, and for the heat map at the
// changes of offset found once; within one offset local time is the
// instant plus the offset, and its hours and dates are counted, so no
// charge asks the zone and none costs more for a longer interval.
#include "charts/chart.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/zonefile.h"

namespace {

const EventTime kDay = 86400;
const EventTime kHour = 3600;
// How far the zone is probed beyond the charge that asks: eight probes.
const EventTime kRunStretch = 8 * kZoneProbe;

EventTime FloorDiv(EventTime a, EventTime b) {
  EventTime q = a / b;
  return a % b != 0 && (a < 0) != (b < 0) ? q - 1 : q;
}

// Seconds of hour h of the day in the local seconds [0, s) of whole days
// from a midnight.
EventTime HourSeconds(EventTime s, int h) {
  EventTime rest = s % kDay - h * kHour;
  return s / kDay * kHour + (rest < 0 ? 0 : rest > kHour ? kHour : rest);
}

// Doubles the columns' span: columns 2j and 2j + 1 become column j.
void FoldColumns(ChartData* chart) {
  for (int32_t j = 0; j < chart->Columns; ++j) {
    ChartColumn merged = {0, 0, 0, 0};
    for (int32_t i = 2 * j; i < 2 * j + 2 && i < chart->Columns; ++i) {
      const ChartColumn* c = &chart->Column[i];
      merged.Covered += c->Covered;
      merged.LineSeconds += c->LineSeconds;
      merged.AllBusy += c->AllBusy;
      if (c->Peak > merged.Peak) merged.Peak = c->Peak;
    }
    chart->Column[j] = merged;
  }
  chart->Span *= 2;
}

// Adds seconds (negative to take them off) at lines in use to a column.
void AddToColumn(ChartColumn* c, EventTime seconds, int32_t lines, bool allBusy) {
  c->Covered += seconds;
  c->LineSeconds += seconds * lines;
  if (allBusy) c->AllBusy += seconds;
  if (seconds > 0 && lines > c->Peak) c->Peak = lines;
}

// Charges [from, to) (from < to) column by column; sign -1 takes it off.
void ChargeColumns(ChartData* chart, EventTime from, EventTime to, EventTime sign, int32_t lines,
                   bool allBusy) {
  while (to > chart->Start + chart->Columns * chart->Span) FoldColumns(chart);
  for (EventTime t = from; t < to;) {
    EventTime index = t < chart->Start ? 0 : (t - chart->Start) / chart->Span;
    EventTime edge = t < chart->Start ? chart->Start : chart->Start + (index + 1) * chart->Span;
    EventTime end = to < edge ? to : edge;
    AddToColumn(&chart->Column[index], sign * (end - t), lines, allBusy);
    t = end;
  }
}

// Adds seconds (negative to take them off) at lines in use to a cell.
void AddToCell(ChartCell* cell, EventTime seconds, int32_t lines) {
  cell->Covered += seconds;
  cell->LineSeconds += seconds * lines;
}

// Adds the seconds of the local span [from, to) (local seconds, within one
// row) to the row's cells by their hour of the day. Most spans lie within
// one hour and are one addition; a span under a day is cut at the hours
// it meets; a longer one gives each hour 3600 s a whole day, and the rest
// is cut at the hours.
void ChargeHours(ChartCell* row, EventTime from, EventTime to, EventTime sign, int32_t lines) {
  if (to - from < kDay) {
    while (from < to) {
      EventTime hourEnd = (FloorDiv(from, kHour) + 1) * kHour;
      EventTime end = to < hourEnd ? to : hourEnd;
      AddToCell(&row[(from - FloorDiv(from, kDay) * kDay) / kHour], sign * (end - from), lines);
      from = end;
    }
    return;
  }
  EventTime base = FloorDiv(from, kDay) * kDay;
  for (int h = 0; h < CHART_HOURS; ++h) {
    AddToCell(&row[h], sign * (HourSeconds(to - base, h) - HourSeconds(from - base, h)), lines);
  }
}

// Charges the local span [from, to) (local seconds) row by row, as far as
// the map's dates hold it.
void ChargeLocal(ChartData* chart, EventTime from, EventTime to, EventTime sign, int32_t lines) {
  EventTime rowLength = chart->RowDays * kDay, first = chart->FirstDay * kDay;
  if (from < first) from = first;
  if (to > first + chart->Rows * rowLength) to = first + chart->Rows * rowLength;
  while (from < to) {
    EventTime row = (from - first) / rowLength;
    EventTime end = first + (row + 1) * rowLength < to ? first + (row + 1) * rowLength : to;
    ChargeHours(chart->Cell[row], from, end, sign, lines);
    from = end;
  }
}

// Remembers the local hour that holds t, in run i, as the instants
// [HourFrom, HourTo) of one cell (null outside the map's rows), for the
// charges that follow within it.
void KeepHour(ChartData* chart, EventTime t, int32_t i) {
  chart->HourFrom = chart->HourTo = 0;
  if (t < chart->RunStart[0] || t >= chart->ProbedTo) return;
  EventTime offset = chart->RunOffset[i];
  EventTime hour = FloorDiv(t + offset, kHour) * kHour;
  EventTime runEnd = i + 1 < chart->ZoneRuns ? chart->RunStart[i + 1] : chart->ProbedTo;
  chart->HourFrom = std::max(hour - offset, chart->RunStart[i]);
  chart->HourTo = std::min(hour + kHour - offset, runEnd);
  EventTime day = FloorDiv(hour, kDay) - chart->FirstDay;
  bool mapped = day >= 0 && day / chart->RowDays < chart->Rows;
  chart->HourCell =
      mapped ? &chart->Cell[day / chart->RowDays][(hour - FloorDiv(hour, kDay) * kDay) / kHour]
             : nullptr;
}

// The first run of one offset, at the first instant the map holds that
// is covered; for a fixed zone it is known to the map's end. Returns false
// when no such instant exists.
bool StartRuns(ChartData* chart) {
  EventTime from = std::max(chart->MapFrom, chart->CoverFrom);
  if (from >= chart->MapEnd) {
    chart->ProbedTo = chart->MapEnd;
    return false;
  }
  chart->ZoneRuns = 1;
  chart->RunStart[0] = from;
  chart->RunOffset[0] = ZoneOffset(&chart->Zone, from);
  chart->ProbedTo = chart->FixedZone ? chart->MapEnd : from;
  return true;
}

// Finds the runs of one offset on to `to` (and a stretch beyond, so that
// the charges that follow seldom probe again), as far as the map reaches.
// Once the runs' room is full the last run holds to the map's end.
void FindRuns(ChartData* chart, EventTime to) {
  if (to <= chart->ProbedTo || chart->ProbedTo >= chart->MapEnd) return;
  if (chart->ZoneRuns == 0 && !StartRuns(chart)) return;
  int32_t n = chart->ZoneRuns;
  EventTime until = std::min(chart->MapEnd, std::max(to, chart->ProbedTo + kRunStretch));
  if (n == CHART_ZONE_RUNS || chart->ProbedTo >= until) {
    chart->ProbedTo = chart->MapEnd;
    return;
  }
  int32_t got = ZoneRuns(chart->ProbedTo, until, chart->RunStart + n, chart->RunOffset + n,
                         CHART_ZONE_RUNS - n);
  // The first new run goes on with the last one known unless the offset
  // changed exactly where the probes left off.
  if (chart->RunOffset[n] == chart->RunOffset[n - 1]) {
    std::copy(chart->RunStart + n + 1, chart->RunStart + n + got, chart->RunStart + n);
    std::copy(chart->RunOffset + n + 1, chart->RunOffset + n + got, chart->RunOffset + n);
    --got;
  }
  chart->ZoneRuns = n + got;
  chart->ProbedTo = until;
}

// Charges [from, to) (from < to) to the heat map: each run of one offset
// is a span of local time; sign -1 takes it off.
void ChargeCells(ChartData* chart, EventTime from, EventTime to, EventTime sign, int32_t lines) {
  // Most charges lie within the hour the one before ended in.
  if (from >= chart->HourFrom && to <= chart->HourTo) {
    if (chart->HourCell != nullptr) AddToCell(chart->HourCell, sign * (to - from), lines);
    return;
  }
  FindRuns(chart, to);
  if (chart->ZoneRuns == 0) return;
  EventTime last = to;
  if (from < chart->RunStart[0]) from = chart->RunStart[0];
  if (to > chart->ProbedTo) to = chart->ProbedTo;
  const EventTime* runs = chart->RunStart;
  int32_t i = static_cast<int32_t>(std::upper_bound(runs, runs + chart->ZoneRuns, from) - runs) - 1;
  for (; i < chart->ZoneRuns && from < to; ++i) {
    EventTime end = i + 1 < chart->ZoneRuns && runs[i + 1] < to ? runs[i + 1] : to;
    ChargeLocal(chart, from + chart->RunOffset[i], end + chart->RunOffset[i], sign, lines);
    from = end;
  }
  int32_t at =
      static_cast<int32_t>(std::upper_bound(runs, runs + chart->ZoneRuns, last) - runs) - 1;
  KeepHour(chart, last, at < 0 ? 0 : at);
}

// Heat map rows for the local dates firstDay to lastDay: one per date, or
// per week when there are more dates than rows.
void SetRows(ChartData* chart, EventTime firstDay, EventTime lastDay) {
  EventTime days = lastDay - firstDay + 1;
  EventTime weeks = (days + 7 * CHART_ROWS - 1) / (7 * CHART_ROWS);
  chart->FirstDay = firstDay;
  chart->RowDays = days <= CHART_ROWS ? 1 : static_cast<int32_t>(7 * weeks);
  chart->Rows = static_cast<int32_t>((days + chart->RowDays - 1) / chart->RowDays);
}

}  // namespace

void ChartInit(ChartData* chart, EventTime windowStart, EventTime windowEnd) {
  // The runs' arrays are left alone: a fresh block's pages stay untouched.
  memset(chart, 0, offsetof(ChartData, RunStart));
  ZoneInit(&chart->Zone);
  chart->Start = windowStart;
  chart->WindowEnd = windowEnd;
  chart->CoverFrom = INT64_MIN;
  chart->ChargedTo = windowStart;
  EventTime length = windowEnd > windowStart ? windowEnd - windowStart : 1;
  chart->Span = (length + CHART_COLUMNS - 1) / CHART_COLUMNS;
  chart->Columns = static_cast<int32_t>((length + chart->Span - 1) / chart->Span);
  chart->HeatMap = length >= 3 * kDay - 3600;
  if (chart->HeatMap) {
    SetRows(chart, ZoneDay(&chart->Zone, windowStart), ZoneDay(&chart->Zone, windowEnd - 1));
    // Every instant whose local date a row holds: the rows' dates widened
    // by three days, more than any offset.
    chart->MapFrom = chart->FirstDay * kDay - 3 * kDay;
    chart->MapEnd = (chart->FirstDay + chart->Rows * chart->RowDays) * kDay + 3 * kDay;
    chart->ProbedTo = INT64_MIN;
    chart->FixedZone = PlatformZoneFixed(getenv("TZ"));
  }
}

void ChartCover(ChartData* chart, EventTime coverFrom) {
  chart->CoverFrom = coverFrom;
}

void ChartCharge(ChartData* chart, EventTime from, EventTime to, int32_t lines, bool allBusy) {
  EventTime sign = 1;
  if (to < from) {
    EventTime t = from;
    from = to, to = t, sign = -1;
  }
  if (to > chart->ChargedTo) chart->ChargedTo = to;
  if (from < chart->CoverFrom) from = chart->CoverFrom;
  if (to <= from) return;
  chart->Level[std::min<int32_t>(std::max<int32_t>(lines, 0), CHART_LEVELS - 1)] +=
      sign * (to - from);
  ChargeColumns(chart, from, to, sign, lines, allBusy);
  if (chart->HeatMap) ChargeCells(chart, from, to, sign, lines);
}

void ChartCoveredSpan(const ChartData* chart, EventTime* from, EventTime* to) {
  EventTime end = chart->Start + chart->Columns * chart->Span;
  *from = std::max(chart->Start, chart->CoverFrom);
  *to = std::min(end, chart->ChargedTo);
  if (*to < *from) *to = *from = std::min(*from, end);
}

double ChartColumnMean(const ChartColumn* column) {
  if (column->Covered <= 0) return 0.0;
  return static_cast<double>(column->LineSeconds) / static_cast<double>(column->Covered);
}
