// The pattern-owning component: preprocesses and compiles patterns and keeps the compiled DFAs
// of the last 30 of them, so that callers may set the same few patterns over and over (the crawl
// sets its two link patterns for every line it reads) and pay for compiling only once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "regex/ERegExpParser.h"
#include "regex/REDfa.h"
#include "regex/REPreProcessor.h"

namespace toravin {

// Cache entries, the empty pattern of entry 0 included.
constexpr int kRegExpCacheCapacity = 30;

class TRegularExpression {
 public:
  TRegularExpression();
  virtual ~TRegularExpression();
  TRegularExpression(const TRegularExpression&) = delete;
  TRegularExpression& operator=(const TRegularExpression&) = delete;

  // The pattern text as last set (before preprocessing); empty after a failed set.
  const std::string& RegExp() const {
    return m_patternIsKey ? m_cache[static_cast<std::size_t>(m_current)].key : m_pattern;
  }
  // Makes `value` the pattern in force, compiling it unless its preprocessed form is cached.
  // Raises ERegExpParser on a faulty pattern: then the empty pattern is in force and RegExp()
  // is empty (a fault found while preprocessing changes nothing). The faults of the last
  // kRegExpCacheCapacity failed patterns are kept too, so setting one again raises the same
  // fault without compiling it a second time.
  virtual void SetRegExp(const std::string& value);

  virtual TReCode GetLineHeadCode() const { return LineHeadCode; }
  virtual TReCode GetLineTailCode() const { return LineTailCode; }

  // The DFA in force.
  const TRE_DFA& Dfa() const { return *m_dfa; }
  // Cache inspection: the preprocessed patterns, newest insertion first after entry 0.
  int CacheCount() const { return static_cast<int>(m_cache.size()); }
  const std::string& CacheKey(int index) const {
    return m_cache[static_cast<std::size_t>(index)].key;
  }
  int Current() const { return m_current; }

 protected:
  // Compiles `pattern` into cache entry Current(). On failure the entry is removed, entry 0 is
  // put in force and the exception passes on.
  virtual void Compile(const std::string& pattern);

  TREPreProcessor& PreProcessor() { return m_preprocessor; }
  const TREPreProcessor& PreProcessor() const { return m_preprocessor; }

 private:
  void SetPatternText(const std::string& value, bool preprocessed);
  // Puts cache entry `index` in force.
  void Select(int index);
  // Puts the empty pattern in force after a fault.
  void SelectEmpty();

  struct Entry {
    std::string key;
    std::unique_ptr<TRE_DFA> dfa;
  };
  std::vector<Entry> m_cache;
  struct Failure {
    std::string key;
    ERegExpParser fault;
  };
  std::vector<Failure> m_failures;  // newest first
  int m_current = 0;
  const TRE_DFA* m_dfa = nullptr;  // the DFA of entry m_current, kept at hand for the searches
  // Without dictionaries the pattern text is the key of the entry in force, so a cache hit
  // copies nothing; with a dictionary it is kept apart.
  std::string m_pattern;
  bool m_patternIsKey = true;
  TREPreProcessor m_preprocessor;
  TReCode m_headCode = LineHeadCode;
  TReCode m_tailCode = LineTailCode;
};

}  // namespace toravin
