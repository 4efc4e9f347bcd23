#include "main/FreeSpaceGauge.h"

#include <algorithm>

namespace toravin {

std::optional<std::uint64_t> TFreeSpaceGauge::For(const Query& query, std::int64_t length,
                                                  std::int64_t nowMs) {
  if (!query || length <= 0) return std::nullopt;
  const auto need = static_cast<std::uint64_t>(length);
  const bool fresh =
      m_known && nowMs - m_at >= 0 && nowMs - m_at < kFreshMs && (*m_known - m_taken) / 2 >= need;
  if (!fresh) {
    m_known = query();
    m_at = nowMs;
    m_taken = 0;
    if (!m_known) return std::nullopt;
  }
  const std::uint64_t free = *m_known - m_taken;
  m_taken += std::min(need, free);
  return free;
}

}  // namespace toravin
