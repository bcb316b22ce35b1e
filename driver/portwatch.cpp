// The port names in an open-addressed table: a slot by the name's hash,
// the next free one on a clash. Names are never removed; a reset frees
// every port at once by starting a new generation, so no event costs more
// than a look-up.
#include "driver/portwatch.h"

#include <cstdlib>
#include <cstring>

namespace {

// FNV-1a of the name.
uint32_t HashOf(const char* name) {
  uint32_t h = 2166136261u;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
    h = (h ^ *p) * 16777619u;
  }
  return h;
}

// The slot that holds name, or the free slot where it would go; -1 when it
// is not held and no more names may be.
int SlotOf(PortWatch* watch, const char* name) {
  uint32_t slot = HashOf(name) % PORT_WATCH_SLOTS;
  while (watch->Name[slot] != nullptr && strcmp(watch->Name[slot], name) != 0) {
    slot = (slot + 1) % PORT_WATCH_SLOTS;
  }
  if (watch->Name[slot] == nullptr && watch->Ports >= PORT_WATCH_PORTS) return -1;
  return static_cast<int>(slot);
}

}  // namespace

void PortWatchInit(PortWatch* watch) {
  memset(watch, 0, sizeof *watch);
  watch->Generation = 1;  // Busy 0 is never busy
}

void PortWatchNote(PortWatch* watch, PortWatchEvent event, const char* port) {
  if (event == kWatchReset) {
    ++watch->Generation;
    return;
  }
  int slot = SlotOf(watch, port);
  if (slot < 0) return;
  if (watch->Name[slot] == nullptr) {
    size_t n = strlen(port) + 1;
    char* copy = static_cast<char*>(malloc(n));
    if (copy == nullptr) return;  // not followed, as a port past the limit
    memcpy(copy, port, n);
    watch->Name[slot] = copy;
    ++watch->Ports;
  }
  bool busy = watch->Busy[slot] == watch->Generation;
  if (event == kWatchConnect) {
    if (busy) ++watch->ConnectsOnBusy;
    watch->Busy[slot] = watch->Generation;
  } else {
    if (!busy) ++watch->DisconnectsOnFree;
    watch->Busy[slot] = 0;
  }
}

void PortWatchRelease(PortWatch* watch) {
  for (char*& name : watch->Name) {
    free(name);
    name = nullptr;
  }
  watch->Ports = 0;
}
