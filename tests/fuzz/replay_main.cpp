// Replays every file of a corpus folder through a fuzz target, so that the
// normal test run keeps the inputs the fuzzer found interesting.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
    return 2;
  }
  std::error_code ec;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1], ec)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++count;
  }
  if (ec || count == 0) {
    std::fprintf(stderr, "%s: no corpus files in %s\n", argv[0], argv[1]);
    return 1;
  }
  std::fprintf(stderr, "replayed %d inputs\n", count);
  return 0;
}
