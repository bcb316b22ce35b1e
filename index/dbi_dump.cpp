// DbiDump: the header and every slot in file order, free ones included, as
// stored (a red node shows its negative Parent). Diagnostic output only.
#include <cstdio>

#include "index/dbi.h"
#include "index/dbi_internal.h"

namespace {

void Dump(DBI* dbi) {
  const DbiHeader& h = dbi->Header;
  std::printf("N_Rec=%8ld RecLen=%8d Head=%8ld\nFirst=%8ld Last  =%8ld Free=%8ld\n",
              static_cast<long>(h.N_Rec), static_cast<int>(h.RecLen), static_cast<long>(h.Head),
              static_cast<long>(h.First), static_cast<long>(h.Last), static_cast<long>(h.Free));
  std::printf("\n  Offset   Parent      Left    Right   RecNo Key\n");
  for (int32_t i = 0; i < h.N_Rec; ++i) {
    int64_t off = static_cast<int64_t>(i) * h.RecLen + h.HdrLen;
    int32_t node = off > 0 && off <= INT32_MAX ? static_cast<int32_t>(off) : 0;
    if (DbiPlace(dbi, node) == 0) {
      DbiFail(0, "Goto Offset in Dump");
      return;
    }
    std::printf("%8ld %8ld %8ld %8ld %8ld %s\n", static_cast<long>(off),
                static_cast<long>(dbi->Parent), static_cast<long>(dbi->Left),
                static_cast<long>(dbi->Right), static_cast<long>(dbi->RecNo), dbi->Key);
  }
}

}  // namespace

void DbiDump(DBI* dbi) {
  DbiHold(dbi);
  Dump(dbi);
  DbiLetGo(dbi);
}
