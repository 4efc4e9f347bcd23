// The parse tree of a pattern. Nodes live in one arena and refer to each other by index, so a
// subtree can be shared (the two copies of "+" share theirs) and a leaf can be turned into a
// union in place: every reference to it then sees the union. Leaves are unique by range.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "regex/CharCodes.h"

namespace toravin {

enum TRENodeKind : std::uint8_t {
  nodeCharRange = 0,
  nodeLineHead = 1,
  nodeLineTail = 2,
  nodeConcat = 3,
  nodeUnion = 4,
  nodeStar = 5,
  nodeEmpty = 6,
};

struct TRENode {
  TRENodeKind kind = nodeEmpty;
  int left = -1;
  int right = -1;
  TReCode start = 0;  // nodeCharRange; the anchor's own character for the line nodes
  TReCode end = 0;
};

// Most nodes a tree may hold; beyond it compiling stops with ERegExpParser instead of eating
// memory (overlapping class ranges multiply when they are split apart).
constexpr std::size_t kMaxTreeNodes = 200000;

class TREParseTree {
 public:
  TREParseTree() = default;
  virtual ~TREParseTree() = default;
  TREParseTree(const TREParseTree&) = delete;
  TREParseTree& operator=(const TREParseTree&) = delete;

  int MakeNode(TRENodeKind kind, int left, int right);
  // The leaf for start..end, existing or new.
  int MakeLeaf(TReCode start, TReCode end);
  // As MakeLeaf, but -1 (no leaf) when end < start.
  int MakeLeafIfAny(int start, int end);
  // The period: every code from 1 to kMaxTextCode except LF and CR.
  virtual int MakeAnyChar();
  // Turns `leaf` into nodeUnion(left, right), keeping its identity.
  void TurnIntoUnion(int leaf, int left, int right);
  // Splits the leaves until no two overlap; afterwards two leaves are either equal or disjoint.
  void MakeLeavesDisjoint();
  // A code at which the leaves are also cut, so that a later single-character label for it
  // (a caret or dollar sign taken literally) never overlaps a leaf.
  void AddCutPoint(TReCode code);
  void Clear();

  int Root() const { return m_root; }
  void SetRoot(int root) { m_root = root; }
  const TRENode& Node(int index) const { return m_nodes[static_cast<std::size_t>(index)]; }
  std::size_t NodeCount() const { return m_nodes.size(); }
  // The leaf list, in the order the leaves were made.
  const std::vector<int>& Leaves() const;

 private:
  int Add(const TRENode& node);

  std::vector<TRENode> m_nodes;
  // Leaves turned into unions are dropped from the list lazily, so that splitting many leaves
  // does not shift the list once per leaf.
  mutable std::vector<int> m_leaves;
  mutable bool m_leavesStale = false;
  std::map<std::pair<TReCode, TReCode>, int> m_leafByRange;
  std::vector<std::uint32_t> m_cuts;
  int m_root = -1;
};

}  // namespace toravin
