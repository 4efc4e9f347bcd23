// The searches walk the DFA table one character at a time. SearchPlain, the one the crawl uses
// on every line, first skips characters that no match can begin with (one table lookup per
// byte) and only then walks the automaton, which gives the same leftmost-longest result as
// trying every position.
#include "regex/LineMatcher.h"

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

bool TLineMatcher::SearchPlain(const char* text, const char*& start, const char*& end) const {
  start = end = nullptr;
  const TDfaTable& table = Dfa().Table();
  const int initial = table.Initial();
  // With an accepting initial state every position matches, so the first one is walked.
  const bool skip = !table.Accepting(initial);
  if (!skip && *text == 0) {
    start = end = text;
    return true;
  }
  const unsigned char* q = U(text);
  while (*q != 0) {
    if (skip) {
      TDfaTable::StartKind kind = table.StartByte(*q);
      if (kind == TDfaTable::kSkip1) {
        ++q;
        continue;
      }
      if (kind == TDfaTable::kSkip2) {
        q += q[1] != 0 ? 2 : 1;
        continue;
      }
    }
    int s = initial;
    const unsigned char* cursor = q;
    const unsigned char* best = nullptr;
    for (;;) {
      if (table.Accepting(s)) best = cursor;
      TReCode c = ReadSubjectChar(cursor);
      if (c == 0) break;
      s = table.Next(s, c);
      if (s < 0) break;
    }
    if (best != nullptr) {
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
