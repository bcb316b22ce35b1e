// The lines on standard error: the names of the places from the platform,
// the reasons from its codes, times in the report's zone.
#include "driver/notes.h"

#include <cstring>

#include "driver/scan.h"
#include "eventlog/placenames.h"
#include "logfolder/failreason.h"
#include "platform/zonefile.h"

namespace {

const size_t kNameBytes = 4096;  // a path, with room for what follows it

// "velmar: NAME: REASON" for the place of server that nameOf names.
void NoteOpenFailure(FILE* notes, void (*nameOf)(const char*, char*, size_t), const char* server,
                     DWORD error, const char* detail) {
  char name[kNameBytes];
  char text[kNameBytes + 128];
  nameOf(server, name, sizeof name);
  DescribeOpenFailure(name, error, detail, text, sizeof text);
  NoteLine(notes, text);
}

}  // namespace

void NoteLine(FILE* notes, const char* text) {
  // One write for the whole line: runs at once share a web server's log,
  // and their lines must not interleave.
  char line[kNameBytes + 512];
  size_t n = static_cast<size_t>(snprintf(line, sizeof line - 1, "velmar: %s", text));
  if (n > sizeof line - 2) n = sizeof line - 2;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c == 0x7F) line[i] = '?';
  }
  line[n++] = '\n';
  fwrite(line, 1, n, notes);
  fflush(notes);
}

void NoteLogFailure(FILE* notes, const char* server, DWORD error, const char* detail) {
  NoteOpenFailure(notes, SystemLogName, server, error, detail);
}

void NotePortsFailure(FILE* notes, const char* server, DWORD error, const char* detail) {
  NoteOpenFailure(notes, PortListName, server, error, detail);
}

void NoteIndexFailure(FILE* notes, const char* message, int systemError) {
  char folder[kNameBytes];
  char text[kNameBytes + 128];
  WorkingFolderName(folder, sizeof folder);
  const char* reason = systemError != 0 ? strerror(systemError) : message;
  snprintf(text, sizeof text, "%s: user index: %s", folder, reason);
  NoteLine(notes, text);
}

void NoteLogCover(FILE* notes, const char* server, LogCover cover, EventTime when) {
  if (cover == LOG_COVERS) return;
  char name[kNameBytes];
  char text[kNameBytes + 256];
  SystemLogName(server, name, sizeof name);
  CoverNoteText(text, sizeof text, name, cover, when);
  NoteLine(notes, text);
}

void CoverNoteText(char* out, size_t size, const char* name, LogCover cover, EventTime when) {
  out[0] = '\0';
  if (cover == LOG_COVERS) return;
  TimeTexts at;
  FormatTimeTexts(when, &at);
  if (cover == LOG_STARTS_LATE) {
    snprintf(out, size,
             "%s: oldest record %s %s lies after the window's start; the time before it "
             "counts as 0 lines in use",
             name, at.Date, at.Time);
  } else {
    snprintf(out, size,
             "%s: newest record %s %s lies before the window's start; a stale copy: the "
             "whole window is the state after it",
             name, at.Date, at.Time);
  }
}

void NotePastEnd(FILE* notes, EventTime windowEnd, EventTime now) {
  char text[400];
  PastEndNoteText(text, sizeof text, windowEnd, now);
  NoteLine(notes, text);
}

void PastEndNoteText(char* out, size_t size, EventTime windowEnd, EventTime now) {
  TimeTexts end, at;
  FormatTimeTexts(windowEnd, &end);
  FormatTimeTexts(now, &at);
  snprintf(out, size,
           "the log ran out before the window's end, %s %s; the scan ran on to the current "
           "time, %s %s, as the report takes a log that has run out to be current: the "
           "statistics count the time after the window's end too",
           end.Date, end.Time, at.Date, at.Time);
}

void NotePlainCount(FILE* notes, uint64_t connectsOnBusy, uint64_t disconnectsOnFree) {
  if (connectsOnBusy == 0 && disconnectsOnFree == 0) return;
  char connects[80] = "", disconnects[80] = "";
  if (connectsOnBusy > 0) {
    snprintf(connects, sizeof connects, "%llu %s", static_cast<unsigned long long>(connectsOnBusy),
             connectsOnBusy == 1 ? "connect on a port already in use"
                                 : "connects on ports already in use");
  }
  if (disconnectsOnFree > 0) {
    snprintf(disconnects, sizeof disconnects, "%llu %s",
             static_cast<unsigned long long>(disconnectsOnFree),
             disconnectsOnFree == 1 ? "disconnect on a port not in use"
                                    : "disconnects on ports not in use");
  }
  char text[300];
  snprintf(text, sizeof text,
           "%s%s%s; the line counts follow connects and disconnects (add +p to count by port)",
           connects, connects[0] != '\0' && disconnects[0] != '\0' ? " and " : "", disconnects);
  NoteLine(notes, text);
}

void NoteBadWindow(FILE* notes, int32_t offset, int32_t duration) {
  char text[200];
  snprintf(text, sizeof text,
           "offset %ld days, duration %ld hours: the window leaves the years 0001 to 9999, "
           "which the charts and downloads write their times in",
           static_cast<long>(offset), static_cast<long>(duration));
  NoteLine(notes, text);
}

void NoteZone(FILE* notes, const char* tz) {
  if (!PlatformZoneFileMissing(tz)) return;
  char text[160];
  snprintf(text, sizeof text, "TZ=%s: no such zone file; the C library takes it as UTC", tz);
  NoteLine(notes, text);
}
