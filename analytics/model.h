// Sessions from the logs of one or more servers: classic NT event logs and
// RADIUS accounting logs (accounting/acct.h), mixed as they come. The logs
// of a server are read as one history (analytics/history.h: grouped by the
// computer of their oldest records, ordered in time and joined, overlaps
// counted once), each history streamed file after file in record order;
// the accounting logs are read side by side in event time
// (analytics/acctmodel.h), each NAS in them a history of its own; and all
// of them merged by time.
//
// The rules of the event logs:
//  - Records are decoded as the report decodes them (RasDecode). A session
//    is keyed by (computer, port): the computer is the name stored in the
//    record, the port its insertion string 3, the user string 2. Connects
//    and disconnects without insertion strings are passed over.
//  - A connect (20017) opens a session. The disconnect (20050) on that port
//    closes it ("disconnect"). A connect on a port that already has an open
//    session closes the old one ("replaced") and opens a new one. A reset
//    (6005 or 8033) closes every open session of its history ("reset").
//  - A disconnect with no open session began before the history: its start
//    is rebuilt from the connected time the disconnect reports (insertion
//    strings 8 and 9, minutes and seconds, each read as atol reads it, held
//    to 32 bits as in the report's user statistics):
//    start = end - connected time ("rebuilt"). A negative connected time
//    counts as 0. A port carries one connection at a time, so the start is
//    never put before the end of the previous session on the same port (a
//    reset may have closed that one early), nor before 1970.
//  - Where two files join on (continuous or overlap), the history runs on:
//    a session open at the end of one continues into the next.
//  - At a gap, each session still open is decided by the first record of
//    its port in the next file (read ahead, up to a reset): a disconnect of
//    the same user whose connected time reaches back to the gap's start or
//    before continues the session across the gap; any other session ends
//    at the gap's start ("open"), and a later disconnect on its port is not
//    rebuilt to start before the gap's end.
//  - A session still open at the history's newest record ends there
//    ("open").
//  - Lines in use at time t = the sessions covering t, summed over all
//    servers.
//  - A history covers the time from its oldest record to its newest, apart
//    from its gaps, from the last record before one to the first after;
//    time that no history covers is "not covered", never 0 lines in use.
//  - A record's time is taken as no earlier than the record before it in
//    the same history, so that a clock set back cannot make time run
//    backwards.
//
// The rules of the accounting logs mirror them, named the same way
// (accounting/acct.h says how a record's NAS, port, session id and event
// time are found):
//  - A session is keyed by (NAS, Acct-Session-Id); its line is (NAS, port).
//    A record that names no port puts its session on a line of its own.
//  - A Start opens a session ("connect"); its Stop closes it ("disconnect"),
//    with Acct-Session-Time as the connected seconds. A Start on a line
//    with an open session of another id, begun before it, closes that one
//    ("replaced"), and so does a session rebuilt on it. Accounting-On or -Off closes every
//    open session of its NAS ("reset").
//  - A Stop without its Start is rebuilt: start = stop time -
//    Acct-Session-Time (0 when it has none); an Interim-Update without its
//    Start opens the session at update time - Acct-Session-Time ("rebuilt").
//    As for a port, a rebuilt start is never put before the end of the
//    line's previous session (one that ended by the request's time), nor
//    before 1970.
//  - A record of a session that has ended, whose time is not after that
//    end, tells nothing new and is passed over; the same request received
//    twice (same NAS, session id, status type and event time) counts once.
//  - Records are taken in event time, whatever the order the files hold
//    them in: each waits kAcctWindow seconds of later records for those
//    delayed before it. One that comes later still is applied at its own
//    time, against the sessions as they stand; a session of its line begun
//    after it stays.
//  - A NAS's records cover the time from its first to its last record. An
//    Accounting-On that is its NAS's first record in a file, after its
//    records in other files ended, follows a gap: the time since its
//    NAS's previous record is not covered, and the sessions open then end
//    there ("open"). A session still open at its NAS's last record ends
//    there ("open").
//  - The lines of all NAS and all servers add up, as above.
//
// Memory is O(ports) per server (the open sessions, kept per (computer,
// port)) plus one record buffer per server's open file and a summary per
// file, whatever the size of the logs; the facts for info add the distinct
// ports and users seen. The accounting logs add their open sessions and
// those that ended within the window, the requests waiting in it (at most
// kAcctPendingMax), and a block per file read at once (the files whose
// times overlap).
#ifndef VELMAR_ANALYTICS_MODEL_H
#define VELMAR_ANALYTICS_MODEL_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "accounting/acct.h"
#include "analytics/history.h"
#include "eventlog/logread.h"
#include "platform/logservice.h"

