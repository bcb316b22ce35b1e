// The busy table as a standalone SVG chart: bars of the mean and the peak
// lines in use per bucket with the pool's N lines marked, a band over the
// time all N were busy and the time no log covers shaded; or for the hours
// of the week a 7 x 24 heat map of the mean. Each names what it draws in a
// legend. The bars' chart is as wide as its buckets need, from what a
// phone's screen holds for a day of hours to what a desktop's page holds
// for a month of them.
#include "charts/busychart.h"

#include <algorithm>
#include <cstdio>

#include "charts/svg.h"
#include "charts/timeaxis.h"

namespace {

const int kLeft = 56, kRight = 20, kBottom = 60;
const int kLegendTop = 34;      // under the heading
const int kPlotHeight = 240;    // the bars' plot
const int kBucketWidth = 12;    // a bar's room, while the plot is neither too narrow nor too wide
const int kMinPlot = 290;       // the narrowest plot: with its margins, a phone's screen
const int kMaxPlot = 1100;      // the widest: with its margins, a desktop's page
const double kCharWidth = 7.2;  // the widest a character of the font is, roughly
const int kCell = 28;           // heat map cell
const int kMapTop = 40;         // the map's first row, under the heading

const char* const kDays[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

double Mean(const BusyFigures& f) {
  return f.Covered > 0 ? static_cast<double>(f.LineSeconds) / static_cast<double>(f.Covered) : 0.0;
}

void Open(OutBuf* out, int width, int height, const char* title, const char* desc) {
  SvgChart chart = {kSvgFile, width, height, {title}, desc, title, kLeft};
  SvgOpen(out, &chart);
}

// Where the bars' chart puts things.
struct BarLayout {
  int PlotWidth;    // the plot's width
  double BarWidth;  // a bucket's
  int PlotTop;      // the plot's top edge
  int Base;         // its bottom
  double Top;       // lines at its top
};

// The x of instant t: within its bucket by the share of the bucket's time
// before it, so that ticks and shading meet the bars whatever the buckets'
// lengths.
double BucketX(const BusyModel* b, const BarLayout* at, EventTime t) {
  const std::vector<BusyRow>& rows = b->Rows;
  if (rows.empty() || t <= rows.front().Start) return kLeft;
  if (t >= rows.back().End) return kLeft + static_cast<double>(rows.size()) * at->BarWidth;
  auto after = std::upper_bound(rows.begin(), rows.end(), t,
                                [](EventTime v, const BusyRow& row) { return v < row.Start; });
  size_t i = static_cast<size_t>(after - rows.begin()) - 1;
  double share = static_cast<double>(t - rows[i].Start) /
                 static_cast<double>(std::max<EventTime>(1, rows[i].End - rows[i].Start));
  return kLeft + (static_cast<double>(i) + std::min(1.0, share)) * at->BarWidth;
}

// Calls gap(from, to) for each span of the buckets' time that no log
// covers, in time order.
template <typename Gap>
void EachGap(const BusyModel* b, Gap gap) {
  if (b->Rows.empty()) return;
  EventTime at = b->Rows.front().Start, end = b->Rows.back().End;
  for (const CoverSpan& span : b->Covered) {
    if (span.From > at) gap(at, std::min(span.From, end));
    at = std::max(at, span.To);
    if (at >= end) return;
  }
  gap(at, end);
}

// The y axis from 0 to top lines, with ticks and its label.
void YAxis(OutBuf* out, const BarLayout* at) {
  SvgAxis axis = {at->Top,  8,           kLeft, kLeft + at->PlotWidth,
                  at->Base, kPlotHeight, 18,    "lines in use"};
  SvgYAxis(out, &axis);
  SvgPrintf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"black\"/>\n", kLeft,
            at->PlotTop, kLeft, at->Base);
}

// The least length of the buckets that the range does not cut: no tick
// step is finer, so that bars of days get no hours and bars of months
// their month starts. The range's first and last may be cut short.
EventTime BucketLength(const BusyModel* b) {
  size_t n = b->Rows.size();
  EventTime least = 0;
  for (size_t i = n > 2 ? 1 : 0; i < (n > 2 ? n - 1 : n); ++i) {
    EventTime length = b->Rows[i].End - b->Rows[i].Start;
    if (least == 0 || length < least) least = length;
  }
  return least;
}

// Ticks on the local clock's hours, midnights, months or years under the
// bars, whatever the buckets' length, and the axis's caption.
void XAxis(AnswerOptions* opt, const BusyModel* b, OutBuf* out, const BarLayout* at) {
  SvgPrintf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"black\"/>\n", kLeft,
            at->Base, kLeft + at->PlotWidth, at->Base);
  if (!b->Rows.empty()) {
    TimeAxis axis;
    axis.From = b->Rows.front().Start;
    axis.To = b->Rows.back().End;
    axis.Length = at->PlotWidth;
    axis.CharWidth = kCharWidth;
    axis.Finest = BucketLength(b);
    TimeAxisTicks(&axis, &opt->Zone);
    for (int i = 0; i < axis.Count; ++i) axis.Tick[i].X = BucketX(b, at, axis.Tick[i].At);
    TimeAxisPlace(&axis, kLeft + at->PlotWidth + kRight);
    TimeAxisWrite(out, &axis, at->Base);
  }
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">%s</text>\n",
            kLeft + at->PlotWidth / 2, at->Base + 42, opt->Utc ? "UTC" : "local time");
}

