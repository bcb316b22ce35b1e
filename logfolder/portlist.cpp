// Reads a port list file (UTF-8, one port name per line) into the answer
// of the remote-access library's port enumeration, an array of
// RAS_PORT_RECORD_SIZE-byte records with the UTF-16 name first. Every
// failure leaves the caller nothing to release.
#include "logfolder/portlist.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "logfolder/failreason.h"
#include "platform/regularfile.h"

namespace {

const size_t kRecordSize = RAS_PORT_RECORD_SIZE;
const int kNameUnits =
    static_cast<int>(kRecordSize / sizeof(WCHAR)) - 1;  // room left for the 0 unit
const size_t kMaxPorts = 65535;                         // the count is 16-bit
// A line of more bytes cannot fit a record, since every 3 bytes give at least
// one UTF-16 unit; the rest is room for a CR and a byte-order mark.
const int kLineBytes = kNameUnits * 3 + 8;

struct PortList {
  BYTE* Records;    // heap array of Capacity records, the first Count filled
  size_t Count;     // records filled
  size_t Capacity;  // records allocated
};

// Invalid contents, with what is wrong as the detail.
DWORD Invalid(const char* detail) {
  PlatformSetErrorDetail(detail);
  return ERROR_INVALID_DATA;
}

// Reads the next line into line (kLineBytes bytes) without its LF and
// without a CR that ends it (the end of the file ends a line too); *length
// is -1 at the end of the file. A NUL byte or an overlong line is
// ERROR_INVALID_DATA: no record could hold it.
DWORD ReadLine(FILE* file, char* line, int* length) {
  int n = 0;
  int c;
  while ((c = std::getc(file)) != EOF && c != '\n') {
    if (c == 0) return Invalid("a line holds a NUL byte");
    if (n == kLineBytes) return Invalid("a line too long for a port name");
    line[n++] = static_cast<char>(c);
  }
  if (std::ferror(file)) return ERROR_READ_FAULT;
  if (c == EOF && n == 0) {
    *length = -1;
    return 0;
  }
  if (n > 0 && line[n - 1] == '\r') --n;
  *length = n;
  return 0;
}

// Appends one zeroed record and gives its address, or null when the list
// is full (kMaxPorts) or out of memory, with the reason in *error.
BYTE* AddRecord(PortList* list, DWORD* error) {
  if (list->Count == kMaxPorts) {
    *error = Invalid("more than 65535 lines");
    return nullptr;
  }
  if (list->Count == list->Capacity) {
    size_t capacity = list->Capacity == 0 ? 16 : list->Capacity * 2;
    if (capacity > kMaxPorts) capacity = kMaxPorts;
    void* grown = std::realloc(list->Records, capacity * kRecordSize);
    if (grown == nullptr) {
      *error = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    list->Records = static_cast<BYTE*>(grown);
    list->Capacity = capacity;
  }
  BYTE* record = list->Records + list->Count++ * kRecordSize;
  std::memset(record, 0, kRecordSize);
  return record;
}

// Puts the UTF-8 line into a new record as its UTF-16 port name; a blank
// line gives an empty name.
DWORD AddPort(PortList* list, const char* line, int length) {
  int units = 0;
  if (length > 0) {
    units = MultiByteToWideChar(CP_UTF8, 0, line, length, nullptr, 0);
    if (units <= 0) return Invalid("a line that can't be converted");
    if (units > kNameUnits) return Invalid("a line too long for a port name");
  }
  DWORD error = 0;
  BYTE* record = AddRecord(list, &error);
  if (record == nullptr) return error;
  if (units > 0 && MultiByteToWideChar(CP_UTF8, 0, line, length, reinterpret_cast<WCHAR*>(record),
                                       units) != units) {
    return Invalid("a line that can't be converted");
  }
  return 0;
}

// Reads every line of the list into records.
DWORD ReadPorts(FILE* file, PortList* list) {
  char line[kLineBytes];
  for (bool first = true;; first = false) {
    int length = 0;
    DWORD error = ReadLine(file, line, &length);
    if (error != 0) return error;
    if (length < 0) return 0;
    const char* text = line;
    // An editor may have put a byte-order mark before the first name.
    if (first && length >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
      text += 3;
      length -= 3;
    }
    error = AddPort(list, text, length);
    if (error != 0) return error;
  }
}

// Reads the list from the open file, closes it, and hands the records over
// (nothing on failure).
DWORD TakePorts(FILE* file, BYTE** ports, WORD* count) {
  PortList list = {nullptr, 0, 0};
  DWORD error = ReadPorts(file, &list);
  std::fclose(file);
  if (error != 0) {
    std::free(list.Records);
    return error;
  }
  *ports = list.Records;
  *count = static_cast<WORD>(list.Count);
  return 0;
}

}  // namespace

DWORD PlatformReadPortFile(const char* path, BYTE** ports, WORD* count) {
  if (path == nullptr || ports == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  *ports = nullptr;
  *count = 0;
  PlatformSetErrorDetail(nullptr);
  FILE* file = nullptr;
  DWORD error = PlatformOpenRegularStream(path, &file);
  return error != 0 ? error : TakePorts(file, ports, count);
}

void PlatformFreePortFile(BYTE* ports) {
  std::free(ports);
}
