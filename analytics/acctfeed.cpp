// The accounting files read side by side: the plan finds each file's kind
// and first record; the reading takes the record that comes first among
// the open files (opening a file when its first record's time comes) and
// passes it through the pipe, on a thread of its own; the window holds each
// request until none earlier can come. Every reader is closed, and its
// memory freed, on every path.
#include <algorithm>
#include <cstddef>
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

// Writes an item of kind without texts at `at`. Returns its kind.
AcctPassKind PassEvent(AcctPassKind kind, int file, char* at) {
  AcctPassed out = {};
  out.Kind = kind;
  out.File = file;
  out.Size = static_cast<uint32_t>(AcctItemBytes(0));
  memcpy(at, &out, sizeof out);
  return kind;
}

// Writes the current record of file i at `at`, its texts after it.
void PassRecord(const AcctFeed* f, int i, char* at) {
  const AcctRecord& rec = f->Files[static_cast<size_t>(i)].Record;
  AcctPassed out = {};
  out.Kind = kPassRecord;
  out.File = i;
  out.Status = rec.Status;
  out.Time = rec.Time;
  out.HasSessionTime = rec.HasSessionTime;
  out.SessionTime = rec.SessionTime;
  out.Line = rec.Line;
  const char* texts[4] = {rec.Nas, rec.Port, rec.User, rec.SessionId};
  size_t lengths[4] = {rec.NasLength, rec.PortLength, rec.UserLength, rec.SessionIdLength};
  char* text = at + sizeof out;
  for (int k = 0; k < 4; ++k) {
    out.Length[k] = static_cast<uint16_t>(lengths[k]);
    memcpy(text, texts[k], lengths[k]);
    text += lengths[k];
  }
  out.Size = static_cast<uint32_t>(AcctItemBytes(static_cast<size_t>(text - (at + sizeof out))));
  memcpy(at, &out, sizeof out);
}

// Writes the next item of the merge at `at` (room for kAcctPassedMax
// bytes): the end of a file that ran out, the record that comes first (its
// file's next one read ahead), a failure, or the end of all. Returns its
// kind.
AcctPassKind ReadOne(AcctFeed* f, char* at) {
  for (;;) {
    if (f->Broken) return PassEvent(kPassFailed, -1, at);
    if (!f->Ended.empty()) {
      int file = f->Ended.front();
      f->Ended.erase(f->Ended.begin());
      return PassEvent(kPassFileEnd, file, at);
    }
    int best = FirstOpen(f);
    bool next = f->Unopened < f->Files.size() && !f->Files[f->Unopened].ReadOut;
    if (next && (best < 0 || f->Files[f->Unopened].FirstTime <
                                 f->Files[static_cast<size_t>(best)].Record.Time)) {
      f->Broken = !OpenNext(f);
      continue;
    }
    if (best < 0) return PassEvent(kPassEnd, -1, at);
    PassRecord(f, best, at);
    int got = Advance(&f->Files[static_cast<size_t>(best)], f->ReadMessage, sizeof f->ReadMessage);
    f->Broken = got < 0;
    if (got <= 0) f->Open.erase(std::find(f->Open.begin(), f->Open.end(), best));
    if (got == 0) f->Ended.push_back(best);
    return kPassRecord;
  }
}

// ---- the pipe -------------------------------------------------------------

// Whether the reading, at written bytes, has room for an item of any size.
bool HasRoom(uint64_t written, uint64_t taken) {
  return written + kAcctPassedMax - taken <= kAcctPipeBytes;
}

// Where the reading writes its next item, once there is room; null when
// the window wants no more.
char* RoomFor(AcctPipe* p) {
  if (!HasRoom(p->MyWritten, p->SeenTaken)) {
    std::unique_lock<std::mutex> hold(p->Lock);
    p->Written = p->MyWritten;
    if (p->TakerWaits) p->Moved.notify_all();
    while (!HasRoom(p->MyWritten, p->Taken) && !p->Stop) {
      p->ReaderWaits = true;
      p->Moved.wait(hold);
      p->ReaderWaits = false;
    }
    p->SeenTaken = p->Taken;
    if (p->Stop) return nullptr;
  }
  return &p->Ring[p->MyWritten & (kAcctPipeBytes - 1)];
}

// Publishes what the reading wrote, an item of size bytes: at once for the
// last item, else every kAcctPipeBatch bytes, waking the window when it
// waits and enough is there. Returns false when the window wants no more.
bool Publish(AcctPipe* p, uint32_t size, bool last) {
  uint64_t before = p->MyWritten;
  p->MyWritten += size;
  if (!last && before / kAcctPipeBatch == p->MyWritten / kAcctPipeBatch) return true;
  std::lock_guard<std::mutex> hold(p->Lock);
  p->Written = p->MyWritten;
  p->SeenTaken = p->Taken;
  if (p->TakerWaits && (last || p->Written - p->Taken >= kAcctPipeWake)) p->Moved.notify_all();
  return !p->Stop;
}

