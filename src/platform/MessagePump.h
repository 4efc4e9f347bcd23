// The message pump: one function that runs pending user-interface events. The desktop program
// installs Qt's event processing; tests and the headless tool install their own (or none).
#pragma once

#include <functional>

namespace toravin {

using MessagePumpFn = std::function<void()>;

// Installs the pump; an empty function makes ProcessMessages do nothing. Returns the old one.
MessagePumpFn SetMessagePump(MessagePumpFn pump);

// Runs pending events once. Re-entrant calls (a handler that pumps from inside the pump) are
// passed through, as the window system does.
void ProcessMessages();

}  // namespace toravin
