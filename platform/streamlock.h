// Holding a stream's lock across many calls: the C library's locking is
// recursive, so the calls made while it is held skip their own atomic lock
// and unlock. Where the C library has no such lock, both do nothing.
#ifndef VELMAR_PLATFORM_STREAMLOCK_H
#define VELMAR_PLATFORM_STREAMLOCK_H

#include <cstdio>

// Takes the lock of stream (null: nothing). Each StreamHold is paired with
// one StreamLetGo on the same stream.
inline void StreamHold(FILE* stream) {
#if defined(__unix__) || defined(__APPLE__)
  if (stream) flockfile(stream);
#endif
  (void)stream;
}

// Lets go of the lock StreamHold took.
inline void StreamLetGo(FILE* stream) {
#if defined(__unix__) || defined(__APPLE__)
  if (stream) funlockfile(stream);
#endif
  (void)stream;
}

#endif  // VELMAR_PLATFORM_STREAMLOCK_H
