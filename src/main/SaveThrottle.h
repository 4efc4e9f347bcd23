// When the crawl run may save the settings file again. A save is due once the interval has passed
// since the last one ended; a save that took long pushes the next one out further, so that saving
// never takes more than 1/kMaxShare of the run's time however long the work list grows.
#pragma once

#include <cstdint>

namespace toravin {

class TSaveThrottle {
 public:
  // A save takes at most this share (1/kMaxShare) of the time between saves.
  static constexpr std::int64_t kMaxShare = 50;

  // An interval of 0 makes every chance a save (for tests that look at each one).
  explicit TSaveThrottle(std::int64_t intervalMs) : m_intervalMs(intervalMs) {}

  // The run starts at `nowMs`: the first save is due one interval later.
  void Start(std::int64_t nowMs) { m_nextMs = nowMs + m_intervalMs; }
  bool Due(std::int64_t nowMs) const { return m_intervalMs == 0 || nowMs >= m_nextMs; }
  // A save ran from `startMs` to `endMs`.
  void Saved(std::int64_t startMs, std::int64_t endMs);

 private:
  std::int64_t m_intervalMs;
  std::int64_t m_nextMs = 0;
};

}  // namespace toravin
