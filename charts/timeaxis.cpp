// Ticks of a time axis: the step picked from a table by the span and the
// room, then the ticks found on the local clock (hours step bucket by
// bucket, so an hour the clock skips or repeats is met as it is) or the
// calendar (midnights, month and year starts from their dates), then the
// labels placed left to right.
#include "charts/timeaxis.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "charts/svg.h"

namespace {

const EventTime kHour = 3600;
const EventTime kDay = 86400;

// What a step counts.
enum TickUnit {
  kTickHour,   // clock hours
  kTickDay,    // local dates, from midnight
  kTickMonth,  // calendar months, from the first
  kTickYear,   // calendar years, from the first of January
};

// One step of ticks.
struct TickStep {
  TickUnit Unit;       // what it counts
  int Count;           // how many of them
  EventTime Shortest;  // the least time between two of its ticks (bar a day
                       // that daylight time shortens)
  int Chars;           // the longest label it writes
};

const TickStep kSteps[] = {
    {kTickHour, 1, kHour, 6},
    {kTickHour, 2, 2 * kHour, 6},
    {kTickHour, 3, 3 * kHour, 6},
    {kTickHour, 6, 6 * kHour, 6},
    {kTickHour, 12, 12 * kHour, 6},
    {kTickDay, 1, kDay, 6},
    {kTickDay, 2, 2 * kDay, 6},
    {kTickDay, 7, 7 * kDay, 6},
    {kTickDay, 14, 14 * kDay, 6},
    {kTickMonth, 1, 28 * kDay, 4},
    {kTickMonth, 2, 59 * kDay, 4},
    {kTickMonth, 3, 89 * kDay, 4},
    {kTickMonth, 6, 181 * kDay, 4},
    {kTickYear, 1, 365 * kDay, 4},
    {kTickYear, 2, 730 * kDay, 4},
    {kTickYear, 5, 1826 * kDay, 4},
    {kTickYear, 10, 3652 * kDay, 4},
    {kTickYear, 20, 7305 * kDay, 4},
    {kTickYear, 50, 18262 * kDay, 4},
    {kTickYear, 100, 36524 * kDay, 4},
    {kTickYear, 200, 73048 * kDay, 4},
    {kTickYear, 500, 182621 * kDay, 4},
    {kTickYear, 1000, 365242 * kDay, 4},
    {kTickYear, 2000, 730485 * kDay, 4},
    {kTickYear, 5000, 1826211 * kDay, 4},
};
const int kStepCount = static_cast<int>(sizeof kSteps / sizeof kSteps[0]);

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

EventTime FloorMod(EventTime a, EventTime b) {
  EventTime r = a % b;
  return r < 0 ? r + b : r;
}

// The first step to try for a span: hours below two days, days below
// about four months, months below about eight years, else years.
int FirstStep(EventTime span) {
  TickUnit unit = span < 2 * kDay      ? kTickHour
                  : span < 120 * kDay  ? kTickDay
                  : span < 2922 * kDay ? kTickMonth
                                       : kTickYear;
  int i = 0;
  while (kSteps[i].Unit != unit) ++i;
  return i;
}

// The finest step from the span's first on, not much shorter than the
// axis's finest, whose labels, spread evenly over the axis, leave a character
// between them; the coarsest when none does.
const TickStep* PickStep(const TimeAxis* axis) {
  EventTime span = axis->To - axis->From;
  for (int i = FirstStep(span); i < kStepCount; ++i) {
    // A month of 28 days still steps as a bucket of 31 does.
    if (static_cast<double>(kSteps[i].Shortest) < 0.9 * static_cast<double>(axis->Finest)) continue;
    double room =
        axis->Length * static_cast<double>(kSteps[i].Shortest) / static_cast<double>(span);
    if (room >= (kSteps[i].Chars + 1) * axis->CharWidth) return &kSteps[i];
  }
  return &kSteps[kStepCount - 1];
}

// The instant local date day (days since 1970) begins: midnight less the
// offset in force then, or where the clock skips or repeats midnight the
// start of the local day that holds its noon.
EventTime Midnight(ZoneCache* zone, EventTime day) {
  int32_t offset = ZoneOffset(zone, day * kDay);
  EventTime guess = day * kDay - offset;
  if (ZoneOffset(zone, guess) == offset) return guess;
  EventTime noon = day * kDay + kDay / 2;
  return ZoneBucketStart(zone, kStepDay, noon - ZoneOffset(zone, noon));
}

// The instant month (1 to 12) of year begins, or false for a year the
// calendar's texts do not hold (after 9999).
bool MonthStart(ZoneCache* zone, int year, int month, EventTime* at) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  char text[32];
  snprintf(text, sizeof text, "%04d-%02d-01", year, month);
  EventTime day = 0;
  if (!ZoneParseDay(text, &day)) return false;
  *at = Midnight(zone, day);
  return true;
}

