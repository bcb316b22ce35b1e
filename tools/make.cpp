// velmar-log make: turns the CSV that dump prints back into an .evt file,
// row by row through the writer, so that dumping the result gives the same
// CSV. Record numbers come from the CSV and must follow one another.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "tools/evtwrite.h"
#include "tools/logtool.h"

namespace {

const size_t kFixedColumns = 8;  // number .. computer; strings follow
const size_t kMaxStrings = 0xFFFF;

int RowError(const char* csvPath, uint64_t line, const char* message) {
  fprintf(stderr, "velmar-log: %s line %llu: %s\n", csvPath, static_cast<unsigned long long>(line),
          message);
  return 0;
}

// A failure of the log file, with the system's reason when a call failed.
int FileError(const char* evtPath, const char* message, int err) {
  if (err != 0)
    fprintf(stderr, "velmar-log: %s: %s: %s\n", evtPath, message, strerror(err));
  else
    fprintf(stderr, "velmar-log: %s: %s\n", evtPath, message);
  return 0;
}

int WriterError(const char* evtPath, const EvtWriter* w) {
  return FileError(evtPath, w->Message, w->Errno);
}

// The header row must name the columns as dump does.
int CheckHeader(CsvReader* r, const char* csvPath) {
  int got = CsvReadRow(r);
  if (got < 0) return RowError(csvPath, r->Line, r->Message);
  const char* h = kCsvHeader;
  size_t i = 0;
  for (; got == 1 && i < r->FieldCount; ++i) {
    const char* f = CsvField(r, i);
    if (i == 0 && strncmp(f, "\xEF\xBB\xBF", 3) == 0) f += 3;  // a byte-order mark from an editor
    size_t n = strlen(f);
    if (strncmp(h, f, n) != 0 || (h[n] != ',' && h[n] != 0)) break;
    h += n + (h[n] == ',');
  }
  if (got == 1 && i == r->FieldCount && *h == 0) return 1;
  return RowError(csvPath, 1, "the first line must be the header row");
}

// Fills rec from the current row; strings point into the row.
int ParseRow(const CsvReader* r, EvtRecordIn* rec, uint32_t* number, const char** why) {
  uint64_t v[6];
  static const uint64_t kMax[6] = {0xFFFFFFFF, 0, 0, 0xFFFFFFFF, 0xFFFF, 0xFFFF};
  if (r->FieldCount < kFixedColumns) return *why = "fewer than 8 columns", 0;
  if (r->FieldCount - kFixedColumns > kMaxStrings) return *why = "more than 65535 strings", 0;
  if (!ParseNumber(CsvField(r, 0), kMax[0], &v[0]) || v[0] == 0)
    return *why = "bad record number", 0;
  if (!ParseUtc(CsvField(r, 1), &rec->TimeGenerated) ||
      !ParseUtc(CsvField(r, 2), &rec->TimeWritten))
    return *why = "bad time (YYYY-MM-DDTHH:MM:SSZ in UTC)", 0;
  for (int i = 3; i < 6; ++i)
    if (!ParseNumber(CsvField(r, static_cast<size_t>(i)), kMax[i], &v[i]))
      return *why = "bad event_id, type or category", 0;
  *number = static_cast<uint32_t>(v[0]);
  rec->EventID = static_cast<uint32_t>(v[3]);
  rec->EventType = static_cast<uint16_t>(v[4]);
  rec->EventCategory = static_cast<uint16_t>(v[5]);
  rec->SourceName = CsvField(r, 6);
  rec->ComputerName = CsvField(r, 7);
  rec->NumStrings = static_cast<uint16_t>(r->FieldCount - kFixedColumns);
  return 1;
}

// Strings of the current row, in an array grown to the widest row.
struct StringList {
  const char** Items;  // the strings
  size_t Cap;          // entries allocated
};

int PointStrings(const CsvReader* r, StringList* list, EvtRecordIn* rec) {
  size_t n = r->FieldCount - kFixedColumns;
  if (n > list->Cap) {
    const char** grown = static_cast<const char**>(realloc(list->Items, n * sizeof(const char*)));
    if (grown == nullptr) return 0;
    list->Items = grown;
    list->Cap = n;
  }
  for (size_t i = 0; i < n; ++i) list->Items[i] = CsvField(r, kFixedColumns + i);
  rec->Strings = list->Items;
  return 1;
}

// Where the log goes and how it is laid out.
struct MakeTarget {
  const char* Path;      // the .evt file
  uint32_t MaxSize;      // 0 grows; else the circular log's size
  uint32_t StartOffset;  // where the first record goes
  int Replace;           // an existing file may be replaced
  NewFile File;          // the file being written
  EvtWriter W;           // the writer on it
  int Opened;            // W is open
};

// Makes the file and starts the writer on it with firstNumber. Returns 1,
// or 0 after a message.
int StartLog(MakeTarget* t, uint32_t firstNumber) {
  int fd = NewFileOpen(&t->File, t->Path, t->Replace, 0644);
  if (fd < 0) return FileError(t->Path, "can't create the log file", errno);
  t->Opened = EvtWriterStart(&t->W, fd, t->MaxSize, t->StartOffset, firstNumber);
  return t->Opened ? 1 : WriterError(t->Path, &t->W);
}

// Writes the rows after the header; opens the writer at the first one.
int WriteRows(CsvReader* r, const char* csvPath, MakeTarget* t) {
  StringList list = {nullptr, 0};
  uint32_t expected = 0;
  int got, ok = 1;
  while (ok && (got = CsvReadRow(r)) == 1) {
    EvtRecordIn rec;
    memset(&rec, 0, sizeof rec);
    uint32_t number;
    const char* why = nullptr;
    if (!ParseRow(r, &rec, &number, &why)) {
      ok = RowError(csvPath, r->Line, why);
    } else if (!PointStrings(r, &list, &rec)) {
      ok = RowError(csvPath, r->Line, "out of memory");
    } else if (t->Opened && number != expected) {
      ok = RowError(csvPath, r->Line, "record number does not follow the one before");
    } else if (!t->Opened && !StartLog(t, number)) {
      ok = 0;
    } else if (!EvtWriterAdd(&t->W, &rec)) {
      ok = t->W.Failed ? WriterError(t->Path, &t->W) : RowError(csvPath, r->Line, t->W.Message);
    }
    expected = number + 1;
  }
  if (ok && got < 0) ok = RowError(csvPath, r->Line, r->Message);
  free(list.Items);
  return ok;
}

// Completes the log and puts it in place. Returns 1, or 0 after a message.
int FinishLog(MakeTarget* t) {
  if (!t->Opened && !StartLog(t, 1)) return 0;  // a CSV without rows: an empty log
  t->Opened = 0;
  if (!EvtWriterClose(&t->W)) return WriterError(t->Path, &t->W);
  return NewFilePlace(&t->File) ? 1 : FileError(t->Path, "can't put the log file in place", errno);
}

}  // namespace

