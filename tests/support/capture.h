// What code under test writes to a stream, collected in memory and handed
// back as one string.
#ifndef VELMAR_TESTS_SUPPORT_CAPTURE_H
#define VELMAR_TESTS_SUPPORT_CAPTURE_H

#include <cstdio>
#include <cstdlib>
#include <string>

// A stream in memory: give Out to the writer, then Close for its bytes.
struct Capture {
  char* Text = nullptr;                      // the bytes written, after Close
  size_t Size = 0;                           // their number
  FILE* Out = open_memstream(&Text, &Size);  // the stream to write to
  std::string Close() {
    fclose(Out);
    std::string s(Text, Size);
    free(Text);
    return s;
  }
};

// What write(FILE*) puts on a stream, as a string.
template <typename Write>
std::string Written(Write write) {
  Capture cap;
  write(cap.Out);
  return cap.Close();
}

#endif  // VELMAR_TESTS_SUPPORT_CAPTURE_H
