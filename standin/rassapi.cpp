// The port enumeration of the stand-in "RASSAPI.dll": a computer's port
// list is its RasPorts.txt under the log folder, read into the library's
// answer, and named by that path in messages. Every failure leaves the
// caller nothing to release.
#include "standin/rassapi.h"

#include "logfolder/failreason.h"
#include "logfolder/logdir.h"
#include "logfolder/portlist.h"
#include "platform/logservice.h"

namespace {

const size_t kMaxServer = 2 + 255;  // "\\" and the longest host name

// Converts the UTF-16 computer name to the 8-bit text the log folder knows.
// Host names are plain ASCII, so any other unit refuses the name.
bool ServerText(const WCHAR* server, char* out) {
  size_t n = 0;
  for (; server[n] != 0; ++n) {
    if (n == kMaxServer || server[n] > 0x7F) return false;
    out[n] = static_cast<char>(server[n]);
  }
  out[n] = '\0';
  return true;
}

}  // namespace

DWORD PlatformRasPortEnum(const WCHAR* server, BYTE** ports, WORD* count) {
  if (ports == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  *ports = nullptr;
  *count = 0;
  PlatformSetErrorDetail(nullptr);
  char name[kMaxServer + 1];
  char path[4096];
  if (server != nullptr && !ServerText(server, name)) return ERROR_INVALID_NAME;
  if (!PlatformComputerPath(server != nullptr ? name : nullptr, kPortListFile, path, sizeof path)) {
    return ERROR_INVALID_NAME;
  }
  return PlatformReadPortFile(path, ports, count);
}

DWORD PlatformRasFreeBuffer(void* buffer) {
  PlatformFreePortFile(static_cast<BYTE*>(buffer));
  return 0;
}

void LivePortListName(const char* server, char* out, size_t size) {
  ComputerFileName(server, kPortListFile, out, size);
}
