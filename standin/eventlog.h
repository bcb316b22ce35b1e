// What the event log stand-in tells beyond the Win32 calls, for the tests:
// the reads it has made on a log's file.
#ifndef VELMAR_STANDIN_EVENTLOG_H
#define VELMAR_STANDIN_EVENTLOG_H

#include "evt/evtfile.h"
#include "platform/winapi.h"

// The reads made so far through a handle from OpenEventLogA or
// OpenBackupEventLogA (zeros for null).
EvtStats EvtLogStats(HANDLE log);

#endif  // VELMAR_STANDIN_EVENTLOG_H
