// The disk index DBI: an ordered collection of fixed-length text keys, each
// with one signed 32-bit value, kept in one file as a balanced tree. The
// handle holds the header image and the current node, and under its stream
// sits a page cache of up to 16 MB (dbi_cache.h), whatever the file's size.
#ifndef VELMAR_INDEX_DBI_H
#define VELMAR_INDEX_DBI_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// File format. All integers are little-endian two's complement whatever the
// host; an offset is a byte position from the start of the file. Offset 0 is
// the header, never a node, so 0 is the null link everywhere.
//
// Header, 128 bytes at offset 0:
//   OFFSET  SIZE  FIELD     DESCRIPTION
//        0     4  Id        the bytes 4, 0, 0, 0; written on create, never examined
//        4     4  N_Rec     node slots in the file, live and free; never shrinks
//        8     2  RecLen    size of one slot = KeyLen + 16
//       10     2  HdrLen    offset of slot 0; always 128
//       12     4  Head      root node; 0 when the tree is empty
//       16     4  First     smallest key (earliest added of equal ones); 0 when empty
//       20     4  Last      largest key (latest added of equal ones); 0 when empty
//       24     4  Free      first slot of the free list; 0 when the list is empty
//       28     4  Reserved  zero
//       32    96  Label     label text, NUL-padded (no terminator when full)
//
// Node slot i starts at HdrLen + i * RecLen; the file is exactly
// HdrLen + N_Rec * RecLen bytes long. Each slot:
//   OFFSET  SIZE    FIELD   DESCRIPTION
//        0     4    Parent  parent node, 0 for the root; negated when the node is red
//        4     4    Left    left child, 0 if none; never negative
//        8     4    Right   right child, 0 if none; never negative
//       12     4    RecNo   the value kept with the key; in a free slot the next
//                           free slot (0 ends the list)
//       16  KeyLen  Key     the key cut to KeyLen bytes, NUL-padded; a key of
//                           KeyLen or more characters has no terminator
//
// Colour: a node whose stored Parent is negative is red, every other node is
// black; the sign is the only colour in the file. The tree is a 2-3 tree kept
// as a binary tree: a red node is the second key of its parent's group and
// lies on its parent's level. The tree operations keep five invariants:
//   1. Only a right child can be red (a red node's stored Parent is minus the
//      node whose Right points to it).
//   2. A red node never has a red right child.
//   3. Every path from the root to a missing child passes the same number of
//      black nodes.
//   4. The root is black and its Parent is 0.
//   5. An in-order walk visits the keys in ascending order (unsigned bytes,
//      up to the first NUL); equal keys appear in the order they were added.
// A released slot has Parent, Left and Right 0 and keeps its key bytes; the
// free list is last in, first out.

// Header field offsets and sizes, as in the table above.
enum : int {
  DBI_HDR_ID = 0,
  DBI_HDR_N_REC = 4,
  DBI_HDR_REC_LEN = 8,
  DBI_HDR_HDR_LEN = 10,
  DBI_HDR_HEAD = 12,
  DBI_HDR_FIRST = 16,
  DBI_HDR_LAST = 20,
  DBI_HDR_FREE = 24,
  DBI_HDR_RESERVED = 28,
  DBI_HDR_LABEL = 32,
  DBI_LABEL_SIZE = 96,
  DBI_HDR_SIZE = 128  // the header; slot 0 starts here
};

// Slot field offsets, as in the table above: the link block, then the key.
// (Also the field numbers of DbiReadField, DbiWriteField and DbiLink.)
enum : int {
  DBI_PARENT = 0,
  DBI_LEFT = 4,
  DBI_RIGHT = 8,
  DBI_RECNO = 12,
  DBI_KEY = 16  // the link block's size; RecLen = KeyLen + DBI_KEY
};

// The header image: the 128 header bytes laid out as in the file.
struct DbiHeader {
  unsigned char Id[4];         // 4, 0, 0, 0
  int32_t N_Rec;               // node slots in the file, live and free
  int16_t RecLen;              // bytes per slot: KeyLen + 16
  int16_t HdrLen;              // offset of slot 0 (128)
  int32_t Head;                // root node, 0 when empty
  int32_t First;               // node with the smallest key, 0 when empty
  int32_t Last;                // node with the largest key, 0 when empty
  int32_t Free;                // first free slot, 0 when none
  int32_t Reserved;            // zero
  char Label[DBI_LABEL_SIZE];  // label text, NUL-padded
};

