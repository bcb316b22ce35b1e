// The session rules of the accounting logs (model.h gives them), applied to
// one request at a time in event time: the entry of its (NAS, session id)
// found once, a copy of a request handled before passed over, then Start,
// Stop, Interim-Update, Accounting-On and -Off each by its rule. A change
// of lines at the request's time is a step; one at an earlier time (a
// rebuilt start, a request that came late) goes back through the
// listener's Back.
#include <algorithm>
#include <cstdio>

#include "analytics/acctmodel.h"

namespace {

// How a session ends.
struct Ending {
  SessionEnd How;     // disconnect, replaced, reset or open
  bool ByRecord;      // a record ended it (its line in Line)
  uint64_t Line;      // that record's line
  bool HasConnected;  // a Stop gave the session's seconds
  int64_t Connected;  // those seconds
};

bool IsSession(AcctStatus s) {
  return s == kAcctStart || s == kAcctStop || s == kAcctInterim;
}

// ---- entries ----------------------------------------------------------------

// Takes text as a name of a session: a NUL byte, which no name can hold
// in the answers' texts, as '?'.
void SetName(std::string* name, std::string_view text) {
  *name = text;
  if (name->find('\0') != std::string::npos) std::replace(name->begin(), name->end(), '\0', '?');
}

AcctNas* NasAt(AcctRules* r, uint32_t index) {
  return &r->Nas[index];
}

// The index of the NAS named `name` from the table of all, made on first
// sight.
uint32_t NasLookup(AcctRules* r, std::string_view text) {
  std::string name(text);
  auto known = r->NasKeys.find(name);
  if (known != r->NasKeys.end()) return known->second;
  uint32_t index = static_cast<uint32_t>(r->Nas.size());
  r->NasKeys.emplace(name, index);
  r->Nas.emplace_back();
  AcctNas* n = &r->Nas.back();
  n->Name = name;
  n->History = r->HistoryBase + static_cast<int>(index);
  n->Span = -1;
  n->First = n->Last = 0;
  n->HadGap = false;
  n->OpenList = n->OpenTail = nullptr;
  n->HasReset = false;
  n->Facts.Computer = name;
  n->Facts.Empty = false;
  n->Facts.Accounting = true;
  return index;
}

// The index of the NAS named `name`: one of the few met last, as a file
// mostly holds a few NAS, else from the table.
uint32_t NasIndex(AcctRules* r, std::string_view name) {
  for (int i = 0; i < r->RecentCount; ++i) {
    if (r->Nas[r->RecentNas[i]].Name == name) return r->RecentNas[i];
  }
  uint32_t index = NasLookup(r, name);
  int last = r->RecentCount < 4 ? r->RecentCount++ : 3;
  for (int i = last; i > 0; --i) r->RecentNas[i] = r->RecentNas[i - 1];
  r->RecentNas[0] = index;
  return index;
}

// The line (NAS, port), made on first sight; null for no port.
AcctLine* LineOf(AcctRules* r, uint32_t nas, const std::string& port) {
  if (port.empty()) return nullptr;
  r->LineKey.assign(reinterpret_cast<const char*>(&nas), sizeof nas);
  r->LineKey += port;
  auto known = r->Lines.find(r->LineKey);
  if (known != r->Lines.end()) return &known->second;
  return &r->Lines.emplace(r->LineKey, AcctLine{nullptr, false, 0}).first->second;
}

// ---- the session table ---------------------------------------------------------

// The hash of (NAS, Acct-Session-Id): FNV-1a over the id from the NAS's
// index, its high bits folded into the low ones the table's mask keeps.
uint64_t KeyHash(uint32_t nas, std::string_view id) {
  uint64_t h = 14695981039346656037ull ^ nas;
  for (unsigned char c : id) h = (h ^ c) * 1099511628211ull;
  return h ^ (h >> 29);
}

// The entry of (nas, id), or null.
AcctSession* FindEntry(const AcctSessionTable* t, uint32_t nas, std::string_view id, uint64_t h) {
  if (t->Slots.empty()) return nullptr;
  size_t mask = t->Slots.size() - 1;
  for (size_t i = h & mask;; i = (i + 1) & mask) {
    const AcctSessionSlot& slot = t->Slots[i];
    if (slot.Entry == nullptr) return nullptr;
    if (slot.Hash == h && slot.Entry->Nas == nas && slot.Entry->Id == id) return slot.Entry;
  }
}

// Puts an entry in the first empty place from its hash on.
void PlaceEntry(std::vector<AcctSessionSlot>* slots, const AcctSessionSlot& s) {
  size_t mask = slots->size() - 1;
  size_t i = s.Hash & mask;
  while ((*slots)[i].Entry != nullptr) i = (i + 1) & mask;
  (*slots)[i] = s;
}

// Makes room for one more entry, keeping the table at most half full.
void RoomForEntry(AcctSessionTable* t) {
  if ((t->Count + 1) * 2 <= t->Slots.size()) return;
  std::vector<AcctSessionSlot> grown(std::max<size_t>(64, 2 * t->Slots.size()),
                                     AcctSessionSlot{0, nullptr});
  for (const AcctSessionSlot& s : t->Slots) {
    if (s.Entry != nullptr) PlaceEntry(&grown, s);
  }
  t->Slots.swap(grown);
}

// A new entry of (nas, id) in the table, from the pool, with nothing known.
AcctSession* AddEntry(AcctSessionTable* t, uint32_t nas, std::string_view id, uint64_t h) {
  RoomForEntry(t);
  AcctSession* e;
  if (!t->Free.empty()) {
    e = t->Free.back();
    t->Free.pop_back();
  } else {
    t->Pool.emplace_back();
    e = &t->Pool.back();
  }
  std::string port = std::move(e->Port), user = std::move(e->User), key = std::move(e->Id);
  *e = AcctSession();
  e->Port = std::move(port);  // their room is used again
  e->User = std::move(user);
  e->Id = std::move(key);
  e->Nas = nas;
  e->Id = id;
  e->Hash = h;
  e->StartFrom = e->StopFrom = e->InterimFrom = -1;
  PlaceEntry(&t->Slots, AcctSessionSlot{h, e});
  ++t->Count;
  return e;
}

// Takes e out of the table, moving back the entries after it that its
// place kept from their own, and gives it back to the pool.
void RemoveEntry(AcctSessionTable* t, AcctSession* e) {
  size_t mask = t->Slots.size() - 1;
  size_t i = e->Hash & mask;
  while (t->Slots[i].Entry != e) i = (i + 1) & mask;
  for (size_t j = (i + 1) & mask; t->Slots[j].Entry != nullptr; j = (j + 1) & mask) {
    size_t home = t->Slots[j].Hash & mask;
    // j's entry may fill the hole at i when its home is not in (i, j].
    bool between = i <= j ? (home > i && home <= j) : (home > i || home <= j);
    if (between) continue;
    t->Slots[i] = t->Slots[j];
    i = j;
  }
  t->Slots[i] = AcctSessionSlot{0, nullptr};
  --t->Count;
  t->Free.push_back(e);
}

// The entry of the request's (NAS, session id), made on first sight.
AcctSession* EntryOf(AcctRules* r, const AcctSlot& q) {
  uint32_t nas = NasIndex(r, SlotNas(q));
  std::string_view id = SlotId(q);
  uint64_t h = KeyHash(nas, id);
  AcctSession* e = FindEntry(&r->Sessions, nas, id, h);
  if (e != nullptr) return e;
  e = AddEntry(&r->Sessions, nas, id, h);
  SetName(&e->Port, SlotPort(q));
  SetName(&e->User, SlotUser(q));
  e->Line = LineOf(r, nas, e->Port);
  return e;
}

// Lets entries that ended more than a window ago go: no copy of their
// requests can still come in time. An entry a late request ended waits a
// window from when that request came, not from its time.
void Forget(AcctRules* r) {
  while (!r->Endings.empty() && r->Endings.front().End + kAcctWindow < r->Clock) {
    AcctSession* e = r->Endings.front().Entry;
    r->Endings.pop_front();
    if (e->Open) {
      e->Queued = false;
    } else if (e->EndedAt + kAcctWindow >= r->Clock) {
      r->Endings.push_back(AcctEnded{e, e->EndedAt});
    } else {
      RemoveEntry(&r->Sessions, e);
    }
  }
}

// ---- telling the listener ---------------------------------------------------

Session SessionOf(AcctRules* r, const AcctSession* e) {
  const AcctNas* n = NasAt(r, e->Nas);
  Session s = {};
  s.Log = n->History;
  s.Computer = n->Name.c_str();
  s.Port = e->Port.c_str();
  s.User = e->User.c_str();
  s.Start = s.End = e->Start;
  s.Started = e->Started;
  s.HasStartRecord = e->HasStartRecord;
  s.StartRecord = e->StartLine;
  return s;
}

// Lines in use change by delta from t on: a step at the time being
// handled, else a change back in time.
void Change(AcctRules* r, EventTime t, int delta, const Session* s) {
  const ModelListener* out = r->Out;
  if (t >= r->Clock) {
    if (out->Step != nullptr) out->Step(out->Context, t, delta);
  } else if (out->Back != nullptr) {
    out->Back(out->Context, t, delta, s);
  }
}

// ---- sessions ---------------------------------------------------------------

// Puts e at the end of n's open sessions, so that a reset ends them in the
// order they began.
void Link(AcctNas* n, AcctSession* e) {
  e->NextOpen = nullptr;
  e->PrevOpen = n->OpenTail;
  if (n->OpenTail != nullptr) n->OpenTail->NextOpen = e;
  n->OpenTail = e;
  if (n->OpenList == nullptr) n->OpenList = e;
}

void Unlink(AcctNas* n, AcctSession* e) {
  if (e->PrevOpen != nullptr) e->PrevOpen->NextOpen = e->NextOpen;
  if (e->NextOpen != nullptr) e->NextOpen->PrevOpen = e->PrevOpen;
  if (n->OpenList == e) n->OpenList = e->NextOpen;
  if (n->OpenTail == e) n->OpenTail = e->PrevOpen;
  e->PrevOpen = e->NextOpen = nullptr;
}

// Ends the open session of e at `at` (never before its start).
void Close(AcctRules* r, AcctSession* e, EventTime at, const Ending& how) {
  if (at < e->Start) at = e->Start;
  Session s = SessionOf(r, e);
  s.End = at;
  s.Ended = how.How;
  s.HasEndRecord = how.ByRecord;
  s.EndRecord = how.Line;
  s.HasConnected = how.HasConnected;
  s.Connected = how.Connected;
  Unlink(NasAt(r, e->Nas), e);
  e->Open = false;
  e->Ended = true;
  e->End = at;
  e->EndedAt = std::max(at, r->Clock);
  if (e->Line != nullptr) {
    if (e->Line->Open == e) e->Line->Open = nullptr;
    if (!e->Line->HasLastEnd || e->Line->LastEnd < at) e->Line->LastEnd = at;
    e->Line->HasLastEnd = true;
  }
  if (!e->Queued) r->Endings.push_back(AcctEnded{e, e->EndedAt});
  e->Queued = true;
  Change(r, at, -1, &s);
  if (r->Out->Ended != nullptr) r->Out->Ended(r->Out->Context, &s);
}

// The session now opening takes the port and user of the request that
// opens it (an id may come again with other ones).
void TakeIdentity(AcctRules* r, AcctSession* e, const AcctSlot& q) {
  std::string_view port = SlotPort(q), user = SlotUser(q);
  if (e->Port != port) {
    SetName(&e->Port, port);
    e->Line = LineOf(r, e->Nas, e->Port);
  }
  if (e->User != user) SetName(&e->User, user);
}

// Opens a session of e at start: the line's other session, begun before,
// ends there ("replaced"), and one more line is in use from then on. One
// begun after it stays: e came late, and is not the line's latest.
void Open(AcctRules* r, AcctSession* e, EventTime start, SessionStart started, const AcctSlot& q) {
  TakeIdentity(r, e, q);
  AcctLine* line = e->Line;
  if (line != nullptr && line->Open != nullptr && line->Open != e) {
    AcctSession* other = line->Open;
    if (other->Start > start) line = nullptr;
    if (line != nullptr) Close(r, other, start, Ending{kEndReplaced, true, q.Line, false, 0});
  }
  e->Open = true;
  e->Started = started;
  e->Start = start;
  e->HasStartRecord = started == kStartConnect;
  e->StartLine = q.Line;
  e->StartFile = q.File;
  Link(NasAt(r, e->Nas), e);
  if (line != nullptr) line->Open = e;
  Session s = SessionOf(r, e);
  Change(r, start, 1, &s);
  if (r->Out->Connect != nullptr) r->Out->Connect(r->Out->Context, start);
}

// A start rebuilt back from the request by its session time, but not
// before the line's previous session ended, nor before 1970, nor after the
// request itself. A session on the line that ended after the request is no
// previous one: the request came late.
EventTime RebuiltStart(const AcctSession* e, const AcctSlot& q, const AcctLine* line) {
  EventTime start = q.Time - (q.HasSessionTime ? static_cast<EventTime>(q.SessionTime) : 0);
  if (line != nullptr && line->HasLastEnd && line->LastEnd <= q.Time && start < line->LastEnd)
    start = line->LastEnd;
  if (e->Open && start < e->Start) start = e->Start;
  if (start > q.Time) start = q.Time;
  return start < 0 ? 0 : start;
}

// The line a request's session would be on, before it opens.
const AcctLine* LineFor(AcctRules* r, AcctSession* e, const AcctSlot& q) {
  TakeIdentity(r, e, q);
  return e->Line;
}

// Whether the request is about a session of e that has ended and tells
// nothing after that end.
bool Stale(const AcctSession* e, const AcctSlot& q) {
  return !e->Open && e->Ended && q.Time <= e->End;
}

// The Start of a session that an Interim-Update opened: it began at the
// earlier of the two.
void Confirm(AcctRules* r, AcctSession* e, const AcctSlot& q) {
  if (q.Time < e->Start) {
    Session s = SessionOf(r, e);
    Change(r, q.Time, 1, &s);
    Change(r, e->Start, -1, &s);
    e->Start = q.Time;
  }
  e->Started = kStartConnect;
  e->HasStartRecord = true;
  e->StartLine = q.Line;
  e->StartFile = q.File;
}

void OnStart(AcctRules* r, AcctSession* e, const AcctSlot& q) {
  if (e->Open && e->Started == kStartRebuilt) {
    Confirm(r, e, q);
    return;
  }
  if (e->Open) {
    // The id came again while its session was open: that one ends here.
    Close(r, e, q.Time, Ending{kEndReplaced, true, q.Line, false, 0});
  } else if (Stale(e, q)) {
    return;
  }
  Open(r, e, q.Time, kStartConnect, q);
}

void OnStop(AcctRules* r, AcctSession* e, const AcctSlot& q) {
  Ending end = {kEndDisconnect, true, q.Line, q.HasSessionTime, q.SessionTime};
  if (e->Open) {
    Close(r, e, q.Time, end);
    return;
  }
  if (Stale(e, q)) return;
  Open(r, e, RebuiltStart(e, q, LineFor(r, e, q)), kStartRebuilt, q);
  Close(r, e, q.Time, end);
}

void OnInterim(AcctRules* r, AcctSession* e, const AcctSlot& q) {
  if (e->Open || Stale(e, q)) return;
  Open(r, e, RebuiltStart(e, q, LineFor(r, e, q)), kStartRebuilt, q);
}

// Ends the open sessions of n that began by `at`, there, as `how` says.
void CloseAll(AcctRules* r, AcctNas* n, EventTime at, const Ending& how) {
  for (AcctSession* e = n->OpenList; e != nullptr;) {
    AcctSession* next = e->NextOpen;
    if (e->Start <= at) Close(r, e, at, how);
    e = next;
  }
}

// ---- coverage ---------------------------------------------------------------

// Whether an Accounting-On follows a gap: its NAS has records in other
// files, none in this one before it, and those files ended before it.
bool FollowsGap(const AcctNas* n, const AcctFeed* feed, const AcctSlot& q) {
  if (q.Status != kAcctOn || n->Span < 0 || n->Last >= q.Time) return false;
  size_t file = static_cast<size_t>(q.File);
  if (file < n->InFile.size() && n->InFile[file]) return false;
  for (size_t i = 0; i < n->InFile.size(); ++i) {
    const AcctInputFile& f = feed->Files[i];
    if (n->InFile[i] && (!f.Done || f.LastSeen >= q.Time)) return false;
  }
  return true;
}

LogFacts* FileFacts(AcctNas* n, int file);

// The gap before q: what is open ends at the NAS's last record, whose
// lines are not to be rebuilt into it, and the coverage begins again.
void CrossGap(AcctRules* r, AcctNas* n, const AcctSlot& q) {
  EventTime from = n->Last;
  for (AcctSession* e = n->OpenList; e != nullptr;) {
    AcctSession* next = e->NextOpen;
    Close(r, e, from, Ending{kEndOpen, false, 0, false, 0});
    if (e->Line != nullptr) e->Line->LastEnd = q.Time;
    e = next;
  }
  const ModelListener* out = r->Out;
  if (out->Done != nullptr) out->Done(out->Context, n->Span, from);
  n->Span = (*r->Spans)++;
  n->HadGap = true;
  if (out->Covers != nullptr) out->Covers(out->Context, n->Span, q.Time, false);
  if (r->Counting) {
    LogFacts* f = FileFacts(n, q.File);
    f->Join = kJoinGap;
    f->GapSeconds = q.Time - from;
  }
}

// Notes that n has a record at q's time in q's file: its coverage begins
// (or, for a request that came late, begins earlier) and runs on.
void Seen(AcctRules* r, AcctNas* n, const AcctSlot& q) {
  const ModelListener* out = r->Out;
  if (n->Span < 0) {
    n->Span = (*r->Spans)++;
    n->First = n->Last = q.Time;
    if (out->Covers != nullptr) out->Covers(out->Context, n->Span, q.Time, false);
  } else if (q.Time < n->First && !n->HadGap) {
    n->First = q.Time;
    if (out->Covers != nullptr) out->Covers(out->Context, n->Span, q.Time, false);
  }
  if (q.Time > n->Last) n->Last = q.Time;
  size_t file = static_cast<size_t>(q.File);
  if (n->InFile.size() <= file) n->InFile.resize(file + 1, false);
  n->InFile[file] = true;
}

// ---- repeats ----------------------------------------------------------------

// Whether q repeats a request handled before; *from gets the file of that
// one. Otherwise q is noted as handled.
bool Repeats(AcctSession* e, AcctNas* n, const AcctSlot& q, int* from) {
  bool* has = nullptr;
  EventTime* seen = nullptr;
  int* file = nullptr;
  if (q.Status == kAcctStart) has = &e->HasStart, seen = &e->StartSeen, file = &e->StartFrom;
  if (q.Status == kAcctStop) has = &e->HasStop, seen = &e->StopSeen, file = &e->StopFrom;
  if (q.Status == kAcctInterim) {
    has = &e->HasInterim, seen = &e->InterimSeen, file = &e->InterimFrom;
  }
  if (has == nullptr) {
    if (n->HasReset && n->ResetStatus == q.Status && n->ResetTime == q.Time) {
      *from = n->ResetFrom;
      return true;
    }
    n->HasReset = true, n->ResetStatus = q.Status, n->ResetTime = q.Time, n->ResetFrom = q.File;
    return false;
  }
  if (*has && *seen == q.Time) {
    *from = *file;
    return true;
  }
  *has = true, *seen = q.Time, *file = q.File;
  return false;
}

// Counts a repeat against its file, with the file it repeats.
void CountRepeat(AcctFeed* feed, const AcctSlot& q, int from) {
  AcctInputFile* f = &feed->Files[static_cast<size_t>(q.File)];
  ++f->Repeated;
  if (f->RepeatOf < 0) f->RepeatOf = from;
  if (f->RepeatOf != from) f->RepeatMixed = true;
}

// ---- facts ------------------------------------------------------------------

// The facts of n's records in file `file`, made on first sight.
LogFacts* FileFacts(AcctNas* n, int file) {
  for (AcctNasFile& f : n->Files) {
    if (f.File == file) return &f.Facts;
  }
  n->Files.push_back(AcctNasFile{file, LogFacts()});
  LogFacts* l = &n->Files.back().Facts;
  l->Accounting = true;
  l->Join = kJoinFirst;
  return l;
}

// Counts q into the facts of its NAS and of its NAS in its file.
void CountFacts(AcctRules* r, AcctNas* n, const AcctFeed* feed, const AcctSlot& q, bool repeat) {
  LogFacts* f = FileFacts(n, q.File);
  if (f->Count++ == 0) {
    f->Path = feed->Files[static_cast<size_t>(q.File)].Path;
    f->Oldest = q.Line;
    f->FirstTime = f->LastTime = q.Time;
  }
  f->Newest = std::max(f->Newest, q.Line);
  f->FirstTime = std::min(f->FirstTime, q.Time);
  f->LastTime = std::max(f->LastTime, q.Time);
  HistoryFacts* h = &n->Facts;
  if (repeat) {
    ++f->Repeated, ++h->Repeated;
    return;
  }
  ++f->Added, ++h->Records;
  if (q.Time < r->Since || q.Time >= r->Until) return;
  uint64_t* counts[2][4] = {{&f->Connects, &f->Disconnects, &f->Interims, &f->Resets},
                            {&h->Connects, &h->Disconnects, &h->Interims, &h->Resets}};
  int which = q.Status == kAcctStart     ? 0
              : q.Status == kAcctStop    ? 1
              : q.Status == kAcctInterim ? 2
                                         : 3;
  ++*counts[0][which], ++*counts[1][which];
  if (which == 3) return;
  std::string port(SlotPort(q)), user(SlotUser(q));
  f->Ports.insert(port), h->Ports.insert(port);
  f->Users.insert(user), h->Users.insert(user);
}

// How each file of n joins those before it, in the order of their first
// records: first, overlap (it begins before they end), gap (as crossed),
// else continuous.
void JoinFiles(AcctNas* n) {
  std::stable_sort(n->Files.begin(), n->Files.end(),
                   [](const AcctNasFile& a, const AcctNasFile& b) {
                     return a.Facts.FirstTime < b.Facts.FirstTime;
                   });
  EventTime end = 0;
  for (size_t i = 0; i < n->Files.size(); ++i) {
    LogFacts* f = &n->Files[i].Facts;
    if (i == 0) {
      f->Join = kJoinFirst;
    } else if (f->Join != kJoinGap) {
      f->Join = f->FirstTime <= end ? kJoinOverlap : kJoinContinuous;
      f->Shared = f->Repeated;
    }
    end = std::max(end, f->LastTime);
  }
}

// ---- warnings ---------------------------------------------------------------

void Warn(const AcctRules* r, const char* text) {
  if (r->Out->Warning != nullptr) r->Out->Warning(r->Out->WarningContext, text);
}

// "FILE: 3 damaged records passed over: 2 a line that is not of the
// format (first at line 7); 1 ..."
void WarnSkipped(const AcctRules* r, const AcctInputFile& f) {
  uint64_t total = 0;
  for (uint64_t n : f.Counts.Skipped) total += n;
  if (total == 0) return;
  std::string text = f.Path;
  char part[256];
  snprintf(part, sizeof part,
           ": %llu damaged record%s passed over:", static_cast<unsigned long long>(total),
           total == 1 ? "" : "s");
  text += part;
  const char* sep = " ";
  for (int k = 0; k < kSkipReasonCount; ++k) {
    if (f.Counts.Skipped[k] == 0) continue;
    snprintf(part, sizeof part, "%s%llu %s (first at line %llu)", sep,
             static_cast<unsigned long long>(f.Counts.Skipped[k]),
             AcctSkipText(static_cast<AcctSkip>(k)),
             static_cast<unsigned long long>(f.Counts.FirstSkip[k]));
    text += part;
    sep = "; ";
  }
  Warn(r, text.c_str());
}

// A file whose every record repeats those of one other file.
void WarnRepeated(const AcctRules* r, const AcctFeed* feed, const AcctInputFile& f) {
  if (f.Handled == 0 || f.Repeated != f.Handled || f.RepeatMixed || f.RepeatOf < 0) return;
  const char* other = feed->Files[static_cast<size_t>(f.RepeatOf)].Path;
  std::string text = f.Path;
  text += std::string(other) == f.Path
              ? " is given twice: it counts once"
              : std::string(" holds only records that ") + other + " holds too: they count once";
  Warn(r, text.c_str());
}

}  // namespace

