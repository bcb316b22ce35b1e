// The index file's stream. Where the C library offers cookie streams, the
// stream reads and writes through a bounded page cache over pread/pwrite, so
// that a seek or a node read costs no system call; elsewhere it is a plain
// fopen stream. Either way the module sees an ordinary FILE*.
#ifndef VELMAR_INDEX_DBI_STREAM_H
#define VELMAR_INDEX_DBI_STREAM_H

#include <cstdio>

// Cache geometry: small pages suit the scattered node reads of a tree walk.
// The stream's own buffer is smaller still: a refill copies only bytes near
// the node asked for.
// The cache is a fixed size, whatever the size of the file: a year of a
// large pool's connections nearly fits, so its walk reads from memory.
// (The tests build it with a few pages too, so that pages come and go.)
#ifndef VELMAR_DBI_CACHE_BYTES
#define VELMAR_DBI_CACHE_BYTES (16 << 20)
#endif
enum : int {
  DBI_PAGE_BYTES = 512,
  DBI_CACHE_BYTES = VELMAR_DBI_CACHE_BYTES,
  DBI_STREAM_BUFFER = 256
};

// Opens name with mode "w+b" (create or truncate) or "r+b" (existing file),
// both for reading and writing, as fopen would. Writes reach the cache when
// the stream's buffer is flushed (fflush or a seek). Before a write makes the
// file longer, room is reserved on disk (fallocate, 256 kB at a time within
// the file size limit; where that is not supported the write goes to the
// file at once), so a file size or space limit fails the flush that needs
// the room; a failed write also takes back any growth since the stream was
// last positioned (the C library may split one write at its buffer's edge).
// Modified pages are written back when evicted and at fclose, which also
// cuts the file back to the length written (its result reports failures).
// Null on failure with errno set.
FILE* DbiStreamOpen(const char* name, const char* mode);

#endif  // VELMAR_INDEX_DBI_STREAM_H
