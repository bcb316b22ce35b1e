// Fuzzes the port list: any bytes as the local computer's RasPorts.txt in
// the log folder, read as the report reads it (GetRasPorts: the stand-in
// library's enumeration, then the names converted back) and as velmar-log
// reads --ports (PlatformReadPortFile). The two agree; a list that is taken
// has a name for each line, a blank line fails the names, and a line of
// plain ASCII comes back as it stands. The first line is also tried as a
// computer's name, which must reach no list: none lies in a subfolder.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "eventlog/rasports.h"
#include "logfolder/portlist.h"
#include "support/tempdir.h"

namespace {

const std::string& ListFile() {
  static std::string file;
  if (file.empty()) {
    file = ScratchPath("RasPorts.txt");
    setenv("VELMAR_LOGDIR", ScratchFolder().c_str(), 1);
  }
  return file;
}

void Put(const uint8_t* data, size_t size) {
  FILE* out = std::fopen(ListFile().c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  if (std::fclose(out) != 0) std::abort();
}

// The lines of the list as the rules read them: split at LF (a final LF
// ends the last line), a CR before the line end dropped, a byte-order mark
// before the first name skipped.
std::vector<std::string> Lines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  std::string text(reinterpret_cast<const char*>(data), size);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lines.empty() && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

bool PlainAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c == 0 || c > 0x7F) return false;
  }
  return true;
}

void FreeNames(char** names, int count) {
  for (int i = 0; i < count; ++i) std::free(names[i]);
  std::free(names);
}

// The list read by velmar-log's path and by the report's, side by side.
void CheckList(const uint8_t* data, size_t size) {
  BYTE* records = nullptr;
  WORD recordCount = 0;
  DWORD error = PlatformReadPortFile(ListFile().c_str(), &records, &recordCount);
  int count = -1;
  char** names = nullptr;
  int result = GetRasPorts(nullptr, &count, &names);
  if (error != 0) {
    if (records != nullptr || recordCount != 0 || result != 2 || GetLastError() != error ||
        count != 0 || names != nullptr)
      __builtin_trap();
    return;
  }
  std::vector<std::string> lines = Lines(data, size);
  if (recordCount != lines.size()) __builtin_trap();
  bool blank = false;
  for (const std::string& line : lines) blank = blank || line.empty();
  if (result != (blank ? 4 : 0)) __builtin_trap();
  if (result == 0) {
    if (count != recordCount || (count > 0) != (names != nullptr)) __builtin_trap();
    for (int i = 0; i < count; ++i) {
      const WCHAR* wide = reinterpret_cast<const WCHAR*>(records + i * RAS_PORT_RECORD_SIZE);
      char* back = WideToAnsi(wide);
      if (back == nullptr || std::strcmp(back, names[i]) != 0) __builtin_trap();
      if (PlainAscii(lines[i]) && lines[i] != names[i]) __builtin_trap();
      std::free(back);
    }
    FreeNames(names, count);
  } else if (count != 0 || names != nullptr) {
    __builtin_trap();
  }
  PlatformFreePortFile(records);
}

// The first line as a computer's name: refused, or a list that isn't there.
void CheckServer(const uint8_t* data, size_t size) {
  size_t n = 0;
  while (n < size && n < 300 && data[n] != '\n' && data[n] != 0) ++n;
  std::string name(reinterpret_cast<const char*>(data), n);
  int count = -1;
  char** names = nullptr;
  int result = GetRasPorts(name.c_str(), &count, &names);
  if ((result != 1 && result != 2) || count != 0 || names != nullptr) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Put(data, size);
  CheckList(data, size);
  CheckServer(data, size);
  return 0;
}
