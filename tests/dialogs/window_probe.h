#pragma once
// Looking at windows as a user would see them: their class, text and child windows. The text is read
// by a message with a deadline, so a helper thread may read a window whose thread is busy.
#include <string>
#include <vector>

#include "sys/unicode.h"
#include "ui/win32.h"

namespace tav {

inline std::wstring ClassOf(HWND w) {
  wchar_t name[64] = {};
  GetClassNameW(w, name, 64);
  return name;
}

inline std::string TextOf(HWND w) {
  wchar_t buffer[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &copied);
  return sys::Narrow(buffer);
}

inline std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> result;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) result.push_back(c);
  return result;
}

inline HWND ChildOfClass(HWND parent, const wchar_t* cls) {
  for (HWND c : Children(parent))
    if (_wcsicmp(ClassOf(c).c_str(), cls) == 0) return c;
  return nullptr;
}

// Where a test's picture goes: build/screenshots, beside build/<preset>/bin that holds the test program.
inline std::string ScreenshotPath(const char* name) {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring dir = module;
  for (int i = 0; i < 3; ++i) dir = dir.substr(0, dir.find_last_of(L"\\/"));
  dir += L"\\screenshots";
  CreateDirectoryW(dir.c_str(), nullptr);
  return sys::Narrow(dir) + "\\" + name;
}

}  // namespace tav
