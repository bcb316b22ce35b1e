// The accounting files read side by side: the plan finds each file's kind
// and first record; the reading takes the record that comes first among
// the open files (opening a file when its first record's time comes) and
// passes it through the pipe, on a thread of its own; the window holds each
// request until none earlier can come. Every reader is closed, and its
// memory freed, on every path.
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

// Copies a message into a buffer of n bytes, cut to fit (a path of
// thousands of bytes may make a reader's message longer).
void CopyMessage(char* to, size_t n, const char* message) {
  size_t len = std::min(strlen(message), n - 1);
  memcpy(to, message, len);
  to[len] = '\0';
}

int Fail(ModelFailure* failure, const char* message) {
  CopyMessage(failure->Text, sizeof failure->Text, message);
  return 0;
}

// ---- reading one file --------------------------------------------------

// Reads the next record of f. Returns 1, 0 at its end (reader closed,
// counts kept), -1 with message set.
int Advance(AcctInputFile* f, char* message, size_t n) {
  int got = AcctRead(f->Reader, &f->Record);
  f->Have = got > 0;
  if (got < 0) {
    CopyMessage(message, n, f->Reader->Message);
    return -1;
  }
  if (got == 0) {
    f->ReadCounts = f->Reader->Counts;
    f->ReadOut = true;
    FreeReader(f->Reader);
    f->Reader = nullptr;
  }
  return got;
}

// Opens f, taking it as kind. Returns 1, or 0 with message set.
int OpenFile(AcctInputFile* f, AcctKind kind, char* message, size_t n) {
  f->Reader = NewReader();
  if (f->Reader == nullptr) {
    snprintf(message, n, "%s: out of memory", f->Path);
    return 0;
  }
  if (!AcctOpen(f->Reader, f->Path, kind)) {
    CopyMessage(message, n, f->Reader->Message);
    return 0;
  }
  if (f->Reader->Kind == kAcctEvt) {
    snprintf(message, n, "%s: an event log is read from its file, not from standard input",
             f->Path);
    return 0;
  }
  f->Kind = f->Reader->Kind;
  return 1;
}

// Plans one file: its kind and the time of its first record. Standard
// input stays open, as it can't be opened again; any other file is closed
// until the merge reaches it.
int PlanFile(AcctInputFile* f, AcctKind kind, ModelFailure* failure) {
  if (!OpenFile(f, kind, failure->Text, sizeof failure->Text)) {
    failure->Unopened = true;
    return 0;
  }
  if (f->Kind == kAcctEmpty) {
    f->ReadCounts = f->Reader->Counts;
    f->ReadOut = true;
    FreeReader(f->Reader);
    f->Reader = nullptr;
    return 1;
  }
  int got = Advance(f, failure->Text, sizeof failure->Text);
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
  if (a.ReadOut != b.ReadOut) return !a.ReadOut;
  return a.FirstTime < b.FirstTime;
}

// ---- the merge (the reading's) -----------------------------------------

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
// or 0 with the read message set.
int OpenNext(AcctFeed* f) {
  int i = static_cast<int>(f->Unopened++);
  AcctInputFile* in = &f->Files[static_cast<size_t>(i)];
  if (in->Reader == nullptr) {
    if (!OpenFile(in, in->Kind, f->ReadMessage, sizeof f->ReadMessage)) return 0;
    int got = Advance(in, f->ReadMessage, sizeof f->ReadMessage);
    if (got < 0) return 0;
    if (got == 0) {
      f->Ended.push_back(i);
      return 1;
    }
  }
  f->Open.push_back(i);
  return 1;
}

// Copies the current record of file i into the item out.
void PassRecord(const AcctFeed* f, int i, AcctPassed* out) {
  const AcctRecord& rec = f->Files[static_cast<size_t>(i)].Record;
  out->Kind = kPassRecord;
  out->File = i;
  out->Status = rec.Status;
  out->Time = rec.Time;
  out->HasSessionTime = rec.HasSessionTime;
  out->SessionTime = rec.SessionTime;
  out->Line = rec.Line;
  const char* texts[4] = {rec.Nas, rec.Port, rec.User, rec.SessionId};
  size_t lengths[4] = {rec.NasLength, rec.PortLength, rec.UserLength, rec.SessionIdLength};
  char* at = out->Text;
  for (int k = 0; k < 4; ++k) {
    out->Length[k] = static_cast<uint16_t>(lengths[k]);
    memcpy(at, texts[k], lengths[k]);
    at += lengths[k];
  }
}

