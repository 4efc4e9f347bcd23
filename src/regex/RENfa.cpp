// GenerateStateList walks the tree with an explicit stack instead of recursion: a pattern of a
// few thousand characters is a left-deep chain of that many concatenations. The work items are
// taken in the same order a recursive walk would take them, so states get the same numbers.
#include "regex/RENfa.h"

#include <stdexcept>

#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"

namespace toravin {
namespace {

constexpr TRELabel kEmpty{TRELabelKind::Empty, EmptyLabel, EmptyLabel};

TRELabel CharLabel(TReCode start, TReCode end) { return {TRELabelKind::Char, start, end}; }

}  // namespace

TRE_NFA::TRE_NFA(const TREParser& parser, TReCode tailCode, TReCode headCode)
    : m_parser(parser), m_headCode(headCode), m_tailCode(tailCode) {}

void TRE_NFA::Build() {
  m_states.clear();
  m_size = 0;
  m_lineHead = m_lineTail = false;
  AddState();
  AddState();
  GenerateStateList(m_parser.Tree().Root(), kEntry, kExit);
}

void TRE_NFA::Grow() {
  if (++m_size > kMaxNfaSize) {
    throw ERegExpParser(Sjis("正規表現が複雑すぎます（NFAの大きさが上限の200000を超えました）"), 0);
  }
}

int TRE_NFA::AddState() {
  Grow();
  m_states.emplace_back();
  return static_cast<int>(m_states.size() - 1);
}

void TRE_NFA::AddTransition(int from, int to, const TRELabel& label) {
  Grow();
  m_states[static_cast<std::size_t>(from)].push_back({label, to});
}

void TRE_NFA::GenerateStateList(int node, int a, int b) {
  // node >= 0: build that node between a and b; node < 0: add the empty step a -> b.
  struct Work {
    int node, a, b;
  };
  const TREParseTree& tree = m_parser.Tree();
  std::vector<Work> stack{{node, a, b}};
  while (!stack.empty()) {
    Work w = stack.back();
    stack.pop_back();
    if (w.node < 0) {
      AddTransition(w.a, w.b, kEmpty);
      continue;
    }
    const TRENode& n = tree.Node(w.node);
    switch (n.kind) {
      case nodeCharRange:
        AddTransition(w.a, w.b, CharLabel(n.start, n.end));
        break;
      case nodeLineHead:
        if (w.a == kEntry) {
          m_lineHead = true;
          AddTransition(w.a, w.b, {TRELabelKind::LineHead, m_headCode, m_headCode});
        } else {
          AddTransition(w.a, w.b, CharLabel('^', '^'));
        }
        break;
      case nodeLineTail:
        if (w.b == kExit) {
          m_lineTail = true;
          AddTransition(w.a, w.b, {TRELabelKind::LineTail, m_tailCode, m_tailCode});
        } else {
          AddTransition(w.a, w.b, CharLabel('$', '$'));
        }
        break;
      case nodeConcat: {
        int c = AddState();
        stack.push_back({n.right, c, w.b});
        stack.push_back({n.left, w.a, c});
        break;
      }
      case nodeUnion:
        stack.push_back({n.right, w.a, w.b});
        stack.push_back({n.left, w.a, w.b});
        break;
      case nodeStar: {
        int c = AddState();
        int d = AddState();
        AddTransition(w.a, c, kEmpty);
        stack.push_back({-1, c, w.b});
        stack.push_back({-1, d, c});
        stack.push_back({n.left, c, d});
        break;
      }
      case nodeEmpty:
        AddTransition(w.a, w.b, kEmpty);
        break;
      default:
        throw std::logic_error("This cannot happen in TRE_NFA.GenerateStateList");
    }
  }
}

}  // namespace toravin
