// Lists the RAS ports of a server as 8-bit names. The library's record
// array never leaves GetRasPorts: the names are copies, and every path gives
// back what it took (server name, record array, library, names so far).
#include "eventlog/rasports.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "logfolder/failreason.h"

namespace {

// A port name may fill its record but not run past it.
const size_t kRecordUnits = RAS_PORT_RECORD_SIZE / sizeof(WCHAR);

// The number of units before the 0 unit, or -1 when there is none among the
// first limit units.
int WideLength(const WCHAR* text, size_t limit) {
  for (size_t n = 0; n < limit; ++n) {
    if (text[n] == 0) return static_cast<int>(n);
  }
  return -1;
}

// Converts length units of text (no terminator) to a new heap 8-bit string:
// measure, allocate, convert, terminate. Null when any step fails.
char* WideToAnsiLength(const WCHAR* text, int length) {
  int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return nullptr;
  char* out = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
  if (out == nullptr) return nullptr;
  if (WideCharToMultiByte(CP_ACP, 0, text, length, out, n, nullptr, nullptr) != n) {
    std::free(out);
    return nullptr;
  }
  out[n] = '\0';
  return out;
}

// The function the library exports under ordinal, or null.
template <typename Fn>
Fn BindOrdinal(HMODULE library, int ordinal) {
  FARPROC proc = GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(proc));
}

// Releases the first n names of list, then list.
void FreeNames(char** list, int n) {
  for (int i = 0; i < n; ++i) std::free(list[i]);
  std::free(list);
}

// Copies the port names of the records into a new name array for the caller.
// Returns 0, 3 (no memory for the array) or 4 (a name can't be converted, or
// is not ended inside its record); on failure the caller gets nothing.
int CopyPortNames(const BYTE* records, WORD portCount, int* count, char*** names) {
  if (portCount == 0) return 0;
  char** list = static_cast<char**>(std::calloc(portCount, sizeof(char*)));
  if (list == nullptr) return 3;
  for (int i = 0; i < portCount; ++i) {
    const WCHAR* name =
        reinterpret_cast<const WCHAR*>(records + static_cast<size_t>(i) * RAS_PORT_RECORD_SIZE);
    int length = WideLength(name, kRecordUnits);
    list[i] = length < 0 ? nullptr : WideToAnsiLength(name, length);
    if (list[i] == nullptr) {
      FreeNames(list, i);
      PlatformSetErrorDetail(length == 0 ? "an empty port name"
                                         : "a port name that can't be converted");
      return 4;
    }
  }
  *count = portCount;
  *names = list;
  return 0;
}

// Enumerates through the loaded library, and gives the record array back to
// it whenever the enumeration produced one, also on failure.
int ListPorts(HMODULE library, const WCHAR* server, int* count, char*** names) {
  RasPortEnumFn enumPorts = BindOrdinal<RasPortEnumFn>(library, RAS_PORT_ENUM_ORDINAL);
  RasFreeBufferFn freeBuffer = BindOrdinal<RasFreeBufferFn>(library, RAS_FREE_BUFFER_ORDINAL);
  // Without the release there is no enumerating: its array could not be given back.
  if (enumPorts == nullptr || freeBuffer == nullptr) return 2;
  BYTE* records = nullptr;
  WORD portCount = 0;
  int result = 2;
  DWORD answer = enumPorts(server, &records, &portCount);
  if (answer != 0) {
    SetLastError(answer);
  } else if (portCount > 0 && records == nullptr) {
    // A count without an array is a failed enumeration, not a list to read.
    SetLastError(ERROR_INVALID_DATA);
  } else {
    result = CopyPortNames(records, portCount, count, names);
  }
  if (records != nullptr) freeBuffer(records);
  return result;
}

}  // namespace

WCHAR* AnsiToWide(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text);
  if (length > INT_MAX) return nullptr;
  int n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  if (n <= 0) return nullptr;
  WCHAR* out = static_cast<WCHAR*>(std::malloc((static_cast<size_t>(n) + 1) * sizeof(WCHAR)));
  if (out == nullptr) return nullptr;
  if (MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), out, n) != n) {
    std::free(out);
    return nullptr;
  }
  out[n] = 0;
  return out;
}

char* WideToAnsi(const WCHAR* text) {
  if (text == nullptr) return nullptr;
  int length = WideLength(text, INT_MAX);
  return length < 0 ? nullptr : WideToAnsiLength(text, length);
}

int GetRasPorts(const char* serverName, int* count, char*** names) {
  *count = 0;
  *names = nullptr;
  WCHAR* server = nullptr;
  if (serverName != nullptr) {
    server = AnsiToWide(serverName);
    if (server == nullptr) {
      SetLastError(ERROR_INVALID_NAME);
      return 1;
    }
  }
  int result = 2;  // a library that can't be loaded is a failed enumeration
  HMODULE library = LoadLibraryA(RAS_LIBRARY_NAME);
  if (library != nullptr) {
    result = ListPorts(library, server, count, names);
    // The reason outlives the library's release.
    DWORD error = GetLastError();
    FreeLibrary(library);
    SetLastError(error);
  }
  std::free(server);
  if (result == 3) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  if (result == 4) SetLastError(ERROR_INVALID_DATA);
  return result;
}
