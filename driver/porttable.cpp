// The port table: set up from the server's port list, updated by each
// handled event, written as the tabulated listing's columns. Every interval
// is charged to the ports that were busy during it before the event that
// ends it changes any slot.
#include "driver/porttable.h"

#include <cstdlib>
#include <cstring>

#include "driver/output.h"
#include "eventlog/rasevent.h"
#include "eventlog/rasports.h"
#include "logfolder/failreason.h"

namespace {

// Empties every slot of a fresh table and points slot i at the name the
// enumeration gave last but i.
void BuildSlots(PortTable* table) {
  for (int32_t i = 0; i < table->PortCount; ++i) {
    PortSlot* slot = &table->Slots[i];
    slot->PortName = table->PortNames[table->PortCount - 1 - i];
    slot->CurrentUser[0] = '\0';
    slot->Logins = 0;
    slot->BusySeconds = 0;
    slot->BusySince = 0;
  }
}

// Charges the interval to every busy slot. The intervals tile the scan, so
// a slot's share is the table's clock when it is freed less the clock when
// it became busy: each event moves the clock alone, and only the slot it
// frees takes its time.
void ChargeBusy(PortTable* table, EventTime interval) {
  table->Clock += interval;
}

// Marks slot busy or free after its user changed, taking its time when a
// busy slot is freed.
void ChargeChange(PortTable* table, PortSlot* slot, bool wasBusy) {
  bool busy = slot->CurrentUser[0] != '\0';
  if (busy && !wasBusy) {
    slot->BusySince = table->Clock;
    ++table->Busy;
  }
  if (wasBusy && !busy) {
    slot->BusySeconds += table->Clock - slot->BusySince;
    --table->Busy;
  }
}

// Byte-wise equality of two names; the port names are short and the table
// is searched for every event, so a call per name would cost more.
bool SameName(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == '\0') return true;
  }
  return false;
}

enum : int32_t {
  kRowKept = -1,  // no slot changed since the kept row was written
  kRowRedo = -2,  // several did: the row is put together again
};

// Notes that slot i's user changed, for the kept row.
void NoteChange(PortTable* table, int32_t i) {
  if (table->RowChanged == kRowKept) {
    table->RowChanged = i;
  } else if (table->RowChanged != i) {
    table->RowChanged = kRowRedo;
  }
}

// Puts slot i's column into the kept row: the user and blanks to width + 1.
// False for a user wider than the column (a first character wider than a
// narrow column), which would move the columns after it.
bool PutColumn(PortTable* table, int32_t i, size_t width) {
  const char* user = table->Slots[i].CurrentUser;
  size_t n = strlen(user);
  if (n > width) return false;
  char* at = table->Row + static_cast<size_t>(i) * (width + 1);
  memcpy(at, user, n);
  memset(at + n, ' ', width + 1 - n);
  return true;
}

// Brings the kept row in step with the slots for width: one column after
// an event, the whole row after a reset or a change of width. False when
// the row cannot be kept: on a page (html: names are escaped), without
// memory, or while a user is wider than its column.
bool KeepRow(PortTable* table, int width, bool html) {
  if (html || width < 1 || width > MAX_WIDTH || table->PortCount <= 0) return false;
  size_t cell = static_cast<size_t>(width);
  if (table->RowWidth == width && table->RowChanged != kRowRedo) {
    int32_t i = table->RowChanged;
    table->RowChanged = kRowKept;
    if (i == kRowKept || PutColumn(table, i, cell)) return true;
    table->RowWidth = 0;
    return false;
  }
  if (table->Row == nullptr) {
    table->Row =
        static_cast<char*>(malloc(static_cast<size_t>(table->PortCount) * (MAX_WIDTH + 1)));
    if (table->Row == nullptr) return false;
  }
  table->RowWidth = 0;
  table->RowChanged = kRowKept;
  for (int32_t i = 0; i < table->PortCount; ++i) {
    if (!PutColumn(table, i, cell)) return false;
  }
  table->RowWidth = width;
  return true;
}

