// The charts as inline SVG. Every figure is drawn in a 600-unit wide view
// box, shown 720 pixels wide and scaled down to a narrower screen;
// coordinates carry one decimal, so a year's chart costs no more text than
// a day's.
#include "charts/pagecharts.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "charts/svg.h"
#include "eventlog/rasevent.h"

namespace {

const int kWidth = 600;                     // view box width of every chart
const int kLeft = 46;                       // room for the y axis labels
const int kRight = 12;                      // margin on the right
const int kTop = 44;                        // room for the heading and the legend
const int kPlot = kWidth - kLeft - kRight;  // plot width
const EventTime kHour = 3600;
const EventTime kDay = 86400;

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

// Grid lines and labels of a y axis from 0 to top over a plot of the given
// height whose bottom is at base, and the axis's caption.
void YAxis(OutBuf* out, double top, int height, int base, const char* caption) {
  SvgAxis axis = {top, 5, kLeft, kLeft + kPlot, base, height, 14, caption};
  SvgYAxis(out, &axis);
}

// ---- lines in use over the window ----

// The spacing of the time axis's ticks: whole hours within two days, else
// whole days, at most six steps over range seconds.
EventTime TimeStep(EventTime range) {
  const EventTime steps[] = {kHour,     2 * kHour,  3 * kHour, 6 * kHour, 12 * kHour,
                             kDay,      2 * kDay,   7 * kDay,  14 * kDay, 28 * kDay,
                             91 * kDay, 182 * kDay, 364 * kDay};
  for (EventTime step : steps) {
    if (range / step <= 6) return step;
  }
  return (range / 6 / (364 * kDay) + 1) * 364 * kDay;
}

// Ticks and labels under the plot: hours ("09:00", the date at midnight)
// or local midnights ("08 Dec", with the year for steps of four weeks on).
void TimeAxis(OutBuf* out, ChartData* chart, int base) {
  EventTime range = chart->Columns * chart->Span;
  EventTime step = TimeStep(range);
  SvgPrintf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"black\"/>\n", kLeft, base,
            kLeft + kPlot, base);
  for (EventTime i = 0; i * step <= range; ++i) {
    EventTime t = chart->Start + i * step;
    if (step >= kDay) t = ZoneBucketStart(&chart->Zone, kStepDay, t + kDay / 2);
    if (t < chart->Start || t > chart->Start + range) continue;
    TimeTexts texts;
    FormatTimeTexts(t, &texts);
    bool date = step >= kDay || strncmp(texts.Time, "00:00", 5) == 0;
    char label[16];
    snprintf(label, sizeof label, "%.*s", date ? (step >= 28 * kDay ? 11 : 6) : 5,
             date ? texts.Date : texts.Time);
    double x = kLeft + static_cast<double>(t - chart->Start) * kPlot / static_cast<double>(range);
    SvgPrintf(out, "<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"black\"/>\n", x,
              base, x, base + 5);
    SvgPrintf(out, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%s</text>\n", x, base + 20,
              label);
  }
}

// The shade of a column: 0 when no port was all busy, else 1 to 4 by the
// quarter of the column's span that every port was busy.
int BusyLevel(const ChartData* chart, int32_t i) {
  EventTime busy = chart->Column[i].AllBusy;
  if (busy <= 0) return 0;
  EventTime level = 1 + 4 * (busy - 1) / chart->Span;
  return level > 4 ? 4 : static_cast<int>(level);
}

// Columns in which every port was busy for a while, shaded by that share of
// the column; neighbours of the same shade share one rectangle.
void BusyShade(OutBuf* out, const ChartData* chart, int top, int height) {
  double width = static_cast<double>(kPlot) / chart->Columns;
  for (int32_t i = 0; i < chart->Columns;) {
    int level = BusyLevel(chart, i);
    int32_t j = i + 1;
    while (j < chart->Columns && BusyLevel(chart, j) == level) ++j;
    if (level != 0) {
      SvgPrintf(out,
                "<rect x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"%d\" fill=\"#fb6a4a\" "
                "fill-opacity=\"%.2f\"/>\n",
                kLeft + i * width, top, (j - i) * width, height, level * 0.15);
    }
    i = j;
  }
}

