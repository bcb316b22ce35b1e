// File access for the .evt reader: one bounded block of the file kept in
// memory, refilled by one read when a wanted range is not in it. Nothing is
// ever read outside [0, S), and every read is counted for the tests.
#include <cstring>

#include "evt/evtfile.h"
#include "platform/files.h"

namespace {

// Reads n bytes at off into dst in one whole read, counted for the tests.
// Returns the bytes read (fewer only at a failure or the file's end).
uint32_t ReadAt(EvtFile* f, uint8_t* dst, uint32_t n, uint32_t off) {
  int64_t got = PlatformReadAllAt(f->Fd, dst, n, off);
  ++f->Stats.Reads;
  if (got <= 0) return 0;
  f->Stats.BytesRead += static_cast<uint64_t>(got);
  return static_cast<uint32_t>(got);
}

bool InBlock(const EvtFile* f, uint32_t off, uint32_t len) {
  return off >= f->BlockOff && static_cast<uint64_t>(off - f->BlockOff) + len <= f->BlockLen;
}

}  // namespace

const uint8_t* EvtBytes(EvtFile* f, uint32_t off, uint32_t len) {
  if (len > kEvtBlockSize || off > f->Size || len > f->Size - off) return nullptr;
  if (InBlock(f, off, len)) return f->Block + (off - f->BlockOff);
  // Fill bytes beyond the range wanted: what follows it is usually next.
  uint32_t want = len + f->Fill > kEvtBlockSize ? kEvtBlockSize : len + f->Fill;
  if (want > f->Size - off) want = f->Size - off;
  uint32_t got = ReadAt(f, f->Block, want, off);
  f->BlockOff = off;
  f->BlockLen = got;
  return got >= len ? f->Block : nullptr;
}

bool EvtCopy(EvtFile* f, uint32_t off, uint32_t len, uint8_t* dst) {
  if (off < kEvtHeaderSize || off >= f->Size || len > f->Size - kEvtHeaderSize) return false;
  while (len > 0) {
    uint32_t run = f->Size - off;
    if (run > len) run = len;
    if (run > kEvtBlockSize) {
      // A piece larger than the block goes straight to its place.
      if (ReadAt(f, dst, run, off) != run) return false;
    } else {
      const uint8_t* p = EvtBytes(f, off, run);
      if (p == nullptr) return false;
      std::memcpy(dst, p, run);
    }
    dst += run;
    len -= run;
    off += run;
    if (off == f->Size) off = kEvtHeaderSize;
  }
  return true;
}
