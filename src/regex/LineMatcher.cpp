// The searches walk the DFA table one character at a time. SearchPlain, the one the crawl uses
// on every line, first skips characters that no match can begin with (one table lookup per
// byte) and only then walks the automaton, which gives the same leftmost-longest result as
// trying every position.
#include "regex/LineMatcher.h"

#include <cstring>

#include "platform/Cp932.h"

namespace toravin {
namespace {

const unsigned char* U(const char* p) { return reinterpret_cast<const unsigned char*>(p); }
const char* C(const unsigned char* p) { return reinterpret_cast<const char*>(p); }

}  // namespace

int TLineMatcher::FindTransition(int state, TReCode code) const {
  if (state < 0 || code == 0) return -1;  // code 0 is the end of the text, never consumed
  return Dfa().Table().Next(state, code);
}

const char* TLineMatcher::LongestFrom(const char* p, int state) const {
  if (state < 0) return nullptr;
  const TDfaTable& table = Dfa().Table();
  const unsigned char* cursor = U(p);
  const unsigned char* result = nullptr;
  TReCode c = 0;
  for (;;) {
    if (table.Accepting(state)) result = cursor;
    c = ReadSubjectChar(cursor);
    if (c == 0) break;
    int next = table.Next(state, c);
    if (next < 0) break;
    state = next;
  }
  if ((c == 0 || IsLineSeparator(c)) && table.Tail(state) >= 0) {
    return C(c == 0 ? cursor : cursor - 1);
  }
  return C(result);
}

const char* TLineMatcher::MatchAt(const char* p, int state) const {
  if (!Dfa().LineHead()) return LongestFrom(p, state);
  const char* h = LongestFrom(p, state < 0 ? -1 : Dfa().Table().Head(state));
  if (h == nullptr) return nullptr;
  const char* n = LongestFrom(p, state);
  return n != nullptr && n >= h ? n : h;
}

namespace {

// The longest match from q in the table's initial state, or nullptr.
inline const unsigned char* WalkRow(const TDfaTable& table, std::int32_t row,
                                    const unsigned char* cursor, const unsigned char* best) {
  for (;;) {
    TReCode c = ReadSubjectChar(cursor);
    if (c == 0) return best;
    const std::int32_t cell = table.Cell(row, c);
    if (cell < 0) return best;
    if (cell & 1) best = cursor;
    row = cell >> 1;
  }
}

inline const unsigned char* WalkFrom(const TDfaTable& table, const unsigned char* q) {
  return WalkRow(table, table.InitialRow(), q, table.Accepting(table.Initial()) ? q : nullptr);
}

// The walk from q when q begins with the table's prefix: compared byte by byte (a mismatch,
// the terminating NUL included, ends it), then the DFA from the state after the prefix.
inline const unsigned char* WalkAfterPrefix(const TDfaTable& table, const unsigned char* q) {
  const std::string& prefix = table.Prefix();
  for (std::size_t k = 1; k < prefix.size(); ++k) {
    if (q[k] != static_cast<unsigned char>(prefix[k])) return nullptr;
  }
  const unsigned char* after = q + prefix.size();
  return WalkRow(table, table.PrefixRow(), after, table.PrefixAccepts() ? after : nullptr);
}

}  // namespace

bool TLineMatcher::SearchPlain(const char* text, const char*& start, const char*& end) const {
  return SearchPlain(text, std::strlen(text), start, end);
}

bool TLineMatcher::SearchPlain(const char* text, std::size_t length, const char*& start,
                               const char*& end) const {
  start = end = nullptr;
  const TDfaTable& table = Dfa().Table();
  const unsigned char* q = U(text);
  if (table.Accepting(table.Initial())) {
    // Every position matches, so the first one is the answer.
    start = text;
    end = C(WalkFrom(table, q));
    return true;
  }
  if (const int single = table.SingleStartByte(); single >= 0) {
    // Only one byte value can begin a match: let memchr find it, then make sure it lies before
    // the first NUL and begins a character (an odd run of lead bytes right before it makes it a
    // trail byte). Without such a byte there is no match, wherever the text ends.
    const unsigned char* limit = q + length;
    for (;;) {
      const unsigned char* j =
          *q == single ? q : static_cast<const unsigned char*>(std::memchr(q, single, limit - q));
      if (j == nullptr) return false;
      if (j != q && std::memchr(q, 0, j - q) != nullptr) return false;
      std::size_t leads = 0;
      for (const unsigned char* b = j; b > q && IsLeadByte(b[-1]); --b) ++leads;
      if (leads % 2 == 0) {
        if (const unsigned char* best = WalkAfterPrefix(table, j)) {
          start = C(j);
          end = C(best);
          return true;
        }
      }
      q = j + 1;  // j ends a character either way
    }
  }
  while (*q != 0) {
    TDfaTable::StartKind kind = table.StartByte(*q);
    if (kind == TDfaTable::kSkip1) {
      ++q;
      continue;
    }
    if (kind == TDfaTable::kSkip2) {
      q += q[1] != 0 ? 2 : 1;
      continue;
    }
    if (const unsigned char* best = WalkFrom(table, q)) {
      start = C(q);
      end = C(best);
      return true;
    }
    ReadSubjectChar(q);
  }
  return false;
}

bool TLineMatcher::SearchAnchored(const char* text, const char*& start, const char*& end) const {
  start = text;
  end = MatchAt(text, Dfa().Initial());
  if (end != nullptr) return true;
  return SearchFrom(text, start, end);
}

bool TLineMatcher::SearchFrom(const char* text, const char*& start, const char*& end) const {
  start = end = nullptr;
  const TRE_DFA& dfa = Dfa();
  const int initial = dfa.Initial();
  const unsigned char* q = U(text);
  while (*q != 0) {
    if (const char* r = LongestFrom(C(q), initial)) {
      start = C(q);
      end = r;
      return true;
    }
    if (*q == '\n' && dfa.LineHead()) {
      if (const char* r = MatchAt(C(q + 1), initial)) {
        start = C(q + 1);
        end = r;
        return true;
      }
    }
    ReadSubjectChar(q);
  }
  if (dfa.LineTail() && dfa.Table().Tail(initial) >= 0) {
    start = end = C(q);
    return true;
  }
  return false;
}

}  // namespace toravin
