// The complete deterministic automaton of a pattern, built from its NFA by subset construction,
// and its table form for matching. Every reachable state is built at compile time, up to
// kMaxDfaStates; a pattern that needs more is refused with ERegExpParser.
#pragma once

#include <cstdint>
#include <vector>

#include "regex/DfaTable.h"
#include "regex/RENfa.h"
#include "regex/RENfaStateSet.h"

namespace toravin {

// Most states a DFA may have. Patterns such as "(a|b)*a(a|b)(a|b)..." double their states with
// every further "(a|b)"; the limit turns that into an error instead of a hang.
constexpr int kMaxDfaStates = 10000;
// Most NFA steps the construction may look at (each member's steps, for every state built).
// Few states over a huge NFA cost as much as many states; this bounds both.
constexpr std::uint64_t kMaxDfaBuildSteps = 20000000;
// Each state set is a bit set as wide as the NFA, so a big NFA makes every set expensive even
// when few states are built: the sets kept while building, and the sets of the moves out of one
// state, may each hold at most this many 64-bit words (16 MB), and making, scanning and comparing
// sets may touch at most kMaxDfaSetWork words in all.
constexpr std::uint64_t kMaxDfaKeptSetWords = 2u << 20;
constexpr std::uint64_t kMaxDfaSetWork = 32u << 20;

class TRE_DFA {
 public:
  explicit TRE_DFA(const TRE_NFA& nfa) : m_nfa(&nfa) {}
  virtual ~TRE_DFA() = default;
  TRE_DFA(const TRE_DFA&) = delete;
  TRE_DFA& operator=(const TRE_DFA&) = delete;

  // Builds the states, sorts their transitions and makes the table. The NFA is not used after.
  void Build();

  int StateCount() const { return static_cast<int>(m_states.size()); }
  int Initial() const { return 0; }
  const TREDfaStateInfo& State(int s) const { return m_states[static_cast<std::size_t>(s)]; }
  bool LineHead() const { return m_lineHead; }
  bool LineTail() const { return m_lineTail; }
  const TDfaTable& Table() const { return m_table; }

 private:
  TRE_NFAStateSet Closure(TRE_NFAStateSet set);
  int FindOrAdd(TRE_NFAStateSet set);

  const TRE_NFA* m_nfa;
  std::vector<TREDfaStateInfo> m_states;
  // Used while building only: the NFA set of each state and an index of them by hash.
  std::vector<TRE_NFAStateSet> m_sets;
  std::vector<std::size_t> m_hashes;
  std::vector<std::vector<int>> m_buckets;
  void Charge(std::size_t steps);
  // Counts `sets` set operations of m_setWords words each against kMaxDfaSetWork.
  void ChargeSets(std::size_t sets);
  // Raises ERegExpParser when `words` words of sets exceed kMaxDfaKeptSetWords.
  static void CheckSetMemory(std::uint64_t words);

  std::uint64_t m_steps = 0;
  std::uint64_t m_setWords = 0;  // words of one set
  std::uint64_t m_setWork = 0;
  std::uint64_t m_keptWords = 0;
  bool m_lineHead = false;
  bool m_lineTail = false;
  TDfaTable m_table;
};

}  // namespace toravin
