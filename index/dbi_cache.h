// The index file's stream: where the C library offers cookie streams, a
// FILE* over a bounded page cache of the file, so that a node visit or a
// field write inside a cached page costs no system call; elsewhere the plain
// stream it is given. Either way the node store sees an ordinary FILE*.
#ifndef VELMAR_INDEX_DBI_CACHE_H
#define VELMAR_INDEX_DBI_CACHE_H

#include <cstdio>

// The page cache's size: fixed, whatever the size of the file. A year of a
// large pool's connections nearly fits, so its walk reads from memory. (The
// tests build the index with a few pages too, so that pages come and go.)
#ifndef VELMAR_DBI_CACHE_BYTES
#define VELMAR_DBI_CACHE_BYTES (16 << 20)
#endif
const long kDbiCacheBytes = VELMAR_DBI_CACHE_BYTES;

// Cache geometry: small pages suit scattered small reads such as a tree
// walk's. The stream's own buffer is smaller still: a refill copies only
// bytes near the place asked for.
enum : int {
  DBI_CACHE_PAGE = 512,   // bytes per cached page
  DBI_CACHE_BUFFER = 256  // bytes of the stream's stdio buffer
};

// Puts the page cache under plain, an open read-write stream of a regular
// file (fopen's "w+b" or "r+b"), and returns the stream that reads and
// writes the same file through it; that stream owns plain and closes it
// when it is closed. Where there are no cookie streams, or no memory for a
// cache, plain itself comes back; null for a null plain.
//
// The cache takes at most cacheBytes of memory, its pages and the tables
// that find them (but never fewer than two pages), whatever the file's
// size; files up to 2 TB. Writes reach the cache when the stream's buffer
// is flushed (fflush or a seek). Before a write makes the file longer, room
// is reserved on disk by writing zeros past the end, 256 kB at a time but
// never past a file size limit the write itself would not cross, so a size
// limit or a full disk fails the flush that needs the room; a failed write
// also takes back any growth since the stream was last positioned (the C
// library may split one write at its buffer's edge). Modified pages are
// written back when evicted, neighbours together, and at fclose, which also
// cuts the file back to the length written (its result reports failures).
FILE* DbiCacheStream(FILE* plain, long cacheBytes);

#endif  // VELMAR_INDEX_DBI_CACHE_H
