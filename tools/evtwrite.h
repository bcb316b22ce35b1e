// Writes classic NT event log files (.evt) the way a server keeps them: the
// 0x30-byte header, records end to end, the end-of-file record, and for a
// circular log of fixed size the server's wrapping rules. Records stream
// through: memory holds one record and a write-back block, never the log.
#ifndef VELMAR_TOOLS_EVTWRITE_H
#define VELMAR_TOOLS_EVTWRITE_H

#include <cstddef>
#include <cstdint>

#include "evt/evtformat.h"

// The file layout is in evt/evtformat.h. A record is written as a
// server writes it: fixed part, source and computer names, padding to 4,
// SID, insertion strings, data, padding to 4, the Length again.

// One record to write. Texts are UTF-8 (the 8-bit code page) and are stored
// as UTF-16LE; the writer copies everything before EvtWriterAdd returns.
struct EvtRecordIn {
  uint32_t TimeGenerated;      // seconds since 1970-01-01 UTC
  uint32_t TimeWritten;        // seconds since 1970-01-01 UTC
  uint32_t EventID;            // full 32 bits: severity, facility, code
  uint16_t EventType;          // 1 error, 2 warning, 4 information, ...
  uint16_t EventCategory;      // source-specific category
  const char* SourceName;      // NUL-terminated, not null
  const char* ComputerName;    // NUL-terminated, not null
  const char* const* Strings;  // NumStrings NUL-terminated texts
  uint16_t NumStrings;         // number of insertion strings
  const uint8_t* UserSid;      // SID bytes, null when UserSidLength is 0
  uint32_t UserSidLength;      // 0 for no SID
  const uint8_t* Data;         // binary data, null when DataLength is 0
  uint32_t DataLength;         // bytes of binary data
};

// An open writer. Fields are the writer's own; read Message after a failure.
struct EvtWriter {
  int Fd;               // the file, -1 when closed
  uint32_t Size;        // physical size S of a circular log; 0 grows as needed
  uint32_t Begin;       // offset of the oldest record (= End when empty)
  uint32_t End;         // offset where the next record (or the EOF record) goes
  uint32_t Oldest;      // number of the oldest record, 0 when empty
  uint32_t Current;     // number the next record gets
  uint32_t FileEnd;     // growing log: bytes written so far, header included
  int Wrapped;          // a record or the tail fill has reached S
  int Failed;           // a write failed: the file is unusable
  uint8_t* Out;         // write-back block
  uint32_t OutPos;      // file offset of Out[0]
  uint32_t OutLen;      // bytes held in Out
  uint8_t* Rec;         // the record being built
  size_t RecCap;        // bytes allocated at Rec
  const char* Message;  // fixed text of the last failure
  int Errno;            // errno of the last failed system call, else 0
};

// Creates (or truncates) the file at path and prepares an empty log.
// maxSize 0 makes a log that grows as records come, as a new server log
// does before it fills; otherwise the file is exactly maxSize bytes (a
// multiple of 4, at least 0x90) and wraps, dropping whole oldest records.
// startOffset is where the first record goes (a multiple of 4 from 0x30,
// below maxSize when given); firstNumber (at least 1) is its record number.
// Returns 1, or 0 with w->Message set and nothing left open; call
// EvtWriterClose only after a successful open.
int EvtWriterOpen(EvtWriter* w, const char* path, uint32_t maxSize, uint32_t startOffset,
                  uint32_t firstNumber);

// As EvtWriterOpen, on a file the caller has made: fd, open for reading
// and writing, and empty. The writer takes it over: EvtWriterClose closes
// it, and so does a failed start (the caller removes the file).
int EvtWriterStart(EvtWriter* w, int fd, uint32_t maxSize, uint32_t startOffset,
                   uint32_t firstNumber);

// Appends one record numbered w->Current, first dropping oldest records of a
// circular log until it and an EOF record fit. Returns 1, or 0 with
// w->Message set: a record that can never fit or a bad argument leaves the
// log unchanged; a failed write leaves the writer failed (Close reports it).
int EvtWriterAdd(EvtWriter* w, const EvtRecordIn* rec);

// Writes the EOF record and a clean header (not dirty; WRAP once wrapped),
// closes the file and releases the writer. Returns 1 when the file is
// complete, 0 with w->Message set when this or an earlier write failed.
int EvtWriterClose(EvtWriter* w);

// The reason maxSize and startOffset cannot make a log (as EvtWriterOpen
// would refuse them), or null when they can.
const char* EvtLayoutProblem(uint32_t maxSize, uint32_t startOffset);

// Bytes the record takes in the file (a multiple of 4, trailing Length
// included), or 0 when it cannot be stored (too large, or a bad text).
uint32_t EvtRecordLength(const EvtRecordIn* rec);

#endif  // VELMAR_TOOLS_EVTWRITE_H