// FNV-1a over the name's bytes: port names differ in a digit or two at
// their end, which this spreads as well as their start.
uint32_t NameHash(const char* name) {
  uint32_t h = 2166136261u;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != '\0'; ++p) {
    h = (h ^ *p) * 16777619u;
  }
  return h;
}

// Every event looks its port up: the names are hashed once, at set-up, into
// twice as many entries as ports (-1 is empty), so that a lookup compares
// one name as a rule. A name listed twice keeps its first slot. Without
// memory for the table PortFind searches the slots in turn.
void HashNames(PortTable* table) {
  uint32_t entries = 2;
  while (entries < 2 * static_cast<uint32_t>(table->PortCount)) entries <<= 1;
  table->ByName = static_cast<int32_t*>(malloc(sizeof(int32_t) * entries));
  if (table->ByName == nullptr) return;
  table->ByNameMask = entries - 1;
  for (uint32_t i = 0; i < entries; ++i) table->ByName[i] = -1;
  for (int32_t s = 0; s < table->PortCount; ++s) {
    const char* name = table->Slots[s].PortName;
    uint32_t i = NameHash(name) & table->ByNameMask;
    while (table->ByName[i] >= 0 && !SameName(table->Slots[table->ByName[i]].PortName, name)) {
      i = (i + 1) & table->ByNameMask;
    }
    if (table->ByName[i] < 0) table->ByName[i] = s;
  }
}

}  // namespace

const char* PortTableSetup(PortTable* table, FILE* out, bool cgiMode, const char* computerName) {
  // The port library may write to standard output; on a web page that text
  // must land inside a comment, so the opening goes out before it does.
  if (cgiMode) {
    fputs("<!---", out);
    fflush(nullptr);
  }
  int count = 0;
  char** names = nullptr;
  int code = GetRasPorts(computerName, &count, &names);
  if (code != 0) {
    table->EnumError = GetLastError();
    table->EnumDetail = PlatformErrorDetail();
  }
  if (cgiMode) fputs("--->", out);
  table->PortCount = count;
  table->PortNames = names;
  if (code != 0) return "Can't Read RAS Port";
  if (count <= 0) return "No Port Detected";
  table->Slots = static_cast<PortSlot*>(calloc(static_cast<size_t>(count), sizeof(PortSlot)));
  if (table->Slots == nullptr) return "Out of Memory";
  BuildSlots(table);
  HashNames(table);
  return nullptr;
}

void PortTableRelease(PortTable* table) {
  if (table->PortNames != nullptr) {
    for (int32_t i = 0; i < table->PortCount; ++i) free(table->PortNames[i]);
  }
  free(table->PortNames);
  free(table->Slots);
  free(table->ByName);
  free(table->Row);
  table->PortNames = nullptr;
  table->Slots = nullptr;
  table->ByName = nullptr;
  table->ByNameMask = 0;
  table->Row = nullptr;
  table->RowWidth = 0;
  table->RowChanged = 0;
  table->PortCount = 0;
  table->EnumError = 0;
  table->EnumDetail = nullptr;
  table->Clock = 0;
  table->Busy = 0;
}

PortSlot* PortFind(PortTable* table, const char* port) {
  if (table->ByName != nullptr) {
    for (uint32_t i = NameHash(port) & table->ByNameMask; table->ByName[i] >= 0;
         i = (i + 1) & table->ByNameMask) {
      PortSlot* slot = &table->Slots[table->ByName[i]];
      if (SameName(slot->PortName, port)) return slot;
    }
    return nullptr;
  }
  for (int32_t i = 0; i < table->PortCount; ++i) {
    if (SameName(table->Slots[i].PortName, port)) return &table->Slots[i];
  }
  return nullptr;
}

