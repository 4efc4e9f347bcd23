// Body files made ahead on a thread of their own: they have no name in the save directory until
// they are saved, take the first free numbered name, and leave nothing behind otherwise; where
// none can be made the body file makes its own as always.
#include "main/TempFileSupply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "main/BodyFile.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

// A body file from `supply`, once it has one ready (the supply fills in the background): one that
// had to make its own, named, file is dropped with it and the next one tried.
std::unique_ptr<TBodyFile> FromSupply(TTempFileSupply& supply, const std::string& dir) {
  for (int i = 0; i < 500; ++i) {
    auto file = std::make_unique<TBodyFile>(dir, true, &supply);
    if (file->Made() && file->TempPath().empty()) return file;
    file.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return nullptr;
}

TEST(TempFileSupply, FilesMadeAheadAreNamedOnlyWhenSaved) {
  struct Case {
    Strings there;  // files in the directory before
    std::string saved;
  };
  const Case cases[] = {
      {{}, "a.jpg"}, {{"a.jpg"}, "a(1).jpg"}, {{"a(1).jpg", "a.jpg"}, "a(2).jpg"}};
  for (const Case& c : cases) {
    TempDir tmp;
    for (const std::string& name : c.there) WriteFileBytes(tmp.File(name), "old " + name);
    {
      TTempFileSupply supply(tmp.path(), 4);
      std::unique_ptr<TBodyFile> file = FromSupply(supply, tmp.path());
      ASSERT_TRUE(file && file->Made());
      file->Write("new", 3);
      EXPECT_EQ(ListDirectory(tmp.path()), c.there);  // nothing shows while it is written
      EXPECT_EQ(file->Commit(tmp.File("a.jpg")), tmp.File(c.saved));
      // A body file not saved leaves nothing either.
      std::unique_ptr<TBodyFile> dropped = FromSupply(supply, tmp.path());
      ASSERT_TRUE(dropped);
      dropped->Write("gone", 4);
    }
    Strings expected = c.there;
    expected.push_back(c.saved);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListDirectory(tmp.path()), expected);
    EXPECT_EQ(ReadFileBytes(tmp.File(c.saved)), "new");
    for (const std::string& name : c.there) EXPECT_EQ(ReadFileBytes(tmp.File(name)), "old " + name);
  }
}

TEST(TempFileSupply, WithoutAFileReadyTheBodyFileMakesItsOwn) {
  TempDir tmp;
  const std::string missing = tmp.File("missing");
  TTempFileSupply supply(missing);
  // Another directory gets nothing from the supply; a directory that is not there, nothing at all.
  TBodyFile elsewhere(tmp.path(), true, &supply);
  ASSERT_TRUE(elsewhere.Made());
  EXPECT_FALSE(elsewhere.TempPath().empty());  // a temporary file of its own, with a name
  EXPECT_EQ(elsewhere.Commit(tmp.File("b.gif")), tmp.File("b.gif"));
  TBodyFile nowhere(missing, true, &supply);
  EXPECT_FALSE(nowhere.Made());
  EXPECT_EQ(ListDirectory(tmp.path()), Strings{"b.gif"});
}

}  // namespace
}  // namespace toravin::test
