#pragma once
// Facts about the operating system. Nothing here throws; empty results mean failure.
#include <string>

namespace tav::sys {

enum class Platform { Win32s, Windows95, WindowsNT, Other, Unknown };

struct OsVersion {
  Platform platform = Platform::Unknown;
  unsigned major = 0, minor = 0;
};

// platform Unknown when the version cannot be queried.
OsVersion QueryOsVersion();
// Windows and system directories (Windows only; "" elsewhere or on failure).
std::string WindowsDir();
std::string SystemDir();
// The short (8.3) form of an existing path, or the path unchanged where there is none.
std::string ShortPath(const std::string& path);

}  // namespace tav::sys
