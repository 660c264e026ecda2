#include "engine/command_line.h"

#include <cctype>

#include "core/exceptions_Tavenrik.h"
#include "sys/process.h"

namespace tav {

namespace {
const char* const kInvalidParameter =
    "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), -e "
    "(Called by self-extractor), -r (After reboot), -q (Quiet: no window), -l (Log file), -p (Install folder)";

int SwitchOf(char letter) {
  switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'b': return swBuild;
    case 'f': return swFloppies;
    case 'd': return swDebug;
    case 'e': return swSelfExtract;
    case 'r': return swAfterReboot;
    case 's': return swSource;
    case 'c': return swCleanup;
    case 'q': return swQuiet;
    case 'l': return swLog;
    case 'p': return swFolder;
  }
  return -1;
}
}  // namespace

TCommandSwitches ParseCommandLine(const std::vector<std::string>& args) {
  TCommandSwitches result;
  for (const std::string& arg : args) {
    if (arg.size() < 2 || arg[0] != '-') throw IException(kInvalidParameter, arg);
    const int s = SwitchOf(arg[1]);
    if (s < 0) throw IException(kInvalidParameter, arg);
    result.Switches |= 1u << s;
    result.Values[s] = arg.substr(2);
  }
  return result;
}

TRunOptions ReadRunOptions(const std::vector<std::string>& args) {
  TRunOptions options;
  for (const std::string& arg : args) {
    if (arg.size() < 2 || arg[0] != '-') continue;
    const int s = SwitchOf(arg[1]);
    if (s == swQuiet) options.Quiet = true;
    if (s == swLog) {
      options.HasLog = true;
      options.Log = arg.substr(2);
    }
  }
  return options;
}

TRunSlot<TArgumentSource>& ArgumentSourceSlot() {
  static auto& slot = TRunSlot<TArgumentSource>::Make("argument source");
  return slot;
}

void SetArgumentSource(TArgumentSource source) { ArgumentSourceSlot().Set(std::move(source)); }

std::vector<std::string> ProgramArguments() {
  const TArgumentSource& source = ArgumentSourceSlot().Get();
  return source ? source() : sys::CommandLineArguments();
}

}  // namespace tav
