// Counts the bytes held through operator new in this test program, and the highest count since
// the last reset, so that a test can bound the memory a step takes without timing anything.
#pragma once

#include <cstddef>

namespace toravin::test {

void ResetAllocationPeak();
// Highest number of bytes held at once since the last reset, above what was held at the reset.
std::size_t AllocationPeak();

}  // namespace toravin::test
