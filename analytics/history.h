// The files given to an answer as histories: one per server, its files in
// time order, each joined to the ones before it. Planned up front from a
// small summary per file, so that the model can then stream a history one
// file at a time and read each record once.
//
// The rules:
//  - A file belongs to the server named by its oldest record's computer.
//    A file without records is a history of its own that adds nothing.
//  - A server's files are ordered by the time of their first record, then
//    by its position, then the longer first, so that a file that holds
//    another comes before it; files that tie stay in the order given.
//  - Each file is judged against the history's running end: the file that
//    holds the newest record so far.
//      continuous  its first record is the one after the running newest;
//      overlap     its first record lies in the running file's range and has
//                  the same time there: every record the two hold in common
//                  must be the same, byte for byte, and the file adds only
//                  the records after the running newest (none when it lies
//                  wholly inside; an exact copy is noted in SameAs);
//      gap         anything else whose first record is not earlier than the
//                  running file's last: numbers restarted after a clear, or
//                  records missing between;
//    anything else interleaves in time with the running file without being
//    the same records, and cannot be one history: a failure naming both.
//  - Two copies that disagree (same number and time, different record) are
//    a damaged history: a failure naming both files and the record.
//
// Each file is opened for its summary, and when its server has other files
// once more for the time of its newest record. Memory is one summary per
// file and, while an overlap is checked, two open files.
#ifndef VELMAR_ANALYTICS_HISTORY_H
#define VELMAR_ANALYTICS_HISTORY_H

#include <cstdint>
#include <string>
#include <vector>

#include "analytics/source.h"

// How a file joins the files of its history before it.
enum JoinKind {
  kJoinFirst,       // the history's first file
  kJoinContinuous,  // its first record follows the running newest
  kJoinOverlap,     // it begins with records the running file holds too
  kJoinGap,         // nothing proves that no record was lost between
};

// One file of a history.
struct HistoryFile {
  const char* Path;       // as given
  int Given;              // its place among the files given
  SourceSummary Summary;  // what it holds
  JoinKind Join;          // how it joins the files before it
  uint64_t Shared;        // records of an overlap: held by both files
  uint64_t From;          // position of the first record it adds; past its newest when none
  int SameAs;             // the earlier file of the history it repeats exactly, else -1
};

// One server's files, in time order.
struct History {
  std::string Server;              // the computer of its files' oldest records
  bool Empty;                      // its only file holds no record
  std::vector<HistoryFile> Files;  // in time order, joined
};

// Opens each of paths[0..count-1] once through ops for its summary, groups
// the files by server (histories in the order their first files were
// given), orders and joins each group. Returns 1 with *out set, or 0 with
// *failure set: a file that can't be opened or read, an overlap whose
// copies disagree, files that interleave.
int HistoryPlan(const char* const* paths, int count, const SourceOps* ops,
                std::vector<History>* out, ModelFailure* failure);

// The number of records file f adds to its history.
inline uint64_t HistoryAdds(const HistoryFile& f) {
  uint64_t end = f.Summary.Oldest + f.Summary.Count;
  return f.From < end ? end - f.From : 0;
}

#endif  // VELMAR_ANALYTICS_HISTORY_H
