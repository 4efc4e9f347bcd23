// File functions: "\" separators, CP932 names on a UTF-8 file system, replacing a file whole.
#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "platform/Cp932.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::ReadFileBytes;
using test::TempDir;

TEST(FileSystem, NativePathMapsSeparatorsAndText) {
  EXPECT_EQ(NativePath("a\\b\\c.txt"), "a/b/c.txt");
  // The trail byte 0x5C of "表" stays part of the character.
  EXPECT_EQ(NativePath("d\\\x95\x5C.jpg"), "d/表.jpg");
}

TEST(FileSystem, WriteReadAndJapaneseNames) {
  TempDir dir;
  std::string path = Utf8ToCp932(dir.path()) + "\\\x95\x5C.bin";
  std::string data("a\0b\xFF", 4);
  ASSERT_TRUE(WriteWholeFile(path, data));
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(DirectoryExists(path));
  EXPECT_EQ(ReadFileBytes(dir.path() + "/表.bin"), data);
  EXPECT_EQ(ReadWholeFile(path).value(), data);
  EXPECT_TRUE(DeleteFileAt(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(ReadWholeFile(path).has_value());
}

TEST(FileSystem, ReplacingLeavesOnlyTheNewFile) {
  TempDir dir;
  std::string path = dir.File("ToraVin.ini");
  test::WriteFileBytes(path, "old contents");
  ASSERT_TRUE(WriteFileReplacing(path, "new"));
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_EQ(test::ListDirectory(dir.path()), std::vector<std::string>{"ToraVin.ini"});
  // A directory that does not exist: failure, nothing created.
  EXPECT_FALSE(WriteFileReplacing(dir.File("missing/ToraVin.ini"), "x"));
  EXPECT_EQ(test::ListDirectory(dir.path()), std::vector<std::string>{"ToraVin.ini"});
}

// A write that runs out of room (here: the process's file-size limit) fails and leaves the old
// file exactly as it was, with no temporary file behind.
TEST(FileSystem, FailedReplacementKeepsTheOldFile) {
  TempDir dir;
  std::string path = dir.File("ToraVin.ini");
  test::WriteFileBytes(path, "old settings");
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &old), 0);
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool written = WriteFileReplacing(path, std::string(1000, 'n'));
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFileBytes(path), "old settings");
  EXPECT_EQ(test::ListDirectory(dir.path()), std::vector<std::string>{"ToraVin.ini"});
}

TEST(FileSystem, ForceDirectoriesCreatesParents) {
  TempDir dir;
  std::string deep = dir.path() + "\\a\\b\\c";
  EXPECT_FALSE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(dir.File("a/b/c")));
  EXPECT_TRUE(ForceDirectories(deep));  // already there
  EXPECT_THROW(ForceDirectories(""), std::invalid_argument);
  EXPECT_FALSE(DirectoryExists(""));
}

TEST(FileSystem, MachineFacts) {
  EXPECT_GT(FreeSpaceOfCurrentDrive(), 0u);
  EXPECT_FALSE(CurrentDirectory().empty());
  std::string exe = ExecutableDirectory();
  ASSERT_FALSE(exe.empty());
  EXPECT_NE(exe.back(), '/');
  EXPECT_TRUE(DirectoryExists(exe));
}

}  // namespace
}  // namespace toravin
