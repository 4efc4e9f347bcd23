// A single process-wide pump, set by the program at start.
#include "platform/MessagePump.h"

#include <utility>

#include "platform/Clock.h"

namespace toravin {
namespace {
MessagePumpFn& Pump() {
  static MessagePumpFn pump;
  return pump;
}
InputlessWaitFn& Waiter() {
  static InputlessWaitFn wait;
  return wait;
}
}  // namespace

InputlessWaitFn SetInputlessWait(InputlessWaitFn wait) {
  return std::exchange(Waiter(), std::move(wait));
}

void WaitWithoutInput(int ms) {
  if (ms <= 0) return;
  if (Waiter()) {
    Waiter()(ms);
  } else {
    SleepMs(ms);
  }
}

MessagePumpFn SetMessagePump(MessagePumpFn pump) { return std::exchange(Pump(), std::move(pump)); }

void ProcessMessages() {
  if (Pump()) Pump()();
}

}  // namespace toravin
