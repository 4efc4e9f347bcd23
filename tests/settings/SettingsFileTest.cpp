// The settings file byte for byte: the first-run image, the short/long text boundary, the work
// list record, random stores written and read back, and saving next to an old file.
#include <gtest/gtest.h>

#include <random>

#include "platform/Cp932.h"
#include "settings/ESettingsError.h"
#include "settings/ToraVinIniList.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::string Name(const std::string& n) { return std::string(1, static_cast<char>(n.size())) + n; }
std::string Short(const std::string& t) { return "\x06" + Name(t); }
const std::string F = "\x08", T = "\x09";
const std::string kHead = std::string("TPF0") + Name("TToraVinIniList") + std::string(1, '\0');
const std::string kEnd(2, '\0');

std::string FirstRunImage() {
  return kHead + Name("DoFileChoice") + F + Name("JPGDownLoad") + F + Name("GIFDownLoad") + F +
         Name("ZIPDownLoad") + F + Name("HTMLDownLoad") + F + Name("TargetURL") + Short("http://") +
         Name("JpegName") + Short("*.jpg") + Name("GifName") + Short("*.gif") + Name("ZipName") +
         Short("*.zip") + Name("HtmlName") + Short("*.html") + Name("ProxyUse") + F +
         Name("UseLha") + F + Name("FileSizeCheck") + F + Name("UseTar") + F + Name("Retry") + T +
         Name("RetryCount") + Short("5") + kEnd;
}

TEST(SettingsFile, FirstRunFileIs234BytesExactly) {
  TToraVinIniList store;
  store.ApplyFirstRunDefaults();
  store.TargetURL = "http://";
  std::string image = store.SaveToBytes();
  EXPECT_EQ(image.size(), 234u);
  EXPECT_EQ(image, FirstRunImage());
  // Its first bytes as listed in the file layout.
  EXPECT_EQ(image.substr(0, 21), std::string("TPF0\x0FTToraVinIniList\x00", 21));
}

TEST(SettingsFile, ShortAndLongTextBoundary) {
  struct Case {
    size_t size;
    std::string prefix;
  } cases[] = {
      {255, std::string("\x06\xFF")},
      {256, std::string("\x0C\x00\x01\x00\x00", 5)},
      {70000, std::string("\x0C\x70\x11\x01\x00", 5)},
  };
  for (const Case& c : cases) {
    TToraVinIniList store;
    store.TargetDir = std::string(c.size, 'd');
    std::string image = store.SaveToBytes();
    std::string record = Name("TargetDir") + c.prefix + store.TargetDir;
    EXPECT_NE(image.find(record), std::string::npos) << c.size;
    TToraVinIniList back;
    back.LoadFromBytes(image);
    EXPECT_EQ(back.TargetDir, store.TargetDir);
  }
}

TEST(SettingsFile, WorkListRecordWithEmptyReferer) {
  TToraVinIniList store;
  store.AddItem("a.jpg", "");
  std::string image = store.SaveToBytes();
  std::string tail("\x02\x52\x66\x01\x06\x05\x61\x2E\x6A\x70\x67\x06\x00\x00\x00\x00", 16);
  ASSERT_GE(image.size(), tail.size());
  EXPECT_EQ(image.substr(image.size() - tail.size()), tail);
}

TEST(SettingsFile, ThreeEntriesReadBackWithMemo) {
  TToraVinIniList store;
  store.AddItem("http://h/1.jpg", "http://h/");
  store.AddItem("2.gif", "http://h/p.html");
  store.AddItem("http://h/d/3.zip", std::string(300, 'r'));
  store.Item(0).Tries = 3;
  std::string image = store.SaveToBytes();
  EXPECT_NE(image.find(Name("Rf") + "\x01" + Short("http://h/1.jpg") + Short("http://h/")),
            std::string::npos);

  LineList memo;
  TToraVinIniList back(&memo);
  back.LoadFromBytes(image);
  ASSERT_EQ(back.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(back.Item(i).Url, store.Item(i).Url);
    EXPECT_EQ(back.Item(i).Referer, store.Item(i).Referer);
    EXPECT_EQ(back.Item(i).Tries, 0);
  }
  EXPECT_EQ(std::vector<std::string>(memo.lines().begin(), memo.lines().end()),
            (std::vector<std::string>{"1.jpg", "2.gif", "3.zip"}));
}

TEST(SettingsFile, ReadingAcceptsVariations) {
  // Lower-case names, any order, long form for a short text, trailing garbage, a cleared mask.
  std::string image = kHead + Name("retrycount") + Short("7") + Name("jpgdownload") + T +
                      Name("TARGETURL") +
                      std::string(
                          "\x0C\x03\x00\x00\x00"
                          "abc",
                          8) +
                      Name("proxyuse") + T + kEnd + "garbage after the end";
  TToraVinIniList store;
  store.LoadFromBytes(image);
  EXPECT_EQ(store.RetryCount, "7");
  EXPECT_TRUE(store.JPGDownLoad);
  EXPECT_TRUE(store.ProxyUse);
  EXPECT_EQ(store.TargetURL, "abc");
  EXPECT_EQ(store.JpegName, "");  // not named: stays empty, no default
  EXPECT_FALSE(store.Retry);
}

