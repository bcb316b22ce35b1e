// The accounting files read side by side: the plan finds each file's kind
// and first record, the merge takes the record that comes first among the
// open files (opening a file when its first record's time comes), and the
// window holds each request until none earlier can come. Every reader is
// closed, and its memory freed, on every path.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "analytics/acctmodel.h"
#include "platform/files.h"

namespace {

bool IsStdin(const char* path) {
  return strcmp(path, "-") == 0;
}

// A reader on the heap (it holds a name and a message of some kilobytes).
AcctReader* NewReader() {
  return static_cast<AcctReader*>(calloc(1, sizeof(AcctReader)));
}

void FreeReader(AcctReader* r) {
  if (r == nullptr) return;
  AcctClose(r);
  free(r);
}

// Takes the reader's message as the failure (cut to fit, as a path of
// thousands of bytes may make it longer).
int Fail(ModelFailure* failure, const char* message) {
  size_t n = std::min(strlen(message), sizeof failure->Text - 1);
  memcpy(failure->Text, message, n);
  failure->Text[n] = '\0';
  return 0;
}

// Reads the next record of f. Returns 1, 0 at its end (reader closed,
// counts kept), -1 with the failure set.
int Advance(AcctInputFile* f, ModelFailure* failure) {
  int got = AcctRead(f->Reader, &f->Record);
  f->Have = got > 0;
  if (got < 0) {
    Fail(failure, f->Reader->Message);
    return -1;
  }
  if (got == 0) {
    f->Counts = f->Reader->Counts;
    f->Done = true;
    FreeReader(f->Reader);
    f->Reader = nullptr;
  }
  return got;
}

// Opens f for the plan or for good, taking it as kind. Returns 1, or 0
// with the failure set.
int OpenFile(AcctInputFile* f, AcctKind kind, ModelFailure* failure) {
  f->Reader = NewReader();
  if (f->Reader == nullptr) return Fail(failure, "out of memory");
  if (!AcctOpen(f->Reader, f->Path, kind)) return Fail(failure, f->Reader->Message);
  if (f->Reader->Kind == kAcctEvt) {
    snprintf(failure->Text, sizeof failure->Text,
             "%s: an event log is read from its file, not from standard input", f->Path);
    return 0;
  }
  f->Kind = f->Reader->Kind;
  return 1;
}

// Plans one file: its kind and the time of its first record. Standard
// input stays open, as it can't be opened again; any other file is closed
// until the merge reaches it.
int PlanFile(AcctInputFile* f, AcctKind kind, ModelFailure* failure) {
  if (!OpenFile(f, kind, failure)) return 0;
  if (f->Kind == kAcctEmpty) {
    f->Counts = f->Reader->Counts;
    f->Done = true;
    FreeReader(f->Reader);
    f->Reader = nullptr;
    return 1;
  }
  int got = Advance(f, failure);
  if (got < 0) return 0;
  if (got == 0) return 1;
  f->FirstTime = f->Record.Time;
  if (!IsStdin(f->Path)) {
    FreeReader(f->Reader);
    f->Reader = nullptr;
    f->Have = false;
  }
  return 1;
}

bool FirstEarlier(const AcctInputFile& a, const AcctInputFile& b) {
  if (a.Done != b.Done) return !a.Done;
  return a.FirstTime < b.FirstTime;
}

// ---- the window ---------------------------------------------------------

bool Later(const AcctWaiting& a, const AcctWaiting& b) {
  return a.Time != b.Time ? a.Time > b.Time : a.Seq > b.Seq;
}

// Copies n bytes of text into s, a NUL byte (which no name can hold in
// the answers' texts) as '?'.
void CopyText(std::string* s, const char* text, size_t n) {
  s->assign(text, n);
  if (memchr(text, '\0', n) == nullptr) return;
  std::replace(s->begin(), s->end(), '\0', '?');
}

size_t Waiting(const AcctFeed* f) {
  return f->RingCount + f->Heap.size();
}

// The i-th of the ring's requests (its size is a power of two).
AcctWaiting& RingAt(AcctFeed* f, size_t i) {
  return f->Ring[(f->RingHead + i) & (f->Ring.size() - 1)];
}

// Puts w in the window: at the ring's end when no request there is later,
// else in the heap.
void Wait(AcctFeed* f, const AcctWaiting& w) {
  if (f->RingCount > 0 && Later(RingAt(f, f->RingCount - 1), w)) {
    f->Heap.push_back(w);
    std::push_heap(f->Heap.begin(), f->Heap.end(), Later);
    return;
  }
  if (f->RingCount == f->Ring.size()) {
    // Full: double it, the waiting ones from the start.
    std::vector<AcctWaiting> grown(std::max<size_t>(64, 2 * f->Ring.size()));
    for (size_t i = 0; i < f->RingCount; ++i) grown[i] = RingAt(f, i);
    f->Ring.swap(grown);
    f->RingHead = 0;
  }
  ++f->RingCount;
  RingAt(f, f->RingCount - 1) = w;
}

// Whether the earliest waiting request is the ring's (else the heap's).
bool FrontInRing(const AcctFeed* f) {
  if (f->Heap.empty()) return true;
  if (f->RingCount == 0) return false;
  return Later(f->Heap.front(), f->Ring[f->RingHead]);
}

const AcctWaiting& Front(const AcctFeed* f) {
  return FrontInRing(f) ? f->Ring[f->RingHead] : f->Heap.front();
}

uint32_t FreeSlot(AcctFeed* f) {
  if (!f->FreeSlots.empty()) {
    uint32_t s = f->FreeSlots.back();
    f->FreeSlots.pop_back();
    return s;
  }
  f->Slots.emplace_back();
  return static_cast<uint32_t>(f->Slots.size() - 1);
}

// Puts the current record of file `file` into the window.
void Push(AcctFeed* f, int file) {
  AcctInputFile* in = &f->Files[static_cast<size_t>(file)];
  const AcctRecord& rec = in->Record;
  uint32_t s = FreeSlot(f);
  AcctSlot* q = &f->Slots[s];
  q->Status = rec.Status;
  q->Time = rec.Time;
  q->HasSessionTime = rec.HasSessionTime;
  q->SessionTime = rec.SessionTime;
  q->File = file;
  q->Line = rec.Line;
  CopyText(&q->Nas, rec.Nas, rec.NasLength);
  CopyText(&q->Port, rec.Port, rec.PortLength);
  CopyText(&q->User, rec.User, rec.UserLength);
  CopyText(&q->Id, rec.SessionId, rec.SessionIdLength);
  Wait(f, AcctWaiting{rec.Time, f->Seq++, s});
  if (rec.Time > f->Newest) f->Newest = rec.Time;
  if (in->FirstSeen < 0 || rec.Time < in->FirstSeen) in->FirstSeen = rec.Time;
  if (rec.Time > in->LastSeen) in->LastSeen = rec.Time;
}

// ---- the merge ----------------------------------------------------------

// The open file whose record comes first (the earlier in order on a tie),
// -1 when none is open.
int FirstOpen(const AcctFeed* f) {
  int best = -1;
  for (int i : f->Open) {
    const AcctInputFile& in = f->Files[static_cast<size_t>(i)];
    if (best < 0 || in.Record.Time < f->Files[static_cast<size_t>(best)].Record.Time ||
        (in.Record.Time == f->Files[static_cast<size_t>(best)].Record.Time && i < best)) {
      best = i;
    }
  }
  return best;
}

// Opens the next file of the plan and reads its first record. Returns 1,
// or -1 with the failure set (0 never: the plan found a record in it).
int OpenNext(AcctFeed* f) {
  int i = static_cast<int>(f->Unopened++);
  AcctInputFile* in = &f->Files[static_cast<size_t>(i)];
  if (in->Reader == nullptr) {
    if (!OpenFile(in, in->Kind, f->Failure)) return -1;
    int got = Advance(in, f->Failure);
    if (got <= 0) return got < 0 ? -1 : 1;
  }
  f->Open.push_back(i);
  return 1;
}

// Moves one record from the files into the window. Returns 1, 0 when
// every file is read, -1 with the failure set.
int Pull(AcctFeed* f) {
  for (;;) {
    int best = FirstOpen(f);
    bool next = f->Unopened < f->Files.size() && !f->Files[f->Unopened].Done;
    if (next && (best < 0 || f->Files[f->Unopened].FirstTime <
                                 f->Files[static_cast<size_t>(best)].Record.Time)) {
      if (OpenNext(f) < 0) return -1;
      continue;
    }
    if (best < 0) return 0;
    Push(f, best);
    int got = Advance(&f->Files[static_cast<size_t>(best)], f->Failure);
    if (got < 0) return -1;
    if (got == 0) f->Open.erase(std::find(f->Open.begin(), f->Open.end(), best));
    return 1;
  }
}

bool Ready(const AcctFeed* f) {
  return Front(f).Time + kAcctWindow <= f->Newest || Waiting(f) >= kAcctPendingMax;
}

}  // namespace

