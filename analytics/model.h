// Sessions from one or more event logs, read once each, streaming, in record
// order through the platform's event log calls, and merged by record time.
//
// The rules:
//  - Records are decoded as the report decodes them (RasDecode). A session
//    is keyed by (computer, port) within one log: the computer is the name
//    stored in the record, the port its insertion string 3, the user string
//    2. Connects and disconnects without insertion strings are passed over.
//  - A connect (20017) opens a session. The disconnect (20050) on that port
//    closes it ("disconnect"). A connect on a port that already has an open
//    session closes the old one ("replaced") and opens a new one. A reset
//    (6005 or 8033) closes every open session of that log ("reset").
//  - A disconnect with no open session began before the log: its start is
//    rebuilt from the connected time the disconnect reports (insertion
//    strings 8 and 9, minutes and seconds, each read as atol reads it, held
//    to 32 bits as in the report's user statistics):
//    start = end - connected time ("rebuilt"). A negative connected time
//    counts as 0. A port carries one connection at a time, so the start is
//    never put before the end of the previous session on the same port of
//    the same log (a reset may have closed that one early), nor before 1970.
//  - A session still open at the log's newest record ends there ("open").
//  - Lines in use at time t = the sessions covering t, summed over all logs.
//  - A log covers the time from its oldest record to its newest; time that
//    no log covers is "not covered", never 0 lines in use.
//  - A record's time is taken as no earlier than the record before it in the
//    same log, so that a clock set back cannot make time run backwards.
//
// Memory is O(ports) per log (the open sessions, kept per (computer, port))
// plus one record buffer per log, whatever the size of the logs; the facts
// for info add the distinct ports and users seen.
#ifndef VELMAR_ANALYTICS_MODEL_H
#define VELMAR_ANALYTICS_MODEL_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "eventlog/logread.h"
#include "platform/evtstats.h"
#include "platform/winapi.h"

// How a session began.
enum SessionStart {
  kStartConnect,  // at its connect record
  kStartRebuilt,  // before the log: rebuilt from its disconnect
};

// How a session ended.
enum SessionEnd {
  kEndDisconnect,  // at its disconnect record
  kEndReplaced,    // at a connect on the same port
  kEndReset,       // at a reset record
  kEndOpen,        // still open at the log's newest record
};

// One session, as handed to the sink when it ends. The texts are good only
// during the call.
struct Session {
  int Log;               // index of the log among those given
  const char* Computer;  // computer name of the record that opened it
  const char* Port;      // port name
  const char* User;      // user name of the connect (of the disconnect when rebuilt)
  EventTime Start;       // when it began
  EventTime End;         // when it ended; never before Start
  SessionStart Started;  // connect or rebuilt
  SessionEnd Ended;      // disconnect, replaced, reset or open
  bool HasConnected;     // ended by a disconnect, whose connected time is in Connected
  int64_t Connected;     // seconds the disconnect reported (RasConnectedSeconds)
  bool HasStartRecord;   // StartRecord holds the connect's number
  DWORD StartRecord;     // record number of the connect
  bool HasEndRecord;     // EndRecord holds the number of the record that ended it
  DWORD EndRecord;       // record number of the disconnect, connect or reset
};

// What the sweep over time needs to hear, in time order: the model calls
// these as it goes (all optional, null to leave out).
struct ModelListener {
  void* Context;  // handed back to every call
  // A session ended (in the order sessions end).
  void (*Ended)(void* context, const Session* s);
  // Before the first record: log `log` covers time from `first` on
  // (`empty` when it holds no record, and so covers nothing).
  void (*Covers)(void* context, int log, EventTime first, bool empty);
  // Lines in use change by delta from t on (t never earlier than before).
  void (*Step)(void* context, EventTime t, int delta);
  // One more line was in use on [from, to), to being the time of the
  // latest record (a rebuilt session).
  void (*Past)(void* context, EventTime from, EventTime to, const Session* s);
  // A connect record at t.
  void (*Connect)(void* context, EventTime t);
  // Log `log` has no more records: its coverage ends at last.
  void (*Done)(void* context, int log, EventTime last);
};

// The facts of one log for info. Counts and the sets hold the records whose
// time lies in [Since, Until) of ModelReadLogs; the rest is the whole log's.
struct LogFacts {
  DWORD Oldest;                 // number of the oldest record
  DWORD Count;                  // records in the log
  EventTime FirstTime;          // time of the oldest record
  EventTime LastTime;           // time of the newest record
  EvtHeaderFacts Header;        // dirty and wrapped, where known
  uint64_t Connects;            // connect records with insertion strings
  uint64_t Disconnects;         // disconnect records with insertion strings
  uint64_t Resets;              // reset records (6005, 8033)
  std::set<std::string> Ports;  // distinct port names of connects and disconnects
  std::set<std::string> Users;  // distinct user names of connects and disconnects
};

// Why a run failed: "PATH: REASON", the log's path as given and the reason
// in the platform's words ("No such file or directory", "not an event log
// file", "damaged: record 1234 can't be read").
struct ModelFailure {
  char Text[4352];  // the message, without the program's name
};

// Reads the logs at paths[0..count-1] once each, merged by record time, and
// tells the listener what happens. With facts not null, fills one LogFacts
// per log, counting records in [since, until). Returns 1 after every record
// of every log was read; 0 with *failure set when a log cannot be opened or
// a record cannot be read: the listener may have heard part of the logs.
int ModelReadLogs(const char* const* paths, int count, const ModelListener* listener,
                  std::vector<LogFacts>* facts, EventTime since, EventTime until,
                  ModelFailure* failure);

// The computer name stored in the oldest record of the log at path ("" for
// an empty log). Returns 1, or 0 with *failure set as ModelReadLogs does.
int ModelLogComputer(const char* path, std::string* computer, ModelFailure* failure);

#endif  // VELMAR_ANALYTICS_MODEL_H
