#pragma once
// Looking at windows as a user would see them: their class, text and child windows, and where their
// pictures go (the checkout's paths as Wine sees them). The text is read by a message with a
// deadline, so a helper thread may read a window whose thread is busy.
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

// A path of the checkout ("src/x" or "src\\x") as Wine's drive for the Unix root sees it.
inline std::string CheckoutPath(const std::string& relative) {
  std::string dir = TAV_TEST_DATA;
  std::string path = "Z:" + dir.substr(0, dir.rfind("/tests/")) + "/" + relative;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Where a test's picture goes: build/screenshots of the checkout, in a folder below it when one is
// named ("a\\b" for one further down); folders are made.
inline std::wstring ScreenshotPath(const std::string& folder, const std::string& file) {
  const std::wstring dir = sys::Wide(CheckoutPath("build/screenshots" + (folder.empty() ? "" : "/" + folder)));
  for (std::size_t at = dir.find(L'\\', 3); at != std::wstring::npos; at = dir.find(L'\\', at + 1))
    CreateDirectoryW(dir.substr(0, at).c_str(), nullptr);
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir + L"\\" + sys::Wide(file);
}

}  // namespace tav
