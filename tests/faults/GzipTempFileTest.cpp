// Decoding a gzip-encoded page never touches a file of the user's: the copy and the decoded file
// lie in a private directory made for the run's decodes and removed at its end, and the plug-in
// creates its output as a new file without following links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CrawlFixture.h"
#include "archive/Archive.h"
#include "platform/FileSystem.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

// TMPDIR pointed at a fresh folder for the length of a test.
class PrivateTmp {
 public:
  PrivateTmp() : m_old(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "") {
    setenv("TMPDIR", m_dir.path().c_str(), 1);
  }
  ~PrivateTmp() {
    if (m_old.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", m_old.c_str(), 1);
    }
  }
  const std::string& path() const { return m_dir.path(); }

 private:
  TempDir m_dir;
  std::string m_old;
};

class GzipTempFiles : public CrawlFixture {};

TEST_F(GzipTempFiles, ServerChosenNameCannotReachAFileOfTheUser) {
  PrivateTmp privateTmp;
  // Files of the user's in the current directory, under the names a decode of "index.html"
  // would have used there.
  WriteFileBytes(tmp.File("victim.txt"), "precious");
  ASSERT_EQ(symlink(tmp.File("victim.txt").c_str(), tmp.File("index.html_extracted").c_str()), 0);
  WriteFileBytes(tmp.File("index.html"), "my own page");
  S().JPGDownLoad = true;
  S().UseTar = true;
  Page("/d/index.html", Gzip("<html><img src=\"a.jpg\"></html>"), "Content-Encoding: gzip\r\n");
  File("/d/a.jpg", "A", "image/jpeg");
  form->AddressEdit.Text = Url("/d/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"a.jpg"});
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_EQ(ReadFileBytes(tmp.File("victim.txt")), "precious");
  EXPECT_EQ(ReadFileBytes(tmp.File("index.html")), "my own page");
  char target[4096] = {};
  EXPECT_GT(readlink(tmp.File("index.html_extracted").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(ListDirectory(tmp.path()),
            (Strings{"index.html", "index.html_extracted", "save", "victim.txt"}));
  // The private directory is gone again.
  EXPECT_EQ(ListDirectory(privateTmp.path()), Strings{});
}

TEST(GzipPlugin, OutputIsCreatedNewAndNeverThroughALink) {
  TempDir tmp;
  TArchive archive(LibrarySearch{{ExecutableDirectory()}, false});
  const std::string gz = Gzip("<html>page</html>");
  struct Case {
    const char* what;
    bool link;  // the output name is a link to victim.txt; else a file of its own
  } cases[] = {{"existing file", false}, {"link", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string page = tmp.File(std::string(c.link ? "l" : "f") + ".html");
    WriteFileBytes(page, gz);
    WriteFileBytes(tmp.File("victim.txt"), "precious");
    if (c.link) {
      ASSERT_EQ(symlink(tmp.File("victim.txt").c_str(), (page + "_extracted").c_str()), 0);
    } else {
      WriteFileBytes(page + "_extracted", "mine");
    }
    TArchive::DecodeResult r = archive.DecodeFile(page, 1000);
    EXPECT_EQ(r.status, TArchive::DecodeStatus::kFailed);
    EXPECT_EQ(ReadFileBytes(tmp.File("victim.txt")), "precious");
    if (!c.link) {
      EXPECT_EQ(ReadFileBytes(page + "_extracted"), "mine");
    }
  }
  // A fresh name decodes as before.
  const std::string page = tmp.File("n.html");
  WriteFileBytes(page, gz);
  TArchive::DecodeResult r = archive.DecodeFile(page, 1000);
  EXPECT_EQ(r.status, TArchive::DecodeStatus::kDecoded);
  EXPECT_EQ(r.page, "<html>page</html>");
}

TEST(PrivateDirectory, OnlyTheUserMayEnterAndRemovalStaysInside) {
  PrivateTmp privateTmp;
  const std::string dir = MakePrivateDirectory();
  ASSERT_FALSE(dir.empty());
  struct stat st;
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(dir.rfind(privateTmp.path() + "/toravin-", 0), 0u);
  WriteFileBytes(privateTmp.path() + "/outside.txt", "keep");
  WriteFileBytes(dir + "/a", "x");
  ASSERT_EQ(symlink((privateTmp.path() + "/outside.txt").c_str(), (dir + "/b").c_str()), 0);
  EXPECT_TRUE(RemovePrivateDirectory(dir));
  EXPECT_EQ(ListDirectory(privateTmp.path()), Strings{"outside.txt"});
  EXPECT_EQ(ReadFileBytes(privateTmp.path() + "/outside.txt"), "keep");
}

}  // namespace
}  // namespace toravin::test
