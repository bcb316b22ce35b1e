// Writes classic NT event log files (.evt) the way a server keeps them: the
// 0x30-byte header, records end to end, the end-of-file record, and for a
// circular log of fixed size the server's wrapping rules. Records stream
// through: memory holds one record and a write-back block, never the log.
#ifndef VELMAR_TOOLS_EVTWRITE_H
#define VELMAR_TOOLS_EVTWRITE_H

#include <cstddef>
#include <cstdint>

// File layout (little-endian):
//   header  0x30 bytes at offset 0
//   data    circular area [0x30, S): records, one EOF record, wasted space
// Record: fixed part of 0x38 bytes, source and computer names (UTF-16LE,
// terminated), padding to 4, SID, insertion strings (UTF-16LE, each
// terminated), data, padding to 4, the Length again. A record may be split at
// S and continue at 0x30, but its fixed part never is: a tail shorter than
// 0x38 is filled with the dword 0x00000027 and the record starts at 0x30.
// A record ending exactly at S is followed by the next one at 0x30; the EOF
// record (0x28 bytes) may be split like any record.

const uint32_t kEvtHeaderSize = 0x30;      // header, and first offset of the data area
const uint32_t kEvtFixedSize = 0x38;       // fixed part of a record
const uint32_t kEvtEofSize = 0x28;         // end-of-file record
const uint32_t kEvtSignature = 0x654C664C; // "LfLe"
const uint32_t kEvtTailFill = 0x00000027;  // fills a tail too short for a fixed part
const uint32_t kEvtFlagDirty = 0x1;        // header Flags: not closed cleanly
const uint32_t kEvtFlagWrap = 0x2;         // header Flags: the records have wrapped

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
  int Fd;                 // the file, -1 when closed
  uint32_t Size;          // physical size S of a circular log; 0 grows as needed
  uint32_t Begin;         // offset of the oldest record (= End when empty)
  uint32_t End;           // offset where the next record (or the EOF record) goes
  uint32_t Oldest;        // number of the oldest record, 0 when empty
  uint32_t Current;       // number the next record gets
  uint32_t FileEnd;       // growing log: bytes written so far, header included
  int Wrapped;            // a record or the tail fill has reached S
  int Failed;             // a write failed: the file is unusable
  uint8_t* Out;           // write-back block
  uint32_t OutPos;        // file offset of Out[0]
  uint32_t OutLen;        // bytes held in Out
  uint8_t* Rec;           // the record being built
  size_t RecCap;          // bytes allocated at Rec
  const char* Message;    // fixed text of the last failure
  int Errno;              // errno of the last failed system call, else 0
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

// As EvtWriterOpen, but with replace 0 the file is made afresh or not at
// all: when anything is at path already (a file, a folder, a link even when
// dangling) the open fails with w->Errno EEXIST and leaves it alone.
int EvtWriterCreate(EvtWriter* w, const char* path, uint32_t maxSize, uint32_t startOffset,
                    uint32_t firstNumber, int replace);

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
