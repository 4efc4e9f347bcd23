// Helpers shared by the regex tests: compile a pattern to a DFA and ask whether it accepts a
// whole text (anchors aside), by walking the DFA's table.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "regex/LineMatcher.h"
#include "regex/REDfa.h"
#include "regex/RENfa.h"
#include "regex/REParser.h"

namespace toravin::test {

inline std::unique_ptr<TRE_DFA> CompileDfa(const std::string& pattern) {
  TREParser parser(pattern);
  parser.Parse();
  TRE_NFA nfa(parser);
  nfa.Build();
  auto dfa = std::make_unique<TRE_DFA>(nfa);
  dfa->Build();
  return dfa;
}

// True when the DFA, walked over all of `text` (a NUL-free string), ends accepting.
inline bool AcceptsWhole(const TRE_DFA& dfa, const std::string& text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.c_str());
  int s = dfa.Initial();
  while (*p != 0) {
    TReCode c = ReadSubjectChar(p);
    s = dfa.Table().Next(s, c);
    if (s < 0) return false;
  }
  return dfa.Table().Accepting(s);
}

}  // namespace toravin::test
