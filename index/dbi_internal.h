// Helpers shared by the index module's files: error texts, positioning with
// the status kept, key copies and comparisons, the step bound that keeps
// every descent and climb finite on a damaged file, and the reads and writes
// of the repairs, whose first failure is latched in the handle.
#ifndef VELMAR_INDEX_DBI_INTERNAL_H
#define VELMAR_INDEX_DBI_INTERNAL_H

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "index/dbi.h"
#include "platform/streamlock.h"

// The absolute value of a node reference; INT32_MIN, which has none, maps to
// INT32_MAX, never a slot start reachable by a sound file.
inline int32_t DbiAbs(int32_t node) {
  return node >= 0 ? node : node == INT32_MIN ? INT32_MAX : -node;
}

// A tree operation holds its stream's lock throughout: the C library's
// locking is recursive, so the operation's many seeks, reads and writes
// then skip their own atomic lock and unlock. (One caller uses a handle at
// a time; the lock is always let go before the operation returns.)
inline void DbiHold(DBI* dbi) {
  StreamHold(dbi->Stream);
}

inline void DbiLetGo(DBI* dbi) {
  StreamLetGo(dbi->Stream);
}

// Records a failed step's message; returns result for a one-line `return`.
inline int32_t DbiFail(int32_t result, const char* message) {
  DbiLastError = message;
  return result;
}

// A positioning step of a tree operation: DbiGoto with its result kept in
// DbiLastStatus.
inline int32_t DbiPlace(DBI* dbi, int32_t node) {
  int32_t r = DbiGoto(dbi, node);
  DbiLastStatus = r;
  return r;
}

// The most steps a descent, a climb or a repair loop can take in a sound
// tree of N_Rec slots: a path passes at most log2(N_Rec + 1) black nodes and
// as many red ones. Never more than N_Rec, and small even when a damaged
// header claims billions of slots.
inline int32_t DbiStepBound(const DBI* dbi) {
  int32_t n = dbi->Header.N_Rec;
  int bits = 0;
  for (uint32_t v = n > 0 ? static_cast<uint32_t>(n) : 0; v != 0; v >>= 1) ++bits;
  int32_t bound = 2 * bits + 2;
  return bound < n ? bound : (n > 0 ? n : 0);
}

// The steps a descent, climb or repair loop has taken and the most it may
// take. The bound is worked out once, when the loop starts: N_Rec does not
// change while one runs.
struct DbiSteps {
  int32_t Taken;  // steps so far
  int32_t Bound;  // DbiStepBound when the loop began
};

inline DbiSteps DbiStepsOf(const DBI* dbi) {
  return DbiSteps{0, DbiStepBound(dbi)};
}

// Counts one more step of a descent, climb or repair loop; 0 once it has
// taken more than a sound tree allows, which only a damaged file can cause.
inline int DbiStepOk(DbiSteps* steps) {
  return ++steps->Taken <= steps->Bound;
}

// A step of a bounded descent or climb: DbiPlace, or a failed step (status
// 0) once the bound is used up.
inline int32_t DbiPlaceBounded(DBI* dbi, int32_t node, DbiSteps* steps) {
  if (!DbiStepOk(steps)) {
    DbiLastStatus = 0;
    return 0;
  }
  return DbiPlace(dbi, node);
}

// ---- Repairs and the fault latch -------------------------------------------
// A repair reads and writes many fields of many nodes, and once one of them
// fails the tree in the file may be half-changed. The first failure is kept
// in the handle (its Fault, the repair's step): the rest of the repair does
// nothing, the operation returns that step, and no later operation writes.
// A read of a missing node (0) counts as a failure: a sound tree has the
// node wherever a repair looks for one.

// One repair of a tree operation: the handle and the message it latches.
struct DbiRepair {
  DBI* Dbi;          // the handle whose file is repaired
  const char* Step;  // the operation's step, latched on a failure
};

// Keeps step as the handle's Fault unless one is kept already.
inline void DbiLatch(DBI* dbi, const char* step) {
  if (!dbi->Fault) dbi->Fault = step;
}

