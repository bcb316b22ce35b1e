// The charts as inline SVG. Every figure is drawn in a 480-unit wide view
// box, shown 600 pixels wide and scaled down to a narrower screen, where
// its labels stay readable; coordinates carry one decimal, so a year's
// chart costs no more text than a day's.
#include "charts/pagecharts.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "charts/svg.h"
#include "charts/timeaxis.h"
#include "eventlog/rasevent.h"

namespace {

const int kWidth = 480;                     // view box width of every chart
const int kLeft = 40;                       // room for the y axis labels
const int kRight = 12;                      // margin on the right
const int kPlot = kWidth - kLeft - kRight;  // plot width
const int kLegendTop = 26;                  // the legend's first row, under the heading
const double kCharWidth = 8.4;              // the widest a character of the font is, roughly

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kWeekdays[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

// The <svg> element with its size, its <title> (the report's titles, then
// what), its <desc> and a visible heading.
void OpenSvg(OutBuf* out, const ChartFrame* frame, int height, const char* what, const char* desc) {
  SvgChart chart = {};
  chart.Placement = kSvgInline;
  chart.Width = kWidth;
  chart.Height = height;
  const char* title[] = {frame->Title1, frame->Title1 != nullptr ? " - " : nullptr, frame->Title2,
                         ": ", what};
  std::copy(title, title + 5, chart.Title);
  chart.Desc = desc;
  chart.Heading = what;
  SvgOpen(out, &chart);
}

// A legend under the heading, across the chart.
SvgLegendBox Legend(const SvgKey* keys, int count) {
  return SvgLegendBox{keys, count, kLeft, kWidth - kRight, kLegendTop, kCharWidth};
}

// Grid lines and labels of a y axis from 0 to top over a plot of the given
// height whose bottom is at base, and the axis's caption.
void YAxis(OutBuf* out, double top, int height, int base, const char* caption) {
  SvgAxis axis = {top, 5, kLeft, kLeft + kPlot, base, height, 12, caption};
  SvgYAxis(out, &axis);
}

// ---- lines in use over the window ----

// What the lines chart shows, worked out before it is drawn.
struct LinesLayout {
  EventTime Range;       // seconds the columns span
  double Top;            // lines at the plot's top
  EventTime GapFrom[2];  // the spans [GapFrom, GapTo) of the range no log covers
  EventTime GapTo[2];    // (empty when equal)
  int PlotTop;           // the plot's top edge
  int Base;              // its bottom
};

// The x of instant t on the plot.
double TimeX(const ChartData* chart, const LinesLayout* at, EventTime t) {
  return kLeft + static_cast<double>(t - chart->Start) * kPlot / static_cast<double>(at->Range);
}

// The spans of the range no log covers: before the covered time, and
// after it up to the window's end (the columns' rounding past the end is
// no gap).
void FindGaps(const ChartData* chart, LinesLayout* at) {
  EventTime from = 0, to = 0;
  ChartCoveredSpan(chart, &from, &to);
  EventTime end = chart->Start + at->Range;
  at->GapFrom[0] = chart->Start;
  at->GapTo[0] = from;
  at->GapFrom[1] = to < chart->WindowEnd ? to : end;
  at->GapTo[1] = end;
  if (from == to) at->GapTo[0] = at->GapFrom[1] = end;
}

// Whether a gap is wide enough to be seen, and so named in the legend.
bool HasGap(const ChartData* chart, const LinesLayout* at) {
  for (int i = 0; i < 2; ++i) {
    if (TimeX(chart, at, at->GapTo[i]) - TimeX(chart, at, at->GapFrom[i]) >= 1) return true;
  }
  return false;
}

// The shade of a column: 0 when no port was all busy, else 1 to 4 by the
// quarter of the column's span that every port was busy.
int BusyLevel(const ChartData* chart, int32_t i) {
  EventTime busy = chart->Column[i].AllBusy;
  if (busy <= 0) return 0;
  EventTime level = 1 + 4 * (busy - 1) / chart->Span;
  return level > 4 ? 4 : static_cast<int>(level);
}

// The band above the plot: columns in which every port was busy for a
// while, by that share of the column; neighbours of one level share one
// mark.
void BusyBand(OutBuf* out, const ChartData* chart, int y) {
  double width = static_cast<double>(kPlot) / chart->Columns;
  for (int32_t i = 0; i < chart->Columns;) {
    int level = BusyLevel(chart, i);
    int32_t j = i + 1;
    while (j < chart->Columns && BusyLevel(chart, j) == level) ++j;
    SvgAllBusyBand(out, kLeft + i * width, kLeft + j * width, y, level);
    i = j;
  }
}

// The step outline of value(column) over the columns with charged time, as
// one filled path.
void StepPath(OutBuf* out, const ChartData* chart, bool peak, const LinesLayout* at,
              const char* fill) {
  double width = static_cast<double>(kPlot) / chart->Columns;
  int height = at->Base - at->PlotTop;
  SvgPrintf(out, "<path fill=\"%s\" d=\"", fill);
  bool open = false;
  for (int32_t i = 0; i <= chart->Columns; ++i) {
    const ChartColumn* c = i < chart->Columns ? &chart->Column[i] : nullptr;
    bool covered = c != nullptr && c->Covered > 0;
    double x = kLeft + i * width;
    if (open && !covered) SvgPrintf(out, "V%d Z", at->Base);
    if (!covered) {
      open = false;
      continue;
    }
    double v = peak ? c->Peak : ChartColumnMean(c);
    if (!open) SvgPrintf(out, "M%.1f %d", x, at->Base);
    SvgPrintf(out, "V%.1f H%.1f", at->Base - v / at->Top * height, x + width);
    open = true;
  }
  OutText(out, "\"/>\n");
}

// Ticks and labels under the plot, on the local clock's hours, midnights,
// months or years.
void LinesTimeAxis(OutBuf* out, ChartData* chart, const LinesLayout* at) {
  SvgPrintf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"black\"/>\n", kLeft,
            at->Base, kLeft + kPlot, at->Base);
  TimeAxis axis;
  axis.From = chart->Start;
  axis.To = chart->Start + at->Range;
  axis.Length = kPlot;
  axis.CharWidth = kCharWidth;
  axis.Finest = 0;
  TimeAxisTicks(&axis, &chart->Zone);
  for (int i = 0; i < axis.Count; ++i) axis.Tick[i].X = TimeX(chart, at, axis.Tick[i].At);
  TimeAxisPlace(&axis, kWidth);
  TimeAxisWrite(out, &axis, at->Base);
}

// The keys of the lines chart: peak, mean, the level line, and where they
// are drawn the band of every port busy and time not covered.
int LinesKeys(const ChartFrame* frame, const ChartData* chart, const LinesLayout* at, char* level,
              size_t size, SvgKey* keys) {
  snprintf(level, size, "%d %s", static_cast<int>(frame->PortCount),
           frame->Ports ? "ports" : "lines at most");
  int n = 0;
  keys[n++] = SvgKey{kSwatchBox, kSvgPeak, "peak"};
  keys[n++] = SvgKey{kSwatchBox, kSvgMean, "mean"};
  if (frame->PortCount > 0) keys[n++] = SvgKey{kSwatchDash, kSvgLevel, level};
  if (frame->Ports) keys[n++] = SvgKey{kSwatchRamp, kSvgAllBusy, "all ports busy"};
  if (HasGap(chart, at)) keys[n++] = SvgKey{kSwatchBox, kSvgNotCovered, "not covered"};
  return n;
}

void LinesDesc(const ChartFrame* frame, const ChartData* chart, char* desc, size_t size) {
  TimeTexts from, to;
  FormatTimeTexts(chart->Start, &from);
  FormatTimeTexts(chart->WindowEnd, &to);
  snprintf(desc, size,
           "Lines in use from %s %.5s to %s %.5s, local time, in %d columns of %" PRId64
           " seconds each: the light area is the most lines in use during a column, the dark "
           "area their mean over the column's covered time. The dashed line marks %s %d.%s "
           "Grey shading marks time no log covers, where no lines are drawn.",
           from.Date, from.Time, to.Date, to.Time, static_cast<int>(chart->Columns), chart->Span,
           frame->Ports ? "the ports," : "the most lines in use,",
           static_cast<int>(frame->PortCount),
           frame->Ports ? " The red band above the plot marks time with every port busy, darker "
                          "for more of the column."
                        : "");
}

void LinesChart(OutBuf* out, const ChartFrame* frame, ChartData* chart) {
  const int height = 180;
  LinesLayout at = {};
  at.Range = chart->Columns * chart->Span;
  at.Top = std::max(frame->PortCount, 1);
  for (int32_t i = 0; i < chart->Columns; ++i)
    at.Top = std::max<double>(at.Top, chart->Column[i].Peak);
  FindGaps(chart, &at);
  char level[32];
  SvgKey keys[5];
  SvgLegendBox legend = Legend(keys, LinesKeys(frame, chart, &at, level, sizeof level, keys));
  at.PlotTop = kLegendTop + SvgLegendHeight(&legend) + (frame->Ports ? 14 : 6);
  at.Base = at.PlotTop + height;
  char desc[768];
  LinesDesc(frame, chart, desc, sizeof desc);
  OpenSvg(out, frame, at.Base + 30, "Lines in use", desc);
  SvgLegend(out, &legend);
  YAxis(out, at.Top, height, at.Base, "lines in use");
  StepPath(out, chart, true, &at, kSvgPeak);
  StepPath(out, chart, false, &at, kSvgMean);
  // Over the steps: a column partly covered shows its step over the
  // covered part alone.
  for (int i = 0; i < 2; ++i) {
    SvgNotCovered(out, TimeX(chart, &at, at.GapFrom[i]), TimeX(chart, &at, at.GapTo[i]), at.PlotTop,
                  at.Base, kCharWidth);
  }
  if (frame->Ports) BusyBand(out, chart, at.PlotTop - 11);
  if (frame->PortCount > 0) {
    SvgLevelLine(out, kLeft, kLeft + kPlot, at.Base - frame->PortCount / at.Top * height, nullptr);
  }
  LinesTimeAxis(out, chart, &at);
  SvgClose(out);
}

// ---- the time at exactly k lines ----

// One bar: the seconds at k lines (k -1: those no log covers) as a share
// of total, in a slot of the plot from x, the plot's top at top percent.
void LevelBar(OutBuf* out, int32_t k, EventTime seconds, double total, double top, double x,
              double slot, int base, int height) {
  double share = static_cast<double>(seconds) * 100.0 / total, h = share / top * height;
  SvgPrintf(out, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\"><title>",
            x + slot * 0.1, base - h, slot * 0.8, h, k >= 0 ? kSvgMean : kSvgNotCovered);
  if (k >= 0) {
    SvgPrintf(out, "%d lines: ", static_cast<int>(k));
  } else {
    OutText(out, "not covered: ");
  }
  SvgPrintf(out, "%" PRId64 ":%02" PRId64 ":%02" PRId64 " (%.1f%%)</title></rect>\n",
            seconds / 3600, seconds / 60 % 60, seconds % 60, share);
}

void LevelBars(OutBuf* out, const ChartFrame* frame, const ChartData* chart) {
  const int height = 150;
  int32_t levels = std::min<int32_t>(std::max<int32_t>(frame->PortCount, 0), CHART_LEVELS - 1) + 1;
  double total = frame->TotalTime > 0 ? static_cast<double>(frame->TotalTime) : 1.0;
  EventTime uncovered = frame->TotalTime;
  for (int32_t k = 0; k < CHART_LEVELS; ++k) uncovered -= chart->Level[k];
  double top = std::max(1.0, uncovered * 100.0 / total);
  for (int32_t k = 0; k < levels; ++k) top = std::max(top, chart->Level[k] * 100.0 / total);
  SvgKey keys[] = {{kSwatchBox, kSvgMean, "time at k lines"},
                   {kSwatchBox, kSvgNotCovered, "not covered"}};
  SvgLegendBox legend = Legend(keys, uncovered > 0 ? 2 : 1);
  int base = kLegendTop + SvgLegendHeight(&legend) + 8 + height;
  OpenSvg(out, frame, base + 44, "Time at exactly k lines in use",
          "One bar for each number of lines in use, from none to all: its height is the share "
          "of the report's time with exactly that many lines in use; a grey bar last, the share "
          "no log covers.");
  SvgLegend(out, &legend);
  YAxis(out, top, height, base, "% of the time");
  double slot = static_cast<double>(kPlot) / (levels + (uncovered > 0 ? 1 : 0));
  int32_t every = (levels + 15) / 16;
  for (int32_t k = 0; k < levels; ++k) {
    double x = kLeft + k * slot;
    LevelBar(out, k, std::max<EventTime>(chart->Level[k], 0), total, top, x, slot, base, height);
    if (k % every != 0) continue;
    SvgPrintf(out, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%d</text>\n", x + slot / 2,
              base + 18, static_cast<int>(k));
  }
  if (uncovered > 0) {
    LevelBar(out, -1, uncovered, total, top, kLeft + levels * slot, slot, base, height);
  }
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">lines in use</text>\n",
            kLeft + kPlot / 2, base + 38);
  SvgClose(out);
}

