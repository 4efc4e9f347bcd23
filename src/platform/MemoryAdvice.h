// Advice to the kernel about large buffers. A body of hundreds of megabytes received into fresh
// memory spends most of its time in page faults; backing it with huge pages cuts their number
// by a factor of 512. The advice is only a hint: where the kernel ignores it nothing changes.
#pragma once

#include <cstddef>

namespace toravin {

// Asks for huge pages over the whole 2 MiB-aligned part of [data, data + size). Buffers smaller
// than kHugePageAdviceMin are left alone.
void AdviseHugePages(void* data, std::size_t size);

inline constexpr std::size_t kHugePageAdviceMin = std::size_t{8} << 20;

}  // namespace toravin