// Reads the next item of the merge into out: the end of a file that ran
// out, the record that comes first (its file's next one read ahead), a
// failure, or the end of all. Returns its kind.
AcctPassKind ReadOne(AcctFeed* f, AcctPassed* out) {
  for (;;) {
    if (f->Broken) return out->Kind = kPassFailed;
    if (!f->Ended.empty()) {
      out->Kind = kPassFileEnd;
      out->File = f->Ended.front();
      out->Counts = f->Files[static_cast<size_t>(out->File)].ReadCounts;
      f->Ended.erase(f->Ended.begin());
      return out->Kind;
    }
    int best = FirstOpen(f);
    bool next = f->Unopened < f->Files.size() && !f->Files[f->Unopened].ReadOut;
    if (next && (best < 0 || f->Files[f->Unopened].FirstTime <
                                 f->Files[static_cast<size_t>(best)].Record.Time)) {
      f->Broken = !OpenNext(f);
      continue;
    }
    if (best < 0) return out->Kind = kPassEnd;
    PassRecord(f, best, out);
    int got = Advance(&f->Files[static_cast<size_t>(best)], f->ReadMessage, sizeof f->ReadMessage);
    f->Broken = got < 0;
    if (got <= 0) f->Open.erase(std::find(f->Open.begin(), f->Open.end(), best));
    if (got == 0) f->Ended.push_back(best);
    return kPassRecord;
  }
}

// ---- the pipe -------------------------------------------------------------

// The reading's next item to fill, once there is room; null when the
// window wants no more.
AcctPassed* RoomFor(AcctPipe* p) {
  if (p->MyWritten - p->SeenTaken == kAcctPipeSize) {
    std::unique_lock<std::mutex> hold(p->Lock);
    p->Written = p->MyWritten;
    if (p->TakerWaits) p->Moved.notify_all();
    while (p->MyWritten - p->Taken == kAcctPipeSize && !p->Stop) {
      p->ReaderWaits = true;
      p->Moved.wait(hold);
      p->ReaderWaits = false;
    }
    p->SeenTaken = p->Taken;
    if (p->Stop) return nullptr;
  }
  return &p->Ring[p->MyWritten & (kAcctPipeSize - 1)];
}

// Publishes what the reading wrote: at once for the last item, else every
// kAcctPipeBatch items. Returns false when the window wants no more.
bool Publish(AcctPipe* p, bool last) {
  ++p->MyWritten;
  if (!last && p->MyWritten % kAcctPipeBatch != 0) return true;
  std::lock_guard<std::mutex> hold(p->Lock);
  p->Written = p->MyWritten;
  p->SeenTaken = p->Taken;
  if (p->TakerWaits) p->Moved.notify_all();
  return !p->Stop;
}

// The reading thread: every item of the merge into the pipe, up to the
// end, a failure, or the window's stop.
void ReadAll(void* feed) {
  AcctFeed* f = static_cast<AcctFeed*>(feed);
  for (;;) {
    AcctPassed* item = RoomFor(&f->Pipe);
    if (item == nullptr) return;
    AcctPassKind kind = ReadOne(f, item);
    bool last = kind == kPassEnd || kind == kPassFailed;
    if (!Publish(&f->Pipe, last) || last) return;
  }
}

// The window's next item, waiting for the reading when it has none yet.
const AcctPassed* NextItem(AcctFeed* f) {
  AcctPipe* p = &f->Pipe;
  if (!p->Threaded) {
    ReadOne(f, &p->Local);
    return &p->Local;
  }
  if (p->MyTaken == p->SeenWritten) {
    std::unique_lock<std::mutex> hold(p->Lock);
    p->Taken = p->MyTaken;
    if (p->ReaderWaits) p->Moved.notify_all();
    while (p->Written == p->MyTaken) {
      p->TakerWaits = true;
      p->Moved.wait(hold);
      p->TakerWaits = false;
    }
    p->SeenWritten = p->Written;
  }
  return &p->Ring[p->MyTaken & (kAcctPipeSize - 1)];
}

// Gives the window's item back to the reading.
void ItemDone(AcctPipe* p) {
  if (!p->Threaded) return;
  ++p->MyTaken;
  if (p->MyTaken % kAcctPipeBatch != 0) return;
  std::lock_guard<std::mutex> hold(p->Lock);
  p->Taken = p->MyTaken;
  if (p->ReaderWaits) p->Moved.notify_all();
}

