// Run-time library loading for the stand-in libraries of this folder. A
// module is found by its file name in any case, with or without ".dll", and
// exports its functions by ordinal only; loads are counted, and a handle is
// valid from its load until its last FreeLibrary.
#include <cstdint>
#include <cstring>

#include "platform/winapi.h"
#include "standin/rassapi.h"

namespace {

struct ModuleExport {
  WORD Ordinal;  // the number the export is bound by
  FARPROC Proc;  // the function, under the generic type
};

struct Module {
  const char* BaseName;         // file name without ".dll"
  const ModuleExport* Exports;  // what GetProcAddress can find
  int ExportCount;              // entries in Exports
  int LoadCount;                // loads not yet freed; the handle is valid above 0
};

const ModuleExport kRassapiExports[] = {
    {5, reinterpret_cast<FARPROC>(&PlatformRasPortEnum)},
    {10, reinterpret_cast<FARPROC>(&PlatformRasFreeBuffer)},
};

Module modules[] = {
    {"RASSAPI", kRassapiExports, 2, 0},
};

// Whether a and b hold the same text in their first n bytes but for the
// case of ASCII letters, as file names are on Windows; neither is read
// past its NUL.
bool SameIgnoringCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (x != y) return false;
    if (x == '\0') return true;
  }
  return true;
}

// Whether fileName names the module: its base name, then nothing or ".dll".
bool NamesModule(const char* fileName, const Module* module) {
  size_t n = std::strlen(module->BaseName);
  if (!SameIgnoringCase(fileName, module->BaseName, n)) return false;
  return fileName[n] == '\0' || SameIgnoringCase(fileName + n, ".dll", sizeof ".dll");
}

// The loaded module a handle stands for, or null for anything else.
Module* LoadedModule(HMODULE handle) {
  for (Module& module : modules) {
    if (handle == &module && module.LoadCount > 0) return &module;
  }
  return nullptr;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  for (Module& module : modules) {
    if (NamesModule(fileName, &module)) {
      ++module.LoadCount;
      return &module;
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC GetProcAddress(HMODULE handle, LPCSTR procName) {
  Module* module = LoadedModule(handle);
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // An ordinal travels in the low 16 bits of the pointer; a real name is
  // never found, since the modules export by ordinal only.
  uintptr_t value = reinterpret_cast<uintptr_t>(procName);
  if (value >> 16 == 0) {
    for (int i = 0; i < module->ExportCount; ++i) {
      if (module->Exports[i].Ordinal == value) return module->Exports[i].Proc;
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL FreeLibrary(HMODULE handle) {
  Module* module = LoadedModule(handle);
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  --module->LoadCount;
  return TRUE;
}
