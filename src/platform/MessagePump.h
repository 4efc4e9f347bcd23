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

// A pause of a run: `ms` milliseconds in which the user's input is not handled. The installed
// waiter may go on painting and answering the accessibility bus meanwhile; without one it is a
// plain sleep.
using InputlessWaitFn = std::function<void(int ms)>;
InputlessWaitFn SetInputlessWait(InputlessWaitFn wait);
void WaitWithoutInput(int ms);

}  // namespace toravin