int CommandFail(const char* what, const char* path, int err) {
  if (err != 0)
    fprintf(stderr, "velmar-log: %s %s: %s\n", what, path, strerror(err));
  else
    fprintf(stderr, "velmar-log: %s %s\n", what, path);
  return 1;
}

int RefuseExisting(const char* path) {
  if (!PlatformPathTaken(path)) return 0;  // a link is refused, not followed
  fprintf(stderr, "velmar-log: %s exists; --force replaces it\n", path);
  return 1;
}

int LogMake(const char* csvPath, const char* evtPath, uint32_t maxSize, uint32_t startOffset,
            int replace) {
  const char* problem = EvtLayoutProblem(maxSize, startOffset);
  if (problem != nullptr) {
    fprintf(stderr, "velmar-log: %s\n", problem);
    return 1;
  }
  // Refused before any CSV is read, so standard input is left unread.
  if (!replace && RefuseExisting(evtPath)) return 1;
  CsvReader r;
  if (!CsvOpen(&r, csvPath)) return CommandFail("can't open", csvPath, errno);
  MakeTarget t;
  memset(&t, 0, sizeof t);
  t.Path = evtPath;
  t.MaxSize = maxSize;
  t.StartOffset = startOffset;
  t.Replace = replace;
  NewFilesGuard();
  int ok = CheckHeader(&r, csvPath) && WriteRows(&r, csvPath, &t) && FinishLog(&t);
  if (t.Opened) EvtWriterClose(&t.W);
  // No half-written log is left behind, and a replaced one stays as it was.
  if (!ok) NewFileDiscard(&t.File);
  NewFilesUnguard();
  CsvClose(&r);
  return ok ? 0 : 1;
}
