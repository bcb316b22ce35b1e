// The index's stream where the C library has cookie streams (the GNU C
// library's): a bounded page cache over the file's positioned reads and
// writes. Room for growth is reserved on disk before a write is taken, so a
// size or space limit fails that write; once closed, the file is exactly as
// long as what was written. Elsewhere the plain stream is the stream.
#include "index/dbi_cache.h"

#if defined(__GLIBC__) && !defined(VELMAR_PLAIN_STREAM)

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/memory.h"

namespace {

const int32_t kNone = -1;
const uint32_t kNoPage = UINT32_MAX;   // a frame that holds no page
const int64_t kPageLimit = kNoPage;    // pages a file may have: 2 TB of 512-byte pages
const int32_t kMaxFrames = 1 << 24;    // 8 GB of pages: far past any cache asked for
const int64_t kGrowBytes = 256 << 10;  // file space reserved at a time
const int32_t kRunPages = 256;         // pages written back in one call at most
const int kFirstTableBits = 10;        // the page table has 2^10 entries at first

// Frame state bits.
enum : uint8_t {
  kDirty = 1,  // holds bytes not yet in the file
  kRef = 2,    // used since the clock hand last passed
};

// One entry of the page table: which frame holds a page. Open addressing
// with linear probing; an entry whose Frame is kNone is empty.
struct Entry {
  uint32_t Page;  // page number in the file
  int32_t Frame;  // frame holding it, kNone for an empty entry
};

// The cookie: the file, its logical length and position, and the cache.
struct Cache {
  FILE* Plain;                    // the plain stream of the file, closed with the cache
  int Fd;                         // its descriptor, for positioned reads and writes
  int64_t Size;                   // file length as read and written
  int64_t OnDisk;                 // length of the file on disk (reserved space too)
  int64_t Pos;                    // stream position
  int64_t SizeAtSeek;             // Size when the stream was last positioned
  int32_t Used;                   // frames handed out so far
  int32_t Hand;                   // clock hand for eviction
  uint32_t RecentPage;            // page of the last frame used, kNoPage at first
  int32_t Recent;                 // frame of the last page used, kNone at first
  int32_t FrameCount;             // frames in the cache
  int32_t TableMask;              // page table entries - 1 (their count is a power of two)
  int TableShift;                 // 32 - log2 of the entries: the hash's top bits
  uint32_t* PageOf;               // per frame: the page it holds, kNoPage when none
  uint8_t* State;                 // per frame: kDirty and kRef bits
  Entry* Table;                   // the page table, at least twice the frames in use
  unsigned char* Data;            // FrameCount pages of DBI_CACHE_PAGE bytes
  int32_t RunPages;               // pages one write-back call takes at most
  unsigned char* Run;             // RunPages pages: a run gathered for one call
  char Buffer[DBI_CACHE_BUFFER];  // the stdio buffer of the stream
};

// Page numbers of one file are mostly consecutive: a multiplicative hash
// spreads them over the table, so that probe runs stay short.
uint32_t SlotOf(const Cache* c, uint32_t page) {
  return (page * 0x9E3779B1u) >> c->TableShift;
}

unsigned char* PageData(Cache* c, int32_t f) {
  return c->Data + static_cast<size_t>(f) * DBI_CACHE_PAGE;
}

// The frame holding page, or kNone: one probe of the table as a rule, its
// entry holding both the page number and the frame.
int32_t Lookup(const Cache* c, uint32_t page) {
  if (page == c->RecentPage) return c->Recent;
  for (uint32_t i = SlotOf(c, page);; i = (i + 1) & c->TableMask) {
    const Entry& e = c->Table[i];
    if (e.Frame == kNone || e.Page == page) return e.Frame;
  }
}

void Hash(Cache* c, uint32_t page, int32_t f) {
  uint32_t i = SlotOf(c, page);
  while (c->Table[i].Frame != kNone) i = (i + 1) & c->TableMask;
  c->Table[i] = Entry{page, f};
}

// Takes frame f's page out of the table, moving back the entries after it
// in its probe run that the gap would cut off from their slot.
void Unhash(Cache* c, int32_t f) {
  uint32_t page = c->PageOf[f];
  uint32_t i = SlotOf(c, page);
  while (c->Table[i].Frame != f) i = (i + 1) & c->TableMask;
  for (uint32_t j = (i + 1) & c->TableMask; c->Table[j].Frame != kNone;
       j = (j + 1) & c->TableMask) {
    uint32_t home = SlotOf(c, c->Table[j].Page);
    // Entry j may fill the gap at i when its home slot does not lie
    // cyclically in (i, j].
    if (((j - home) & c->TableMask) >= ((j - i) & c->TableMask)) {
      c->Table[i] = c->Table[j];
      i = j;
    }
  }
  c->Table[i].Frame = kNone;
  if (c->RecentPage == page) {
    c->RecentPage = kNoPage;
    c->Recent = kNone;
  }
}

// Doubles the page table when the frames in use would fill more than half
// of it (the table starts small: a small file never needs a large one).
// 0, or -1 when no memory could be had (the table stays as it was).
int GrowTable(Cache* c) {
  int32_t entries = c->TableMask + 1;
  if (2 * (c->Used + 1) <= entries) return 0;
  Entry* old = c->Table;
  Entry* grown = static_cast<Entry*>(std::malloc(sizeof(Entry) * 2 * entries));
  if (!grown) return -1;
  for (int32_t i = 0; i < 2 * entries; ++i) grown[i] = Entry{0, kNone};
  c->Table = grown;
  c->TableMask = 2 * entries - 1;
  c->TableShift -= 1;
  for (int32_t i = 0; i < entries; ++i) {
    if (old[i].Frame != kNone) Hash(c, old[i].Page, old[i].Frame);
  }
  std::free(old);
  return 0;
}

int WriteAll(int fd, const unsigned char* p, size_t n, int64_t at) {
  return PlatformWriteAllAt(fd, p, n, static_cast<uint64_t>(at));
}

// Writes a dirty frame back: only the part below the file's length.
int WriteBack(Cache* c, int32_t f) {
  int64_t start = static_cast<int64_t>(c->PageOf[f]) * DBI_CACHE_PAGE;
  int64_t n = std::min<int64_t>(DBI_CACHE_PAGE, c->Size - start);
  if (n > 0 && WriteAll(c->Fd, PageData(c, f), static_cast<size_t>(n), start) != 0) return -1;
  c->State[f] &= ~kDirty;
  return 0;
}

// Writes back n dirty frames (at most RunPages) whose pages follow one
// another in the file: gathered into one buffer and written in one call,
// only the part below the file's length.
int WriteRun(Cache* c, const int32_t* run, int32_t n) {
  if (n == 1) return WriteBack(c, run[0]);
  int64_t start = static_cast<int64_t>(c->PageOf[run[0]]) * DBI_CACHE_PAGE;
  int64_t total = std::min<int64_t>(static_cast<int64_t>(n) * DBI_CACHE_PAGE, c->Size - start);
  for (int32_t i = 0; i < n; ++i) {
    std::memcpy(c->Run + static_cast<size_t>(i) * DBI_CACHE_PAGE, PageData(c, run[i]),
                DBI_CACHE_PAGE);
  }
  if (total > 0 && WriteAll(c->Fd, c->Run, static_cast<size_t>(total), start) != 0) return -1;
  for (int32_t i = 0; i < n; ++i) c->State[run[i]] &= ~kDirty;
  return 0;
}

// Writes back dirty frame f together with the dirty cached pages next to
// it in the file: the index grows at its end, so the pages an eviction
// finds dirty usually lie side by side, and each later costs nothing.
int WriteCluster(Cache* c, int32_t f) {
  int32_t run[kRunPages];
  uint32_t first = c->PageOf[f];
  for (int32_t back = 1; back < c->RunPages / 2 && first > 0; ++back) {
    int32_t g = Lookup(c, first - 1);
    if (g == kNone || !(c->State[g] & kDirty)) break;
    --first;
  }
  int32_t n = 0;
  for (uint32_t page = first; n < c->RunPages && page != kNoPage; ++page) {
    int32_t g = page == c->PageOf[f] ? f : Lookup(c, page);
    if (g == kNone || !(c->State[g] & kDirty)) break;
    run[n++] = g;
  }
  return WriteRun(c, run, n);
}

// Once a cache has outgrown its first large page, the rest of it is asked
// to be backed by large pages: node reads then land all over megabytes of
// frames, and small pages would miss the processor's address translation
// cache on most of them. A small index keeps its small pages, and its
// memory with them.
void AskForLargePages(Cache* c) {
  size_t bytes = static_cast<size_t>(c->FrameCount) * DBI_CACHE_PAGE;
  if (bytes > 2 * kPlatformLargePage) {
    PlatformAdviseLargePages(c->Data + kPlatformLargePage, bytes - kPlatformLargePage);
  }
}

// A frame to fill: an unused one, else the clock's victim (written back
// first when dirty). kNone when the write-back fails or the table cannot
// grow.
int32_t FreeFrame(Cache* c) {
  if (c->Used < c->FrameCount) {
    if (GrowTable(c) != 0) return kNone;
    if (c->Used == static_cast<int32_t>(kPlatformLargePage / DBI_CACHE_PAGE)) AskForLargePages(c);
    return c->Used++;
  }
  for (;;) {
    int32_t f = c->Hand;
    c->Hand = c->Hand + 1 == c->FrameCount ? 0 : c->Hand + 1;
    if (c->State[f] & kRef) {
      c->State[f] &= ~kRef;
      continue;
    }
    if (c->PageOf[f] == kNoPage) return f;
    if ((c->State[f] & kDirty) && WriteCluster(c, f) != 0) return kNone;
    Unhash(c, f);
    c->PageOf[f] = kNoPage;
    return f;
  }
}

// A frame filled with page from the file (zeros past its end): a miss,
// kept out of line so that a hit saves no registers for it. kNone on
// failure.
__attribute__((noinline)) int32_t Fill(Cache* c, uint32_t page) {
  int32_t f = FreeFrame(c);
  if (f == kNone) return kNone;
  unsigned char* p = PageData(c, f);
  int64_t start = static_cast<int64_t>(page) * DBI_CACHE_PAGE;
  int64_t got = 0;
  if (start < c->Size) {
    size_t want = static_cast<size_t>(std::min<int64_t>(DBI_CACHE_PAGE, c->Size - start));
    got = PlatformReadAllAt(c->Fd, p, want, static_cast<uint64_t>(start));
    if (got < 0) {
      c->State[f] = 0;  // an empty frame, in no table entry
      return kNone;
    }
  }
  std::memset(p + got, 0, DBI_CACHE_PAGE - static_cast<size_t>(got));
  c->PageOf[f] = page;
  c->State[f] = 0;
  Hash(c, page, f);
  return f;
}

// The frame holding page, read from the file on a miss. kNone on failure.
int32_t Load(Cache* c, uint32_t page) {
  int32_t f = Lookup(c, page);
  if (f == kNone) {
    f = Fill(c, page);
    if (f == kNone) return kNone;
  }
  c->State[f] |= kRef;
  c->RecentPage = page;
  c->Recent = f;
  return f;
}

// The page of a stream position (never negative; below kPageLimit pages,
// which the reads and writes check).
uint32_t PageAt(int64_t pos) {
  return static_cast<uint32_t>(static_cast<uint64_t>(pos) / DBI_CACHE_PAGE);
}

// Where a stream position lies in its page.
size_t OffsetAt(int64_t pos) {
  return static_cast<size_t>(static_cast<uint64_t>(pos) % DBI_CACHE_PAGE);
}

// ---- Cookie functions --------------------------------------------------

// Copies the n bytes of a read or write within one page. The stream's
// refills are a whole buffer: that size is copied as a constant, in a few
// wide moves, where a length the compiler cannot bound costs a call.
void CopyBytes(void* to, const void* from, size_t n) {
  if (n == DBI_CACHE_BUFFER) {
    std::memcpy(to, from, DBI_CACHE_BUFFER);
  } else {
    std::memcpy(to, from, n);
  }
}

ssize_t CookieRead(void* cookie, char* buf, size_t n) {
  Cache* c = static_cast<Cache*>(cookie);
  if (c->Pos >= c->Size) return 0;
  n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), c->Size - c->Pos));
  // The usual case: every seek refills the stream's buffer, a whole
  // buffer from within one page.
  size_t at = OffsetAt(c->Pos);
  if (at + n <= DBI_CACHE_PAGE) {
    int32_t f = Load(c, PageAt(c->Pos));
    if (f == kNone) return -1;
    CopyBytes(buf, PageData(c, f) + at, n);
    c->Pos += static_cast<int64_t>(n);
    return static_cast<ssize_t>(n);
  }
  size_t done = 0;
  while (done < n) {
    int32_t f = Load(c, PageAt(c->Pos));
    if (f == kNone) return done > 0 ? static_cast<ssize_t>(done) : -1;
    size_t off = OffsetAt(c->Pos);
    size_t k = std::min(n - done, static_cast<size_t>(DBI_CACHE_PAGE) - off);
    std::memcpy(buf + done, PageData(c, f) + off, k);
    done += k;
    c->Pos += static_cast<int64_t>(k);
  }
  return static_cast<ssize_t>(done);
}

