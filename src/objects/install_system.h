#pragma once
// What install files ask of Windows beyond files and the registry: in-use tests, replacement at the
// restart, self-registration, the disk prompt. Nothing here throws; callers raise their own errors.
#include <string>

namespace tav::install_os {

// Another process holds path open so that it cannot be replaced: opening it for writing and deleting
// without sharing fails with a sharing or lock violation. A missing file is not in use.
bool FileInUse(const std::string& path);
// Asks Windows to move from onto to at the next restart (replacing to).
bool MoveAtRestart(const std::string& from, const std::string& to);
// The [Rename] entry key = value in WININIT.INI of the Windows directory (the Windows 95 family).
bool WriteWininitRename(const std::string& key, const std::string& value);
unsigned LastError();

struct TRegisterResult {
  enum TStatus { rsDone, rsLoadFailed, rsNoEntry, rsFailed } status = rsDone;
  long result = 0;      // what DllRegisterServer returned
  unsigned error = 0;   // the system error code of a load or lookup failure
};
// Loads the library, calls its DllRegisterServer with OLE initialised and the library's folder current,
// and frees it again.
TRegisterResult CallDllRegisterServer(const std::string& path, const std::string& directory);
// Starts commandLine hidden from directory without waiting; false (and error) when it cannot start.
bool StartHidden(const std::string& commandLine, const std::string& directory, unsigned& error);
// Whether the version information of path names the string value valueName in its first translation.
bool HasVersionString(const std::string& path, const std::string& valueName);
// An information box with OK and Cancel; true for OK.
bool AskOkCancel(const std::string& text, const std::string& caption);

}  // namespace tav::install_os
