// Work that has to wait for the restart of Windows: the unfinished-business list kept in the install
// record, the RunOnce entry that starts the program again with -r, the restart itself, and the
// resumption that finishes the list.
#include <stdexcept>

#include "core/routines_API.h"
#include "core/run_log.h"
#include "engine/cleanup.h"
#include "engine/cmp_TInstall.h"
#include "engine/install_record.h"
#include "engine/run_outcome.h"
#include "engine/translator_language.h"
#include "objects/routines_Registry.h"
#include "sys/files.h"
#include "sys/process.h"
#include "sys/registry.h"
#include "ui/application.h"

namespace tav {

namespace {

const char* const kUnfinishedError =
    "The TInstall could not either write or read unfinished business from the registry";

// Every operation on the list needs the record: without it a resumption must stop, not guess.
std::string UnfinishedKey() {
  if (InstallRecordKey().empty()) throw IEInstall(std::string(kUnfinishedError));
  return IncludeTrailingBackslash(InstallRecordKey()) + "Unfinished";
}

// The registry can be written by others: only a batch file the installer itself made in the
// temporary folder may be deleted on its word.
bool IsInstallerBatchFile(const std::string& path) {
  return IsFileOfFolder(path, sys::TempDirectory()) && SameText(ExtractFileExt(path), ".bat");
}

}  // namespace

void TCustomInstall::AddUnfinished(const std::string& data, int kind) {
  const std::string key = UnfinishedKey();
  ++unfinishedCount_;
  WriteRegString(hkLocalMachine, key, data, std::to_string(kind));
}

void TCustomInstall::ReadUnfinished(TStrings& list) {
  list.Clear();
  const std::string key = UnfinishedKey();
  sys::RegKey unfinished = sys::RegKey::Open(sys::RootKey::LocalMachine, key, false);
  if (!unfinished.IsOpen()) return;
  for (const std::string& name : unfinished.ValueNames()) {
    std::string kind;
    unfinished.ReadString(name, kind);
    list.Add(name + ";" + kind);
  }
}

void TCustomInstall::DeleteUnfinished() { DeleteKeyTree(hkLocalMachine, UnfinishedKey()); }

std::string TCustomInstall::ResumeCommandLine() const {
  const std::string source = SourceFileName();
  std::string line = "\"" + sys::ModuleFileName() + "\" -r ";
  if (switches_.Has(swSelfExtract)) line += "\"-e" + ExtractFileName(source) + "\" ";
  line += "\"-s" + ExcludeTrailingBackslash(ExtractFilePath(source)) + "\"";
  if (switches_.Has(swCleanup)) line += " -c";
  // A quiet install resumes quietly, and goes on writing its log.
  if (Unattended()) line += " -q";
  if (!RunLogPath().empty()) line += " \"-l" + RunLogPath() + "\"";
  return line;
}

void TCustomInstall::RegisterRunOnce() {
  if (!AddRunOnce("TavenrikUnfinished", ResumeCommandLine(), true))
    throw IEInstall(std::string("Cannot register the install to be run on reboot in the RunOnce key in the registry"));
}

void TCustomInstall::RebootWindows() {
  // The RunOnce entry stays whatever happens here: a manual restart resumes the install just the same.
  if (sys::RequestReboot(WindowsVersion())) return;
  if (OnFailedReboot) {
    OnFailedReboot(this);
    return;
  }
  Application().MessageBox(TranslateMessage("Could not reboot windows. Please manually reboot windows."),
                           Application().Title(), 0);
}

void TCustomInstall::SaveLanguage() {
  const std::optional<TTvrkLanguage> language = TranslatorLanguage();
  if (!language) return;
  // Without a record the value would land in the root of the hive.
  if (InstallRecordKey().empty()) throw EIRCannotWriteValue(InstallRecordKey());
  WriteRegInteger(hkLocalMachine, InstallRecordKey(), "Language", *language);
}

int TCustomInstall::LoadLanguage() {
  const int fallback = TranslatorLanguage().value_or(tvlUser);
  if (InstallRecordKey().empty()) return fallback;
  const int language = ReadRegInteger(hkLocalMachine, InstallRecordKey(), "Language", fallback);
  // A number no language has is not the user's choice.
  return language >= tvlChineseSimplified && language <= tvlVietnamese ? language : fallback;
}

void TCustomInstall::ResumeAfterReboot() {
  installing_ = true;
  try {
    LogEvent("Phase: finishing the installation after the restart");
    SetInstallRecordKey(FindInstallRecord({sys::ModuleFileName(), RunStartTime(), std::nullopt}, false));
    if (TranslatorLanguage()) SetTranslatorLanguage(static_cast<TTvrkLanguage>(LoadLanguage()));
    TStringList list;
    ReadUnfinished(list);
    DeleteUnfinished();
    for (int i = 0; i < list.Count(); ++i) {
      const std::string& line = list[i];
      // The kind follows the last ";": a file path may hold one itself.
      const std::size_t split = line.rfind(';');
      int kind = 0;
      try {
        if (split == std::string::npos) throw std::invalid_argument(line);
        const std::string field = Trim(line.substr(split + 1));
        std::size_t used = 0;
        kind = std::stoi(field, &used);
        if (used != field.size()) throw std::invalid_argument(field);
      } catch (const std::logic_error&) {
        throw IEInstall("There is an invalid entry for the unfinished install list %s", line);
      }
      const std::string data = line.substr(0, split);
      if (kind == 1) {
        if (IsInstallerBatchFile(data)) sys::RemoveFile(data);
      } else if (kind == 0) {
        TInstallContainerList* containers = InstallContainers();
        for (int c = 0; containers && c < containers->Count(); ++c) {
          TInstallContainer* container = containers->Items(c);
          // The installer itself is what is resuming: an entry naming it would start over.
          if (container != this && SameText(container->Name(), data)) container->ResumeAfterReboot();
        }
      }
    }
    SetProgramExitCode(kExitInstalled);
    LogEvent("Phase: the installation is complete");
    NotifyGoodInstall();
    CleanupLoadingProgram();
    RemoveInstallRecord(InstallRecordKey());
    if (runAutomatic_ || Unattended()) Shutdown();
    RunFilesAfterInstall();
    installing_ = false;
  } catch (const Exception& e) {
    HandleException(this, e);
  } catch (const std::exception& e) {
    HandleException(this, Exception(std::string(e.what())));
  }
}

}  // namespace tav
