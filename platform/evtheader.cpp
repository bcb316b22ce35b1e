// The header state of an open log: read from the .evt file by the stand-in;
// unknown on Windows, whose log service keeps its files to itself.
#include "platform/evtstats.h"

#ifdef _WIN32

EvtHeaderFacts EvtLogHeader(HANDLE) {
  return EvtHeaderFacts{0, 0, 0};
}

#else

#include "evt/evtfile.h"
#include "evt/evtformat.h"

EvtHeaderFacts EvtLogHeader(HANDLE log) {
  const EvtFile* f = (const EvtFile*)log;
  if (f == nullptr || f->Magic != kEvtMagic) return EvtHeaderFacts{0, 0, 0};
  // A stale header may miss the wrap: when the oldest record lies behind the
  // EOF record, the records run over the file's end, whatever the flag says.
  bool runsOver = f->Oldest != 0 && f->End < f->Begin;
  return EvtHeaderFacts{1, (f->Flags & kEvtFlagDirty) != 0,
                        (f->Flags & kEvtFlagWrap) != 0 || runsOver};
}

#endif  // _WIN32
