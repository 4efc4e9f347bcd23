// Expansion works on the scanner's token records so that escapes, classes and operators keep
// their source text byte for byte, while runs of literal characters outside classes are matched
// against the dictionary items code by code (an escaped "\." compares as a period).
#include "regex/REPreProcessor.h"

#include <utility>

namespace toravin {
namespace {

bool IsMetaChar(TReCode c) {
  switch (c) {
    case '^':
    case '(':
    case '|':
    case ')':
    case '+':
    case '*':
    case '?':
    case '.':
    case '[':
    case ']':
    case '$':
    case '\\':
      return true;
    default:
      return false;
  }
}

std::vector<TReCode> Codes(const std::string& item) {
  std::vector<TReCode> codes;
  int index = 1;
  while (index <= static_cast<int>(item.size())) codes.push_back(NextChar(item, index));
  return codes;
}

}  // namespace

std::string EscapeMetaChars(const std::string& s) {
  std::string out;
  int index = 1;
  while (index <= static_cast<int>(s.size())) {
    TReCode c = NextChar(s, index);
    if (IsMetaChar(c)) out.push_back('\\');
    AppendCodeText(out, c);
  }
  return out;
}

TREPreProcessor::TREPreProcessor(std::string pattern) : m_scanner(std::move(pattern)) {}

void TREPreProcessor::Tokenize() {
  m_tokens.clear();
  int start = m_scanner.Index();
  for (;;) {
    TREToken kind = m_scanner.GetToken();
    if (kind == tokEnd) break;
    m_tokens.push_back({kind, m_scanner.Code(), m_scanner.RangeEnd(), start, m_scanner.Index()});
    start = m_scanner.Index();
  }
  m_tokens.push_back({tokEnd, 0, 0, 0, 0});
}

std::string TREPreProcessor::Expand(const std::vector<const TREDictionary*>& dictionaries) {
  std::string result;
  Tokenize();
  const std::string& text = m_scanner.Text();
  auto source = [&](const TRETokenRecord& r) {
    return text.substr(static_cast<std::size_t>(r.start - 1),
                       static_cast<std::size_t>(r.end - r.start));
  };
  bool inClass = false;
  std::size_t i = 0;
  while (i < m_tokens.size()) {
    const TRETokenRecord& r = m_tokens[i];
    if (r.kind != tokChar || inClass) {
      if (r.kind == tokClassOpen || r.kind == tokNegClassOpen) inClass = true;
      if (r.kind == tokClassClose) inClass = false;
      if (r.kind != tokEnd) result += source(r);
      ++i;
      continue;
    }
    std::size_t runEnd = i;
    while (runEnd < m_tokens.size() && m_tokens[runEnd].kind == tokChar) ++runEnd;
    std::size_t k = i;
    while (k < runEnd) {
      const TREDictionaryGroup* hitGroup = nullptr;
      std::size_t covered = 0;
      for (const TREDictionary* dic : dictionaries) {
        for (const auto& group : *dic) {
          for (const auto& item : group) {
            std::vector<TReCode> codes = Codes(item);
            if (codes.empty() || codes.size() > runEnd - k) continue;
            bool same = true;
            for (std::size_t j = 0; j < codes.size() && same; ++j) {
              same = codes[j] == m_tokens[k + j].code;
            }
            if (same) {
              hitGroup = &group;
              covered = codes.size();
              break;
            }
          }
          if (hitGroup) break;
        }
        if (hitGroup) break;
      }
      if (!hitGroup) {
        result += source(m_tokens[k]);
        ++k;
        continue;
      }
      result += '(';
      for (std::size_t j = 0; j < hitGroup->size(); ++j) {
        if (j > 0) result += '|';
        result += EscapeMetaChars((*hitGroup)[j]);
      }
      result += ')';
      k += covered;
    }
    i = runEnd;
  }
  return result;
}

void TREPreProcessor::Run() {
  m_result = m_scanner.Text();
  if (UseSynonymDic) {
    m_scanner.SetText(m_scanner.Text());
    m_result = Expand(SynonymDics);
    m_scanner.SetText(m_result);
  }
  if (UseFuzzyCharDic) {
    m_scanner.SetText(m_scanner.Text());
    m_result = Expand(FuzzyDics);
  }
}

}  // namespace toravin
