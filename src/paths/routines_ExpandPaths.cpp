#include "paths/routines_ExpandPaths.h"

#include <cctype>

#include "core/exceptions_Tavenrik.h"
#include "core/routines_API.h"
#include "core/routines_Strings.h"
#include "objects/cmp_TInstallContainer.h"
#include "objects/routines_Registry.h"
#include "sys/files.h"

namespace tav {

const char* const kShellFoldersKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kCurrentVersionKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

namespace {

std::string Lookup(TRootKeys root, const char* key, const char* name, const std::string& defaultValue) {
  return ExcludeTrailingBackslash(ReadRegString(root, key, name, defaultValue));
}

}  // namespace

std::string CurrentDrive() {
  const std::string dir = sys::CurrentDirectory();
  if (dir.size() >= 2 && dir[1] == ':') return dir.substr(0, 2);
  if (dir.size() > 2 && IsPathDelimiter(dir[0]) && IsPathDelimiter(dir[1])) {
    // \\server\share: the first two parts after the double separator.
    std::size_t end = dir.find_first_of("\\/", 2);
    if (end != std::string::npos) end = dir.find_first_of("\\/", end + 1);
    return end == std::string::npos ? dir : dir.substr(0, end);
  }
  return std::string();
}

// "Startmen": the eight-letter name of the folder on systems without the value.
std::string StartMenuFolder() {
  return Lookup(hkCurrentUser, kShellFoldersKey, "Start Menu", WindowsDirectory() + "\\Startmen");
}

std::string ProgramsFolder() {
  return Lookup(hkCurrentUser, kShellFoldersKey, "Programs", StartMenuFolder() + "\\Programs");
}

std::string DesktopFolder() {
  return Lookup(hkCurrentUser, kShellFoldersKey, "Desktop", WindowsDirectory() + "\\Desktop");
}

std::string StartupFolder() {
  return Lookup(hkCurrentUser, kShellFoldersKey, "Startup", WindowsDirectory() + "\\Startup");
}

std::string ProgramFilesDirectory() {
  return Lookup(hkLocalMachine, kCurrentVersionKey, "ProgramFilesDir", CurrentDrive() + "\\Program Files");
}

std::string CommonFilesDirectory() {
  return Lookup(hkLocalMachine, kCurrentVersionKey, "CommonFilesDir",
                CurrentDrive() + "\\Program Files\\Common Files");
}

namespace {

std::string Expansion(char letter, TInstallObject* link) {
  switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'a':
      if (!link) {
        throw EAICannotExpandContainerDirMV(
            TranslateMessage("Cannot expand the %a meta variable because the component is Nil"));
      }
      return link->FullDestDir();
    case 'b': return ProgramsFolder();
    case 'c':
      if (!link) {
        throw EAICannotExpandContainerDirMV(
            TranslateMessage("Cannot expand the %c meta variable because the component is Nil"));
      }
      if (!link->Container()) {
        throw EAICannotExpandContainerDirMV(
            TranslateMessage("Cannot expand the %c meta variable because the Container property is Nil"));
      }
      return link->Container()->FullDestDir();
    case 'd': return DesktopFolder();
    case 'f': return CommonFilesDirectory();
    case 'i': {
      TCurrentInstall* install = CurrentInstall();
      TInstallContainer* root = install ? install->RootContainer() : nullptr;
      if (!root) {
        throw EAICannotExpandInstallDirMV(
            TranslateMessage("Cannot expand the %i meta variable because there is no TInstall component"));
      }
      return root->FullDestDir();
    }
    case 'm': return StartMenuFolder();
    case 'p': return ProgramFilesDirectory();
    case 's': return SystemDirectory();
    case 'w': return WindowsDirectory();
  }
  return std::string();
}

}  // namespace

std::string ExpandMetaVariables(const std::string& text, TInstallObject* link) {
  return ScanPercents(text, [link](char c) { return Expansion(c, link); });
}

}  // namespace tav
