// The session rules over merged logs: one reader per log holds its current
// record, the earliest of them is handled next, and each log keeps its open
// sessions by (computer, port). Every handle and buffer is released on every
// path.
#include "analytics/model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

#include "eventlog/rasevent.h"
#include "platform/failreason.h"

namespace {

// The state of one (computer, port) of a log. The key is the computer name,
// a NUL and the port name.
struct PortState {
  bool Open;              // a session is open on the port
  std::string User;       // its user
  EventTime Start;        // its start
  DWORD StartRecord;      // its connect record
  bool HasLastEnd;        // a session on this port has ended
  EventTime LastEnd;      // when the latest one ended
  size_t ComputerLength;  // bytes of the computer name at the key's start
};

typedef std::map<std::string, PortState> PortMap;

// One log being read.
struct LogReader {
  const char* Path;  // as given
  HANDLE Handle;     // the open log, or null
  BYTE* Buffer;      // the current record
  DWORD Capacity;    // bytes of Buffer (a block one byte larger)
  uint64_t Next;     // number of the record to read next
  uint64_t End;      // one past the newest record's number
  bool Have;         // Buffer holds an unhandled record
  DWORD Number;      // its number
  EventTime Time;    // its time, never earlier than the record before
  PortMap Ports;     // (computer, port) -> state
  // The same entries found by hashing: every connect and disconnect looks
  // its port up, and the ordered map (kept for its order, in which a reset
  // closes the sessions) compares a key at each of its levels.
  std::unordered_map<std::string, PortMap::value_type*> ByKey;
  LogFacts* Facts;  // where the facts go, or null
};

// A run over all logs.
struct Model {
  std::vector<LogReader> Logs;  // one per path
  const ModelListener* Out;     // who hears what happens
  EventTime Since;              // facts count records from here
  EventTime Until;              // up to here
  std::string Key;              // scratch key for lookups
  ModelFailure* Failure;        // where a failure goes
};

// The failure of log r: its path and the reason for the error, with the
// detail given (the platform's own when null).
int Fail(Model* m, const LogReader* r, DWORD error, const char* detail) {
  if (detail == nullptr) detail = PlatformErrorDetail();
  DescribeOpenFailure(r->Path, error, detail, m->Failure->Text, sizeof m->Failure->Text);
  return 0;
}

// Reads record r->Next as the current record.
int ReadNext(Model* m, LogReader* r) {
  const char* message = nullptr;
  DWORD number = (DWORD)r->Next;
  if (!ReadRec(r->Handle, number, &r->Buffer, &r->Capacity, &message)) {
    DWORD error = GetLastError();
    if (strcmp(message, "Can't Realloc Buffer") == 0)
      return Fail(m, r, ERROR_NOT_ENOUGH_MEMORY, "");
    if (error == ERROR_READ_FAULT) return Fail(m, r, error, "");
    // Whatever the layer says, a record of the log that cannot be had is
    // damage to the log.
    char detail[64];
    snprintf(detail, sizeof detail, "record %lu can't be read", (unsigned long)number);
    return Fail(m, r, ERROR_EVENTLOG_FILE_CORRUPT, detail);
  }
  EventTime t = RecTimeGenerated(r->Buffer);
  if (r->Facts != nullptr) {
    if (number == r->Facts->Oldest) r->Facts->FirstTime = t;
    r->Facts->LastTime = t;
  }
  r->Time = t > r->Time ? t : r->Time;
  r->Number = number;
  r->Have = true;
  ++r->Next;
  return 1;
}

void ReaderInit(LogReader* r, const char* path, LogFacts* facts) {
  r->Path = path;
  r->Handle = nullptr;
  r->Buffer = nullptr;
  r->Next = r->End = 0;
  r->Have = false;
  r->Number = 0;
  r->Time = 0;
  r->Facts = facts;
}

void ReaderRelease(LogReader* r) {
  free(r->Buffer);
  r->Buffer = nullptr;
  if (r->Handle != nullptr) CloseEventLog(r->Handle);
  r->Handle = nullptr;
}

int OpenLog(Model* m, LogReader* r) {
  r->Handle = OpenBackupEventLogA(nullptr, r->Path);
  if (r->Handle == nullptr) return Fail(m, r, GetLastError(), nullptr);
  DWORD oldest = 0, count = 0;
  if (!GetOldestEventLogRecord(r->Handle, &oldest) ||
      !GetNumberOfEventLogRecords(r->Handle, &count)) {
    return Fail(m, r, ERROR_EVENTLOG_FILE_CORRUPT, "the record numbers can't be read");
  }
  r->Buffer = NewRecordBuffer(&r->Capacity);
  if (r->Buffer == nullptr) return Fail(m, r, ERROR_NOT_ENOUGH_MEMORY, "");
  r->Next = oldest;
  r->End = (uint64_t)oldest + count;
  if (r->Facts != nullptr) {
    r->Facts->Oldest = oldest;
    r->Facts->Count = count;
    r->Facts->Header = EvtLogHeader(r->Handle);
  }
  return count == 0 ? 1 : ReadNext(m, r);
}

// The state of (computer, port) in r, made on first sight.
PortMap::value_type* Lookup(Model* m, LogReader* r, const char* computer, const char* port) {
  m->Key.assign(computer);
  size_t computerLength = m->Key.size();
  m->Key.push_back('\0');
  m->Key.append(port);
  auto known = r->ByKey.find(m->Key);
  if (known != r->ByKey.end()) return known->second;
  PortState fresh = {false, std::string(), 0, 0, false, 0, computerLength};
  PortMap::value_type* e = &*r->Ports.emplace(m->Key, fresh).first;
  r->ByKey.emplace(m->Key, e);  // map entries stay where they are
  return e;
}

// A session on entry e of log `log`, from what the entry holds.
Session SessionOf(int log, const PortMap::value_type* e) {
  Session s = {};
  s.Log = log;
  s.Computer = e->first.c_str();
  s.Port = e->first.c_str() + e->second.ComputerLength + 1;
  s.User = e->second.User.c_str();
  s.Start = e->second.Start;
  s.StartRecord = e->second.StartRecord;
  return s;
}

// How a session ends, at the current record of its log.
struct Ending {
  SessionEnd How;     // disconnect, replaced, reset or open
  bool ByRecord;      // the current record ended it (not the end of the log)
  bool HasConnected;  // a disconnect reported Connected
  int64_t Connected;  // seconds it reported
};

// Ends the session of entry e at the current record's time and tells the
// listener: a rebuilt session's time first, then the session.
void Close(Model* m, int log, PortMap::value_type* e, SessionStart started, const Ending& end) {
  const LogReader* r = &m->Logs[log];
  Session s = SessionOf(log, e);
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

void OnConnect(Model* m, int log, PortMap::value_type* e, const char* user) {
  const LogReader* r = &m->Logs[log];
  if (e->second.Open) {
    Close(m, log, e, kStartConnect, Ending{kEndReplaced, true, false, 0});
  } else {
    Step(m, r->Time, 1);
  }
  e->second.Open = true;
  e->second.User.assign(user);
  e->second.Start = r->Time;
  e->second.StartRecord = r->Number;
  if (m->Out->Connect != nullptr) m->Out->Connect(m->Out->Context, r->Time);
}

// A disconnect closes the open session on its port. Without one, the
// session is rebuilt back from its end by the connected time, but not
// before the port's previous session ended (nor before 1970).
void OnDisconnect(Model* m, int log, PortMap::value_type* e, const char* user, int64_t connected) {
  const LogReader* r = &m->Logs[log];
  Ending end = {kEndDisconnect, true, true, connected};
  if (e->second.Open) {
    Close(m, log, e, kStartConnect, end);
    Step(m, r->Time, -1);
    return;
  }
  EventTime start = r->Time - (connected > 0 ? connected : 0);
  if (e->second.HasLastEnd && start < e->second.LastEnd) start = e->second.LastEnd;
  e->second.User.assign(user);
  e->second.Start = start < 0 ? 0 : start;
  Close(m, log, e, kStartRebuilt, end);
}

// Ends every open session of the log: at a reset record, or at its end.
void CloseAll(Model* m, int log, SessionEnd how) {
  int closed = 0;
  for (PortMap::value_type& e : m->Logs[log].Ports) {
    if (!e.second.Open) continue;
    Close(m, log, &e, kStartConnect, Ending{how, how == kEndReset, false, 0});
    ++closed;
  }
  Step(m, m->Logs[log].Time, -closed);
}

bool InRange(const Model* m, EventTime t) {
  return t >= m->Since && t < m->Until;
}

void CountFacts(Model* m, LogReader* r, const RasEvent* ev) {
  LogFacts* f = r->Facts;
  if (f == nullptr || !InRange(m, r->Time)) return;
  if (ev->Kind == RAS_CONNECT) ++f->Connects;
  if (ev->Kind == RAS_DISCONNECT) ++f->Disconnects;
  if (ev->Kind == RAS_RESET) {
    ++f->Resets;
    return;
  }
  f->Ports.insert(ev->Port);
  f->Users.insert(ev->User);
}

// Applies the current record of log `log` to its sessions.
void HandleRecord(Model* m, int log) {
  LogReader* r = &m->Logs[log];
  RasEvent ev;
  RasDecode(r->Buffer, r->Capacity, RAS_WANT_COMPUTER | RAS_WANT_SECONDS, &ev);
  if (ev.Kind == RAS_OTHER) return;
  CountFacts(m, r, &ev);
  if (ev.Kind == RAS_RESET) {
    CloseAll(m, log, kEndReset);
    return;
  }
  PortMap::value_type* e = Lookup(m, r, ev.Computer, ev.Port);
  if (ev.Kind == RAS_CONNECT) {
    OnConnect(m, log, e, ev.User);
  } else {
    OnDisconnect(m, log, e, ev.User, ev.Seconds);
  }
}

// Moves log `log` on to its next record; at its end, closes what is still
// open at its newest record and ends its coverage.
int Advance(Model* m, int log) {
  LogReader* r = &m->Logs[log];
  r->Have = false;
  if (r->Next < r->End) return ReadNext(m, r);
  CloseAll(m, log, kEndOpen);
  if (m->Out->Done != nullptr) m->Out->Done(m->Out->Context, log, r->Time);
  return 1;
}

// The log whose current record comes first (the first given on a tie), or
// -1 when every log is done.
int Earliest(const Model* m) {
  int best = -1;
  for (size_t i = 0; i < m->Logs.size(); ++i) {
    const LogReader& r = m->Logs[i];
    if (r.Have && (best < 0 || r.Time < m->Logs[best].Time)) best = (int)i;
  }
  return best;
}

int Sweep(Model* m) {
  for (size_t i = 0; i < m->Logs.size(); ++i) {
    const LogReader& r = m->Logs[i];
    if (m->Out->Covers != nullptr) m->Out->Covers(m->Out->Context, (int)i, r.Time, !r.Have);
  }
  for (int log = Earliest(m); log >= 0; log = Earliest(m)) {
    HandleRecord(m, log);
    if (!Advance(m, log)) return 0;
  }
  return 1;
}

}  // namespace

int ModelReadLogs(const char* const* paths, int count, const ModelListener* listener,
                  std::vector<LogFacts>* facts, EventTime since, EventTime until,
                  ModelFailure* failure) {
  Model m;
  m.Out = listener;
  m.Since = since;
  m.Until = until;
  m.Failure = failure;
  m.Logs.resize((size_t)count);
  if (facts != nullptr) facts->assign((size_t)count, LogFacts());
  int ok = 1;
  for (int i = 0; i < count; ++i) {
    ReaderInit(&m.Logs[(size_t)i], paths[i], facts != nullptr ? &(*facts)[(size_t)i] : nullptr);
  }
  for (int i = 0; i < count && ok; ++i) ok = OpenLog(&m, &m.Logs[(size_t)i]);
  if (ok) ok = Sweep(&m);
  for (LogReader& r : m.Logs) ReaderRelease(&r);
  return ok;
}

int ModelLogComputer(const char* path, std::string* computer, ModelFailure* failure) {
  Model m;
  m.Out = nullptr;
  m.Failure = failure;
  m.Logs.resize(1);
  LogReader& r = m.Logs[0];
  ReaderInit(&r, path, nullptr);
  int ok = OpenLog(&m, &r);
  computer->assign(ok && r.Have ? RecComputer(r.Buffer, r.Capacity) : "");
  ReaderRelease(&r);
  return ok;
}
