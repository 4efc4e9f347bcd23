// A settings file that does not load is kept aside as "ToraVin.ini.broken" (numbered when that
// name is taken) before the exit writes a new one, and the load error's box says where it is.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CrawlFixture.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class BrokenSettings : public CrawlFixture {};

TEST_F(BrokenSettings, UnloadableFileIsKeptBeforeTheExitRewritesIt) {
  const struct Case {
    std::string bytes;
    Strings taken;  // names already beside the settings file
    std::string kept;
    std::string error;
  } cases[] = {
      {"garbage", {}, "ToraVin.ini.broken", "不正なストリーム フォーマット"},
      {std::string("TPF0\x0FTToraVinIniList\x00\x02Rf\x01\x06\x05", 25),
       {"ToraVin.ini.broken"},
       "ToraVin.ini(1).broken",
       "TToraVinIniList.Rf の読み込み中のエラー : ストリームからの読み込みエラー"},
      {"TPF",
       {"ToraVin.ini.broken", "ToraVin.ini(1).broken"},
       "ToraVin.ini(2).broken",
       "ストリームからの読み込みエラー"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kept);
    mf.reset();
    for (const std::string& n : ListDirectory(tmp.path())) {
      if (n != "save") std::remove(tmp.File(n).c_str());
    }
    for (const std::string& n : c.taken) WriteFileBytes(tmp.File(n), "earlier " + n);
    WriteFileBytes(iniFile, c.bytes);
    dialogs.clear();
    Restart();  // loads the broken file
    ASSERT_EQ(Boxes().size(), 1u);
    const std::string box = Boxes()[0];
    EXPECT_EQ(box.substr(0, c.error.size()), c.error);
    EXPECT_TRUE(box.ends_with("\r\n読み込めなかった設定ファイルは " + tmp.File(c.kept) +
                              " として残しました。"))
        << box;
    EXPECT_EQ(ReadFileBytes(tmp.File(c.kept)), c.bytes);
    for (const std::string& n : c.taken) EXPECT_EQ(ReadFileBytes(tmp.File(n)), "earlier " + n);
    // The exit writes a new file, and it loads without a word.
    dialogs.clear();
    Restart();
    EXPECT_EQ(Boxes(), Strings{});
    EXPECT_EQ(ReadFileBytes(tmp.File(c.kept)), c.bytes);
  }
}

}  // namespace
}  // namespace toravin::test