// ---- mean lines in use by hour of the day and day ----

// The label of heat map row r: its first date, with its weekday for rows
// of a day ("Tue Dec 8"), in full for rows of weeks ("2026-12-08").
void RowLabel(const ChartData* chart, int32_t r, char* out, size_t size) {
  EventTime day = chart->FirstDay + static_cast<EventTime>(r) * chart->RowDays;
  CivilTime c;
  ZoneCivilDay(day, &c);
  if (chart->RowDays > 1) {
    snprintf(out, size, "%04d-%02d-%02d", c.Year, c.Month, c.Day);
    return;
  }
  EventTime weekday = (day + 3) % 7;  // 1970-01-01 was a Thursday
  snprintf(out, size, "%s %s %d", kWeekdays[weekday < 0 ? weekday + 7 : weekday],
           kMonths[c.Month - 1], c.Day);
}

// Where the map's parts stand.
struct MapLayout {
  int Left;     // the cells' left edge, after the rows' labels
  int CellW;    // a cell's width
  int CellH;    // and height
  int GridTop;  // the first row's top
  int Base;     // under the last row
  double Top;   // the mean lines of the darkest cell
};

// Whether any hour of row r holds covered time.
bool RowCovered(const ChartData* chart, int32_t r) {
  for (const ChartCell& c : chart->Cell[r]) {
    if (c.Covered > 0) return true;
  }
  return false;
}