// The header image has the file's layout (its fields are stored in the
// file little-endian whatever the host).
static_assert(offsetof(DbiHeader, Id) == DBI_HDR_ID &&
                  offsetof(DbiHeader, N_Rec) == DBI_HDR_N_REC &&
                  offsetof(DbiHeader, RecLen) == DBI_HDR_REC_LEN &&
                  offsetof(DbiHeader, HdrLen) == DBI_HDR_HDR_LEN &&
                  offsetof(DbiHeader, Head) == DBI_HDR_HEAD &&
                  offsetof(DbiHeader, First) == DBI_HDR_FIRST &&
                  offsetof(DbiHeader, Last) == DBI_HDR_LAST &&
                  offsetof(DbiHeader, Free) == DBI_HDR_FREE &&
                  offsetof(DbiHeader, Reserved) == DBI_HDR_RESERVED &&
                  offsetof(DbiHeader, Label) == DBI_HDR_LABEL,
              "each header field lies where the file has it");
static_assert(sizeof(DbiHeader) == DBI_HDR_SIZE && DBI_HDR_LABEL + DBI_LABEL_SIZE == DBI_HDR_SIZE,
              "the header image is the 128 header bytes, the label last");

// One open index file. Owns FileName, Stream, Key and SearchKey.
struct DBI {
  char* FileName;     // owned copy of the file name
  FILE* Stream;       // the file's stream (over the page cache)
  DbiHeader Header;   // header image; the file's header is a copy of it
  int32_t Cur;        // offset of the current node, 0 before any visit
  int32_t Parent;     // current node's Parent as stored (sign = colour)
  int32_t Left;       // current node's Left
  int32_t Right;      // current node's Right
  int32_t RecNo;      // current node's RecNo
  int16_t KeyLen;     // key length: RecLen - 16
  char* Key;          // KeyLen + 1 bytes: current node's key, NUL at KeyLen
  char* SearchKey;    // KeyLen + 1 bytes: key of the last DbiAdd or DbiFind
  const char* Fault;  // null, or the step of the first failed write of a tree
                      // operation: the file's tree may be half-changed, and
                      // no later operation writes (see DbiAdd)
};

// A node's 16-byte link block, as read or written by the node store.
struct DbiLinks {
  int32_t Parent;  // stored Parent, negative for a red node
  int32_t Left;    // left child or 0
  int32_t Right;   // right child or 0
  int32_t RecNo;   // value, or next free slot in a free slot
};

static_assert(offsetof(DbiLinks, Parent) == DBI_PARENT && offsetof(DbiLinks, Left) == DBI_LEFT &&
                  offsetof(DbiLinks, Right) == DBI_RIGHT &&
                  offsetof(DbiLinks, RecNo) == DBI_RECNO && sizeof(DbiLinks) == DBI_KEY,
              "the link block is the slot's first 16 bytes, field by field");

// Module-wide error state shared by all handles. DbiLastError names the step
// that failed last (a fixed text, or null); a later success does not clear
// it. DbiLastStatus is the raw result of the last step: a seek (0 = success),
// an item count of a read or write (1 = success), or the offset or RecNo of
// the last positioning step (0 = failure).
extern const char* DbiLastError;
extern int32_t DbiLastStatus;

// ---- Handle ------------------------------------------------------------

// Allocates an empty handle; stores it through dbi when given. Null on
// failure with "No Memory for DBI" (*dbi untouched). Release with DbiFree.
DBI* DbiCreate(DBI** dbi);

// Makes the handle empty (no file, no buffers, HdrLen 128, Id 4,0,0,0,
// everything else zero) without releasing anything; sets DbiLastStatus 0.
void DbiInit(DBI* dbi);

// Closes *dbi, releases it and sets *dbi to null. Accepts a null address and
// a null handle.
void DbiFree(DBI** dbi);

// Creates (or truncates) fileName as a new empty index with the given label
// (at most 96 bytes kept; null is empty) and key length. dbi must be empty.
// Returns 0, or 1 "fopen New File", 2 or 3 "Key in New" (a key length below
// 0 or above 32751 cannot have buffers), 4 "Save Header in New". What was
// acquired before a failure stays in the handle for DbiClose.
int DbiNew(DBI* dbi, const char* fileName, const char* label, int keyLen);

// Like DbiNew, on a file that did not exist: nameTemplate ends in six 'X'
// and an optional suffix ("velmarXXXXXX.tmp"), and the X's become a unique
// part. The file is created exclusively with mode 0600 (never an existing
// file, never through a link) and the index works on that very file even if
// the name is later replaced. FileName holds the name made once the file
// exists, also after a failure (the caller deletes the file); it stays null
// when no file was made. On Windows the file is opened delete-on-close: the
// system deletes it when DbiClose closes it or the process ends, and the
// caller's delete finds nothing. Returns DbiNew's results and texts: 0, 1
// "fopen New File", 2 or 3 "Key in New", 4 "Save Header in New".
int DbiNewTemp(DBI* dbi, const char* nameTemplate, const char* label, int keyLen);

