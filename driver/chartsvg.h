// The web page's charts: after the report's last line the preformatted
// block is closed and inline SVG follows, with no script and nothing from
// outside. Each chart carries a <title> with the report's titles and a
// <desc>, its texts escaped as the page's are, and scales down to the
// width of the screen.
#ifndef VELMAR_DRIVER_CHARTSVG_H
#define VELMAR_DRIVER_CHARTSVG_H

#include <cstdio>

#include "charts/chart.h"
#include "driver/options.h"
#include "driver/scan.h"

// The figures every chart reads besides its own.
struct ChartFrame {
  const ReportOptions* Options;  // the titles, and GeneralStats for the bars
  const ScanState* Scan;         // LineTime, TotalTime and PortCount
  bool Ports;                    // the port table exists: PortCount is the ports
};

// Writes "</pre>" and a line end, then the charts as SVG elements, each on
// its own lines: lines in use over the window as a step chart (the peak and
// the time-weighted mean of each column, the port count as a level line,
// columns with every port busy shaded when the port table exists); with
// GeneralStats the time at exactly k lines as bars; with the heat map the
// mean lines in use by hour of the day and day.
void WriteCharts(FILE* out, const ChartFrame* frame, ChartData* chart);

#endif  // VELMAR_DRIVER_CHARTSVG_H
