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
  static constexpr TPropInfo props[] = {
      P::String<&TUninstallEXE::ArchiveFile, &TUninstallEXE::SetArchiveFile>("ArchiveFile"),
      P::Reference<TCustomPathSpecifier, &TUninstallEXE::ArchiveFileType, &TUninstallEXE::SetArchiveFileType>(
          "ArchiveFileType"),
      P::Enum<&TUninstallEXE::AddToArchive, &TUninstallEXE::SetAddToArchive>("AddToArchive", lzhCommandNames,
                                                                             lzcOverwrite),
      P::Reference<TInstallContainer, &TUninstallEXE::Container, &TUninstallEXE::SetContainer>("Container"),
      P::String<&TUninstallEXE::DestDir, &TUninstallEXE::SetDestDir>("DestDir"),
      P::Reference<TCustomPathSpecifier, &TUninstallEXE::DestDirType, &TUninstallEXE::SetDestDirType>("DestDirType"),
      P::Boolean<&TUninstallEXE::Include, &TUninstallEXE::SetInclude>("Include", true),
      P::Set<&TUninstallEXE::InstallTypesMask, &TUninstallEXE::SetInstallTypesMask>("InstallTypes", InstallTypeNames,
                                                                                    1 << itAlways),
      P::Integer<&TUninstallEXE::Order, &TUninstallEXE::SetOrder>("Order"),
      P::String<&TUninstallEXE::DestName, &TUninstallEXE::SetDestName>("DestName"),
      P::String<&TUninstallEXE::FileName, &TUninstallEXE::SetFileName>("FileName"),
      P::Enum<&TUninstallEXE::FileType, &TUninstallEXE::SetFileType>("FileType", InstallFileTypeNames, iftNormal),
      P::String<&TUninstallEXE::IncludeFromDir, &TUninstallEXE::SetIncludeFromDir>("IncludeFromDir"),
      P::Boolean<&TUninstallEXE::Net, &TUninstallEXE::SetNet>("Net", true),
      P::Reference<TCustomNetInstallLocation, &TUninstallEXE::NetLocation, &TUninstallEXE::SetNetLocation>(
          "NetLocation"),
      P::Enum<&TUninstallEXE::OverwriteMode, &TUninstallEXE::SetOverwriteMode>("OverwriteMode", OverwriteTypeNames,
                                                                               owAlways),
      P::Enum<&TUninstallEXE::State, static_cast<void (TCustomInstallFile::*)(TInstallFileState)>(
                                         &TCustomInstallFile::SetState)>("State", InstallFileStateNames, ifsNone),
      P::Boolean<&TUninstallEXE::UpdateDLLCounter, &TUninstallEXE::SetUpdateDLLCounter>("UpdateDLLCounter", false),
      P::Integer<&TUninstallEXE::UniqueID, &TUninstallEXE::SetUniqueID>("UniqueID"),
      P::Event<&TUninstallEXE::OnAfterCompress>("OnAfterCompress"),
      P::Event<&TUninstallEXE::OnAfterCopy>("OnAfterCopy"),
      P::Event<&TUninstallEXE::OnAfterInstall>("OnAfterInstall"),
      P::Event<&TUninstallEXE::OnBeforeCompress>("OnBeforeCompress"),
      P::Event<&TUninstallEXE::OnBeforeCopy>("OnBeforeCopy"),
      P::Event<&TUninstallEXE::OnBeforeInstall>("OnBeforeInstall"),
      P::Event<&TUninstallEXE::OnNewDisk>("OnNewDisk"),
      P::Event<&TUninstallEXE::OnReplacing>("OnReplacing"),
      P::Event<&TUninstallEXE::OnStatus>("OnStatus"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TUninstallEXE, TCustomInstallFile>("TUninstallEXE", props);
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
