// The web page's charts: a section of inline SVG ahead of the report,
// drawn with the one SVG writer: no script and nothing from outside. Each
// chart carries a <title> with the report's titles and a <desc>, its texts
// escaped as the page's are, names every figure it draws in a legend, and
// scales down to the width of the screen.
#ifndef VELMAR_CHARTS_PAGECHARTS_H
#define VELMAR_CHARTS_PAGECHARTS_H

#include <cstdint>

#include "answers/outbuf.h"
#include "charts/chart.h"

#define CHART_NOTES 2  // notes on the log's coverage a page may carry

// The report's figures every chart reads besides its own.
struct ChartFrame {
  const char* Title1;              // the report's first title, or null
  const char* Title2;              // its second title (null counts as empty)
  bool LevelBars;                  // the time at exactly k lines as bars (general statistics)
  EventTime TotalTime;             // the report's seconds, from the window's start
  int32_t PortCount;               // the ports, or without the port table the most lines in use
  bool Ports;                      // the port table exists: PortCount is the ports
  const char* Notes[CHART_NOTES];  // what the report says of the log's coverage, or nulls
};

// Writes the charts' section: '<div id="charts">', a link to the report
// ("#report"), each note in a paragraph of its own, escaped, then the
// charts as SVG elements, each on its own lines, and "</div>". The charts:
// lines in use over the window as a step chart (the peak and the
// time-weighted mean of each column, the port count as a level line, with
// the port table a band marking the time every port was busy), time no
// log covers shaded and labelled; with LevelBars the time at exactly k
// lines, 0 to PortCount, as shares of TotalTime, beside the share not
// covered; with the heat map the mean lines in use by hour of the day and
// day, grey where no time is covered. Times are local, under the report's
// zone.
void WriteCharts(OutBuf* out, const ChartFrame* frame, ChartData* chart);

#endif  // VELMAR_CHARTS_PAGECHARTS_H
