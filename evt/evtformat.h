// The classic NT event log file (.evt), defined once for the reader in this
// folder, the writer of velmar-log and the tests, on every system: the
// sizes, fixed values and the offset of every field, pinned below so that a
// slip fails the build.
#ifndef VELMAR_EVT_EVTFORMAT_H
#define VELMAR_EVT_EVTFORMAT_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/winapi.h"

// File format. Little-endian throughout; S is the file's physical size. An
// offset stored in the header or the EOF record is a position in the file,
// one stored in an event record counts from the record's first byte. Texts
// are UTF-16LE, each ended by a 0 unit; times are unsigned seconds since
// 1970-01-01 00:00:00 UTC. kEvtHdrX, kEvtRecX and kEvtEofX below are the
// offsets of field X in the header, an event record and the EOF record.
//
// Header, kEvtHeaderSize bytes at offset 0:
//   OFFSET  SIZE  FIELD                DESCRIPTION
//     0x00     4  HeaderSize           kEvtHeaderSize
//     0x04     4  Signature            kEvtSignature
//     0x08     4  MajorVersion         kEvtVersion
//     0x0C     4  MinorVersion         kEvtVersion
//     0x10     4  StartOffset          oldest record (stale when dirty)
//     0x14     4  EndOffset            EOF record (stale when dirty)
//     0x18     4  CurrentRecordNumber  newest + 1 (stale when dirty)
//     0x1C     4  OldestRecordNumber   0 for an empty log (stale when dirty)
//     0x20     4  MaxSize              configured maximum; S rules the wrapping
//     0x24     4  Flags                kEvtFlagDirty, kEvtFlagWrap, 0x4 log full
//                                      written, 0x8 archive set
//     0x28     4  Retention            informational
//     0x2C     4  EndHeaderSize        kEvtHeaderSize
//
// Data area [kEvtHeaderSize, S), circular: the records from the oldest
// (Begin) to the newest, the EOF record at End, then wasted space up to Begin
// again. A record may run over S and go on at kEvtHeaderSize, but its fixed
// part never does: a tail shorter than kEvtFixedSize is filled with the dword
// kEvtTailFill and the record starts at kEvtHeaderSize. A record that ends
// exactly at S is followed by the next one at kEvtHeaderSize. The EOF record
// may run over S like a record, and may lie in such a tail.
//
// Event record, a fixed part of kEvtFixedSize bytes, then the variable part:
//   OFFSET  SIZE  FIELD                DESCRIPTION
//     0x00     4  Length               whole record, a multiple of 4
//     0x04     4  Reserved             kEvtSignature
//     0x08     4  RecordNumber         consecutive, oldest to newest
//     0x0C     4  TimeGenerated
//     0x10     4  TimeWritten
//     0x14     4  EventID              full 32 bits; the code is the low 16
//     0x18     2  EventType            1 error, 2 warning, 4 information, ...
//     0x1A     2  NumStrings           insertion strings from StringOffset on
//     0x1C     2  EventCategory
//     0x1E     2  ReservedFlags        junk in real files
//     0x20     4  ClosingRecordNumber  junk in real files
//     0x24     4  StringOffset
//     0x28     4  UserSidLength        0 when there is no SID
//     0x2C     4  UserSidOffset
//     0x30     4  DataLength
//     0x34     4  DataOffset
//     0x38   var  SourceName, ComputerName; then SID, strings, data and
//                 padding, located by the stored offsets, never by position
//    Len-4     4  Length again
//
// EOF record, kEvtEofSize bytes:
//   OFFSET  SIZE  FIELD                DESCRIPTION
//     0x00     4  RecordSizeBeginning  kEvtEofSize
//     0x04    16  One .. Four          kEvtEofMagic, four dwords
//     0x14     4  BeginRecord          oldest record; its own offset when empty
//     0x18     4  EndRecord            its own offset
//     0x1C     4  CurrentRecordNumber  newest + 1
//     0x20     4  OldestRecordNumber   0 when empty
//     0x24     4  RecordSizeEnd        kEvtEofSize

const uint32_t kEvtHeaderSize = 0x30;       // header; the data area starts here
const uint32_t kEvtFixedSize = 0x38;        // fixed part of an event record
const uint32_t kEvtEofSize = 0x28;          // the end-of-file record
const uint32_t kEvtSignature = 0x654C664C;  // "LfLe", in the header and every record
const uint32_t kEvtVersion = 1;             // MajorVersion and MinorVersion
const uint32_t kEvtTailFill = 0x00000027;   // fills a tail too short for a fixed part
const uint32_t kEvtFlagDirty = 0x1;         // Flags: not closed cleanly, the header may be stale
const uint32_t kEvtFlagWrap = 0x2;          // Flags: the records have wrapped
constexpr uint32_t kEvtEofMagic[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};