// Opens an existing index file for reading and writing; reads the header
// without examining it. dbi must be empty. Returns 0, or 1 "Filename in
// Open", 2 "fopen File", 3 "fread FH in Open" (no whole 128-byte header),
// 4 or 5 "Key in Open" (also when RecLen leaves no room for a key buffer).
int DbiOpen(DBI* dbi, const char* fileName);

// Releases the file name, the stream and the key buffers and empties the
// handle. Does not write the header (the operations already did). Returns 0.
int DbiClose(DBI* dbi);

// ---- Accessors ---------------------------------------------------------

// The current node's key (the handle's buffer, NUL-terminated); copied with
// its terminator into dest (KeyLen + 1 bytes) when dest is given.
char* DbiKey(DBI* dbi, char* dest);

// The label text, at most 96 characters. When dest (97 bytes) is given the
// label is copied there and dest is returned; otherwise the result is the
// header image's Label, or for a label that fills all 96 bytes a terminated
// copy in a module-wide buffer valid until the next DbiLabel.
const char* DbiLabel(DBI* dbi, char* dest);

// The current node's RecNo.
int32_t DbiRecNo(DBI* dbi);

// Writes value into the RecNo field of the current node and the handle.
// Returns 0, or 1 when there is no current node, the write failed (the
// handle's RecNo then unchanged) or the handle holds a Fault (nothing
// written; see DbiAdd).
int DbiSetRecNo(DBI* dbi, int32_t value);

// N_Rec: the number of node slots, live and free.
int32_t DbiCount(DBI* dbi);

// The name of the index's file (for DbiNewTemp the name it made), or null
// when the handle has none.
const char* DbiFileName(const DBI* dbi);

// KeyLen: the bytes of a key that the index keeps.
int DbiKeyLen(const DBI* dbi);

// Whether the index holds no entry: its First is 0.
bool DbiEmpty(const DBI* dbi);

// Whether the current node is the last entry in key order (Last). False
// before any visit and in an empty index. A walk asks this before DbiNext,
// since a stored RecNo of 0 looks like the end.
bool DbiAtLast(const DBI* dbi);

// Whether the last positioning operation failed to read the node it was to
// reach (DbiStatus() is 0, and DbiError names the step), as opposed to
// answering a RecNo of 0. Meaningful right after DbiFirst or DbiLast (an
// empty tree counts as failed) and after DbiNext (DbiPrev) from an entry
// that has a successor (predecessor).
bool DbiStepFailed();

// DbiLastError (may be null); copied into dest when both are present.
const char* DbiError(char* dest);

// DbiLastStatus.
int32_t DbiStatus();

// Sets DbiLastError to null and DbiLastStatus to 0.
void DbiClearError();

// ---- Node store ----------------------------------------------------------
// A node argument may be negative (its absolute value is used). A node that
// is not the start of one of the N_Rec slots counts as a failed seek. Each
// primitive leaves the raw result of its last seek, read or write in
// DbiLastStatus and sets no message. Writes wait in the stream's buffer: one
// that cannot reach the file fails the next seek on the stream, or the
// push that DbiGet and DbiSaveHeader end with, so a tree operation learns of
// it by its end (the primitives do not look at Fault).

// Makes node current: reads its links into Parent, Left, Right, RecNo and
// its key into Key. Returns Cur, or 0 on failure (Cur already changed). Node
// 0 returns 0 and changes nothing.
int32_t DbiGoto(DBI* dbi, int32_t node);

// Reads node's link block into links (zeroed first) and, when key is given,
// its KeyLen key bytes plus a NUL into key. The current node is unchanged.
// Returns 0, 1 (null node), 2 (seek), 3 (link read), 4 (key read).
int DbiReadNode(DBI* dbi, int32_t node, DbiLinks* links, char* key);

// Writes KeyLen bytes from key into node's key. Returns 0, 1 (null node),
// 2 (seek), 3 (write).
int DbiWriteKey(DBI* dbi, int32_t node, const char* key);

// The value of one field (DBI_PARENT, DBI_LEFT, DBI_RIGHT, DBI_RECNO) of
// node; 0 for a null node or a failed seek or read.
int32_t DbiReadField(DBI* dbi, int32_t node, int field);

// Writes value into one field of node. Returns 0, 1 (null node), 2 (seek),
// 3 (write).
int DbiWriteField(DBI* dbi, int32_t node, int field, int32_t value);

// Sets parent's Left or Right (side) to child when parent is not 0, then
// child's Parent to parent with its sign when child is not 0: a negated
// parent makes the child red. Both writes are made; returns 0, or
// DbiWriteField's result for the first that failed.
int DbiLink(DBI* dbi, int32_t parent, int side, int32_t child);

