#pragma once
// The uninstaller program: reads a product's uninstall record and removes what it lists, in reverse
// order of installation, then the record itself. It deletes only what the record names and refuses a
// record that aims at shared ground (a drive root, a system folder, a relative or network path, a
// first-level registry key).
#include <string>
#include <vector>

namespace tav::uninstaller {

// Exit codes.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitCancelled = 2;
constexpr int kExitRestart = 3010;  // done; a restart finishes the removal of files in use

struct TRegistryRecord {
  int root = 4;  // TRootKeys ordinal
  std::string key;
  std::vector<std::string> idents;
};

struct TFileRecord {
  std::string path;
  bool server = false;   // listed under ActiveX: unregistered before it goes
  bool program = false;  // a server unregistered by running it with /UNREGSERVER
};

// What the record lists, each list in the order of installation.
struct TUninstallRecord {
  std::string productKey;  // below HKEY_LOCAL_MACHINE
  std::string displayName;
  std::string installLocation;  // the product's folder: empty folders are removed up to it, not above
  std::string language;         // the English name of the language of the install ("German")
  std::vector<TFileRecord> files;    // the file lists, Files then Files1, Files2 ...
  std::vector<TFileRecord> servers;  // ActiveX
  std::vector<TRegistryRecord> registryKeys;
};

// False (with the reason) when the product has no record or the record cannot be read.
bool ReadUninstallRecord(const std::string& productName, TUninstallRecord& record, std::string& reason);
// Why the record must not be acted on, one line per fault; empty when it is sound.
std::vector<std::string> RecordRefusals(const TUninstallRecord& record);
// Why a file entry must not be deleted; empty when it may be.
std::string FileRefusal(const std::string& path);

// Messages from now on in that language (its English name, "German"), from the table the program
// carries for it; false, and English stays, when it carries none or the name is not a language's.
bool UseLanguage(const std::string& language);

// The program: arguments without the program name. Returns the exit code.
int Run(const std::vector<std::string>& args);

}  // namespace tav::uninstaller
