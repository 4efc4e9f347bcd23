// Our archives hold only plain relative entry paths, whatever the archive name field or the
// file name hold: no "..", no absolute path, no drive prefix.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "EntryPath.h"
#include "LhaHeader.h"
#include "archive/Archive.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

TEST(LhaEntryName, OnlySafeRelativePathsAreStored) {
  struct Case {
    std::string path;
    bool ok;
    std::string folder, name;
  } cases[] = {
      {"pics\\a.jpg", true, "pics", "a.jpg"},
      {"..\\..\\a.jpg", true, "", "a.jpg"},
      {"pics\\..\\..\\a.jpg", true, "pics", "a.jpg"},
      {"\\abs\\a.jpg", true, "abs", "a.jpg"},
      {"/etc/passwd", true, "etc", "passwd"},
      {"C:\\x\\a.jpg", true, "x", "a.jpg"},
      {"C:a.jpg", true, "", "a.jpg"},
      {"\\\\server\\share\\a.jpg", true, "server\\share", "a.jpg"},
      {"a\\.\\b\\...\\c.jpg", true, "a\\b", "c.jpg"},
      {Sj("一覧表") + "\\" + Sj("ソ"), true, Sj("一覧表"), Sj("ソ")},
      {"pics\\..", false, "", ""},
      {"..", false, "", ""},
      {".", false, "", ""},
      {"", false, "", ""},
      {"pics\\", false, "", ""},
      {"C:", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string folder = "x", name = "x";
    ASSERT_EQ(lha::SafeEntryPath(c.path, folder, name), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(name, c.name);
  }
}

std::vector<std::string> StoredPaths(const std::string& archive) {
  std::vector<std::string> out;
  std::FILE* f = std::fopen(archive.c_str(), "rb");
  if (f == nullptr) return out;
  struct stat st;
  ::stat(archive.c_str(), &st);
  std::uint64_t at = 0;
  lha::EntryInfo info;
  while (lha::ReadEntryHeader(f, at, static_cast<std::uint64_t>(st.st_size), info) ==
         lha::ReadStatus::kEntry) {
    out.push_back(info.Path());
    at = info.dataOffset + info.packedSize;
  }
  std::fclose(f);
  return out;
}

TEST(LhaEntryName, HostileArchiveAndFileNamesThroughThePlugin) {
  TempDir tmp;
  const std::string dir = tmp.File("a/save");
  ASSERT_TRUE(ForceDirectories(dir));
  TArchive archive(LibrarySearch{{ExecutableDirectory()}, false});
  ASSERT_TRUE(archive.BeginPacking());
  auto pack = [&](const std::string& lhaName, const std::string& name) {
    return archive.PackBody(dir, lhaName, name, "body", 1000);
  };
  EXPECT_EQ(pack("..\\..\\pics.lzh", "a.jpg").status, TArchive::PackStatus::kPacked);
  EXPECT_EQ(pack("pics", "..").status, TArchive::PackStatus::kFailed);
  EXPECT_EQ(pack("pics", ".").status, TArchive::PackStatus::kFailed);
  EXPECT_EQ(pack("pics", "").status, TArchive::PackStatus::kFailed);
  EXPECT_EQ(pack("pics", "b.jpg").status, TArchive::PackStatus::kPacked);
  EXPECT_EQ(StoredPaths(dir + "/pics.lzh"), (std::vector<std::string>{"pics\\b.jpg"}));
  // "..\..\pics" names an archive two levels up (the user's choice of file); its entry is
  // stored under the plain folder "pics".
  EXPECT_EQ(StoredPaths(tmp.File("pics.lzh")), (std::vector<std::string>{"pics\\a.jpg"}));
  archive.EndPacking();
}

}  // namespace
}  // namespace toravin::test
