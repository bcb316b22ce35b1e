// The busy table: the profile of lines in use as breakpoints, folded
// oldest first into buckets, cut at the range's edges, the coverage and the
// bucket edges.
#include "analytics/busy.h"

#include <algorithm>
#include <iterator>

namespace {

const size_t kNoRow = static_cast<size_t>(-1);

// ---- Coverage ------------------------------------------------------------

void MergeCoverage(BusyModel* b) {
  std::vector<CoverSpan> spans;
  for (const CoverSpan& s : b->Logs) {
    if (s.From < s.To) spans.push_back(s);
  }
  std::sort(spans.begin(), spans.end(),
            [](const CoverSpan& x, const CoverSpan& y) { return x.From < y.From; });
  b->Covered.clear();
  for (const CoverSpan& s : spans) {
    if (!b->Covered.empty() && s.From <= b->Covered.back().To) {
      b->Covered.back().To = std::max(b->Covered.back().To, s.To);
    } else {
      b->Covered.push_back(s);
    }
  }
}

// The first second the table is about: the range's start, else the
// earliest coverage.
EventTime Origin(const BusyModel* b) {
  if (b->Since != kAlways) return b->Since;
  EventTime first = kForever;
  for (const CoverSpan& s : b->Logs) {
    if (s.From < s.To && s.From < first) first = s.From;
  }
  return first;
}

// ---- Buckets -------------------------------------------------------------

bool Holds(const BusyRow& row, EventTime t) {
  return t >= row.Start && t < row.End;
}

// Adds buckets until the last one ends after t. False when that would pass
// MaxRows.
bool GrowTo(BusyModel* b, EventTime t) {
  if (b->Rows.empty()) {
    EventTime origin = Origin(b);
    if (origin >= kForever) return false;
    EventTime start = ZoneBucketStart(b->Zone, b->Step, origin);
    b->Rows.push_back(BusyRow{start, ZoneBucketEnd(b->Zone, b->Step, start), BusyFigures{}});
  }
  while (b->Rows.back().End <= t) {
    if (b->Rows.size() >= b->MaxRows) {
      b->Overflow = true;
      return false;
    }
    EventTime start = b->Rows.back().End;
    b->Rows.push_back(BusyRow{start, ZoneBucketEnd(b->Zone, b->Step, start), BusyFigures{}});
  }
  return true;
}

// Adds buckets before the first until one holds t, when t lies within the
// range and the coverage known now (a log that began earlier came late).
// False when it can't.
bool GrowBack(BusyModel* b, EventTime t) {
  if (t < Origin(b)) return false;
  std::vector<BusyRow> before;
  EventTime start = b->Rows.front().Start;
  while (t < start) {
    if (b->Rows.size() + before.size() >= b->MaxRows) {
      b->Overflow = true;
      return false;
    }
    EventTime earlier = ZoneBucketStart(b->Zone, b->Step, start - 1);
    before.push_back(BusyRow{earlier, start, BusyFigures{}});
    start = earlier;
  }
  b->Rows.insert(b->Rows.begin(), before.rbegin(), before.rend());
  b->Cursor += before.size();
  return true;
}

// The bucket that holds t, made when needed; kNoRow before the first bucket
// or past MaxRows.
size_t RowFor(BusyModel* b, EventTime t) {
  if (!GrowTo(b, t)) return kNoRow;
  if (t < b->Rows.front().Start && !GrowBack(b, t)) return kNoRow;
  if (b->Cursor < b->Rows.size() && Holds(b->Rows[b->Cursor], t)) return b->Cursor;
  if (Holds(b->Rows.back(), t)) return b->Rows.size() - 1;
  std::vector<BusyRow>::iterator it = std::upper_bound(
      b->Rows.begin(), b->Rows.end(), t, [](EventTime x, const BusyRow& r) { return x < r.Start; });
  b->Cursor = static_cast<size_t>(it - b->Rows.begin()) - 1;
  return b->Cursor;
}

void AddFigures(BusyFigures* f, int64_t seconds, int32_t lines, int64_t allLines) {
  f->Covered += seconds;
  f->LineSeconds += seconds * lines;
  if (allLines > 0 && lines >= allLines) f->AllBusy += seconds;
  if (lines > f->Peak) f->Peak = lines;
}

// Covered time [from, to) inside the range, at `lines` lines.
void AddCovered(BusyModel* b, EventTime from, EventTime to, int32_t lines) {
  if (b->Run != nullptr) b->Run(b->RunContext, from, to, lines);
  if (b->TimeAt.size() <= static_cast<size_t>(lines))
    b->TimeAt.resize(static_cast<size_t>(lines) + 1, 0);
  b->TimeAt[static_cast<size_t>(lines)] += to - from;
  size_t row = RowFor(b, from);
  while (row != kNoRow && from < to) {
    BusyRow& r = b->Rows[row];
    EventTime cut = std::min(to, r.End);
    AddFigures(&r.Sum, cut - from, lines, b->Lines);
    from = cut;
    b->Cursor = row;
    row = from < to ? RowFor(b, from) : kNoRow;
  }
}

// Time [from, to) at `lines` lines, as far as it is in the range and covered.
void FoldRun(BusyModel* b, EventTime from, EventTime to, int32_t lines) {
  from = std::max(from, b->Since);
  to = std::min(to, b->Until);
  for (const CoverSpan& s : b->Covered) {
    EventTime x = std::max(from, s.From), y = std::min(to, s.To);
    if (x < y) AddCovered(b, x, y, lines);
  }
}

// ---- Profile -------------------------------------------------------------
//
// The breakpoints lie in two sorted sets: Points, those the steps made (in
// time order, added at the end), and Raised, those a rebuilt start put
// between them. Each holds the change of lines at its time; the lines from
// a breakpoint on are FrontLines plus the changes after the first up to it
// (the first's own change is not used). The two never share a time, and
// the last breakpoint is always the last of Points.

size_t PointCount(const BusyModel* b) {
  return b->Points.size() + b->Raised.size();
}

// The time of the first breakpoint: the horizon.
EventTime FrontTime(const BusyModel* b) {
  if (b->Raised.empty()) return b->Points.front().Time;
  return std::min<EventTime>(b->Points.front().Time, b->Raised.begin()->first);
}

// Folds [first breakpoint, next one) at FrontLines; the next becomes first.
void FoldFront(BusyModel* b) {
  bool pointFirst = b->Raised.empty() || b->Points.front().Time < b->Raised.begin()->first;
  EventTime from = FrontTime(b);
  if (pointFirst) {
    b->Points.pop_front();
  } else {
    b->Raised.erase(b->Raised.begin());
  }
  bool pointNext = b->Raised.empty() ||
                   (!b->Points.empty() && b->Points.front().Time < b->Raised.begin()->first);
  int32_t* change = pointNext ? &b->Points.front().Change : &b->Raised.begin()->second;
  FoldRun(b, from, FrontTime(b), b->FrontLines);
  b->FrontLines += *change;
  *change = 0;
}

void FoldExcess(BusyModel* b) {
  while (PointCount(b) > b->Cap && PointCount(b) >= 2) FoldFront(b);
}

// Makes the last breakpoint lie at t (not before the last one).
void PointAt(BusyModel* b, EventTime t) {
  if (b->Points.back().Time < t) b->Points.push_back(Breakpoint{static_cast<uint32_t>(t), 0});
}

// Adds delta to the change at the breakpoint of time t, which is the first
// or lies in Points or in Raised (made there when it lies in neither).
void Raise(BusyModel* b, EventTime t, int32_t delta) {
  if (t == FrontTime(b)) {
    b->FrontLines += delta;
    return;
  }
  std::deque<Breakpoint>::iterator it = std::lower_bound(
      b->Points.begin(), b->Points.end(), t,
      [](const Breakpoint& p, EventTime x) { return static_cast<EventTime>(p.Time) < x; });
  if (it != b->Points.end() && it->Time == t) {
    it->Change += delta;
  } else {
    b->Raised[static_cast<uint32_t>(t)] += delta;
  }
}

// Drops the last breakpoint, which changes nothing. The last one left is
// kept in Points: a rebuilt start's, when it lies after the new end there.
void DropLast(BusyModel* b) {
  b->Points.pop_back();
  if (b->Raised.empty()) return;
  std::map<uint32_t, int32_t>::iterator last = std::prev(b->Raised.end());
  if (!b->Points.empty() && b->Points.back().Time > last->first) return;
  b->Points.push_back(Breakpoint{last->first, last->second});
  b->Raised.erase(last);
}

void OnStep(void* context, EventTime t, int delta) {
  BusyModel* b = static_cast<BusyModel*>(context);
  PointAt(b, t);
  if (PointCount(b) == 1) {
    b->FrontLines += delta;
  } else {
    b->Points.back().Change += delta;
    if (b->Points.back().Change == 0) DropLast(b);
  }
  FoldExcess(b);
}

// Notes a rebuilt start before the horizon: its time before it is lost.
void NoteShort(BusyModel* b, EventTime from, EventTime horizon, const Session* s) {
  if (b->ShortSessions++ > 0) return;
  b->ShortSession = std::string(s->User) + " on " + s->Computer + " " + s->Port;
  b->ShortStart = from;
  b->ShortFrom = horizon;
}

// One more line on [from, to), to being the last breakpoint's time: the
// change at from goes up by one and the change at to down by one, so every
// breakpoint between is raised without being visited, each change found in
// O(log n).
void OnPast(void* context, EventTime from, EventTime to, const Session* s) {
  BusyModel* b = static_cast<BusyModel*>(context);
  EventTime horizon = FrontTime(b);
  if (from < horizon) {
    NoteShort(b, from, horizon, s);
    from = horizon;
  }
  if (from >= to) return;
  PointAt(b, to);
  Raise(b, from, 1);
  b->Points.back().Change -= 1;
  FoldExcess(b);
}

// Notes a change back in time before the horizon: its time before it is
// lost.
void NoteLate(BusyModel* b, EventTime at, EventTime horizon, const Session* s) {
  if (b->LateChanges++ > 0) return;
  b->LateSession = std::string(s->User) + " on " + s->Computer + " " + s->Port;
  b->LateAt = at;
  b->LateFrom = horizon;
}

// Lines change by delta from t on, t before the last breakpoint: the change
// at t alone, found in O(log n), moves every breakpoint after it.
void OnBack(void* context, EventTime t, int delta, const Session* s) {
  BusyModel* b = static_cast<BusyModel*>(context);
  if (t >= static_cast<EventTime>(b->Points.back().Time)) {
    OnStep(context, t, delta);
    return;
  }
  EventTime horizon = FrontTime(b);
  if (t < horizon) {
    NoteLate(b, t, horizon, s);
    t = horizon;
  }
  Raise(b, t, delta);
  FoldExcess(b);
}

void OnConnect(void* context, EventTime t) {
  BusyModel* b = static_cast<BusyModel*>(context);
  if (t < b->Since || t >= b->Until) return;
  if (t < Origin(b)) {
    // Before any time covered so far: a log that came late may cover it
    // yet (OnCovers counts it then), else it is outside, as in time order.
    if (b->EarlyConnects.size() < b->Cap) ++b->EarlyConnects[t];
    return;
  }
  size_t row = RowFor(b, t);
  if (row != kNoRow) ++b->Rows[row].Sum.Connects;
}

// A session of the filter's, as it ends: its connect and its time.
void OnFilteredEnded(void* context, const Session* s) {
  BusyModel* b = static_cast<BusyModel*>(context);
  if (!FilterMatches(b->Filter, s)) return;
  if (s->Started == kStartConnect) OnConnect(b, s->Start);
  if (s->Start >= s->End) return;
  if (s->End >= static_cast<EventTime>(b->Points.back().Time)) {
    OnPast(b, s->Start, s->End, s);
  } else {
    // An accounting log's session that ended before one told already.
    OnBack(b, s->Start, 1, s);
    OnBack(b, s->End, -1, s);
  }
}

void OnCovers(void* context, int span, EventTime first, bool empty) {
  BusyModel* b = static_cast<BusyModel*>(context);
  if (b->Logs.size() <= static_cast<size_t>(span))
    b->Logs.resize(static_cast<size_t>(span) + 1, CoverSpan{0, 0});
  b->Logs[static_cast<size_t>(span)] = empty ? CoverSpan{0, 0} : CoverSpan{first, kForever};
  MergeCoverage(b);
  EventTime origin = Origin(b);
  while (!b->EarlyConnects.empty() && std::prev(b->EarlyConnects.end())->first >= origin) {
    std::map<EventTime, uint32_t>::iterator last = std::prev(b->EarlyConnects.end());
    size_t row = RowFor(b, last->first);
    if (row != kNoRow) b->Rows[row].Sum.Connects += last->second;
    b->EarlyConnects.erase(last);
  }
}

void OnDone(void* context, int span, EventTime last) {
  BusyModel* b = static_cast<BusyModel*>(context);
  b->Logs[static_cast<size_t>(span)].To = last;
  MergeCoverage(b);
}

// Adds a bucket's figures to a sum of buckets.
void AddBucket(BusyFigures* sum, const BusyFigures& bucket) {
  sum->Covered += bucket.Covered;
  sum->LineSeconds += bucket.LineSeconds;
  sum->AllBusy += bucket.AllBusy;
  sum->Peak = std::max(sum->Peak, bucket.Peak);
  sum->Buckets += bucket.Covered > 0;
  sum->Connects += bucket.Connects;
}

}  // namespace