// One grey block of hours no log covers: rows r to last, hours h to end.
void GapBlock(OutBuf* out, const ChartData* chart, const MapLayout* at, int32_t r, int32_t last,
              int h, int end) {
  char from[24], to[24];
  RowLabel(chart, r, from, sizeof from);
  RowLabel(chart, last, to, sizeof to);
  SvgPrintf(out,
            "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"><title>%s%s%s "
            "%02d:00 to %02d:00 not covered</title></rect>\n",
            at->Left + h * at->CellW, at->GridTop + r * at->CellH, (end - h) * at->CellW - 1,
            (last - r + 1) * at->CellH - 1, kSvgNotCovered, from, r < last ? " to " : "",
            r < last ? to : "", h, end);
}

// The cells of row r, a run of hours no log covers as one grey block.
void RowCells(OutBuf* out, const ChartData* chart, const MapLayout* at, int32_t r) {
  char label[24];
  RowLabel(chart, r, label, sizeof label);
  int y = at->GridTop + r * at->CellH;
  for (int h = 0; h < CHART_HOURS;) {
    const ChartCell* c = &chart->Cell[r][h];
    if (c->Covered <= 0) {
      int end = h + 1;
      while (end < CHART_HOURS && chart->Cell[r][end].Covered <= 0) ++end;
      GapBlock(out, chart, at, r, r, h, end);
      h = end;
      continue;
    }
    double mean = static_cast<double>(c->LineSeconds) / static_cast<double>(c->Covered);
    double share = std::min(1.0, std::max(0.0, mean / at->Top));
    SvgPrintf(out,
              "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\" "
              "fill-opacity=\"%.2f\"><title>%s %02d:00 mean %.2f</title></rect>\n",
              at->Left + h * at->CellW, y, at->CellW - 1, at->CellH - 1, kSvgMean,
              0.04 + 0.96 * share, label, h, mean);
    ++h;
  }
}

