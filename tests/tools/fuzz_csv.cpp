// Fuzzes the CSV reader of velmar-log make: any bytes are read row by row
// from a stream over them. A row the reader takes, written back with the
// CSV writer and read again, gives the same fields (the reader refuses what
// it could not write back the same way); a refusal is one of its messages.
// Each field also goes through the parsers of a record's columns: a time
// the UTC reader takes is written back as the same text, and a number the
// decimal reader takes is the field's digits.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "answers/outbuf.h"
#include "tools/logtool.h"

namespace {

using Row = std::vector<std::string>;

// Starts a reader on the size bytes at data, as CsvOpen does on a file.
bool OpenBytes(CsvReader* r, const uint8_t* data, size_t size) {
  std::memset(r, 0, sizeof *r);
  r->NextLine = 1;
  r->File = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  r->OwnsFile = 1;
  return r->File != nullptr;
}

Row Fields(const CsvReader* r) {
  Row row;
  for (size_t i = 0; i < r->FieldCount; ++i) row.emplace_back(CsvField(r, i));
  return row;
}

// The row as the writer puts it: fields joined by commas, a line end.
std::string WriteBack(const Row& row) {
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  if (out == nullptr) __builtin_trap();
  static OutBuf o;
  OutInit(&o, out);
  for (size_t i = 0; i < row.size(); ++i) {
    if (i > 0) OutChar(&o, ',');
    CsvPutField(&o, row[i].data(), row[i].size());
  }
  OutChar(&o, '\n');
  if (!OutFlush(&o) || std::fclose(out) != 0) __builtin_trap();
  std::string written(text, length);
  std::free(text);
  return written;
}

// The written row reads back as exactly that one row.
void CheckRoundTrip(const Row& row) {
  std::string written = WriteBack(row);
  CsvReader again;
  if (!OpenBytes(&again, reinterpret_cast<const uint8_t*>(written.data()), written.size()))
    __builtin_trap();
  if (CsvReadRow(&again) != 1 || Fields(&again) != row || CsvReadRow(&again) != 0) __builtin_trap();
  CsvClose(&again);
}

// The column parsers on one field.
void CheckParsers(const std::string& field) {
  uint32_t t = 0;
  if (ParseUtc(field.c_str(), &t)) {
    char text[kUtcTextSize];
    FormatUtc(t, text);
    if (field != text) __builtin_trap();
  }
  static const uint64_t kLimits[] = {0, 9, 10, 65535, 4294967295u, UINT64_MAX};
  for (uint64_t max : kLimits) {
    uint64_t v = 0;
    if (!ParseNumber(field.c_str(), max, &v)) continue;
    std::string digits = std::to_string(v);
    if (v > max || digits.size() > field.size() ||
        field != std::string(field.size() - digits.size(), '0') + digits)
      __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // a stream over no bytes can't be opened
  CsvReader r;
  if (!OpenBytes(&r, data, size)) return 0;
  uint64_t lastLine = 0;
  int result;
  while ((result = CsvReadRow(&r)) == 1) {
    if (r.FieldCount == 0 || r.Line <= lastLine || r.NextLine < r.Line) __builtin_trap();
    lastLine = r.Line;
    Row row = Fields(&r);
    CheckRoundTrip(row);
    for (const std::string& field : row) CheckParsers(field);
  }
  if (result != 0 && (result != -1 || r.Message == nullptr)) __builtin_trap();
  CsvClose(&r);
  return 0;
}
