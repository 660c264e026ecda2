#include "sys/pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "sys/run_state.h"

namespace tav::sys {
namespace {

// The hook as the application wires it (a start value) and as cases change it (Set, scopes), with
// the run-wide reset between them.
TEST(PumpHookSlot, ResetKeepsTheStartValueAndScopesRestoreWhateverTheyFound) {
  std::vector<std::string> calls;
  MessagePumpHook().SetStartValue([&] { calls.push_back("application"); });
  const std::vector<std::string> names = RunSlotNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "message pump hook"), names.end());
  SetMessagePumpHook([&] { calls.push_back("case"); });
  PumpMessages();
  ResetRunState();
  PumpMessages();
  EXPECT_EQ(calls, (std::vector<std::string>{"case", "application"}));

  // A scope left by an exception still puts back the hook it replaced, itself a case's.
  SetMessagePumpHook(nullptr);
  calls.clear();
  try {
    const TRunSlotScope<TPumpHook> scope(MessagePumpHook(), [&] { calls.push_back("scoped"); });
    PumpMessages();
    throw std::runtime_error("leave");
  } catch (const std::runtime_error&) {
  }
  PumpMessages();
  EXPECT_EQ(calls, (std::vector<std::string>{"scoped"})) << "no hook after the scope, as before it";
  ResetRunState();
  PumpMessages();
  EXPECT_EQ(calls, (std::vector<std::string>{"scoped", "application"}));

  MessagePumpHook().SetStartValue(nullptr);
  ResetRunState();
}

}  // namespace
}  // namespace tav::sys
