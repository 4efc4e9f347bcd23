// The groups are written here in UTF-8 and converted to CP932 once. Group order and item order
// are significant: the preprocessor takes the first group that has a hit and writes the items of
// that group in this order.
#include "regex/FuzzyCharDic.h"

#include <initializer_list>

#include "platform/Cp932.h"

namespace toravin {
namespace {

std::string Utf8Of(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return s;
}

// Groups 27 onward, items separated by single spaces (group 37, whose second item is the space
// itself, is added apart).
const char* const kGroups[] = {
    // 27-36: digits
    "0 ０ 零", "1 １ 一 ① Ⅰ 壱", "2 ２ 二 ② Ⅱ 弐", "3 ３ 三 ③ Ⅲ 参", "4 ４ 四 ④ Ⅳ",
    "5 ５ 五 ⑤ Ⅴ 伍", "6 ６ 六 ⑥ Ⅵ", "7 ７ 七 ⑦ Ⅶ", "8 ８ 八 ⑧ Ⅷ", "9 ９ 九 ⑨ Ⅸ",
    // 38-72: symbols
    "! ！", "\" ”", "# ＃", "$ ＄", "% ％", "& ＆", "' ’", "( （", ") ）", "* ＊", "+ ＋",
    "ー ～ ｰ", "- ー － ～ ｰ", "･ ・", "/ ／", ": ：", "; ；", "< ＜", "= ＝", "> ＞", "? ？",
    "@ ＠", "[ ［ 〔", "\\ ￥", "] ］ 〕", "^ ＾", "_ ＿", "{ ｛", "| ｜", "} ｝", "~ ￣",
    ", ､ 、 ，", "｡ . 。 ．", "「 『 ｢", "」 』 ｣",
    // 73-96: ん and the voiced and semi-voiced kana
    "ん ン ﾝ", "が ガ ｶﾞ か゛ カ゛", "ぎ ギ ｷﾞ き゛ キ゛", "ぐ グ ｸﾞ く゛ ク゛",
    "げ ゲ ｹﾞ け゛ ケ゛", "ご ゴ ｺﾞ こ゛ コ゛", "ざ ザ ｻﾞ さ゛ サ゛",
    "じ ジ ｼﾞ し゛ シ゛ ぢ ヂ ﾁﾞ ち゛ チ゛", "ず ズ ｽﾞ す゛ ス゛ づ ヅ ﾂﾞ つ゛ ツ゛",
    "ぜ ゼ ｾﾞ せ゛ セ゛", "ぞ ゾ ｿﾞ そ゛ ソ゛", "だ ダ ﾀﾞ た゛ タ゛", "で デ ﾃﾞ て゛ テ゛",
    "ど ド ﾄﾞ と゛ ト゛", "ば バ ﾊﾞ は゛ ハ゛ ヴァ う゛ぁ ウ゛ァ ｳﾞｧ",
    "び ビ ﾋﾞ ひ゛ ヒ゛ ヴィ う゛ぃ ウ゛ィ ｳﾞｨ", "ぶ ブ ﾌﾞ ふ゛ フ゛ ヴ ウ゛ う゛ ｳﾞ",
    "べ ベ ﾍﾞ へ゛ ヘ゛ ヴェ う゛ぇ ウ゛ェ ｳﾞｪ", "ぼ ボ ﾎﾞ ほ゛ ホ゛ ヴォ う゛ぉ ウ゛ォ ｳﾞｫ",
    "ぱ パ ﾊﾟ は゜ ハ゜", "ぴ ピ ﾋﾟ ひ゜ ヒ゜", "ぷ プ ﾌﾟ ふ゜ フ゜", "ぺ ペ ﾍﾟ へ゜ ヘ゜",
    "ぽ ポ ﾎﾟ ほ゜ ホ゜",
    // 97-143: the plain kana
    "あ ア ｱ ぁ ァ ｧ", "い イ ｲ ぃ ィ ｨ", "う ウ ｳ ぅ ゥ ｩ", "え エ ｴ ぇ ェ ｪ", "お オ ｵ ぉ ォ ｫ",
    "か カ ｶ", "き キ ｷ", "く ク ｸ", "け ケ ｹ", "こ コ ｺ", "さ サ ｻ", "し シ ｼ", "す ス ｽ",
    "せ セ ｾ", "そ ソ ｿ", "た タ ﾀ", "ち チ ﾁ", "つ ツ ﾂ っ ッ ｯ", "て テ ﾃ", "と ト ﾄ", "な ナ ﾅ",
    "に ニ ﾆ", "ぬ ヌ ﾇ", "ね ネ ﾈ", "の ノ ﾉ", "は ハ ﾊ", "ひ ヒ ﾋ", "ふ フ ﾌ", "へ ヘ ﾍ",
    "ほ ホ ﾎ", "ま マ ﾏ", "み ミ ﾐ", "む ム ﾑ", "め メ ﾒ", "も モ ﾓ", "や ヤ ﾔ ゃ ャ ｬ",
    "ゆ ユ ﾕ ゅ ュ ｭ", "よ ヨ ﾖ ょ ョ ｮ", "ら ラ ﾗ", "り リ ﾘ", "る ル ﾙ", "れ レ ﾚ", "ろ ロ ﾛ",
    "わ ワ ﾜ うぁ ウァ ｳｧ", "ヰ ゐ うぃ ウィ ｳｨ", "ヱ ゑ うぇ ウェ ｳｪ", "を ヲ ｦ うぉ ウォ ｳｫ",
    // 144-145: the voicing marks
    "ﾞ ゛", "ﾟ ゜"};

TREDictionaryGroup Split(std::string_view utf8Items) {
  TREDictionaryGroup group;
  std::size_t from = 0;
  while (from <= utf8Items.size()) {
    std::size_t to = utf8Items.find(' ', from);
    if (to == std::string_view::npos) to = utf8Items.size();
    group.push_back(Utf8ToCp932(utf8Items.substr(from, to - from)));
    from = to + 1;
  }
  return group;
}

TREDictionary BuildFuzzyCharDic() {
  TREDictionary dic;
  for (char32_t i = 0; i < 26; ++i) {  // 1-26: Ａ ａ A a ... Ｚ ｚ Z z
    dic.push_back({Utf8ToCp932(Utf8Of(0xFF21 + i)), Utf8ToCp932(Utf8Of(0xFF41 + i)),
                   std::string(1, static_cast<char>('A' + i)),
                   std::string(1, static_cast<char>('a' + i))});
  }
  bool spaceAdded = false;
  for (const char* g : kGroups) {
    if (!spaceAdded && dic.size() == 36) {  // 37: the full-width space, then the space
      dic.push_back({Utf8ToCp932("\u3000"), " "});
      spaceAdded = true;
    }
    dic.push_back(Split(g));
  }
  return dic;
}

}  // namespace

const TREDictionary& FuzzyCharDic() {
  static const TREDictionary dic = BuildFuzzyCharDic();
  return dic;
}

}  // namespace toravin
