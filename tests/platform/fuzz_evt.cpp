// Fuzzes the event log reader: the input is written as SysEvent.Evt into the
// process's scratch folder, made the log folder, opened through the Win32
// calls, and every record (at most 10000) read with a small and a large
// buffer.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

// Reads record n with a small buffer, then with the size it asked for.
void ReadOne(HANDLE log, DWORD n, std::vector<uint8_t>* buf) {
  DWORD read = 0, needed = 0;
  if (ReadEventLogA(log, 6, n, buf->data(), 64, &read, &needed)) return;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= 64) return;
  if (needed > 1u << 24) abort();  // a record larger than any input: a wrong size
  DWORD size = needed;
  if (buf->size() < size) buf->resize(size);
  if (!ReadEventLogA(log, 6, n, buf->data(), size, &read, &needed) || read != size) abort();
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
