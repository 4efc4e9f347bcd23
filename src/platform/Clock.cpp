// steady_clock underneath, so that a change of the wall clock never fires or stalls a time-out.
#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace toravin {

std::int64_t TickCountMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(std::int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace toravin
