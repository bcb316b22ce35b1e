// The commands of velmar-log and the pieces they share: UTC time texts, the
// CSV reader, and the buffered output with its CSV fields (answers/outbuf.h,
// shared with the report's downloads). Commands report
// their own failures on standard error as "velmar-log: ..." and return the
// process's exit status.
#ifndef VELMAR_TOOLS_LOGTOOL_H
#define VELMAR_TOOLS_LOGTOOL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "accounting/acct.h"
#include "answers/outbuf.h"

// The CSV header row of dump and make.
extern const char* const kCsvHeader;

// ---- UTC time texts: "YYYY-MM-DDTHH:MM:SSZ" ----

const size_t kUtcTextSize = 21;  // 20 characters and a terminator

// Writes t as "YYYY-MM-DDTHH:MM:SSZ" (terminated) into out.
void FormatUtc(uint32_t t, char* out);

// Reads exactly that form (a real date and time no later than
// 2106-02-07T06:28:15Z). Returns 1 with *t set, else 0.
int ParseUtc(const char* text, uint32_t* t);

// Reads a decimal number of at most `max` (digits only). Returns 1 or 0.
int ParseNumber(const char* text, uint64_t max, uint64_t* value);

// ---- CSV reader ----

// Reads rows one at a time; memory holds one row.
struct CsvReader {
  FILE* File;           // the input
  int OwnsFile;         // File was opened here and is closed by CsvClose
  char* Text;           // the row's fields, each NUL-terminated
  size_t TextLen;       // bytes used in Text
  size_t TextCap;       // bytes allocated at Text
  size_t* Fields;       // offset of each field in Text
  size_t FieldCount;    // fields in the row
  size_t FieldCap;      // entries allocated at Fields
  uint64_t Line;        // line where the current row starts
  uint64_t NextLine;    // line where the next row starts
  const char* Message;  // fixed text of the last failure
};

// Opens path ("-" is standard input). Returns 1, or 0 with Message set.
int CsvOpen(CsvReader* r, const char* path);

// Reads the next row. Returns 1 with the row, 0 at the end of the input,
// -1 with Message set for bad CSV (unclosed quotes, a quote inside an
// unquoted field, text after a closing quote, a lone CR, a NUL byte) or a
// read error.
int CsvReadRow(CsvReader* r);

// Field i of the current row (i < FieldCount).
const char* CsvField(const CsvReader* r, size_t i);

void CsvClose(CsvReader* r);

// ---- files written whole or not at all ----

// A file that make or sample writes in the place of Path. It is written
// beside Path under a unique name and put at Path only once complete: with
// replace over what is there, without only where nothing is (so nothing
// there is touched), and a run that fails, or that a signal ends, leaves
// no part of it and the old file as it was. The signal guard (installed by
// the command) knows the unique name until the file is in place.
// Something at Path that is no regular file (a device such as /dev/null)
// is opened with replace and written as it is. A failed run removes what
// it made, and only that.
struct NewFile {
  const char* Path;  // where the file belongs
  char Name[4120];   // the name it is written under: Path.XXXXXX.tmp, or Path
  int Made;          // a file made here is at Name; NewFileDiscard removes it
  int Rename;        // Name is put at Path by NewFilePlace
  int Replace;       // ... in the place of what is there
  int Guard;         // 1 + the signal guard's slot for Name; 0 for none
};

// Makes the file for path with the permission bits `permissions` (before
// the umask). Returns its descriptor, open for reading and writing, for the
// caller to close; or -1 with errno set (EEXIST without replace when
// anything is at path). Call NewFileDiscard after a failure too.
int NewFileOpen(NewFile* f, const char* path, int replace, int permissions);

// Puts the complete and closed file in place. Returns 1, or 0 with errno
// set (EEXIST without replace when something came to path meanwhile: it is
// kept, and NewFileDiscard removes the file).
int NewFilePlace(NewFile* f);

// Removes the file NewFileOpen made, if any, for a run that failed; safe on
// a NewFile set to zeros.
void NewFileDiscard(NewFile* f);

// Before a command makes its new files: the signal guard takes over the
// signals that end a run (signalguard.h), so that one of them removes what
// is still under a temporary name. NewFilesUnguard, once the files are in
// place or discarded, puts the signals' actions back.
void NewFilesGuard(void);
void NewFilesUnguard(void);

// ---- the commands ----

// Prints the records of the .evt file at path as CSV on out, read through
// the platform's event log calls. Returns 0, or 1 after a message.
int LogDump(const char* path, FILE* out);

// Says on standard error "velmar-log: WHAT PATH", followed by ": " and the
// text of err when err is not 0. Returns 1, a command's failure status.
int CommandFail(const char* what, const char* path, int err);

// Says on standard error "velmar-log: TZ=TEXT: no such zone file; the C
// library takes it as UTC" when tz names a zone by its file and no such
// file exists (as the report says it); nothing for null or a POSIX rule.
void WarnMissingZone(const char* tz);

// Whether anything is at path already (a file, a folder, a link even when
// dangling): then it says so on standard error, naming path, and returns 1.
// make and sample write over such a thing only when told to replace it.
int RefuseExisting(const char* path);

// Writes the .evt file at evtPath from the CSV at csvPath. maxSize 0 makes
// a log that grows; else a circular log of that size, its first record at
// startOffset, dropping oldest records as a server does. An existing file
// is replaced only when replace is 1; else it is left as it was. Returns 0,
// or 1 after a message (and no half-written file).
int LogMake(const char* csvPath, const char* evtPath, uint32_t maxSize, uint32_t startOffset,
            int replace);

// Settings of the sample command.
struct SampleOptions {
  uint32_t Days;     // days of traffic up to Now
  uint32_t Ports;    // dial-up ports COM1..COMn of each server
  uint64_t Seed;     // seed of the generator
  int64_t Now;       // the clock: the last moment of the sample
  int Replace;       // existing files may be replaced
  uint32_t Servers;  // servers (NAS) in the pool, at least 1
  AcctKind Format;   // kAcctEvt, or the accounting format to write
};

// Writes DIR/SysEvent.Evt and DIR/RasPorts.txt for one server, or for a
// pool DIR/RASnn/SysEvent.Evt and DIR/RASnn/RasPorts.txt for each; for an
// accounting format, AcctSample's files. The same options give the same
// bytes (for the same TZ). Without Replace, when any file exists none is
// written. Returns 0, or 1 after a message.
int LogSample(const char* dir, const SampleOptions* opt);

// The sample's traffic as the accounting server of the pool logs it, into
// the folder dir (made already): DIR/detail, DIR/nps.log, DIR/ias.log or
// DIR/nps-xml.log as opt->Format says, and DIR/NasPorts.txt, one
// "NAS PORTCOUNT" line per server. Returns 0, or 1 after a message, having
// removed what it made.
int AcctSample(const char* dir, const SampleOptions* opt);

#endif  // VELMAR_TOOLS_LOGTOOL_H
