// The accounting logs' part of the model (model.h gives the rules): the
// files read side by side in event time, each request held in a reorder
// window until no earlier one can come, then applied to the sessions of
// its NAS. model.cpp merges what comes out with the event logs' records.
//
// Reading: a file is opened only when the merge reaches the time of its
// first record (found once when the run is planned), and closed at its
// end, so that rotated files are read one after another and only files
// whose times overlap are open together. The reading runs on a thread of
// its own, which passes records on through a bounded pipe, so that the
// parsing and the sessions share the time of two processors; where no
// thread can be started, the window reads each record itself.
//
// The window holds a request until one kAcctWindow seconds later has been
// read, or until kAcctPendingMax wait; one that comes after its time has
// gone by is handled at once, at its own time (the listener's Back). Most
// requests come in time order and wait in a ring, in O(1); the few that
// come after a later one (delayed, or from another file) wait in a heap
// beside it. Nothing is allocated per request once the window has grown: a
// waiting request's texts go into a slot that is used again.
//
// The sessions: one entry per (NAS, Acct-Session-Id), looked up once per
// request (its NAS among the few met last, most often); an entry that has
// ended stays kAcctWindow seconds for the copies of its requests, then
// goes. Lines (NAS, port) keep their open
// session and the end of their last one. Memory is O(open sessions + the
// window), plus a block per open file.
#ifndef VELMAR_ANALYTICS_ACCTMODEL_H
#define VELMAR_ANALYTICS_ACCTMODEL_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "accounting/acct.h"
#include "analytics/model.h"
#include "platform/thread.h"

// Seconds a request waits for those delayed before it.
const EventTime kAcctWindow = 3600;
// Requests that may wait at once; past it the earliest goes on.
const size_t kAcctPendingMax = static_cast<size_t>(1) << 15;

// ---- the files ----

// The pipe from the reading to the window: a ring of bytes, each item a
// record's fields with its texts after them, so that an item takes the few
// bytes its texts need (records of some hundred bytes pass in a few cache
// lines one after another), and the ring holds some thousands of them.
const size_t kAcctPipeBytes = static_cast<size_t>(1) << 20;  // bytes of the ring (a power of two)
const size_t kAcctPipeBatch = kAcctPipeBytes / 16;           // bytes passed on at a time
const size_t kAcctPipeWake = kAcctPipeBytes / 2;             // bytes a side that waits is woken for

// One accounting file. The plan sets it up; then the reading (on its own
// thread when the system gives one) owns the fields above Done, the window
// those below.
struct AcctInputFile {
  const char* Path;       // as given
  int Given;              // its place among the accounting files given
  AcctKind Kind;          // its kind
  EventTime FirstTime;    // time of its first record (the plan's)
  AcctFileFacts* Facts;   // where its facts go, or null
  AcctReader* Reader;     // the reading's: the open reader, or null when not open
  bool Have;              // ... Record holds its next record
  AcctRecord Record;      // ... that record (texts in the reader)
  bool ReadOut;           // ... read to its end (or empty)
  AcctCounts ReadCounts;  // ... the reader's counts at its end (set before the end is
                          // passed on, and not again: the window may read them then)
  bool Done;              // the window's: its end has come (all its records are in)
  AcctCounts Counts;      // ... the reader's counts at its end
  uint64_t Handled;       // ... its records that reached the sessions
  uint64_t Repeated;      // ... that repeated one already handled
  int RepeatOf;           // ... the file of the first record one of them repeated, -1 none
  bool RepeatMixed;       // ... they repeated records of more than one file
  EventTime FirstSeen;    // ... earliest event time of its records, -1 before the first
  EventTime LastSeen;     // ... latest
};

// What the reading passes on, in order.
enum AcctPassKind {
  kPassRecord,   // a record of File
  kPassFileEnd,  // File has no more records; its ReadCounts are its reader's
  kPassFailed,   // a file can't be read: AcctFeed::ReadMessage says why
  kPassEnd,      // every file is read
};

