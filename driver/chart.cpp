// Charging the scan's intervals to the chart's columns and heat map cells.
// Nearly every interval lies inside one column and one local hour, so a
// charge is a few additions; the zone is asked only when an interval
// enters a new hour.
#include "driver/chart.h"

#include <cstring>

namespace {

const EventTime kDay = 86400;

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

// Finds the local hour that holds t and its cell (null outside the map).
void EnterHour(ChartData* chart, EventTime t) {
  chart->HourStart = ZoneBucketStart(&chart->Zone, kStepHour, t);
  chart->HourEnd = ZoneBucketEnd(&chart->Zone, kStepHour, chart->HourStart);
  EventTime row = ZoneDay(&chart->Zone, t) - chart->FirstDay;
  row = row < 0 ? -1 : row / chart->RowDays;
  CivilTime local;
  ZoneCivil(&chart->Zone, t, &local);
  chart->HourCell = row >= 0 && row < chart->Rows ? &chart->Cell[row][local.Hour] : nullptr;
}

// Charges [from, to) (from < to) hour by hour; sign -1 takes it off.
void ChargeCells(ChartData* chart, EventTime from, EventTime to, EventTime sign, int32_t lines) {
  for (EventTime t = from; t < to;) {
    if (t < chart->HourStart || t >= chart->HourEnd) EnterHour(chart, t);
    EventTime end = to < chart->HourEnd ? to : chart->HourEnd;
    if (chart->HourCell != nullptr) {
      chart->HourCell->Covered += sign * (end - t);
      chart->HourCell->LineSeconds += sign * (end - t) * lines;
    }
    t = end;
  }
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
  memset(chart, 0, sizeof *chart);
  ZoneInit(&chart->Zone);
  chart->Start = windowStart;
  chart->WindowEnd = windowEnd;
  EventTime length = windowEnd > windowStart ? windowEnd - windowStart : 1;
  chart->Span = (length + CHART_COLUMNS - 1) / CHART_COLUMNS;
  chart->Columns = static_cast<int32_t>((length + chart->Span - 1) / chart->Span);
  chart->HeatMap = length >= 3 * kDay - 3600;
  if (chart->HeatMap) {
    SetRows(chart, ZoneDay(&chart->Zone, windowStart), ZoneDay(&chart->Zone, windowEnd - 1));
  }
  chart->HourStart = chart->HourEnd = 0;
}

void ChartCharge(ChartData* chart, EventTime from, EventTime to, int32_t lines, bool allBusy) {
  EventTime sign = 1;
  if (to < from) {
    EventTime t = from;
    from = to, to = t, sign = -1;
  }
  if (to == from) return;
  ChargeColumns(chart, from, to, sign, lines, allBusy);
  if (chart->HeatMap) ChargeCells(chart, from, to, sign, lines);
}

double ChartColumnMean(const ChartColumn* column) {
  if (column->Covered <= 0) return 0.0;
  return static_cast<double>(column->LineSeconds) / static_cast<double>(column->Covered);
}
