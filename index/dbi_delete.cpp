// DbiDelete: the entry is found by key (and RecNo); a node with a right
// child takes its successor's key and value instead, so the slot unlinked
// never has a left child; a level left one node short is repaired upwards.
#include "index/dbi.h"
#include "index/dbi_internal.h"

namespace {

enum { kStop = 0, kClimb = 1 };

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
// successor, whose key and value are first copied into the current node.
int32_t TakeSuccessor(DBI* dbi) {
  int32_t y = dbi->Cur;
  if (DbiReadField(dbi, y, DBI_RIGHT) == 0) return y;
  DbiNext(dbi, nullptr);
  DbiWriteKey(dbi, y, dbi->Key);
  DbiWriteField(dbi, y, DBI_RECNO, dbi->RecNo);
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
int FixLeftShort(DBI* dbi, int32_t y, int32_t yR, int32_t p, const DbiLinks& pl) {
  int32_t gp = pl.Parent;
  int32_t s = pl.Right;
  DbiLinks sl;
  DbiReadNode(dbi, s, &sl, nullptr);
  if (sl.Parent >= 0 && DbiIsRed(dbi, sl.Right)) {  // s black, red right child: rotate
    DbiReplace(dbi, p, s, gp);
    DbiLink(dbi, p, DBI_LEFT, yR);
    DbiLink(dbi, p, DBI_RIGHT, sl.Left);
    DbiLink(dbi, s, DBI_LEFT, p);
    DbiWriteField(dbi, sl.Right, DBI_PARENT, s);
    return kStop;
  }
  if (sl.Parent >= 0) {  // s black alone: merge p and s, the shortage moves up
    DbiReplace(dbi, p, y, gp);
    DbiLink(dbi, p, DBI_LEFT, yR);
    DbiLink(dbi, y, DBI_RIGHT, p);
    DbiWriteField(dbi, s, DBI_PARENT, -p);
    return kClimb;
  }
  int32_t c = sl.Left;  // s red: its black left child c lies on y's level
  DbiLinks cl;
  DbiReadNode(dbi, c, &cl, nullptr);
  if (DbiIsRed(dbi, cl.Right)) {
    DbiReplace(dbi, p, c, gp);
    DbiLink(dbi, p, DBI_LEFT, yR);
    DbiLink(dbi, p, DBI_RIGHT, cl.Left);
    DbiLink(dbi, c, DBI_LEFT, p);
    DbiLink(dbi, s, DBI_LEFT, cl.Right);
    DbiLink(dbi, -c, DBI_RIGHT, s);
  } else {
    DbiReplace(dbi, p, s, gp);
    DbiLink(dbi, p, DBI_LEFT, yR);
    DbiLink(dbi, -p, DBI_RIGHT, c);
    DbiLink(dbi, s, DBI_LEFT, p);
  }
  return kStop;
}

// y is p's right child; s := p's left child (black).
int FixRightShort(DBI* dbi, int32_t y, int32_t yR, int32_t p, const DbiLinks& pl) {
  int32_t gp = pl.Parent;
  int32_t s = pl.Left;
  DbiLinks sl;
  DbiReadNode(dbi, s, &sl, nullptr);
  if (DbiIsRed(dbi, sl.Right)) {  // s's red right child m moves up
    int32_t m = sl.Right;
    DbiReplace(dbi, p, m, gp);
    DbiLink(dbi, s, DBI_RIGHT, DbiReadField(dbi, m, DBI_LEFT));
    DbiLink(dbi, p, DBI_LEFT, DbiReadField(dbi, m, DBI_RIGHT));
    DbiLink(dbi, p, DBI_RIGHT, yR);
    DbiLink(dbi, m, DBI_LEFT, s);
    DbiLink(dbi, m, DBI_RIGHT, p);
    return kStop;
  }
  DbiReplace(dbi, p, y, gp);  // merge s and p, the shortage moves up
  DbiLink(dbi, p, DBI_LEFT, sl.Right);
  DbiLink(dbi, p, DBI_RIGHT, yR);
  DbiLink(dbi, -s, DBI_RIGHT, p);
  DbiLink(dbi, y, DBI_RIGHT, s);
  return kClimb;
}

// Unlinks y (no left child, at most a red right child), repairing upwards;
// y keeps naming the same slot. Bounded (DbiStepBound).
void Unlink(DBI* dbi, int32_t y) {
  DbiSteps rounds = DbiStepsOf(dbi);
  while (DbiStepOk(&rounds)) {
    DbiLinks yl;
    DbiReadNode(dbi, y, &yl, nullptr);
    int32_t p = DbiAbs(yl.Parent);
    int32_t yR = yl.Right;
    if (p == 0) {  // y is the root
      dbi->Header.Head = yR;
      if (yR != 0) DbiWriteField(dbi, yR, DBI_PARENT, 0);
      return;
    }
    if (yl.Parent < 0) {  // y red: its group keeps its black node
      DbiLink(dbi, p, DBI_RIGHT, yR);
      return;
    }
    if (DbiIsRed(dbi, yR)) {  // y's red right child takes y's place, black
      DbiReplace(dbi, y, yR, p);
      return;
    }
    DbiLinks pl;
    DbiReadNode(dbi, p, &pl, nullptr);
    int r = pl.Left == y ? FixLeftShort(dbi, y, yR, p, pl) : FixRightShort(dbi, y, yR, p, pl);
    if (r == kStop) return;
  }
}

int Delete(DBI* dbi, const char* key, int32_t recNo) {
  if (!key) key = "";
  int32_t r = DbiFind(dbi, key);
  if (r == 0) return DbiFail(1, "Key to Delete");
  if (recNo > 0 && FindRecNo(dbi, key, r, recNo) == 0) return DbiFail(2, "RecNo to Delete");
  int32_t y = TakeSuccessor(dbi);
  UpdateEnds(dbi, y);
  Unlink(dbi, y);
  DbiRelease(dbi, y);
  return DbiSaveHeader(dbi) != 0 ? 3 : 0;
}

}  // namespace

int DbiDelete(DBI* dbi, const char* key, int32_t recNo) {
  DbiHold(dbi);
  int r = Delete(dbi, key, recNo);
  DbiLetGo(dbi);
  return r;
}