// The rows: their labels, then a cell per hour, grey where no time is
// covered; rows wholly without covered time (the years before a log, the
// days after it) as one grey block. Returns whether any hour is so.
bool HeatCells(OutBuf* out, const ChartData* chart, const MapLayout* at) {
  // Rows lower than a line of text are labelled every second or third.
  int32_t every = (16 + at->CellH - 1) / at->CellH;
  for (int32_t r = 0; r < chart->Rows; r += every) {
    char label[24];
    RowLabel(chart, r, label, sizeof label);
    SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>\n", at->Left - 6,
              at->GridTop + r * at->CellH + at->CellH / 2 + 5, label);
  }
  bool gaps = false;
  for (int32_t r = 0; r < chart->Rows;) {
    if (RowCovered(chart, r)) {
      RowCells(out, chart, at, r);
      for (const ChartCell& c : chart->Cell[r]) gaps = gaps || c.Covered <= 0;
      ++r;
      continue;
    }
    int32_t last = r;
    while (last + 1 < chart->Rows && !RowCovered(chart, last + 1)) ++last;
    GapBlock(out, chart, at, r, last, 0, CHART_HOURS);
    gaps = true;
    r = last + 1;
  }
  return gaps;
}

// The shades from none to every line under the map, and the grey of time
// not covered beside them when there is any.
void MapScale(OutBuf* out, const ChartFrame* frame, const MapLayout* at, bool gaps) {
  int y = at->Base + 16;
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">0</text>\n", at->Left + 10, y + 11);
  for (int i = 0; i <= 10; ++i) {
    SvgPrintf(out,
              "<rect x=\"%d\" y=\"%d\" width=\"12\" height=\"12\" fill=\"%s\" "
              "fill-opacity=\"%.2f\"/>\n",
              at->Left + 14 + i * 12, y, kSvgMean, 0.04 + 0.096 * i);
  }
  char lines[32];
  snprintf(lines, sizeof lines, "%d lines", static_cast<int>(frame->PortCount));
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\">%s</text>\n", at->Left + 14 + 11 * 12 + 6, y + 11, lines);
  if (!gaps) return;
  SvgKey key = {kSwatchBox, kSvgNotCovered, "not covered"};
  int left = at->Left + 14 + 11 * 12 + 6 + static_cast<int>((strlen(lines) + 2) * kCharWidth);
  SvgLegendBox legend = {&key, 1, left, kWidth - kRight, y + 1, kCharWidth};
  SvgLegend(out, &legend);
}

