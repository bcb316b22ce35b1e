// Buffered output in big blocks, and RFC 4180 fields: what velmar-log's
// commands and the report's downloads write their answers through. A failed
// write is remembered, with its errno, for the caller to report once.
#ifndef VELMAR_ANSWERS_OUTBUF_H
#define VELMAR_ANSWERS_OUTBUF_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct OutBuf {
  FILE* File;          // where the bytes go
  char Data[1 << 16];  // pending bytes
  size_t Len;          // bytes pending in Data
  int Failed;          // a write failed; errno kept in Errno
  int Errno;           // errno of the failed write
  int Terminal;        // texts in text tables go to a terminal: controls shown as '?'
};

// Starts an empty buffer that writes to file (Terminal 0).
void OutInit(OutBuf* o, FILE* file);
// Adds n bytes, a terminated text, a byte, or v in decimal.
void OutBytes(OutBuf* o, const char* s, size_t n);
void OutText(OutBuf* o, const char* s);
void OutChar(OutBuf* o, char c);
void OutNumber(OutBuf* o, uint64_t v);
// Writes what is pending. Returns 1, or 0 when any write failed.
int OutFlush(OutBuf* o);

// Writes one CSV field: as it stands, or in quotes with quotes doubled when
// it holds a comma, a quote, a CR or an LF.
void CsvPutField(OutBuf* o, const char* s, size_t n);

#endif  // VELMAR_ANSWERS_OUTBUF_H
