// The session rules over merged histories: one reader per history holds its
// current record, the earliest of them (or the accounting logs' next
// request, analytics/acctmodel.h) is handled next, and the open sessions
// are kept by (computer, port), each owned by the history whose record
// opened it. Every file and buffer is released on every path.
#include "analytics/model.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <unordered_map>

#include "analytics/acctmodel.h"

namespace {

// Where a session open at a gap stands while the next file is read ahead.
enum GapMark {
  kNotAtGap,   // no gap is being crossed
  kUndecided,  // open at the gap, its port not met yet
  kContinues,  // its disconnect after the gap proves it went on
  kEndsAtGap,  // anything else: it ends at the gap's start
};

// The state of one (computer, port). The key is the computer name, a NUL
// and the port name.
struct PortState {
  bool Open;              // a session is open on the port
  int Owner;              // the history whose record opened it
  std::string User;       // its user
  EventTime Start;        // its start
  uint64_t StartRecord;   // its connect record
  bool HasLastEnd;        // a session on this port has ended
  EventTime LastEnd;      // when the latest one ended (at a gap: the gap's end)
  size_t ComputerLength;  // bytes of the computer name at the key's start
  GapMark Gap;            // at a gap being crossed
};

typedef std::map<std::string, PortState> PortMap;

// One history being read, one file at a time.
struct HistoryReader {
  const History* Plan;  // its files, ordered and joined
  int Index;            // its place among the histories
  size_t File;          // the file being read
  SourceFile Source;    // that file, open while it is read
  uint64_t Next;        // position of the record to read next
  uint64_t End;         // one past the file's newest position
  bool Have;            // Event holds an unhandled record
  SourceEvent Event;    // the current record
  uint64_t Number;      // its position
  EventTime Time;       // its time, never earlier than the record before
  int Span;             // the covered span being read
  HistoryFacts* Facts;  // where the facts go, or null
};

// A run over all histories.
struct Model {
  std::vector<History> Plan;           // the histories
  std::vector<HistoryReader> Readers;  // one per history
  PortMap Ports;                       // (computer, port) -> state
  // The same entries found by hashing: every connect and disconnect looks
  // its port up, and the ordered map (kept for its order, in which a reset
  // closes the sessions) compares a key at each of its levels.
  std::unordered_map<std::string, PortMap::value_type*> ByKey;
  const ModelListener* Out;  // who hears what happens
  EventTime Since;           // facts count records from here
  EventTime Until;           // up to here
  std::string Key;           // scratch key for lookups
  int Spans;                 // covered spans told so far
  ModelFailure* Failure;     // where a failure goes
  EventTime Clock;           // the latest time of a record handled
  AcctModel* Acct;           // the accounting logs, or null when none is given
};

// ---- Reading -----------------------------------------------------------------

const HistoryFile& CurrentFile(const HistoryReader* r) {
  return r->Plan->Files[r->File];
}

// Reads record r->Next as the current record.
int ReadNext(Model* m, HistoryReader* r) {
  if (!r->Source.Ops->Read(&r->Source, r->Next, &r->Event, m->Failure)) return 0;
  if (r->Facts != nullptr) r->Facts->Files[r->File].LastTime = r->Event.Time;
  r->Time = r->Event.Time > r->Time ? r->Event.Time : r->Time;
  r->Number = r->Event.Position;
  r->Have = true;
  ++r->Next;
  return 1;
}

// Opens file i of r's history, positioned at the first record it adds.
int OpenFile(Model* m, HistoryReader* r, size_t i) {
  SourceClose(&r->Source);
  r->File = i;
  const HistoryFile& f = CurrentFile(r);
  if (!SourceOpen(&r->Source, &kEvtSource, f.Path, m->Failure)) return 0;
  r->Next = f.From;
  r->End = f.Summary.Oldest + f.Summary.Count;
  return 1;
}

// ---- Sessions ----------------------------------------------------------------

// Puts the key of (computer, port) in m->Key. Returns the computer's bytes.
size_t KeyOf(Model* m, const char* computer, const char* port) {
  m->Key.assign(computer);
  size_t computerLength = m->Key.size();
  m->Key.push_back('\0');
  m->Key.append(port);
  return computerLength;
}

// The state of (computer, port), made on first sight.
PortMap::value_type* Lookup(Model* m, const char* computer, const char* port) {
  size_t computerLength = KeyOf(m, computer, port);
  auto known = m->ByKey.find(m->Key);
  if (known != m->ByKey.end()) return known->second;
  PortState fresh = {false, 0, std::string(), 0, 0, false, 0, computerLength, kNotAtGap};
  PortMap::value_type* e = &*m->Ports.emplace(m->Key, fresh).first;
  m->ByKey.emplace(m->Key, e);  // map entries stay where they are
  return e;
}

// A session on entry e, from what the entry holds.
Session SessionOf(int history, const PortMap::value_type* e) {
  Session s = {};
  s.Log = history;
  s.Computer = e->first.c_str();
  s.Port = e->first.c_str() + e->second.ComputerLength + 1;
  s.User = e->second.User.c_str();
  s.Start = e->second.Start;
  s.StartRecord = e->second.StartRecord;
  return s;
}

// How a session ends, at the current record of its history.
struct Ending {
  SessionEnd How;     // disconnect, replaced, reset or open
  bool ByRecord;      // the current record ended it (not the end of the history)
  bool HasConnected;  // a disconnect reported Connected
  int64_t Connected;  // seconds it reported
};

// Ends the session of entry e at r's current time and tells the listener:
// a rebuilt session's time first, then the session.
void Close(Model* m, const HistoryReader* r, PortMap::value_type* e, SessionStart started,
           const Ending& end) {
  Session s = SessionOf(r->Index, e);
  s.Started = started;
  s.HasStartRecord = started == kStartConnect;
  s.End = r->Time;
  s.Ended = end.How;
  s.HasEndRecord = end.ByRecord;
  s.EndRecord = r->Number;
  s.HasConnected = end.HasConnected;
  s.Connected = end.Connected;
  e->second.Open = false;
  e->second.HasLastEnd = true;
  e->second.LastEnd = r->Time;
  if (started == kStartRebuilt && s.Start < s.End && m->Out->Past != nullptr) {
    m->Out->Past(m->Out->Context, s.Start, s.End, &s);
  }
  if (m->Out->Ended != nullptr) m->Out->Ended(m->Out->Context, &s);
}

void Step(Model* m, EventTime t, int delta) {
  if (delta != 0 && m->Out->Step != nullptr) m->Out->Step(m->Out->Context, t, delta);
}

void OnConnect(Model* m, const HistoryReader* r, PortMap::value_type* e, const char* user) {
  if (e->second.Open) {
    Close(m, r, e, kStartConnect, Ending{kEndReplaced, true, false, 0});
  } else {
    Step(m, r->Time, 1);
  }
  e->second.Open = true;
  e->second.Owner = r->Index;
  e->second.User.assign(user);
  e->second.Start = r->Time;
  e->second.StartRecord = r->Number;
  if (m->Out->Connect != nullptr) m->Out->Connect(m->Out->Context, r->Time);
}

// A disconnect closes the open session on its port. Without one, the
// session is rebuilt back from its end by the connected time, but not
// before the port's previous session ended (nor before 1970, nor after its
// own end: another server's gap may hold the port's last end ahead).
void OnDisconnect(Model* m, const HistoryReader* r, PortMap::value_type* e, const char* user,
                  int64_t connected) {
  Ending end = {kEndDisconnect, true, true, connected};
  if (e->second.Open) {
    Close(m, r, e, kStartConnect, end);
    Step(m, r->Time, -1);
    return;
  }
  EventTime start = r->Time - (connected > 0 ? connected : 0);
  if (e->second.HasLastEnd && start < e->second.LastEnd) start = e->second.LastEnd;
  if (start > r->Time) start = r->Time;
  e->second.User.assign(user);
  e->second.Start = start < 0 ? 0 : start;
  Close(m, r, e, kStartRebuilt, end);
}

// Ends every open session of r's history: at a reset record, or at its end.
void CloseAll(Model* m, const HistoryReader* r, SessionEnd how) {
  int closed = 0;
  for (PortMap::value_type& e : m->Ports) {
    if (!e.second.Open || e.second.Owner != r->Index) continue;
    Close(m, r, &e, kStartConnect, Ending{how, how == kEndReset, false, 0});
    ++closed;
  }
  Step(m, r->Time, -closed);
}

// ---- Facts -------------------------------------------------------------------

bool InRange(const Model* m, EventTime t) {
  return t >= m->Since && t < m->Until;
}

// Counts the current record into the file's facts and the history's.
void CountFacts(Model* m, HistoryReader* r) {
  if (r->Facts == nullptr || !InRange(m, r->Time)) return;
  const SourceEvent& ev = r->Event;
  LogFacts* f = &r->Facts->Files[r->File];
  HistoryFacts* h = r->Facts;
  if (ev.Kind == RAS_RESET) {
    ++f->Resets;
    ++h->Resets;
    return;
  }
  uint64_t* count = ev.Kind == RAS_CONNECT ? &f->Connects : &f->Disconnects;
  ++*count;
  ++*(ev.Kind == RAS_CONNECT ? &h->Connects : &h->Disconnects);
  f->Ports.insert(ev.Port);
  f->Users.insert(ev.User);
  h->Ports.insert(ev.Port);
  h->Users.insert(ev.User);
}

// The facts the plan knows of each file of history h.
void PlanFacts(const History& h, HistoryFacts* out) {
  out->Computer = h.Server;
  out->Empty = h.Empty;
  out->Records = 0;
  for (const HistoryFile& f : h.Files) {
    LogFacts l = {};
    l.Path = f.Path;
    l.Oldest = f.Summary.Oldest;
    l.Count = f.Summary.Count;
    l.FirstTime = f.Summary.FirstTime;
    l.LastTime = f.Summary.LastTime;
    l.Header = f.Summary.Header;
    l.Join = f.Join;
    l.Shared = f.Shared;
    l.SameAs = f.SameAs >= 0 ? h.Files[static_cast<size_t>(f.SameAs)].Path : nullptr;
    l.Added = HistoryAdds(f);
    out->Records += l.Added;
    out->Files.push_back(l);
  }
}

// Applies the current record of r to its sessions.
void HandleRecord(Model* m, HistoryReader* r) {
  const SourceEvent& ev = r->Event;
  if (ev.Kind == RAS_OTHER) return;
  CountFacts(m, r);
  if (ev.Kind == RAS_RESET) {
    CloseAll(m, r, kEndReset);
    return;
  }
  PortMap::value_type* e = Lookup(m, ev.Server, ev.Port);
  if (ev.Kind == RAS_CONNECT) {
    OnConnect(m, r, e, ev.User);
  } else {
    OnDisconnect(m, r, e, ev.User, ev.Seconds);
  }
}

// ---- Gaps --------------------------------------------------------------------

// Marks the sessions of r's history open at the gap. Returns how many.
int MarkOpen(Model* m, const HistoryReader* r) {
  int open = 0;
  for (PortMap::value_type& e : m->Ports) {
    if (!e.second.Open || e.second.Owner != r->Index) continue;
    e.second.Gap = kUndecided;
    ++open;
  }
  return open;
}

// Reads the file after the gap (open in r, its records not yet handled)
// until each of the `open` sessions has met its port's first record, a
// reset comes, or the file ends; the clock runs as it will when the
// records are handled.
int ReadAhead(Model* m, HistoryReader* r, int open) {
  EventTime gapStart = r->Time, t = r->Time;
  for (uint64_t n = r->Next; n < r->End && open > 0; ++n) {
    SourceEvent ev;
    if (!r->Source.Ops->Read(&r->Source, n, &ev, m->Failure)) return 0;
    t = ev.Time > t ? ev.Time : t;
    if (ev.Kind == RAS_RESET) break;
    if (ev.Kind != RAS_CONNECT && ev.Kind != RAS_DISCONNECT) continue;
    KeyOf(m, ev.Server, ev.Port);
    auto known = m->ByKey.find(m->Key);
    if (known == m->ByKey.end() || known->second->second.Gap != kUndecided) continue;
    PortState* p = &known->second->second;
    int64_t connected = ev.Seconds > 0 ? ev.Seconds : 0;
    bool spans = ev.Kind == RAS_DISCONNECT && p->User == ev.User && t - connected <= gapStart;
    p->Gap = spans ? kContinues : kEndsAtGap;
    --open;
  }
  return 1;
}

// Ends at the gap's start what does not go on across it, holding the
// port's last end at the gap's end, and clears the marks.
void EndAtGap(Model* m, const HistoryReader* r, EventTime gapEnd) {
  int closed = 0;
  for (PortMap::value_type& e : m->Ports) {
    GapMark mark = e.second.Gap;
    e.second.Gap = kNotAtGap;
    if (mark == kNotAtGap || mark == kContinues) continue;
    Close(m, r, &e, kStartConnect, Ending{kEndOpen, false, false, 0});
    e.second.LastEnd = gapEnd;
    ++closed;
  }
  Step(m, r->Time, -closed);
}

// Crosses the gap before file i: opens it, decides the open sessions, and
// ends the covered span at the last record before the gap and begins the
// next at the first after it.
int CrossGap(Model* m, HistoryReader* r, size_t i) {
  int open = MarkOpen(m, r);
  if (!OpenFile(m, r, i) || !ReadAhead(m, r, open)) return 0;
  EventTime first = CurrentFile(r).Summary.FirstTime;
  EventTime gapEnd = first > r->Time ? first : r->Time;
  EndAtGap(m, r, gapEnd);
  if (r->Facts != nullptr) r->Facts->Files[i].GapSeconds = gapEnd - r->Time;
  if (m->Out->Done != nullptr) m->Out->Done(m->Out->Context, r->Span, r->Time);
  r->Span = m->Spans++;
  if (m->Out->Covers != nullptr) m->Out->Covers(m->Out->Context, r->Span, gapEnd, false);
  return 1;
}

// ---- The sweep ---------------------------------------------------------------

// Moves r on to its next record: in its file, else in the next file that
// adds records; at the end of its history, closes what is still open at
// its newest record and ends its coverage.
int Advance(Model* m, HistoryReader* r) {
  r->Have = false;
  if (r->Next < r->End) return ReadNext(m, r);
  const std::vector<HistoryFile>& files = r->Plan->Files;
  size_t i = r->File + 1;
  while (i < files.size() && HistoryAdds(files[i]) == 0) ++i;
  if (i == files.size()) {
    SourceClose(&r->Source);
    CloseAll(m, r, kEndOpen);
    if (m->Out->Done != nullptr) m->Out->Done(m->Out->Context, r->Span, r->Time);
    return 1;
  }
  int ok = files[i].Join == kJoinGap ? CrossGap(m, r, i) : OpenFile(m, r, i);
  return ok && ReadNext(m, r);
}

// The history whose current record comes first (the first on a tie), or
// -1 when every history is done.
int Earliest(const Model* m) {
  int best = -1;
  for (size_t i = 0; i < m->Readers.size(); ++i) {
    const HistoryReader& r = m->Readers[i];
    if (r.Have && (best < 0 || r.Time < m->Readers[static_cast<size_t>(best)].Time)) {
      best = static_cast<int>(i);
    }
  }
  return best;
}

// Opens the first file of each history that has records and reads its
// first record.
int Start(Model* m, std::vector<HistoryFacts>* facts) {
  m->Readers.resize(m->Plan.size());
  for (size_t i = 0; i < m->Plan.size(); ++i) {
    HistoryReader* r = &m->Readers[i];
    r->Plan = &m->Plan[i];
    r->Index = static_cast<int>(i);
    r->Source = SourceFile{nullptr, nullptr, nullptr, SourceSummary()};
    r->Next = r->End = 0;
    r->Have = false;
    r->Number = 0;
    r->Time = 0;
    r->Span = r->Index;
    r->Facts = facts != nullptr ? &(*facts)[i] : nullptr;
  }
  m->Spans = static_cast<int>(m->Plan.size());
  for (HistoryReader& r : m->Readers) {
    if (!r.Plan->Empty && (!OpenFile(m, &r, 0) || !ReadNext(m, &r))) return 0;
  }
  return 1;
}

// Handles the accounting logs' next request: at its time, or, when it
// came after later records were handled, at its own time all the same.
void HandleRequest(Model* m, uint32_t slot) {
  AcctModel* a = m->Acct;
  const AcctSlot& q = a->Feed.Slots[slot];
  if (q.Time > m->Clock) m->Clock = q.Time;
  a->Rules.Clock = m->Clock;
  AcctRulesApply(&a->Rules, &a->Feed, q);
  AcctFeedTake(&a->Feed);
}

int Sweep(Model* m) {
  for (const HistoryReader& r : m->Readers) {
    if (m->Out->Covers != nullptr) m->Out->Covers(m->Out->Context, r.Span, r.Time, !r.Have);
  }
  for (;;) {
    int i = Earliest(m);
    uint32_t slot = 0;
    int request = m->Acct != nullptr ? AcctFeedPeek(&m->Acct->Feed, &slot) : 0;
    if (request < 0) return 0;
    if (request > 0 &&
        (i < 0 || m->Acct->Feed.Slots[slot].Time < m->Readers[static_cast<size_t>(i)].Time)) {
      HandleRequest(m, slot);
      continue;
    }
    if (i < 0) break;
    HistoryReader* r = &m->Readers[static_cast<size_t>(i)];
    if (r->Time > m->Clock) m->Clock = r->Time;
    HandleRecord(m, r);
    if (!Advance(m, r)) return 0;
  }
  if (m->Acct != nullptr) AcctRulesFinish(&m->Acct->Rules, &m->Acct->Feed);
  return 1;
}

// Tells the listener of each file that repeats another exactly.
void WarnRepeats(const Model* m) {
  if (m->Out->Warning == nullptr) return;
  for (const History& h : m->Plan) {
    for (const HistoryFile& f : h.Files) {
      if (f.SameAs < 0) continue;
      char text[8400];
      snprintf(text, sizeof text, "%s holds the same records as %s: they count once", f.Path,
               h.Files[static_cast<size_t>(f.SameAs)].Path);
      m->Out->Warning(m->Out->WarningContext, text);
    }
  }
}

// Plans the accounting logs among the files (none: m->Acct stays null).
int PlanAccounting(Model* m, const std::vector<const char*>& paths, AcctKind kind,
                   ModelFacts* facts) {
  if (paths.empty()) return 1;
  m->Acct = new (std::nothrow) AcctModel();
  if (m->Acct == nullptr) {
    snprintf(m->Failure->Text, sizeof m->Failure->Text, "%s: out of memory", paths[0]);
    return 0;
  }
  if (!AcctFeedPlan(&m->Acct->Feed, paths, kind, facts != nullptr ? &facts->AcctFiles : nullptr,
                    m->Failure)) {
    return 0;
  }
  AcctRulesInit(&m->Acct->Rules, m->Out, &m->Spans, static_cast<int>(m->Plan.size()),
                facts != nullptr, m->Since, m->Until);
  return 1;
}

// Releases the accounting logs, their facts after those of the histories.
void EndAccounting(Model* m, ModelFacts* facts) {
  if (m->Acct == nullptr) return;
  AcctFeedClose(&m->Acct->Feed);
  if (facts != nullptr) AcctRulesFacts(&m->Acct->Rules, &facts->Histories);
  delete m->Acct;
  m->Acct = nullptr;
}

}  // namespace

