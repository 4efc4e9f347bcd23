// Cache policy: lookup by exact comparison of the preprocessed pattern; a miss inserts at index
// 1 and, when full, drops the last entry, so eviction follows the age of insertion, not of use.
// Entry 0 is always the empty pattern, the one in force after a failure.
#include "regex/RegularExpression.h"

#include <utility>

namespace toravin {

TRegularExpression::TRegularExpression() {
  m_cache.reserve(kRegExpCacheCapacity);
  m_cache.push_back({std::string(), nullptr});
  m_current = 0;
  Compile(std::string());
  Select(0);
}

void TRegularExpression::Select(int index) {
  m_current = index;
  m_dfa = m_cache[static_cast<std::size_t>(index)].dfa.get();
}

TRegularExpression::~TRegularExpression() = default;

void TRegularExpression::Compile(const std::string& pattern) {
  try {
    TREParser parser(pattern);
    parser.Parse();
    m_tailCode = GetLineTailCode();
    m_headCode = GetLineHeadCode();
    TRE_NFA nfa(parser, m_tailCode, m_headCode);
    nfa.Build();
    auto dfa = std::make_unique<TRE_DFA>(nfa);
    dfa->Build();
    m_cache[static_cast<std::size_t>(m_current)].dfa = std::move(dfa);
  } catch (...) {
    if (m_current != 0) m_cache.erase(m_cache.begin() + m_current);
    Select(0);
    throw;
  }
}

void TRegularExpression::SelectEmpty() {
  Select(0);
  m_pattern.clear();
  m_patternIsKey = true;  // entry 0, the empty pattern
}

void TRegularExpression::SetRegExp(const std::string& value) {
  const std::string* key = &value;
  const bool preprocess = m_preprocessor.UseFuzzyCharDic || m_preprocessor.UseSynonymDic;
  if (preprocess) {
    m_preprocessor.SetText(value);
    m_preprocessor.Run();  // a fault here leaves everything as it was
    key = &m_preprocessor.Result();
  }
  for (std::size_t i = 0; i < m_cache.size(); ++i) {
    if (m_cache[i].key == *key) {
      Select(static_cast<int>(i));
      SetPatternText(value, preprocess);
      return;
    }
  }
  for (const Failure& f : m_failures) {
    if (f.key == *key) {
      SelectEmpty();
      throw f.fault;
    }
  }
  if (static_cast<int>(m_cache.size()) >= kRegExpCacheCapacity) m_cache.pop_back();
  m_cache.insert(m_cache.begin() + 1, Entry{*key, nullptr});
  m_current = 1;
  try {
    Compile(m_cache[1].key);
  } catch (const ERegExpParser& e) {
    if (static_cast<int>(m_failures.size()) >= kRegExpCacheCapacity) m_failures.pop_back();
    m_failures.insert(m_failures.begin(), Failure{*key, e});
    SelectEmpty();
    throw;
  } catch (...) {
    SelectEmpty();
    throw;
  }
  Select(1);
  SetPatternText(value, preprocess);
}

void TRegularExpression::SetPatternText(const std::string& value, bool preprocessed) {
  m_patternIsKey = !preprocessed;
  if (preprocessed) m_pattern = value;
}

}  // namespace toravin
