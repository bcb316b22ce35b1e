// The one SVG writer: what every chart of the program is drawn with, the
// web page's and velmar-log's alike, written to an OutBuf. A chart is
// plain SVG that opens with a <title> and a <desc>, holds no script and
// refers to nothing outside itself. Texts are escaped, so that neither a
// form field nor a log record can put markup into a chart; coordinates go
// out with the precision each call's format names.
#ifndef VELMAR_CHARTS_SVG_H
#define VELMAR_CHARTS_SVG_H

#include "answers/outbuf.h"

// The colours every chart gives the same figures.
const char* const kSvgPeak = "#9ecae1";        // the most lines in use
const char* const kSvgMean = "#2171b5";        // the time-weighted mean lines in use
const char* const kSvgAllBusy = "#fb6a4a";     // time with every line busy
const char* const kSvgLevel = "#cb181d";       // the dashed line at all lines of the pool
const char* const kSvgNotCovered = "#d9d9d9";  // time no log covers

// Where a chart stands.
enum SvgPlacement {
  kSvgInline,  // in a web page: shown 5/4 as large as its view box, scaled down to
               // a narrower screen, font size 14, a bold heading at the top left
  kSvgFile,    // a file of its own: the XML declaration, drawn at its size on white,
               // font size 12, the heading over the plot
};

// The opening of a chart.
struct SvgChart {
  SvgPlacement Placement;  // in a page or a file of its own
  int Width;               // the view box's width
  int Height;              // and height
  const char* Title[5];    // the <title>'s texts, one after another; nulls are left out
  const char* Desc;        // the <desc>: what the chart shows, in words
  const char* Heading;     // the visible heading
  int HeadingX;            // kSvgFile: where the heading starts (the plot's left edge)
};

// A y axis from 0 to Top over a plot whose bottom is at Base: grid lines
// and their labels at round steps (SvgTickStep), and a caption turned on
// its side at CaptionX, halfway up.
struct SvgAxis {
  double Top;           // the value at the plot's top, above 0
  int Most;             // most steps of the grid
  int Left;             // the plot's left edge, where the labels end
  int Right;            // its right edge
  int Base;             // its bottom: 0
  int Height;           // its height: Top
  int CaptionX;         // the caption's x
  const char* Caption;  // what the axis counts
};

// Writes text (null counts as empty) with '&', '<', '>' and '"' as
// entities, as an HTML page or an SVG file may hold it.
void SvgText(OutBuf* out, const char* text);

// Writes markup as printf formats it. A text from outside goes through
// SvgText, never through a %s here.
void SvgPrintf(OutBuf* out, const char* format, ...);

// Opens a chart: the <svg> element for its placement and size, its
// <title> (the texts of Title in order), its <desc> and its heading, each
// escaped, each element on a line of its own. SvgClose ends it.
void SvgOpen(OutBuf* out, const SvgChart* chart);

// Ends the chart SvgOpen opened: "</svg>" and a line end.
void SvgClose(OutBuf* out);

// The step between an axis's ticks from 0 to top: a round step (1, 2 or 5
// times a power of ten) that gives at most `most` steps.
double SvgTickStep(double top, int most);

// Writes the y axis: for each step from 0 to the top a grey grid line
// across the plot and its value at the left, then the caption.
void SvgYAxis(OutBuf* out, const SvgAxis* axis);

// A dashed red line across the plot from left to right at height y, the
// level of every line in use, with label ("8 ports") at its right end
// unless label is null (a legend names it).
void SvgLevelLine(OutBuf* out, int left, int right, double y, const char* label);

// What a legend's key shows beside its name.
enum SvgSwatch {
  kSwatchBox,   // a box of the colour
  kSwatchDash,  // a dashed line of the colour
  kSwatchRamp,  // four boxes of the colour, from a quarter to full strength
};

// One key of a legend.
struct SvgKey {
  SvgSwatch Swatch;    // how its figure is drawn
  const char* Colour;  // in which colour
  const char* Name;    // what it is, escaped when written
};

// A legend: keys in rows of 16 units from (Left, Top), each a swatch and
// its name, a new row begun where a key would pass Right.
struct SvgLegendBox {
  const SvgKey* Keys;  // the keys, in order
  int Count;           // how many
  int Left;            // where each row starts
  int Right;           // what no key passes, unless it stands alone in its row
  int Top;             // the first row's top
  double CharWidth;    // the width a byte of a name is taken to have
};

// The height of the legend's rows, 16 units each.
int SvgLegendHeight(const SvgLegendBox* legend);

// Writes the legend's keys.
void SvgLegend(OutBuf* out, const SvgLegendBox* legend);

// Shades [x0, x1) of a plot, from top to bottom, as time no log covers,
// and writes "not covered" across it where that fits (a character being
// charWidth wide).
void SvgNotCovered(OutBuf* out, double x0, double x1, int top, int bottom, double charWidth);

// Marks [x0, x1) of the band from y to y + 8 above a plot with the time
// every line was busy, at level 1 to 4: up to a quarter of the time the
// stretch stands for, up to a half, three quarters, or more, drawn in the
// strengths of a ramp key (kSwatchRamp) of kSvgAllBusy.
void SvgAllBusyBand(OutBuf* out, double x0, double x1, int y, int level);

#endif  // VELMAR_CHARTS_SVG_H
