// Fuzzes the nps-xml reader (and the kind detection) with any bytes.
#include "fuzz_acct.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzAcct(data, size, kAcctNpsXml);
}