int AcctFeedPlan(AcctFeed* f, const std::vector<const char*>& paths, AcctKind kind,
                 std::vector<AcctFileFacts>* facts, ModelFailure* failure) {
  f->Failure = failure;
  f->Unopened = 0;
  f->Seq = 0;
  f->Newest = -1;
  f->RingHead = f->RingCount = 0;
  if (facts != nullptr) facts->assign(paths.size(), AcctFileFacts());
  for (size_t i = 0; i < paths.size(); ++i) {
    AcctInputFile in = {};
    in.Path = paths[i];
    in.Given = static_cast<int>(i);
    in.RepeatOf = -1;
    in.FirstSeen = in.LastSeen = -1;
    in.Facts = facts != nullptr ? &(*facts)[i] : nullptr;
    f->Files.push_back(in);
    if (!PlanFile(&f->Files.back(), kind, failure)) return 0;
  }
  std::stable_sort(f->Files.begin(), f->Files.end(), FirstEarlier);
  return 1;
}

int AcctFeedPeek(AcctFeed* f, uint32_t* slot) {
  for (;;) {
    if (Waiting(f) > 0 && Ready(f)) break;
    int got = Pull(f);
    if (got < 0) return -1;
    if (got == 0) {
      if (Waiting(f) == 0) return 0;
      break;
    }
  }
  *slot = Front(f).Slot;
  return 1;
}

