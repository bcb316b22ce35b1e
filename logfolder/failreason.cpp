// The reasons behind a failed open, as texts for a message, and the detail
// the stand-ins keep beside their last error.
#include "logfolder/failreason.h"

#include <cstdio>
#include <cstring>

namespace {

// A plain static, not a thread-local one: on Windows reading a thread-local
// variable sets the last error to 0, so `DescribeOpenFailure(name,
// GetLastError(), PlatformErrorDetail(), ...)` would lose the code when
// the compiler takes the arguments right to left. The programs run on one
// thread.
const char* errorDetail = nullptr;

// One Win32 code and what a message says for it.
struct Reason {
  DWORD Error;       // the code
  const char* Text;  // the reason, or its head when a detail may follow
  bool TakesDetail;  // ": DETAIL" follows when there is one
};

const Reason kReasons[] = {
    {ERROR_FILE_NOT_FOUND, "No such file or directory", false},
    {ERROR_PATH_NOT_FOUND, "No such file or directory", false},
    {ERROR_ACCESS_DENIED, "permission denied", false},
    {ERROR_DIRECTORY, "a folder, not a file", false},
    {ERROR_BAD_FILE_TYPE, "not a regular file", false},
    {ERROR_BAD_FORMAT, "not an event log file", false},
    {ERROR_EVENTLOG_FILE_CORRUPT, "damaged", true},
    {ERROR_INVALID_DATA, "invalid data", true},
    {ERROR_READ_FAULT, "read error", false},
    {ERROR_INVALID_NAME, "not a valid computer name", false},
    {ERROR_NOT_ENOUGH_MEMORY, "out of memory", false},
    {ERROR_NO_UNICODE_TRANSLATION, "a name that can't be converted", false},
    {ERROR_MOD_NOT_FOUND, "library not found", false},
    {ERROR_PROC_NOT_FOUND, "library not found", false},
};

const Reason* ReasonOf(DWORD error) {
  for (const Reason& r : kReasons) {
    if (r.Error == error) return &r;
  }
  return nullptr;
}

}  // namespace

void PlatformSetErrorDetail(const char* detail) {
  errorDetail = detail;
}

const char* PlatformErrorDetail(void) {
  return errorDetail;
}

void DescribeOpenFailure(const char* name, DWORD error, const char* detail, char* out,
                         size_t size) {
  size_t n = 0;
  for (const char* p = name != nullptr ? name : ""; *p != '\0' && n + 1 < size; ++p, ++n) {
    unsigned char c = static_cast<unsigned char>(*p);
    out[n] = c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
  }
  out[n] = '\0';
  const Reason* r = ReasonOf(error);
  if (r == nullptr) {
    std::snprintf(out + n, size - n, ": error %lu", static_cast<unsigned long>(error));
  } else if (r->TakesDetail && detail != nullptr) {
    std::snprintf(out + n, size - n, ": %s: %s", r->Text, detail);
  } else {
    std::snprintf(out + n, size - n, ": %s", r->Text);
  }
}
