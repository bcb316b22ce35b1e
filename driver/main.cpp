// Entry point of the report program `velmar`.
#include "driver/report.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // Bytes in and out as they stand, as on every other system: a POST body is
  // CONTENT_LENGTH bytes (no CR dropped, no Ctrl-Z taken for its end), and
  // the page and the listing are not given a CR before each line end.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  return VelmarMain(argc, argv);
}
