// The figures behind the web page's charts, gathered from the scan's own
// intervals as it charges them: lines in use over the window folded into
// at most CHART_COLUMNS columns (each with its peak, its time-weighted mean
// and its time with every port busy), the time at each count of lines, and
// for windows of three days or more the mean by hour of the day and day.
// Only time the log covers is charged: what lies before its oldest record
// is no time at 0 lines but no time at all. Memory is fixed by the
// columns, the cells and the runs of one offset, whatever the number of
// events or the window's length; so is the time a charge takes, however
// long its interval: hours are counted in local time, not walked, and the
// zone is probed only across the time charges reach.
#ifndef VELMAR_CHARTS_CHART_H
#define VELMAR_CHARTS_CHART_H

#include <cstdint>

#include "analytics/zone.h"
#include "eventlog/logread.h"

#define CHART_COLUMNS 800  // most columns of the lines-in-use chart
#define CHART_ROWS 62      // most rows of the heat map: two months of days
#define CHART_HOURS 24     // heat map columns: the hours of the day
// Runs of one offset the heat map follows: two changes a year of daylight
// time over the years 0001 to 9999, with room to spare.
#define CHART_ZONE_RUNS 24576
#define CHART_LEVELS 256  // counts of lines in use kept apart; more count as the last

// One column: the intervals charged to its span [Start + i * Span, + Span).
// A clock set back gives a negative interval, which is taken off again.
struct ChartColumn {
  EventTime Covered;      // seconds charged to the column
  EventTime LineSeconds;  // lines in use summed over those seconds
  EventTime AllBusy;      // seconds of them with every port busy
  int32_t Peak;           // most lines in use during a charged second
};

// One heat map cell: an hour of the day over the days of a row.
struct ChartCell {
  EventTime Covered;      // seconds charged to the cell
  EventTime LineSeconds;  // lines in use summed over those seconds
};

// The charts' figures. Columns cover [Start, Start + Columns * Span); an
// interval that reaches past the end doubles Span, folding the columns in
// pairs, so that the columns always hold everything charged. Time before
// Start (a clock set back) goes to column 0. Charges are cut to the time
// from CoverFrom on; ChargedTo is where they reached, cut or not.
struct ChartData {
  EventTime Start;                          // the window's start: column 0's first second
  EventTime WindowEnd;                      // the window's end
  EventTime CoverFrom;                      // the log covers the time from here on
  EventTime ChargedTo;                      // the latest end of a charge: the scan's end
  EventTime Level[CHART_LEVELS];            // covered seconds at exactly k lines in use
  EventTime Span;                           // seconds per column, at least 1
  int32_t Columns;                          // columns in the range, 1 to CHART_COLUMNS
  ChartColumn Column[CHART_COLUMNS];        // the columns, in time order
  bool HeatMap;                             // the window lasts three days or more
  EventTime FirstDay;                       // local date of Start, as days since 1970
  int32_t RowDays;                          // days per heat map row: 1, or whole weeks
  int32_t Rows;                             // heat map rows of the window, <= CHART_ROWS
  ChartCell Cell[CHART_ROWS][CHART_HOURS];  // mean lines by row and hour of the day
  ZoneCache Zone;                           // local hours and dates under TZ
  bool FixedZone;                           // TZ has one offset at every instant
  EventTime MapFrom;                        // every instant a map row holds is at or after it
  EventTime MapEnd;                         // and before this
  int32_t ZoneRuns;                         // runs of one offset from RunStart[0] to ProbedTo
  EventTime ProbedTo;                       // the runs are known up to here (0 runs: none yet)
  EventTime HourFrom;                       // the local hour the last charge ended in,
  EventTime HourTo;                         // as instants within one run
  ChartCell* HourCell;                      // its cell, or null outside the map's rows
  // Last, and set only as far as used: the rest is never touched.
  EventTime RunStart[CHART_ZONE_RUNS];  // each run's first second, in time order
  int32_t RunOffset[CHART_ZONE_RUNS];   // its offset, seconds east of UTC
};

// Prepares empty figures for the window [windowStart, windowEnd), all of
// it covered until ChartCover says otherwise: the columns' span is the
// window's length over CHART_COLUMNS, rounded up; the heat map is kept
// when the window lasts three days (less an hour, for a day that daylight
// time shortens) or more, one row per local date, or per week when the
// window has more than CHART_ROWS dates. For the map the zone's runs of
// one offset are found as charges reach them, from the first covered
// instant on (ZoneRuns: a probe a week, none for a zone of one fixed
// offset), so a window far longer than the log costs no more probes than
// the log's own time. TZ must be the report's (SetReportZone).
void ChartInit(ChartData* chart, EventTime windowStart, EventTime windowEnd);

// Says that the log covers only the time from coverFrom on (its oldest
// record's time when it starts after the window's start; a time past any
// charge for a log whose records all lie before the window): the time
// before it is left out of every figure. Call before the first charge.
void ChartCover(ChartData* chart, EventTime coverFrom);

// Charges the interval [from, to) with lines in use (allBusy: every port of
// the port table busy) to the columns, the time at that count of lines
// (the last level for more) and the heat map, as far as it is covered. A
// to earlier than from takes the span [to, from) off again, as the scan's
// counters do.
void ChartCharge(ChartData* chart, EventTime from, EventTime to, int32_t lines, bool allBusy);

// The span of the chart's range [Start, Start + Columns * Span) that holds
// covered time: [*from, *to), empty (from == to) when none does.
void ChartCoveredSpan(const ChartData* chart, EventTime* from, EventTime* to);

// The time-weighted mean of lines in use over a column's charged seconds,
// 0 when none were charged.
double ChartColumnMean(const ChartColumn* column);

#endif  // VELMAR_CHARTS_CHART_H
