// The web page's charts: after the report's last line the preformatted
// block is closed and inline SVG follows, drawn with the one SVG writer:
// no script and nothing from outside. Each chart carries a <title> with
// the report's titles and a <desc>, its texts escaped as the page's are,
// and scales down to the width of the screen.
#ifndef VELMAR_CHARTS_PAGECHARTS_H
#define VELMAR_CHARTS_PAGECHARTS_H

#include <cstdint>

#include "answers/outbuf.h"
#include "charts/chart.h"

// The report's figures every chart reads besides its own.
struct ChartFrame {
  const char* Title1;         // the report's first title, or null
  const char* Title2;         // its second title (null counts as empty)
  bool LevelBars;             // the time at exactly k lines as bars (general statistics)
  const EventTime* LineTime;  // seconds with exactly k lines in use, k from 0
  int32_t LineSlots;          // entries of LineTime; the last holds any more lines too
  EventTime TotalTime;        // the report's seconds, from the window's start
  int32_t PortCount;          // the ports, or without the port table the most lines in use
  bool Ports;                 // the port table exists: PortCount is the ports
};

// Writes "</pre>" and a line end, then the charts as SVG elements, each on
// its own lines: lines in use over the window as a step chart (the peak and
// the time-weighted mean of each column, the port count as a level line,
// columns with every port busy shaded when the port table exists); with
// LevelBars the time at exactly k lines, 0 to PortCount (at most
// LineSlots - 1), as bars; with the heat map the mean lines in use by hour
// of the day and day. Times are local, under the report's zone.
void WriteCharts(OutBuf* out, const ChartFrame* frame, ChartData* chart);

#endif  // VELMAR_CHARTS_PAGECHARTS_H