// A fresh zeroed slot: the head of the free list, else one appended (N_Rec
// grows). Clears Key. The slot's bytes are pushed to the file at once, with
// whatever earlier writes still wait. Returns its offset, or 0 on failure,
// when the header image is left as it was (no slot that is not in the file
// is counted). The header is not written.
int32_t DbiGet(DBI* dbi);

// Puts slot node on the free list: zero Parent, Left, Right, the old Free as
// its RecNo, Free := node. Key bytes stay; the header is not written.
// Returns 0, 1 (seek), 2 (write of the zeroed links), 3 (write of the link).
int DbiRelease(DBI* dbi, int32_t node);

// Writes the header image at offset 0 and pushes it to the file, with
// whatever earlier writes still wait. Returns 0, 1 (seek), 2 (write, or any
// waiting write, failed).
int DbiSaveHeader(DBI* dbi);

// ---- Tree operations -----------------------------------------------------
// Keys compare as NUL-terminated texts of unsigned bytes, cut to KeyLen. A
// positioning operation answers with the RecNo of the node reached and 0 for
// none, so a stored RecNo of 0 cannot be told from a miss. On a damaged
// file every descent and climb gives up, as a failed step, once it is longer
// than any path of a sound tree of N_Rec slots (2 log2(N_Rec + 1) + 2 steps,
// and never more than N_Rec); a link outside the slots fails its step too.

// Adds key with value; it lands after every equal key. Returns 0, or 1 "Get
// in Add" (no slot: nothing in the tree changed), 2 "Goto First in Add", 3
// "Goto Last in Add", 4 "Goto Header in Add", 5 "Goto Left in Add", 6 "Goto
// Right in Add" (the new slot is written but in neither the tree nor the
// free list), 7 "Save Header in Add" (the header, or a write of the repair
// still waiting in the stream's buffer, could not be written), 8 "Link in
// Add" (a read or write of the repair failed, or it ran longer than a sound
// tree allows). Afterwards the position is undefined: position again.
//
// After 7 or 8 the tree in the file may be half-changed. The handle keeps
// the step's message as its Fault, the first such failure only, and writes
// no more: every later DbiAdd returns 8, DbiDelete 5 and DbiSetRecNo 1, each
// at once, with the Fault as their message. Reads go on (every walk is
// bounded); DbiClose clears the Fault.
int DbiAdd(DBI* dbi, const char* key, int32_t value);

// Deletes the first entry whose key begins with key and, when recNo > 0,
// whose RecNo is recNo. Returns 0, or 1 "Key to Delete", 2 "RecNo to
// Delete" (nothing changed), 3 "Save Header in Delete", 4 "Successor in
// Delete" (the successor of an entry with a right child could not be read,
// nothing changed; or its key and value could not be copied), 5 "Link in
// Delete" (a read or write of the unlinking failed, or it ran longer than a
// sound tree allows), 6 "Release in Delete" (the slot could not be put on
// the free list). Failures 3 to 6, except a successor that could not be
// read, keep their message as the handle's Fault, as in DbiAdd.
int DbiDelete(DBI* dbi, const char* key, int32_t recNo);

// Positions on the first entry whose first strlen(key) bytes are not below
// those of key (cut to KeyLen); returns its RecNo when they are equal, else 0.
// Failures: 0 with "Goto Header in Find", "Goto Left in Find", "Goto Right
// in Find" or "Next in Find". An empty tree gives 0 and no message.
int32_t DbiFind(DBI* dbi, const char* key);

// Positions on First (Last); its RecNo, or 0 with "Goto First" ("Goto
// Last") for an empty tree or a failed read.
int32_t DbiFirst(DBI* dbi);
int32_t DbiLast(DBI* dbi);

// Moves to the in-order successor (predecessor) and returns its RecNo; 0 at
// the end, on a failure ("Goto Right in Next", "Goto Left in Next", "Goto
// Parent in Next"; for DbiPrev "Goto Left in Prev", "Goto Right in Prev",
// "Goto Parent in Prev"), or, with a key, when the entry reached does not
// begin with the last search key over strlen(key) bytes (it moved all the
// same). At the end the position may be left on the root.
int32_t DbiNext(DBI* dbi, const char* key);
int32_t DbiPrev(DBI* dbi, const char* key);

// ---- Diagnostics ---------------------------------------------------------

// Prints the header and every slot in file order (free ones included) to
// standard output. A slot that cannot be read ends the listing with "Goto
// Offset in Dump". The position is left on the last slot listed.
void DbiDump(DBI* dbi);

#endif  // VELMAR_INDEX_DBI_H
