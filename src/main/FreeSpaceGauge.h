// How much room the disk has for the next body. Asking the file system for every file costs a
// system call each; an answer is reused for a moment, less what the bodies since may have taken,
// while the body in question needs at most half of what is left. Whatever the answer, a write
// that then finds the disk full is reported as one: the answer only spares a body that can be
// seen not to fit from being written at all.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace toravin {

class TFreeSpaceGauge {
 public:
  using Query = std::function<std::optional<std::uint64_t>()>;

  // An answer is asked again once it is this old.
  static constexpr std::int64_t kFreshMs = 250;

  // The free space for a body of `length` bytes (none when the length is unknown, or the query
  // fails: neither is a reason to refuse the body). The body's length is then counted as taken.
  std::optional<std::uint64_t> For(const Query& query, std::int64_t length, std::int64_t nowMs);
  // The next body asks the file system again.
  void Forget() { m_known.reset(); }

 private:
  std::optional<std::uint64_t> m_known;  // the last answer
  std::int64_t m_at = 0;                 // when it was given
  std::uint64_t m_taken = 0;             // what the bodies since may have taken of it
};

}  // namespace toravin
