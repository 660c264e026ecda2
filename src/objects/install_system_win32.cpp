#include "objects/install_system.h"

#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <vector>

#include "core/run_log.h"
#include "sys/unicode.h"

namespace tav::install_os {

namespace {

std::wstring W(const std::string& s) { return sys::Wide(s); }

// Makes a folder current for a scope and returns to the one before, failures ignored.
class TCurrentDirectoryScope {
public:
  explicit TCurrentDirectoryScope(const std::string& dir) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH * 2, buffer);
    if (n > 0 && n < MAX_PATH * 2) previous_.assign(buffer, n);
    if (!dir.empty()) SetCurrentDirectoryW(W(dir).c_str());
  }
  ~TCurrentDirectoryScope() {
    if (!previous_.empty()) SetCurrentDirectoryW(previous_.c_str());
  }
  TCurrentDirectoryScope(const TCurrentDirectoryScope&) = delete;
  TCurrentDirectoryScope& operator=(const TCurrentDirectoryScope&) = delete;

private:
  std::wstring previous_;
};

class TLibrary {
public:
  explicit TLibrary(const std::string& path) : module_(LoadLibraryW(W(path).c_str())) {}
  ~TLibrary() {
    if (module_) FreeLibrary(module_);
  }
  TLibrary(const TLibrary&) = delete;
  TLibrary& operator=(const TLibrary&) = delete;
  HMODULE Get() const { return module_; }

private:
  HMODULE module_;
};

class TOleScope {
public:
  TOleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~TOleScope() {
    if (ok_) OleUninitialize();
  }
  TOleScope(const TOleScope&) = delete;
  TOleScope& operator=(const TOleScope&) = delete;

private:
  bool ok_;
};

}  // namespace

bool FileInUse(const std::string& path) {
  HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  const DWORD error = GetLastError();
  // Access denied (a read-only file, missing rights) is not "in use": replacing it at the restart
  // would not help, and the write itself reports the failure.
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool MoveAtRestart(const std::string& from, const std::string& to) {
  return MoveFileExW(W(from).c_str(), W(to).c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
}

bool WriteWininitRename(const std::string& key, const std::string& value) {
  return WritePrivateProfileStringW(L"Rename", W(key).c_str(), W(value).c_str(), L"WININIT.INI") != 0;
}

unsigned LastError() { return GetLastError(); }

TRegisterResult CallDllRegisterServer(const std::string& path, const std::string& directory) {
  TRegisterResult r;
  TOleScope ole;
  TCurrentDirectoryScope current(directory);
  TLibrary library(path);
  if (!library.Get()) {
    r.status = TRegisterResult::rsLoadFailed;
    r.error = GetLastError();
    return r;
  }
  using TRegisterServer = HRESULT(WINAPI*)();
  auto entry = reinterpret_cast<TRegisterServer>(
      reinterpret_cast<void*>(GetProcAddress(library.Get(), "DllRegisterServer")));
  if (!entry) {
    r.status = TRegisterResult::rsNoEntry;
    r.error = GetLastError();
    return r;
  }
  r.result = entry();
  if (r.result != 0) r.status = TRegisterResult::rsFailed;
  return r;
}

bool StartHidden(const std::string& commandLine, const std::string& directory, unsigned& error) {
  TCurrentDirectoryScope current(directory);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi{};
  std::wstring line = W(commandLine);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    error = GetLastError();
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  error = 0;
  return true;
}

bool HasVersionString(const std::string& path, const std::string& valueName) {
  const std::wstring file = W(path);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return false;
  void* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &length) || length < 4)
    return false;
  const auto* words = static_cast<const WORD*>(translation);
  wchar_t sub[64];
  std::swprintf(sub, 64, L"\\StringFileInfo\\%04X%04X\\", words[0], words[1]);
  void* value = nullptr;
  return VerQueryValueW(block.data(), (sub + W(valueName)).c_str(), &value, &length) != 0;
}

bool AskOkCancel(const std::string& text, const std::string& caption) {
  LogEvent("Message: %s", text);
  // Unattended, OK (the default button) is the answer.
  if (Unattended()) return true;
  return MessageBoxW(GetActiveWindow(), W(text).c_str(), W(caption).c_str(), MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

}  // namespace tav::install_os
