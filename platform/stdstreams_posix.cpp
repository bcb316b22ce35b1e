// The standard streams on POSIX: they carry bytes as they stand already.
#include "platform/stdstreams.h"

#include <unistd.h>

void PlatformBinaryStdio(void) {}

bool PlatformStdoutIsTerminal(void) {
  return isatty(fileno(stdout)) != 0;
}
