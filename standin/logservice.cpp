// The services beyond the Win32 calls as the stand-ins give them: the
// header state read from the .evt file behind a log handle, and the live
// log and port list named by their paths under the log folder.
#include "platform/logservice.h"

#include "evt/evtfile.h"
#include "evt/evtformat.h"
#include "logfolder/logdir.h"

EvtHeaderFacts EvtLogHeader(HANDLE log) {
  const EvtFile* f = (const EvtFile*)log;
  if (f == nullptr || f->Magic != kEvtMagic) return EvtHeaderFacts{0, 0, 0};
  // A stale header may miss the wrap: when the oldest record lies behind the
  // EOF record, the records run over the file's end, whatever the flag says.
  bool runsOver = f->Oldest != 0 && f->End < f->Begin;
  return EvtHeaderFacts{1, (f->Flags & kEvtFlagDirty) != 0,
                        (f->Flags & kEvtFlagWrap) != 0 || runsOver};
}

void LiveLogName(const char* server, char* out, size_t size) {
  ComputerFileName(server, kSystemLogFile, out, size);
}

void LivePortListName(const char* server, char* out, size_t size) {
  ComputerFileName(server, kPortListFile, out, size);
}
