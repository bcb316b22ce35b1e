// The port table: one slot per RAS port of the server, saying who is on the
// port now, how many logins it saw and how long it was busy. When it exists
// it decides the count of lines in use, flags the intervals in which every
// port was busy, and gives the tabulated listing its columns.
#ifndef VELMAR_DRIVER_PORTTABLE_H
#define VELMAR_DRIVER_PORTTABLE_H

#include <cstdint>
#include <cstdio>

#include "driver/options.h"
#include "eventlog/logread.h"

// One RAS port. A port is busy while CurrentUser is not empty.
struct PortSlot {
  const char* PortName;             // the port's name; it belongs to PortTable.PortNames
  char CurrentUser[MAX_WIDTH + 1];  // who is on the port, cut to the width; "" when free
  int32_t Logins;                   // connects seen on the port in the window
  EventTime BusySeconds;            // seconds the port was busy in the window, up to
                                    // its last busy time when it is busy now
  EventTime BusySince;              // the table's Clock when the port became busy
};

// The port names of the server and the slots that point into them. All
// fields are null or 0 until PortTableSetup succeeds.
struct PortTable {
  int32_t PortCount;       // number of ports and of slots; fixed while the table exists
  char** PortNames;        // heap array of heap names, in the enumeration's order
  PortSlot* Slots;         // PortCount slots, the last enumerated port first
  DWORD EnumError;         // why the enumeration failed (a Win32 code), 0 when it did not
  const char* EnumDetail;  // the platform's detail of that failure, or null
  EventTime Clock;         // the intervals charged so far, summed
  int32_t Busy;            // busy slots, as the updates leave them
  int32_t* ByName;         // slot of each port name, hashed; null: PortFind searches
  uint32_t ByNameMask;     // entries of ByName - 1 (their count is a power of two)
  char* Row;               // the tabulated row as last written, width + 1 bytes a port
  int32_t RowWidth;        // the width Row was written for; 0 when it is not in step
  int32_t RowChanged;      // -1, or the one slot changed since Row was written; -2: more
};

// Enumerates the ports of computerName (null for the local computer) and
// builds the table. In CGI mode the enumeration is bracketed by "<!---"
// (after which every output stream is flushed) and "--->", both written to
// out whatever the enumeration gives, so that anything written meanwhile is
// an HTML comment. Returns null on success, else the fixed text of the
// failure ("Can't Read RAS Port", "No Port Detected", "Out of Memory"); for
// "Can't Read RAS Port" the reason is in EnumError and EnumDetail. Whatever
// was acquired before a failure stays in table for PortTableRelease.
const char* PortTableSetup(PortTable* table, FILE* out, bool cgiMode, const char* computerName);

// Releases each port name, then the name array, then the slots, and empties
// the table. Safe on an empty or partly set-up table.
void PortTableRelease(PortTable* table);

// The first slot, in table order, whose name equals port byte for byte, or
// null when there is none.
PortSlot* PortFind(PortTable* table, const char* port);

// Applies a connect (connect true) or disconnect of user on port: the
// interval since the previous event is charged to every busy slot first;
// then a connect puts user, cut to at most width bytes (1 to MAX_WIDTH) at a
// character boundary (RasNameCut), on the port's slot and counts a login, and
// a disconnect frees it. A port that matches no slot changes no slot. (A
// busy slot's time is added to its BusySeconds when it is freed, by this or
// PortResetUpdate.)
void PortConnectUpdate(PortTable* table, bool connect, EventTime interval, const char* port,
                       const char* user, int width);

// Applies a reset, or the end of the scan: every busy slot is charged the
// interval and freed; free slots are left alone.
void PortResetUpdate(PortTable* table, EventTime interval);

// The number of busy slots: the count of lines in use after an update.
// (Counted as the updates make slots busy or free, not slot by slot.)
int32_t PortRecount(const PortTable* table);

// The text written after an interval's duration: " ***" when linesInUse,
// the count in force during the interval, is at least the number of ports.
const char* PortMarker(const PortTable* table, int32_t linesInUse);

// The tabulated header's port columns: each port name padded to
// opts->Width and a blank, in table order (a longer name is written
// whole), escaped on a page (opts->Html).
void PortWriteHeader(FILE* out, const PortTable* table, const ReportOptions* opts);

// A tabulated row after an update: per slot the user padded to opts->Width
// and a blank, or Width + 1 blanks for a free port, escaped on a page
// (opts->Html). A reset writes "Reset." padded over all the port columns
// instead. The row is kept in the table and only the columns of the slots
// changed since are put in again: the slots' users change through
// PortConnectUpdate and PortResetUpdate alone once a row has been written.
void PortWriteRow(FILE* out, PortTable* table, const ReportOptions* opts, bool reset);

#endif  // VELMAR_DRIVER_PORTTABLE_H
