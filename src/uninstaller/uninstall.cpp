// uninstall.exe: "<program> [-q] [-l<log file>] <product name>".
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "sys/unicode.h"
#include "uninstaller/uninstaller.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; argv && i < count; ++i) args.push_back(tav::sys::Narrow(argv[i]));
  if (argv) LocalFree(argv);
  return tav::uninstaller::Run(args);
}
