#include "sys/pump.h"

#include <utility>

namespace tav::sys {

TRunSlot<TPumpHook>& MessagePumpHook() {
  static TRunSlot<TPumpHook>& slot = TRunSlot<TPumpHook>::Make("message pump hook");
  return slot;
}

void SetMessagePumpHook(TPumpHook hook) { MessagePumpHook().Set(std::move(hook)); }

void PumpMessages() {
  // Copied so a hook that replaces itself does not destroy the running function.
  if (auto hook = MessagePumpHook().Get()) hook();
}

}  // namespace tav::sys
