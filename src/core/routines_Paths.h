#pragma once
// Windows paths judged by their text alone: nothing here asks the file system, so the same answers
// hold on every platform the core builds on.
#include <string>

namespace tav {

// A fully qualified path: a drive with its root ("X:\…", "X:/…", or a bare "X:") or a UNC name
// "\\server\share…". "C:x" (relative to the drive's current folder) and "\x" (to the current drive) are not.
bool IsAbsolutePath(const std::string& path);

// A folder as typed, in the form a selected folder has: blanks around it dropped, a bare drive "C:"
// taken as its root "C:\", and one trailing "\" dropped from a path longer than "C:\".
std::string QualifiedFolderPath(std::string path);

}  // namespace tav
