// windowcheck <picture.png> <program> [arguments...]: starts a program, waits for its main window,
// prints the window's caption and the text of each of its controls, saves a picture of it, then closes
// it as a user would and waits for the program to end.
//
// Output lines: "caption: <text>", "text: <text>" per control, "picture: <path>", "exit code: <n>".
// Exit status 0 when the window appeared and the program ended with 0 once closed; 1 otherwise.
#include <cstdio>
#include <string>
#include <vector>

#include "sys/unicode.h"
#include "ui/controls.h"
#include "ui/screenshot.h"
#include "ui/win32.h"

namespace {

constexpr DWORD kAppearMs = 60000;
constexpr DWORD kEndMs = 30000;

struct TSearch {
  DWORD Pid;
  HWND Found = nullptr;
};

BOOL CALLBACK FindMain(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<TSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != s->Pid || !IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
  s->Found = window;
  return FALSE;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  if (!IsWindowVisible(child)) return TRUE;
  const std::string text = tav::WindowTextOf(child);
  if (!text.empty()) std::printf("text: %s\n", text.c_str());
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: windowcheck <picture.png> <program> [arguments...]\n");
    return 1;
  }
  SetProcessDPIAware();
  std::wstring line = L"\"" + std::wstring(argv[2]) + L"\"";
  for (int i = 3; i < argc; ++i) line += L" \"" + std::wstring(argv[i]) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "windowcheck: %s could not be started\n", tav::sys::Narrow(argv[2]).c_str());
    return 1;
  }
  WaitForInputIdle(pi.hProcess, kAppearMs);
  TSearch search{pi.dwProcessId};
  for (DWORD start = GetTickCount(); !search.Found && GetTickCount() - start < kAppearMs;) {
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    EnumWindows(FindMain, reinterpret_cast<LPARAM>(&search));
  }
  int status = 0;
  if (!search.Found) {
    std::fprintf(stderr, "windowcheck: the program showed no window\n");
    TerminateProcess(pi.hProcess, 99);
    status = 1;
  } else {
    // Give it time to paint before it is read and pictured.
    Sleep(500);
    RedrawWindow(search.Found, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::printf("caption: %s\n", tav::WindowTextOf(search.Found).c_str());
    EnumChildWindows(search.Found, PrintChild, 0);
    const tav::TCapture picture = tav::CaptureWindow(search.Found);
    if (!picture.Pixels.empty() && tav::SavePng(picture, argv[1])) {
      std::printf("picture: %s\n", tav::sys::Narrow(argv[1]).c_str());
    } else {
      std::fprintf(stderr, "windowcheck: could not save the picture %s\n", tav::sys::Narrow(argv[1]).c_str());
      status = 1;
    }
    PostMessageW(search.Found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, kEndMs) != WAIT_OBJECT_0) {
      std::fprintf(stderr, "windowcheck: the program did not end once its window was closed\n");
      TerminateProcess(pi.hProcess, 99);
      status = 1;
    }
  }
  WaitForSingleObject(pi.hProcess, 5000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  std::printf("exit code: %lu\n", code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return status == 0 && code == 0 ? 0 : 1;
}
