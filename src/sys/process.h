#pragma once
// Processes (Windows only).
#include <functional>
#include <string>
#include <vector>

#include "sys/run_state.h"

namespace tav::sys {

// The program's arguments after its own name, split as Windows splits a command line (quotes group
// blanks; backslashes before quotes follow the usual rules).
std::vector<std::string> CommandLineArguments();
// Splits a command line the same way, the program name included.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

enum class ShowMode { Hidden, Normal };
// Starts a command line without waiting for it; false when it cannot be started.
bool StartProcess(const std::string& commandLine, ShowMode show);

// Asks Windows to restart: platform 1 (the 95 family) directly, 2 (NT) after enabling the shutdown
// privilege; any other platform, or any failing step, gives false.
bool RequestReboot(int windowsVersion);

// The last step of RequestReboot, the restart call itself (the system's unless a test records it
// instead, so that no test ever restarts the machine); true when the request was accepted.
using TRestartCall = std::function<bool()>;
TRunSlot<TRestartCall>& RestartCallSlot();

}  // namespace tav::sys
