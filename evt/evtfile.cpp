// Opening an .evt file and finding records in it. The EOF record gives the
// live part of the circular data area; a record is found by a search over
// that part (probes placed by record number, then bisection, each
// resynchronising on the record signature), then confirmed by walking record
// to record; the record after the last one found is one step.
#include "evt/evtfile.h"

#include <cstdlib>

#include "logfolder/failreason.h"
#include "platform/files.h"
#include "platform/regularfile.h"

namespace {

const uint32_t kWalkRecords = 16;  // this close to a known record, walk instead of searching
const int kGuesses = 4;            // probes placed by record number before plain halving

// A record start that passed every check.
struct RecHead {
  uint32_t Lin;     // position along the log: bytes from Begin
  uint32_t Length;  // its Length field
  uint32_t Number;  // its RecordNumber field
};

// ---- Positions ---------------------------------------------------------
// A "linear" position counts bytes from Begin along the circle, so the live
// records lie in [0, Live) in number order and the EOF record at Live.

uint32_t DataSize(const EvtFile* f) {
  return f->Size - kEvtHeaderSize;
}

uint32_t Phys(const EvtFile* f, uint64_t lin) {
  return kEvtHeaderSize + static_cast<uint32_t>((f->Begin - kEvtHeaderSize + lin) % DataSize(f));
}

uint32_t Lin(const EvtFile* f, uint32_t phys) {
  return static_cast<uint32_t>((static_cast<uint64_t>(phys) + DataSize(f) - f->Begin) %
                               DataSize(f));
}

// Steps over a tail too short for a fixed part: no record starts there, the
// next one is at 0x30. The EOF record may lie in such a tail, so End stays.
uint64_t SkipTail(const EvtFile* f, uint64_t lin) {
  if (lin >= f->Live) return lin;
  uint32_t p = Phys(f, lin);
  return f->Size - p < kEvtFixedSize ? lin + (f->Size - p) : lin;
}

bool ReadDword(EvtFile* f, uint32_t off, uint32_t* v) {
  const uint8_t* p = EvtBytes(f, off, 4);
  if (p == nullptr) return false;
  *v = EvtLe32(p);
  return true;
}

// ---- Records -----------------------------------------------------------

// Whether a live record starts at lin: the signature, a Length that is a
// multiple of 4, larger than the fixed part and ends before End, the
// trailing copy, and a number inside [Oldest, Current).
bool ReadHead(EvtFile* f, uint32_t lin, RecHead* h) {
  uint32_t p = Phys(f, lin);
  if (f->Size - p < kEvtFixedSize) return false;
  const uint8_t* b = EvtBytes(f, p, kEvtFixedSize);
  if (b == nullptr) return false;
  uint32_t len = EvtLe32(b + kEvtRecLength), sig = EvtLe32(b + kEvtRecReserved);
  uint32_t num = EvtLe32(b + kEvtRecRecordNumber);
  if (sig != kEvtSignature || len <= kEvtFixedSize || len % 4 != 0) return false;
  if (static_cast<uint64_t>(lin) + len > f->Live || num < f->Oldest || num >= f->Current)
    return false;
  // A record lying whole before S is brought in whole, so that handing it
  // back after this check reads nothing more.
  uint32_t copy;
  if (len <= f->Size - p && len <= kEvtBlockSize) {
    const uint8_t* whole = EvtBytes(f, p, len);
    if (whole == nullptr) return false;
    copy = EvtLe32(whole + len - 4);
  } else if (!ReadDword(f, Phys(f, static_cast<uint64_t>(lin) + len - 4), &copy)) {
    return false;
  }
  if (copy != len) return false;
  *h = RecHead{lin, len, num};
  return true;
}

// Whether what follows h fits it: the next record by number, or the EOF
// record when h is the newest. A stray signature inside a record's data
// rarely passes this too.
bool FollowerFits(EvtFile* f, const RecHead& h) {
  uint64_t next = SkipTail(f, static_cast<uint64_t>(h.Lin) + h.Length);
  if (next == f->Live) return h.Number + 1 == f->Current;
  RecHead n;
  return next < f->Live && ReadHead(f, static_cast<uint32_t>(next), &n) && n.Number == h.Number + 1;
}

// The first record start in [from, to) whose follower fits, found by looking
// for the signature in 4-byte steps.
bool Resync(EvtFile* f, uint32_t from, uint32_t to, RecHead* h) {
  for (uint64_t lin = SkipTail(f, from); lin < to; lin = SkipTail(f, lin + 4)) {
    uint32_t sig;
    uint32_t p = Phys(f, lin);
    if (!ReadDword(f, p + kEvtRecReserved, &sig)) return false;
    if (sig == kEvtSignature && ReadHead(f, static_cast<uint32_t>(lin), h) && FollowerFits(f, *h))
      return true;
  }
  return false;
}

// Walks from the record start lin, which must carry number num, record by
// record to number want. Every step is checked; the walk never passes End.
bool Walk(EvtFile* f, uint64_t lin, uint32_t num, uint32_t want, RecHead* out) {
  for (;;) {
    RecHead h;
    if (lin >= f->Live || !ReadHead(f, static_cast<uint32_t>(lin), &h) || h.Number != num)
      return false;
    if (num == want) {
      *out = h;
      return true;
    }
    lin = SkipTail(f, lin + h.Length);
    ++num;
  }
}

// The state of a search for one record: a checked record A at or before it,
// and a position H it starts before.
struct Bounds {
  uint64_t LinA;  // where A starts
  uint64_t LinH;  // the record sought starts before this
  uint32_t NumA;  // A's number
  uint32_t NumH;  // number of the first record from LinH on
};

// Where record want should start if the records between A and H have like
// lengths (LinH when the numbers say nothing).
uint64_t Estimate(const Bounds& b, uint32_t want) {
  if (b.NumH <= want) return b.LinH;
  return b.LinA + (b.LinH - b.LinA) * (want - b.NumA) / (b.NumH - b.NumA);
}

// Whether want is a short walk from A: few records, within about a probe.
bool Near(const Bounds& b, uint32_t want) {
  return b.LinH - b.LinA <= kEvtProbeSize ||
         (want - b.NumA <= kWalkRecords && Estimate(b, want) - b.LinA <= kEvtProbeSize);
}

// Where to probe next, after A: a little before the estimate so that the
// record falls inside the probe, or with `halve` the middle.
uint64_t ProbeAt(const Bounds& b, uint32_t want, bool halve) {
  uint64_t step = (b.LinH - b.LinA) / 2;
  if (!halve) {
    step = Estimate(b, want) - b.LinA;
    step = step > kEvtProbeSize / 4 ? step - kEvtProbeSize / 4 : 0;
  }
  step &= ~3ull;
  return b.LinA + (step > 4 ? step : 4);
}

// Finds record want (Oldest <= want < Current). A few probes guess its place
// from the record numbers, which on a real log lands next to it; if they do
// not settle it, halving [A, H) finishes in log2 steps. Each probe
// resynchronises on the first record from there. A walk from A ends it.
bool Locate(EvtFile* f, uint32_t want, RecHead* out) {
  Bounds b{SkipTail(f, 0), f->Live, f->Oldest, f->Current};
  if (f->HaveLast && f->LastNum <= want) {
    b.LinA = Lin(f, f->LastPos), b.NumA = f->LastNum;
  } else if (f->HaveLast) {
    b.LinH = Lin(f, f->LastPos), b.NumH = f->LastNum;
  }
  for (int probe = 0; want != b.NumA && b.LinH > b.LinA && !Near(b, want); ++probe) {
    uint64_t mid = ProbeAt(b, want, probe >= kGuesses);
    RecHead h;
    bool found = Resync(f, static_cast<uint32_t>(mid), static_cast<uint32_t>(b.LinH), &h) &&
                 h.Number > b.NumA;
    if (found && h.Number <= want) {
      b.LinA = h.Lin, b.NumA = h.Number;
    } else {
      b.LinH = mid, b.NumH = found ? h.Number : b.NumH;
    }
  }
  return Walk(f, b.LinA, b.NumA, want, out);
}

// ---- Header and EOF record ---------------------------------------------

// Whether the header's first fields are a log's: its size and signature. A
// file without them is no event log at all; one with them is a damaged log.
bool StartsLikeLog(const uint8_t* h) {
  return EvtLe32(h + kEvtHdrHeaderSize) == kEvtHeaderSize &&
         EvtLe32(h + kEvtHdrSignature) == kEvtSignature;
}

bool HeaderValid(const uint8_t* h, uint32_t size) {
  uint32_t start = EvtLe32(h + kEvtHdrStartOffset), end = EvtLe32(h + kEvtHdrEndOffset);
  return EvtLe32(h + kEvtHdrEndHeaderSize) == kEvtHeaderSize && start >= kEvtHeaderSize &&
         start < size && start % 4 == 0 && end >= kEvtHeaderSize && end < size && end % 4 == 0;
}

// A damaged log: the code, with the check it failed as the detail.
DWORD Damaged(const char* detail) {
  PlatformSetErrorDetail(detail);
  return ERROR_EVENTLOG_FILE_CORRUPT;
}

// Takes the EOF record at p when it is one: 0x28 at both ends, the four
// magic dwords, EndRecord its own offset, and a Begin and numbers that can
// hold: an empty log begins at End, a full one holds at least its count of
// smallest records between Begin and End.
bool TakeEof(EvtFile* f, uint32_t p) {
  uint8_t e[kEvtEofSize];
  if (!EvtCopy(f, p, kEvtEofSize, e)) return false;
  if (EvtLe32(e + kEvtEofRecordSizeBeginning) != kEvtEofSize ||
      EvtLe32(e + kEvtEofRecordSizeEnd) != kEvtEofSize) {
    return false;
  }
  for (int k = 0; k < 4; ++k) {
    if (EvtLe32(e + kEvtEofOne + 4 * k) != kEvtEofMagic[k]) return false;
  }
  uint32_t begin = EvtLe32(e + kEvtEofBeginRecord), end = EvtLe32(e + kEvtEofEndRecord);
  uint32_t current = EvtLe32(e + kEvtEofCurrentRecordNumber);
  uint32_t oldest = EvtLe32(e + kEvtEofOldestRecordNumber);
  if (end != p || begin < kEvtHeaderSize || begin >= f->Size || begin % 4 != 0) return false;
  uint32_t live =
      static_cast<uint32_t>((static_cast<uint64_t>(end) + DataSize(f) - begin) % DataSize(f));
  if (oldest == 0 ? begin != end : current <= oldest || begin == end) return false;
  if (oldest != 0 && static_cast<uint64_t>(current - oldest) * (kEvtFixedSize + 4) > live)
    return false;
  f->Begin = begin, f->End = end, f->Current = current, f->Oldest = oldest, f->Live = live;
  return true;
}

// Finds the EOF record: at the header's EndOffset in a clean file, else
// circularly on from there in 4-byte steps, once round the data area (with
// whole blocks: this is the one scan, and only a dirty or stale file needs it).
bool FindEof(EvtFile* f, uint32_t endOffset, bool dirty) {
  if (!dirty && TakeEof(f, endOffset)) return true;
  f->Fill = kEvtBlockSize;
  uint32_t size = DataSize(f);
  for (uint32_t k = 0; k < size; k += 4) {
    uint32_t p = kEvtHeaderSize + (endOffset - kEvtHeaderSize + k) % size;
    uint32_t first;
    if (!ReadDword(f, p, &first)) return false;
    if (first == kEvtEofSize && TakeEof(f, p)) return true;
  }
  return false;
}

// Reads and checks the header, then finds the EOF record.
DWORD LoadLog(EvtFile* f) {
  f->Fill = kEvtProbeSize;
  const uint8_t* h = EvtBytes(f, 0, kEvtHeaderSize);
  if (h == nullptr) return ERROR_READ_FAULT;
  if (!StartsLikeLog(h)) return ERROR_BAD_FORMAT;
  if (!HeaderValid(h, f->Size)) return Damaged("bad header");
  uint32_t endOffset = EvtLe32(h + kEvtHdrEndOffset);
  f->Flags = EvtLe32(h + kEvtHdrFlags);
  bool dirty = (f->Flags & kEvtFlagDirty) != 0;
  if (!FindEof(f, endOffset, dirty)) return Damaged("no end-of-file record");
  f->Fill = kEvtProbeSize;
  return ERROR_SUCCESS;
}

// What makes a file of this size no whole log, or null when it can be one.
const char* SizeFault(uint64_t size) {
  if (size < kEvtHeaderSize + kEvtEofSize) return "shorter than a header and an end-of-file record";
  if (size > 0xFFFFFFFC) return "larger than 4 GB";
  return size % 4 != 0 ? "size not a multiple of 4" : nullptr;
}

// Opens path read-only as a regular file whose size can be an .evt file's.
// A size that can't be tells a damaged log from a file that is no log by
// the header's first fields.
DWORD OpenFile(const char* path, int* fd, uint32_t* size) {
  uint64_t bytes = 0;
  DWORD err = PlatformOpenRegular(path, fd, &bytes);
  if (err != ERROR_SUCCESS) return err;
  const char* fault = SizeFault(bytes);
  if (fault == nullptr) {
    *size = static_cast<uint32_t>(bytes);
    return ERROR_SUCCESS;
  }
  uint8_t head[8];
  if (PlatformReadAllAt(*fd, head, sizeof head, 0) != static_cast<int64_t>(sizeof head) ||
      !StartsLikeLog(head)) {
    return ERROR_BAD_FORMAT;
  }
  return Damaged(fault);
}

}  // namespace

