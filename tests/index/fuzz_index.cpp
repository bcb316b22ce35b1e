// Fuzz target: the input is an index file. Every operation runs on it once,
// the dump included, then the input read backwards steers a mix of walks,
// finds, adds, deletes and node store calls. Nothing may hang, crash or
// touch memory the module does not own.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "index/dbi_exercise.h"
#include "support/tempdir.h"

namespace {

// The index runs under a file size limit, as under a server's ulimit -f: a
// header can claim up to 2 GB of slots, and an add appends its slot after
// them, so without a limit one input of a few hundred bytes makes a 2 GB
// sparse file that the dump then reads slot by slot for a minute. With it,
// that add fails as a write past the limit does.
bool LimitFileSize() {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = {4 << 20, 4 << 20};
  return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool limited = LimitFileSize();
  if (!limited) std::abort();
  static const std::string path = ScratchPath("input.dbi");
  // The dump's text goes nowhere; the fuzzer and the replay report on
  // standard error.
  static FILE* quiet = std::freopen("/dev/null", "w", stdout);
  if (quiet == nullptr) std::abort();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::vector<unsigned char> steering(data, data + size);
  std::reverse(steering.begin(), steering.end());
  Steer steer{steering.data(), steering.size()};
  ExerciseIndexFile(path.c_str(), &steer);
  std::remove(path.c_str());
  return 0;
}
