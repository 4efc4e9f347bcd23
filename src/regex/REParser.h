// The recursive-descent parser: reads tokens from its own scanner and builds the parse tree of
// one pattern, then splits the tree's leaves apart. It lives for one compilation only.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "regex/REParseTree.h"
#include "regex/REScanner.h"

namespace toravin {

// Deepest nesting of groups the parser accepts; each level costs a few stack frames.
constexpr int kMaxGroupDepth = 200;

class TREParser {
 public:
  explicit TREParser(std::string pattern);
  virtual ~TREParser() = default;
  TREParser(const TREParser&) = delete;
  TREParser& operator=(const TREParser&) = delete;

  // Fills the tree (root set, leaves disjoint) or raises ERegExpParser.
  void Parse();

  const TREParseTree& Tree() const { return m_tree; }
  TREParseTree& Tree() { return m_tree; }

 private:
  int Alternation();
  int Term();
  int Factor();
  int Primary();
  int PositiveClass();
  int NegatedClass();
  // Reads class items up to the closing bracket; a class without items is an error.
  std::vector<std::pair<TReCode, TReCode>> ClassItems();
  [[noreturn]] void Fail(const char* utf8Message) const;

  TREScanner m_scanner;
  TREParseTree m_tree;
  TREToken m_token = tokEnd;
  int m_depth = 0;
};

}  // namespace toravin
