#pragma once
// Command-line switches of the setup program: a minus sign, a letter, and an optional value that
// follows the letter directly ("-sC:\My Build"; quoted whole when it holds blanks).
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sys/run_state.h"

namespace tav {

// In their declaration order, which is the order of the set and of the values. The last three serve
// unattended installs: -q shows no window, -l<file> writes the log, -p<folder> sets the install folder.
enum TSwitch { swBuild, swFloppies, swDebug, swSelfExtract, swAfterReboot, swSource, swCleanup, swQuiet, swLog, swFolder };
constexpr int kSwitchCount = 10;

struct TCommandSwitches {
  std::uint32_t Switches = 0;
  std::array<std::string, kSwitchCount> Values;

  bool Has(TSwitch s) const { return (Switches >> s) & 1; }
  const std::string& Value(TSwitch s) const { return Values[s]; }
};

// Letters are case-insensitive; a letter given twice keeps the later value. A bad argument raises
// IException "Invalid parameter <...>. Valid command line parameters are: ...".
TCommandSwitches ParseCommandLine(const std::vector<std::string>& args);

// -q and -l read before the project is loaded and without judging the other arguments, so that even
// a command line or a project that fails is reported to the log and shows no window.
struct TRunOptions {
  bool Quiet = false;
  bool HasLog = false;
  std::string Log;
};
TRunOptions ReadRunOptions(const std::vector<std::string>& args);

// Where the installer takes the program's arguments from: the real command line unless replaced
// (tests and embedding programs replace it).
using TArgumentSource = std::function<std::vector<std::string>()>;
TRunSlot<TArgumentSource>& ArgumentSourceSlot();
void SetArgumentSource(TArgumentSource source);
std::vector<std::string> ProgramArguments();

}  // namespace tav