// Undoes the growth since the stream was last positioned: every write of
// the index starts with a seek, and the C library may split one write in
// two at its buffer's edge, so a half-grown slot is cut off whole. Cached
// bytes past the end are kept zero, as a hole would read.
void UndoGrowth(Cache* c) {
  int64_t end = c->Size;
  c->Size = c->SizeAtSeek;
  for (int64_t at = c->Size; at < end;) {
    int64_t pageNo = at / DBI_CACHE_PAGE;
    int64_t next = std::min(end, (pageNo + 1) * DBI_CACHE_PAGE);
    int32_t f = Lookup(c, static_cast<uint32_t>(pageNo));
    if (f != kNone)
      std::memset(PageData(c, f) + at % DBI_CACHE_PAGE, 0, static_cast<size_t>(next - at));
    at = next;
  }
}

// Room on disk for the file to reach `end`: zeros are written past what is
// on disk, toward a whole chunk, so that the system takes the space now and
// a size limit or a full disk fails here, not when a page is written back.
// Every such write starts below `end`: one that crosses a file size limit
// is cut short there, and only one that starts past it draws the system's
// signal, as the index's own write would. 0 when the room is there; -1 with
// errno otherwise.
int Reserve(Cache* c, int64_t end) {
  static unsigned char zeros[kGrowBytes];  // never written: zeros that take no memory
  int64_t chunk = (end + kGrowBytes - 1) / kGrowBytes * kGrowBytes;
  while (c->OnDisk < end) {
    size_t n = static_cast<size_t>(std::min<int64_t>(kGrowBytes, chunk - c->OnDisk));
    int64_t put = PlatformWriteAt(c->Fd, zeros, n, static_cast<uint64_t>(c->OnDisk));
    if (put <= 0) {
      if (put == 0) errno = ENOSPC;
      return -1;
    }
    c->OnDisk += put;
  }
  return 0;
}

