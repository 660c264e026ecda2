#include "sys/pump.h"

#include <utility>

namespace tav::sys {

namespace {
std::function<void()>& Hook() {
  static std::function<void()> hook;
  return hook;
}
}  // namespace

void SetMessagePumpHook(std::function<void()> hook) { Hook() = std::move(hook); }

void PumpMessages() {
  // Copied so a hook that replaces itself does not destroy the running function.
  if (auto hook = Hook()) hook();
}

}  // namespace tav::sys