// The bars of one bucket: the peak behind, the mean in front.
void Bar(OutBuf* out, const BusyFigures& f, double x, const BarLayout* at) {
  double peak = f.Peak / at->Top * kPlotHeight, mean = Mean(f) / at->Top * kPlotHeight;
  SvgPrintf(out, "<g><title>mean %.2f, peak %d</title>", Mean(f), f.Peak);
  SvgPrintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"/>", x,
            at->Base - peak, at->BarWidth, peak, kSvgPeak);
  SvgPrintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"/></g>\n",
            x, at->Base - mean, at->BarWidth, mean, kSvgMean);
}

// The level of a bucket's all-busy mark: 0 for none, else 1 to 4 by the
// quarter of its covered time that all N lines were busy.
int BusyLevel(const BusyFigures& f) {
  if (f.AllBusy <= 0 || f.Covered <= 0) return 0;
  return static_cast<int>(std::min<int64_t>(4, 1 + 4 * (f.AllBusy - 1) / f.Covered));
}

// The band above the plot over the buckets with all N lines busy for a
// while; neighbours of one level share one mark.
void BusyBand(const BusyModel* b, OutBuf* out, const BarLayout* at) {
  size_t n = b->Rows.size();
  for (size_t i = 0; i < n;) {
    int level = BusyLevel(b->Rows[i].Sum);
    size_t j = i + 1;
    while (j < n && BusyLevel(b->Rows[j].Sum) == level) ++j;
    SvgAllBusyBand(out, kLeft + static_cast<double>(i) * at->BarWidth,
                   kLeft + static_cast<double>(j) * at->BarWidth, at->PlotTop - 11, level);
    i = j;
  }
}

// The legend's keys: mean, peak, and where they are drawn the N line, the
// all-busy band and time not covered.
int BarKeys(const AnswerOptions* opt, bool gaps, char* lines, char* allBusy, size_t size,
            SvgKey* keys) {
  snprintf(lines, size, "%lld lines", static_cast<long long>(opt->Lines));
  snprintf(allBusy, size, "all %lld busy", static_cast<long long>(opt->Lines));
  int n = 0;
  keys[n++] = SvgKey{kSwatchBox, kSvgMean, "mean"};
  keys[n++] = SvgKey{kSwatchBox, kSvgPeak, "peak"};
  if (opt->Lines > 0) keys[n++] = SvgKey{kSwatchDash, kSvgLevel, lines};
  if (opt->Lines > 0) keys[n++] = SvgKey{kSwatchRamp, kSvgAllBusy, allBusy};
  if (gaps) keys[n++] = SvgKey{kSwatchBox, kSvgNotCovered, "not covered"};
  return n;
}

