#pragma once
// What the tests that start the build's programs as a user would share: the build's paths as Wine
// sees them, and reading back what the programs wrote.
#include "ui/win32.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tav::test {

// A Unix path of the build as Wine's drive for the Unix root sees it.
inline std::wstring WinePath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}

// The Program Files folder, or a folder below it.
inline std::wstring ProgramFilesFolder(const std::wstring& below = L"") {
  wchar_t programFiles[MAX_PATH] = {};
  ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH);
  return below.empty() ? programFiles : std::wstring(programFiles) + L"\\" + below;
}

// An ASCII text (a path of the build, a program's output) for a test's messages.
inline std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The whole file, or "<missing>"; a file its program still writes to is read as it stands.
inline std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// Removes a folder with everything in it; a missing one is fine.
inline void RemoveTree(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

// The names in a folder, sorted; none when it is not there.
inline std::vector<std::string> DirNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tav::test
