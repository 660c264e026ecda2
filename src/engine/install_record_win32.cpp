#include "engine/install_record.h"

#include <cmath>
#include <set>

#include "core/routines_Strings.h"
#include "engine/cleanup.h"
#include "sys/files.h"
#include "sys/registry.h"

namespace tav {

const char* const InstallRecordRoot = "\\SOFTWARE\\Tavenrik\\Install";

namespace {

// Dates of the same file agree within a hundredth of a second.
constexpr double kSameDate = 1e-7;

}  // namespace

std::string FindInstallRecord(const TInstallRecordQuery& query, bool create) {
  double fileDate = 0;
  std::int64_t fileSize = 0;
  {
    sys::File program = sys::File::Open(query.ProgramFile, sys::OpenMode::ReadShared);
    if (!program.IsOpen()) return std::string();
    fileDate = program.LastWriteTime();
    fileSize = program.Size();
  }
  sys::RegKey root = sys::RegKey::Open(sys::RootKey::LocalMachine, InstallRecordRoot, true);
  if (!root.IsOpen()) return std::string();

  const std::vector<std::string> names = root.SubKeyNames();
  for (const std::string& name : names) {
    sys::RegKey record = root.OpenSubKey(name, false);
    if (!record.IsOpen()) continue;
    std::string path;
    double date = 0;
    std::uint32_t size = 0;
    if (!record.ReadString("Path", path) || !record.ReadDouble("CreationDate", date) ||
        !record.ReadDword("Size", size))
      continue;
    if (std::abs(fileDate - date) < kSameDate && static_cast<std::int64_t>(size) == fileSize) {
      if (!record.WriteDouble("LastRunDate", query.RunStartTime) || !record.WriteString("Path", query.ProgramFile))
        return std::string();
      record.Flush();
      return std::string(InstallRecordRoot) + "\\" + name;
    }
  }
  if (!create) return std::string();

  std::set<std::string> taken;
  for (const std::string& n : names) taken.insert(UpperCase(n));
  int number = 0;
  while (taken.count(UpperCase("Install" + std::to_string(number)))) ++number;
  const std::string name = "Install" + std::to_string(number);
  sys::RegKey record = root.OpenSubKey(name, true);
  if (!record.IsOpen()) return std::string();
  if (!record.WriteString("Path", query.ProgramFile) || !record.WriteDouble("LastRunDate", query.RunStartTime) ||
      !record.WriteDouble("CreationDate", fileDate) ||
      !record.WriteDword("Size", static_cast<std::uint32_t>(fileSize)))
    return std::string();
  if (query.SelfExtract && !record.WriteString("SelfExtract", *query.SelfExtract)) return std::string();
  record.Flush();
  return std::string(InstallRecordRoot) + "\\" + name;
}

void RemoveInstallRecord(const std::string& key) {
  if (key.empty()) return;
  {
    sys::RegKey record = sys::RegKey::Open(sys::RootKey::LocalMachine, key, false);
    if (!record.IsOpen()) return;
    for (const std::string& name : record.SubKeyNames()) {
      {
        sys::RegKey sub = record.OpenSubKey(name, false);
        std::string local;
        // Anyone who can write the key could name any file: only a local copy of a downloaded
        // archive, made in the temporary folder, goes.
        if (sub.ReadString("LocalFile", local) && IsFileOfFolder(Trim(local), sys::TempDirectory()))
          sys::RemoveFile(Trim(local));
        // Subkeys of the subkey (the unfinished list has none) would keep it from being deleted.
        for (const std::string& inner : sub.SubKeyNames()) sub.DeleteSubKey(inner);
      }
      record.DeleteSubKey(name);
    }
  }
  sys::DeleteRegKey(sys::RootKey::LocalMachine, key);
  sys::RegKey root = sys::RegKey::Open(sys::RootKey::LocalMachine, InstallRecordRoot, false);
  if (root.IsOpen() && root.SubKeyNames().empty()) {
    root.Close();
    sys::DeleteRegKey(sys::RootKey::LocalMachine, InstallRecordRoot);
    sys::RegKey company = sys::RegKey::Open(sys::RootKey::LocalMachine, "\\Software\\Tavenrik", false);
    if (company.IsOpen() && company.SubKeyNames().empty()) {
      company.Close();
      sys::DeleteRegKey(sys::RootKey::LocalMachine, "\\Software\\Tavenrik");
    }
  }
}

}  // namespace tav
