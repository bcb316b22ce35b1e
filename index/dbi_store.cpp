// The DBI handle, its accessors, the module-wide error state and the node
// store: slots are read and written through the handle's stream with one
// absolute seek each, little-endian on disk, and only inside the N_Rec slots.
// Writes wait in the stream's buffer until a new slot or the header pushes
// them on, so a failure shows once per operation, not once per field.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "index/dbi.h"
#include "index/dbi_cache.h"
#include "index/dbi_internal.h"

const char* DbiLastError = nullptr;
int32_t DbiLastStatus = 0;

namespace {

// ---- Little-endian encoding ----------------------------------------------

void PutI32(unsigned char* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  p[0] = static_cast<unsigned char>(u);
  p[1] = static_cast<unsigned char>(u >> 8);
  p[2] = static_cast<unsigned char>(u >> 16);
  p[3] = static_cast<unsigned char>(u >> 24);
}

int32_t GetI32(const unsigned char* p) {
  return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutI16(unsigned char* p, int16_t v) {
  uint16_t u = static_cast<uint16_t>(v);
  p[0] = static_cast<unsigned char>(u);
  p[1] = static_cast<unsigned char>(u >> 8);
}

int16_t GetI16(const unsigned char* p) {
  return static_cast<int16_t>(p[0] | p[1] << 8);
}

void EncodeHeader(const DbiHeader* h, unsigned char* p) {
  std::memcpy(p + DBI_HDR_ID, h->Id, sizeof h->Id);
  PutI32(p + DBI_HDR_N_REC, h->N_Rec);
  PutI16(p + DBI_HDR_REC_LEN, h->RecLen);
  PutI16(p + DBI_HDR_HDR_LEN, h->HdrLen);
  PutI32(p + DBI_HDR_HEAD, h->Head);
  PutI32(p + DBI_HDR_FIRST, h->First);
  PutI32(p + DBI_HDR_LAST, h->Last);
  PutI32(p + DBI_HDR_FREE, h->Free);
  PutI32(p + DBI_HDR_RESERVED, h->Reserved);
  std::memcpy(p + DBI_HDR_LABEL, h->Label, DBI_LABEL_SIZE);
}

void DecodeHeader(const unsigned char* p, DbiHeader* h) {
  std::memcpy(h->Id, p + DBI_HDR_ID, sizeof h->Id);
  h->N_Rec = GetI32(p + DBI_HDR_N_REC);
  h->RecLen = GetI16(p + DBI_HDR_REC_LEN);
  h->HdrLen = GetI16(p + DBI_HDR_HDR_LEN);
  h->Head = GetI32(p + DBI_HDR_HEAD);
  h->First = GetI32(p + DBI_HDR_FIRST);
  h->Last = GetI32(p + DBI_HDR_LAST);
  h->Free = GetI32(p + DBI_HDR_FREE);
  h->Reserved = GetI32(p + DBI_HDR_RESERVED);
  std::memcpy(h->Label, p + DBI_HDR_LABEL, DBI_LABEL_SIZE);
}

void EncodeLinks(const DbiLinks* l, unsigned char* p) {
  PutI32(p + DBI_PARENT, l->Parent);
  PutI32(p + DBI_LEFT, l->Left);
  PutI32(p + DBI_RIGHT, l->Right);
  PutI32(p + DBI_RECNO, l->RecNo);
}

void DecodeLinks(const unsigned char* p, DbiLinks* l) {
  l->Parent = GetI32(p + DBI_PARENT);
  l->Left = GetI32(p + DBI_LEFT);
  l->Right = GetI32(p + DBI_RIGHT);
  l->RecNo = GetI32(p + DBI_RECNO);
}

// ---- Stream access --------------------------------------------------------

// 1 when the handle has its stream and buffers and slots can hold a key.
int IsOpen(const DBI* dbi) {
  return dbi->Stream && dbi->Key && dbi->SearchKey && dbi->Header.RecLen >= DBI_KEY;
}

// 1 when off is the start of one of the N_Rec slots of an open handle.
int IsSlot(const DBI* dbi, int32_t off) {
  const DbiHeader& h = dbi->Header;
  if (!IsOpen(dbi) || off <= 0) return 0;
  int64_t rel = static_cast<int64_t>(off) - h.HdrLen;
  return rel >= 0 && rel % h.RecLen == 0 && rel / h.RecLen < h.N_Rec;
}

// Absolute seek; the result goes to DbiLastStatus.
int Seek(DBI* dbi, int64_t off) {
  DbiLastStatus = std::fseek(dbi->Stream, static_cast<long>(off), SEEK_SET);
  return DbiLastStatus;
}

// Seeks to byte `at` of slot node; nonzero (a failed seek) for a non-slot.
int SeekSlot(DBI* dbi, int32_t node, int at) {
  if (!IsSlot(dbi, node)) {
    DbiLastStatus = -1;
    return -1;
  }
  return Seek(dbi, static_cast<int64_t>(node) + at);
}

// One whole item read or written; the item count goes to DbiLastStatus.
int ReadItem(DBI* dbi, void* p, size_t n) {
  if (n == 0) return 1;  // a key length of 0 has no key bytes
  DbiLastStatus = static_cast<int32_t>(std::fread(p, n, 1, dbi->Stream));
  return DbiLastStatus;
}

// Writes one item into the stream's buffer; the item count goes to
// DbiLastStatus. A write the buffer cannot pass on fails later: see Push.
int WriteItem(DBI* dbi, const void* p, size_t n) {
  DbiLastStatus = n > 0 ? static_cast<int32_t>(std::fwrite(p, n, 1, dbi->Stream))
                        : 1;  // a key length of 0 has no key bytes
  return DbiLastStatus;
}

// After the writes of a primitive that succeeded so far (status 1), pushes
// every write still in the stream's buffer to the file; 1, or 0 when one of
// them failed. Once per operation: a push per field would cost a call into
// the stream's file each.
int Push(DBI* dbi, int status) {
  if (status == 1 && std::fflush(dbi->Stream) != 0) status = 0;
  DbiLastStatus = status;
  return status;
}

size_t KeyBytes(const DBI* dbi) {
  return static_cast<size_t>(dbi->KeyLen);
}

int ValidField(int field) {
  return field == DBI_PARENT || field == DBI_LEFT || field == DBI_RIGHT || field == DBI_RECNO;
}

// A zero-filled buffer of KeyLen + 1 bytes, or null when that size is not
// positive or cannot be had.
char* NewKeyBuffer(int keyLen) {
  if (keyLen < 0) return nullptr;
  return static_cast<char*>(std::calloc(static_cast<size_t>(keyLen) + 1, 1));
}

char* CopyText(const char* text) {
  if (!text) return nullptr;
  size_t n = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

}  // namespace

// ---- Handle --------------------------------------------------------------

void DbiInit(DBI* dbi) {
  std::memset(dbi, 0, sizeof *dbi);
  dbi->FileName = nullptr;
  dbi->Stream = nullptr;
  dbi->Key = nullptr;
  dbi->SearchKey = nullptr;
  dbi->Fault = nullptr;
  dbi->Header.Id[0] = 4;
  dbi->Header.HdrLen = DBI_HDR_SIZE;
  DbiLastStatus = 0;
}

DBI* DbiCreate(DBI** out) {
  DBI* dbi = static_cast<DBI*>(std::malloc(sizeof(DBI)));
  if (!dbi) {
    DbiFail(0, "No Memory for DBI");
    return nullptr;
  }
  DbiInit(dbi);
  if (out) *out = dbi;
  return dbi;
}

void DbiFree(DBI** dbi) {
  if (!dbi || !*dbi) return;
  DbiClose(*dbi);
  std::free(*dbi);
  *dbi = nullptr;
}

int DbiNew(DBI* dbi, const char* fileName, const char* label, int keyLen) {
  dbi->FileName = CopyText(fileName);
  if (dbi->FileName) dbi->Stream = DbiCacheStream(std::fopen(dbi->FileName, "w+b"), kDbiCacheBytes);
  if (!dbi->Stream) return DbiFail(1, "fopen New File");
  return DbiSetUpNew(dbi, label, keyLen);
}

int DbiSetUpNew(DBI* dbi, const char* label, int keyLen) {
  int usable = keyLen >= 0 && keyLen <= INT16_MAX - DBI_KEY;
  dbi->KeyLen = static_cast<int16_t>(keyLen);
  dbi->Header.RecLen = static_cast<int16_t>(keyLen + DBI_KEY);
  DbiCopyPadded(dbi->Header.Label, label, sizeof dbi->Header.Label);
  dbi->Key = usable ? NewKeyBuffer(keyLen) : nullptr;
  if (!dbi->Key) return DbiFail(2, "Key in New");
  dbi->SearchKey = NewKeyBuffer(keyLen);
  if (!dbi->SearchKey) return DbiFail(3, "Key in New");
  DbiLastStatus = DbiSaveHeader(dbi);
  if (DbiLastStatus != 0) return DbiFail(4, "Save Header in New");
  return 0;
}

int DbiOpen(DBI* dbi, const char* fileName) {
  dbi->FileName = CopyText(fileName);
  if (!dbi->FileName) return DbiFail(1, "Filename in Open");
  dbi->Stream = DbiCacheStream(std::fopen(dbi->FileName, "r+b"), kDbiCacheBytes);
  if (!dbi->Stream) return DbiFail(2, "fopen File");
  unsigned char bytes[DBI_HDR_SIZE];
  DbiLastStatus = static_cast<int32_t>(std::fread(bytes, sizeof bytes, 1, dbi->Stream));
  if (DbiLastStatus != 1) return DbiFail(3, "fread FH in Open");
  DecodeHeader(bytes, &dbi->Header);
  dbi->KeyLen = static_cast<int16_t>(dbi->Header.RecLen - DBI_KEY);
  dbi->Key = NewKeyBuffer(dbi->KeyLen);
  if (!dbi->Key) return DbiFail(4, "Key in Open");
  dbi->SearchKey = NewKeyBuffer(dbi->KeyLen);
  if (!dbi->SearchKey) return DbiFail(5, "Key in Open");
  return 0;
}

int DbiClose(DBI* dbi) {
  std::free(dbi->FileName);
  if (dbi->Stream) std::fclose(dbi->Stream);
  std::free(dbi->Key);
  std::free(dbi->SearchKey);
  DbiInit(dbi);
  return 0;
}

// ---- Accessors -------------------------------------------------------------

char* DbiKey(DBI* dbi, char* dest) {
  if (dest) {
    if (dbi->Key) {
      std::memcpy(dest, dbi->Key, KeyBytes(dbi) + 1);
    } else {
      dest[0] = '\0';
    }
  }
  return dbi->Key;
}

const char* DbiLabel(DBI* dbi, char* dest) {
  static char full[sizeof dbi->Header.Label + 1];
  const char* label = dbi->Header.Label;
  const void* end = std::memchr(label, '\0', sizeof dbi->Header.Label);
  size_t n = end ? static_cast<size_t>(static_cast<const char*>(end) - label) : sizeof full - 1;
  if (!dest && n < sizeof dbi->Header.Label) return label;
  char* out = dest ? dest : full;
  std::memcpy(out, label, n);
  out[n] = '\0';
  return out;
}

int32_t DbiRecNo(DBI* dbi) {
  return dbi->RecNo;
}

int DbiSetRecNo(DBI* dbi, int32_t value) {
  if (dbi->Fault) return DbiFail(1, dbi->Fault);
  if (dbi->Cur == 0 || DbiWriteField(dbi, dbi->Cur, DBI_RECNO, value) != 0) return 1;
  if (Push(dbi, 1) != 1) return 1;
  dbi->RecNo = value;
  return 0;
}

int32_t DbiCount(DBI* dbi) {
  return dbi->Header.N_Rec;
}

const char* DbiFileName(const DBI* dbi) {
  return dbi->FileName;
}

int DbiKeyLen(const DBI* dbi) {
  return dbi->KeyLen;
}

bool DbiEmpty(const DBI* dbi) {
  return dbi->Header.First == 0;
}

bool DbiAtLast(const DBI* dbi) {
  return dbi->Cur != 0 && dbi->Cur == dbi->Header.Last;
}

bool DbiStepFailed() {
  return DbiLastStatus == 0;
}

const char* DbiError(char* dest) {
  if (dest && DbiLastError) std::strcpy(dest, DbiLastError);
  return DbiLastError;
}

int32_t DbiStatus() {
  return DbiLastStatus;
}

void DbiClearError() {
  DbiLastError = nullptr;
  DbiLastStatus = 0;
}

// ---- Node store -------------------------------------------------------------

namespace {

const size_t kSlotBuffer = DBI_KEY + 240;  // slots up to this size are read in one go

// Reads slot node's link block into links and, when key is given, its key
// bytes plus a NUL: one read of 16 + KeyLen bytes (two for very long keys).
// Returns 0, 2 (seek), 3 (link block read), 4 (key read); links is filled
// whenever the link block was read.
int ReadSlot(DBI* dbi, int32_t node, DbiLinks* links, char* key) {
  if (SeekSlot(dbi, node, 0) != 0) return 2;
  size_t keyBytes = key ? KeyBytes(dbi) : 0;
  unsigned char bytes[kSlotBuffer];
  size_t want = DBI_KEY + (DBI_KEY + keyBytes <= sizeof bytes ? keyBytes : 0);
  size_t got = std::fread(bytes, 1, want, dbi->Stream);
  DbiLastStatus = got == want;
  if (got < static_cast<size_t>(DBI_KEY)) return 3;
  DecodeLinks(bytes, links);
  if (!key) return 0;
  if (want > DBI_KEY) {
    if (got < want) return 4;
    std::memcpy(key, bytes + DBI_KEY, keyBytes);
  } else if (ReadItem(dbi, key, keyBytes) != 1) {
    return 4;
  }
  key[keyBytes] = '\0';
  return 0;
}

}  // namespace

int32_t DbiGoto(DBI* dbi, int32_t node) {
  if (node == 0) return 0;
  dbi->Cur = DbiAbs(node);
  DbiLinks l;
  int r = ReadSlot(dbi, dbi->Cur, &l, dbi->Key);
  if (r == 0 || r == 4) {
    dbi->Parent = l.Parent;
    dbi->Left = l.Left;
    dbi->Right = l.Right;
    dbi->RecNo = l.RecNo;
  }
  return r == 0 ? dbi->Cur : 0;
}

int DbiReadNode(DBI* dbi, int32_t node, DbiLinks* links, char* key) {
  *links = DbiLinks{0, 0, 0, 0};
  if (node == 0) return 1;
  return ReadSlot(dbi, DbiAbs(node), links, key);
}

int DbiWriteKey(DBI* dbi, int32_t node, const char* key) {
  if (node == 0) return 1;
  if (SeekSlot(dbi, DbiAbs(node), DBI_KEY) != 0) return 2;
  if (WriteItem(dbi, key, KeyBytes(dbi)) != 1) return 3;
  return 0;
}

int32_t DbiReadField(DBI* dbi, int32_t node, int field) {
  unsigned char bytes[4];
  if (node == 0 || !ValidField(field)) return 0;
  if (SeekSlot(dbi, DbiAbs(node), field) != 0) return 0;
  if (ReadItem(dbi, bytes, sizeof bytes) != 1) return 0;
  return GetI32(bytes);
}

int DbiWriteField(DBI* dbi, int32_t node, int field, int32_t value) {
  unsigned char bytes[4];
  if (node == 0) return 1;
  if (!ValidField(field) || SeekSlot(dbi, DbiAbs(node), field) != 0) return 2;
  PutI32(bytes, value);
  if (WriteItem(dbi, bytes, sizeof bytes) != 1) return 3;
  return 0;
}

int DbiLink(DBI* dbi, int32_t parent, int side, int32_t child) {
  int down = parent != 0 ? DbiWriteField(dbi, parent, side, child) : 0;
  int up = child != 0 ? DbiWriteField(dbi, child, DBI_PARENT, parent) : 0;
  return down != 0 ? down : up;
}

// ---- Slot allocation ------------------------------------------------------

namespace {

// The slot DbiGet hands out: the free list's head, whose link is read into
// *nextFree, else a new slot at the end. 0 when the free head is not a slot,
// its link cannot be read, or the file cannot have another slot.
int32_t ChooseSlot(DBI* dbi, int32_t* nextFree) {
  const DbiHeader& h = dbi->Header;
  if (h.Free != 0) {
    unsigned char next[4];
    if (SeekSlot(dbi, h.Free, DBI_RECNO) != 0 || ReadItem(dbi, next, sizeof next) != 1) return 0;
    *nextFree = GetI32(next);
    return h.Free;
  }
  int64_t end = h.HdrLen + static_cast<int64_t>(h.N_Rec) * h.RecLen;
  if (!IsOpen(dbi) || h.N_Rec < 0 || h.N_Rec == INT32_MAX || end <= 0 || end > INT32_MAX) {
    DbiLastStatus = -1;
    return 0;
  }
  return static_cast<int32_t>(end);
}

}  // namespace

namespace {

// Obtains a slot and writes it whole, links and key (text cut to KeyLen
// bytes and NUL-padded; null for none) in one go. The header image changes
// (Free moves on, or N_Rec grows) only once the slot has been written, so a
// slot that could not be had is never counted. The current node's key is
// cleared, as DbiGet promises.
int32_t GetWritten(DBI* dbi, const DbiLinks* links, const char* key) {
  if (dbi->Key) DbiCopyPadded(dbi->Key, key, KeyBytes(dbi));
  int32_t nextFree = 0;
  int32_t slot = ChooseSlot(dbi, &nextFree);
  int appended = dbi->Header.Free == 0;
  if (slot != 0 && appended) dbi->Header.N_Rec++;  // the new slot is a slot for the seek below
  unsigned char block[DBI_KEY];
  EncodeLinks(links, block);
  // The stream is left past the slot's key: every primitive seeks to its
  // own slot first, so no caller depends on where a write ends. The slot is
  // pushed to the file at once: the header image may count it only once it
  // is there.
  int written = slot != 0 && SeekSlot(dbi, slot, 0) == 0 &&
                WriteItem(dbi, block, sizeof block) == 1 &&
                Push(dbi, WriteItem(dbi, dbi->Key, KeyBytes(dbi))) == 1;
  if (dbi->Key) std::memset(dbi->Key, 0, KeyBytes(dbi));
  if (!written) {
    if (slot != 0 && appended) dbi->Header.N_Rec--;
    return 0;
  }
  if (!appended) dbi->Header.Free = nextFree;
  return slot;
}

}  // namespace

int32_t DbiGet(DBI* dbi) {
  DbiLinks zeros = {0, 0, 0, 0};
  return GetWritten(dbi, &zeros, nullptr);
}

// DbiAdd's new node: the slot DbiGet would hand out, written at once with
// the node it then gets (where DbiGet's zeros would be overwritten at once).
int32_t DbiGetNode(DBI* dbi, const char* key, int32_t value) {
  DbiLinks fresh = {0, 0, 0, value};
  return GetWritten(dbi, &fresh, key);
}

int DbiRelease(DBI* dbi, int32_t node) {
  unsigned char zeros[DBI_RECNO] = {0};
  unsigned char next[4];
  if (SeekSlot(dbi, node, DBI_PARENT) != 0) return 1;
  if (WriteItem(dbi, zeros, sizeof zeros) != 1) return 2;
  PutI32(next, dbi->Header.Free);
  if (WriteItem(dbi, next, sizeof next) != 1) return 3;
  dbi->Header.Free = node;
  return 0;
}

int DbiSaveHeader(DBI* dbi) {
  unsigned char bytes[DBI_HDR_SIZE];
  if (!dbi->Stream || Seek(dbi, 0) != 0) {
    if (!dbi->Stream) DbiLastStatus = -1;
    return 1;
  }
  EncodeHeader(&dbi->Header, bytes);
  if (Push(dbi, WriteItem(dbi, bytes, sizeof bytes)) != 1) return 2;
  return 0;
}
