// Faulty settings files: each fault gives its exact text, nothing past the data is read, and
// whatever was read before the fault stays in the store.
#include <gtest/gtest.h>

#include "platform/Cp932.h"
#include "settings/ESettingsError.h"
#include "settings/ToraVinIniList.h"

namespace toravin {
namespace {

std::string Name(const std::string& n) { return std::string(1, static_cast<char>(n.size())) + n; }
std::string Short(const std::string& t) { return "\x06" + Name(t); }
const std::string kHead = std::string("TPF0") + Name("TToraVinIniList") + std::string(1, '\0');
const std::string kEnd(2, '\0');

const std::string kReadError = Utf8ToCp932("ストリームからの読み込みエラー");
const std::string kBadFormat = Utf8ToCp932("不正なストリーム フォーマット");
std::string RecordError(const std::string& name, const char* inner) {
  return "TToraVinIniList." + name + Utf8ToCp932(" の読み込み中のエラー : ") + Utf8ToCp932(inner);
}

// Loads `image`; returns the fault text ("" when it loaded).
std::string Load(const std::string& image, TToraVinIniList& store) {
  try {
    store.LoadFromBytes(image);
  } catch (const ESettingsError& e) {
    return e.what();
  }
  return "";
}

TEST(SettingsReadFault, EachFaultHasItsText) {
  struct Case {
    const char* what;
    std::string image;
    std::string text;
  } cases[] = {
      {"empty file", "", kReadError},
      {"cut signature", "TP", kReadError},
      {"wrong signature", "TPF1" + kHead.substr(4) + kEnd, kBadFormat},
      {"not a settings file", "<html>", kBadFormat},
      {"header only", kHead, kReadError},
      {"cut class name", kHead.substr(0, 10), kReadError},
      {"unknown property", kHead + Name("Count") + "\x08" + kEnd,
       RecordError("Count", "プロパティが存在しません")},
      {"text for a Boolean", kHead + Name("Retry") + Short("1") + kEnd,
       RecordError("Retry", "不正なプロパティの値です")},
      {"Boolean for a text", kHead + Name("LhaName") + "\x09" + kEnd,
       RecordError("LhaName", "不正なプロパティの値です")},
      {"wide string tag", kHead + Name("LhaName") + "\x12" + kEnd,
       RecordError("LhaName", "不正なプロパティの値です")},
      {"huge length", kHead + Name("LhaName") + std::string("\x0C\xFF\xFF\xFF\x7F", 5) + "ab",
       RecordError("LhaName", "ストリームからの読み込みエラー")},
      {"negative length", kHead + Name("LhaName") + std::string("\x0C\x00\x00\x00\x80", 5) + kEnd,
       RecordError("LhaName", "ストリームからの読み込みエラー")},
      {"cut short text", kHead + Name("LhaName") + "\x06\x09" + "abc",
       RecordError("LhaName", "ストリームからの読み込みエラー")},
      {"Rf not a list", kHead + Name("Rf") + Short("a") + kEnd,
       RecordError("Rf", "不正なプロパティの値です")},
      {"Rf odd count", kHead + Name("Rf") + "\x01" + Short("a") + std::string(1, '\0') + kEnd,
       RecordError("Rf", "不正なプロパティの値です")},
      {"Rf with a Boolean", kHead + Name("Rf") + "\x01\x08" + kEnd,
       RecordError("Rf", "不正なプロパティの値です")},
      {"contained object", kHead + std::string(1, '\0') + "\x05", kBadFormat},
      {"no end of objects", kHead + std::string(1, '\0'), kReadError},
      {"cut name", kHead + "\x09" + "Targ", kReadError},
  };
  for (const Case& c : cases) {
    TToraVinIniList store;
    EXPECT_EQ(Load(c.image, store), c.text) << c.what;
  }
}

TEST(SettingsReadFault, WhatWasReadBeforeTheFaultStays) {
  std::string image = kHead + Name("TargetDir") + Short("dir") + Name("Rf") + "\x01" +
                      Short("1.jpg") + Short("r1") + Short("2.jpg") + Short("r2") + "\x08";
  LineList memo;
  TToraVinIniList store(&memo);
  EXPECT_EQ(Load(image, store), RecordError("Rf", "不正なプロパティの値です"));
  EXPECT_EQ(store.TargetDir, "dir");
  ASSERT_EQ(store.Count(), 2);
  EXPECT_EQ(store.Item(1).Referer, "r2");
  EXPECT_EQ(memo.Count(), 2);
}

// A valid file cut at every byte position: the right text for where the cut falls, and exactly
// the entries completed before it.
TEST(SettingsReadFault, CutAtEveryBytePosition) {
  struct Record {
    std::string name, value;
  };
  std::vector<Record> records = {{"DoFileChoice", "\x09"},
                                 {"TargetURL", Short("http://h/")},
                                 {"LhaName", std::string("\x0C\x04\x00\x00\x00", 5) + "a.lz"}};
  std::vector<std::pair<std::string, std::string>> entries = {
      {"http://h/1.jpg", "http://h/"}, {"2.gif", ""}, {"3.zip", "ref"}};
  std::string rf = "\x01";
  std::vector<size_t> entryEnds;  // offsets within rf where each pair ends
  for (auto& [u, r] : entries) {
    rf += Short(u) + Short(r);
    entryEnds.push_back(rf.size());
  }
  rf += std::string(1, '\0');
  records.push_back({"Rf", rf});

  std::string image = kHead;
  struct Span {
    size_t start, valueStart, end;
    std::string name;
  };
  std::vector<Span> spans;
  for (const Record& r : records) {
    size_t start = image.size();
    image += Name(r.name);
    size_t valueStart = image.size();
    image += r.value;
    spans.push_back({start, valueStart, image.size(), r.name});
  }
  image += kEnd;

  TToraVinIniList full;
  ASSERT_EQ(Load(image, full), "");
  ASSERT_EQ(full.Count(), 3);

  for (size_t cut = 0; cut < image.size(); ++cut) {
    std::string expected = kReadError;  // in the header, between records, or in a name
    size_t completed = 0;
    for (const Span& s : spans) {
      if (cut >= s.valueStart && cut < s.end)
        expected = RecordError(s.name, "ストリームからの読み込みエラー");
      if (s.name == "Rf" && cut > s.valueStart) {
        for (size_t e : entryEnds) completed += (s.valueStart + e <= cut);
      }
    }
    LineList memo;
    TToraVinIniList store(&memo);
    EXPECT_EQ(Load(image.substr(0, cut), store), expected) << "cut at " << cut;
    EXPECT_EQ(store.Count(), static_cast<int>(completed)) << "cut at " << cut;
    EXPECT_EQ(memo.Count(), store.Count());
  }
}

}  // namespace
}  // namespace toravin