// Random stores: every field and the list survive a write and a read.
TEST(SettingsFile, RandomStoresRoundTrip) {
  std::mt19937 rng(1234);
  auto text = [&](size_t max) {
    std::uniform_int_distribution<size_t> len(0, max);
    std::string s(len(rng), '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
  };
  for (int round = 0; round < 300; ++round) {
    TToraVinIniList a;
    bool* bools[] = {&a.DoFileChoice, &a.JPGDownLoad, &a.GIFDownLoad, &a.ZIPDownLoad,
                     &a.HTMLDownLoad, &a.ProxyUse,    &a.UseLha,      &a.FileSizeCheck,
                     &a.UseTar,       &a.Retry};
    std::string* texts[] = {&a.TargetURL, &a.TargetDir, &a.JpegName,     &a.GifName,
                            &a.ZipName,   &a.HtmlName,  &a.ProxyAddress, &a.ProxyPort,
                            &a.LhaName,   &a.FileSize,  &a.RetryCount};
    for (bool* b : bools) *b = rng() & 1;
    for (std::string* t : texts) *t = text(round % 10 == 0 ? 600 : 40);
    int entries = static_cast<int>(rng() % 6);
    for (int i = 0; i < entries; ++i) a.AddItem(text(300), text(20));

    std::string image = a.SaveToBytes();
    TToraVinIniList b;
    b.LoadFromBytes(image);
    EXPECT_EQ(b.SaveToBytes(), image);
    ASSERT_EQ(b.Count(), a.Count());
    for (int i = 0; i < a.Count(); ++i) EXPECT_EQ(b.Item(i).Url, a.Item(i).Url);
  }
}

TEST(SettingsFile, SaveNeedsMoreFreeSpaceThanTheFileSize) {
  TempDir dir;
  std::string path = dir.File("ToraVin.ini");
  WriteFileBytes(path, "the old file");
  TToraVinIniList store;
  store.ApplyFirstRunDefaults();
  store.TargetURL = "http://";
  store.FreeSpaceQuery = [] { return std::uint64_t{234}; };  // equal to the size
  EXPECT_EQ(store.SaveSettings(path), TToraVinIniList::SaveResult::DiskFull);
  EXPECT_EQ(ReadFileBytes(path), "the old file");
  store.FreeSpaceQuery = [] { return std::uint64_t{0}; };  // no space at all
  EXPECT_EQ(store.SaveSettings(path), TToraVinIniList::SaveResult::DiskFull);
  EXPECT_EQ(ReadFileBytes(path), "the old file");
  store.FreeSpaceQuery = [] { return std::uint64_t{235}; };
  EXPECT_EQ(store.SaveSettings(path), TToraVinIniList::SaveResult::Saved);
  EXPECT_EQ(ReadFileBytes(path), FirstRunImage());
  EXPECT_EQ(test::ListDirectory(dir.path()), std::vector<std::string>{"ToraVin.ini"});
  EXPECT_EQ(DiskFullSettingsText(),
            Utf8ToCp932("ディスクが一杯で初期設定ファイルを書き込めません。"));
}

TEST(SettingsFile, LoadAndSaveThroughFiles) {
  TempDir dir;
  std::string path = dir.File("ToraVin.ini");
  TToraVinIniList a;
  a.TargetDir = "C:\\\x95\x5C";
  a.AddItem("x.jpg", "r");
  ASSERT_EQ(a.SaveSettings(path), TToraVinIniList::SaveResult::Saved);
  TToraVinIniList b;
  b.LoadSettings(path);
  EXPECT_EQ(b.TargetDir, a.TargetDir);
  EXPECT_EQ(b.Count(), 1);

  // A file that cannot be opened (here a directory), and one that cannot be created.
  std::string unreadable = dir.path();
  try {
    b.LoadSettings(unreadable);
    ADD_FAILURE() << "no error";
  } catch (const ESettingsError& e) {
    EXPECT_EQ(e.what(), Utf8ToCp932("ファイル ") + unreadable + Utf8ToCp932(" は開けません"));
  }
  std::string uncreatable = dir.File("no/such/dir/ToraVin.ini");
  try {
    a.SaveSettings(uncreatable);
    ADD_FAILURE() << "no error";
  } catch (const ESettingsError& e) {
    EXPECT_EQ(e.what(), Utf8ToCp932("ファイル ") + uncreatable + Utf8ToCp932(" を作成できません"));
  }
}

}  // namespace
}  // namespace toravin