// One item of the pipe: a record, its texts right after it in the ring, or
// an event. Its fields go widest first, so that no padding is passed on.
struct AcctPassed {
  EventTime Time;        // a record's event time
  uint64_t Line;         // the line it starts on
  AcctPassKind Kind;     // what it is
  int File;              // the file it is about
  AcctStatus Status;     // a record's: Acct-Status-Type
  uint32_t SessionTime;  // Acct-Session-Time's seconds
  uint16_t Length[4];    // bytes of the texts: NAS, port, user, session id, one after
                         // another, as the reader gave them
  uint32_t Size;         // bytes the item takes in the ring, its texts and padding with it
  bool HasSessionTime;   // Acct-Session-Time was given
};

// Bytes of a cache line, the least the processors pass between them.
const size_t kAcctCacheLine = 64;

// Bytes an item with n bytes of texts takes in the ring: whole words, so
// that the next one's fields are aligned.
constexpr size_t AcctItemBytes(size_t n) {
  return (sizeof(AcctPassed) + n + 7) & ~static_cast<size_t>(7);
}

// The most bytes an item takes: the ring has that much room past its end,
// so that an item begun near the end is whole in one piece.
const size_t kAcctPassedMax = AcctItemBytes(4 * kAcctTextMax);

// The pipe between the reading thread and the window: a ring of items, the
// bytes written and taken guarded by Lock. Each side keeps its own count
// and the other's as last seen, and meets the other under the lock only
// every kAcctPipeBatch bytes or when it must wait; a side that waits is
// woken when kAcctPipeWake bytes are there for it (or at the end), not for
// each batch, so that the two meet seldom.
struct AcctPipe {
  std::vector<char> Ring;         // kAcctPipeBytes and kAcctPassedMax bytes
  PlatformThread Thread;          // the reading thread (State null when none runs)
  bool Threaded;                  // the reading runs on it; else the ring holds the one
                                  // item read at a time, at its start
  std::mutex Lock;                // guards the five fields below
  std::condition_variable Moved;  // a side moved on, or the window wants no more
  uint64_t Written;               // bytes the reading has published
  uint64_t Taken;                 // bytes the window has released
  bool Stop;                      // the window wants no more
  bool ReaderWaits;               // the reading waits for room
  bool TakerWaits;                // the window waits for an item
  // Each side counts every item on a cache line of its own: a line both
  // wrote would pass between the two processors at each item.
  alignas(kAcctCacheLine) uint64_t MyWritten;  // the reading's own: bytes written
  uint64_t SeenTaken;                          // ... Taken as last seen
  alignas(kAcctCacheLine) uint64_t MyTaken;    // the window's own: bytes taken
  uint64_t SeenWritten;                        // ... Written as last seen
};

// A request waiting in the window, its texts copied.
struct AcctSlot {
  AcctStatus Status;       // Start, Stop, Interim-Update, Accounting-On or -Off
  EventTime Time;          // its event time
  bool HasSessionTime;     // Acct-Session-Time was given
  uint32_t SessionTime;    // its seconds
  int File;                // the file it came from
  uint64_t Line;           // the line it starts on
  uint16_t Length[4];      // bytes of its texts: NAS, port, user, session id
  std::vector<char> Text;  // those texts one after another, copied at once: the NAS key (a
                           // NUL byte in it becomes '?'), the port and the user ("" for
                           // none, as the record has them), the Acct-Session-Id ("" for On
                           // and Off)
};

// The texts of a waiting request, good while it waits.
inline std::string_view SlotNas(const AcctSlot& q) {
  return std::string_view(q.Text.data(), q.Length[0]);
}

inline std::string_view SlotPort(const AcctSlot& q) {
  return std::string_view(q.Text.data() + q.Length[0], q.Length[1]);
}

inline std::string_view SlotUser(const AcctSlot& q) {
  return std::string_view(q.Text.data() + q.Length[0] + q.Length[1], q.Length[2]);
}

inline std::string_view SlotId(const AcctSlot& q) {
  return std::string_view(q.Text.data() + q.Length[0] + q.Length[1] + q.Length[2], q.Length[3]);
}

// A place in the window: the order of event time, then of reading.
struct AcctWaiting {
  EventTime Time;  // event time
  uint64_t Seq;    // requests read before it
  uint32_t Slot;   // its slot
};

