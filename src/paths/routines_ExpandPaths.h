#pragma once
// Folder lookups and the two percent-sign expanders. Every lookup returns a directory without a
// trailing backslash and is made afresh on each call (the user may move a folder during the install).
#include <string>

#include "core/routines_Percent.h"

namespace tav {

class TInstallObject;

// Shell-folder values of the current user (hkCurrentUser).
extern const char* const kShellFoldersKey;
// Program Files values of the machine (hkLocalMachine).
extern const char* const kCurrentVersionKey;

// The drive of the current directory as "C:" (a UNC share as "\\server\share").
std::string CurrentDrive();

// Each computes its default first, then reads the registry value with it. A value that exists but is
// empty is used unchanged. The Windows-directory defaults may raise EAPIRoutines.
std::string StartMenuFolder();
std::string ProgramsFolder();
std::string DesktopFolder();
std::string StartupFolder();
std::string ProgramFilesDirectory();
std::string CommonFilesDirectory();

// Expands %a %b %c %d %f %i %m %p %s %w (either case) and %% in the parameters of a shortcut; link
// may be nil. Unknown variables vanish with their letter; a final lone % vanishes.
std::string ExpandMetaVariables(const std::string& text, TInstallObject* link);
// ExpandPathPlaceholder lives with the string routines (core/routines_Percent.h): the registry
// actions below this layer use it too.

}  // namespace tav
