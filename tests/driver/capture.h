// Collects what a function writes to a stream, for the driver tests.
#ifndef VELMAR_TESTS_DRIVER_CAPTURE_H
#define VELMAR_TESTS_DRIVER_CAPTURE_H

#include <cstdio>
#include <cstdlib>
#include <string>

struct Capture {
  char* Text = nullptr;  // the bytes written, after Close
  size_t Size = 0;       // their number
  FILE* Out = open_memstream(&Text, &Size);
  std::string Close() {
    fclose(Out);
    std::string s(Text, Size);
    free(Text);
    return s;
  }
};

#endif  // VELMAR_TESTS_DRIVER_CAPTURE_H
