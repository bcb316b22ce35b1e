// Planning the histories: a summary per file, the files grouped by server
// and ordered, then each joined to the running end of its history, with
// the records of an overlap compared copy against copy.
#include "analytics/history.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "analytics/model.h"

namespace {

// Ends a failure of the plan, its text already in failure: any byte below
// 0x20 or 0x7F (from a path or a computer name in a record) becomes a '?',
// so that a message cannot start a line of its own in a server's log.
int PlanFailed(ModelFailure* failure) {
  for (char* p = failure->Text; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7F) *p = '?';
  }
  return 0;
}

uint64_t Newest(const HistoryFile& f) {
  return f.Summary.Oldest + f.Summary.Count - 1;
}

// Reads each file's summary, opening one file at a time.
int Summarize(const char* const* paths, int count, const SourceOps* ops,
              std::vector<HistoryFile>* files, ModelFailure* failure) {
  for (int i = 0; i < count; ++i) {
    SourceFile f;
    if (!SourceOpen(&f, ops, paths[i], failure)) return 0;
    HistoryFile h = {paths[i], i, f.Summary, kJoinFirst, 0, f.Summary.Oldest, -1};
    SourceClose(&f);
    files->push_back(h);
  }
  return 1;
}

// Groups files by server, histories in the order their first files came.
void Group(const std::vector<HistoryFile>& files, std::vector<History>* out) {
  std::map<std::string, size_t> byServer;
  for (const HistoryFile& f : files) {
    bool empty = f.Summary.Count == 0;
    std::map<std::string, size_t>::iterator known = byServer.find(f.Summary.Server);
    if (empty || known == byServer.end()) {
      if (!empty) byServer.emplace(f.Summary.Server, out->size());
      out->push_back(History{f.Summary.Server, empty, {f}});
    } else {
      (*out)[known->second].Files.push_back(f);
    }
  }
}

// Reads the time of each file's last record, which ordering and joining
// need when a server has more than one file.
int ReadLastTimes(const SourceOps* ops, History* h, ModelFailure* failure) {
  for (HistoryFile& f : h->Files) {
    SourceFile s;
    SourceEvent last;
    if (!SourceOpen(&s, ops, f.Path, failure)) return 0;
    int ok = s.Ops->Read(&s, Newest(f), &last, failure);
    SourceClose(&s);
    if (!ok) return 0;
    f.Summary.LastTime = last.Time;
  }
  return 1;
}

bool Earlier(const HistoryFile& a, const HistoryFile& b) {
  if (a.Summary.FirstTime != b.Summary.FirstTime) return a.Summary.FirstTime < b.Summary.FirstTime;
  if (a.Summary.Oldest != b.Summary.Oldest) return a.Summary.Oldest < b.Summary.Oldest;
  return a.Summary.Count > b.Summary.Count;
}

// ---- Overlap ----------------------------------------------------------------

// Both copies of an overlap, open side by side.
struct Pair {
  SourceFile Running;  // the file that holds the running newest
  SourceFile Next;     // the file being joined
};

// Compares the records the two files share, from next's first record on.
// Returns 1 when they are the same, 0 after the failure naming the first
// that differs.
int SameRecords(Pair* p, const HistoryFile& run, const HistoryFile& next, const History& h,
                ModelFailure* failure) {
  uint64_t last = std::min(Newest(run), Newest(next));
  for (uint64_t n = next.Summary.Oldest; n <= last; ++n) {
    SourceEvent a, b;
    if (!p->Running.Ops->Read(&p->Running, n, &a, failure) ||
        !p->Next.Ops->Read(&p->Next, n, &b, failure)) {
      return 0;
    }
    if (!p->Running.Ops->Same(&p->Running, &p->Next)) {
      snprintf(failure->Text, sizeof failure->Text,
               "%s: record %llu differs from record %llu of %s: they can't both be the log of %s",
               next.Path, static_cast<unsigned long long>(n), static_cast<unsigned long long>(n),
               run.Path, h.Server.c_str());
      return PlanFailed(failure);
    }
  }
  return 1;
}

// Whether next begins with records that run holds: its first record lies
// in run's range and has the same time there. Then every shared record is
// compared. Returns 1 for an overlap, 0 for none, -1 after a failure.
int Overlaps(const SourceOps* ops, const HistoryFile& run, const HistoryFile& next,
             const History& h, ModelFailure* failure) {
  uint64_t first = next.Summary.Oldest;
  if (first < run.Summary.Oldest || first > Newest(run)) return 0;
  Pair p;
  if (!SourceOpen(&p.Running, ops, run.Path, failure)) return -1;
  int result = -1;
  SourceEvent probe;
  if (p.Running.Ops->Read(&p.Running, first, &probe, failure)) {
    result = 0;
    if (probe.Time == next.Summary.FirstTime) {
      result = -1;
      if (SourceOpen(&p.Next, ops, next.Path, failure)) {
        result = SameRecords(&p, run, next, h, failure) ? 1 : -1;
        SourceClose(&p.Next);
      }
    }
  }
  SourceClose(&p.Running);
  return result;
}

// ---- Joins ------------------------------------------------------------------

// Joins each file of h to the running end before it.
int Join(const SourceOps* ops, History* h, ModelFailure* failure) {
  size_t run = 0;
  for (size_t i = 1; i < h->Files.size(); ++i) {
    HistoryFile* f = &h->Files[i];
    const HistoryFile& r = h->Files[run];
    if (f->Summary.Oldest == Newest(r) + 1) {
      // The numbers follow on; a clock set back at the cut is the clock
      // rule's business, as within one file.
      f->Join = kJoinContinuous;
      run = i;
      continue;
    }
    int overlap = Overlaps(ops, r, *f, *h, failure);
    if (overlap < 0) return 0;
    if (overlap > 0) {
      f->Join = kJoinOverlap;
      f->Shared = std::min(Newest(r), Newest(*f)) - f->Summary.Oldest + 1;
      f->From = Newest(r) + 1;
      if (f->Summary.Oldest == r.Summary.Oldest && Newest(*f) == Newest(r))
        f->SameAs = static_cast<int>(run);
      if (Newest(*f) > Newest(r)) run = i;
      continue;
    }
    if (f->Summary.FirstTime < r.Summary.LastTime) {
      snprintf(failure->Text, sizeof failure->Text,
               "%s: its records interleave in time with those of %s without being the same "
               "records: they can't both be the log of %s",
               f->Path, r.Path, h->Server.c_str());
      return PlanFailed(failure);
    }
    f->Join = kJoinGap;
    run = i;
  }
  return 1;
}

}  // namespace

int HistoryPlan(const char* const* paths, int count, const SourceOps* ops,
                std::vector<History>* out, ModelFailure* failure) {
  out->clear();
  std::vector<HistoryFile> files;
  if (!Summarize(paths, count, ops, &files, failure)) return 0;
  Group(files, out);
  for (History& h : *out) {
    if (h.Files.size() < 2) continue;
    if (!ReadLastTimes(ops, &h, failure)) return 0;
    std::stable_sort(h.Files.begin(), h.Files.end(), Earlier);
    if (!Join(ops, &h, failure)) return 0;
  }
  return 1;
}