void PortConnectUpdate(PortTable* table, bool connect, EventTime interval, const char* port,
                       const char* user, int width) {
  PortSlot* slot = PortFind(table, port);
  ChargeBusy(table, interval);
  if (slot == nullptr) return;
  bool wasBusy = slot->CurrentUser[0] != '\0';
  if (!connect) {
    slot->CurrentUser[0] = '\0';
  } else {
    // The slot holds MAX_WIDTH bytes of a name, whatever width is asked.
    size_t n = RasNameCut(user, width < MAX_WIDTH ? width : MAX_WIDTH);
    memcpy(slot->CurrentUser, user, n);
    slot->CurrentUser[n] = '\0';
    ++slot->Logins;
  }
  ChargeChange(table, slot, wasBusy);
  NoteChange(table, static_cast<int32_t>(slot - table->Slots));
}

void PortResetUpdate(PortTable* table, EventTime interval) {
  ChargeBusy(table, interval);
  for (int32_t i = 0; i < table->PortCount; ++i) {
    PortSlot* slot = &table->Slots[i];
    bool wasBusy = slot->CurrentUser[0] != '\0';
    slot->CurrentUser[0] = '\0';
    ChargeChange(table, slot, wasBusy);
  }
  table->RowChanged = kRowRedo;
}

int32_t PortRecount(const PortTable* table) {
  return table->Busy;
}

const char* PortMarker(const PortTable* table, int32_t linesInUse) {
  return linesInUse >= table->PortCount ? " ***" : "";
}

void PortWriteHeader(FILE* out, const PortTable* table, const ReportOptions* opts) {
  for (int32_t i = 0; i < table->PortCount; ++i) {
    PutField(out, table->Slots[i].PortName, opts->Width, opts->Html);
    fputc(' ', out);
  }
}

void PortWriteRow(FILE* out, PortTable* table, const ReportOptions* opts, bool reset) {
  int width = opts->Width;
  if (reset) {
    fprintf(out, "%-*s", width * table->PortCount + table->PortCount, "Reset.");
    return;
  }
  if (KeepRow(table, width, opts->Html)) {
    fwrite(table->Row, 1, static_cast<size_t>(table->PortCount) * (width + 1), out);
    return;
  }
  // A row has a column per port and comes with every event: the columns are
  // put together in a buffer and written in few calls. A name to be escaped
  // for a page goes through PutField.
  // The buffer starts out as blanks (again after each flush) as far as a
  // row of names within the width reaches, and further when a longer name
  // needs it, so an empty column, the usual case, costs nothing but its
  // width, and a name is copied as its length is found.
  char row[4096];
  size_t cell = static_cast<size_t>(width > 0 ? width : 0);
  size_t most = (cell > MAX_WIDTH ? cell : MAX_WIDTH) + 1;  // the widest a column gets
  size_t blank = (cell + 1) * static_cast<size_t>(table->PortCount > 0 ? table->PortCount : 0);
  if (blank > sizeof row) blank = sizeof row;
  memset(row, ' ', blank);
  size_t used = 0;
  for (int32_t i = 0; i < table->PortCount; ++i) {
    const char* user = table->Slots[i].CurrentUser;
    bool escaped = opts->Html && user[0] != '\0';
    if (used + most > sizeof row || escaped) {
      fwrite(row, 1, used, out);
      memset(row, ' ', used);
      used = 0;
    }
    if (escaped) {
      PutField(out, user, width, true);
      fputc(' ', out);
      continue;
    }
    size_t n = 0;  // at most MAX_WIDTH
    for (; user[n] != '\0'; ++n) row[used + n] = user[n];
    size_t need = (n > cell ? n : cell) + 1;
    if (used + need > blank) {  // padding past the blanks: blank the rest, keeping the name
      size_t from = used + n > blank ? used + n : blank;
      memset(row + from, ' ', sizeof row - from);
      blank = sizeof row;
    }
    used += need;
  }
  fwrite(row, 1, used, out);
}
