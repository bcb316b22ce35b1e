// Positioning: DbiFind (prefix search), DbiFirst, DbiLast, and the in-order
// steps DbiNext and DbiPrev. Every descent and climb is bounded by the
// height a sound tree of N_Rec slots can have.
#include "index/dbi.h"
#include "index/dbi_internal.h"

namespace {

// One direction of an in-order step and the messages of its phases.
struct Direction {
  int Near;              // child field toward the step: Right for Next
  int Far;               // the other child field
  const char* DownNear;  // first step down failed
  const char* DownFar;   // descent on the far side failed
  const char* Up;        // climb failed
};

const Direction kNext = {DBI_RIGHT, DBI_LEFT, "Goto Right in Next", "Goto Left in Next",
                         "Goto Parent in Next"};
const Direction kPrev = {DBI_LEFT, DBI_RIGHT, "Goto Left in Prev", "Goto Right in Prev",
                         "Goto Parent in Prev"};

int32_t Child(const DBI* dbi, int side) {
  return side == DBI_LEFT ? dbi->Left : dbi->Right;
}

// ---- In-order step -------------------------------------------------------

// One step down on the near side, then down the far side to its end.
int32_t StepDown(DBI* dbi, const Direction& d) {
  if (!DbiPlace(dbi, Child(dbi, d.Near))) return DbiFail(0, d.DownNear);
  DbiSteps steps = DbiStepsOf(dbi);
  while (Child(dbi, d.Far) != 0) {
    if (!DbiPlaceBounded(dbi, Child(dbi, d.Far), &steps)) return DbiFail(0, d.DownFar);
  }
  return dbi->Cur;
}

// Climbs until arriving from the far side. 0 at the end (no message; the
// position may be the root) or on a failure.
int32_t StepUp(DBI* dbi, const Direction& d) {
  if (dbi->Parent == 0) return 0;
  DbiSteps steps = DbiStepsOf(dbi);
  for (;;) {
    int32_t from = dbi->Cur;
    // q's far child is read with q itself: one seek, not a field read first.
    if (!DbiPlaceBounded(dbi, DbiAbs(dbi->Parent), &steps)) return DbiFail(0, d.Up);
    if (Child(dbi, d.Far) == from) return dbi->Cur;
    if (dbi->Parent == 0) return 0;
  }
}

int32_t Step(DBI* dbi, const char* key, const Direction& d) {
  DbiHold(dbi);
  int32_t at = Child(dbi, d.Near) != 0 ? StepDown(dbi, d) : StepUp(dbi, d);
  DbiLetGo(dbi);
  if (at == 0) return 0;
  if (key && DbiComparePrefix(dbi, key) != 0) return 0;
  return dbi->RecNo;
}

// Positions on an end node (First or Last).
int32_t End(DBI* dbi, int32_t node, const char* message) {
  if (!DbiPlace(dbi, node)) return DbiFail(0, message);
  return dbi->RecNo;
}

// Descends left on a prefix comparison of 0 or less, right otherwise, and
// so ends beside the boundary between keys below the search key and the
// rest; the first entry of that rest is the answer.
int32_t Find(DBI* dbi, const char* key) {
  if (dbi->Header.Head == 0) return 0;
  DbiSetSearchKey(dbi, key);
  if (!DbiPlace(dbi, dbi->Header.Head)) return DbiFail(0, "Goto Header in Find");
  DbiSteps steps = DbiStepsOf(dbi);
  int c;
  for (;;) {
    c = DbiComparePrefix(dbi, key);
    int32_t child = c <= 0 ? dbi->Left : dbi->Right;
    if (child == 0) break;
    if (!DbiPlaceBounded(dbi, child, &steps)) {
      return DbiFail(0, c <= 0 ? "Goto Left in Find" : "Goto Right in Find");
    }
  }
  if (c == 0) return dbi->RecNo;
  if (dbi->Cur == dbi->Header.Last) return 0;
  if (c > 0) {
    DbiLastStatus = DbiNext(dbi, nullptr);
    if (DbiLastStatus == 0) return DbiFail(0, "Next in Find");
  }
  return DbiComparePrefix(dbi, key) == 0 ? dbi->RecNo : 0;
}

}  // namespace

int32_t DbiNext(DBI* dbi, const char* key) {
  return Step(dbi, key, kNext);
}

int32_t DbiPrev(DBI* dbi, const char* key) {
  return Step(dbi, key, kPrev);
}

int32_t DbiFirst(DBI* dbi) {
  return End(dbi, dbi->Header.First, "Goto First");
}

int32_t DbiLast(DBI* dbi) {
  return End(dbi, dbi->Header.Last, "Goto Last");
}

int32_t DbiFind(DBI* dbi, const char* key) {
  DbiHold(dbi);
  int32_t r = Find(dbi, key ? key : "");
  DbiLetGo(dbi);
  return r;
}
