// The standard streams with the Windows C runtime, which opens them in text
// mode: switched to binary mode before any byte goes through.
#include "platform/stdstreams.h"

#include <fcntl.h>
#include <io.h>

void PlatformBinaryStdio(void) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

bool PlatformStdoutIsTerminal(void) {
  return _isatty(_fileno(stdout)) != 0;
}
