// The demo product's program: a window that shows the program's version, read from its own version
// resource, and the version of the shared library the installation put in place (found through the
// folder the installation wrote into the registry).
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kProductKey[] = L"Software\\Tavenrik Demo\\Tavenrik Demo App";

std::wstring FileVersion(const wchar_t* path) {
  DWORD ignored = 0;
  const DWORD bytes = GetFileVersionInfoSizeW(path, &ignored);
  std::vector<unsigned char> data(bytes ? bytes : 1);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!bytes || !GetFileVersionInfoW(path, 0, bytes, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
    return L"unknown";
  wchar_t text[64];
  std::swprintf(text, 64, L"%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return text;
}

std::wstring LibraryLine() {
  wchar_t folder[MAX_PATH] = {};
  DWORD size = sizeof folder;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kProductKey, L"LibraryFolder", RRF_RT_REG_SZ, nullptr, folder, &size) !=
      ERROR_SUCCESS)
    return L"Shared library: not registered";
  const std::wstring path = std::wstring(folder) + L"\\demolib.dll";
  HMODULE lib = LoadLibraryW(path.c_str());
  if (!lib) return L"Shared library: " + path + L" cannot be loaded";
  using Version = int (*)(wchar_t*, int);
  auto version = reinterpret_cast<Version>(reinterpret_cast<void*>(GetProcAddress(lib, "DemoLibraryVersion")));
  wchar_t text[64] = L"unknown";
  if (version) version(text, 64);
  FreeLibrary(lib);
  return std::wstring(L"Shared library version ") + text;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  WNDCLASSW cls{};
  cls.lpfnWndProc = WindowProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = L"TavenrikDemoWindow";
  RegisterClassW(&cls);
  HWND window = CreateWindowW(cls.lpszClassName, L"Tavenrik Demo App", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              420, 160, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  const std::wstring lines[] = {L"Tavenrik Demo App version " + FileVersion(self), LibraryLine()};
  int top = 20;
  for (const std::wstring& line : lines) {
    CreateWindowW(L"STATIC", line.c_str(), WS_CHILD | WS_VISIBLE, 20, top, 370, 22, window, nullptr, instance, nullptr);
    top += 30;
  }
  ShowWindow(window, show);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
