#pragma once
// System routines that report failures as EAPIRoutines.
#include <string>

namespace tav {

// 0 Win32s, 1 Windows 95 family, 2 Windows NT (not 3.5x), 3 Windows NT 3.5x, 4 anything else.
int WindowsVersion();
// A new unique file "bat…" in the temporary directory; with keep False it is deleted and only the name returned.
std::string TempFileName(bool keep);
// The short (8.3) form of an existing path.
std::string ShortPathName(const std::string& path);
std::string WindowsDirectory();
std::string SystemDirectory();

}  // namespace tav
