#include "demolib.h"

#include <cwchar>
#include <vector>

namespace {
HMODULE self = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

int DemoLibraryVersion(wchar_t* text, int size) {
  wchar_t path[MAX_PATH];
  if (!GetModuleFileNameW(self, path, MAX_PATH)) return 0;
  DWORD ignored = 0;
  const DWORD bytes = GetFileVersionInfoSizeW(path, &ignored);
  if (bytes == 0) return 0;
  std::vector<unsigned char> data(bytes);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(path, 0, bytes, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
    return 0;
  const int n = std::swprintf(text, size, L"%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                              HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return n < 0 ? 0 : n;
}
