// Grammar, lowest precedence first: alternation of terms, a term is a run of factors, a factor is
// a primary with at most one postfix operator. A negated class is computed as the period's
// ranges minus the class items, so it never matches code 0, LF or CR. Deciding here what an
// empty negated class means: it is a syntax error, like "[]", since it could match nothing.
#include "regex/REParser.h"

#include <algorithm>
#include <cstdint>

#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"

namespace toravin {

TREParser::TREParser(std::string pattern) : m_scanner(std::move(pattern)) {}

void TREParser::Fail(const char* utf8Message) const {
  throw ERegExpParser(Sjis(utf8Message), static_cast<std::uint32_t>(m_scanner.Index()));
}

void TREParser::Parse() {
  m_tree.Clear();
  m_depth = 0;
  m_scanner.SetText(m_scanner.Text());
  m_token = m_scanner.GetToken();
  int root = Alternation();
  m_tree.SetRoot(root);
  if (m_token != tokEnd) Fail("正規表現に余分な文字があります");
  m_tree.MakeLeavesDisjoint();
}

int TREParser::Alternation() {
  int result = Term();
  while (m_token == tokUnion) {
    m_token = m_scanner.GetToken();
    int next = Term();
    result = m_tree.MakeNode(nodeUnion, result, next);
  }
  return result;
}

int TREParser::Term() {
  auto ends = [this] {
    return m_token == tokUnion || m_token == tokGroupClose || m_token == tokEnd;
  };
  if (ends()) return m_tree.MakeNode(nodeEmpty, -1, -1);
  int result = Factor();
  while (!ends()) {
    int next = Factor();
    result = m_tree.MakeNode(nodeConcat, result, next);
  }
  return result;
}

int TREParser::Factor() {
  int p = Primary();
  switch (m_token) {
    case tokStar:
      m_token = m_scanner.GetToken();
      return m_tree.MakeNode(nodeStar, p, -1);
    case tokPlus:
      m_token = m_scanner.GetToken();
      return m_tree.MakeNode(nodeConcat, p, m_tree.MakeNode(nodeStar, p, -1));
    case tokOptional:
      m_token = m_scanner.GetToken();
      return m_tree.MakeNode(nodeUnion, p, m_tree.MakeNode(nodeEmpty, -1, -1));
    default:
      return p;
  }
}

int TREParser::Primary() {
  int result = -1;
  switch (m_token) {
    case tokChar:
      result = m_tree.MakeLeaf(m_scanner.Code(), m_scanner.Code());
      break;
    case tokGroupOpen:
      if (++m_depth > kMaxGroupDepth) Fail("括弧の入れ子が深すぎます（上限は200段です）");
      m_token = m_scanner.GetToken();
      result = Alternation();
      if (m_token != tokGroupClose) Fail("右(閉じ)括弧が必要です");
      --m_depth;
      break;
    case tokClassOpen:
      result = PositiveClass();
      break;
    case tokNegClassOpen:
      result = NegatedClass();
      break;
    case tokAnyChar:
      result = m_tree.MakeAnyChar();
      break;
    case tokLineHead:
    case tokLineTail: {
      TRENodeKind kind = m_token == tokLineHead ? nodeLineHead : nodeLineTail;
      result = m_tree.MakeNode(kind, -1, -1);
      // The node may turn out to be a literal character (away from the pattern's ends), so its
      // code takes part in the disjoint pass.
      m_tree.AddCutPoint(m_scanner.Code());
      break;
    }
    default:
      Fail("普通の文字、または左括弧\"(\"が必要です");
  }
  m_token = m_scanner.GetToken();
  return result;
}

std::vector<std::pair<TReCode, TReCode>> TREParser::ClassItems() {
  std::vector<std::pair<TReCode, TReCode>> items;
  TREToken token = m_scanner.GetToken();
  if (token == tokClassClose) Fail("不正なキャラクタクラス指定です。");
  while (token != tokClassClose) {
    if (token == tokRange) {
      items.emplace_back(m_scanner.Code(), m_scanner.RangeEnd());
    } else {
      items.emplace_back(m_scanner.Code(), m_scanner.Code());
    }
    token = m_scanner.GetToken();
  }
  m_token = token;
  return items;
}

int TREParser::PositiveClass() {
  int result = -1;
  for (const auto& [start, end] : ClassItems()) {
    int leaf = m_tree.MakeLeaf(start, end);
    result = result < 0 ? leaf : m_tree.MakeNode(nodeUnion, result, leaf);
  }
  return result;
}

int TREParser::NegatedClass() {
  auto items = ClassItems();
  std::sort(items.begin(), items.end());
  // The period's three ranges, minus every item; what is left, in ascending order.
  const std::pair<int, int> period[] = {{0x0001, 0x0009}, {0x000B, 0x000C}, {0x000E, kMaxTextCode}};
  int result = -1;
  for (const auto& [lo, hi] : period) {
    int from = lo;
    for (const auto& [start, end] : items) {
      if (end < from) continue;
      if (start > hi) break;
      int leaf = m_tree.MakeLeafIfAny(from, std::min<int>(start - 1, hi));
      if (leaf >= 0) result = result < 0 ? leaf : m_tree.MakeNode(nodeUnion, result, leaf);
      from = std::max<int>(from, end + 1);
    }
    int leaf = m_tree.MakeLeafIfAny(from, hi);
    if (leaf >= 0) result = result < 0 ? leaf : m_tree.MakeNode(nodeUnion, result, leaf);
  }
  if (result < 0) Fail("不正なキャラクタクラス指定です。");
  return result;
}

}  // namespace toravin
