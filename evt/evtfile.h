// Reading a classic NT event log file (.evt) by record number, behind the
// event log stand-ins. The end-of-file record, not the header, says where the
// log lies; every length, offset and count from the file is checked before
// use, and a record is found in a few small reads, never by a whole-file scan.
// The file layout is in evt/evtformat.h.
#ifndef VELMAR_EVT_EVTFILE_H
#define VELMAR_EVT_EVTFILE_H

#include <cstddef>
#include <cstdint>

#include "evt/evtformat.h"
#include "platform/winapi.h"

const uint32_t kEvtBlockSize = 64 * 1024;  // read-ahead block for reading on
const uint32_t kEvtProbeSize = 4 * 1024;   // one read while searching

// What the reader has asked of the file system for one open log: tests
// check with it that finding a record is a few small reads and that reading
// record after record is served from the read-ahead block.
struct EvtStats {
  uint64_t Reads;      // whole reads asked of the file (each one call unless it ends first)
  uint64_t BytesRead;  // bytes those reads returned
};

// A scratch buffer for one string in UTF-16 units, on its way to the
// code-page call; it grows to the longest string met and is kept for the next.
struct EvtWide {
  WCHAR* Units;  // null until a string needs it
  size_t Cap;    // units allocated at Units
};

// One open log: the file, where its records lie and the read-ahead block.
// Memory is the block plus one record image and one string, whatever the
// size of the log.
struct EvtFile {
  uint32_t Magic;     // kEvtMagic while open, to tell a log handle apart
  int Fd;             // the open file, read-only
  uint32_t Size;      // physical size S of the file
  uint32_t Begin;     // offset of the oldest record (from the EOF record)
  uint32_t End;       // offset of the EOF record
  uint32_t Current;   // number the next record would get
  uint32_t Oldest;    // number of the oldest record, 0 when empty
  uint32_t Flags;     // the header's Flags as found at open (dirty, wrapped, ...)
  uint32_t Live;      // bytes from Begin to End along the circle
  uint8_t* Block;     // kEvtBlockSize bytes of the file
  uint32_t BlockOff;  // file offset of Block[0]
  uint32_t BlockLen;  // bytes of Block that hold file data
  uint32_t Fill;      // bytes one refill asks for: a probe or a whole block
  uint8_t* Image;     // a record that does not lie whole in the block
  size_t ImageCap;    // bytes allocated at Image
  EvtWide Wide;       // one string in UTF-16 units, for the code-page call
  bool HaveLast;      // LastNum and LastPos hold a checked record
  uint32_t LastNum;   // number of the last record found
  uint32_t LastPos;   // its offset, so the next one is a step, not a search
  EvtStats Stats;     // reads made so far
};

const uint32_t kEvtMagic = 0x4C6F6748;  // marks a live EvtFile

// Opens the .evt file at path and finds its EOF record. Returns
// ERROR_SUCCESS with *out owned by the caller (release with EvtClose), or
// PlatformOpenRegular's codes for a file that can't be opened or is no
// regular file, ERROR_BAD_FORMAT (no log header: not an event log file),
// ERROR_EVENTLOG_FILE_CORRUPT (a log's header, but a size, header or EOF
// record that can't be right; PlatformErrorDetail says which),
// ERROR_READ_FAULT or ERROR_NOT_ENOUGH_MEMORY.
DWORD EvtOpen(const char* path, EvtFile** out);

// Closes the file and releases everything of f (null is ignored).
void EvtClose(EvtFile* f);

// Rebuilds record `number` in the EVENTLOGRECORD layout with 8-bit strings
// into buf (cap bytes; nothing is written past cap). Returns ERROR_SUCCESS
// with *size the record's size; ERROR_INSUFFICIENT_BUFFER with *size the size
// it needs; ERROR_INVALID_PARAMETER below the oldest and ERROR_HANDLE_EOF at
// or past Current, with *size 0; ERROR_EVENTLOG_FILE_CORRUPT when the record
// cannot be found or fails its checks.
DWORD EvtReadRecord(EvtFile* f, uint32_t number, uint8_t* buf, uint32_t cap, uint32_t* size);

// Number of records in the log (0 when empty).
uint32_t EvtCount(const EvtFile* f);

// ---- Inside the file layer --------------------------------------------

// Bytes [off, off + len) of the file (len <= kEvtBlockSize), from the block,
// which one read of at least f->Fill bytes refills when they are not there.
// Null when they lie outside the file or cannot be read. The pointer is good
// until the next call.
const uint8_t* EvtBytes(EvtFile* f, uint32_t off, uint32_t len);

// Copies len bytes of the data area from off (in [0x30, S)) to dst, going on
// at 0x30 when S is reached; len must not exceed S - 0x30. False on a failed
// read.
bool EvtCopy(EvtFile* f, uint32_t off, uint32_t len, uint8_t* dst);

// Rebuilds the record image rec (len bytes, already checked: signature,
// Length, trailing copy) in the ANSI layout into buf; results as
// EvtReadRecord. Strings that run to the record's end are cut there, strings
// beyond it are empty; an offset or length reaching outside is corruption.
// A string that is not ASCII goes through wide, which grows as needed.
DWORD EvtRebuild(EvtWide* wide, const uint8_t* rec, uint32_t len, uint8_t* buf, uint32_t cap,
                 uint32_t* size);

// Little-endian fields.
inline uint32_t EvtLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint16_t EvtLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

#endif  // VELMAR_EVT_EVTFILE_H
