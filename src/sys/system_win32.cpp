#include <windows.h>

#include <vector>

#include "sys/system.h"
#include "sys/unicode.h"

namespace tav::sys {

namespace {

// Windows 8.1 and later report 6.2 through GetVersionExW to programs without a manifest;
// RtlGetVersion tells the truth.
using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

Platform PlatformOf(DWORD id) {
  switch (id) {
    case VER_PLATFORM_WIN32s: return Platform::Win32s;
    case VER_PLATFORM_WIN32_WINDOWS: return Platform::Windows95;
    case VER_PLATFORM_WIN32_NT: return Platform::WindowsNT;
    default: return Platform::Other;
  }
}

std::string FixedBufferDir(UINT (WINAPI* get)(LPWSTR, UINT)) {
  wchar_t buf[261];
  const UINT n = get(buf, 261);
  if (n == 0 || n >= 261) return "";
  return Narrow(std::wstring(buf, n));
}

}  // namespace

OsVersion QueryOsVersion() {
  OsVersion result;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  bool ok = false;
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    auto rtl = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    ok = rtl && rtl(&info) == 0;
  }
  if (!ok) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ok = GetVersionExW(&info) != 0;
#pragma GCC diagnostic pop
  }
  if (!ok) return result;
  result.platform = PlatformOf(info.dwPlatformId);
  result.major = info.dwMajorVersion;
  result.minor = info.dwMinorVersion;
  return result;
}

std::string WindowsDir() { return FixedBufferDir(GetWindowsDirectoryW); }

std::string SystemDir() { return FixedBufferDir(GetSystemDirectoryW); }

std::string ShortPath(const std::string& path) {
  if (path.empty()) return path;
  const std::wstring wide = Wide(path);
  DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (n == 0) return path;
  std::vector<wchar_t> buf(n + 1);
  n = GetShortPathNameW(wide.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return path;
  return Narrow(std::wstring(buf.data(), n));
}

}  // namespace tav::sys
