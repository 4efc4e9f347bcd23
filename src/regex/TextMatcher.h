// The text matcher component, the engine's public face: Match finds the leftmost-longest match
// of the pattern in force (1-based byte position and byte length), Sub and GSub replace the
// first or every match AWK style ("&" is the matched text), ProcessEscapes decodes backslash
// escapes. Setting a pattern picks the plain search or, for "^"/"$" patterns, the anchored one.
#pragma once

#include <string>
#include <string_view>

#include "regex/LineMatcher.h"

namespace toravin {

class TTextMatcher : public TLineMatcher {
 public:
  // Puts the built-in fuzzy-character dictionary into the preprocessor; both switches are off.
  TTextMatcher();

  // The inherited SetRegExp, then the choice of search for the pattern in force.
  void SetRegExp(const std::string& value) override;

  // Leftmost-longest match in S (up to its first NUL byte). Returns Pos (1-based) and sets Pos
  // and Len (bytes); no match gives 0, 0, 0. An empty match has Len 0.
  int Match(const std::string& S, int& Pos, int& Len) const;
  // Replaces the first match in S by ExpandReplacement(Repl, matched); false when none.
  // A faulty Repl raises before S is changed.
  bool Sub(const std::string& Repl, std::string& S) const;
  // Replaces every match; returns their count. A faulty Repl raises and leaves S unchanged.
  int GSub(const std::string& Repl, std::string& S) const;

  // S with its backslash escapes decoded ("\n", "\t", "\x41", "\101", "\\", "\." ...).
  // Raises ERegExpParser for a trailing backslash or lead byte and malformed numbers.
  static std::string ProcessEscapes(std::string_view S);
  // The replacement text for one match: "&" is `matched`, "\&" a literal ampersand, and the
  // escapes of ProcessEscapes are decoded.
  static std::string ExpandReplacement(std::string_view Repl, std::string_view matched);

  bool UseFuzzyCharDic() const { return PreProcessor().UseFuzzyCharDic; }
  bool UseSynonymDic() const { return PreProcessor().UseSynonymDic; }
  // Both re-apply RegExp() under the new setting (and so may raise like SetRegExp).
  void SetUseFuzzyCharDic(bool value);
  void SetUseSynonymDic(bool value);
  // Adds a synonym dictionary (not owned; it must outlive the matcher). It takes effect at the
  // next SetRegExp while UseSynonymDic is on.
  void AddSynonymDic(const TREDictionary& dictionary);

  // Whether the anchored search is the one in use.
  bool UsesAnchoredSearch() const { return m_anchored; }

 private:
  bool Search(const char* text, std::size_t length, const char*& start, const char*& end) const {
    return m_anchored ? SearchAnchored(text, start, end) : SearchPlain(text, length, start, end);
  }

  bool m_anchored = false;
};

}  // namespace toravin
