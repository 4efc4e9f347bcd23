// The nondeterministic automaton built from a parse tree, Thompson style with empty steps.
// State 0 is the entry and state 1 the exit; a caret reached from the entry and a dollar sign
// reaching the exit become line-anchor steps, anywhere else they are the characters themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "regex/CharCodes.h"
#include "regex/REParser.h"

namespace toravin {

// What a transition consumes. Anchors and empty steps are kinds of their own rather than
// reserved codes, so no character a pattern can spell is ever mistaken for one.
enum class TRELabelKind : std::uint8_t { Char, LineHead, LineTail, Empty };

struct TRELabel {
  TRELabelKind kind = TRELabelKind::Empty;
  TReCode start = 0;
  TReCode end = 0;
  bool operator==(const TRELabel&) const = default;
};

// Most states and transitions an NFA may hold together. "+" copies its operand, so k nested
// groups each followed by "+" double the automaton k times; the limit refuses such a pattern
// while it is being built, before it costs more than a few megabytes.
constexpr int kMaxNfaSize = 200000;

struct TRENfaTransition {
  TRELabel label;
  int target = 0;
};

class TRE_NFA {
 public:
  // The two codes are kept for the component that records them; anchors are label kinds.
  TRE_NFA(const TREParser& parser, TReCode tailCode = LineTailCode,
          TReCode headCode = LineHeadCode);
  virtual ~TRE_NFA() = default;
  TRE_NFA(const TRE_NFA&) = delete;
  TRE_NFA& operator=(const TRE_NFA&) = delete;

  static constexpr int kEntry = 0;
  static constexpr int kExit = 1;

  void Build();
  int AddState();
  void AddTransition(int from, int to, const TRELabel& label);
  // Makes the transitions for `node` between states a and b (and the states inside it).
  void GenerateStateList(int node, int a, int b);

  int StateCount() const { return static_cast<int>(m_states.size()); }
  // A state's transitions in the order they were added (the newest last).
  const std::vector<TRENfaTransition>& Transitions(int state) const {
    return m_states[static_cast<std::size_t>(state)];
  }
  bool LineHead() const { return m_lineHead; }
  bool LineTail() const { return m_lineTail; }
  TReCode HeadCode() const { return m_headCode; }
  TReCode TailCode() const { return m_tailCode; }

 private:
  // Counts one state or transition; raises ERegExpParser beyond kMaxNfaSize.
  void Grow();

  std::vector<std::vector<TRENfaTransition>> m_states;
  int m_size = 0;
  const TREParser& m_parser;
  bool m_lineHead = false;
  bool m_lineTail = false;
  TReCode m_headCode;
  TReCode m_tailCode;
};

}  // namespace toravin
