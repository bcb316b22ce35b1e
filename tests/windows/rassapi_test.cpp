// A remote-access library "RASSAPI.dll" for the Windows smoke test. Ordinal
// 5 answers with a fixed list of 948-byte port records (COM1, COM2, ISDN1),
// no ports for the server \\EMPTY and a failure for \\DOWN; for \\NOISY
// it first writes a line straight to the standard output handle, as a
// library with its own runtime would. Ordinal 10 releases the array. Each call is noted in the file
// named by RASSAPI_TRACE, so the test sees the server name as it arrived and the array given back.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

const size_t kRecordSize = 948;
const wchar_t* const kPorts[] = {L"COM1", L"COM2", L"ISDN1"};
const WORD kPortCount = 3;

// Appends one line to the trace file, when there is one.
void Trace(const char* line) {
  const char* path = std::getenv("RASSAPI_TRACE");
  if (path == nullptr) return;
  FILE* f = std::fopen(path, "ab");
  if (f == nullptr) return;
  std::fprintf(f, "%s\n", line);
  std::fclose(f);
}

// The server name as ASCII for the trace: "(local)" for none.
void ServerText(const WCHAR* server, char* out, size_t size) {
  if (server == nullptr) {
    std::snprintf(out, size, "(local)");
    return;
  }
  size_t i = 0;
  for (; server[i] != 0 && i + 1 < size; ++i) out[i] = server[i] < 0x80 ? (char)server[i] : '?';
  out[i] = '\0';
}

bool Names(const WCHAR* server, const wchar_t* name) {
  return server != nullptr && std::wcscmp(server, name) == 0;
}

}  // namespace

extern "C" DWORD WINAPI TestRasPortEnum(const WCHAR* server, BYTE** ports, WORD* count) {
  char name[300];
  char line[400];
  ServerText(server, name, sizeof name);
  *ports = nullptr;
  *count = 0;
  if (Names(server, L"\\\\DOWN")) {
    std::snprintf(line, sizeof line, "enum %s failed", name);
    Trace(line);
    return RPC_S_SERVER_UNAVAILABLE;
  }
  if (Names(server, L"\\\\NOISY")) {
    const char noise[] = "RAS: noisy library\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), noise, sizeof noise - 1, &written, nullptr);
  }
  WORD n = Names(server, L"\\\\EMPTY") ? 0 : kPortCount;
  // An array even for no ports: the caller must give it back all the same.
  BYTE* records = static_cast<BYTE*>(std::calloc(n > 0 ? n : 1, kRecordSize));
  if (records == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  for (WORD i = 0; i < n; ++i) {
    std::memcpy(records + i * kRecordSize, kPorts[i], (std::wcslen(kPorts[i]) + 1) * sizeof(WCHAR));
  }
  std::snprintf(line, sizeof line, "enum %s %u %p", name, (unsigned)n, (void*)records);
  Trace(line);
  *ports = records;
  *count = n;
  return 0;
}

extern "C" DWORD WINAPI TestRasFreeBuffer(void* buffer) {
  char line[100];
  std::snprintf(line, sizeof line, "free %p", buffer);
  Trace(line);
  std::free(buffer);
  return 0;
}
