// Where the model's events come from: a file of records, each known by its
// position (for an event log, its record number) and read by it, decoded
// into what happened on which port of which server. A kind of file is a
// SourceOps; the classic NT event log is the one. The session rules, the
// clock rule and the joins of files into a history are the model's: a
// source only reads and decodes. An accounting log has no positions to
// join copies by and is read forward only (standard input too), so it is
// no SourceOps: analytics/acctmodel.h reads it as a stream through its
// reader (accounting/acct.h), and joins files by their records' times.
//
// A source holds one record at a time: the event's texts are good until
// the next Read or Close of its file.
#ifndef VELMAR_ANALYTICS_SOURCE_H
#define VELMAR_ANALYTICS_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "eventlog/rasevent.h"
#include "platform/logservice.h"

struct ModelFailure;

// One record, decoded.
struct SourceEvent {
  RasKind Kind;        // connect, disconnect, reset, or other (passed over)
  EventTime Time;      // its time as the record has it
  const char* Server;  // computer of a connect or disconnect, else ""
  const char* User;    // user of a connect or disconnect, else ""
  const char* Port;    // port of a connect or disconnect, else ""
  int64_t Seconds;     // connected time a disconnect reports, else 0
  uint64_t Position;   // its place in the file (the record number)
};

// What a file holds, read when it is opened.
struct SourceSummary {
  std::string Server;     // computer of its first record ("" when it has none)
  uint64_t Oldest;        // position of its first record
  uint64_t Count;         // records; positions Oldest to Oldest + Count - 1
  EventTime FirstTime;    // time of its first record (0 when it has none)
  EventTime LastTime;     // time of its last record, once read (Open leaves it 0)
  EvtHeaderFacts Header;  // the file header's state, where known
};

struct SourceFile;

// A kind of file. Each call returns 1, or 0 with *failure set as
// "PATH: REASON" ("damaged: record 1234 can't be read").
struct SourceOps {
  const char* Kind;  // "evt"
  // Opens f->Path and fills f->Summary. After a failure f holds nothing
  // to close.
  int (*Open)(SourceFile* f, ModelFailure* failure);
  // Reads the record at position (within the summary's range) into *ev.
  // Reading position after position is the fast way.
  int (*Read)(SourceFile* f, uint64_t position, SourceEvent* ev, ModelFailure* failure);
  // Whether the records last read from a and b (two files of this kind, at
  // the same position) are the same record: two copies of a log hold it
  // alike. 1 or 0.
  int (*Same)(const SourceFile* a, const SourceFile* b);
  // Releases what Open acquired; safe on a file that is not open.
  void (*Close)(SourceFile* f);
};

// One file of a source.
struct SourceFile {
  const SourceOps* Ops;   // its kind
  const char* Path;       // as given; the caller keeps it alive
  void* State;            // the kind's own, null when not open
  SourceSummary Summary;  // filled by Open
};

// The classic NT event log (.evt), read through the platform's event log
// calls: positions are record numbers, and two records are the same when
// their time, full event id, computer and insertion strings are (what a
// saved copy keeps, and what velmar-log dump and make carry over).
extern const SourceOps kEvtSource;

// Sets f up for ops and path and opens it. Returns Open's result.
int SourceOpen(SourceFile* f, const SourceOps* ops, const char* path, ModelFailure* failure);

// Closes f when it is open.
void SourceClose(SourceFile* f);

// The position of f's last record; f has records.
inline uint64_t SourceNewest(const SourceFile* f) {
  return f->Summary.Oldest + f->Summary.Count - 1;
}

#endif  // VELMAR_ANALYTICS_SOURCE_H
