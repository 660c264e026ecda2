#include <windows.h>
#include <shellapi.h>

#include "sys/process.h"
#include "sys/unicode.h"

namespace tav::sys {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  if (commandLine.empty()) return args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(Wide(commandLine).c_str(), &count);
  if (!argv) return args;
  for (int i = 0; i < count; ++i) args.push_back(Narrow(argv[i]));
  LocalFree(argv);
  return args;
}

std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> args = SplitCommandLine(Narrow(GetCommandLineW()));
  if (!args.empty()) args.erase(args.begin());
  return args;
}

bool StartProcess(const std::string& commandLine, ShowMode show) {
  std::wstring line = Wide(commandLine);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = show == ShowMode::Hidden ? SW_HIDE : SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  const DWORD flags = show == ShowMode::Hidden ? CREATE_NO_WINDOW : 0;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

TRunSlot<TRestartCall>& RestartCallSlot() {
  static TRunSlot<TRestartCall>& slot = TRunSlot<TRestartCall>::Make("restart call", [] {
    return ExitWindowsEx(EWX_REBOOT, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED) != 0;
  });
  return slot;
}

bool RequestReboot(int windowsVersion) {
  const TRestartCall& restart = RestartCallSlot().Get();
  if (!restart) return false;
  if (windowsVersion == 1) return restart();
  if (windowsVersion != 2) return false;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  const bool enabled = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
                       AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                       GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return enabled && restart();
}

}  // namespace tav::sys
