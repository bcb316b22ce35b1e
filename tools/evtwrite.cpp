// The .evt writer: builds each record in one buffer, lays it into the file
// through a write-back block, and keeps only the four changing header fields
// in memory. Dropping the oldest record of a full circular log reads its
// Length back from the file, so nothing grows with the number of records.
#include "tools/evtwrite.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/winapi.h"

namespace {

const UINT kTextCodePage = CP_UTF8;       // the texts come as UTF-8, whatever the ANSI code page
const uint32_t kOutCap = 1u << 16;        // write-back block
const uint32_t kMaxRecord = 0x40000000u;  // larger records are refused
const uint32_t kMinCircular = kEvtHeaderSize + kEvtFixedSize + kEvtEofSize;

// Where the parts of one record go, from its first byte.
struct RecordPlan {
  int SourceUnits;        // UTF-16 units of the source name, terminator included
  int ComputerUnits;      // UTF-16 units of the computer name, terminator included
  uint32_t SidOffset;     // the SID (or where it would be)
  uint32_t StringOffset;  // first insertion string
  uint32_t DataOffset;    // binary data (or where it would be)
  uint32_t Length;        // whole record, trailing Length included
};

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

int Fail(EvtWriter* w, const char* message, int err) {
  w->Message = message;
  w->Errno = err;
  return 0;
}

// UTF-16 units of a UTF-8 text with its terminator; 0 for a null text.
int TextUnits(const char* s) {
  if (s == nullptr) return 0;
  return MultiByteToWideChar(kTextCodePage, 0, s, -1, nullptr, 0);
}

// Stores the text as UTF-16LE with its terminator at p (units as measured).
void PutText(uint8_t* p, const char* s, int units) {
  WCHAR* wide =
      reinterpret_cast<WCHAR*>(p);  // p is 2-aligned: every part before it has even length
  MultiByteToWideChar(kTextCodePage, 0, s, -1, wide, units);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (int i = 0; i < units; ++i) Put16(p + 2 * i, wide[i]);
#endif
}

uint64_t Align4(uint64_t n) {
  return (n + 3) & ~static_cast<uint64_t>(3);
}

// Computes the record's layout as a server lays it out: names, padding to 4,
// SID, strings, data, padding to 4, Length. Returns 0 for a record that
// cannot be stored.
int PlanRecord(const EvtRecordIn* r, RecordPlan* plan) {
  plan->SourceUnits = TextUnits(r->SourceName);
  plan->ComputerUnits = TextUnits(r->ComputerName);
  if (plan->SourceUnits == 0 || plan->ComputerUnits == 0) return 0;
  if ((r->UserSidLength != 0 && r->UserSid == nullptr) ||
      (r->DataLength != 0 && r->Data == nullptr) || (r->NumStrings != 0 && r->Strings == nullptr))
    return 0;
  uint64_t off = kEvtFixedSize + 2 * static_cast<uint64_t>(plan->SourceUnits + plan->ComputerUnits);
  off = Align4(off);
  plan->SidOffset = static_cast<uint32_t>(off);
  off += r->UserSidLength;
  plan->StringOffset = static_cast<uint32_t>(off);
  for (int i = 0; i < r->NumStrings; ++i) {
    int units = TextUnits(r->Strings[i]);
    if (units == 0) return 0;
    off += 2 * static_cast<uint64_t>(units);
    if (off > kMaxRecord) return 0;
  }
  plan->DataOffset = static_cast<uint32_t>(off);
  off = Align4(off + r->DataLength) + 4;
  if (off > kMaxRecord) return 0;
  plan->Length = static_cast<uint32_t>(off);
  return 1;
}

// Fills the fixed part of record `number` at w->Rec.
void PutFixedPart(uint8_t* p, const EvtRecordIn* r, const RecordPlan* plan, uint32_t number) {
  memset(p, 0, kEvtFixedSize);
  Put32(p + kEvtRecLength, plan->Length);
  Put32(p + kEvtRecReserved, kEvtSignature);
  Put32(p + kEvtRecRecordNumber, number);
  Put32(p + kEvtRecTimeGenerated, r->TimeGenerated);
  Put32(p + kEvtRecTimeWritten, r->TimeWritten);
  Put32(p + kEvtRecEventID, r->EventID);
  Put16(p + kEvtRecEventType, r->EventType);
  Put16(p + kEvtRecNumStrings, r->NumStrings);
  Put16(p + kEvtRecEventCategory, r->EventCategory);
  Put32(p + kEvtRecStringOffset, plan->StringOffset);
  Put32(p + kEvtRecUserSidLength, r->UserSidLength);
  Put32(p + kEvtRecUserSidOffset, plan->SidOffset);
  Put32(p + kEvtRecDataLength, r->DataLength);
  Put32(p + kEvtRecDataOffset, plan->DataOffset);
}

// Builds record `number` into w->Rec, growing it as needed.
int BuildRecord(EvtWriter* w, const EvtRecordIn* r, const RecordPlan* plan, uint32_t number) {
  if (plan->Length > w->RecCap) {
    uint8_t* grown = static_cast<uint8_t*>(realloc(w->Rec, plan->Length));
    if (grown == nullptr) return Fail(w, "out of memory", ENOMEM);
    w->Rec = grown;
    w->RecCap = plan->Length;
  }
  uint8_t* p = w->Rec;
  memset(p, 0, plan->Length);
  PutFixedPart(p, r, plan, number);
  PutText(p + kEvtFixedSize, r->SourceName, plan->SourceUnits);
  PutText(p + kEvtFixedSize + 2 * plan->SourceUnits, r->ComputerName, plan->ComputerUnits);
  if (r->UserSidLength != 0) memcpy(p + plan->SidOffset, r->UserSid, r->UserSidLength);
  uint32_t off = plan->StringOffset;
  for (int i = 0; i < r->NumStrings; ++i) {
    int units = TextUnits(r->Strings[i]);
    PutText(p + off, r->Strings[i], units);
    off += 2 * units;
  }
  if (r->DataLength != 0) memcpy(p + plan->DataOffset, r->Data, r->DataLength);
  Put32(p + plan->Length - 4, plan->Length);
  return 1;
}

// ---- file output through the write-back block ----

int WriteAt(EvtWriter* w, uint32_t pos, const uint8_t* data, size_t n) {
  if (PlatformWriteAllAt(w->Fd, data, n, pos) == 0) return 1;
  w->Failed = 1;
  return Fail(w, "can't write the log file", errno);
}

int Flush(EvtWriter* w) {
  if (w->OutLen == 0) return 1;
  uint32_t len = w->OutLen;
  w->OutLen = 0;
  return WriteAt(w, w->OutPos, w->Out, len);
}

// Writes n bytes at pos, which must not cross S.
int Buffer(EvtWriter* w, uint32_t pos, const uint8_t* data, uint32_t n) {
  if (w->OutLen != 0 && (pos != w->OutPos + w->OutLen || w->OutLen + n > kOutCap)) {
    if (!Flush(w)) return 0;
  }
  if (n > kOutCap) return WriteAt(w, pos, data, n);
  if (w->OutLen == 0) w->OutPos = pos;
  memcpy(w->Out + w->OutLen, data, n);
  w->OutLen += n;
  return 1;
}

// Writes n bytes from *pos on, continuing at 0x30 when they reach S, and
// leaves *pos after them (0x30 rather than S).
int Emit(EvtWriter* w, uint32_t* pos, const uint8_t* data, uint32_t n) {
  while (n > 0) {
    uint32_t chunk = n;
    if (w->Size != 0 && w->Size - *pos < chunk) chunk = w->Size - *pos;
    if (!Buffer(w, *pos, data, chunk)) return 0;
    *pos += chunk, data += chunk, n -= chunk;
    if (w->Size != 0 && *pos == w->Size) {
      *pos = kEvtHeaderSize;
      w->Wrapped = 1;
    }
  }
  return 1;
}

// Reads back the Length of the record at pos (never split: it opens the
// fixed part).
int ReadLength(EvtWriter* w, uint32_t pos, uint32_t* length) {
  if (w->OutLen != 0 && pos < w->OutPos + w->OutLen && pos + 4 > w->OutPos && !Flush(w)) return 0;
  uint8_t b[4];
  int64_t got = PlatformReadAt(w->Fd, b, 4, pos);
  *length = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
            static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  if (got != 4 || *length < kEvtFixedSize || *length > w->Size - kEvtHeaderSize) {
    w->Failed = 1;
    return Fail(w, "can't read back the oldest record", got < 0 ? errno : EIO);
  }
  return 1;
}

// ---- circular bookkeeping ----

// Bytes from `from` forward to `to` in the circular area.
uint32_t Distance(const EvtWriter* w, uint32_t from, uint32_t to) {
  return to >= from ? to - from : (w->Size - from) + (to - kEvtHeaderSize);
}

// The tail that must be filled before a record can start at pos.
uint32_t TailFill(const EvtWriter* w, uint32_t pos) {
  return w->Size != 0 && w->Size - pos < kEvtFixedSize ? w->Size - pos : 0;
}

int Fits(const EvtWriter* w, uint32_t length) {
  if (w->Size == 0 || w->Oldest == 0) return 1;
  uint64_t need = static_cast<uint64_t>(TailFill(w, w->End)) + length + kEvtEofSize;
  return need <= Distance(w, w->End, w->Begin);
}

// Drops the oldest record; the next one starts after it, or at 0x30 when
// the tail after it is too short for a fixed part.
int DropOldest(EvtWriter* w) {
  uint32_t length;
  if (!ReadLength(w, w->Begin, &length)) return 0;
  if (++w->Oldest == w->Current) {
    w->Oldest = 0;
    w->Begin = w->End;
    return 1;
  }
  uint32_t next = w->Begin + length;
  if (next >= w->Size) next -= w->Size - kEvtHeaderSize;
  if (w->Size - next < kEvtFixedSize) next = kEvtHeaderSize;
  w->Begin = next;
  return 1;
}

// Lays the built record at End: fills a short tail first, then writes it,
// split at S when it reaches that far.
int Place(EvtWriter* w, uint32_t length) {
  uint32_t pos = w->End;
  uint32_t fill = TailFill(w, pos);
  if (fill != 0) {
    uint8_t filler[kEvtFixedSize];
    for (uint32_t i = 0; i < fill; i += 4) Put32(filler + i, kEvtTailFill);
    if (!Emit(w, &pos, filler, fill)) return 0;
  }
  if (w->Oldest == 0) {
    w->Begin = pos;
    w->Oldest = w->Current;
  }
  if (!Emit(w, &pos, w->Rec, length)) return 0;
  w->End = pos;
  w->Current++;
  return 1;
}

void PutHeader(const EvtWriter* w, uint8_t* h) {
  memset(h, 0, kEvtHeaderSize);
  Put32(h + kEvtHdrHeaderSize, kEvtHeaderSize);
  Put32(h + kEvtHdrSignature, kEvtSignature);
  Put32(h + kEvtHdrMajorVersion, kEvtVersion);
  Put32(h + kEvtHdrMinorVersion, kEvtVersion);
  Put32(h + kEvtHdrStartOffset, w->Begin);
  Put32(h + kEvtHdrEndOffset, w->End);
  Put32(h + kEvtHdrCurrentRecordNumber, w->Current);
  Put32(h + kEvtHdrOldestRecordNumber, w->Oldest);
  Put32(h + kEvtHdrMaxSize, w->Size != 0 ? w->Size : w->End + kEvtEofSize);
  Put32(h + kEvtHdrFlags, w->Wrapped ? kEvtFlagWrap : 0);
  Put32(h + kEvtHdrEndHeaderSize, kEvtHeaderSize);
}

void PutEof(const EvtWriter* w, uint8_t* e) {
  Put32(e + kEvtEofRecordSizeBeginning, kEvtEofSize);
  for (int i = 0; i < 4; ++i) Put32(e + kEvtEofOne + 4 * i, kEvtEofMagic[i]);
  Put32(e + kEvtEofBeginRecord, w->Begin);
  Put32(e + kEvtEofEndRecord, w->End);
  Put32(e + kEvtEofCurrentRecordNumber, w->Current);
  Put32(e + kEvtEofOldestRecordNumber, w->Oldest);
  Put32(e + kEvtEofRecordSizeEnd, kEvtEofSize);
}

void Release(EvtWriter* w) {
  free(w->Out);
  free(w->Rec);
  w->Out = nullptr;
  w->Rec = nullptr;
  w->Fd = -1;
}

}  // namespace

