#pragma once
// Long operations run on the user-interface thread and call PumpMessages() after every buffer;
// the user-interface layer installs the hook that processes pending window messages.
#include <functional>

#include "sys/run_state.h"

namespace tav::sys {

using TPumpHook = std::function<void()>;

// The hook is a run-wide slot: the application installs it as the start value at start-up, so a
// reset of the run state keeps it; a test that puts in its own for a case uses a TRunSlotScope.
TRunSlot<TPumpHook>& MessagePumpHook();
// Sets the slot's value (not its start value).
void SetMessagePumpHook(TPumpHook hook);
void PumpMessages();

}  // namespace tav::sys
