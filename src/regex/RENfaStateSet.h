// A set of NFA state numbers as a bit set: the identity of a DFA state during the subset
// construction. Sets compare and hash by their bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace toravin {

class TRE_NFAStateSet {
 public:
  explicit TRE_NFAStateSet(int n = 0) : m_words(static_cast<std::size_t>(n) / 64 + 1, 0) {}

  bool Has(int k) const { return (m_words[static_cast<std::size_t>(k) / 64] >> (k % 64)) & 1u; }
  void Include(int k) { m_words[static_cast<std::size_t>(k) / 64] |= std::uint64_t{1} << (k % 64); }
  bool operator==(const TRE_NFAStateSet& other) const { return m_words == other.m_words; }
  std::size_t Hash() const;

  // Calls f(k) for every member k in ascending order.
  template <typename F>
  void ForEach(F f) const {
    for (std::size_t w = 0; w < m_words.size(); ++w) {
      for (std::uint64_t bits = m_words[w]; bits != 0; bits &= bits - 1) {
        f(static_cast<int>(w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))));
      }
    }
  }

 private:
  std::vector<std::uint64_t> m_words;
};

}  // namespace toravin
