#pragma once
// Appending to a product's uninstall record, the registry tree the uninstaller reads. Key is the
// product key (kUninstallKeyPrefix followed by the product name) under HKEY_LOCAL_MACHINE. Nothing is
// ever removed here: a second run appends after the counters it finds.
#include <string>

namespace tav {

// While one lives (the outermost counts), appends keep the list they wrote to open and remember its
// counter, instead of opening the key and reading the counter for every entry. Only for a stretch
// in which nothing else writes the record, such as the install of a file container.
class TUninstallRecordBatch {
public:
  TUninstallRecordBatch();
  ~TUninstallRecordBatch();
  TUninstallRecordBatch(const TUninstallRecordBatch&) = delete;
  TUninstallRecordBatch& operator=(const TUninstallRecordBatch&) = delete;

private:
  bool outermost_ = false;
};

// The product key's value naming the language the product was installed in ("German"); the
// uninstaller speaks it.
constexpr const char* kInstallLanguageValue = "InstallLanguage";

// How many overflow keys (Files1, Files2, ...) are tried before the file list gives up.
constexpr int kUninstallFileListTries = 64;

// Appends Path to Key\Files, or to the first of Key\Files1, Key\Files2 ... that takes it; raises
// EIRCannotWriteValue when none does within kUninstallFileListTries. While a write-behind queue is
// active (ActiveWriteBehind) the entries of this and AppendUninstallActiveX are written by it, after
// the files queued before them, and a failure is raised by the queue.
void AppendUninstallFile(const std::string& key, const std::string& path);
// Appends "Path;1" (a program, unregistered by running it) or "Path;0" (a library) to Key\ActiveX.
void AppendUninstallActiveX(const std::string& key, const std::string& path, bool isProgram);
// Reserves the next Key\RegistryKeys\RegistryKeyN (the counter is written first) and returns its key.
std::string AppendUninstallRegistryKey(const std::string& key);

}  // namespace tav
