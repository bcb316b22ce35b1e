// Fuzz target: the input is an index file. Every operation runs on it once,
// then the input read backwards steers a mix of walks, finds, adds, deletes
// and node store calls. Nothing may hang, crash or touch memory the module
// does not own.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "index/dbi_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path;
  if (path.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    path =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/velmar-fuzz-index-" + std::to_string(getpid());
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::vector<unsigned char> steering(data, data + size);
  std::reverse(steering.begin(), steering.end());
  Steer steer{steering.data(), steering.size()};
  ExerciseIndexFile(path.c_str(), &steer, false);
  std::remove(path.c_str());
  return 0;
}
