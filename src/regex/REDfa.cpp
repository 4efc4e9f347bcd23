// Subset construction: states are taken in creation order; for each, the NFA steps of its
// members are grouped by exact label, and each group's closure is looked up (by hash) or added.
// Labels are the disjoint leaves of the tree, so grouping by equality is enough to keep the
// result deterministic. The sets are dropped once built; only the table is needed to match.
#include "regex/REDfa.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"

namespace toravin {
namespace {

// Buckets to start with; the index doubles whenever there are more states than buckets.
constexpr std::size_t kFirstBucketCount = 64;

struct LabelHash {
  std::size_t operator()(const TRELabel& l) const {
    return (static_cast<std::size_t>(l.kind) << 32) ^ (static_cast<std::size_t>(l.start) << 16) ^
           l.end;
  }
};

}  // namespace

void TRE_DFA::Charge(std::size_t steps) {
  m_steps += steps;
  if (m_steps > kMaxDfaBuildSteps) {
    throw ERegExpParser(Sjis("正規表現が複雑すぎます（DFAの構築手順が上限の20000000を超えました）"),
                        0);
  }
}

void TRE_DFA::CheckSetMemory(std::uint64_t words) {
  if (words > kMaxDfaKeptSetWords) {
    throw ERegExpParser(
        Sjis("正規表現が複雑すぎます（DFAの構築に要る記憶域が上限の16MBを超えました）"), 0);
  }
}

void TRE_DFA::ChargeSets(std::size_t sets) {
  m_setWork += sets * m_setWords;
  if (m_setWork > kMaxDfaSetWork) {
    throw ERegExpParser(
        Sjis("正規表現が複雑すぎます（DFAの状態集合の操作が上限の33554432語を超えました）"), 0);
  }
}

TRE_NFAStateSet TRE_DFA::Closure(TRE_NFAStateSet set) {
  ChargeSets(2);  // the scan for members and the look-up by hash
  std::vector<int> stack;
  set.ForEach([&](int k) { stack.push_back(k); });
  while (!stack.empty()) {
    int k = stack.back();
    stack.pop_back();
    const auto& list = m_nfa->Transitions(k);
    Charge(list.size() + 1);
    for (const auto& t : list) {
      if (t.label.kind == TRELabelKind::Empty && !set.Has(t.target)) {
        set.Include(t.target);
        stack.push_back(t.target);
      }
    }
  }
  return set;
}

int TRE_DFA::FindOrAdd(TRE_NFAStateSet set) {
  const std::size_t hash = set.Hash();
  std::vector<int>& bucket = m_buckets[hash & (m_buckets.size() - 1)];
  for (int s : bucket) {
    if (m_hashes[static_cast<std::size_t>(s)] == hash &&
        m_sets[static_cast<std::size_t>(s)] == set) {
      return s;
    }
  }
  if (static_cast<int>(m_states.size()) >= kMaxDfaStates) {
    throw ERegExpParser(Sjis("正規表現が複雑すぎます（DFAの状態数が上限の10000を超えました）"), 0);
  }
  m_keptWords += m_setWords;
  CheckSetMemory(m_keptWords);
  TREDfaStateInfo info;
  info.accepting = set.Has(TRE_NFA::kExit);
  int index = static_cast<int>(m_states.size());
  m_states.push_back(std::move(info));
  m_sets.push_back(std::move(set));
  m_hashes.push_back(hash);
  bucket.push_back(index);
  if (m_states.size() > m_buckets.size()) {
    m_buckets.assign(m_buckets.size() * 2, {});
    for (std::size_t i = 0; i < m_hashes.size(); ++i) {
      m_buckets[m_hashes[i] & (m_buckets.size() - 1)].push_back(static_cast<int>(i));
    }
  }
  return index;
}

void TRE_DFA::Build() {
  m_states.clear();
  m_sets.clear();
  m_hashes.clear();
  m_buckets.assign(kFirstBucketCount, {});
  m_steps = 0;
  m_lineHead = m_nfa->LineHead();
  m_lineTail = m_nfa->LineTail();
  const int n = m_nfa->StateCount();
  m_setWords = static_cast<std::uint64_t>(n) / 64 + 1;
  m_setWork = 0;
  m_keptWords = 0;

  TRE_NFAStateSet start(n);
  start.Include(TRE_NFA::kEntry);
  FindOrAdd(Closure(std::move(start)));

  struct Move {
    TRELabel label;
    TRE_NFAStateSet set;
  };
  std::vector<Move> moves;
  std::unordered_map<TRELabel, std::size_t, LabelHash> moveByLabel;
  for (std::size_t done = 0; done < m_states.size(); ++done) {
    moves.clear();
    moveByLabel.clear();
    ChargeSets(1);
    m_sets[done].ForEach([&](int k) {
      const auto& list = m_nfa->Transitions(k);
      Charge(list.size() + 1);
      for (auto t = list.rbegin(); t != list.rend(); ++t) {  // newest first
        if (t->label.kind == TRELabelKind::Empty) continue;
        auto [it, added] = moveByLabel.emplace(t->label, moves.size());
        if (added) {
          ChargeSets(1);
          CheckSetMemory((moves.size() + 1) * m_setWords);
          moves.push_back({t->label, TRE_NFAStateSet(n)});
        }
        moves[it->second].set.Include(t->target);
      }
    });
    // Newest group first, as the groups were kept in a list that grew at its head.
    for (auto m = moves.rbegin(); m != moves.rend(); ++m) {
      int target = FindOrAdd(Closure(std::move(m->set)));
      TREDfaStateInfo& info = m_states[done];
      switch (m->label.kind) {
        case TRELabelKind::LineHead:
          info.headTarget = target;
          break;
        case TRELabelKind::LineTail:
          info.tailTarget = target;
          break;
        default:
          info.transitions.push_back({m->label.start, m->label.end, target});
          break;
      }
    }
  }
  for (auto& info : m_states) {
    std::stable_sort(info.transitions.begin(), info.transitions.end(),
                     [](const auto& a, const auto& b) { return a.start < b.start; });
  }
  m_sets.clear();
  m_sets.shrink_to_fit();
  m_hashes.clear();
  m_hashes.shrink_to_fit();
  m_buckets.clear();
  m_buckets.shrink_to_fit();
  m_table.Build(m_states, Initial());
}

}  // namespace toravin
