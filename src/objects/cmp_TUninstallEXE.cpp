#include "objects/cmp_TUninstallEXE.h"

#include <cstdio>

#include "core/exceptions_Tavenrik.h"
#include "core/properties.h"
#include "core/routines_Strings.h"
#include "objects/routines_Registry.h"
#include "objects/toolkit_directory.h"
#include "objects/uninstall_record.h"
#include "sys/dates.h"
#include "sys/files.h"

namespace tav {

const char* const kUninstallerFileName = "uninstall.exe";

std::string UninstallCommandLine(const std::string& program, const std::string& productName, bool quiet) {
  // Quoted both: a blank in the folder must not start another program, one in the name must not split it.
  return "\"" + program + "\"" + (quiet ? " -q" : "") + " \"" + productName + "\"";
}

const TClassInfo& TUninstallEXE::StaticClassInfo() {
  using P = Props<TUninstallEXE>;
  static const TClassInfo info = MakeClassInfo<TUninstallEXE, TCustomInstallFile>(
      "TUninstallEXE",
      {
          P::String("ArchiveFile", &TUninstallEXE::ArchiveFile, &TUninstallEXE::SetArchiveFile),
          P::Reference<TCustomPathSpecifier>("ArchiveFileType", &TUninstallEXE::ArchiveFileType,
                                             &TUninstallEXE::SetArchiveFileType),
          P::Enum("AddToArchive", lzhCommandNames(), &TUninstallEXE::AddToArchive, &TUninstallEXE::SetAddToArchive,
                  lzcOverwrite),
          P::Reference<TInstallContainer>("Container", &TUninstallEXE::Container, &TUninstallEXE::SetContainer),
          P::String("DestDir", &TUninstallEXE::DestDir, &TUninstallEXE::SetDestDir),
          P::Reference<TCustomPathSpecifier>("DestDirType", &TUninstallEXE::DestDirType,
                                             &TUninstallEXE::SetDestDirType),
          P::Boolean("Include", &TUninstallEXE::Include, &TUninstallEXE::SetInclude, true),
          P::Set("InstallTypes", InstallTypeNames(), &TUninstallEXE::InstallTypesMask,
                 &TUninstallEXE::SetInstallTypesMask, 1 << itAlways),
          P::Integer("Order", &TUninstallEXE::Order, &TUninstallEXE::SetOrder),
          P::String("DestName", &TUninstallEXE::DestName, &TUninstallEXE::SetDestName),
          P::String("FileName", &TUninstallEXE::FileName, &TUninstallEXE::SetFileName),
          P::Enum("FileType", InstallFileTypeNames(), &TUninstallEXE::FileType, &TUninstallEXE::SetFileType,
                  iftNormal),
          P::String("IncludeFromDir", &TUninstallEXE::IncludeFromDir, &TUninstallEXE::SetIncludeFromDir),
          P::Boolean("Net", &TUninstallEXE::Net, &TUninstallEXE::SetNet, true),
          P::Reference<TCustomNetInstallLocation>("NetLocation", &TUninstallEXE::NetLocation,
                                                  &TUninstallEXE::SetNetLocation),
          P::Enum("OverwriteMode", OverwriteTypeNames, &TUninstallEXE::OverwriteMode, &TUninstallEXE::SetOverwriteMode,
                  owAlways),
          P::Enum("State", InstallFileStateNames(), &TUninstallEXE::State,
                  static_cast<void (TCustomInstallFile::*)(TInstallFileState)>(&TCustomInstallFile::SetState), ifsNone),
          P::Boolean("UpdateDLLCounter", &TUninstallEXE::UpdateDLLCounter, &TUninstallEXE::SetUpdateDLLCounter, false),
          P::Integer("UniqueID", &TUninstallEXE::UniqueID, &TUninstallEXE::SetUniqueID),
          P::Event("OnAfterCompress", &TUninstallEXE::OnAfterCompress),
          P::Event("OnAfterCopy", &TUninstallEXE::OnAfterCopy),
          P::Event("OnAfterInstall", &TUninstallEXE::OnAfterInstall),
          P::Event("OnBeforeCompress", &TUninstallEXE::OnBeforeCompress),
          P::Event("OnBeforeCopy", &TUninstallEXE::OnBeforeCopy),
          P::Event("OnBeforeInstall", &TUninstallEXE::OnBeforeInstall),
          P::Event("OnNewDisk", &TUninstallEXE::OnNewDisk),
          P::Event("OnReplacing", &TUninstallEXE::OnReplacing),
          P::Event("OnStatus", &TUninstallEXE::OnStatus),
      });
  return info;
}

TUninstallEXE::TUninstallEXE(TComponent* owner) : TCustomInstallFile(owner) {
  SetNet(true);
  if (!HasState(csDesigning)) return;
  try {
    const std::string dir = ToolkitDirectory("uninstall", false);
    if (!dir.empty() && sys::FileExists(dir + "\\" + kUninstallerFileName)) {
      SetIncludeFromDir(dir);
      SetFileName(kUninstallerFileName);
      SetDestName(kUninstallerFileName);
    }
  } catch (const Exception&) {
    // Only a convenience for the designer: the project names the file itself otherwise.
  }
}

void TUninstallEXE::WriteUninstall(const std::string& key) {
  TCurrentInstall* install = CurrentInstall();
  if (!install)
    throw IEUninstallEXE("%s could not write information about the uninstall to the registry because there was no "
                         "TInstall component",
                         Name());
  const std::string product = install->ProductName();
  const std::string program = FinalDestPath();
  WriteRegString(hkLocalMachine, key, "DisplayName", product);
  WriteRegString(hkLocalMachine, key, "UninstallString", UninstallCommandLine(program, product, false));
  // What Windows' list of programs shows and what tools that uninstall silently look for.
  WriteRegString(hkLocalMachine, key, "QuietUninstallString", UninstallCommandLine(program, product, true));
  WriteRegString(hkLocalMachine, key, "DisplayVersion", install->Version());
  WriteRegString(hkLocalMachine, key, "Publisher", install->CompanyName());
  TInstallContainer* root = install->RootContainer();
  WriteRegString(hkLocalMachine, key, "InstallLocation", root ? root->FullDestDir() : ExtractFileDir(program));
  WriteRegString(hkLocalMachine, key, "DisplayIcon", program + ",0");
  // The uninstaller speaks the language of the install.
  if (const std::string language = install->LanguageName(); !language.empty())
    WriteRegString(hkLocalMachine, key, kInstallLanguageValue, language);
  // The files this run has processed so far (the uninstaller usually comes last), in KB rounded up.
  std::int64_t bytes = 0;
  for (int i = 0; i < InstallFiles().Count(); ++i) {
    TCustomInstallFile* file = InstallFiles().Items(i);
    if (file == this || file->Processed()) bytes += file->FileSize();
  }
  WriteRegInteger(hkLocalMachine, key, "EstimatedSize", static_cast<int>((bytes + 1023) / 1024));
  const sys::DateParts today = sys::DecodeDateTime(sys::Now());
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", today.year, today.month, today.day);
  WriteRegString(hkLocalMachine, key, "InstallDate", date);
  WriteRegInteger(hkLocalMachine, key, "NoModify", 1);
  WriteRegInteger(hkLocalMachine, key, "NoRepair", 1);
}

}  // namespace tav
