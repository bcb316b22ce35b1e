// The busy table as a standalone SVG chart: bars of the mean and the peak
// lines in use per bucket with the pool's N lines marked, or for the hours
// of the week a 7 x 24 heat map of the mean.
#include "charts/busychart.h"

#include <algorithm>
#include <cstdio>

#include "charts/svg.h"

namespace {

const int kLeft = 70, kRight = 30, kTop = 50, kBottom = 60;
const int kPlotHeight = 300;
const int kCell = 28;  // heat map cell

const char* const kDays[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

double Mean(const BusyFigures& f) {
  return f.Covered > 0 ? static_cast<double>(f.LineSeconds) / static_cast<double>(f.Covered) : 0.0;
}

void Open(OutBuf* out, int width, int height, const char* title, const char* desc) {
  SvgChart chart = {kSvgFile, width, height, {title}, desc, title, kLeft};
  SvgOpen(out, &chart);
}

// The y axis from 0 to top lines, with ticks and its label.
void YAxis(OutBuf* out, double top, int plotWidth) {
  SvgAxis axis = {top,         8,  kLeft,         kLeft + plotWidth, kTop + kPlotHeight,
                  kPlotHeight, 18, "lines in use"};
  SvgYAxis(out, &axis);
  SvgPrintf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"black\"/>\n", kLeft, kTop,
            kLeft, kTop + kPlotHeight);
}

// Labels under about eight of the buckets, and the x axis.
void XAxis(AnswerOptions* opt, const BusyModel* b, OutBuf* out, double barWidth, int plotWidth) {
  size_t n = b->Rows.size(), every = std::max<size_t>(1, (n + 7) / 8);
  int y = kTop + kPlotHeight;
  SvgPrintf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"black\"/>\n", kLeft, y,
            kLeft + plotWidth, y);
  for (size_t i = 0; i < n; i += every) {
    char when[kIsoTextSize];
    ZoneFormat(&opt->Zone, b->Rows[i].Start, when);
    when[opt->Step == kStepHour ? 16 : 10] = '\0';
    double x = kLeft + static_cast<double>(i) * barWidth;
    SvgPrintf(out, "<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"black\"/>\n", x, y,
              x, y + 5);
    SvgPrintf(out, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%s</text>\n", x, y + 20, when);
  }
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">%s start (local time)</text>\n",
            kLeft + plotWidth / 2, y + 45, BucketStepName(opt->Step));
}

// The bars of one bucket: the peak behind, the mean in front.
void Bar(OutBuf* out, const BusyFigures& f, double x, double barWidth, double top) {
  double base = kTop + kPlotHeight;
  double peak = f.Peak / top * kPlotHeight, mean = Mean(f) / top * kPlotHeight;
  SvgPrintf(out, "<g><title>mean %.2f, peak %d</title>", Mean(f), f.Peak);
  SvgPrintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"#9ecae1\"/>", x,
            base - peak, barWidth, peak);
  SvgPrintf(out,
            "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"#08519c\"/></g>\n",
            x, base - mean, barWidth, mean);
}

void Bars(AnswerOptions* opt, const BusyModel* b, OutBuf* out) {
  size_t n = b->Rows.size();
  int plotWidth = static_cast<int>(std::min<size_t>(2400, std::max<size_t>(600, n * 6)));
  double barWidth = n > 0 ? static_cast<double>(plotWidth) / static_cast<double>(n) : plotWidth;
  double top =
      std::max<double>(1, static_cast<double>(std::max<int64_t>(BusyTotal(b).Peak, opt->Lines)));
  char desc[300];
  snprintf(desc, sizeof desc,
           "Mean (dark) and peak (light) lines in use per %s over the covered time; buckets no "
           "log covers are left empty.%s",
           BucketStepName(opt->Step),
           opt->Lines > 0 ? " The dashed line marks all lines of the pool busy." : "");
  char title[64];
  snprintf(title, sizeof title, "Lines in use per %s", BucketStepName(opt->Step));
  Open(out, kLeft + plotWidth + kRight, kTop + kPlotHeight + kBottom, title, desc);
  YAxis(out, top, plotWidth);
  for (size_t i = 0; i < n; ++i) {
    const BusyFigures& f = b->Rows[i].Sum;
    if (f.Covered != 0) Bar(out, f, kLeft + static_cast<double>(i) * barWidth, barWidth, top);
  }
  if (opt->Lines > 0) {
    char label[32];
    snprintf(label, sizeof label, "%lld lines", static_cast<long long>(opt->Lines));
    SvgLevelLine(out, kLeft, kLeft + plotWidth,
                 kTop + kPlotHeight - static_cast<double>(opt->Lines) / top * kPlotHeight, label);
  }
  XAxis(opt, b, out, barWidth, plotWidth);
}

// White to dark blue by share (0..1).
void Shade(double share, char* out, size_t size) {
  share = std::min(1.0, std::max(0.0, share));
  int r = static_cast<int>(255 - share * (255 - 8)), g = static_cast<int>(255 - share * (255 - 48)),
      bl = static_cast<int>(255 - share * (255 - 107));
  snprintf(out, size, "#%02x%02x%02x", r, g, bl);
}

// The shades from 0 to top lines, under the map.
void Legend(OutBuf* out, double top, int y) {
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
}

// One row of the map: a day of the week, its 24 hours.
void HeatRow(OutBuf* out, const BusyFigures* slots, int d, double top) {
  SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>\n", kLeft - 6,
            kTop + d * kCell + kCell / 2 + 4, kDays[d]);
  for (int h = 0; h < 24; ++h) {
    const BusyFigures& f = slots[d * 24 + h];
    char fill[8] = "#cccccc";
    if (f.Covered > 0) Shade(Mean(f) / top, fill, sizeof fill);
    SvgPrintf(out,
              "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\" stroke=\"white\">"
              "<title>%s %02d:00 mean %.2f, peak %d</title></rect>\n",
              kLeft + h * kCell, kTop + d * kCell, kCell, kCell, fill, kDays[d], h, Mean(f),
              f.Peak);
  }
}

void HeatMap(AnswerOptions* opt, const BusyModel* b, OutBuf* out) {
  BusyFigures slots[168];
  BusyFoldSlots(b, 168, slots);
  double top = static_cast<double>(opt->Lines);
  for (const BusyFigures& f : slots) top = std::max(top, Mean(f));
  top = std::max(top, 1.0);
  int width = kLeft + 24 * kCell + kRight, height = kTop + 7 * kCell + kBottom + 40;
  char desc[300];
  snprintf(desc, sizeof desc,
           "Mean lines in use for each hour of the week, averaged over the weeks covered; from "
           "white (0) to dark blue (%g lines%s); grey where no log covers that hour.",
           top, opt->Lines > 0 ? ", all lines of the pool" : "");
  Open(out, width, height, "Lines in use by hour of the week", desc);
  for (int d = 0; d < 7; ++d) HeatRow(out, slots, d, top);
  for (int h = 0; h < 24; h += 3) {
    SvgPrintf(out, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">%02d:00</text>\n",
              kLeft + h * kCell + kCell / 2, kTop + 7 * kCell + 18, h);
  }
  SvgPrintf(out,
            "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">hour of the day (local time)</text>\n",
            kLeft + 12 * kCell, kTop + 7 * kCell + 40);
  SvgPrintf(out,
            "<text transform=\"translate(18 %d) rotate(-90)\" text-anchor=\"middle\">day of the "
            "week</text>\n",
            kTop + 7 * kCell / 2);
  Legend(out, top, kTop + 7 * kCell + 52);
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
