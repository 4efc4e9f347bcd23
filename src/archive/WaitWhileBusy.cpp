// Time is taken from the monotonic clock, so a change of the wall clock cannot end the wait early
// or stretch it.
#include "archive/WaitWhileBusy.h"

#include "platform/Clock.h"
#include "platform/MessagePump.h"

namespace toravin {

bool WaitWhileBusy(const std::function<bool()>& busy, int limitMs) {
  const std::int64_t start = TickCountMs();
  while (busy()) {
    if (TickCountMs() - start > limitMs) return false;
    ProcessMessages();
  }
  return true;
}

}  // namespace toravin
