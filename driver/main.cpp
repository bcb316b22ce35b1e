// Entry point of the report program `velmar`.
#include "driver/report.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

namespace {

// The tabulated listing writes a row per event, hundreds of megabytes for a
// year of a large pool: into a file or a pipe it goes in big blocks, each
// one system call. A terminal keeps its line buffering.
char OutputBuffer[1 << 16];

bool OutputIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(fileno(stdout)) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Bytes in and out as they stand, as on every other system: a POST body is
  // CONTENT_LENGTH bytes (no CR dropped, no Ctrl-Z taken for its end), and
  // the page and the listing are not given a CR before each line end.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (!OutputIsTerminal()) setvbuf(stdout, OutputBuffer, _IOFBF, sizeof OutputBuffer);
  return VelmarMain(argc, argv);
}
