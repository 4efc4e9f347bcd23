// The disjoint pass computes the final pieces directly: every leaf start and every leaf end + 1
// is a cut, and each leaf that spans a cut becomes the union of its pieces. Splitting pairs one
// by one until none overlap reaches exactly these pieces, but costs cubic time on large classes.
#include "regex/REParseTree.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"

namespace toravin {

int TREParseTree::Add(const TRENode& node) {
  if (m_nodes.size() >= kMaxTreeNodes) {
    throw ERegExpParser(Sjis("正規表現が複雑すぎます（構文木の節点数が上限の200000を超えました）"),
                        0);
  }
  m_nodes.push_back(node);
  return static_cast<int>(m_nodes.size() - 1);
}

int TREParseTree::MakeNode(TRENodeKind kind, int left, int right) {
  TRENode node;
  node.kind = kind;
  node.left = left;
  node.right = right;
  return Add(node);
}

int TREParseTree::MakeLeaf(TReCode start, TReCode end) {
  auto key = std::make_pair(start, end);
  auto it = m_leafByRange.find(key);
  if (it != m_leafByRange.end()) return it->second;
  TRENode node;
  node.kind = nodeCharRange;
  node.start = start;
  node.end = end;
  int index = Add(node);
  m_leaves.push_back(index);
  m_leafByRange.emplace(key, index);
  return index;
}

int TREParseTree::MakeLeafIfAny(int start, int end) {
  if (end < start) return -1;
  return MakeLeaf(static_cast<TReCode>(start), static_cast<TReCode>(end));
}

int TREParseTree::MakeAnyChar() {
  int low = MakeNode(nodeUnion, MakeLeaf(0x0001, 0x0009), MakeLeaf(0x000B, 0x000C));
  return MakeNode(nodeUnion, low, MakeLeaf(0x000E, kMaxTextCode));
}

void TREParseTree::TurnIntoUnion(int leaf, int left, int right) {
  if (leaf < 0 || left < 0 || right < 0 ||
      m_nodes[static_cast<std::size_t>(leaf)].kind != nodeCharRange) {
    throw std::runtime_error(Sjis("TREParseTree : 致命的エラー"));
  }
  TRENode& node = m_nodes[static_cast<std::size_t>(leaf)];
  m_leafByRange.erase(std::make_pair(node.start, node.end));
  m_leavesStale = true;
  node.kind = nodeUnion;
  node.left = left;
  node.right = right;
}

void TREParseTree::AddCutPoint(TReCode code) {
  m_cuts.push_back(code);
  m_cuts.push_back(static_cast<std::uint32_t>(code) + 1);
}

void TREParseTree::MakeLeavesDisjoint() {
  std::vector<std::uint32_t> cuts = m_cuts;
  for (int leaf : Leaves()) {
    const TRENode& node = Node(leaf);
    cuts.push_back(node.start);
    cuts.push_back(static_cast<std::uint32_t>(node.end) + 1);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

  const std::vector<int> original = Leaves();
  std::vector<int> pieces;
  for (int leaf : original) {
    const std::uint32_t start = Node(leaf).start;
    const std::uint32_t end = Node(leaf).end;
    auto first = std::upper_bound(cuts.begin(), cuts.end(), start);
    if (first == cuts.end() || *first > end) continue;  // no cut inside: already a piece
    pieces.clear();
    std::uint32_t from = start;
    for (auto it = first; it != cuts.end() && *it <= end; ++it) {
      pieces.push_back(MakeLeaf(static_cast<TReCode>(from), static_cast<TReCode>(*it - 1)));
      from = *it;
    }
    pieces.push_back(MakeLeaf(static_cast<TReCode>(from), static_cast<TReCode>(end)));
    int left = pieces[0];
    for (std::size_t i = 1; i + 1 < pieces.size(); ++i) left = MakeNode(nodeUnion, left, pieces[i]);
    TurnIntoUnion(leaf, left, pieces.back());
  }
}

const std::vector<int>& TREParseTree::Leaves() const {
  if (m_leavesStale) {
    std::erase_if(m_leaves, [this](int leaf) { return Node(leaf).kind != nodeCharRange; });
    m_leavesStale = false;
  }
  return m_leaves;
}

void TREParseTree::Clear() {
  m_nodes.clear();
  m_leaves.clear();
  m_leafByRange.clear();
  m_cuts.clear();
  m_leavesStale = false;
  m_root = -1;
}

}  // namespace toravin