// Adds a tick at `at` with its label. Returns false once the axis is full.
bool AddTick(TimeAxis* axis, EventTime at, const char* label) {
  if (axis->Count == TIME_AXIS_TICKS) return false;
  TimeTick* tick = &axis->Tick[axis->Count++];
  memset(tick, 0, sizeof *tick);
  tick->At = at;
  snprintf(tick->Label, sizeof tick->Label, "%s", label);
  return true;
}

// A tick labelled with its date: "Dec 7".
bool AddDateTick(TimeAxis* axis, ZoneCache* zone, EventTime at) {
  CivilTime c;
  ZoneCivil(zone, at, &c);
  char label[12];
  snprintf(label, sizeof label, "%s %d", kMonths[c.Month - 1], c.Day);
  return AddTick(axis, at, label);
}

// Every count-th clock hour, bucket by bucket; midnight is labelled with
// its date.
void HourTicks(TimeAxis* axis, ZoneCache* zone, int count) {
  EventTime t = ZoneBucketStart(zone, kStepHour, axis->From);
  if (t < axis->From) t = ZoneBucketEnd(zone, kStepHour, t);
  for (bool room = true; room && t <= axis->To; t = ZoneBucketEnd(zone, kStepHour, t)) {
    CivilTime c;
    ZoneCivil(zone, t, &c);
    if (c.Minute != 0 || c.Second != 0 || c.Hour % count != 0) continue;
    char label[12];
    snprintf(label, sizeof label, "%02d:00", c.Hour);
    room = c.Hour == 0 ? AddDateTick(axis, zone, t) : AddTick(axis, t, label);
  }
}

// Every count-th local midnight: weeks and fortnights from a Monday, two
// days from the axis's first midnight.
void DayTicks(TimeAxis* axis, ZoneCache* zone, int count) {
  EventTime day = ZoneDay(zone, axis->From);
  if (Midnight(zone, day) < axis->From) ++day;
  // 1970-01-01 was a Thursday: day + 3 counts from a Monday.
  if (count >= 7) day += FloorMod(-(day + 3), count);
  for (; Midnight(zone, day) <= axis->To; day += count) {
    if (!AddDateTick(axis, zone, Midnight(zone, day))) return;
  }
}

// Every count-th month start from January (months) or count-th year's
// first of January (years); January is labelled with its year.
void CalendarTicks(TimeAxis* axis, ZoneCache* zone, const TickStep* step) {
  CivilTime c;
  ZoneCivil(zone, axis->From, &c);
  int months = step->Unit == kTickYear ? 12 * step->Count : step->Count;
  // Months since the start of the year 0, so that steps of years and of
  // months line up with their calendar's own.
  long index = static_cast<long>(c.Year) * 12 + (step->Unit == kTickYear ? 0 : c.Month - 1);
  if (step->Unit == kTickYear) index -= FloorMod(c.Year, step->Count) * 12;
  index -= FloorMod(index, months);
  for (;; index += months) {
    EventTime at = 0;
    int year = static_cast<int>(index / 12), month = static_cast<int>(index % 12) + 1;
    if (year < 1 || !MonthStart(zone, year, month, &at)) {
      if (year < 1) continue;
      return;
    }
    if (at < axis->From) continue;
    if (at > axis->To) return;
    char label[12];
    snprintf(label, sizeof label, "%d", year);
    if (!AddTick(axis, at, month == 1 ? label : kMonths[month - 1])) return;
  }
}

}  // namespace

void TimeAxisTicks(TimeAxis* axis, ZoneCache* zone) {
  axis->Count = 0;
  if (axis->To <= axis->From || axis->Length <= 0) return;
  const TickStep* step = PickStep(axis);
  if (step->Unit == kTickHour) {
    HourTicks(axis, zone, step->Count);
  } else if (step->Unit == kTickDay) {
    DayTicks(axis, zone, step->Count);
  } else {
    CalendarTicks(axis, zone, step);
  }
}

void TimeAxisPlace(TimeAxis* axis, double width) {
  double lastRight = -1e300;
  for (int i = 0; i < axis->Count; ++i) {
    TimeTick* tick = &axis->Tick[i];
    double half = static_cast<double>(strlen(tick->Label)) * axis->CharWidth / 2;
    double x = tick->X;
    if (x > width - half - 1) x = width - half - 1;
    if (x < half + 1) x = half + 1;
    tick->LabelX = x;
    tick->Labelled = x - half >= lastRight + axis->CharWidth;
    if (tick->Labelled) lastRight = x + half;
  }
}

void TimeAxisWrite(OutBuf* out, const TimeAxis* axis, int y) {
  for (int i = 0; i < axis->Count; ++i) {
    const TimeTick* tick = &axis->Tick[i];
    SvgPrintf(out, "<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"black\"/>\n",
              tick->X, y, tick->X, y + 5);
    if (!tick->Labelled) continue;
    SvgPrintf(out, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%s</text>\n", tick->LabelX,
              y + 18, tick->Label);
  }
}
