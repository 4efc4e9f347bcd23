// Tree building with a binary heap over at most a few hundred symbols per block; the depth
// repair works on the counts per length only, which is all a canonical code needs.
#include "HuffmanCode.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <queue>

namespace toravin::lha {

HuffmanCode HuffmanCode::Build(const std::vector<std::uint32_t>& freq) {
  const int n = static_cast<int>(freq.size());
  HuffmanCode hc;
  hc.lengths.assign(n, 0);
  hc.codes.assign(n, 0);
  for (int i = 0; i < n; ++i) {
    if (freq[i] == 0) continue;
    ++hc.used;
    hc.onlySymbol = i;
  }
  if (hc.used != 1) hc.onlySymbol = -1;
  if (hc.used < 2) return hc;

  // Ordinary Huffman tree: nodes 0..n-1 are leaves, later ones inner nodes.
  std::vector<std::uint64_t> weight(freq.begin(), freq.end());
  std::vector<int> parent(n, -1);
  using Item = std::pair<std::uint64_t, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
  for (int i = 0; i < n; ++i) {
    if (freq[i] != 0) heap.emplace(freq[i], i);
  }
  while (heap.size() > 1) {
    auto [wa, a] = heap.top();
    heap.pop();
    auto [wb, b] = heap.top();
    heap.pop();
    int node = static_cast<int>(weight.size());
    weight.push_back(wa + wb);
    parent.push_back(-1);
    parent[a] = node;
    parent[b] = node;
    heap.emplace(wa + wb, node);
  }
  // Depth of every node, computed from the root downwards (parents have higher numbers).
  std::vector<int> depth(weight.size(), 0);
  for (int i = static_cast<int>(weight.size()) - 2; i >= 0; --i) {
    if (parent[i] >= 0) depth[i] = depth[parent[i]] + 1;
  }

  // Leaves per length, with anything deeper than the limit counted at the limit.
  std::array<int, kMaxCodeLength + 1> count{};
  for (int i = 0; i < n; ++i) {
    if (freq[i] != 0) ++count[std::min(depth[i], kMaxCodeLength)];
  }
  std::uint64_t kraft = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    kraft += static_cast<std::uint64_t>(count[len]) << (kMaxCodeLength - len);
  }
  const std::uint64_t full = std::uint64_t{1} << kMaxCodeLength;
  while (kraft > full) {
    // Drop one leaf from the deepest level, then split one shallower leaf into two one level
    // down: the leaf count stays, the Kraft sum falls by one unit.
    --count[kMaxCodeLength];
    for (int len = kMaxCodeLength - 1; len >= 1; --len) {
      if (count[len] != 0) {
        --count[len];
        count[len + 1] += 2;
        break;
      }
    }
    --kraft;
  }

  // Hand the lengths out again, shortest to the most frequent symbols.
  std::vector<int> order;
  for (int i = 0; i < n; ++i) {
    if (freq[i] != 0) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return freq[a] > freq[b]; });
  std::size_t k = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    for (int c = 0; c < count[len]; ++c) hc.lengths[order[k++]] = static_cast<std::uint8_t>(len);
  }

  // Canonical codes.
  std::array<std::uint32_t, kMaxCodeLength + 2> next{};
  std::array<int, kMaxCodeLength + 1> perLength{};
  for (int i = 0; i < n; ++i) ++perLength[hc.lengths[i]];
  perLength[0] = 0;
  std::uint32_t code = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    code = (code + perLength[len - 1]) << 1;
    next[len] = code;
  }
  for (int i = 0; i < n; ++i) {
    if (hc.lengths[i] != 0) hc.codes[i] = static_cast<std::uint16_t>(next[hc.lengths[i]]++);
  }
  return hc;
}

}  // namespace toravin::lha