// node's link block (zeros once the handle holds a fault, or when the read
// fails, which latches the step).
inline void DbiRepairRead(const DbiRepair& r, int32_t node, DbiLinks* links) {
  *links = DbiLinks{0, 0, 0, 0};
  if (r.Dbi->Fault) return;
  if (DbiReadNode(r.Dbi, node, links, nullptr) != 0) DbiLatch(r.Dbi, r.Step);
}

// One field of node's link block, read as DbiRepairRead does.
inline int32_t DbiRepairField(const DbiRepair& r, int32_t node, int field) {
  DbiLinks l;
  DbiRepairRead(r, node, &l);
  return field == DBI_PARENT  ? l.Parent
         : field == DBI_LEFT  ? l.Left
         : field == DBI_RIGHT ? l.Right
                              : l.RecNo;
}

// 1 when node is not 0 and its stored Parent marks it red.
inline int DbiRepairIsRed(const DbiRepair& r, int32_t node) {
  return node != 0 && DbiRepairField(r, node, DBI_PARENT) < 0;
}

// DbiWriteField, skipped once the handle holds a fault; a failure latches.
inline void DbiRepairSet(const DbiRepair& r, int32_t node, int field, int32_t value) {
  if (!r.Dbi->Fault && DbiWriteField(r.Dbi, node, field, value) != 0) DbiLatch(r.Dbi, r.Step);
}

// DbiLink, skipped once the handle holds a fault; a failure latches.
inline void DbiRepairLink(const DbiRepair& r, int32_t parent, int side, int32_t child) {
  if (!r.Dbi->Fault && DbiLink(r.Dbi, parent, side, child) != 0) DbiLatch(r.Dbi, r.Step);
}

// `next` takes `old`'s place: the child field of old's parent (|parent|)
// that points to old, or Head when there is no parent, is set to next; then
// next's Parent := parent, sign and all (so next inherits that colour).
inline void DbiRepairReplace(const DbiRepair& r, int32_t old, int32_t next, int32_t parent) {
  int32_t g = DbiAbs(parent);
  if (g == 0) {
    r.Dbi->Header.Head = next;
  } else {
    int side = DbiRepairField(r, g, DBI_LEFT) == old ? DBI_LEFT : DBI_RIGHT;
    DbiRepairSet(r, g, side, next);
  }
  DbiRepairSet(r, next, DBI_PARENT, parent);
}

// The set-up of a new file once its stream is open (DbiNew, DbiNewTemp):
// key length, label, both key buffers, and the header written. Returns 0, or
// DbiNew's result and text for the step that failed (2, 3 or 4).
int DbiSetUpNew(DBI* dbi, const char* label, int keyLen);

// DbiAdd's steps 1 and 3 in one write: a slot obtained as DbiGet does (the
// current key cleared), holding Parent, Left and Right 0, value and key (cut
// to KeyLen bytes, NUL-padded). The slot, or 0 when DbiGet would fail or the
// write does.
int32_t DbiGetNode(DBI* dbi, const char* key, int32_t value);

// Copies text (null: empty) into the n bytes at dest, cut to n bytes and
// NUL-padded; no terminator when the text has n or more characters.
inline void DbiCopyPadded(char* dest, const char* text, size_t n) {
  size_t i = 0;
  for (; text && i < n && text[i] != '\0'; ++i) dest[i] = text[i];
  std::memset(dest + i, 0, n - i);
}

// Copies key into SearchKey: cut to KeyLen bytes, NUL-padded.
inline void DbiSetSearchKey(DBI* dbi, const char* key) {
  if (!dbi->SearchKey) return;  // no open file: the next step fails
  DbiCopyPadded(dbi->SearchKey, key, static_cast<size_t>(dbi->KeyLen));
  dbi->SearchKey[dbi->KeyLen] = '\0';
}

// Full comparison of SearchKey with the current Key (unsigned bytes).
inline int DbiCompare(const DBI* dbi) {
  return std::strcmp(dbi->SearchKey, dbi->Key);
}

// Prefix comparison over the length of the caller's key.
inline int DbiComparePrefix(const DBI* dbi, const char* key) {
  return std::strncmp(dbi->SearchKey, dbi->Key, std::strlen(key));
}

#endif  // VELMAR_INDEX_DBI_INTERNAL_H
