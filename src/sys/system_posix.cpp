#include <sys/utsname.h>

#include <cstdlib>

#include "sys/system.h"

namespace tav::sys {

OsVersion QueryOsVersion() {
  OsVersion result;
  utsname u{};
  if (uname(&u) != 0) return result;
  result.platform = Platform::Other;
  char* end = nullptr;
  result.major = static_cast<unsigned>(std::strtoul(u.release, &end, 10));
  if (end && *end == '.') result.minor = static_cast<unsigned>(std::strtoul(end + 1, nullptr, 10));
  return result;
}

std::string WindowsDir() { return ""; }

std::string SystemDir() { return ""; }

// No short names outside Windows: every path is its own short form.
std::string ShortPath(const std::string& path) { return path; }

}  // namespace tav::sys