// A write that makes the file longer goes to the file first, whole, so that
// a size or space limit fails here; cached pages it touches are updated.
ssize_t ExtendingWrite(Cache* c, const unsigned char* buf, size_t n) {
  int64_t end = c->Pos + static_cast<int64_t>(n);
  if (WriteAll(c->Fd, buf, n, c->Pos) != 0) {
    int saved = errno;
    c->OnDisk = std::max(c->OnDisk, end);  // at most; cut back at close
    UndoGrowth(c);
    errno = saved;
    return -1;
  }
  c->OnDisk = std::max(c->OnDisk, end);
  for (int64_t at = c->Pos; at < end;) {
    int64_t pageNo = at / DBI_CACHE_PAGE;
    int64_t next = std::min(end, (pageNo + 1) * DBI_CACHE_PAGE);
    int32_t f = Lookup(c, static_cast<uint32_t>(pageNo));
    if (f != kNone) {
      std::memcpy(PageData(c, f) + at % DBI_CACHE_PAGE, buf + (at - c->Pos),
                  static_cast<size_t>(next - at));
    }
    at = next;
  }
  c->Size = end;
  c->Pos = end;
  return static_cast<ssize_t>(n);
}

// Appending within reach of the end (the index's only growth) reserves
// room and then writes to the cache like any other write; a write that
// leaves a hole (only a damaged header's slot count asks for one) takes
// ExtendingWrite.
ssize_t CookieWrite(void* cookie, const char* buf, size_t n) {
  Cache* c = static_cast<Cache*>(cookie);
  const unsigned char* src = reinterpret_cast<const unsigned char*>(buf);
  int64_t end = c->Pos + static_cast<int64_t>(n);
  if (end > kPageLimit * DBI_CACHE_PAGE) {
    errno = EFBIG;  // past the pages the cache can name
    return -1;
  }
  if (end > c->Size) {
    if (c->Pos > c->Size || end - c->Size > kGrowBytes) return ExtendingWrite(c, src, n);
    if (Reserve(c, end) != 0) {
      int saved = errno;
      UndoGrowth(c);
      errno = saved;
      return -1;
    }
  }
  size_t at = OffsetAt(c->Pos);
  if (at + n <= DBI_CACHE_PAGE) {  // the usual case: within one page
    int32_t f = Load(c, PageAt(c->Pos));
    if (f == kNone) return -1;
    CopyBytes(PageData(c, f) + at, src, n);
    c->State[f] |= kDirty;
    c->Pos += static_cast<int64_t>(n);
    c->Size = std::max(c->Size, c->Pos);
    return static_cast<ssize_t>(n);
  }
  size_t done = 0;
  while (done < n) {
    int32_t f = Load(c, PageAt(c->Pos));
    if (f == kNone) break;
    size_t off = OffsetAt(c->Pos);
    size_t k = std::min(n - done, static_cast<size_t>(DBI_CACHE_PAGE) - off);
    std::memcpy(PageData(c, f) + off, src + done, k);
    c->State[f] |= kDirty;
    done += k;
    c->Pos += static_cast<int64_t>(k);
  }
  c->Size = std::max(c->Size, c->Pos);
  return done > 0 || n == 0 ? static_cast<ssize_t>(done) : -1;
}