// The files, the reading, the pipe and the window.
struct AcctFeed {
  std::vector<AcctInputFile> Files;  // by the time of their first record (ties: as given)
  size_t Unopened;                   // the reading's: the first file not opened yet
  std::vector<int> Open;             // ... files being read
  std::vector<int> Ended;            // ... files whose end is still to be passed on
  bool Broken;                       // ... a read failed, ReadMessage says why
  char ReadMessage[sizeof(ModelFailure::Text)];  // ... the failure's text
  AcctPipe Pipe;                                 // from the reading to the window
  std::vector<AcctSlot> Slots;                   // the window's slots
  std::vector<uint32_t> FreeSlots;               // slots not in use
  std::vector<AcctWaiting> Ring;  // waiting requests read in time order: a ring, in order
  size_t RingHead;                // the earliest of them
  size_t RingCount;               // how many
  std::vector<AcctWaiting> Heap;  // those read after a later one: a heap, earliest on top
  uint64_t Seq;                   // requests read so far
  EventTime Newest;               // the latest event time read so far
  bool AllIn;                     // the reading passed its end: no request is to come
  ModelFailure* Failure;          // where a failure goes
};

// ---- the sessions ----

struct AcctSession;

// A line: (NAS, port).
struct AcctLine {
  AcctSession* Open;  // its open session, or null
  bool HasLastEnd;    // a session on it has ended
  EventTime LastEnd;  // the latest end of one
};

// A session entry, by (NAS, Acct-Session-Id).
struct AcctSession {
  uint32_t Nas;           // its NAS
  std::string Port;       // port of its session, "" for none (a NUL byte as '?')
  std::string User;       // user of its session (likewise)
  AcctLine* Line;         // its line, null when it names no port
  bool Open;              // a session of this id is open
  bool Ended;             // one has ended (End holds when)
  SessionStart Started;   // how the open (or last) session began
  EventTime Start;        // when
  EventTime End;          // when the last one ended
  EventTime EndedAt;      // the model's time then (later, for a late request)
  bool HasStartRecord;    // StartLine holds the Start's line
  uint64_t StartLine;     // the line of its Start
  int StartFile;          // the file of its Start
  bool HasStart;          // a Start of this id was handled at StartSeen ...
  EventTime StartSeen;    // ...
  int StartFrom;          // ... from this file
  bool HasStop;           // a Stop likewise
  EventTime StopSeen;     // ...
  int StopFrom;           // ...
  bool HasInterim;        // the last Interim-Update likewise
  EventTime InterimSeen;  // ...
  int InterimFrom;        // ...
  AcctSession* PrevOpen;  // the NAS's open sessions, a list
  AcctSession* NextOpen;  // ...
  std::string Id;         // its Acct-Session-Id: with Nas, its key in the table
  uint64_t Hash;          // the key's hash
  bool Queued;            // it waits among AcctRules::Endings
};

// A place of the session table: an entry, and the hash of its key.
struct AcctSessionSlot {
  uint64_t Hash;       // of (NAS, Acct-Session-Id)
  AcctSession* Entry;  // null for an empty place
};

// The session entries by (NAS, Acct-Session-Id): open addressing with
// linear probing over a power-of-two table kept at most half full, so that
// a lookup is one hash of the id and mostly one probe. The entries live in
// a pool and go back to it, so none is allocated per session once the
// pool has grown to the sessions open and ended within the window.
struct AcctSessionTable {
  std::vector<AcctSessionSlot> Slots;  // a power of two places, or none yet
  size_t Count;                        // entries in them
  std::deque<AcctSession> Pool;        // every entry made, in place
  std::vector<AcctSession*> Free;      // entries of the pool not in the table
};

// Per (NAS, file), while facts are counted.
struct AcctNasFile {
  int File;        // the file
  LogFacts Facts;  // the NAS's records in it
};

