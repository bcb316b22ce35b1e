// Reading SYSTEM log records by number into a record buffer that grows on
// demand, fixing the start of the report window under TZ, and finding the
// window's first record by bisection. Nothing here prints: failures come back
// as 0 with a fixed message.
#ifndef VELMAR_EVENTLOG_LOGREAD_H
#define VELMAR_EVENTLOG_LOGREAD_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/winapi.h"

// A time in seconds since 1970-01-01 00:00:00 UTC. Kept in 64 bits so that
// record times, read as unsigned 32-bit, order correctly up to 2106.
typedef int64_t EventTime;

// The zone in force when the environment names none: 8 hours ahead of UTC,
// no daylight time.
#define DEFAULT_TZ "SGT-8"

// Capacity of a fresh record buffer; its block has one spare byte more.
#define RECORD_BUFFER_START 256

// Allocation behind every record buffer (realloc's contract). Tests point it
// at a failing function to reach the out-of-memory paths; nothing else
// changes it.
extern void* (*LogBufferRealloc)(void* block, size_t size);

// Allocates a fresh record buffer: a block of RECORD_BUFFER_START + 1 bytes,
// its capacity RECORD_BUFFER_START stored in *capacity. Returns null (and
// leaves *capacity alone) when the block cannot be had. The caller owns the
// block and releases it with free().
BYTE* NewRecordBuffer(DWORD* capacity);

// Reads record number recNo of the log into *buffer (capacity *capacity, a
// block of *capacity + 1 bytes). When the record needs more room the block is
// grown once to the needed size + 1 and the read is tried once more.
// Returns 1 with the record at the start of *buffer; 0 with *message set to
// "Can't Read Rec" (no such record, unreadable log), "Can't Realloc Buffer"
// (block and capacity unchanged) or "Still Can't Read Rec". The block stays
// the caller's on every path.
int ReadRec(HANDLE log, DWORD recNo, BYTE** buffer, DWORD* capacity, const char** message);

// Puts "TZ=" DEFAULT_TZ into the environment when TZ is absent, and reads
// the zone (tzset). Every local time of a report follows it.
void SetReportZone();

// The report's day of t: days since 1970-01-01 of the date t has in the
// zone's standard time, the day the window cuts at midnight. Call
// SetReportZone first.
EventTime ReportDay(EventTime t);

// The window's start for offset: 00:00:00 of the standard time of the day
// of now, moved by offset whole 86400-second days. Call SetReportZone
// first.
EventTime WindowStartOf(int32_t offset, EventTime now);

// Fixes the report window's start: SetReportZone, then WindowStartOf with
// offset and the current time; then finds the window's first record with
// FindFirstRec. Returns the start with *firstRec and *newestRec set, or 0
// with *message set (FindFirstRec's or ReadRec's text).
EventTime GetWindowStart(HANDLE log, DWORD* firstRec, DWORD* newestRec, int32_t offset,
                         const char** message);

// Finds the first record generated at or after start by bisection over the
// record numbers (records are taken to be in time order), reading about
// log2(count) + 1 records into a buffer of its own that it always releases.
// *newestRec is the newest record; *firstRec is the first record at or after
// start, newestRec + 1 when every record is earlier. Returns start, or 0 with
// *message set: "Can't allocate Buffer", "Can't Get Oldest Rec",
// "Can't Get N_Rec" or ReadRec's text (an empty log gives "Can't Read Rec").
EventTime FindFirstRec(HANDLE log, DWORD* firstRec, DWORD* newestRec, EventTime start,
                       const char** message);

// How the log covers a report window, for a note to the reader: the scan
// counts time that the log does not cover as 0 lines in use.
enum LogCover {
  LOG_COVERS,       // the log reaches back to the window's start, or says nothing
  LOG_STARTS_LATE,  // its oldest record lies after the window's start
  LOG_STALE         // its newest record lies before the window's start
};

// How the log covers the window that starts at start, given the window's
// first record and the newest record from GetWindowStart: LOG_STARTS_LATE
// with *when the oldest record's time when the first record is the oldest
// and was generated after start; LOG_STALE with *when the newest record's
// time when every record lies before start and start is not after now (a
// window still to come says nothing about the log); otherwise LOG_COVERS.
// Reads one record at most, into the caller's buffer (grown as ReadRec
// does); a record that can't be read gives LOG_COVERS, since the note is no
// reason to fail the run.
LogCover GetLogCover(HANDLE log, DWORD firstRec, DWORD newestRec, EventTime start, EventTime now,
                     BYTE** buffer, DWORD* capacity, EventTime* when);

// The fields of the record at the start of a buffer filled by ReadRec.
// Inline: every record of a pass asks for them.
inline EventTime RecTimeGenerated(const BYTE* rec) {  // TimeGenerated, unsigned 32-bit
  DWORD value;
  memcpy(&value, rec + offsetof(EVENTLOGRECORD, TimeGenerated), sizeof value);
  return value;
}
inline int RecEventCode(const BYTE* rec) {  // low 16 bits of EventID
  DWORD value;
  memcpy(&value, rec + offsetof(EVENTLOGRECORD, EventID), sizeof value);
  return static_cast<int>(value & 0xFFFF);
}
inline int RecNumStrings(const BYTE* rec) {  // NumStrings
  WORD value;
  memcpy(&value, rec + offsetof(EVENTLOGRECORD, NumStrings), sizeof value);
  return value;
}

// Points out[0..count-1] at insertion strings 1..count of the record at the
// start of a buffer of the given capacity. A string that the record does not
// have, or whose start or terminator lies outside the record (its Length,
// never more than the capacity), is missing and given as "" (as are all after
// it). Never reads past the record. Returns how many strings were found.
int RecStrings(const BYTE* rec, DWORD capacity, const char** out, int count);

// The computer name of the record at the start of a buffer of the given
// capacity: the second text after the fixed part, after the source name.
// "" when either text does not end inside the record (its Length, never
// more than the capacity). Never reads past the record.
const char* RecComputer(const BYTE* rec, DWORD capacity);

#endif  // VELMAR_EVENTLOG_LOGREAD_H
