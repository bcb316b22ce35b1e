// Fresh temporary folders for tests, on Linux and on Windows alike: each
// made under a name no other test or run has, and removed with its contents.
#ifndef VELMAR_TESTS_SUPPORT_TEMPDIR_H
#define VELMAR_TESTS_SUPPORT_TEMPDIR_H

#include <string>

// Makes a new folder "velmar-TAG-" and six random letters and digits in
// the system's temporary folder ($TMPDIR or /tmp; %TEMP% on Windows), for
// its owner only. Returns its path; ends the test program when no folder
// can be made.
std::string MakeTempFolder(const char* tag);

// Removes path with everything under it; a path that is not there is fine.
void RemoveTree(const std::string& path);

// This process's scratch folder: a temporary folder made on first use and
// removed with its contents when the process exits.
std::string ScratchFolder();

// The path of name in the scratch folder.
std::string ScratchPath(const std::string& name);

// A fresh folder for the guard's lifetime.
struct TempFolder {
  std::string Path;  // the folder
  explicit TempFolder(const char* tag) : Path(MakeTempFolder(tag)) {}
  ~TempFolder() { RemoveTree(Path); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
};

#endif  // VELMAR_TESTS_SUPPORT_TEMPDIR_H
