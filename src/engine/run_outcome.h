#pragma once
// How a start of the program ends, as its exit code: what a script or an administrator reads. The
// installer decides it at each end of a run (and the build and floppy modes at theirs); the program's
// entry returns it. Until something is decided it says failed, so that no way out reads as success.
#include <string>
#include <vector>

#include "sys/run_state.h"

namespace tav {

constexpr int kExitInstalled = 0;
constexpr int kExitFailed = 1;
constexpr int kExitCancelled = 2;
constexpr int kExitRestartNeeded = 3010;  // installed; a restart of the computer finishes the work

TRunSlot<int>& ExitCodeSlot();
int ProgramExitCode();
void SetProgramExitCode(int code);

// Unattended mode (-q) and the log (-l<file>) for this start, before the project is loaded. Raises
// IEInstall when -l names no file or a file that cannot be written.
void BeginRun(const std::vector<std::string>& args);
// The last line of the log.
void EndRun(int exitCode);

}  // namespace tav