// Starts the reading thread; without one, the window reads for itself.
void StartReading(AcctFeed* f) {
  AcctPipe* p = &f->Pipe;
  p->Written = p->Taken = p->MyWritten = p->SeenTaken = p->MyTaken = p->SeenWritten = 0;
  p->Stop = p->ReaderWaits = p->TakerWaits = false;
  p->Ring.resize(kAcctPipeSize);
  p->Threaded = PlatformStartThread(&p->Thread, ReadAll, f) != 0;
  if (!p->Threaded) std::vector<AcctPassed>().swap(p->Ring);
}

void StopReading(AcctPipe* p) {
  if (!p->Threaded) return;
  {
    std::lock_guard<std::mutex> hold(p->Lock);
    p->Stop = true;
    p->Moved.notify_all();
  }
  PlatformJoinThread(&p->Thread);
  p->Threaded = false;
}

// ---- the window -----------------------------------------------------------

bool Later(const AcctWaiting& a, const AcctWaiting& b) {
  return a.Time != b.Time ? a.Time > b.Time : a.Seq > b.Seq;
}

// Copies the texts of a record in one piece (the slot's room is used
// again), the NAS key's NUL bytes (which no name can hold in the answers'
// texts, and which the session keys put after the NAS) as '?'. The other
// texts are taken as they are, and made names when a session takes them.
void CopyTexts(AcctSlot* q, const AcctPassed& rec) {
  size_t n = 0;
  for (int k = 0; k < 4; ++k) {
    q->Length[k] = rec.Length[k];
    n += rec.Length[k];
  }
  q->Text.assign(rec.Text, n);
  if (memchr(rec.Text, '\0', rec.Length[0]) == nullptr) return;
  std::replace(q->Text.begin(), q->Text.begin() + rec.Length[0], '\0', '?');
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

// Puts a record of the pipe into the window.
void Push(AcctFeed* f, const AcctPassed& rec) {
  AcctInputFile* in = &f->Files[static_cast<size_t>(rec.File)];
  uint32_t s = FreeSlot(f);
  AcctSlot* q = &f->Slots[s];
  q->Status = rec.Status;
  q->Time = rec.Time;
  q->HasSessionTime = rec.HasSessionTime;
  q->SessionTime = rec.SessionTime;
  q->File = rec.File;
  q->Line = rec.Line;
  CopyTexts(q, rec);
  Wait(f, AcctWaiting{rec.Time, f->Seq++, s});
  if (rec.Time > f->Newest) f->Newest = rec.Time;
  if (in->FirstSeen < 0 || rec.Time < in->FirstSeen) in->FirstSeen = rec.Time;
  if (rec.Time > in->LastSeen) in->LastSeen = rec.Time;
}

// Takes one item of the pipe into the window. Returns 1, 0 when the
// reading has ended, -1 with the failure set.
int Pull(AcctFeed* f) {
  if (f->AllIn) return 0;
  const AcctPassed* item = NextItem(f);
  int result = 1;
  switch (item->Kind) {
    case kPassRecord:
      Push(f, *item);
      break;
    case kPassFileEnd:
      f->Files[static_cast<size_t>(item->File)].Done = true;
      f->Files[static_cast<size_t>(item->File)].Counts = item->Counts;
      break;
    case kPassFailed:
      Fail(f->Failure, f->ReadMessage);
      result = -1;
      break;
    case kPassEnd:
      f->AllIn = true;
      result = 0;
      break;
  }
  ItemDone(&f->Pipe);
  return result;
}

bool Ready(const AcctFeed* f) {
  return Front(f).Time + kAcctWindow <= f->Newest || Waiting(f) >= kAcctPendingMax;
}

}  // namespace

int AcctFeedPlan(AcctFeed* f, const std::vector<const char*>& paths, AcctKind kind,
                 std::vector<AcctFileFacts>* facts, ModelFailure* failure) {
  f->Failure = failure;
  f->Unopened = 0;
  f->Broken = f->AllIn = false;
  f->ReadMessage[0] = '\0';
  f->Seq = 0;
  f->Newest = -1;
  f->RingHead = f->RingCount = 0;
  f->Pipe.Threaded = false;
  f->Pipe.Thread.State = nullptr;
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
  for (AcctInputFile& in : f->Files) {
    in.Done = in.ReadOut;
    in.Counts = in.ReadCounts;
  }
  StartReading(f);
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
  StopReading(&f->Pipe);
  for (AcctInputFile& in : f->Files) {
    if (!in.Done) in.Counts = in.Reader != nullptr ? in.Reader->Counts : in.ReadCounts;
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