// How a session began.
enum SessionStart {
  kStartConnect,  // at its connect record
  kStartRebuilt,  // before the history: rebuilt from its disconnect
};

// How a session ended.
enum SessionEnd {
  kEndDisconnect,  // at its disconnect record
  kEndReplaced,    // at a connect on the same port
  kEndReset,       // at a reset record
  kEndOpen,        // still open at the history's newest record, or at a gap
};

// One session, as handed to the sink when it ends. The texts are good only
// during the call.
struct Session {
  int Log;               // its history: the place of the server among those read
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
  uint64_t StartRecord;  // record number of the connect, in its file
  bool HasEndRecord;     // EndRecord holds the number of the record that ended it
  uint64_t EndRecord;    // record number of the disconnect, connect or reset, in its file
};

// What the sweep over time needs to hear, in time order: the model calls
// these as it goes (all optional, null to leave out).
struct ModelListener {
  void* Context;  // handed back to every call
  // A session ended (in the order sessions end).
  void (*Ended)(void* context, const Session* s);
  // A span of covered time begins: span `span` covers time from `first`
  // on (`empty` when its history holds no record, and so covers nothing).
  // The first span of each history is told before the first record, with
  // the history's place as its number; the span after a gap is told at the
  // gap, numbered on from there.
  void (*Covers)(void* context, int span, EventTime first, bool empty);
  // Lines in use change by delta from t on (t never earlier than before).
  void (*Step)(void* context, EventTime t, int delta);
  // One more line was in use on [from, to), to being the time of the
  // latest record (a rebuilt session).
  void (*Past)(void* context, EventTime from, EventTime to, const Session* s);
  // Lines in use change by delta from t on, t earlier than the latest time
  // told: a session of an accounting log that began or ended before
  // records already handled (a rebuilt start, a request that came late, a
  // session ended at its NAS's last record or at a gap). s is the session.
  void (*Back)(void* context, EventTime t, int delta, const Session* s);
  // A connect record at t; for an accounting log, a session that began at
  // t (also one rebuilt from its Stop, and t may then be earlier than
  // before).
  void (*Connect)(void* context, EventTime t);
  // Span `span` has no more records (its history ends, or a gap begins):
  // its coverage ends at last.
  void (*Done)(void* context, int span, EventTime last);
  // Something about the logs that the answer reads past, worth a line on
  // standard error ("B holds the same records as A: they count once"),
  // without the program's name. It is handed WarningContext, not Context:
  // whoever tells the user need not be the sink of the sessions.
  void (*Warning)(void* context, const char* text);
  void* WarningContext;  // handed back to Warning
};

// The facts of one file for info, in the order of its history. Counts and
// the sets hold the records it adds to its history (none twice) whose time
// lies in [Since, Until) of ModelReadLogs; the rest is the whole file's.
// For a NAS of an accounting log they are of that NAS's records in the
// file, whose places are the lines where they start.
struct LogFacts {
  const char* Path;             // as given
  uint64_t Oldest;              // number of the oldest record
  uint64_t Count;               // records in the file
  EventTime FirstTime;          // time of the oldest record
  EventTime LastTime;           // time of the newest record
  EvtHeaderFacts Header;        // dirty and wrapped, where known
  JoinKind Join;                // how it joins the files before it
  uint64_t Shared;              // records of an overlap, held by both files
  int64_t GapSeconds;           // the time a gap before it leaves not covered
  const char* SameAs;           // the earlier file it repeats exactly, or null
  uint64_t Added;               // records it adds to the history
  uint64_t Connects;            // connect records with insertion strings
  uint64_t Disconnects;         // disconnect records with insertion strings
  uint64_t Resets;              // reset records (6005, 8033)
  std::set<std::string> Ports;  // distinct port names of connects and disconnects
  std::set<std::string> Users;  // distinct user names of connects and disconnects
  bool Accounting;              // a NAS's records in an accounting log: the fields below hold
  uint64_t Newest;              // line of its last record (Oldest that of its first)
  uint64_t Interims;            // its Interim-Updates (Connects: Starts, Disconnects: Stops,
                                // Resets: Accounting-On and -Off)
  uint64_t Repeated;            // its records that repeat one already read, counted once
};

