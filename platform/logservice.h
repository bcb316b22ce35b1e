// What the programs ask of the system's event log and RAS port services
// beyond the Win32 calls: the state of an open log's file header, and the
// name a message gives to what the live calls read. On Windows the system's
// services keep their files to themselves (logservice_windows.cpp);
// elsewhere the stand-ins of standin/ answer (eventlog.cpp, rassapi.cpp),
// which serve both from the log folder's files.
#ifndef VELMAR_PLATFORM_LOGSERVICE_H
#define VELMAR_PLATFORM_LOGSERVICE_H

#include <cstddef>

#include "platform/winapi.h"

// The state of an open log's file header.
struct EvtHeaderFacts {
  int Known;    // 1 when the file was read here; 0 when the system's log service has it
  int Dirty;    // the header says the log was not closed cleanly
  int Wrapped;  // the log has wrapped: the header says so, or its records run over the file's end
};

// The header state of a log from OpenBackupEventLogA or OpenEventLogA. On
// Windows the log service keeps the file, so Known is 0 there (as for null).
EvtHeaderFacts EvtLogHeader(HANDLE log);

// The name of the log that OpenEventLogA(server, "SYSTEM") opens, into out
// (size > 0 bytes, cut to fit): on Windows "SYSTEM log of \\NAME" or
// "SYSTEM log of this computer"; elsewhere the path of the SysEvent.Evt the
// stand-in reads, or the computer name as it stands when the log folder
// refuses it.
void LiveLogName(const char* server, char* out, size_t size);

// The name of the port list that the port enumeration reads for server,
// into out as above: on Windows, where the system's library answers, "RAS
// ports of \\NAME" or "RAS ports of this computer"; elsewhere the path of
// the RasPorts.txt the stand-in reads, or the computer name as it stands.
void LivePortListName(const char* server, char* out, size_t size);

#endif  // VELMAR_PLATFORM_LOGSERVICE_H
