// What the event log stand-in has asked of the file system for one open log:
// tests use it to check that finding a record is a few small reads and that
// reading record after record is served from the read-ahead block.
#ifndef VELMAR_PLATFORM_EVTSTATS_H
#define VELMAR_PLATFORM_EVTSTATS_H

#include <cstdint>

#include "platform/winapi.h"

#ifndef _WIN32

// Reads made on one log file.
struct EvtStats {
  uint64_t Reads;      // read calls made on the file
  uint64_t BytesRead;  // bytes those calls returned
};

// The reads made so far through a handle from OpenEventLogA (zeros for null).
EvtStats EvtLogStats(HANDLE log);

#endif  // _WIN32

#endif  // VELMAR_PLATFORM_EVTSTATS_H
