#include "main/SaveThrottle.h"

#include <algorithm>

namespace toravin {

void TSaveThrottle::Saved(std::int64_t startMs, std::int64_t endMs) {
  const std::int64_t took = std::max<std::int64_t>(endMs - startMs, 0);
  m_nextMs = endMs + std::max(m_intervalMs, took * (kMaxShare - 1));
}

}  // namespace toravin
