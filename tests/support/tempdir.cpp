// Temporary folders through the standard library's file system calls, so
// the index tests that also run on Windows share them.
#include "support/tempdir.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

std::string gScratch;  // this process's scratch folder, "" until made

void RemoveScratch() {
  RemoveTree(gScratch);
}

}  // namespace

std::string MakeTempFolder(const char* tag) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  // Seeded from the clock as well: some C runtimes give every process the
  // same random_device sequence. Creating the folder is what claims a name.
  static std::mt19937_64 rng(std::random_device{}() ^
                             std::chrono::steady_clock::now().time_since_epoch().count());
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  for (int attempt = 0; !ec && attempt < 100; ++attempt) {
    std::string name = std::string("velmar-") + tag + "-";
    for (int i = 0; i < 6; ++i) name += kChars[rng() % (sizeof kChars - 1)];
    fs::path dir = base / name;
    if (fs::create_directory(dir, ec)) {
      fs::permissions(dir, fs::perms::owner_all, ec);
      return dir.string();
    }
  }
  std::fprintf(stderr, "no temporary folder for %s: %s\n", tag, ec.message().c_str());
  std::abort();
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}

std::string ScratchFolder() {
  if (gScratch.empty()) {
    gScratch = MakeTempFolder("scratch");
    std::atexit(RemoveScratch);
  }
  return gScratch;
}

std::string ScratchPath(const std::string& name) {
  return ScratchFolder() + "/" + name;
}
