// The RAS records of the SYSTEM log as the report and the answers read them:
// the event codes, the one decoding of a record into what happened on which
// port, the connected time a disconnect reports, the cut of a name to a
// column, and the local time of a record's time with its texts. Both
// engines call these, so the same bytes never mean two things.
#ifndef VELMAR_EVENTLOG_RASEVENT_H
#define VELMAR_EVENTLOG_RASEVENT_H

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "eventlog/logread.h"

// Event codes (low 16 bits of EventID) of the records that are handled.
#define EVENT_CONNECT 20017     // a user connected on a port
#define EVENT_DISCONNECT 20050  // a user disconnected
#define EVENT_RESET_START 6005  // the event log service started: every line is free
#define EVENT_RESET_8033 8033   // the other reset: every line is free

// What a record says happened.
enum RasKind {
  RAS_OTHER,       // nothing that is handled: the record is passed over
  RAS_CONNECT,     // a user connected on a port
  RAS_DISCONNECT,  // a user disconnected
  RAS_RESET,       // every line is free again
};

// The kind an event code names, before its record is looked at: a connect
// or disconnect without insertion strings is still passed over (RasDecode).
inline RasKind RasCodeKind(int code) {
  switch (code) {
    case EVENT_CONNECT:
      return RAS_CONNECT;
    case EVENT_DISCONNECT:
      return RAS_DISCONNECT;
    case EVENT_RESET_START:
    case EVENT_RESET_8033:
      return RAS_RESET;
    default:
      return RAS_OTHER;
  }
}

// Parts of a connect or disconnect that a decoding fills beyond its user and
// port, as flags. Each walks over more of the record, which not every reader
// needs: the listing alone takes neither.
#define RAS_WANT_COMPUTER 1u  // the computer name stored in the record
#define RAS_WANT_SECONDS 2u   // a disconnect's connected time (insertion strings 8 and 9)

// One decoded record. The texts point into the record buffer and are good
// while it holds the record.
struct RasEvent {
  RasKind Kind;          // what happened
  int Code;              // low 16 bits of EventID
  const char* Computer;  // computer name of a connect or disconnect, when wanted; else ""
  const char* User;      // insertion string 2 of a connect or disconnect, else ""
  const char* Port;      // insertion string 3 of a connect or disconnect, else ""
  int32_t Seconds;       // connected time of a disconnect, when wanted; else 0
};

// The connected time a disconnect reports from its texts of minutes and
// seconds, each read as atol reads it: minutes * 60 + seconds, held to the
// signed 32-bit range instead of overflowing. ("35791394", "8") gives
// 2147483647; (" 2x", "+3") gives 123.
int32_t RasConnectedSeconds(const char* minutes, const char* seconds);

// Insertion strings a decoding reads: 2 (user) and 3 (port), and for the
// connected time 8 (minutes) and 9 (seconds).
#define RAS_USER_PORT_STRINGS 3
#define RAS_SECONDS_STRINGS 9

// Decodes the record at the start of a buffer of the given capacity (filled
// by ReadRec). A connect or disconnect counts only when it has insertion
// strings; a string it lacks (or that lies outside the record) reads as "".
// want is 0 or RAS_WANT_ flags. Never reads past the record. Inline, as
// every record of a pass comes through here: its strings are walked once,
// only as far as the reader needs.
inline void RasDecode(const BYTE* rec, DWORD capacity, unsigned want, RasEvent* out) {
  out->Code = RecEventCode(rec);
  out->Kind = RasCodeKind(out->Code);
  out->Seconds = 0;
  bool connection = out->Kind == RAS_CONNECT || out->Kind == RAS_DISCONNECT;
  if (!connection || RecNumStrings(rec) == 0) {
    if (connection) out->Kind = RAS_OTHER;
    out->Computer = "";
    out->User = "";
    out->Port = "";
    return;
  }
  bool seconds = out->Kind == RAS_DISCONNECT && (want & RAS_WANT_SECONDS) != 0;
  const char* strings[RAS_SECONDS_STRINGS];
  RecStrings(rec, capacity, strings, seconds ? RAS_SECONDS_STRINGS : RAS_USER_PORT_STRINGS);
  // The calls come before the strings are handed out: GCC 12 otherwise
  // takes the array of them for one that may dangle in *out.
  if (seconds) out->Seconds = RasConnectedSeconds(strings[7], strings[8]);
  out->Computer = (want & RAS_WANT_COMPUTER) != 0 ? RecComputer(rec, capacity) : "";
  out->User = strings[1];
  out->Port = strings[2];
}

// How many leading bytes of name go into a column of width bytes: at most
// width, never ending inside a UTF-8 sequence. A name whose first character
// alone is wider keeps that character whole (at most 4 bytes; also for a
// width below 1), so a named user never looks absent. Bytes that form no
// sequence (an 8-bit code page, a damaged name) are cut as bytes.
size_t RasNameCut(const char* name, int width);

// t broken down into *out as local time in the zone last read (SetReportZone
// or PlatformReadZone), the one conversion behind every local time shown.
// Returns 1, or 0 for a time the C library can't convert (*out is then not
// to be used).
int RasLocalTime(EventTime t, struct tm* out);

// Date and time texts of one time in local time, as the listing, its notes
// and the page's charts write them.
struct TimeTexts {
  char Date[32];  // "08 Dec 2026": day with a leading zero, month, year
  char Time[32];  // "09:30:00"
  int Day;        // day of the month, 1 to 31 (0 when the time is out of range)
};

// Forms the date and time texts of t in local time under TZ (RasLocalTime):
// "?? ??? ????" and "??:??:??" (Day 0) for a time it can't convert, a year
// outside 0 to 9999 in as many digits as it takes.
void FormatTimeTexts(EventTime t, TimeTexts* texts);

#endif  // VELMAR_EVENTLOG_RASEVENT_H
