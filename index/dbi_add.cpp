// DbiAdd: a new node is placed beside First or Last, or below the node a
// descent ends on (equal keys go right, so a key lands after its equals),
// then full 2-3 groups are split bottom-up until one has room. The first
// read or write of the repair that fails is latched and ends the add.
#include "index/dbi.h"
#include "index/dbi_internal.h"

namespace {

const char kLinkStep[] = "Link in Add";           // the repair's step
const char kHeaderStep[] = "Save Header in Add";  // the final header write

// The node being attached and where: x goes below p on side.
struct Attach {
  int32_t X;     // node to attach (the new node, later a key moved up)
  int32_t P;     // node to attach it below; 0 makes x the root
  int Side;      // DBI_LEFT or DBI_RIGHT of p, once known
  int32_t From;  // 0, or the child of p that x moved up from: Side is then
                 // p's Left or Right as p's link block, read next, says
};

// ---- Placement ---------------------------------------------------------

// Descends from Head: left while the new key is less, else right, to the
// node whose chosen child is missing.
int Descend(DBI* dbi, Attach* at) {
  if (!DbiPlace(dbi, dbi->Header.Head)) return DbiFail(4, "Goto Header in Add");
  DbiSteps steps = DbiStepsOf(dbi);
  for (;;) {
    int left = DbiCompare(dbi) < 0;
    int32_t child = left ? dbi->Left : dbi->Right;
    if (child == 0) {
      at->P = dbi->Cur;
      at->Side = left ? DBI_LEFT : DBI_RIGHT;
      return 0;
    }
    if (!DbiPlaceBounded(dbi, child, &steps)) {
      return left ? DbiFail(5, "Goto Left in Add") : DbiFail(6, "Goto Right in Add");
    }
  }
}

// A key below First or at or above Last is attached there without a
// descent (and becomes First or Last).
int FindPlace(DBI* dbi, Attach* at) {
  DbiHeader& h = dbi->Header;
  if (!DbiPlace(dbi, h.First)) return DbiFail(2, "Goto First in Add");
  if (DbiCompare(dbi) < 0) {
    *at = Attach{at->X, h.First, DBI_LEFT, 0};
    h.First = at->X;
    return 0;
  }
  if (!DbiPlace(dbi, h.Last)) return DbiFail(3, "Goto Last in Add");
  if (DbiCompare(dbi) >= 0) {
    *at = Attach{at->X, h.Last, DBI_RIGHT, 0};
    h.Last = at->X;
    return 0;
  }
  return Descend(dbi, at);
}

// ---- Repair: the cases of attaching x below p ----------------------------

// p is red: the group (g, p) is full. Split it; the middle key of g, p and
// x moves up to be attached below g's parent gg where g was.
void SplitRedParent(const DbiRepair& r, Attach* at, const DbiLinks& pl, const DbiLinks& xl) {
  int32_t g = DbiAbs(pl.Parent);
  int32_t gg = DbiAbs(DbiRepairField(r, g, DBI_PARENT));
  if (at->Side == DBI_LEFT) {  // g < x < p: x is the middle
    DbiRepairLink(r, g, DBI_RIGHT, xl.Left);
    DbiRepairLink(r, at->P, DBI_LEFT, xl.Right);
    DbiRepairLink(r, at->X, DBI_LEFT, g);
    DbiRepairLink(r, at->X, DBI_RIGHT, at->P);
  } else {  // g < p < x: p is the middle
    DbiRepairLink(r, g, DBI_RIGHT, pl.Left);
    DbiRepairLink(r, at->P, DBI_LEFT, g);
    DbiRepairLink(r, at->P, DBI_RIGHT, at->X);
    at->X = at->P;
  }
  at->P = gg;
  at->From = g;
}

// p is black with a red right child r: the group (p, r) is full and x
// arrives on its left. x and r become p's black children; p moves up.
void SplitFullGroup(const DbiRepair& r, Attach* at, const DbiLinks& pl) {
  int32_t g = DbiAbs(pl.Parent);
  DbiRepairLink(r, at->P, DBI_LEFT, at->X);
  DbiRepairLink(r, at->P, DBI_RIGHT, pl.Right);
  at->From = at->P;
  at->X = at->P;
  at->P = g;
}

// p is black with room: x joins p's group as its second key, on the right
// (x red), or as the group's black node with p as its red right child.
void JoinGroup(const DbiRepair& r, const Attach& at, const DbiLinks& pl, const DbiLinks& xl) {
  if (at.Side == DBI_RIGHT) {
    DbiRepairLink(r, -at.P, DBI_RIGHT, at.X);
    return;
  }
  DbiRepairReplace(r, at.P, at.X, pl.Parent);
  DbiRepairLink(r, at.P, DBI_LEFT, xl.Right);
  DbiRepairLink(r, -at.X, DBI_RIGHT, at.P);
}

// p's link block: in the first round (first != 0), when p is the node the
// placement ended on, the current node's, as nothing has been written since
// it was read; else from the file.
void ReadParent(const DbiRepair& r, int32_t p, DbiLinks* pl, int first) {
  const DBI* dbi = r.Dbi;
  if (first && dbi->Cur != 0 && DbiAbs(p) == dbi->Cur) {
    *pl = DbiLinks{dbi->Parent, dbi->Left, dbi->Right, dbi->RecNo};
    return;
  }
  DbiRepairRead(r, p, pl);
}

// x's link block: in the first round x is the new node, which has no links
// yet (nothing has written to it since it was filled in); else from the
// file.
void ReadAttached(const DbiRepair& r, int32_t x, DbiLinks* xl, int first) {
  if (first) {
    *xl = DbiLinks{0, 0, 0, 0};
    return;
  }
  DbiRepairRead(r, x, xl);
}

// Attaches x below p, splitting upwards until a group has room or x becomes
// the root. Bounded (DbiStepBound) against a damaged file: a repair cut off
// there is a failure of the step. Stops at the first failed read or write.
void Repair(const DbiRepair& r, Attach at) {
  DBI* dbi = r.Dbi;
  DbiSteps rounds = DbiStepsOf(dbi);
  while (!dbi->Fault) {
    if (!DbiStepOk(&rounds)) return DbiLatch(dbi, r.Step);
    if (at.P == 0) {
      DbiRepairSet(r, at.X, DBI_PARENT, 0);
      dbi->Header.Head = at.X;
      return;
    }
    DbiLinks pl, xl;
    ReadParent(r, at.P, &pl, rounds.Taken == 1);
    ReadAttached(r, at.X, &xl, rounds.Taken == 1);
    if (dbi->Fault) return;
    // x moved up from a child of p: its side is in p's Left, just read with
    // p's links (nothing wrote p since the split), not read on its own.
    if (at.From != 0) at.Side = pl.Left == at.From ? DBI_LEFT : DBI_RIGHT;
    if (pl.Parent < 0) {
      SplitRedParent(r, &at, pl, xl);
    } else if (DbiRepairIsRed(r, pl.Right)) {
      SplitFullGroup(r, &at, pl);
    } else {
      JoinGroup(r, at, pl, xl);
      return;
    }
  }
}

int Add(DBI* dbi, const char* key, int32_t value) {
  // A file whose tree an earlier failure may have left half-changed is not
  // written again.
  if (dbi->Fault) return DbiFail(8, dbi->Fault);
  // The new slot is written once, as the new node: DbiGet's zeros would be
  // overwritten at once.
  int32_t x = DbiGetNode(dbi, key, value);
  if (x == 0) return DbiFail(1, "Get in Add");
  DbiSetSearchKey(dbi, key);
  DbiHeader& h = dbi->Header;
  if (h.Head == 0) {
    h.Head = h.First = h.Last = x;
  } else {
    Attach at = {x, 0, DBI_LEFT, 0};
    int r = FindPlace(dbi, &at);
    if (r != 0) return r;
    Repair(DbiRepair{dbi, kLinkStep}, at);
    if (dbi->Fault) return DbiFail(8, dbi->Fault);
  }
  // The repair's writes reach the file with the header's: one push for the
  // whole add, whose failure is the add's.
  if (DbiSaveHeader(dbi) != 0) {
    DbiLatch(dbi, kHeaderStep);
    return DbiFail(7, kHeaderStep);
  }
  return 0;
}

}  // namespace

int DbiAdd(DBI* dbi, const char* key, int32_t value) {
  DbiHold(dbi);
  int r = Add(dbi, key, value);
  DbiLetGo(dbi);
  return r;
}