void Bars(AnswerOptions* opt, const BusyModel* b, OutBuf* out) {
  size_t n = b->Rows.size();
  BarLayout at = {};
  at.PlotWidth =
      static_cast<int>(std::min<size_t>(kMaxPlot, std::max<size_t>(kMinPlot, n * kBucketWidth)));
  at.BarWidth = n > 0 ? static_cast<double>(at.PlotWidth) / static_cast<double>(n) : at.PlotWidth;
  at.Top =
      std::max<double>(1, static_cast<double>(std::max<int64_t>(BusyTotal(b).Peak, opt->Lines)));
  bool gaps = false;
  // A gap of a few minutes among a month of hours is no key of the legend.
  EachGap(b, [&](EventTime from, EventTime to) {
    gaps = gaps || BucketX(b, &at, to) - BucketX(b, &at, from) >= 1;
  });
  char lines[48], allBusy[48];
  SvgKey keys[5];
  SvgLegendBox legend = {keys,       BarKeys(opt, gaps, lines, allBusy, sizeof lines, keys),
                         kLeft,      kLeft + at.PlotWidth + kRight,
                         kLegendTop, kCharWidth};
  at.PlotTop = kLegendTop + SvgLegendHeight(&legend) + (opt->Lines > 0 ? 14 : 6);
  at.Base = at.PlotTop + kPlotHeight;
  char desc[400];
  snprintf(desc, sizeof desc,
           "Mean (dark) and peak (light) lines in use per %s over the covered time; grey "
           "shading marks time no log covers.%s",
           BucketStepName(opt->Step),
           opt->Lines > 0 ? " The dashed line marks all lines of the pool; the red band above "
                            "the bars the time all of them were busy, darker for more."
                          : "");
  char title[64];
  snprintf(title, sizeof title, "Lines in use per %s", BucketStepName(opt->Step));
  Open(out, kLeft + at.PlotWidth + kRight, at.Base + kBottom, title, desc);
  SvgLegend(out, &legend);
  YAxis(out, &at);
  for (size_t i = 0; i < n; ++i) {
    const BusyFigures& f = b->Rows[i].Sum;
    if (f.Covered != 0) Bar(out, f, kLeft + static_cast<double>(i) * at.BarWidth, &at);
  }
  // Over the bars: a bucket partly covered shows its bar over the covered
  // part alone.
  EachGap(b, [&](EventTime from, EventTime to) {
    SvgNotCovered(out, BucketX(b, &at, from), BucketX(b, &at, to), at.PlotTop, at.Base, kCharWidth);
  });
  if (opt->Lines > 0) {
    SvgLevelLine(out, kLeft, kLeft + at.PlotWidth,
                 at.Base - static_cast<double>(opt->Lines) / at.Top * kPlotHeight, nullptr);
    BusyBand(b, out, &at);
  }
  XAxis(opt, b, out, &at);
}

// White to dark blue by share (0..1).
void Shade(double share, char* out, size_t size) {
  share = std::min(1.0, std::max(0.0, share));
  int r = static_cast<int>(255 - share * (255 - 8)), g = static_cast<int>(255 - share * (255 - 48)),
      bl = static_cast<int>(255 - share * (255 - 107));
  snprintf(out, size, "#%02x%02x%02x", r, g, bl);
}

