// The signal guard on Windows: nothing to guard. The index file is opened
// delete-on-close, so the system deletes it however the process ends, also
// when it is ended from outside where no handler of ours could run; and
// there is no file size signal. A log that velmar-log writes under its
// temporary name is left there when the process is ended from outside.
#include "platform/signalguard.h"

void SignalGuardHold(void) {}

void SignalGuardLetGo(void) {}

void SignalGuardInstall(void) {}

void SignalGuardSetFile(const char*) {}

int SignalGuardAddFile(const char*) {
  return -1;
}

void SignalGuardDropFile(int) {}

void SignalGuardRemove(void) {}

void SignalGuardIgnoreFileSizeLimit(void) {}
