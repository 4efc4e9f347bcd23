// Sub and GSub work on the caller's string through offsets into its NUL-terminated buffer, so a
// search costs no copy; GSub builds the result apart and assigns it only at the end. After an
// empty match GSub copies one character and searches on, so it always terminates.
#include "regex/TextMatcher.h"

#include "platform/Cp932.h"
#include "regex/FuzzyCharDic.h"

namespace toravin {

TTextMatcher::TTextMatcher() { PreProcessor().FuzzyDics.push_back(&FuzzyCharDic()); }

void TTextMatcher::SetRegExp(const std::string& value) {
  TLineMatcher::SetRegExp(value);
  m_anchored = Dfa().LineHead() || Dfa().LineTail();
}

void TTextMatcher::SetUseFuzzyCharDic(bool value) {
  PreProcessor().UseFuzzyCharDic = value;
  SetRegExp(std::string(RegExp()));
}

void TTextMatcher::SetUseSynonymDic(bool value) {
  PreProcessor().UseSynonymDic = value;
  SetRegExp(std::string(RegExp()));
}

void TTextMatcher::AddSynonymDic(const TREDictionary& dictionary) {
  PreProcessor().SynonymDics.push_back(&dictionary);
}

int TTextMatcher::Match(const std::string& S, int& Pos, int& Len) const {
  const char* start = nullptr;
  const char* end = nullptr;
  if (!Search(S.c_str(), S.size(), start, end)) {
    Pos = Len = 0;
    return 0;
  }
  Pos = static_cast<int>(start - S.c_str()) + 1;
  Len = static_cast<int>(end - start);
  return Pos;
}

bool TTextMatcher::Sub(const std::string& Repl, std::string& S) const {
  int pos = 0;
  int len = 0;
  if (Match(S, pos, len) == 0) return false;
  const std::size_t at = static_cast<std::size_t>(pos - 1);
  std::string replacement =
      ExpandReplacement(Repl, std::string_view(S).substr(at, static_cast<std::size_t>(len)));
  S.replace(at, static_cast<std::size_t>(len), replacement);
  return true;
}

int TTextMatcher::GSub(const std::string& Repl, std::string& S) const {
  const char* base = S.c_str();
  const std::size_t size = S.size();
  const char* start = nullptr;
  const char* end = nullptr;
  if (!Search(base, size, start, end)) return 0;
  if (*base == 0) {
    // An empty match in an empty text: the text ends at its first NUL, but the bytes from
    // there on are still the caller's and stay, as they do after a NUL further on.
    S.insert(0, ExpandReplacement(Repl, {}));
    return 1;
  }
  std::string out;
  std::size_t rest = 0;
  int count = 0;
  for (;;) {
    std::size_t from = static_cast<std::size_t>(start - base);
    std::size_t to = static_cast<std::size_t>(end - base);
    out.append(base + rest, from - rest);
    out += ExpandReplacement(Repl, std::string_view(base + from, to - from));
    if (from == to && to < size) {
      // Step over one character so the next search starts after it; CR LF stays together.
      unsigned char b = static_cast<unsigned char>(base[to]);
      std::size_t step = 1;
      if (IsLeadByte(b) || (LineSeparator() == mcls_CRLF && b == '\r')) step = 2;
      if (to + step > size) step = size - to;
      out.append(base + to, step);
      to += step;
    }
    ++count;
    const char last = base[to - 1];
    rest = to;
    if (rest >= size) break;
    const bool found = last == '\n' ? Search(base + rest, size - rest, start, end)
                                    : SearchFrom(base + rest, start, end);
    if (!found) break;
  }
  out.append(base + rest, size - rest);
  S = std::move(out);
  return count;
}

std::string TTextMatcher::ProcessEscapes(std::string_view S) {
  std::string out;
  out.reserve(S.size());
  int index = 1;
  const int length = static_cast<int>(S.size());
  while (index <= length) {
    TReCode c = NextChar(S, index);
    AppendCodeText(out, c == '\\' ? ParseEscape(S, index) : c);
  }
  return out;
}

std::string TTextMatcher::ExpandReplacement(std::string_view Repl, std::string_view matched) {
  // 1. Protect escaped ampersands from the escape decoding: "\&" becomes "\\&". A trailing
  //    backslash is followed by a code 0, which the decoding then reports.
  std::string guarded;
  int index = 1;
  const int length = static_cast<int>(Repl.size());
  while (index <= length) {
    TReCode c = NextChar(Repl, index);
    if (c != '\\') {
      AppendCodeText(guarded, c);
      continue;
    }
    TReCode d = NextChar(Repl, index);
    guarded.push_back('\\');
    if (d == '&') guarded.push_back('\\');
    AppendCodeText(guarded, d);
  }
  // 2. Decode the escapes.
  const std::string p = ProcessEscapes(guarded);
  // 3. "&" is the matched text, "\&" an ampersand; any other backslash stays.
  std::string out;
  index = 1;
  const int plength = static_cast<int>(p.size());
  while (index <= plength) {
    TReCode c = NextChar(p, index);
    if (c == '&') {
      out.append(matched);
    } else if (c == '\\') {
      if (index <= plength && p[static_cast<std::size_t>(index - 1)] == '&') {
        out.push_back('&');
        ++index;
      } else {
        out.push_back('\\');
      }
    } else {
      AppendCodeText(out, c);
    }
  }
  return out;
}

}  // namespace toravin
