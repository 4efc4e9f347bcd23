// Length-limited canonical Huffman codes for the three code tables of an -lh5- block. Lengths
// come from an ordinary Huffman tree; when the tree is deeper than the format allows, the
// deepest leaves are moved up and the Kraft sum is repaired one step at a time, and the lengths
// are then handed out again so that the most frequent symbols keep the shortest codes. Codes are
// canonical: shorter codes first, and within one length in the order of the symbols.
#pragma once

#include <cstdint>
#include <vector>

namespace toravin::lha {

// The longest code the -lh5- decoders accept.
inline constexpr int kMaxCodeLength = 16;

struct HuffmanCode {
  std::vector<std::uint8_t> lengths;  // 0 for an unused symbol
  std::vector<std::uint16_t> codes;
  int used = 0;         // symbols with a non-zero frequency
  int onlySymbol = -1;  // the symbol when exactly one is used

  // Builds the code for `freq`. With fewer than two used symbols all lengths stay 0.
  static HuffmanCode Build(const std::vector<std::uint32_t>& freq);
};

}  // namespace toravin::lha