int CookieSeek(void* cookie, off64_t* offset, int whence) {
  Cache* c = static_cast<Cache*>(cookie);
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) {
    errno = EINVAL;
    return -1;
  }
  int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? c->Pos : c->Size;
  if ((*offset < 0 && base + *offset < 0) || (*offset > 0 && *offset > INT64_MAX - base)) {
    errno = EINVAL;
    return -1;
  }
  c->Pos = base + *offset;
  c->SizeAtSeek = c->Size;
  *offset = c->Pos;
  return 0;
}

// Writes every dirty page back in file order, neighbouring pages together:
// at close that is the whole file, and a call per page would cost more
// than all the rest of a large run's writes.
int FlushAll(Cache* c) {
  int32_t* order = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * (c->Used + 1)));
  int result = 0;
  int32_t n = 0;
  for (int32_t f = 0; f < c->Used; ++f) {
    if (c->PageOf[f] == kNoPage || !(c->State[f] & kDirty)) continue;
    if (order) {
      order[n++] = f;
    } else if (WriteBack(c, f) != 0) {
      result = -1;
    }
  }
  if (order) {
    std::sort(order, order + n, [c](int32_t a, int32_t b) { return c->PageOf[a] < c->PageOf[b]; });
    for (int32_t i = 0; i < n;) {
      int32_t k = 1;
      while (i + k < n && k < c->RunPages &&
             c->PageOf[order[i + k]] == c->PageOf[order[i]] + static_cast<uint32_t>(k)) {
        ++k;
      }
      if (WriteRun(c, order + i, k) != 0) result = -1;
      i += k;
    }
    std::free(order);
  }
  return result;
}

