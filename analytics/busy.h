// Lines in use over time, exact to the second, folded into buckets of clock
// hours, days, weeks or months: covered seconds, line-seconds, peak,
// seconds with all lines busy, connects, and over the whole range the time
// at exactly k lines; each stretch of one count of lines told as it is
// folded, for the intervals with every line busy.
//
// The model's sessions arrive in the order they end, but a rebuilt session
// starts in the past, after later time has been seen. So the recent profile
// of lines in use is kept as breakpoints, and a rebuilt start raises every
// breakpoint from its start to now. Each breakpoint holds the change of
// lines at its time, so that raising a stretch is two changes, found in
// O(log Cap) however many breakpoints it spans: the steps' breakpoints are
// added at the end of a sorted list, those a rebuilt start puts between
// them go into an ordered tree of their own. Only when
// more than Cap breakpoints are kept are the oldest folded into the buckets
// (all of them at the end). The cap spans weeks of a busy pool, far more
// than a session lasts; a rebuilt start that still reaches before the
// folded horizon is counted from the horizon and reported in Short*, never
// silently. A change back in time (an accounting log's request that came
// late) is one such change, and one before the horizon is reported in
// Late*. Memory is O(buckets + Cap), whatever the size of the logs.
#ifndef VELMAR_ANALYTICS_BUSY_H
#define VELMAR_ANALYTICS_BUSY_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "analytics/filter.h"
#include "analytics/model.h"
#include "analytics/zone.h"

// A time later than any record, for ranges without an end.
const EventTime kForever = INT64_MAX / 4;
// A time earlier than any record, for ranges without a start.
const EventTime kAlways = -kForever;

// Breakpoints kept before the oldest are folded: 512 kB, and tree nodes of
// about 3 MB at most for those rebuilt starts made.
const size_t kProfileCap = static_cast<size_t>(1) << 16;
// Buckets one table may have.
const size_t kMaxBusyRows = 1000000;

// The figures of one bucket (or of a slot of several buckets).
struct BusyFigures {
  int64_t Covered;      // seconds some log covers, within the range
  int64_t LineSeconds;  // lines in use summed over the covered seconds
  int64_t AllBusy;      // covered seconds with at least Lines lines in use
  int32_t Peak;         // most lines in use during a covered second (0 when none)
  uint32_t Buckets;     // buckets with covered time that went into a slot
  uint64_t Connects;    // connect records in the range
};

// One bucket: a clock hour, a day, a week or a month, [Start, End).
struct BusyRow {
  EventTime Start;  // first second
  EventTime End;    // the next bucket's first second
  BusyFigures Sum;  // its figures
};

// Lines in use change by Change at this time (a breakpoint of the profile).
struct Breakpoint {
  uint32_t Time;   // seconds since 1970 (record times are 32-bit)
  int32_t Change;  // lines from then on, less those just before
};

// A span of time [From, To).
struct CoverSpan {
  EventTime From;  // first second
  EventTime To;    // one past the last
};

// The busy table being built. Set the settings with BusyInit; the model
// feeds it through BusyListener; BusyFinish completes it.
struct BusyModel {
  BucketStep Step;                     // bucket length
  EventTime Since;                     // the range: kAlways when not given
  EventTime Until;                     // kForever when not given
  int64_t Lines;                       // lines of the pool N, 0 when unknown
  size_t Cap;                          // breakpoints kept before folding
  size_t MaxRows;                      // buckets allowed; more sets Overflow
  ZoneCache* Zone;                     // the zone of the bucket edges
  std::vector<CoverSpan> Logs;         // per covered span of a history; To is kForever while read
  std::vector<CoverSpan> Covered;      // the union of Logs, sorted, disjoint
  std::deque<Breakpoint> Points;       // the profile not folded yet: the steps', in time order
  std::map<uint32_t, int32_t> Raised;  // ... and those rebuilt starts made: time -> change
  int32_t FrontLines;                  // lines in use from the first breakpoint on
  std::vector<BusyRow> Rows;           // the buckets, in time order
  size_t Cursor;                       // the bucket used last
  std::vector<int64_t> TimeAt;         // covered seconds at exactly k lines, over the range
  bool Overflow;                       // more than MaxRows buckets were needed
  uint64_t ShortSessions;              // rebuilt sessions that began before the horizon
  std::string ShortSession;            // the first of them: "USER on COMPUTER PORT"
  EventTime ShortStart;                // its rebuilt start
  EventTime ShortFrom;                 // the horizon it was counted from
  std::map<EventTime, uint32_t> EarlyConnects;  // connects before the coverage so far (at most
                                                // Cap times): a log that came late may cover them
  uint64_t LateChanges;         // changes back in time that reached before the horizon
  std::string LateSession;      // the session of the first: "USER on COMPUTER PORT"
  EventTime LateAt;             // its time
  EventTime LateFrom;           // the horizon it was counted from
  const SessionFilter* Filter;  // BusyFilteredListener: the sessions counted
  // Told each stretch [from, to) of covered time in the range at `lines`
  // lines in use, as it is folded: in time order, each second once (two
  // in a row may have the same lines). Null for none.
  void (*Run)(void* context, EventTime from, EventTime to, int32_t lines);
  void* RunContext;  // handed to Run
};

// Prepares an empty table, telling no stretches (Run null) and counting
// every session (Filter null). lines 0 leaves the all-busy figures out. A
// range so long that it needs more than MaxRows buckets whatever the zone
// (a bucket lasts at most an hour, two days for a day, eight for a week,
// 32 for a month) sets Overflow at once.
void BusyInit(BusyModel* b, BucketStep step, EventTime since, EventTime until, int64_t lines,
              ZoneCache* zone);

// A listener that feeds the model's events into b.
ModelListener BusyListener(BusyModel* b);

// A listener that feeds b only the sessions filter lets through (it must
// outlive the run): each as it ends, its time [Start, End) raised by one
// line as a rebuilt start is, its connect counted at its start. As exact
// as BusyListener for those sessions: the model tells sessions in the
// order they end, at the time of the record it is at.
ModelListener BusyFilteredListener(BusyModel* b, const SessionFilter* filter);

// Folds what is left, and makes the buckets reach to the end of the range
// (or of the coverage, when the range has no end). Call after the model ran.
void BusyFinish(BusyModel* b);

// Total figures of the table.
BusyFigures BusyTotal(const BusyModel* b);

// Folds the hourly buckets into slots: 168 for the hours of the week
// (Monday 00 first, slot = weekday * 24 + hour) or 24 for the clock hours,
// by the local time of each bucket's start. out gets `slots` entries.
void BusyFoldSlots(const BusyModel* b, int slots, BusyFigures* out);

#endif  // VELMAR_ANALYTICS_BUSY_H
