// DbiDelete: the entry is found by key (and RecNo); a node with a right
// child takes its successor's key and value instead, so the slot unlinked
// never has a left child; a level left one node short is repaired upwards.
// The first read or write that fails once the file is being changed is
// latched and ends the delete.
#include "index/dbi.h"
#include "index/dbi_internal.h"

namespace {

enum { kStop = 0, kClimb = 1 };

const char kSuccessorStep[] = "Successor in Delete";  // the successor's key and value
const char kLinkStep[] = "Link in Delete";            // the unlinking's repair
const char kReleaseStep[] = "Release in Delete";      // the slot onto the free list
const char kHeaderStep[] = "Save Header in Delete";   // the final header write

// ---- Choosing the slot -------------------------------------------------

// From the first match r, walks the run of entries beginning with key to
// the one carrying recNo; 0 when none does. On a damaged file the walk
// gives up after N_Rec steps or when it comes back to a node it passed
// (Brent's cycle test: the node at each power-of-two step is remembered).
int32_t FindRecNo(DBI* dbi, const char* key, int32_t r, int32_t recNo) {
  int32_t steps = 0, mark = dbi->Cur, sinceMark = 0, stretch = 1;
  while (r != 0 && r != recNo) {
    if (++steps > dbi->Header.N_Rec) return 0;
    r = DbiNext(dbi, key);
    if (dbi->Cur == mark) return 0;
    if (++sinceMark == stretch) {
      mark = dbi->Cur;
      sinceMark = 0;
      stretch *= 2;
    }
  }
  return r;
}

// The slot to unlink: the current node, or when it has a right child its
// successor, whose key and value are first copied into the current node
// (the current node's links are as the find just read them). 0 when the
// successor cannot be read (nothing is written then); a failed copy
// latches.
int32_t TakeSuccessor(DBI* dbi) {
  int32_t y = dbi->Cur;
  if (dbi->Right == 0) return y;
  DbiNext(dbi, nullptr);
  if (DbiStepFailed()) return 0;
  if (DbiWriteKey(dbi, y, dbi->Key) != 0 || DbiWriteField(dbi, y, DBI_RECNO, dbi->RecNo) != 0) {
    DbiLatch(dbi, kSuccessorStep);
  }
  return dbi->Cur;
}

// y has no left child: when it is First or Last, its parent takes over.
void UpdateEnds(DBI* dbi, int32_t y) {
  int32_t parent = DbiAbs(dbi->Parent);
  if (y == dbi->Header.First) dbi->Header.First = parent;
  if (y == dbi->Header.Last) dbi->Header.Last = parent;
}

// ---- Repair: y black and without a red right child leaves its side of p
// one level short. gp is p's stored Parent: whatever takes p's place gets
// it, and so p's colour.

// y is p's left child; s := p's right child.
int FixLeftShort(const DbiRepair& r, int32_t y, int32_t yR, int32_t p, const DbiLinks& pl) {
  int32_t gp = pl.Parent;
  int32_t s = pl.Right;
  DbiLinks sl;
  DbiRepairRead(r, s, &sl);
  if (sl.Parent >= 0 && DbiRepairIsRed(r, sl.Right)) {  // s black, red right child: rotate
    DbiRepairReplace(r, p, s, gp);
    DbiRepairLink(r, p, DBI_LEFT, yR);
    DbiRepairLink(r, p, DBI_RIGHT, sl.Left);
    DbiRepairLink(r, s, DBI_LEFT, p);
    DbiRepairSet(r, sl.Right, DBI_PARENT, s);
    return kStop;
  }
  if (sl.Parent >= 0) {  // s black alone: merge p and s, the shortage moves up
    DbiRepairReplace(r, p, y, gp);
    DbiRepairLink(r, p, DBI_LEFT, yR);
    DbiRepairLink(r, y, DBI_RIGHT, p);
    DbiRepairSet(r, s, DBI_PARENT, -p);
    return kClimb;
  }
  int32_t c = sl.Left;  // s red: its black left child c lies on y's level
  DbiLinks cl;
  DbiRepairRead(r, c, &cl);
  if (DbiRepairIsRed(r, cl.Right)) {
    DbiRepairReplace(r, p, c, gp);
    DbiRepairLink(r, p, DBI_LEFT, yR);
    DbiRepairLink(r, p, DBI_RIGHT, cl.Left);
    DbiRepairLink(r, c, DBI_LEFT, p);
    DbiRepairLink(r, s, DBI_LEFT, cl.Right);
    DbiRepairLink(r, -c, DBI_RIGHT, s);
  } else {
    DbiRepairReplace(r, p, s, gp);
    DbiRepairLink(r, p, DBI_LEFT, yR);
    DbiRepairLink(r, -p, DBI_RIGHT, c);
    DbiRepairLink(r, s, DBI_LEFT, p);
  }
  return kStop;
}

// y is p's right child; s := p's left child (black).
int FixRightShort(const DbiRepair& r, int32_t y, int32_t yR, int32_t p, const DbiLinks& pl) {
  int32_t gp = pl.Parent;
  int32_t s = pl.Left;
  DbiLinks sl;
  DbiRepairRead(r, s, &sl);
  if (DbiRepairIsRed(r, sl.Right)) {  // s's red right child m moves up
    int32_t m = sl.Right;
    DbiLinks ml;
    DbiRepairRead(r, m, &ml);
    DbiRepairReplace(r, p, m, gp);
    DbiRepairLink(r, s, DBI_RIGHT, ml.Left);
    DbiRepairLink(r, p, DBI_LEFT, ml.Right);
    DbiRepairLink(r, p, DBI_RIGHT, yR);
    DbiRepairLink(r, m, DBI_LEFT, s);
    DbiRepairLink(r, m, DBI_RIGHT, p);
    return kStop;
  }
  DbiRepairReplace(r, p, y, gp);  // merge s and p, the shortage moves up
  DbiRepairLink(r, p, DBI_LEFT, sl.Right);
  DbiRepairLink(r, p, DBI_RIGHT, yR);
  DbiRepairLink(r, -s, DBI_RIGHT, p);
  DbiRepairLink(r, y, DBI_RIGHT, s);
  return kClimb;
}

// Unlinks y (no left child, at most a red right child), repairing upwards;
// y keeps naming the same slot. Bounded (DbiStepBound) against a damaged
// file: a repair cut off there is a failure of the step. Stops at the first
// failed read or write.
void Unlink(const DbiRepair& r, int32_t y) {
  DBI* dbi = r.Dbi;
  DbiSteps rounds = DbiStepsOf(dbi);
  while (!dbi->Fault) {
    if (!DbiStepOk(&rounds)) return DbiLatch(dbi, r.Step);
    DbiLinks yl;
    DbiRepairRead(r, y, &yl);
    if (dbi->Fault) return;
    int32_t p = DbiAbs(yl.Parent);
    int32_t yR = yl.Right;
    if (p == 0) {  // y is the root
      dbi->Header.Head = yR;
      if (yR != 0) DbiRepairSet(r, yR, DBI_PARENT, 0);
      return;
    }
    if (yl.Parent < 0) {  // y red: its group keeps its black node
      DbiRepairLink(r, p, DBI_RIGHT, yR);
      return;
    }
    if (DbiRepairIsRed(r, yR)) {  // y's red right child takes y's place, black
      DbiRepairReplace(r, y, yR, p);
      return;
    }
    DbiLinks pl;
    DbiRepairRead(r, p, &pl);
    if (dbi->Fault) return;
    int step = pl.Left == y ? FixLeftShort(r, y, yR, p, pl) : FixRightShort(r, y, yR, p, pl);
    if (step == kStop) return;
  }
}

// Takes y out of the tree and onto the free list, then writes the header:
// 0, or the result of the step that failed (latched).
int Remove(DBI* dbi, int32_t y) {
  UpdateEnds(dbi, y);
  Unlink(DbiRepair{dbi, kLinkStep}, y);
  if (dbi->Fault) return DbiFail(5, dbi->Fault);
  if (DbiRelease(dbi, y) != 0) {
    DbiLatch(dbi, kReleaseStep);
    return DbiFail(6, kReleaseStep);
  }
  // The repair's writes reach the file with the header's: one push for the
  // whole delete, whose failure is the delete's.
  if (DbiSaveHeader(dbi) != 0) {
    DbiLatch(dbi, kHeaderStep);
    return DbiFail(3, kHeaderStep);
  }
  return 0;
}

int Delete(DBI* dbi, const char* key, int32_t recNo) {
  // A file whose tree an earlier failure may have left half-changed is not
  // written again.
  if (dbi->Fault) return DbiFail(5, dbi->Fault);
  if (!key) key = "";
  int32_t r = DbiFind(dbi, key);
  if (r == 0) return DbiFail(1, "Key to Delete");
  if (recNo > 0 && FindRecNo(dbi, key, r, recNo) == 0) return DbiFail(2, "RecNo to Delete");
  int32_t y = TakeSuccessor(dbi);
  if (y == 0 || dbi->Fault) return DbiFail(4, kSuccessorStep);
  return Remove(dbi, y);
}

}  // namespace

int DbiDelete(DBI* dbi, const char* key, int32_t recNo) {
  DbiHold(dbi);
  int r = Delete(dbi, key, recNo);
  DbiLetGo(dbi);
  return r;
}
