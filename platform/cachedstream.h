// A read-write FILE* over a bounded page cache. Where the C library offers
// cookie streams, the stream reads and writes through a cache of
// CACHED_STREAM_PAGE-byte pages over positioned reads and writes, so that a
// seek or a small read inside a cached page costs no system call; elsewhere
// it is a plain fopen stream. Either way the caller sees an ordinary FILE*.
#ifndef VELMAR_PLATFORM_CACHEDSTREAM_H
#define VELMAR_PLATFORM_CACHEDSTREAM_H

#include <cstdio>

// Cache geometry: small pages suit scattered small reads such as a tree
// walk's. The stream's own buffer is smaller still: a refill copies only
// bytes near the place asked for.
enum : int {
  CACHED_STREAM_PAGE = 512,   // bytes per cached page
  CACHED_STREAM_BUFFER = 256  // bytes of the stream's stdio buffer
};

// Opens name with mode "w+b" (create or truncate) or "r+b" (existing file),
// both for reading and writing, as fopen would. The cache takes at most
// cacheBytes of memory, its pages and the tables that find them (but never
// fewer than two pages), whatever the file's size; files up to 2 TB.
// Writes reach the cache when the stream's buffer is flushed (fflush or a
// seek). Before a write makes the file longer, room is reserved on disk (256
// kB at a time within the file size limit; where that is not supported the
// write goes to the file at once), so a file size or space limit fails the
// flush that needs the room; a failed write also takes back any growth since
// the stream was last positioned (the C library may split one write at its
// buffer's edge). Modified pages are written back when evicted and at
// fclose, which also cuts the file back to the length written (its result
// reports failures). Null on failure with errno set.
FILE* CachedStreamOpen(const char* name, const char* mode, long cacheBytes);

#endif  // VELMAR_PLATFORM_CACHEDSTREAM_H