DWORD EvtOpen(const char* path, EvtFile** out) {
  *out = nullptr;
  PlatformSetErrorDetail(nullptr);
  EvtFile* f = static_cast<EvtFile*>(std::calloc(1, sizeof(EvtFile)));
  if (f == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  f->Magic = kEvtMagic;
  DWORD err = OpenFile(path, &f->Fd, &f->Size);
  if (err == ERROR_SUCCESS) {
    f->Block = static_cast<uint8_t*>(std::malloc(kEvtBlockSize));
    err = f->Block == nullptr ? ERROR_NOT_ENOUGH_MEMORY : LoadLog(f);
  }
  if (err != ERROR_SUCCESS) {
    EvtClose(f);
    return err;
  }
  *out = f;
  return ERROR_SUCCESS;
}

void EvtClose(EvtFile* f) {
  if (f == nullptr) return;
  if (f->Fd >= 0) PlatformCloseFile(f->Fd);
  std::free(f->Block);
  std::free(f->Image);
  std::free(f->Wide.Units);
  f->Magic = 0;
  std::free(f);
}

uint32_t EvtCount(const EvtFile* f) {
  return f->Oldest == 0 ? 0 : f->Current - f->Oldest;
}

namespace {

// The record's bytes in one piece: in the block when it lies whole in the
// file before S and fits a block, else assembled in f->Image.
const uint8_t* RecordImage(EvtFile* f, const RecHead& h) {
  uint32_t p = Phys(f, h.Lin);
  if (h.Length <= kEvtBlockSize && h.Length <= f->Size - p) return EvtBytes(f, p, h.Length);
  if (f->ImageCap < h.Length) {
    uint8_t* grown = static_cast<uint8_t*>(std::realloc(f->Image, h.Length));
    if (grown == nullptr) return nullptr;
    f->Image = grown, f->ImageCap = h.Length;
  }
  return EvtCopy(f, p, h.Length, f->Image) ? f->Image : nullptr;
}

}  // namespace

DWORD EvtReadRecord(EvtFile* f, uint32_t number, uint8_t* buf, uint32_t cap, uint32_t* size) {
  *size = 0;
  if (f->Oldest == 0 || number >= f->Current) return ERROR_HANDLE_EOF;
  if (number < f->Oldest) return ERROR_INVALID_PARAMETER;
  // Reading on from the last record fills whole blocks; a search reads small probes.
  bool onward = f->HaveLast && number > f->LastNum && number - f->LastNum <= kWalkRecords;
  f->Fill = onward ? kEvtBlockSize : kEvtProbeSize;
  RecHead h;
  if (!Locate(f, number, &h)) return ERROR_EVENTLOG_FILE_CORRUPT;
  f->HaveLast = true;
  f->LastNum = number, f->LastPos = Phys(f, h.Lin);
  const uint8_t* rec = RecordImage(f, h);
  if (rec == nullptr) return ERROR_EVENTLOG_FILE_CORRUPT;
  return EvtRebuild(&f->Wide, rec, h.Length, buf, cap, size);
}
