#pragma once
// Looking at windows as a user would see them: their class, text and child windows, and where their
// pictures go. The text is read by a message with a deadline, so a helper thread may read a window
// whose thread is busy.
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

// Where a test's picture goes: build/screenshots of the checkout (as Wine's drive for the Unix root
// sees it), in a folder below it when one is named ("a\\b" for one further down); folders are made.
inline std::wstring ScreenshotPath(const std::string& folder, const std::string& file) {
  std::string dir = TAV_TEST_DATA;
  dir = dir.substr(0, dir.rfind("/tests/")) + "/build/screenshots" + (folder.empty() ? "" : "/" + folder);
  std::wstring path = L"Z:";
  for (wchar_t c : sys::Wide(dir)) {
    if (c == L'/' || c == L'\\') CreateDirectoryW(path.c_str(), nullptr);
    path += c == L'/' ? L'\\' : c;
  }
  CreateDirectoryW(path.c_str(), nullptr);
  return path + L"\\" + sys::Wide(file);
}

}  // namespace tav