void FreeCache(Cache* c) {
  std::free(c->PageOf);
  std::free(c->State);
  std::free(c->Table);
  std::free(c->Data);
  std::free(c->Run);
  std::free(c);
}

// Writes everything back, gives back the reserved space past the end and
// closes the file.
int CookieClose(void* cookie) {
  Cache* c = static_cast<Cache*>(cookie);
  int result = FlushAll(c);
  if (c->OnDisk > c->Size && PlatformSetFileSize(c->Fd, static_cast<uint64_t>(c->Size)) != 0) {
    result = -1;
  }
  if (std::fclose(c->Plain) != 0) result = -1;
  FreeCache(c);
  return result;
}

// The bytes of the page table at its largest for frames frames.
long TableBytes(long frames) {
  long entries = 1L << kFirstTableBits;
  while (entries < 2 * frames) entries <<= 1;
  return entries * static_cast<long>(sizeof(Entry));
}

// The pages a write-back gathers for one call: a quarter of the frames, up
// to kRunPages (at least one, which needs no gathering).
int32_t RunPagesFor(long frames) {
  return static_cast<int32_t>(std::max<long>(1, std::min<long>(kRunPages, frames / 4)));
}

// The frames a cache of cacheBytes holds: as many as fit with their page
// numbers, their state bytes, the page table and the gathered run; at
// least two.
int32_t FramesFor(long cacheBytes) {
  const long perFrame = DBI_CACHE_PAGE + sizeof(uint32_t) + sizeof(uint8_t);
  auto bytes = [](long n) { return TableBytes(n) + RunPagesFor(n) * DBI_CACHE_PAGE; };
  long frames = std::min<long>(cacheBytes / perFrame, kMaxFrames);
  while (frames > 2 && frames * perFrame + bytes(frames) > cacheBytes) {
    frames = std::min(frames - 1, (cacheBytes - bytes(frames)) / perFrame);
  }
  return static_cast<int32_t>(std::max<long>(frames, 2));
}

