// Whole-program runs of setup.exe: the program is started as a user would start it, and its windows
// are observed from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring SetupPath() {
  std::wstring path = L"Z:";
  for (const char* p = TAV_SETUP_EXE; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}

struct Observed {
  bool mainWindowShown = false;
  std::wstring messageText;
  DWORD exitCode = 0;
};

struct Search {
  DWORD pid;
  HWND mainWindow = nullptr;
  HWND dialog = nullptr;
};

BOOL CALLBACK FindWindows(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (std::wstring(cls) == L"#32770") {
    s->dialog = hwnd;
  } else {
    wchar_t title[128] = {};
    GetWindowTextW(hwnd, title, 128);
    if (std::wstring(title) == L"Setup") s->mainWindow = hwnd;
  }
  return TRUE;
}

// Starts setup.exe with the arguments, watches its windows until it ends, and answers a message box
// with OK after reading its text.
Observed RunSetup(const std::wstring& args) {
  Observed seen;
  std::wstring line = L"\"" + SetupPath() + L"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "setup.exe did not start: " << GetLastError();
    return seen;
  }
  const DWORD deadline = GetTickCount() + 60000;
  while (WaitForSingleObject(pi.hProcess, 2) == WAIT_TIMEOUT) {
    Search s{pi.dwProcessId};
    EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&s));
    if (s.mainWindow) seen.mainWindowShown = true;
    if (s.dialog) {
      wchar_t text[1024] = {};
      GetDlgItemTextW(s.dialog, 0xFFFF, text, 1024);
      if (seen.messageText.empty()) seen.messageText = text;
      PostMessageW(s.dialog, WM_COMMAND, IDOK, 0);
    }
    if (GetTickCount() > deadline) {
      TerminateProcess(pi.hProcess, 99);
      ADD_FAILURE() << "setup.exe did not end";
      break;
    }
  }
  GetExitCodeProcess(pi.hProcess, &seen.exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return seen;
}

TEST(SetupProgram, ShowsItsMainWindowAndRunsTheShippedProjectToItsGoodEnd) {
  const Observed seen = RunSetup(L"\"-sC:\\My Dist\"");
  EXPECT_TRUE(seen.mainWindowShown);
  EXPECT_TRUE(seen.messageText.empty()) << std::string(seen.messageText.begin(), seen.messageText.end());
  EXPECT_EQ(seen.exitCode, 0u);
  // A good end leaves no install record behind.
  HKEY key;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tavenrik\\Install", 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST(SetupProgram, RefusesAnInvalidSwitchWithItsMessage) {
  const Observed seen = RunSetup(L"-x");
  EXPECT_EQ(seen.messageText.rfind(L"Invalid parameter <-x>. Valid command line parameters are: -b (Build), -d (Debug)", 0),
            0u);
  EXPECT_EQ(seen.exitCode, 1u);
}

TEST(SetupProgram, DebugWithoutBuildDirectoryAsksForIt) {
  const Observed seen = RunSetup(L"-d");
  EXPECT_EQ(seen.messageText,
            L"You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My Build\"");
  EXPECT_EQ(seen.exitCode, 1u);
}

TEST(SetupProgram, WithoutTheLoadingProgramsPathTheRunFailsAndEnds) {
  const Observed seen = RunSetup(L"");
  EXPECT_EQ(seen.messageText.rfind(L"The path of the loading program was not passed correctly.", 0), 0u);
  EXPECT_EQ(seen.exitCode, 0u);
}

}  // namespace
