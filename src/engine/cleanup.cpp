#include "engine/cleanup.h"

#include "core/routines_Strings.h"

namespace tav {

namespace {

std::vector<std::string> Parts(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (IsPathDelimiter(c)) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

bool IsStrictlyInside(const std::string& path, const std::string& dir) {
  const std::vector<std::string> p = Parts(path), d = Parts(dir);
  if (d.empty() || p.size() <= d.size()) return false;
  for (const std::string& part : p) {
    if (part == "." || part == "..") return false;
  }
  // Both must be rooted the same way (a UNC path never matches a drive path).
  const bool pUnc = path.size() > 1 && IsPathDelimiter(path[0]) && IsPathDelimiter(path[1]);
  const bool dUnc = dir.size() > 1 && IsPathDelimiter(dir[0]) && IsPathDelimiter(dir[1]);
  if (pUnc != dUnc) return false;
  for (std::size_t i = 0; i < d.size(); ++i) {
    if (!SameText(p[i], d[i])) return false;
  }
  return true;
}

bool IsFileOfFolder(const std::string& path, const std::string& dir) {
  return IsStrictlyInside(path, dir) && Parts(path).size() == Parts(dir).size() + 1;
}

std::vector<std::string> CleanupBatchLines(const std::string& programFile, const std::string& batchFile,
                                           const std::string& tempDir, bool windowsNT) {
  const std::string programDir = ExcludeTrailingBackslash(ExtractFilePath(programFile));
  if (!IsStrictlyInside(programDir, tempDir)) return {};
  const std::string pif = ChangeFileExt(batchFile, ".PIF");
  if (!windowsNT) {
    return {"ERASE " + Quoted(programFile), "DELTREE /Y " + Quoted(programDir), "ERASE " + Quoted(pif),
            "ERASE " + Quoted(batchFile)};
  }
  // The program may still be ending when the batch starts: retry the erase for a while.
  return {"@echo off",
          "set tries=0",
          ":retry",
          "del /f /q " + Quoted(programFile) + " >nul 2>&1",
          "if not exist " + Quoted(programFile) + " goto gone",
          "set /a tries+=1",
          "if %tries% geq 30 goto gone",
          "ping -n 2 127.0.0.1 >nul 2>&1",
          "goto retry",
          ":gone",
          "rmdir /s /q " + Quoted(programDir),
          "del /f /q " + Quoted(pif) + " >nul 2>&1",
          "del /f /q " + Quoted(batchFile) + " >nul 2>&1"};
}

}  // namespace tav
