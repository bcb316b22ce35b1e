// The standard streams on POSIX: they carry bytes as they stand already.
#include "platform/stdstreams.h"

#ifndef _WIN32

#include <unistd.h>

void PlatformBinaryStdio(void) {}

bool PlatformStdoutIsTerminal(void) {
  return isatty(fileno(stdout)) != 0;
}

#endif  // _WIN32
