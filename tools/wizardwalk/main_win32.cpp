// wizardwalk <shot folder> <setup.exe> [setup arguments...]: runs the setup program through its
// wizard, pressing Next on every page and saving a picture of each. Prints the pages it saw and
// ends with the setup program's exit code (99 when it had to be stopped, 98 when it ended well but a
// picture could not be saved).
#include <cstdio>
#include <string>

#include "walk.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: wizardwalk <shot folder> <setup.exe> [setup arguments...]\n");
    return 2;
  }
  std::wstring line = L"\"" + std::wstring(argv[2]) + L"\"";
  for (int i = 3; i < argc; ++i) line += L" \"" + std::wstring(argv[i]) + L"\"";
  const tav::TWalkResult walk = tav::WalkSetup(line, argv[1], 120000);
  if (!walk.Started) {
    std::fwprintf(stderr, L"wizardwalk: %ls could not be started\n", argv[2]);
    return 2;
  }
  for (const std::wstring& page : walk.Pages) std::wprintf(L"page: %ls\n", page.c_str());
  for (const std::wstring& text : walk.Messages) std::wprintf(L"message: %ls\n", text.c_str());
  for (const std::wstring& path : walk.Pictures) std::wprintf(L"picture: %ls\n", path.c_str());
  for (const std::wstring& path : walk.Unsaved) std::fwprintf(stderr, L"wizardwalk: could not save %ls\n", path.c_str());
  if (!walk.Ended) {
    std::fwprintf(stderr, L"wizardwalk: the setup program did not end; it was stopped\n");
    return 99;
  }
  std::wprintf(L"exit code: %lu\n", walk.ExitCode);
  // A picture promised and not saved fails the walk, whatever the setup program's own outcome.
  if (!walk.Unsaved.empty() && walk.ExitCode == 0) return 98;
  return static_cast<int>(walk.ExitCode);
}
