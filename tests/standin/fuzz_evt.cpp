// Fuzzes the event log reader: the input is written as SysEvent.Evt into the
// process's scratch folder, made the log folder, opened through the Win32
// calls, and every record (at most 10000) read with a small and a large
// buffer. Each read gives a whole record or one of the reader's errors.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "evt/evtformat.h"
#include "platform/winapi.h"
#include "support/tempdir.h"

namespace {

const std::string& LogFile() {
  static std::string file;
  if (file.empty()) {
    file = ScratchPath("SysEvent.Evt");
    setenv("VELMAR_LOGDIR", ScratchFolder().c_str(), 1);
  }
  return file;
}

void Put(const uint8_t* data, size_t size) {
  FILE* out = fopen(LogFile().c_str(), "wb");
  if (out == nullptr) abort();
  if (size > 0 && fwrite(data, 1, size, out) != size) abort();
  fclose(out);
}

const DWORD kSeekForwards = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;

DWORD Dword(const uint8_t* p) {
  DWORD v;
  memcpy(&v, p, sizeof v);
  return v;
}

// A record handed back is whole: its Length is the bytes read and ends it
// again, and it is the record asked for.
void CheckRecord(const uint8_t* rec, DWORD size, DWORD n) {
  if (size < kEvtFixedSize + 4 || Dword(rec + kEvtRecLength) != size ||
      Dword(rec + kEvtRecRecordNumber) != n || Dword(rec + size - 4) != size)
    abort();
}

// Reads record n with a small buffer, then with the size it asked for. A
// read that fails says why with one of the reader's own errors.
void ReadOne(HANDLE log, DWORD n, std::vector<uint8_t>* buf) {
  DWORD read = 0, needed = 0;
  if (ReadEventLogA(log, kSeekForwards, n, buf->data(), 64, &read, &needed)) {
    CheckRecord(buf->data(), read, n);
    return;
  }
  DWORD error = GetLastError();
  if (error == ERROR_EVENTLOG_FILE_CORRUPT || error == ERROR_HANDLE_EOF ||
      error == ERROR_INVALID_PARAMETER)
    return;
  // A record larger than any input, or one that would have fitted: a wrong size.
  if (error != ERROR_INSUFFICIENT_BUFFER || needed <= 64 || needed > 1u << 24) abort();
  DWORD size = needed;
  if (buf->size() < size) buf->resize(size);
  if (!ReadEventLogA(log, kSeekForwards, n, buf->data(), size, &read, &needed) || read != size)
    abort();
  CheckRecord(buf->data(), read, n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Put(data, size);
  HANDLE log = OpenEventLogA(nullptr, "SYSTEM");
  if (log == nullptr) return 0;
  DWORD oldest = 0, count = 0;
  if (!GetOldestEventLogRecord(log, &oldest) || !GetNumberOfEventLogRecords(log, &count)) abort();
  static std::vector<uint8_t> buf(64);
  DWORD last = oldest + (count < 10000 ? count : 10000);
  for (DWORD n = oldest > 0 ? oldest - 1 : 0; n <= last; ++n) ReadOne(log, n, &buf);
  ReadOne(log, oldest + count / 2, &buf);  // back into the middle: a search, not a step
  if (!CloseEventLog(log)) abort();
  return 0;
}