// The shades from 0 to top lines under the map, and the grey of hours no
// log covers beside them when there are any.
void Legend(OutBuf* out, double top, int y, bool gaps) {
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">mean lines: 0</text>\n",
            kLeft + 2 * kCell - 6, y + 12);
  for (int i = 0; i <= 10; ++i) {
    char fill[8];
    Shade(i / 10.0, fill, sizeof fill);
    SvgPrintf(out, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"14\" fill=\"%s\"/>\n",
              kLeft + 2 * kCell + i * 16, y, 16, fill);
  }
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\">%g</text>\n", kLeft + 2 * kCell + 11 * 16 + 6, y + 12,
            top);
  if (!gaps) return;
  SvgKey key = {kSwatchBox, kSvgNotCovered, "not covered"};
  SvgLegendBox legend = {&key,  1,         kLeft + 2 * kCell + 11 * 16 + 60, kLeft + 24 * kCell,
                         y + 2, kCharWidth};
  SvgLegend(out, &legend);
}

// One row of the map: a day of the week, its 24 hours. Returns whether
// any of them no log covers.
bool HeatRow(OutBuf* out, const BusyFigures* slots, int d, double top) {
  bool gaps = false;
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>\n", kLeft - 6,
            kMapTop + d * kCell + kCell / 2 + 4, kDays[d]);
  for (int h = 0; h < 24; ++h) {
    const BusyFigures& f = slots[d * 24 + h];
    char fill[8];
    snprintf(fill, sizeof fill, "%s", kSvgNotCovered);
    if (f.Covered > 0) Shade(Mean(f) / top, fill, sizeof fill);
    gaps = gaps || f.Covered <= 0;
    SvgPrintf(out,
              "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\" stroke=\"white\">"
              "<title>%s %02d:00 ",
              kLeft + h * kCell, kMapTop + d * kCell, kCell, kCell, fill, kDays[d], h);
    if (f.Covered > 0) {
      SvgPrintf(out, "mean %.2f, peak %d</title></rect>\n", Mean(f), f.Peak);
    } else {
      OutText(out, "not covered</title></rect>\n");
    }
  }
  return gaps;
}

void HeatMap(AnswerOptions* opt, const BusyModel* b, OutBuf* out) {
  BusyFigures slots[168];
  BusyFoldSlots(b, 168, slots);
  double top = static_cast<double>(opt->Lines);
  for (const BusyFigures& f : slots) top = std::max(top, Mean(f));
  top = std::max(top, 1.0);
  int mapBottom = kMapTop + 7 * kCell;
  int width = kLeft + 24 * kCell + kRight, height = mapBottom + kBottom + 40;
  char desc[300];
  snprintf(desc, sizeof desc,
           "Mean lines in use for each hour of the week, averaged over the weeks covered; from "
           "white (0) to dark blue (%g lines%s); grey where no log covers that hour.",
           top, opt->Lines > 0 ? ", all lines of the pool" : "");
  Open(out, width, height, "Lines in use by hour of the week", desc);
  bool gaps = false;
  for (int d = 0; d < 7; ++d) gaps = HeatRow(out, slots, d, top) || gaps;
  for (int h = 0; h < 24; h += 3) {
    SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">%02d:00</text>\n",
              kLeft + h * kCell + kCell / 2, mapBottom + 18, h);
  }
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">hour of the day (%s)</text>\n",
            kLeft + 12 * kCell, mapBottom + 40, opt->Utc ? "UTC" : "local time");
  SvgPrintf(out,
            "<text transform=\"translate(18 %d) rotate(-90)\" text-anchor=\"middle\">day of the "
            "week</text>\n",
            kMapTop + 7 * kCell / 2);
  Legend(out, top, mapBottom + 52, gaps);
}

}  // namespace

int AnswerBusyChart(AnswerOptions* opt, OutBuf* out) {
  BusyModel b;
  int status = AnswerRunBusy(opt, opt->Step, &b);
  if (status != 0) return status;
  if (opt->WeekHour) {
    HeatMap(opt, &b, out);
  } else {
    Bars(opt, &b, out);
  }
  SvgClose(out);
  return 0;
}