int ModelRead(const ModelInput* in, const ModelListener* listener, ModelFacts* facts,
              EventTime since, EventTime until, ModelFailure* failure) {
  Model m;
  m.Out = listener;
  m.Since = since;
  m.Until = until;
  m.Spans = 0;
  m.Failure = failure;
  m.Clock = 0;
  m.Acct = nullptr;
  std::vector<const char*> logs, accounting;
  for (int i = 0; i < in->Count; ++i) {
    bool evt = AcctIsEventLog(in->Paths[i], in->Kind);
    (evt ? logs : accounting).push_back(in->Paths[i]);
  }
  if (!HistoryPlan(logs.data(), static_cast<int>(logs.size()), &kEvtSource, &m.Plan, failure))
    return 0;
  if (facts != nullptr) {
    facts->Histories.assign(m.Plan.size(), HistoryFacts());
    for (size_t i = 0; i < m.Plan.size(); ++i) PlanFacts(m.Plan[i], &facts->Histories[i]);
  }
  int ok = PlanAccounting(&m, accounting, in->Kind, facts);
  if (ok) {
    WarnRepeats(&m);
    ok = Start(&m, facts != nullptr ? &facts->Histories : nullptr) && Sweep(&m);
  }
  for (HistoryReader& r : m.Readers) SourceClose(&r.Source);
  EndAccounting(&m, facts);
  return ok;
}

int ModelReadLogs(const char* const* paths, int count, const ModelListener* listener,
                  std::vector<HistoryFacts>* facts, EventTime since, EventTime until,
                  ModelFailure* failure) {
  ModelInput in = {paths, count, kAcctAuto};
  ModelFacts all;
  int ok = ModelRead(&in, listener, facts != nullptr ? &all : nullptr, since, until, failure);
  if (facts != nullptr) *facts = std::move(all.Histories);
  return ok;
}

int ModelIsEventLog(const char* path, AcctKind kind) {
  return AcctIsEventLog(path, kind) ? 1 : 0;
}

int ModelLogComputer(const char* path, std::string* computer, ModelFailure* failure) {
  SourceFile f;
  if (!SourceOpen(&f, &kEvtSource, path, failure)) return 0;
  computer->assign(f.Summary.Server);
  SourceClose(&f);
  return 1;
}
