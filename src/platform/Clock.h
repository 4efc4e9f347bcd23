// Monotonic milliseconds and plain pauses, for time-outs and the crawl's fixed waits.
#pragma once

#include <cstdint>

namespace toravin {

// Milliseconds since an arbitrary start; never goes backwards.
std::int64_t TickCountMs();

// Sleeps without running any events.
void SleepMs(std::int64_t ms);

}  // namespace toravin
