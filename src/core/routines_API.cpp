#include "core/routines_API.h"

#include "core/exceptions_Tavenrik.h"
#include "sys/files.h"
#include "sys/system.h"

namespace tav {

int WindowsVersion() {
  const sys::OsVersion v = sys::QueryOsVersion();
  switch (v.platform) {
    case sys::Platform::Unknown:
      throw EAPIRoutines(std::string("Could not get information about the current version of Windows"));
    case sys::Platform::Win32s:
      return 0;
    case sys::Platform::Windows95:
      return 1;
    case sys::Platform::WindowsNT: {
      const std::string text = std::to_string(v.major) + "." + std::to_string(v.minor);
      return text.find("3.5") != std::string::npos ? 3 : 2;
    }
    case sys::Platform::Other:
      break;
  }
  return 4;
}

std::string TempFileName(bool keep) {
  const std::string name = sys::CreateUniqueFile(sys::TempDirectory(), "bat");
  if (name.empty()) throw EAPIRoutines(std::string("Cannot create a temporary file"));
  if (!keep) sys::RemoveFile(name);
  return name;
}

std::string ShortPathName(const std::string& path) {
  std::string s = sys::ShortPath(path);
  if (s.size() > 400) s.resize(400);
  return s;
}

std::string WindowsDirectory() {
  std::string dir = sys::WindowsDir();
  if (dir.empty()) throw EAPIRoutines(std::string("Could not retrieve the windows directory from windows"));
  return dir;
}

std::string SystemDirectory() {
  std::string dir = sys::SystemDir();
  if (dir.empty()) throw EAPIRoutines(std::string("Could not retrieve the system directroy from windows"));
  return dir;
}

}  // namespace tav
