// The classic NT event log as a source: opened through the platform's
// backup-log call, records read by number into one buffer that grows on
// demand, each decoded once by RasDecode. Failures name the file and the
// reason in the platform's words.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "analytics/model.h"
#include "analytics/source.h"
#include "logfolder/failreason.h"

namespace {

// The open log.
struct EvtState {
  HANDLE Handle;    // from OpenBackupEventLogA
  BYTE* Buffer;     // the record read last
  DWORD Capacity;   // bytes of Buffer (a block one byte larger)
  uint64_t Oldest;  // number of the oldest record
  uint64_t End;     // one past the newest record's number
};

// The failure of f: its path and the reason for the error, with the detail
// given (the platform's own when null).
int Fail(const SourceFile* f, DWORD error, const char* detail, ModelFailure* failure) {
  if (detail == nullptr) detail = PlatformErrorDetail();
  DescribeOpenFailure(f->Path, error, detail, failure->Text, sizeof failure->Text);
  return 0;
}

// Reads record `number` into the state's buffer.
int ReadNumber(const SourceFile* f, EvtState* s, uint64_t number, ModelFailure* failure) {
  const char* message = nullptr;
  if (number < s->Oldest || number >= s->End ||
      !ReadRec(s->Handle, static_cast<DWORD>(number), &s->Buffer, &s->Capacity, &message)) {
    DWORD error = message != nullptr ? GetLastError() : 0;
    if (message != nullptr && strcmp(message, "Can't Realloc Buffer") == 0)
      return Fail(f, ERROR_NOT_ENOUGH_MEMORY, "", failure);
    if (error == ERROR_READ_FAULT) return Fail(f, error, "", failure);
    // Whatever the layer says, a record of the log that cannot be had is
    // damage to the log.
    char detail[64];
    snprintf(detail, sizeof detail, "record %llu can't be read",
             static_cast<unsigned long long>(number));
    return Fail(f, ERROR_EVENTLOG_FILE_CORRUPT, detail, failure);
  }
  return 1;
}

void EvtClose(SourceFile* f) {
  EvtState* s = static_cast<EvtState*>(f->State);
  if (s == nullptr) return;
  free(s->Buffer);
  if (s->Handle != nullptr) CloseEventLog(s->Handle);
  free(s);
  f->State = nullptr;
}

// The summary: the numbers from the log, the computer and time of the
// oldest record. The newest is left to whoever needs it, so that a log
// damaged inside fails where a reader from the start meets the damage.
int Summarize(SourceFile* f, EvtState* s, ModelFailure* failure) {
  SourceSummary* sum = &f->Summary;
  sum->Oldest = s->Oldest;
  sum->Count = s->End - s->Oldest;
  sum->Header = EvtLogHeader(s->Handle);
  sum->Server.clear();
  sum->FirstTime = sum->LastTime = 0;
  if (sum->Count == 0) return 1;
  if (!ReadNumber(f, s, s->Oldest, failure)) return 0;
  sum->FirstTime = RecTimeGenerated(s->Buffer);
  sum->Server.assign(RecComputer(s->Buffer, s->Capacity));
  return 1;
}

int EvtOpen(SourceFile* f, ModelFailure* failure) {
  EvtState* s = static_cast<EvtState*>(calloc(1, sizeof(EvtState)));
  if (s == nullptr) return Fail(f, ERROR_NOT_ENOUGH_MEMORY, "", failure);
  f->State = s;
  s->Handle = OpenBackupEventLogA(nullptr, f->Path);
  if (s->Handle == nullptr) {
    Fail(f, GetLastError(), nullptr, failure);
    failure->Unopened = true;
    EvtClose(f);
    return 0;
  }
  DWORD oldest = 0, count = 0;
  int ok = 1;
  if (!GetOldestEventLogRecord(s->Handle, &oldest) ||
      !GetNumberOfEventLogRecords(s->Handle, &count)) {
    ok = Fail(f, ERROR_EVENTLOG_FILE_CORRUPT, "the record numbers can't be read", failure);
  } else if ((s->Buffer = NewRecordBuffer(&s->Capacity)) == nullptr) {
    ok = Fail(f, ERROR_NOT_ENOUGH_MEMORY, "", failure);
  } else {
    s->Oldest = oldest;
    s->End = static_cast<uint64_t>(oldest) + count;
    ok = Summarize(f, s, failure);
  }
  if (!ok) EvtClose(f);
  return ok;
}

int EvtRead(SourceFile* f, uint64_t position, SourceEvent* ev, ModelFailure* failure) {
  EvtState* s = static_cast<EvtState*>(f->State);
  if (!ReadNumber(f, s, position, failure)) return 0;
  RasEvent ras;
  RasDecode(s->Buffer, s->Capacity, RAS_WANT_COMPUTER | RAS_WANT_SECONDS, &ras);
  ev->Kind = ras.Kind;
  ev->Time = RecTimeGenerated(s->Buffer);
  ev->Server = ras.Computer;
  ev->User = ras.User;
  ev->Port = ras.Port;
  ev->Seconds = ras.Seconds;
  ev->Position = position;
  return 1;
}

DWORD EventId(const BYTE* rec) {
  DWORD value;
  memcpy(&value, rec + offsetof(EVENTLOGRECORD, EventID), sizeof value);
  return value;
}

int EvtSame(const SourceFile* a, const SourceFile* b) {
  const EvtState* x = static_cast<const EvtState*>(a->State);
  const EvtState* y = static_cast<const EvtState*>(b->State);
  if (RecTimeGenerated(x->Buffer) != RecTimeGenerated(y->Buffer) ||
      EventId(x->Buffer) != EventId(y->Buffer) ||
      strcmp(RecComputer(x->Buffer, x->Capacity), RecComputer(y->Buffer, y->Capacity)) != 0) {
    return 0;
  }
  int count = RecNumStrings(x->Buffer);
  if (count != RecNumStrings(y->Buffer)) return 0;
  std::vector<const char*> p(static_cast<size_t>(count) + 1), q(static_cast<size_t>(count) + 1);
  RecStrings(x->Buffer, x->Capacity, p.data(), count);
  RecStrings(y->Buffer, y->Capacity, q.data(), count);
  for (int i = 0; i < count; ++i) {
    if (strcmp(p[static_cast<size_t>(i)], q[static_cast<size_t>(i)]) != 0) return 0;
  }
  return 1;
}

}  // namespace

const SourceOps kEvtSource = {"evt", EvtOpen, EvtRead, EvtSame, EvtClose};

int SourceOpen(SourceFile* f, const SourceOps* ops, const char* path, ModelFailure* failure) {
  f->Ops = ops;
  f->Path = path;
  f->State = nullptr;
  return ops->Open(f, failure);
}

void SourceClose(SourceFile* f) {
  if (f->Ops != nullptr && f->State != nullptr) f->Ops->Close(f);
}
