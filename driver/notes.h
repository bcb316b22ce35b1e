// Lines on standard error that say why a run failed, or what its report
// cannot show, one "velmar: TEXT" line each. The report on standard output
// never changes for them; in CGI mode they go to the web server's error log.
#ifndef VELMAR_DRIVER_NOTES_H
#define VELMAR_DRIVER_NOTES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "eventlog/logread.h"
#include "platform/winapi.h"

// Writes "velmar: ", text and a line end in one write, so that lines of runs
// at once never interleave in a shared log. A byte below 0x20 or 0x7F is
// written as '?', so no outside text can start a line of its own.
void NoteLine(FILE* notes, const char* text);

// "velmar: PATH: REASON" for the SYSTEM log of server (null for the local
// computer) that could not be opened: the name SystemLogName gives, and the
// reason DescribeOpenFailure gives for error and detail.
void NoteLogFailure(FILE* notes, const char* server, DWORD error, const char* detail);

// "velmar: PATH: REASON" for the port list of server that could not be read,
// as NoteLogFailure, with the name PortListName gives.
void NotePortsFailure(FILE* notes, const char* server, DWORD error, const char* detail);

// "velmar: FOLDER: user index: REASON" for a user index that could not be
// made, grown or read in the working folder: the C library's text for
// systemError, or message when systemError is 0.
void NoteIndexFailure(FILE* notes, const char* message, int systemError);

// The coverage note for the log of server, with the record's time when in
// the report's zone (as the listing writes it, "08 Dec 2026 09:00:00"):
//   LOG_STARTS_LATE  "velmar: PATH: oldest record TIME lies after the
//                    window's start; the time before it counts as 0 lines
//                    in use"
//   LOG_STALE        "velmar: PATH: newest record TIME lies before the
//                    window's start; a stale copy: the whole window is the
//                    state after it"
// Nothing for LOG_COVERS.
void NoteLogCover(FILE* notes, const char* server, LogCover cover, EventTime when);

// The text of that note after "velmar: " for the log called name, into
// out (size > 0 bytes, cut to fit); "" for LOG_COVERS. A web page gives
// the log a name of its own rather than a path on the server.
void CoverNoteText(char* out, size_t size, const char* name, LogCover cover, EventTime when);

// When the log ran out before the window's end and the scan went on to the
// current time past it, as the report does: "velmar: the log ran out
// before the window's end, END; the scan ran on to the current time, NOW,
// as the report takes a log that has run out to be current: the
// statistics count the time after the window's end too" (times as the
// listing writes them).
void NotePastEnd(FILE* notes, EventTime windowEnd, EventTime now);

// The text of that note after "velmar: ", into out (size > 0 bytes, cut
// to fit).
void PastEndNoteText(char* out, size_t size, EventTime windowEnd, EventTime now);

// When the plain count (no port table) departed from the ports' own
// state: "velmar: 3 connects on ports already in use and 1 disconnect on
// a port not in use; the line counts follow connects and disconnects (add
// +p to count by port)", either part alone when the other is 0; nothing
// when both are.
void NotePlainCount(FILE* notes, uint64_t connectsOnBusy, uint64_t disconnectsOnFree);

// "velmar: offset N days, duration H hours: the window leaves the years
// 0001 to 9999, which the charts and downloads write their times in" for a
// chart or a download refused for its window (its duration 0: to the end
// of today).
void NoteBadWindow(FILE* notes, int32_t offset, int32_t duration);

// "velmar: TZ=TEXT: no such zone file; the C library takes it as UTC" when
// tz names a zone by its file and that file does not exist
// (PlatformZoneFileMissing); nothing otherwise, also for null.
void NoteZone(FILE* notes, const char* tz);

#endif  // VELMAR_DRIVER_NOTES_H
