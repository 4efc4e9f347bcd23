// Hashing of NFA state sets, so that the subset construction finds an existing DFA state in
// constant time instead of comparing the new set with every state built so far.
#include "regex/RENfaStateSet.h"

namespace toravin {

std::size_t TRE_NFAStateSet::Hash() const {
  std::uint64_t h = 0x9E3779B97F4A7C15ull;
  for (std::uint64_t w : m_words) {
    h ^= w + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  }
  return static_cast<std::size_t>(h);
}

}  // namespace toravin