uint32_t EvtRecordLength(const EvtRecordIn* rec) {
  RecordPlan plan;
  return PlanRecord(rec, &plan) ? plan.Length : 0;
}

const char* EvtLayoutProblem(uint32_t maxSize, uint32_t startOffset) {
  if (maxSize != 0 && (maxSize % 4 != 0 || maxSize < kMinCircular))
    return "bad log size: a multiple of 4, at least 144";
  if (startOffset % 4 != 0 || startOffset < kEvtHeaderSize ||
      (maxSize != 0 && startOffset >= maxSize) || startOffset > 0x7FFFFFFF)
    return "bad start offset: a multiple of 4 from 48, inside the log";
  return nullptr;
}

namespace {

// Checks the layout and takes the writer's memory: everything a start needs
// but the file. Returns 1, or 0 with w->Message set and nothing held.
int Prepare(EvtWriter* w, uint32_t maxSize, uint32_t startOffset, uint32_t firstNumber) {
  memset(w, 0, sizeof *w);
  w->Fd = -1;
  const char* problem = EvtLayoutProblem(maxSize, startOffset);
  if (problem != nullptr) return Fail(w, problem, 0);
  if (firstNumber == 0) return Fail(w, "bad first record number", 0);
  w->Out = static_cast<uint8_t*>(malloc(kOutCap));
  w->Rec = static_cast<uint8_t*>(malloc(1024));
  if (w->Out == nullptr || w->Rec == nullptr) {
    Release(w);
    return Fail(w, "out of memory", ENOMEM);
  }
  w->RecCap = 1024;
  w->Size = maxSize;
  w->Begin = w->End = startOffset;
  w->Current = firstNumber;
  return 1;
}

// Gives the prepared writer its file, sized for a circular log. Returns 1,
// or 0 with w->Message set, the file closed and the writer released.
int Attach(EvtWriter* w, int fd) {
  w->Fd = fd;
  if (w->Size == 0 || PlatformSetFileSize(fd, w->Size) == 0) return 1;
  int err = errno;
  PlatformCloseFile(fd);
  Release(w);
  return Fail(w, "can't create the log file", err);
}

}  // namespace

