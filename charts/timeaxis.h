// The time axis of a chart: ticks on the local clock's and calendar's own
// boundaries (whole hours below two days, midnights from two days on,
// month starts beyond a few months, years beyond that), at the finest step
// whose labels fit side by side, and short labels ("14:00", "Dec 7",
// "Dec", "2027") placed so that none overlaps another or runs past the
// chart's edges.
#ifndef VELMAR_CHARTS_TIMEAXIS_H
#define VELMAR_CHARTS_TIMEAXIS_H

#include "analytics/zone.h"
#include "answers/outbuf.h"

#define TIME_AXIS_TICKS 64  // most ticks of one axis

// One tick of the axis.
struct TimeTick {
  EventTime At;    // the instant: a local hour, midnight, month or year start
  double X;        // where it stands along the chart, set by the caller
  double LabelX;   // the middle of its label, kept inside the chart (TimeAxisPlace)
  bool Labelled;   // its label is drawn: it overlaps no label before it
  char Label[12];  // "14:00", "Dec 7" (a midnight), "Dec", "2027" (a January)
};

// An axis over the instants [From, To], both ends included.
struct TimeAxis {
  EventTime From;                  // the axis's first instant
  EventTime To;                    // and its last
  double Length;                   // its length in the chart's units
  double CharWidth;                // the widest a label's character is drawn, in those units
  EventTime Finest;                // no step is much shorter: a bucket's length (0: any)
  int Count;                       // ticks, 0 to TIME_AXIS_TICKS
  TimeTick Tick[TIME_AXIS_TICKS];  // in time order
};

// Sets the ticks of axis (From, To, Length, CharWidth and Finest set; To
// after From) in the zone's local time: the finest step of whole hours (1,
// 2, 3, 6 or 12) for a span under two days, of days (1, 2, a week from
// Monday, two weeks) under about four months, of months (1, 2, 3 or 6,
// from January) under about eight years, else of years, whose labels,
// spread evenly over Length, leave a gap of a character between them, and
// none much shorter than Finest (so that bars of days get no hours, bars of
// months their month starts). Each tick gets At and Label; X is the
// caller's to set.
void TimeAxisTicks(TimeAxis* axis, ZoneCache* zone);

// Places the labels of ticks whose X is set, on a chart `width` units
// wide: each centred under its tick but moved inward where it would run
// past an edge, and drawn only when it keeps a gap of a character from the
// last label drawn before it.
void TimeAxisPlace(TimeAxis* axis, double width);

// Writes each tick as a mark from y down 5 units, and the labels drawn
// (TimeAxisPlace) with their baseline at y + 18, in the chart's own font.
void TimeAxisWrite(OutBuf* out, const TimeAxis* axis, int y);

#endif  // VELMAR_CHARTS_TIMEAXIS_H
