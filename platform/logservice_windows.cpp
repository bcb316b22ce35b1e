// The services beyond the Win32 calls on Windows: the system's event log
// service keeps its files to itself, and the live log and port list are
// named by the computer they belong to.
#include "platform/logservice.h"

#include <cstdio>

namespace {

// "WHAT of \\NAME", or "WHAT of this computer" for the local one.
void ServiceName(const char* what, const char* server, char* out, size_t size) {
  if (server == nullptr) {
    std::snprintf(out, size, "%s of this computer", what);
  } else {
    std::snprintf(out, size, "%s of %s", what, server);
  }
}

}  // namespace

EvtHeaderFacts EvtLogHeader(HANDLE) {
  return EvtHeaderFacts{0, 0, 0};
}

void LiveLogName(const char* server, char* out, size_t size) {
  ServiceName("SYSTEM log", server, out, size);
}

void LivePortListName(const char* server, char* out, size_t size) {
  ServiceName("RAS ports", server, out, size);
}
