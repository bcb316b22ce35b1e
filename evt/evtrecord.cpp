// A record of the file rebuilt as the ANSI read call hands it back: fixed
// part copied, names and insertion strings in 8-bit text with one NUL each,
// SID and data copied, padding to 4 bytes, the trailing Length, and the
// offsets recomputed. Nothing outside the record image is ever looked at.
#include <cstdlib>
#include <cstring>

#include "evt/evtfile.h"

namespace {

// Where the rebuilt record goes: every byte is counted, only bytes that fit
// the caller's buffer are written.
struct Out {
  uint8_t* Buf;  // the caller's buffer
  uint32_t Cap;  // its size
  uint64_t Pos;  // bytes of the rebuilt record so far
};

bool Fits(const Out* o, uint64_t n) {
  return o->Buf != nullptr && n > 0 && o->Pos + n <= o->Cap;
}

void Put(Out* o, const void* p, uint64_t n) {
  if (Fits(o, n)) std::memcpy(o->Buf + o->Pos, p, n);
  o->Pos += n;
}

void PutZeros(Out* o, uint64_t n) {
  if (Fits(o, n)) std::memset(o->Buf + o->Pos, 0, n);
  o->Pos += n;
}

void SetLe32(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

// Units of the UTF-16LE string at rec[at..end): up to its 0 unit, or to end
// when it has none there (cut).
uint32_t TextUnits(const uint8_t* rec, uint32_t at, uint32_t end) {
  uint32_t units = 0;
  while (at + 2 <= end && (rec[at] | rec[at + 1]) != 0) at += 2, ++units;
  return units;
}

// Whether the UTF-16LE units at s are all ASCII, each then its own byte.
bool AsciiText(const uint8_t* s, uint32_t units) {
  for (uint32_t k = 0; k < units; ++k) {
    if (s[2 * k + 1] != 0 || s[2 * k] >= 0x80) return false;
  }
  return true;
}

// Puts `units` UTF-16LE units from s as 8-bit text with its NUL. Names and
// insertion strings are nearly always ASCII, which needs no conversion.
bool PutText(EvtWide* wide, Out* o, const uint8_t* s, uint32_t units) {
  if (units > 0 && AsciiText(s, units)) {
    if (Fits(o, units)) {
      for (uint32_t k = 0; k < units; ++k) o->Buf[o->Pos + k] = s[2 * k];
    }
    o->Pos += units;
  } else if (units > 0) {
    if (wide->Cap < units) {
      WCHAR* grown = static_cast<WCHAR*>(
          std::realloc(wide->Units, static_cast<size_t>(units) * sizeof(WCHAR)));
      if (grown == nullptr) return false;
      wide->Units = grown, wide->Cap = units;
    }
    WCHAR* w = wide->Units;
    for (uint32_t k = 0; k < units; ++k) w[k] = static_cast<WCHAR>(s[2 * k] | s[2 * k + 1] << 8);
    int n =
        WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    if (Fits(o, static_cast<uint64_t>(n))) {
      WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(units),
                          reinterpret_cast<char*>(o->Buf) + o->Pos, n, nullptr, nullptr);
    }
    o->Pos += static_cast<uint64_t>(n);
  }
  PutZeros(o, 1);
  return true;
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// Copies the leading run of whole groups of four ASCII units (none of them
// 0) at rec[p..end) as bytes to dst, four at a time; returns the units
// copied. The group holding a terminator or another unit is left to the
// caller's loop. (Little-endian hosts: a group is one 64-bit word, each
// unit a 16-bit lane with its low byte first.)
uint32_t PutAsciiGroups(uint8_t* dst, const uint8_t* rec, uint32_t p, uint32_t end) {
  const uint64_t kLanes = 0x0001000100010001ull;
  uint32_t k = 0;
  for (; p + 8 <= end; p += 8, k += 4) {
    uint64_t w;
    std::memcpy(&w, rec + p, 8);
    bool ascii = (w & 0xFF80FF80FF80FF80ull) == 0;
    bool zero = ((w - kLanes) & ~w & (kLanes << 15)) != 0;
    if (!ascii || zero) break;
    uint64_t x = (w | (w >> 8)) & 0x0000FFFF0000FFFFull;  // the low bytes, two by two
    uint32_t four = static_cast<uint32_t>(x | (x >> 16));
    std::memcpy(dst + k, &four, 4);
  }
  return k;
}
#else
uint32_t PutAsciiGroups(uint8_t*, const uint8_t*, uint32_t, uint32_t) {
  return 0;
}
#endif

// The usual case in one pass: an ASCII string that fits the caller's buffer
// even at its longest is copied while its end is looked for. False, with
// nothing counted, when that does not apply; bytes already copied then lie
// where the general path puts the same string's text.
bool PutAsciiString(Out* o, const uint8_t* rec, uint32_t* at, uint32_t end) {
  uint32_t from = *at;
  if (o->Buf == nullptr || from >= end || o->Pos + (end - from) / 2 + 1 > o->Cap) return false;
  uint8_t* dst = o->Buf + o->Pos;
  uint32_t k = PutAsciiGroups(dst, rec, from, end);
  uint32_t p = from + 2 * k;
  for (; p + 2 <= end; p += 2, ++k) {
    uint8_t lo = rec[p], hi = rec[p + 1];
    if ((lo | hi) == 0) break;
    if (hi != 0 || lo >= 0x80) return false;
    dst[k] = lo;
  }
  dst[k] = 0;
  o->Pos += k + 1;
  uint64_t next = static_cast<uint64_t>(p) + 2;
  *at = next < end ? static_cast<uint32_t>(next) : end;
  return true;
}

// Puts the string at rec[*at..end) and moves *at past its terminator (to
// end when it was cut there).
bool PutString(EvtWide* wide, Out* o, const uint8_t* rec, uint32_t* at, uint32_t end) {
  if (PutAsciiString(o, rec, at, end)) return true;
  uint32_t units = TextUnits(rec, *at, end);
  if (!PutText(wide, o, rec + *at, units)) return false;
  uint64_t next = static_cast<uint64_t>(*at) + 2 * static_cast<uint64_t>(units) + 2;
  *at = next < end ? static_cast<uint32_t>(next) : end;
  return true;
}

// Whether [off, off + n) lies in the variable part [kEvtFixedSize, end).
bool Inside(uint32_t off, uint32_t n, uint32_t end) {
  return off >= kEvtFixedSize && static_cast<uint64_t>(off) + n <= end;
}

// The rebuilt record's offsets, patched into the fixed part at the end.
struct Layout {
  uint32_t SidOffset;     // where the SID went
  uint32_t StringOffset;  // where the first insertion string went
  uint32_t DataOffset;    // where the data went
};

// Names, SID, strings and data in their rebuilt order.
bool PutBody(EvtWide* wide, Out* o, const uint8_t* rec, uint32_t end, Layout* l) {
  uint32_t at = kEvtFixedSize;
  if (!PutString(wide, o, rec, &at, end) || !PutString(wide, o, rec, &at, end)) return false;
  uint32_t sidLen = EvtLe32(rec + kEvtRecUserSidLength);
  uint32_t dataLen = EvtLe32(rec + kEvtRecDataLength);
  l->SidOffset = static_cast<uint32_t>(o->Pos);
  if (sidLen > 0) Put(o, rec + EvtLe32(rec + kEvtRecUserSidOffset), sidLen);
  l->StringOffset = static_cast<uint32_t>(o->Pos);
  uint32_t count = EvtLe16(rec + kEvtRecNumStrings);
  at = EvtLe32(rec + kEvtRecStringOffset);
  // Strings missing at the record's end become empty ones: NumStrings
  // strings always follow, and none reaches past the record.
  for (; count > 0 && at < end; --count) {
    if (!PutString(wide, o, rec, &at, end)) return false;
  }
  PutZeros(o, count);
  l->DataOffset = static_cast<uint32_t>(o->Pos);
  if (dataLen > 0) Put(o, rec + EvtLe32(rec + kEvtRecDataOffset), dataLen);
  return true;
}

}  // namespace

DWORD EvtRebuild(EvtWide* wide, const uint8_t* rec, uint32_t len, uint8_t* buf, uint32_t cap,
                 uint32_t* size) {
  *size = 0;
  uint32_t end = len - 4;  // the variable part ends at the trailing Length
  uint32_t sidLen = EvtLe32(rec + kEvtRecUserSidLength);
  uint32_t dataLen = EvtLe32(rec + kEvtRecDataLength);
  uint32_t strOff = EvtLe32(rec + kEvtRecStringOffset);
  if ((sidLen > 0 && !Inside(EvtLe32(rec + kEvtRecUserSidOffset), sidLen, end)) ||
      (dataLen > 0 && !Inside(EvtLe32(rec + kEvtRecDataOffset), dataLen, end)) ||
      (EvtLe16(rec + kEvtRecNumStrings) > 0 && !Inside(strOff, 0, end))) {
    return ERROR_EVENTLOG_FILE_CORRUPT;
  }
  Out o = {buf, cap, 0};
  Layout l;
  Put(&o, rec, kEvtFixedSize);
  if (!PutBody(wide, &o, rec, end, &l)) return ERROR_EVENTLOG_FILE_CORRUPT;
  PutZeros(&o, (4 - o.Pos % 4) % 4);
  uint64_t total = o.Pos + 4;
  if (total > 0xFFFFFFFFull) return ERROR_EVENTLOG_FILE_CORRUPT;
  *size = static_cast<uint32_t>(total);
  if (total > cap) return ERROR_INSUFFICIENT_BUFFER;
  SetLe32(buf + o.Pos, static_cast<uint32_t>(total));
  SetLe32(buf + kEvtRecLength, static_cast<uint32_t>(total));
  SetLe32(buf + kEvtRecStringOffset, l.StringOffset);
  SetLe32(buf + kEvtRecUserSidOffset, l.SidOffset);
  SetLe32(buf + kEvtRecDataOffset, l.DataOffset);
  return ERROR_SUCCESS;
}