// The step outline of value(column) over the columns with charged time, as
// one filled path.
void StepPath(OutBuf* out, const ChartData* chart, bool peak, double top, int base, int height,
              const char* fill) {
  double width = static_cast<double>(kPlot) / chart->Columns;
  SvgPrintf(out, "<path fill=\"%s\" d=\"", fill);
  bool open = false;
  for (int32_t i = 0; i <= chart->Columns; ++i) {
    const ChartColumn* c = i < chart->Columns ? &chart->Column[i] : nullptr;
    bool covered = c != nullptr && c->Covered > 0;
    double x = kLeft + i * width;
    if (open && !covered) SvgPrintf(out, "V%d Z", base);
    if (!covered) {
      open = false;
      continue;
    }
    double v = peak ? c->Peak : ChartColumnMean(c);
    if (!open) SvgPrintf(out, "M%.1f %d", x, base);
    SvgPrintf(out, "V%.1f H%.1f", base - v / top * height, x + width);
    open = true;
  }
  OutText(out, "\"/>\n");
}

// The key above the plot: the colours of the peak, the mean and, with the
// port table, the shading of time with every port busy.
void Legend(OutBuf* out, bool ports) {
  const struct {
    const char* Fill;  // the colour
    const char* Name;  // what it shows
  } keys[] = {{"#9ecae1", "peak"}, {"#2171b5", "mean"}, {"#fb6a4a", "all ports busy"}};
  int x = kLeft;
  for (int i = 0; i < (ports ? 3 : 2); ++i) {
    SvgPrintf(out, "<rect x=\"%d\" y=\"26\" width=\"10\" height=\"10\" fill=\"%s\"/>\n", x,
              keys[i].Fill);
    SvgPrintf(out, "<text x=\"%d\" y=\"35\" font-size=\"13\">%s</text>\n", x + 14, keys[i].Name);
    x += 14 + 8 * static_cast<int>(strlen(keys[i].Name)) + 14;
  }
}

// The dashed line at the ports (or, without the port table, at the most
// lines in use), labelled at its right end.
void LevelLine(OutBuf* out, int32_t ports, double y, bool table) {
  char label[32];
  snprintf(label, sizeof label, "%d %s", static_cast<int>(ports), table ? "ports" : "at most");
  SvgLevelLine(out, kLeft, kLeft + kPlot, y, label);
}

void LinesChart(OutBuf* out, const ChartFrame* frame, ChartData* chart) {
  const int height = 200, base = kTop + height;
  int32_t ports = frame->PortCount;
  double top = ports > 1 ? ports : 1;
  for (int32_t i = 0; i < chart->Columns; ++i) {
    if (chart->Column[i].Peak > top) top = chart->Column[i].Peak;
  }
  TimeTexts from, to;
  FormatTimeTexts(chart->Start, &from);
  FormatTimeTexts(chart->WindowEnd, &to);
  char desc[512];
  snprintf(desc, sizeof desc,
           "Lines in use from %s %.5s to %s %.5s, local time, in %d columns of %" PRId64
           " seconds each: the light area is the most lines in use during a column, the dark "
           "area their mean over the column's time. The dashed line marks %s %d.%s",
           from.Date, from.Time, to.Date, to.Time, static_cast<int>(chart->Columns), chart->Span,
           frame->Ports ? "the ports," : "the most lines in use,", static_cast<int>(ports),
           frame->Ports ? " Red shading marks time with every port busy, darker for more." : "");
  OpenSvg(out, frame, base + 44, "Lines in use", desc);
  YAxis(out, top, height, base, "lines in use");
  StepPath(out, chart, true, top, base, height, "#9ecae1");
  StepPath(out, chart, false, top, base, height, "#2171b5");
  if (frame->Ports) BusyShade(out, chart, kTop, height);
  Legend(out, frame->Ports);
  if (ports > 0) LevelLine(out, ports, base - ports / top * height, frame->Ports);
  TimeAxis(out, chart, base);
  SvgClose(out);
}

// ---- the time at exactly k lines ----

void LevelBars(OutBuf* out, const ChartFrame* frame) {
  const int height = 160, base = kTop + height;
  int32_t levels =
      (frame->PortCount < frame->LineSlots ? frame->PortCount : frame->LineSlots - 1) + 1;
  double total = frame->TotalTime > 0 ? static_cast<double>(frame->TotalTime) : 1.0;
  const EventTime* lineTime = frame->LineTime;
  double top = 1;
  for (int32_t k = 0; k < levels; ++k) {
    if (lineTime[k] * 100.0 / total > top) top = lineTime[k] * 100.0 / total;
  }
  OpenSvg(out, frame, base + 44, "Time at exactly k lines in use",
          "One bar for each number of lines in use, from none to all: its height is the share "
          "of the report's time with exactly that many lines in use.");
  YAxis(out, top, height, base, "% of the time");
  double slot = static_cast<double>(kPlot) / levels;
  int32_t every = (levels + 15) / 16;
  for (int32_t k = 0; k < levels; ++k) {
    EventTime s = lineTime[k] > 0 ? lineTime[k] : 0;
    double h = s * 100.0 / total / top * height, x = kLeft + k * slot;
    SvgPrintf(out,
              "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#2171b5\">"
              "<title>%d lines: %" PRId64 ":%02" PRId64 ":%02" PRId64 " (%.1f%%)</title></rect>\n",
              x + slot * 0.1, base - h, slot * 0.8, h, static_cast<int>(k), s / 3600, s / 60 % 60,
              s % 60, s * 100.0 / total);
    if (k % every == 0) {
      SvgPrintf(out, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%d</text>\n", x + slot / 2,
                base + 18, static_cast<int>(k));
    }
  }
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">lines in use</text>\n",
            kLeft + kPlot / 2, base + 38);
  SvgClose(out);
}

