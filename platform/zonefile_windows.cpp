// The zone-file check on Windows: its C library reads TZ only as a rule and
// knows no zone files, so there is nothing to find missing.
#include "platform/zonefile.h"

bool PlatformZoneFileMissing(const char*) {
  return false;
}

bool PlatformZoneFixed(const char*) {
  return false;
}
