#include "objects/toolkit_directory.h"

#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"
#include "objects/routines_Registry.h"
#include "sys/files.h"

namespace tav {

const char* const kToolkitSearchPathKey = "\\Software\\Tavenrik\\Toolkit";
const char* const kToolkitSearchPathName = "Search Path";
const char* const kToolkitMarkerFile = "T32V35.TXT";

std::string ToolkitDirectory(const std::string&, bool raiseIfMissing) {
  static const char* const kMissing = "Cannot find the the Tavenrik directory on the VCL library search path";
  const std::string list = ReadRegString(hkCurrentUser, kToolkitSearchPathKey, kToolkitSearchPathName, "");
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string dir = Trim(list.substr(start, end - start));
    while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
    if (!dir.empty() && sys::FileExists(dir + "\\" + kToolkitMarkerFile)) return dir;
    start = end + 1;
  }
  if (raiseIfMissing) throw IENoTavenrikPath(kMissing);
  return "";
}

}  // namespace tav
