#pragma once
// Long operations run on the user-interface thread and call PumpMessages() after every buffer;
// the user-interface layer installs the hook that processes pending window messages.
#include <functional>

namespace tav::sys {

void SetMessagePumpHook(std::function<void()> hook);
void PumpMessages();

}  // namespace tav::sys