// The reading thread: every item of the merge into the pipe, up to the
// end, a failure, or the window's stop.
void ReadAll(void* feed) {
  AcctFeed* f = static_cast<AcctFeed*>(feed);
  for (;;) {
    char* at = RoomFor(&f->Pipe);
    if (at == nullptr) return;
    AcctPassKind kind = ReadOne(f, at);
    bool last = kind == kPassEnd || kind == kPassFailed;
    uint32_t size = 0;
    memcpy(&size, at + offsetof(AcctPassed, Size), sizeof size);
    if (!Publish(&f->Pipe, size, last) || last) return;
  }
}

// The window's next item, waiting for the reading when it has none yet.
const char* NextItem(AcctFeed* f) {
  AcctPipe* p = &f->Pipe;
  if (!p->Threaded) {
    ReadOne(f, p->Ring.data());
    return p->Ring.data();
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
  return &p->Ring[p->MyTaken & (kAcctPipeBytes - 1)];
}

// Gives the window's item, of size bytes, back to the reading, waking it
// when it waits and room enough is there.
void ItemDone(AcctPipe* p, uint32_t size) {
  if (!p->Threaded) return;
  uint64_t before = p->MyTaken;
  p->MyTaken += size;
  if (before / kAcctPipeBatch == p->MyTaken / kAcctPipeBatch) return;
  std::lock_guard<std::mutex> hold(p->Lock);
  p->Taken = p->MyTaken;
  if (p->ReaderWaits && p->Written - p->Taken + kAcctPipeWake <= kAcctPipeBytes) {
    p->Moved.notify_all();
  }
}

// Starts the reading thread; without one, the window reads for itself.
void StartReading(AcctFeed* f) {
  AcctPipe* p = &f->Pipe;
  p->Written = p->Taken = p->MyWritten = p->SeenTaken = p->MyTaken = p->SeenWritten = 0;
  p->Stop = p->ReaderWaits = p->TakerWaits = false;
  p->Ring.resize(kAcctPipeBytes + kAcctPassedMax);
  p->Threaded = PlatformStartThread(&p->Thread, ReadAll, f) != 0;
  if (!p->Threaded) std::vector<char>(kAcctPassedMax).swap(p->Ring);
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
void CopyTexts(AcctSlot* q, const AcctPassed& rec, const char* texts) {
  size_t n = 0;
  for (int k = 0; k < 4; ++k) {
    q->Length[k] = rec.Length[k];
    n += rec.Length[k];
  }
  q->Text.assign(texts, texts + n);
  if (memchr(texts, '\0', rec.Length[0]) == nullptr) return;
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

// Puts a record of the pipe, its texts at `texts`, into the window.
void Push(AcctFeed* f, const AcctPassed& rec, const char* texts) {
  AcctInputFile* in = &f->Files[static_cast<size_t>(rec.File)];
  uint32_t s = FreeSlot(f);
  AcctSlot* q = &f->Slots[s];
  q->Status = rec.Status;
  q->Time = rec.Time;
  q->HasSessionTime = rec.HasSessionTime;
  q->SessionTime = rec.SessionTime;
  q->File = rec.File;
  q->Line = rec.Line;
  CopyTexts(q, rec, texts);
  Wait(f, AcctWaiting{rec.Time, f->Seq++, s});
  if (rec.Time > f->Newest) f->Newest = rec.Time;
  if (in->FirstSeen < 0 || rec.Time < in->FirstSeen) in->FirstSeen = rec.Time;
  if (rec.Time > in->LastSeen) in->LastSeen = rec.Time;
}

// Takes one item of the pipe into the window. Returns 1, 0 when the
// reading has ended, -1 with the failure set.
int Pull(AcctFeed* f) {
  if (f->AllIn) return 0;
  const char* at = NextItem(f);
  AcctPassed item;
  memcpy(&item, at, sizeof item);
  int result = 1;
  switch (item.Kind) {
    case kPassRecord:
      Push(f, item, at + sizeof item);
      break;
    case kPassFileEnd:
      f->Files[static_cast<size_t>(item.File)].Done = true;
      f->Files[static_cast<size_t>(item.File)].Counts =
          f->Files[static_cast<size_t>(item.File)].ReadCounts;
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
  ItemDone(&f->Pipe, item.Size);
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