void HeatMap(OutBuf* out, const ChartFrame* frame, ChartData* chart) {
  MapLayout at = {};
  const int labelChars = 10;  // "2026-12-08", "Wed Dec 30"
  at.Left = 8 + static_cast<int>(labelChars * kCharWidth) + 6;
  at.CellW = (kWidth - at.Left - kRight) / CHART_HOURS;
  at.CellH = chart->Rows <= 14 ? 22 : chart->Rows <= 31 ? 17 : 12;
  at.GridTop = kLegendTop + 16;
  at.Base = at.GridTop + chart->Rows * at.CellH;
  at.Top = std::max(frame->PortCount, 1);
  char desc[400];
  snprintf(desc, sizeof desc,
           "Mean lines in use in each hour of the day (columns, local time) of each %s (rows), "
           "from white (none) to dark blue (%d lines%s); grey where no log covers the hour.",
           chart->RowDays > 1 ? "row's weeks" : "day", static_cast<int>(frame->PortCount),
           frame->Ports ? ", every port" : "");
  char heading[80] = "Mean lines in use by hour";
  if (chart->RowDays > 1) {
    snprintf(heading, sizeof heading, "Mean lines in use by hour, rows of %d week%s",
             static_cast<int>(chart->RowDays / 7), chart->RowDays > 7 ? "s" : "");
  }
  OpenSvg(out, frame, at.Base + 46, heading, desc);
  for (int h = 0; h < CHART_HOURS; h += 3) {
    SvgPrintf(out, "<text x=\"%d\" y=\"%d\">%02d</text>\n", at.Left + h * at.CellW, at.GridTop - 6,
              h);
  }
  bool gaps = HeatCells(out, chart, &at);
  MapScale(out, frame, &at, gaps);
  SvgClose(out);
}

}  // namespace

void WriteCharts(OutBuf* out, const ChartFrame* frame, ChartData* chart) {
  OutText(out, "<div id=\"charts\">\n<p><a href=\"#report\">Jump to the report</a></p>\n");
  for (const char* note : frame->Notes) {
    if (note == nullptr) continue;
    OutText(out, "<p>");
    SvgText(out, note);
    OutText(out, "</p>\n");
  }
  LinesChart(out, frame, chart);
  if (frame->LevelBars) LevelBars(out, frame, chart);
  if (chart->HeatMap) HeatMap(out, frame, chart);
  OutText(out, "</div>\n");
}
