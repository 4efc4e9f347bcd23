// Names that end in a double-byte character whose trail byte is 0x5C, the byte of "\": every
// place that looks at the last byte of a path must see the character, not a separator.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "CrawlFixture.h"
#include "LhaHeader.h"
#include "archive/Archive.h"
#include "main/UrlRules.h"
#include "platform/Cp932.h"

namespace toravin::test {
namespace {

// Each ends in a trail byte 0x5C.
const char* const kTrail5CNames[] = {"一覧表", "ソ", "能", "十", "予", "申"};

TEST(SjisTrailByteNames, PathJoinsAndTests) {
  for (const char* utf8 : kTrail5CNames) {
    SCOPED_TRACE(utf8);
    const std::string dir = "C:\\" + Sj(utf8);
    ASSERT_EQ(dir.back(), '\\');  // the trail byte
    EXPECT_FALSE(EndsWithSeparator(dir));
    EXPECT_TRUE(EndsWithSeparator(dir + "\\"));
    EXPECT_TRUE(EndsWithSeparator(dir + "/"));
    EXPECT_EQ(LastCharStart(dir), dir.size() - 2);
    EXPECT_EQ(JoinPath(dir, "x.jpg"), dir + "\\x.jpg");
    EXPECT_EQ(JoinPath(dir + "\\", "x.jpg"), dir + "\\x.jpg");
    EXPECT_EQ(TArchive::ArchivePath(dir, "pics.lzh"), dir + "\\pics.lzh");
    EXPECT_EQ(TArchive::ArchivePath(dir, Sj(utf8) + ".lzh"), dir + "\\" + Sj(utf8) + ".lzh");
    EXPECT_EQ(TArchive::ArchiveFolder(Sj(utf8) + ".lzh"), Sj(utf8));
    EXPECT_EQ(FileNamePart(dir), Sj(utf8));
    EXPECT_EQ(FileNamePart("http://h/" + Sj(utf8) + ".jpg"), Sj(utf8) + ".jpg");
    EXPECT_EQ(LinkExtension("a." + Sj(utf8)), "." + Sj(utf8));
    EXPECT_EQ(LinkExtension(Sj(utf8) + "\\a"), "");
  }
}

TEST(SjisTrailByteNames, ArchiveFolderFieldReadsBackWhole) {
  TempDir tmp;
  for (const char* utf8 : kTrail5CNames) {
    SCOPED_TRACE(utf8);
    lha::NewEntry e;
    e.folder = Sj(utf8);
    e.name = "x.jpg";
    const std::string header = lha::BuildLevel2Header(e);
    const std::string file = tmp.File("h.bin");
    WriteFileBytes(file, header + std::string(1, '\0'));
    std::FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    lha::EntryInfo info;
    EXPECT_EQ(lha::ReadEntryHeader(f, 0, header.size() + 1, info), lha::ReadStatus::kEntry);
    std::fclose(f);
    EXPECT_EQ(info.folder, Sj(utf8));
    EXPECT_EQ(info.Path(), Sj(utf8) + "\\x.jpg");
  }
}

class SjisSaveDirectory : public CrawlFixture {};

TEST_F(SjisSaveDirectory, FilesLandInsideTheDirectory) {
  S().JPGDownLoad = true;
  File("/x.jpg", "jpeg", "image/jpeg");
  for (const char* utf8 : kTrail5CNames) {
    SCOPED_TRACE(utf8);
    const std::string dir = saveDir + "/" + utf8;
    ASSERT_EQ(mkdir(dir.c_str(), 0777), 0);
    form->AddressEdit.Text = Url("/x.jpg");
    form->DirectoryEdit.Text = saveDir + "/" + Sj(utf8);
    Download();
    EXPECT_EQ(ListDirectory(dir), std::vector<std::string>{"x.jpg"});
    EXPECT_EQ(ReadFileBytes(dir + "/x.jpg"), "jpeg");
  }
  // Nothing beside the directories.
  std::vector<std::string> expected(std::begin(kTrail5CNames), std::end(kTrail5CNames));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(SavedFiles(), expected);
}

TEST_F(SjisSaveDirectory, MissingDirectoryIsCreatedWithItsWholeName) {
  S().JPGDownLoad = true;
  File("/x.jpg", "jpeg", "image/jpeg");
  form->AddressEdit.Text = Url("/x.jpg");
  form->DirectoryEdit.Text = saveDir + "/" + Sj("一覧表") + "\\" + Sj("ソ");
  dialogs.messageAnswers = {ModalResult::mrYes};
  Download();
  EXPECT_EQ(ReadFileBytes(saveDir + "/一覧表/ソ/x.jpg"), "jpeg");
  EXPECT_EQ(SavedFiles(), std::vector<std::string>{"一覧表"});
}

TEST_F(SjisSaveDirectory, PastedUrlsKeepTheirWholeDirectoryInTheReferrer) {
  for (const char* utf8 : kTrail5CNames) {
    SCOPED_TRACE(utf8);
    S().ClearItems();
    dialogs.clipboard = "http://h/" + Sj(utf8) + "/x.jpg\r\nhttp://h/" + Sj(utf8) + "\\y.jpg";
    dialogs.inputAnswers = {"index.html"};
    mf->UrlPasteClick();
    ASSERT_EQ(S().Count(), 2);
    EXPECT_EQ(S().Item(0).Referer, "http://h/" + Sj(utf8) + "/index.html");
    EXPECT_EQ(S().Item(1).Referer, "http://h/" + Sj(utf8) + "/index.html");
  }
}

}  // namespace
}  // namespace toravin::test