int EvtWriterOpen(EvtWriter* w, const char* path, uint32_t maxSize, uint32_t startOffset,
                  uint32_t firstNumber) {
  if (!Prepare(w, maxSize, startOffset, firstNumber)) return 0;
  int fd = PlatformCreateFile(path, 1, 0644);
  if (fd >= 0) return Attach(w, fd);
  int err = errno;
  Release(w);
  return Fail(w, "can't create the log file", err);
}

int EvtWriterStart(EvtWriter* w, int fd, uint32_t maxSize, uint32_t startOffset,
                   uint32_t firstNumber) {
  if (Prepare(w, maxSize, startOffset, firstNumber)) return Attach(w, fd);
  PlatformCloseFile(fd);
  return 0;
}

int EvtWriterAdd(EvtWriter* w, const EvtRecordIn* rec) {
  if (w->Failed) return 0;
  if (w->Current == 0) return Fail(w, "record numbers are used up", 0);
  RecordPlan plan;
  if (!PlanRecord(rec, &plan)) return Fail(w, "record too large or missing a text", 0);
  if (w->Size != 0 && static_cast<uint64_t>(plan.Length) + kEvtEofSize > w->Size - kEvtHeaderSize)
    return Fail(w, "record too large for the log", 0);
  if (w->Size == 0 && static_cast<uint64_t>(w->End) + plan.Length + kEvtEofSize > 0xFFFFFFFFu)
    return Fail(w, "log file would pass 4 GB", 0);
  if (!BuildRecord(w, rec, &plan, w->Current)) return 0;
  while (!Fits(w, plan.Length)) {
    if (!DropOldest(w)) return 0;
  }
  return Place(w, plan.Length);
}

int EvtWriterClose(EvtWriter* w) {
  int ok = !w->Failed;
  if (ok) {
    uint8_t eof[kEvtEofSize];
    uint8_t header[kEvtHeaderSize];
    uint32_t pos = w->End;
    PutEof(w, eof);
    ok = Emit(w, &pos, eof, kEvtEofSize) && Flush(w);
    PutHeader(w, header);
    ok = ok && WriteAt(w, 0, header, kEvtHeaderSize);
  }
  if (w->Fd >= 0 && PlatformCloseFile(w->Fd) != 0 && ok)
    ok = Fail(w, "can't write the log file", errno);
  Release(w);
  return ok;
}