void AcctRulesInit(AcctRules* r, const ModelListener* out, int* spans, int historyBase,
                   bool counting, EventTime since, EventTime until) {
  r->Out = out;
  r->Spans = spans;
  r->HistoryBase = historyBase;
  r->Clock = 0;
  r->RecentCount = 0;
  r->Sessions.Count = 0;
  r->Counting = counting;
  r->Since = since;
  r->Until = until;
}

void AcctRulesApply(AcctRules* r, AcctFeed* feed, const AcctSlot& q) {
  Forget(r);
  AcctSession* e = IsSession(q.Status) ? EntryOf(r, q) : nullptr;
  AcctNas* n = NasAt(r, e != nullptr ? e->Nas : NasIndex(r, SlotNas(q)));
  int from = -1;
  bool repeat = Repeats(e, n, q, &from);
  AcctInputFile* file = &feed->Files[static_cast<size_t>(q.File)];
  ++file->Handled;
  if (repeat) CountRepeat(feed, q, from);
  if (!repeat && FollowsGap(n, feed, q)) CrossGap(r, n, q);
  Seen(r, n, q);
  if (r->Counting) CountFacts(r, n, feed, q, repeat);
  if (repeat) return;
  switch (q.Status) {
    case kAcctStart:
      OnStart(r, e, q);
      break;
    case kAcctStop:
      OnStop(r, e, q);
      break;
    case kAcctInterim:
      OnInterim(r, e, q);
      break;
    case kAcctOn:
    case kAcctOff:
      CloseAll(r, n, q.Time, Ending{kEndReset, true, q.Line, false, 0});
      break;
  }
}

void AcctRulesFinish(AcctRules* r, AcctFeed* feed) {
  const ModelListener* out = r->Out;
  for (AcctNas& n : r->Nas) {
    CloseAll(r, &n, n.Last, Ending{kEndOpen, false, 0, false, 0});
    if (out->Done != nullptr) out->Done(out->Context, n.Span, n.Last);
  }
  for (const AcctInputFile& f : feed->Files) {
    WarnSkipped(r, f);
    WarnRepeated(r, feed, f);
  }
}

void AcctRulesFacts(AcctRules* r, std::vector<HistoryFacts>* facts) {
  for (AcctNas& n : r->Nas) {
    JoinFiles(&n);
    for (AcctNasFile& f : n.Files) n.Facts.Files.push_back(std::move(f.Facts));
    facts->push_back(std::move(n.Facts));
  }
}
