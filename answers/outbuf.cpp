// The output buffer: bytes gathered in a 64 kB block and written a block at
// a time; the first failed write stops the writing and keeps its errno.
#include "answers/outbuf.h"

#include <cerrno>
#include <cstring>

void OutInit(OutBuf* o, FILE* file) {
  o->File = file;
  o->Len = 0;
  o->Failed = 0;
  o->Errno = 0;
  o->Terminal = 0;
}

static void OutDrain(OutBuf* o) {
  if (o->Len != 0 && !o->Failed && fwrite(o->Data, 1, o->Len, o->File) != o->Len) {
    o->Failed = 1;
    o->Errno = errno;
  }
  o->Len = 0;
}

void OutBytes(OutBuf* o, const char* s, size_t n) {
  while (n > 0) {
    if (o->Len == sizeof o->Data) OutDrain(o);
    size_t chunk = sizeof o->Data - o->Len;
    if (chunk > n) chunk = n;
    memcpy(o->Data + o->Len, s, chunk);
    o->Len += chunk, s += chunk, n -= chunk;
  }
}

void OutText(OutBuf* o, const char* s) {
  OutBytes(o, s, strlen(s));
}

void OutChar(OutBuf* o, char c) {
  if (o->Len == sizeof o->Data) OutDrain(o);
  o->Data[o->Len++] = c;
}

void OutNumber(OutBuf* o, uint64_t v) {
  char digits[20];
  int n = 0;
  do {
    digits[sizeof digits - 1 - n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  OutBytes(o, digits + sizeof digits - n, static_cast<size_t>(n));
}

int OutFlush(OutBuf* o) {
  OutDrain(o);
  if (!o->Failed && fflush(o->File) != 0) {
    o->Failed = 1;
    o->Errno = errno;
  }
  return !o->Failed;
}

void CsvPutField(OutBuf* o, const char* s, size_t n) {
  size_t i = 0;
  while (i < n && s[i] != ',' && s[i] != '"' && s[i] != '\r' && s[i] != '\n') ++i;
  if (i == n) {
    OutBytes(o, s, n);
    return;
  }
  OutChar(o, '"');
  for (size_t start = 0;;) {
    const char* q = static_cast<const char*>(memchr(s + start, '"', n - start));
    size_t end = q == nullptr ? n : static_cast<size_t>(q - s) + 1;
    OutBytes(o, s + start, end - start);
    if (q == nullptr) break;
    OutChar(o, '"');
    start = end;
  }
  OutChar(o, '"');
}