// ---- mean lines in use by hour of the day and day ----

// The label of heat map row r: the local date of its first day.
void RowLabel(const ChartData* chart, int32_t r, char* out, size_t size) {
  TimeTexts texts;
  FormatTimeTexts(chart->Start + static_cast<EventTime>(r) * chart->RowDays * kDay + kDay / 2,
                  &texts);
  snprintf(out, size, "%.6s", texts.Date);
}

void HeatCells(OutBuf* out, const ChartData* chart, double top, int left, int cellW, int cellH,
               int gridTop) {
  for (int32_t r = 0; r < chart->Rows; ++r) {
    char label[16];
    RowLabel(chart, r, label, sizeof label);
    SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s%s</text>\n", left - 6,
              gridTop + r * cellH + cellH / 2 + 4, chart->RowDays > 1 ? "from " : "", label);
    for (int h = 0; h < CHART_HOURS; ++h) {
      const ChartCell* c = &chart->Cell[r][h];
      double mean = c->Covered > 0 ? static_cast<double>(c->LineSeconds) / c->Covered : 0.0;
      double share = mean / top > 1 ? 1 : mean / top < 0 ? 0 : mean / top;
      SvgPrintf(out, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" ", left + h * cellW,
                gridTop + r * cellH, cellW - 1, cellH - 1);
      if (c->Covered > 0) {
        SvgPrintf(out, "fill=\"#08519c\" fill-opacity=\"%.2f\"><title>%s %02d:00 mean %.2f</title>",
                  0.04 + 0.96 * share, label, h, mean);
      } else {
        SvgPrintf(out, "fill=\"#d9d9d9\"><title>%s %02d:00 no time</title>", label, h);
      }
      OutText(out, "</rect>\n");
    }
  }
}

void HeatMap(OutBuf* out, const ChartFrame* frame, const ChartData* chart) {
  const int left = 90, cellW = (kWidth - left - kRight) / CHART_HOURS;
  const int cellH = chart->Rows <= 14 ? 22 : chart->Rows <= 31 ? 16 : 11;
  const int gridTop = kTop + 18, base = gridTop + chart->Rows * cellH;
  int32_t ports = frame->PortCount;
  double top = ports > 1 ? ports : 1;
  char desc[400];
  snprintf(desc, sizeof desc,
           "Mean lines in use in each hour of the day (columns, local time) of each %s (rows), "
           "from white (none) to dark blue (%d lines%s); grey where the report has no time.",
           chart->RowDays > 1 ? "week" : "day", static_cast<int>(ports),
           frame->Ports ? ", every port" : "");
  OpenSvg(out, frame, base + 44, "Mean lines in use by hour", desc);
  for (int h = 0; h < CHART_HOURS; h += 3) {
    SvgPrintf(out, "<text x=\"%d\" y=\"%d\">%02d</text>\n", left + h * cellW, gridTop - 5, h);
  }
  HeatCells(out, chart, top, left, cellW, cellH, gridTop);
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\">0</text>\n", left, base + 28);
  for (int i = 0; i <= 10; ++i) {
    SvgPrintf(out,
              "<rect x=\"%d\" y=\"%d\" width=\"14\" height=\"14\" fill=\"#08519c\" "
              "fill-opacity=\"%.2f\"/>\n",
              left + 14 + i * 14, base + 16, 0.04 + 0.096 * i);
  }
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\">%d lines</text>\n", left + 14 + 11 * 14 + 6, base + 28,
            static_cast<int>(ports));
  SvgClose(out);
}

}  // namespace

void WriteCharts(OutBuf* out, const ChartFrame* frame, ChartData* chart) {
  OutText(out, "</pre>\n");
  LinesChart(out, frame, chart);
  if (frame->LevelBars) LevelBars(out, frame);
  if (chart->HeatMap) HeatMap(out, frame, chart);
}
