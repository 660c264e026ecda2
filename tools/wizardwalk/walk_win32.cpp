#include "walk.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <utility>

#include "sys/unicode.h"
#include "ui/controls.h"
#include "ui/screenshot.h"

namespace tav {

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

// The started process and those it started in turn: a loading program starts the setup program.
std::vector<DWORD> Family(DWORD root) {
  std::vector<DWORD> family{root};
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return family;
  std::vector<std::pair<DWORD, DWORD>> all;  // process, parent
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry))
    all.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
  CloseHandle(snapshot);
  for (std::size_t i = 0; i < family.size(); ++i) {
    for (const auto& [pid, parent] : all) {
      if (parent == family[i] && std::find(family.begin(), family.end(), pid) == family.end()) family.push_back(pid);
    }
  }
  return family;
}

struct TFound {
  std::vector<DWORD> Pids;
  std::vector<HWND> Visible;  // every visible top-level window of the family
  HWND Wizard = nullptr;  // a window hosting pages: a visible top-level window with child pages
  HWND Box = nullptr;     // a message box
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM data) {
  auto* f = reinterpret_cast<TFound*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (std::find(f->Pids.begin(), f->Pids.end(), pid) == f->Pids.end() || !IsWindowVisible(window)) return TRUE;
  f->Visible.push_back(window);
  if (ClassOf(window) == L"#32770") {
    f->Box = window;
  } else if (IsWindowEnabled(window) && WindowTextOf(window) != "Setup") {
    f->Wizard = window;
  }
  return TRUE;
}

struct TButtonSearch {
  const char* const* Texts;
  HWND Found = nullptr;
};

BOOL CALLBACK FindButton(HWND child, LPARAM data) {
  auto* s = reinterpret_cast<TButtonSearch*>(data);
  if (!IsWindowVisible(child) || !IsWindowEnabled(child)) return TRUE;
  const std::string text = WindowTextOf(child);
  for (const char* const* t = s->Texts; *t; ++t) {
    if (text == *t) {
      s->Found = child;
      return FALSE;
    }
  }
  return TRUE;
}

HWND ButtonOn(HWND page, const char* const* texts) {
  TButtonSearch s{texts};
  EnumChildWindows(page, FindButton, reinterpret_cast<LPARAM>(&s));
  return s.Found;
}

BOOL CALLBACK FindEdit(HWND child, LPARAM data) {
  wchar_t cls[16] = {};
  GetClassNameW(child, cls, 16);
  if (_wcsicmp(cls, L"Edit") != 0) return TRUE;
  *reinterpret_cast<HWND*>(data) = child;
  return FALSE;
}

// The first edit box among a window's descendants.
HWND FirstEditBelow(HWND window) {
  HWND found = nullptr;
  EnumChildWindows(window, FindEdit, reinterpret_cast<LPARAM>(&found));
  return found;
}

const char* const kForward[] = {"Next >", "Finish", nullptr};
const char* const kCancel[] = {"Cancel", nullptr};

// The page in front: the topmost child window that holds a Next or Finish button.
HWND FrontPage(HWND wizard, HWND& button) {
  for (HWND child = GetWindow(wizard, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    if (HWND found = ButtonOn(child, kForward)) {
      button = found;
      return child;
    }
  }
  button = nullptr;
  return nullptr;
}

std::wstring FileNameOf(int index, const std::wstring& caption) {
  wchar_t number[8];
  swprintf(number, 8, L"%02d-", index);
  std::wstring name = number;
  for (wchar_t c : caption) name += std::iswalnum(c) ? static_cast<wchar_t>(std::towlower(c)) : L'-';
  return name + L".png";
}

}  // namespace

TWalkResult WalkSetup(const std::wstring& commandLine, const std::wstring& shotDir, DWORD timeoutMs,
                      int cancelOnPage, const std::vector<TPageText>& typed) {
  TWalkResult result;
  // Pictures in the screen's own pixels, whatever its DPI: the walker must not be scaled itself.
  SetProcessDPIAware();
  // The folder with any parents it lacks: a fresh build has no screenshots folder yet.
  if (!shotDir.empty()) {
    std::wstring dir = shotDir;
    for (wchar_t& c : dir)
      if (c == L'/') c = L'\\';  // the shell's folder maker takes backslashes only
    SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
  }
  std::wstring line = commandLine;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return result;
  result.Started = true;
  const DWORD deadline = GetTickCount() + timeoutMs;
  HWND lastPage = nullptr;
  std::vector<HWND> seen;
  std::wstring lastCaption;
  DWORD seenAt = 0;
  while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
    if (GetTickCount() > deadline) {
      TerminateProcess(pi.hProcess, 99);
      WaitForSingleObject(pi.hProcess, 5000);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
      return result;
    }
    TFound found{Family(pi.dwProcessId)};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&found));
    for (HWND w : found.Visible) {
      if (std::find(seen.begin(), seen.end(), w) != seen.end()) continue;
      seen.push_back(w);
      result.Windows.push_back(sys::Wide(WindowTextOf(w)));
    }
    if (found.Box) {
      result.Messages.push_back(sys::Wide(WindowTextOf(GetDlgItem(found.Box, 0xFFFF))));
      SendMessageW(found.Box, WM_COMMAND, IDOK, 0);
      continue;
    }
    if (!found.Wizard) continue;
    HWND button = nullptr;
    HWND page = FrontPage(found.Wizard, button);
    if (!page) continue;
    const std::wstring caption = sys::Wide(WindowTextOf(found.Wizard));
    if (page != lastPage || caption != lastCaption) {
      lastPage = page;
      lastCaption = caption;
      seenAt = GetTickCount();
      continue;
    }
    // Give the page time to paint before it is pictured and left.
    if (GetTickCount() - seenAt < 400) continue;
    for (const TPageText& t : typed) {
      if (t.Caption != caption) continue;
      if (HWND edit = FirstEditBelow(page)) SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.Text.c_str()));
    }
    RedrawWindow(found.Wizard, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(100);
    result.Pages.push_back(caption);
    if (!shotDir.empty()) {
      // Every picture is accounted for: saved, or named as missing.
      auto save = [&result](HWND window, const std::wstring& path) {
        const TCapture picture = CaptureWindow(window);
        const bool saved = !picture.Pixels.empty() && SavePng(picture, path);
        (saved ? result.Pictures : result.Unsaved).push_back(path);
      };
      save(found.Wizard, shotDir + L"\\" + FileNameOf(static_cast<int>(result.Pages.size()), caption));
      // The whole screen once, beside the folder of pages: the setup's main window behind the wizard.
      if (result.Pages.size() == 1) save(GetDesktopWindow(), shotDir + L"-screen.png");
    }
    if (static_cast<int>(result.Pages.size()) == cancelOnPage) {
      if (HWND cancel = ButtonOn(page, kCancel)) button = cancel;
    }
    PostMessageW(button, BM_CLICK, 0, 0);
    // Wait for the next page (or the end) before looking again.
    lastPage = nullptr;
    lastCaption.clear();
    Sleep(200);
  }
  result.Ended = true;
  GetExitCodeProcess(pi.hProcess, &result.ExitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return result;
}

}  // namespace tav