void BusyInit(BusyModel* b, BucketStep step, EventTime since, EventTime until, int64_t lines,
              ZoneCache* zone) {
  b->Step = step;
  b->Since = since;
  b->Until = until;
  b->Lines = lines;
  b->Cap = kProfileCap;
  b->MaxRows = kMaxBusyRows;
  b->Zone = zone;
  b->Logs.clear();
  b->Covered.clear();
  b->Points.assign(1, Breakpoint{0, 0});
  b->Raised.clear();
  b->FrontLines = 0;
  b->Rows.clear();
  b->Cursor = 0;
  b->TimeAt.clear();
  // A bucket lasts an hour at most, a day less than two (a zone that set
  // its clock back a whole day showed one date twice), a week or a month
  // a day more than its days at most.
  const EventTime kLongest[] = {3600, 2 * 86400, 8 * 86400, 32 * 86400};
  EventTime longest = kLongest[step];
  b->Overflow = since != kAlways && until != kForever &&
                (until - since) / longest > static_cast<EventTime>(b->MaxRows);
  b->ShortSessions = 0;
  b->ShortSession.clear();
  b->ShortStart = b->ShortFrom = 0;
  b->LateChanges = 0;
  b->EarlyConnects.clear();
  b->LateSession.clear();
  b->LateAt = b->LateFrom = 0;
  b->Filter = nullptr;
  b->Run = nullptr;
  b->RunContext = nullptr;
}