// The facts of one server's history: its files and the counts of its
// records, each record once.
struct HistoryFacts {
  std::string Computer;         // the computer of its files' oldest records
  bool Empty;                   // its one file holds no record
  std::vector<LogFacts> Files;  // in time order
  uint64_t Records;             // records, each once
  uint64_t Connects;            // as LogFacts counts them, over the history
  uint64_t Disconnects;         // likewise
  uint64_t Resets;              // likewise
  std::set<std::string> Ports;  // likewise
  std::set<std::string> Users;  // likewise
  bool Accounting;              // the history of a NAS of the accounting logs
  uint64_t Interims;            // its Interim-Updates, as LogFacts counts them
  uint64_t Repeated;            // its records that repeat one already read
};

// The facts of one accounting file for info: what its reader met in the
// whole file, and the span of the event times of its records.
struct AcctFileFacts {
  const char* Path;     // as given
  AcctKind Kind;        // its format (kAcctEmpty for a file of no record)
  AcctCounts Counts;    // records read, authentication lines, others, skipped by reason
  EventTime FirstTime;  // the earliest event time of its records (when it has any)
  EventTime LastTime;   // the latest
  uint64_t Repeated;    // records that repeat one already read (a request received twice,
                        // or one another file holds too): counted once
};

// Everything info tells: the histories (those of the event logs in the
// order their first files were given, then the NAS of the accounting logs
// as their first records come) and the accounting files as given.
struct ModelFacts {
  std::vector<HistoryFacts> Histories;   // one per server or NAS
  std::vector<AcctFileFacts> AcctFiles;  // one per accounting file
};

// The files to read and the kind to take them as.
struct ModelInput {
  const char* const* Paths;  // as given; "-" is standard input (an accounting log)
  int Count;                 // how many
  AcctKind Kind;             // kAcctAuto: each told from its content; else every file is of it
};

// Why a run failed: "PATH: REASON", the log's path as given and the reason
// in the platform's words ("No such file or directory", "not an event log
// file", "damaged: record 1234 can't be read"), or why two logs of a server
// can't be one history (analytics/history.h).
struct ModelFailure {
  char Text[4352];  // the message, without the program's name
  bool Unopened;    // a log could not be opened at all (missing, no access, not a log);
                    // left alone for every other failure
};

// Reads the logs at paths[0..count-1] as the histories of their servers,
// each record once, merged by record time, and tells the listener what
// happens. With facts not null, fills one HistoryFacts per history,
// counting records in [since, until). Returns 1 after every record was
// read; 0 with *failure set when a log cannot be opened or a record cannot
// be read, or the logs of a server cannot be one history (nothing heard
// then): the listener may have heard part of the logs.
int ModelReadLogs(const char* const* paths, int count, const ModelListener* listener,
                  std::vector<HistoryFacts>* facts, EventTime since, EventTime until,
                  ModelFailure* failure);

// Reads the files of in, event logs and accounting logs, as ModelReadLogs
// reads event logs, with facts (when not null) for every history and every
// accounting file. A file is an accounting log when its kind is forced so,
// or when it is "-" or a regular file whose content tells an accounting
// kind (AcctDetectKind); any other is read as an event log, whose reader
// says what is wrong with it. Returns 1, or 0 with *failure set: also a
// file compressed with gzip, or of no kind ("PATH: not an accounting log
// nor an event log (tried ...)"), or an accounting log whose input can't
// be read ("PATH: line N: REASON"). Records the accounting readers passed
// over (damaged, authentication, not accounting) are counted in the facts,
// and the damaged ones named in a Warning per file.
int ModelRead(const ModelInput* in, const ModelListener* listener, ModelFacts* facts,
              EventTime since, EventTime until, ModelFailure* failure);

// The computer name stored in the oldest record of the log at path ("" for
// an empty log). Returns 1, or 0 with *failure set as ModelReadLogs does.
int ModelLogComputer(const char* path, std::string* computer, ModelFailure* failure);

// Whether ModelRead takes the file at path, given the kind `kind`, as an
// event log: 1, or 0 for an accounting log ("-" always is one). A file
// that can't be told is taken as an event log (its reader will say why).
int ModelIsEventLog(const char* path, AcctKind kind);

#endif  // VELMAR_ANALYTICS_MODEL_H
