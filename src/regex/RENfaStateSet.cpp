// Hashing of NFA state sets, so that the subset construction finds an existing DFA state in
// constant time instead of comparing the new set with every state built so far.
#include "regex/RENfaStateSet.h"

namespace toravin {

std::size_t TRE_NFAStateSet::Hash() const {
  // Each word is mixed in with a multiply and a shift, so that sets differing in one bit land
  // in unrelated buckets.
  std::uint64_t h = 0x243F6A8885A308D3ull;
  for (std::size_t i = 0; i < m_words.size(); ++i) {
    if (m_words[i] == 0) continue;
    h ^= m_words[i] + i * 0x9E3779B97F4A7C15ull;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  return static_cast<std::size_t>(h);
}

}  // namespace toravin