ModelListener BusyListener(BusyModel* b) {
  ModelListener l = {};
  l.Context = b;
  l.Covers = OnCovers;
  l.Step = OnStep;
  l.Past = OnPast;
  l.Back = OnBack;
  l.Connect = OnConnect;
  l.Done = OnDone;
  return l;
}

ModelListener BusyFilteredListener(BusyModel* b, const SessionFilter* filter) {
  b->Filter = filter;
  ModelListener l = {};
  l.Context = b;
  l.Covers = OnCovers;
  l.Ended = OnFilteredEnded;
  l.Done = OnDone;
  return l;
}

void BusyFinish(BusyModel* b) {
  while (PointCount(b) >= 2) FoldFront(b);
  EventTime last = FrontTime(b);
  FoldRun(b, last, kForever, b->FrontLines);
  b->Points.assign(1, Breakpoint{static_cast<uint32_t>(last), 0});
  b->Raised.clear();
  b->FrontLines = 0;
  EventTime end = b->Until;
  if (end == kForever) end = b->Covered.empty() ? kAlways : b->Covered.back().To;
  if (end > Origin(b)) GrowTo(b, end - 1);
}

BusyFigures BusyTotal(const BusyModel* b) {
  BusyFigures t = {};
  for (const BusyRow& r : b->Rows) AddBucket(&t, r.Sum);
  return t;
}

void BusyFoldSlots(const BusyModel* b, int slots, BusyFigures* out) {
  for (int i = 0; i < slots; ++i) out[i] = BusyFigures{};
  for (const BusyRow& r : b->Rows) {
    CivilTime c;
    ZoneCivil(b->Zone, r.Start, &c);
    AddBucket(&out[slots == 168 ? c.Weekday * 24 + c.Hour : c.Hour], r.Sum);
  }
}
