#include "engine/run_outcome.h"

#include "core/exceptions_Tavenrik.h"
#include "core/routines_Paths.h"
#include "core/routines_Strings.h"
#include "core/run_log.h"
#include "engine/command_line.h"
#include "sys/files.h"

namespace tav {

TRunSlot<int>& ExitCodeSlot() {
  static auto& slot = TRunSlot<int>::Make("program exit code", kExitFailed);
  return slot;
}

int ProgramExitCode() { return ExitCodeSlot().Get(); }

void SetProgramExitCode(int code) { ExitCodeSlot().Set(code); }

void BeginRun(const std::vector<std::string>& args) {
  const TRunOptions options = ReadRunOptions(args);
  UnattendedSlot().Set(options.Quiet);
  if (!options.HasLog) return;
  if (Trim(options.Log).empty()) throw IEInstall(std::string("The -l switch must name the log file: -lC:\\setup.log"));
  // Absolute, so that the resumption after a restart, started elsewhere, writes the same file.
  const std::string log = IsAbsolutePath(options.Log)
                              ? options.Log
                              : IncludeTrailingBackslash(sys::CurrentDirectory()) + options.Log;
  if (!OpenRunLog(log)) throw IEInstall("Cannot write the log file %s", log);
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + a;
  LogEvent("Setup started with the command line: %s", line);
}

void EndRun(int exitCode) { LogEvent("Setup ended with the exit code %d", exitCode); }

}  // namespace tav