void AcctFeedTake(AcctFeed* f) {
  if (FrontInRing(f)) {
    f->FreeSlots.push_back(f->Ring[f->RingHead].Slot);
    f->RingHead = (f->RingHead + 1) & (f->Ring.size() - 1);
    --f->RingCount;
    return;
  }
  std::pop_heap(f->Heap.begin(), f->Heap.end(), Later);
  f->FreeSlots.push_back(f->Heap.back().Slot);
  f->Heap.pop_back();
}

void AcctFeedClose(AcctFeed* f) {
  for (AcctInputFile& in : f->Files) {
    if (in.Reader != nullptr) in.Counts = in.Reader->Counts;
    FreeReader(in.Reader);
    in.Reader = nullptr;
    if (in.Facts == nullptr) continue;
    in.Facts->Path = in.Path;
    in.Facts->Kind = in.Kind;
    in.Facts->Counts = in.Counts;
    in.Facts->FirstTime = in.FirstSeen;
    in.Facts->LastTime = in.LastSeen;
    in.Facts->Repeated = in.Repeated;
  }
}

bool AcctIsEventLog(const char* path, AcctKind kind) {
  if (IsStdin(path)) return false;
  if (kind != kAcctAuto) return kind == kAcctEvt;
  if (PlatformIsRegularFile(path) != 1) return true;
  AcctReader* r = NewReader();
  if (r == nullptr) return true;
  bool evt = AcctOpen(r, path, kAcctAuto) ? r->Kind == kAcctEvt : r->File == nullptr;
  FreeReader(r);
  return evt;
}
