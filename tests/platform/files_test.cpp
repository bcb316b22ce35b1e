// velmar-log's file calls: a create that never writes through what is
// already at the path, transfers at an offset, and paths told apart with
// links not followed where that matters.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/bytes.h"
#include "support/tempdir.h"

namespace {

TEST(PlatformFilesTest, CreateWithoutReplaceLeavesWhatIsThereAlone) {
  TempFolder dir("files");
  std::string file = dir.Path + "/file", link = dir.Path + "/link", target = dir.Path + "/target";
  WriteBytes(file, {1, 2, 3});
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  for (const std::string& path : {file, link, dir.Path}) {
    errno = 0;
    EXPECT_EQ(PlatformCreateFile(path.c_str(), 0, 0644), -1) << path;
    EXPECT_EQ(errno, EEXIST) << path;
    errno = 0;
    EXPECT_EQ(PlatformCreateStream(path.c_str(), 0, 0644), nullptr) << path;
    EXPECT_EQ(errno, EEXIST) << path;
  }
  EXPECT_EQ(ReadBytes(file), Bytes({1, 2, 3}));
  EXPECT_FALSE(PlatformPathTaken(target.c_str())) << "written through the link";

  int fd = PlatformCreateFile(file.c_str(), 1, 0644);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(PlatformCloseFile(fd), 0);
  EXPECT_TRUE(ReadBytes(file).empty()) << "replace empties the file";
  FILE* f = PlatformCreateStream((dir.Path + "/new").c_str(), 0, 0644);
  ASSERT_NE(f, nullptr);
  fputs("COM1\n", f);
  EXPECT_EQ(fclose(f), 0);
  EXPECT_EQ(ReadBytes(dir.Path + "/new"), Bytes({'C', 'O', 'M', '1', '\n'}));
}

TEST(PlatformFilesTest, TransfersLandAtTheirOffsetAndReadsStopAtTheEnd) {
  TempFolder dir("files");
  std::string path = dir.Path + "/log";
  int fd = PlatformCreateFile(path.c_str(), 0, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(PlatformSetFileSize(fd, 100), 0);
  const uint8_t four[4] = {9, 8, 7, 6};
  EXPECT_EQ(PlatformWriteAt(fd, four, 4, 96), 4);
  EXPECT_EQ(PlatformWriteAt(fd, four, 2, 0), 2);
  uint8_t got[4] = {0, 0, 0, 0};
  EXPECT_EQ(PlatformReadAt(fd, got, 4, 98), 2);
  EXPECT_EQ(got[0], 7);
  EXPECT_EQ(got[1], 6);
  EXPECT_EQ(PlatformReadAt(fd, got, 4, 100), 0);
  uint8_t whole[104];
  EXPECT_EQ(PlatformReadAllAt(fd, whole, 100, 0), 100);
  EXPECT_EQ(whole[97], 8);
  EXPECT_EQ(PlatformReadAllAt(fd, whole, 104, 0), 100) << "a whole read stops at the end";
  EXPECT_EQ(PlatformReadAllAt(fd, whole, 4, 100), 0);
  EXPECT_EQ(PlatformCloseFile(fd), 0);
  Bytes want(100, 0);
  want[0] = 9, want[1] = 8, want[96] = 9, want[97] = 8, want[98] = 7, want[99] = 6;
  EXPECT_EQ(ReadBytes(path), want);
  EXPECT_EQ(PlatformReadAt(fd, got, 4, 0), -1) << "a closed descriptor";
  EXPECT_EQ(PlatformReadAllAt(fd, got, 4, 0), -1) << "a closed descriptor";
}

TEST(PlatformFilesTest, PathsAreToldApartAndFoldersMadeOnce) {
  TempFolder dir("files");
  std::string file = dir.Path + "/file", missing = dir.Path + "/missing";
  std::string toFile = dir.Path + "/to-file", dangling = dir.Path + "/dangling";
  WriteBytes(file, {1});
  ASSERT_EQ(symlink(file.c_str(), toFile.c_str()), 0);
  ASSERT_EQ(symlink(missing.c_str(), dangling.c_str()), 0);
  EXPECT_TRUE(PlatformPathTaken(dangling.c_str()));
  EXPECT_FALSE(PlatformPathTaken(missing.c_str()));
  EXPECT_EQ(PlatformIsRegularFile(file.c_str()), 1);
  EXPECT_EQ(PlatformIsRegularFile(toFile.c_str()), 1);
  EXPECT_EQ(PlatformIsRegularFile(dir.Path.c_str()), 0);
  EXPECT_EQ(PlatformIsRegularFile("/dev/null"), 0);
  errno = 0;
  EXPECT_EQ(PlatformIsRegularFile(dangling.c_str()), -1);
  EXPECT_EQ(errno, ENOENT);

  std::string sub = dir.Path + "/sub";
  EXPECT_EQ(PlatformMakeFolder(sub.c_str()), 0);
  EXPECT_EQ(PlatformIsRegularFile(sub.c_str()), 0);
  EXPECT_EQ(PlatformMakeFolder(sub.c_str()), -1);
  EXPECT_EQ(errno, EEXIST);
  WriteBytes(sub + "/x", {1});
  EXPECT_EQ(PlatformRemoveFolder(sub.c_str()), -1) << "a folder with a file in it";
  EXPECT_EQ(errno, ENOTEMPTY);
  ASSERT_EQ(unlink((sub + "/x").c_str()), 0);
  EXPECT_EQ(PlatformRemoveFolder(sub.c_str()), 0);
  EXPECT_FALSE(PlatformPathTaken(sub.c_str()));
}

// Unique names never meet, the file gets the bits an open would give it,
// and a replace swaps the name over a file or a link (not its target).
TEST(PlatformFilesTest, UniqueFilesAreNewAndReplaceTakesTheName) {
  TempFolder dir("files");
  std::string log = dir.Path + "/log", link = dir.Path + "/link", target = dir.Path + "/target";
  std::string pattern = log + ".XXXXXX.tmp";
  std::string a = pattern, b = pattern;
  int fa = PlatformCreateUniqueFile(&a[0], 4, 0644), fb = PlatformCreateUniqueFile(&b[0], 4, 0644);
  ASSERT_GE(fa, 0);
  ASSERT_GE(fb, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.size(), pattern.size());
  EXPECT_EQ(a.substr(a.size() - 4), ".tmp");
  mode_t mask = umask(0);
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);
  EXPECT_EQ(PlatformWriteAt(fa, "new", 3, 0), 3);
  EXPECT_EQ(PlatformCloseFile(fa), 0);
  EXPECT_EQ(PlatformCloseFile(fb), 0);
  std::string bad = dir.Path + "/no-x";
  errno = 0;
  EXPECT_EQ(PlatformCreateUniqueFile(&bad[0], 0, 0644), -1);
  EXPECT_EQ(errno, EINVAL);

  WriteBytes(log, {1, 2});
  EXPECT_EQ(PlatformReplaceFile(a.c_str(), log.c_str()), 0);
  EXPECT_EQ(ReadBytes(log), Bytes({'n', 'e', 'w'}));
  EXPECT_FALSE(PlatformPathTaken(a.c_str()));
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  EXPECT_EQ(PlatformReplaceFile(b.c_str(), link.c_str()), 0);
  EXPECT_EQ(PlatformIsRegularFile(link.c_str()), 1);
  EXPECT_FALSE(PlatformPathTaken(target.c_str())) << "replaced through the link";
  EXPECT_EQ(PlatformReplaceFile(b.c_str(), log.c_str()), -1);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
