// The ports' own state beside the plain count of lines in use. Without the
// port table the report counts lines by connects and disconnects alone, as
// it always has; this follows which ports a connect made busy, so that the
// run can say when that count departed from them: a connect on a port
// already in use, or a disconnect on a port not in use (a session that
// began before the window). Memory is fixed: at most PORT_WATCH_PORTS
// names are followed; a connect or disconnect on one more is not counted.
#ifndef VELMAR_DRIVER_PORTWATCH_H
#define VELMAR_DRIVER_PORTWATCH_H

#include <cstdint>

// Port names followed, of the PORT_WATCH_SLOTS slots of the name table.
#define PORT_WATCH_SLOTS 4096
#define PORT_WATCH_PORTS 3072

// The ports seen and how often the plain count departed from them.
struct PortWatch {
  char* Name[PORT_WATCH_SLOTS];     // each slot's port name (heap), or null
  uint32_t Busy[PORT_WATCH_SLOTS];  // Generation when a connect made it busy
  uint32_t Generation;              // a reset starts the next: every port free
  uint32_t Ports;                   // names followed
  uint64_t ConnectsOnBusy;          // connects on a port already in use
  uint64_t DisconnectsOnFree;       // disconnects on a port not in use
};

// What happened on a port.
enum PortWatchEvent {
  kWatchConnect,     // a user connected on the port
  kWatchDisconnect,  // a user disconnected from it
  kWatchReset,       // every line is free (port not used)
};

// Starts with no port known and nothing counted.
void PortWatchInit(PortWatch* watch);

// Follows one handled event of the scan on the port named port (matched
// exactly, as the port table matches names).
void PortWatchNote(PortWatch* watch, PortWatchEvent event, const char* port);

// Frees the names; the watch is empty again. Safe on an initialized watch.
void PortWatchRelease(PortWatch* watch);

#endif  // VELMAR_DRIVER_PORTWATCH_H
