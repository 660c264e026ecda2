#pragma once
// Install records: one registry key per setup program file under HKEY_LOCAL_MACHINE, found again by
// the file's size and date (not its path), holding what a later start of the same file needs.
#include <optional>
#include <string>

namespace tav {

extern const char* const InstallRecordRoot;  // "\SOFTWARE\Tavenrik\Install"

struct TInstallRecordQuery {
  std::string ProgramFile;                 // the running program file
  double RunStartTime = 0;                 // written as LastRunDate
  std::optional<std::string> SelfExtract;  // only for a run with -e
};

// The key of the record matching the program file ("" when none and create is false, or on any
// registry failure). A match rewrites Path and LastRunDate; with create a new "Install<n>" is made,
// n the lowest free number.
std::string FindInstallRecord(const TInstallRecordQuery& query, bool create);

// Removes the record (deleting the local copies its subkeys name) and the parent keys left empty.
// Never raises.
void RemoveInstallRecord(const std::string& key);

}  // namespace tav