// The length of the file under plain (its position goes to the end), or -1.
int64_t FileLength(FILE* plain) {
  if (std::fseek(plain, 0, SEEK_END) != 0) return -1;
  return std::ftell(plain);
}

// A cache over the file of plain, empty; null when the memory cannot be had
// or the file is longer than the cache can name.
Cache* NewCache(FILE* plain, long cacheBytes) {
  int64_t size = FileLength(plain);
  if (size < 0 || size > kPageLimit * DBI_CACHE_PAGE) return nullptr;
  Cache* c = static_cast<Cache*>(std::calloc(1, sizeof(Cache)));
  if (!c) return nullptr;
  c->Plain = plain;
  c->Fd = fileno(plain);
  c->FrameCount = FramesFor(cacheBytes);
  c->RunPages = RunPagesFor(c->FrameCount);
  c->PageOf = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * c->FrameCount));
  c->State = static_cast<uint8_t*>(std::calloc(c->FrameCount, 1));
  const int32_t entries = 1 << kFirstTableBits;
  c->Table = static_cast<Entry*>(std::malloc(sizeof(Entry) * entries));
  // Aligned to a large page of the system's memory, so that a system that
  // backs memory with large pages can back all of the cache with them.
  void* data = nullptr;
  size_t bytes = static_cast<size_t>(c->FrameCount) * DBI_CACHE_PAGE;
  if (posix_memalign(&data, kPlatformLargePage, bytes) != 0) data = nullptr;
  c->Data = static_cast<unsigned char*>(data);
  c->Run =
      static_cast<unsigned char*>(std::malloc(static_cast<size_t>(c->RunPages) * DBI_CACHE_PAGE));
  if (c->Fd < 0 || !c->PageOf || !c->State || !c->Table || !c->Data || !c->Run) {
    FreeCache(c);
    return nullptr;
  }
  for (int32_t f = 0; f < c->FrameCount; ++f) c->PageOf[f] = kNoPage;
  for (int32_t i = 0; i < entries; ++i) c->Table[i] = Entry{0, kNone};
  c->TableMask = entries - 1;
  c->TableShift = 32 - kFirstTableBits;
  c->RecentPage = kNoPage;
  c->Recent = kNone;
  c->Size = size;
  c->SizeAtSeek = size;
  c->OnDisk = size;
  return c;
}

}  // namespace

FILE* DbiCacheStream(FILE* plain, long cacheBytes) {
  if (!plain) return nullptr;
  Cache* c = NewCache(plain, cacheBytes);
  if (!c) {
    std::rewind(plain);  // no room for a cache: the plain stream, from the start
    return plain;
  }
  cookie_io_functions_t io = {CookieRead, CookieWrite, CookieSeek, CookieClose};
  FILE* f = fopencookie(c, "r+", io);
  if (!f) {
    FreeCache(c);
    std::rewind(plain);
    return plain;
  }
  // A small stdio buffer of our own: reads near one another need no cookie
  // call at all (the C library's cookie streams read byte by byte when
  // unbuffered).
  // (The buffer is given: without one the C library picks its own size.)
  setvbuf(f, c->Buffer, _IOFBF, DBI_CACHE_BUFFER);
  return f;
}

#else  // no cookie streams: the plain stream is the index's stream

FILE* DbiCacheStream(FILE* plain, long cacheBytes) {
  (void)cacheBytes;
  return plain;
}

#endif  // __GLIBC__ && !VELMAR_PLAIN_STREAM
