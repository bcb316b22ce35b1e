// velmar-log dump: reads an .evt file through the platform's event log calls,
// exactly as the report reads a server's log, and prints each record as a CSV
// row. The file is opened as a saved log.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/winapi.h"
#include "tools/logtool.h"

namespace {

const DWORD kSeekForwards = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;

// Opens the file as a saved event log into *log. Returns 0, or 1 after a
// message.
int OpenDumpLog(const char* path, HANDLE* log) {
  *log = OpenBackupEventLogA(nullptr, path);
  if (*log != nullptr) return 0;
  fprintf(stderr, "velmar-log: can't open the event log %s (error %lu)\n", path,
          static_cast<unsigned long>(GetLastError()));
  return 1;
}

// The ANSI record in buf: source, computer and strings located and checked
// against its Length.
struct RecordView {
  const char* Source;       // source name
  const char* Computer;     // computer name
  const char* Strings;      // first insertion string
  uint32_t NumStrings;      // insertion strings
  const EVENTLOGRECORD* R;  // the fixed part
  const char* End;          // first byte after the record's text area
};

// Steps over one NUL-terminated text at *p, bounded by end.
int SkipText(const char** p, const char* end) {
  const char* nul = static_cast<const char*>(memchr(*p, 0, static_cast<size_t>(end - *p)));
  if (nul == nullptr) return 0;
  *p = nul + 1;
  return 1;
}

int ViewRecord(const uint8_t* buf, DWORD got, RecordView* v) {
  const EVENTLOGRECORD* r = reinterpret_cast<const EVENTLOGRECORD*>(buf);
  if (got < sizeof(EVENTLOGRECORD) || r->Length < sizeof(EVENTLOGRECORD) || r->Length > got ||
      r->StringOffset < sizeof(EVENTLOGRECORD) || r->StringOffset > r->Length)
    return 0;
  const char* end = reinterpret_cast<const char*>(buf) + r->Length;
  const char* p = reinterpret_cast<const char*>(buf) + sizeof(EVENTLOGRECORD);
  v->R = r;
  v->Source = p;
  if (!SkipText(&p, end)) return 0;
  v->Computer = p;
  if (!SkipText(&p, end)) return 0;
  v->Strings = p = reinterpret_cast<const char*>(buf) + r->StringOffset;
  v->NumStrings = r->NumStrings;
  for (uint32_t i = 0; i < v->NumStrings; ++i)
    if (!SkipText(&p, end)) return 0;
  v->End = end;
  return 1;
}

void PutTime(OutBuf* o, uint32_t t) {
  char text[kUtcTextSize];
  FormatUtc(t, text);
  OutBytes(o, text, kUtcTextSize - 1);
}

void PutRow(OutBuf* o, DWORD number, const RecordView* v) {
  OutNumber(o, number);
  OutChar(o, ',');
  PutTime(o, v->R->TimeGenerated);
  OutChar(o, ',');
  PutTime(o, v->R->TimeWritten);
  OutChar(o, ',');
  OutNumber(o, v->R->EventID);
  OutChar(o, ',');
  OutNumber(o, v->R->EventType);
  OutChar(o, ',');
  OutNumber(o, v->R->EventCategory);
  OutChar(o, ',');
  CsvPutField(o, v->Source, strlen(v->Source));
  OutChar(o, ',');
  CsvPutField(o, v->Computer, strlen(v->Computer));
  const char* s = v->Strings;
  for (uint32_t i = 0; i < v->NumStrings; ++i) {
    size_t n = strlen(s);
    OutChar(o, ',');
    CsvPutField(o, s, n);
    s += n + 1;
  }
  OutChar(o, '\n');
}

// The record buffer, grown when the layer asks for more room.
struct ReadBuf {
  uint8_t* Data;  // the record
  DWORD Cap;      // bytes at Data
};

// Reads record `number` into b. Returns the bytes read, 0 on failure.
DWORD ReadOne(HANDLE log, DWORD number, ReadBuf* b) {
  DWORD got = 0, needed = 0;
  if (ReadEventLogA(log, kSeekForwards, number, b->Data, b->Cap, &got, &needed)) return got;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= b->Cap) return 0;
  uint8_t* grown = static_cast<uint8_t*>(realloc(b->Data, needed));
  if (grown == nullptr) return 0;
  b->Data = grown;
  b->Cap = needed;
  got = 0;
  return ReadEventLogA(log, kSeekForwards, number, b->Data, b->Cap, &got, &needed) ? got : 0;
}

// Prints every record of the open log. Returns the exit status.
int DumpRecords(HANDLE log, const char* path, OutBuf* o) {
  DWORD oldest = 0, count = 0;
  if (!GetOldestEventLogRecord(log, &oldest) || !GetNumberOfEventLogRecords(log, &count))
    return CommandFail("can't read the record numbers of", path, 0);
  ReadBuf b = {static_cast<uint8_t*>(malloc(1 << 16)), 1 << 16};
  int status = b.Data == nullptr ? CommandFail("out of memory reading", path, 0) : 0;
  OutText(o, kCsvHeader);
  OutChar(o, '\n');
  for (DWORD i = 0; status == 0 && i < count && !o->Failed; ++i) {
    RecordView v;
    DWORD got = ReadOne(log, oldest + i, &b);
    if (got == 0 || !ViewRecord(b.Data, got, &v)) {
      fprintf(stderr, "velmar-log: can't read record %lu of %s (error %lu)\n",
              static_cast<unsigned long>(oldest + i), path,
              static_cast<unsigned long>(GetLastError()));
      status = 1;
    } else {
      PutRow(o, oldest + i, &v);
    }
  }
  free(b.Data);
  return status;
}

}  // namespace

int LogDump(const char* path, FILE* out) {
  int regular = PlatformIsRegularFile(path);
  if (regular < 0) return CommandFail("can't open", path, errno);
  if (regular == 0) return CommandFail("not a regular file:", path, 0);
  HANDLE log = nullptr;
  int status = OpenDumpLog(path, &log);
  OutBuf* o = static_cast<OutBuf*>(malloc(sizeof(OutBuf)));
  if (status == 0 && o == nullptr) status = CommandFail("out of memory reading", path, 0);
  if (status == 0) {
    OutInit(o, out);
    status = DumpRecords(log, path, o);
    if (!OutFlush(o) && status == 0) {
      if (o->Errno != EPIPE)
        fprintf(stderr, "velmar-log: can't write the CSV: %s\n", strerror(o->Errno));
      status = 1;
    }
  }
  free(o);
  if (log != nullptr) CloseEventLog(log);
  return status;
}
