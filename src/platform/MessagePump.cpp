// A single process-wide pump, set by the program at start.
#include "platform/MessagePump.h"

#include <utility>

namespace toravin {
namespace {
MessagePumpFn& Pump() {
  static MessagePumpFn pump;
  return pump;
}
}  // namespace

MessagePumpFn SetMessagePump(MessagePumpFn pump) { return std::exchange(Pump(), std::move(pump)); }

void ProcessMessages() {
  if (Pump()) Pump()();
}

}  // namespace toravin
