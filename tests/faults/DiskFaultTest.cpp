// A full disk, failing writes and a failing free-space query, injected through the platform file
// layer: what the user is told, what is on disk and what stays in the work list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CrawlFixture.h"
#include "platform/Cp932.h"
#include "platform/FileFaults.h"
#include "platform/FileSystem.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class DiskFaults : public CrawlFixture {
 protected:
  void TearDown() override {
    InjectedFileFaults() = FileFaults();
    CrawlFixture::TearDown();
  }
  void ThreePictures() {
    S().JPGDownLoad = true;
    Page("/index.html", "<img src=\"a.jpg\"><img src=\"b.jpg\"><img src=\"c.jpg\">");
    File("/a.jpg", "AAAA", "image/jpeg");
    File("/b.jpg", std::string(100, 'B'), "image/jpeg");
    File("/c.jpg", "CC", "image/jpeg");
    form->AddressEdit.Text = Url("/index.html");
  }
};

TEST_F(DiskFaults, UnknownFreeSpaceIsNoReasonToRefuse) {
  InjectedFileFaults().freeSpaceQueryFails = true;
  ThreePictures();
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"a.jpg", "b.jpg", "c.jpg"}));
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  // The settings are written at exit too.
  form->AddressEdit.Text = "http://example.test/";
  Restart();
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_EQ(form->AddressEdit.Text, "http://example.test/");
}

TEST_F(DiskFaults, DiskFullMidWriteLeavesNoPartialFileAndAbortsTheRun) {
  ThreePictures();
  InjectedFileFaults().bytesUntilDiskFull = 10;  // a.jpg fits, b.jpg runs out of space
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"a.jpg"});
  EXPECT_EQ(Saved("a.jpg"), "AAAA");
  EXPECT_EQ(Boxes(),
            (Strings{"ディスクがいっぱいで書き込めません。", "ダウンロードを中断しました。"}));
  ASSERT_EQ(Pending().size(), 1u);  // b.jpg is removed as when its length does not fit
  EXPECT_EQ(Pending()[0], "c.jpg");
  EXPECT_TRUE(form->ContinueButton.Enabled);
}

TEST_F(DiskFaults, FailingWritesAreToldAndTheEntryIsKept) {
  ThreePictures();
  InjectedFileFaults().writesFail = true;
  Download();
  EXPECT_EQ(SavedFiles(), Strings{});
  EXPECT_EQ(Boxes(), (Strings{"ファイル " + saveDir + "\\a.jpg を作成できません",
                              "ダウンロードを中断しました。"}));
  EXPECT_EQ(Pending(), (Strings{"a.jpg", "b.jpg", "c.jpg"}));
  // Once the disk takes writes again, Continue saves everything.
  InjectedFileFaults() = FileFaults();
  Continue();
  EXPECT_EQ(SavedFiles(), (Strings{"a.jpg", "b.jpg", "c.jpg"}));
  EXPECT_EQ(Saved("b.jpg"), std::string(100, 'B'));
  EXPECT_EQ(Pending(), Strings{});
}

TEST_F(DiskFaults, SettingsFileSurvivesAFullDisk) {
  form->AddressEdit.Text = "http://first.test/";
  Restart();  // writes the settings file
  const std::string before = ReadFileBytes(iniFile);
  ASSERT_FALSE(before.empty());
  for (std::int64_t budget :
       {std::int64_t{0}, std::int64_t{1}, std::int64_t{100}, std::int64_t(before.size()) - 1}) {
    SCOPED_TRACE(budget);
    InjectedFileFaults().bytesUntilDiskFull = budget;
    form->AddressEdit.Text = "http://second.test/";
    Restart();
    InjectedFileFaults() = FileFaults();
    EXPECT_EQ(ReadFileBytes(iniFile), before);
    // No stray file beside the settings and the options file.
    EXPECT_EQ(ListDirectory(tmp.path()), (Strings{"ToraVin.ini", "ToraVin.options", "save"}));
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(Boxes().back(), "ファイル " + iniFile + " を作成できません");
  }
}

}  // namespace
}  // namespace toravin::test