// A NAS of the accounting logs: a history of its own.
struct AcctNas {
  std::string Name;                // its key, as its records give it
  int History;                     // its place among all histories
  int Span;                        // its covered span being read
  EventTime First;                 // time of its first record
  EventTime Last;                  // the latest time of its records
  bool HadGap;                     // a gap split its coverage
  AcctSession* OpenList;           // its open sessions, in the order they opened
  AcctSession* OpenTail;           // the last of them
  bool HasReset;                   // an Accounting-On or -Off was handled ...
  AcctStatus ResetStatus;          // ... of this status
  EventTime ResetTime;             // ... at this time
  int ResetFrom;                   // ... from this file
  std::vector<bool> InFile;        // the files that held a record of it
  std::vector<AcctNasFile> Files;  // per file, while facts are counted
  HistoryFacts Facts;              // its history's facts, while counted
};

// A session entry that has ended, waiting to go.
struct AcctEnded {
  AcctSession* Entry;  // the entry
  EventTime End;       // its EndedAt then (it may have begun and ended again since)
};

// The sessions of every NAS, and how they are told.
struct AcctRules {
  AcctSessionTable Sessions;                          // (NAS, Acct-Session-Id) -> entry
  std::unordered_map<std::string, uint32_t> NasKeys;  // NAS -> its index
  uint32_t RecentNas[4];                              // the NAS met last, by index
  int RecentCount;                                    // how many of them
  std::deque<AcctNas> Nas;                            // the NAS, as they come
  std::unordered_map<std::string, AcctLine> Lines;    // NAS index (4 bytes) and port -> line
  std::deque<AcctEnded> Endings;                      // entries that ended, oldest first
  std::string LineKey;                                // scratch key of a line
  const ModelListener* Out;                           // who hears what happens
  int* Spans;                                         // covered spans numbered so far (shared)
  int HistoryBase;                                    // histories before the first NAS's
  EventTime Clock;                                    // the latest time handled by the model
  bool Counting;                                      // facts are counted
  EventTime Since;                                    // facts count records from here
  EventTime Until;                                    // up to here
};

// Both halves.
struct AcctModel {
  AcctFeed Feed;    // the files and the window
  AcctRules Rules;  // the sessions
};

// ---- the files (acctfeed.cpp) ----

// Plans the accounting files at paths (each taken as `kind`, or told from
// its content when it is kAcctAuto): the time of each one's first record,
// standard input's reader kept open. Returns 1, or 0 with *failure set
// (the reader's message: not to be opened or read, gzip, no kind; "-"
// holding an event log). facts, when not null, gets one entry per file,
// as given.
int AcctFeedPlan(AcctFeed* f, const std::vector<const char*>& paths, AcctKind kind,
                 std::vector<AcctFileFacts>* facts, ModelFailure* failure);

// The next request of the window into *slot (its index), once no earlier
// one can come. Returns 1, 0 when every file is read and the window is
// empty, -1 with the failure set when a file can't be read.
int AcctFeedPeek(AcctFeed* f, uint32_t* slot);

// Takes the request Peek gave out of the window (its slot used again).
void AcctFeedTake(AcctFeed* f);

// Stops the reading, closes every file and fills each file's facts.
void AcctFeedClose(AcctFeed* f);

// Whether the file at path is to be read as an event log under kind (see
// ModelIsEventLog): forced so; or a path that is no regular file, or that
// can't be opened, so that the event log's reader says why; or one whose
// first bytes are an event log's.
bool AcctIsEventLog(const char* path, AcctKind kind);

// ---- the sessions (acctrules.cpp) ----

// Sets the rules up: the listener, the shared span counter, the histories
// before, and the range of the facts (counted when `counting`).
void AcctRulesInit(AcctRules* r, const ModelListener* out, int* spans, int historyBase,
                   bool counting, EventTime since, EventTime until);

// Applies one request (a slot of the feed) at r->Clock, which the model
// has already moved on to the request's time when it is not late.
void AcctRulesApply(AcctRules* r, AcctFeed* feed, const AcctSlot& q);

// Ends what is still open at each NAS's last record and its coverage
// there, and tells the listener of each file whose every record repeats
// those of another, and of each file's damaged records.
void AcctRulesFinish(AcctRules* r, AcctFeed* feed);

// Moves the histories' facts into facts, NAS after NAS.
void AcctRulesFacts(AcctRules* r, std::vector<HistoryFacts>* facts);

#endif  // VELMAR_ANALYTICS_ACCTMODEL_H
