// Dictionary preprocessing of a pattern: with a dictionary switched on, each literal character
// (or run of them) that an item of a dictionary group spells is replaced by the alternation of
// the whole group. The result is ordinary pattern text; with both switches off the pattern
// passes through untouched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "regex/REDictionary.h"
#include "regex/REScanner.h"

namespace toravin {

// s with a backslash before each of ^ ( | ) + * ? . [ ] $ and backslash.
std::string EscapeMetaChars(const std::string& s);

struct TRETokenRecord {
  TREToken kind = tokEnd;
  TReCode code = 0;
  TReCode rangeEnd = 0;
  int start = 0;  // scanner index before the token
  int end = 0;    // scanner index after the token
};

class TREPreProcessor {
 public:
  explicit TREPreProcessor(std::string pattern = {});
  virtual ~TREPreProcessor() = default;
  TREPreProcessor(const TREPreProcessor&) = delete;
  TREPreProcessor& operator=(const TREPreProcessor&) = delete;

  void SetText(std::string pattern) { m_scanner.SetText(std::move(pattern)); }
  // Computes Result(); scanner errors (ERegExpParser) pass through when a switch is on.
  void Run();
  const std::string& Result() const { return m_result; }

  void Tokenize();
  std::string Expand(const std::vector<const TREDictionary*>& dictionaries);
  const std::vector<TRETokenRecord>& Tokens() const { return m_tokens; }

  bool UseFuzzyCharDic = false;
  bool UseSynonymDic = false;
  // Consulted in order; the dictionaries are not owned and must outlive the preprocessor.
  // Nothing in the program fills the synonym list; a caller may add its own dictionaries.
  std::vector<const TREDictionary*> SynonymDics;
  std::vector<const TREDictionary*> FuzzyDics;

 private:
  TREScanner m_scanner;
  std::vector<TRETokenRecord> m_tokens;
  std::string m_result;
};

}  // namespace toravin
