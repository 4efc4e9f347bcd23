// Dictionary preprocessing: the fuzzy-character dictionary's groups, the rewriting rules, and
// the pass-through with both switches off.
#include "regex/REPreProcessor.h"

#include <gtest/gtest.h>

#include "regex/ERegExpParser.h"
#include "regex/FuzzyCharDic.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::Sj;

std::string Fuzzy(const std::string& pattern) {
  TREPreProcessor pre(pattern);
  pre.FuzzyDics.push_back(&FuzzyCharDic());
  pre.UseFuzzyCharDic = true;
  pre.Run();
  return pre.Result();
}

TEST(FuzzyCharDicTest, GroupsAsTabulated) {
  const TREDictionary& dic = FuzzyCharDic();
  ASSERT_EQ(dic.size(), 145u);
  EXPECT_EQ(dic[0], (TREDictionaryGroup{Sj("Ａ"), Sj("ａ"), "A", "a"}));
  EXPECT_EQ(dic[25], (TREDictionaryGroup{Sj("Ｚ"), Sj("ｚ"), "Z", "z"}));
  EXPECT_EQ(dic[27], (TREDictionaryGroup{"1", Sj("１"), Sj("一"), Sj("①"), Sj("Ⅰ"), Sj("壱")}));
  EXPECT_EQ(dic[36], (TREDictionaryGroup{Sj("　"), " "}));
  EXPECT_EQ(dic[38], (TREDictionaryGroup{"\"", Sj("”")}));
  EXPECT_EQ(dic[49], (TREDictionaryGroup{"-", Sj("ー"), Sj("－"), Sj("～"), Sj("ｰ")}));
  EXPECT_EQ(dic[60], (TREDictionaryGroup{"\\", Sj("￥")}));
  EXPECT_EQ(dic[72], (TREDictionaryGroup{Sj("ん"), Sj("ン"), Sj("ﾝ")}));
  EXPECT_EQ(dic[88][5], Sj("ヴ"));
  EXPECT_EQ(dic[96],
            (TREDictionaryGroup{Sj("あ"), Sj("ア"), Sj("ｱ"), Sj("ぁ"), Sj("ァ"), Sj("ｧ")}));
  EXPECT_EQ(dic[101], (TREDictionaryGroup{Sj("か"), Sj("カ"), Sj("ｶ")}));
  EXPECT_EQ(dic[140], (TREDictionaryGroup{Sj("ヰ"), Sj("ゐ"), Sj("うぃ"), Sj("ウィ"), Sj("ｳｨ")}));
  EXPECT_EQ(dic[142],
            (TREDictionaryGroup{Sj("を"), Sj("ヲ"), Sj("ｦ"), Sj("うぉ"), Sj("ウォ"), Sj("ｳｫ")}));
  EXPECT_EQ(dic[144], (TREDictionaryGroup{Sj("ﾟ"), Sj("゜")}));
  // Every item converted: no "?" stands in for a character CP932 lacks (group 58 is "?" itself).
  for (std::size_t g = 0; g < dic.size(); ++g) {
    for (const auto& item : dic[g]) {
      EXPECT_FALSE(item.empty()) << g;
      if (g != 57) {
        EXPECT_EQ(item.find('?'), std::string::npos) << "group " << g + 1;
      }
    }
  }
}

TEST(PreProcessorTest, FuzzyRewriting) {
  struct Case {
    std::string pattern;
    std::string expected;
  };
  const Case cases[] = {
      {"a", Sj("(Ａ|ａ|A|a)")},
      {"1", Sj("(1|１|一|①|Ⅰ|壱)")},
      {".", "."},
      {"\\.", Sj("(｡|\\.|。|．)")},
      {"[a]", "[a]"},
      {"[^a]", "[^a]"},
      {Sj("ｶﾞ"), Sj("(が|ガ|ｶﾞ|か゛|カ゛)")},
      {Sj("ー"), Sj("(ー|～|ｰ)")},
      {"ab*", Sj("(Ａ|ａ|A|a)(Ｂ|ｂ|B|b)*")},
      {"a*", Sj("(Ａ|ａ|A|a)*")},
      {Sj("か゛*"), Sj("(が|ガ|ｶﾞ|か゛|カ゛)*")},
      {"(\\?)", Sj("((\\?|？))")},
      {"%&", Sj("(%|％)(&|＆)")},
  };
  for (const auto& c : cases) EXPECT_EQ(Fuzzy(c.pattern), c.expected) << c.pattern;
}

TEST(PreProcessorTest, BothSwitchesOffPassesThePatternUntouched) {
  TREPreProcessor pre("(a[");
  pre.Run();
  EXPECT_EQ(pre.Result(), "(a[");
  EXPECT_TRUE(pre.Tokens().empty());
}

TEST(PreProcessorTest, ScannerErrorsPassThrough) {
  EXPECT_THROW(Fuzzy("ab\\"), ERegExpParser);
  EXPECT_THROW(Fuzzy("[abc"), ERegExpParser);
  // Parser errors are not found here.
  EXPECT_EQ(Fuzzy("(q"), Sj("((Ｑ|ｑ|Q|q)"));
}

TEST(PreProcessorTest, SynonymsFirstThenFuzzy) {
  TREDictionary synonyms{{"", "cat", "dog"}};
  TREPreProcessor pre("cat!");
  pre.SynonymDics.push_back(&synonyms);
  pre.UseSynonymDic = true;
  pre.Run();
  EXPECT_EQ(pre.Result(), "(|cat|dog)!");  // the empty item never hits but is written
}

TEST(PreProcessorTest, EscapeMetaChars) {
  EXPECT_EQ(EscapeMetaChars("a.b*c\\d^$[]()|+?-"), "a\\.b\\*c\\\\d\\^\\$\\[\\]\\(\\)\\|\\+\\?-");
}

}  // namespace
}  // namespace toravin
