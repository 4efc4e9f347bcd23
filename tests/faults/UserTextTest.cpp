// Every text our own code puts in front of the user is Japanese: the save-directory checks of
// Download and Continue, a directory that cannot be made, and a run out of memory.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "CrawlFixture.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

// True when the text holds at least one character outside ASCII (all our texts do).
bool Japanese(const std::string& utf8) {
  for (unsigned char c : utf8) {
    if (c >= 0x80) return true;
  }
  return false;
}

class UserTexts : public CrawlFixture {
 protected:
  void ExpectAllJapanese() {
    for (const std::string& box : Boxes()) EXPECT_TRUE(Japanese(box)) << box;
  }
};

TEST_F(UserTexts, ContinueWithAnEmptySaveDirectory) {
  S().JPGDownLoad = true;
  File("/a.jpg", "A", "image/jpeg");
  S().AddItem(Url("/a.jpg"), Url("/"));
  form->AddressEdit.Text = Url("/");
  form->DirectoryEdit.Text = "";
  dialogs.messageAnswers = {ModalResult::mrYes};
  Continue();
  EXPECT_EQ(Boxes(), Strings{"保存するディレクトリーを指定してください。"});
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_EQ(Pending(), Strings{Url("/a.jpg")});
  ExpectAllJapanese();
}

TEST_F(UserTexts, DirectoryThatCannotBeMade) {
  S().JPGDownLoad = true;
  File("/a.jpg", "A", "image/jpeg");
  WriteFileBytes(saveDir + "/plain.txt", "a file, not a folder");
  form->AddressEdit.Text = Url("/a.jpg");
  form->DirectoryEdit.Text = saveDir + "/plain.txt/sub";
  dialogs.messageAnswers = {ModalResult::mrYes};
  Download();
  EXPECT_EQ(Boxes(), (Strings{saveDir + "/plain.txt/sub が見つかりません。\r\n作成しますか？",
                              "保存するフォルダーが存在しないので、中断します。"}));
  EXPECT_EQ(server.Connections(), 0);
  ExpectAllJapanese();
}

TEST_F(UserTexts, PlatformAndOutOfMemoryTexts) {
  try {
    ForceDirectories("");
    ADD_FAILURE();
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(Cp932ToUtf8(e.what()), "名前が空のフォルダーは作成できません。");
  }
  mf->Guarded([] { throw std::bad_alloc(); });
  EXPECT_EQ(Boxes(), Strings{"メモリーが足りません。"});
  ExpectAllJapanese();
}

}  // namespace
}  // namespace toravin::test
