// Entry point of the report program `velmar`.
#include <cstdio>

#include "driver/program.h"
#include "platform/stdstreams.h"

namespace {

// The tabulated listing writes a row per event, hundreds of megabytes for a
// year of a large pool: into a file or a pipe it goes in big blocks, each
// one system call. A terminal keeps its line buffering.
char OutputBuffer[1 << 16];

}  // namespace

int main(int argc, char** argv) {
  // A POST body and the page or listing are bytes, on every system alike.
  PlatformBinaryStdio();
  if (!PlatformStdoutIsTerminal()) setvbuf(stdout, OutputBuffer, _IOFBF, sizeof OutputBuffer);
  return VelmarMain(argc, argv);
}