// Field offsets, as in the tables above.
const uint32_t kEvtHdrHeaderSize = 0x00;
const uint32_t kEvtHdrSignature = 0x04;
const uint32_t kEvtHdrMajorVersion = 0x08;
const uint32_t kEvtHdrMinorVersion = 0x0C;
const uint32_t kEvtHdrStartOffset = 0x10;
const uint32_t kEvtHdrEndOffset = 0x14;
const uint32_t kEvtHdrCurrentRecordNumber = 0x18;
const uint32_t kEvtHdrOldestRecordNumber = 0x1C;
const uint32_t kEvtHdrMaxSize = 0x20;
const uint32_t kEvtHdrFlags = 0x24;
const uint32_t kEvtHdrRetention = 0x28;
const uint32_t kEvtHdrEndHeaderSize = 0x2C;

const uint32_t kEvtRecLength = 0x00;
const uint32_t kEvtRecReserved = 0x04;
const uint32_t kEvtRecRecordNumber = 0x08;
const uint32_t kEvtRecTimeGenerated = 0x0C;
const uint32_t kEvtRecTimeWritten = 0x10;
const uint32_t kEvtRecEventID = 0x14;
const uint32_t kEvtRecEventType = 0x18;
const uint32_t kEvtRecNumStrings = 0x1A;
const uint32_t kEvtRecEventCategory = 0x1C;
const uint32_t kEvtRecReservedFlags = 0x1E;
const uint32_t kEvtRecClosingRecordNumber = 0x20;
const uint32_t kEvtRecStringOffset = 0x24;
const uint32_t kEvtRecUserSidLength = 0x28;
const uint32_t kEvtRecUserSidOffset = 0x2C;
const uint32_t kEvtRecDataLength = 0x30;
const uint32_t kEvtRecDataOffset = 0x34;

const uint32_t kEvtEofRecordSizeBeginning = 0x00;
const uint32_t kEvtEofOne = 0x04;  // the first of the four kEvtEofMagic dwords
const uint32_t kEvtEofBeginRecord = 0x14;
const uint32_t kEvtEofEndRecord = 0x18;
const uint32_t kEvtEofCurrentRecordNumber = 0x1C;
const uint32_t kEvtEofOldestRecordNumber = 0x20;
const uint32_t kEvtEofRecordSizeEnd = 0x24;

// Whether the fields at these offsets are dwords end to end from `from` up to
// `end`: no gap, no overlap, nothing left over.
constexpr bool EvtDwordsFill(std::initializer_list<uint32_t> offsets, uint32_t from, uint32_t end) {
  for (uint32_t off : offsets) {
    if (off != from) return false;
    from += 4;
  }
  return from == end;
}

static_assert(EvtDwordsFill({kEvtHdrHeaderSize, kEvtHdrSignature, kEvtHdrMajorVersion,
                             kEvtHdrMinorVersion, kEvtHdrStartOffset, kEvtHdrEndOffset,
                             kEvtHdrCurrentRecordNumber, kEvtHdrOldestRecordNumber, kEvtHdrMaxSize,
                             kEvtHdrFlags, kEvtHdrRetention, kEvtHdrEndHeaderSize},
                            0, kEvtHeaderSize),
              "the header is twelve dwords");
static_assert(EvtDwordsFill({kEvtEofRecordSizeBeginning}, 0, kEvtEofOne) &&
                  EvtDwordsFill({kEvtEofBeginRecord, kEvtEofEndRecord, kEvtEofCurrentRecordNumber,
                                 kEvtEofOldestRecordNumber, kEvtEofRecordSizeEnd},
                                kEvtEofOne + sizeof kEvtEofMagic, kEvtEofSize),
              "the EOF record is its size, the four magic dwords and five dwords");

// The read call hands records back in the file's own fixed layout.
static_assert(sizeof(EVENTLOGRECORD) == kEvtFixedSize, "the fixed part");
static_assert(offsetof(EVENTLOGRECORD, Length) == kEvtRecLength &&
                  offsetof(EVENTLOGRECORD, Reserved) == kEvtRecReserved &&
                  offsetof(EVENTLOGRECORD, RecordNumber) == kEvtRecRecordNumber &&
                  offsetof(EVENTLOGRECORD, TimeGenerated) == kEvtRecTimeGenerated &&
                  offsetof(EVENTLOGRECORD, TimeWritten) == kEvtRecTimeWritten &&
                  offsetof(EVENTLOGRECORD, EventID) == kEvtRecEventID &&
                  offsetof(EVENTLOGRECORD, EventType) == kEvtRecEventType &&
                  offsetof(EVENTLOGRECORD, NumStrings) == kEvtRecNumStrings &&
                  offsetof(EVENTLOGRECORD, EventCategory) == kEvtRecEventCategory &&
                  offsetof(EVENTLOGRECORD, ReservedFlags) == kEvtRecReservedFlags &&
                  offsetof(EVENTLOGRECORD, ClosingRecordNumber) == kEvtRecClosingRecordNumber &&
                  offsetof(EVENTLOGRECORD, StringOffset) == kEvtRecStringOffset &&
                  offsetof(EVENTLOGRECORD, UserSidLength) == kEvtRecUserSidLength &&
                  offsetof(EVENTLOGRECORD, UserSidOffset) == kEvtRecUserSidOffset &&
                  offsetof(EVENTLOGRECORD, DataLength) == kEvtRecDataLength &&
                  offsetof(EVENTLOGRECORD, DataOffset) == kEvtRecDataOffset,
              "each record field lies where the read call's record has it");

#endif  // VELMAR_EVT_EVTFORMAT_H
