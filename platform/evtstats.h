// What the event log stand-in has asked of the file system for one open
// log, and the state of a saved log's header, which no event log call tells.
#ifndef VELMAR_PLATFORM_EVTSTATS_H
#define VELMAR_PLATFORM_EVTSTATS_H

#include <cstdint>

#include "platform/winapi.h"

#ifndef _WIN32

#include "evt/evtfile.h"

// The reads made so far through a handle from OpenEventLogA (zeros for null).
EvtStats EvtLogStats(HANDLE log);

#endif  // _WIN32

// The state of an open log's file header.
struct EvtHeaderFacts {
  int Known;    // 1 when the file was read here; 0 when the system's log service has it
  int Dirty;    // the header says the log was not closed cleanly
  int Wrapped;  // the log has wrapped: the header says so, or its records run over the file's end
};

// The header state of a log from OpenBackupEventLogA or OpenEventLogA. On
// Windows the log service keeps the file, so Known is 0 there (as for null).
EvtHeaderFacts EvtLogHeader(HANDLE log);

#endif  // VELMAR_PLATFORM_EVTSTATS_H
