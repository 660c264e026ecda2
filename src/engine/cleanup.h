#pragma once
// Removal of the loading program's temporary copy once setup has ended.
#include <string>
#include <vector>

namespace tav {

// True when path lies strictly inside dir (compared without regard to case, "\" or "/" separating
// parts; "C:\Temp\x" is inside "C:\Temp", "C:\TempPlus\x" and "C:\Temp" itself are not; ".." parts refuse).
bool IsStrictlyInside(const std::string& path, const std::string& dir);

// True when path names a file directly inside dir (compared as IsStrictlyInside does). Paths read
// back from the registry are deleted only when they name a file the installer made there: its batch
// files and its local copies of downloaded archives, all made in the temporary folder.
bool IsFileOfFolder(const std::string& path, const std::string& dir);

// The batch lines that erase the program file, its folder and the batch file itself. Empty when the
// program's folder is not a folder of its own inside the temporary folder: a copy made by the
// loading program always is, and nothing else may be removed. windowsNT selects the command set.
std::vector<std::string> CleanupBatchLines(const std::string& programFile, const std::string& batchFile,
                                           const std::string& tempDir, bool windowsNT);

}  // namespace tav
