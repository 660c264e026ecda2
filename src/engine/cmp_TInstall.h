#pragma once
// The installer component: the root container of the project, and the owner of the program run.
// It hooks the host form's first activation, drives the run phase by phase, turns every exception
// that escapes during the run into the failure outcome, and ends the program.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/graphics.h"
#include "core/strings.h"
#include "engine/command_line.h"
#include "objects/cmp_TFileContainer.h"

namespace tav {

class TForm;
class TCustomInstall;
class TCustomInstallFile;


// Notification codes the engine broadcasts, in the order of a run.
constexpr int ncReadArchiveBegins = -984, ncReadArchiveEnds = -983;
constexpr int ncBeforeInstallPhase = -980, ncRebootPhase = -987;
constexpr int ncGoodEnd = -995, ncGoodEndPages = -979, ncBadEnd = -994, ncBadEndPages = -978;
extern const int kBeforeInstallCodes[6];  // -986, -976, -975, -982, -981, -977

// Build settings stored with the project; the setup program itself reads none of them.
class TBuildInfo : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Assign(const TPersistent& source) override;

  std::string AppName, AppURL, BuildDirectory = "c:\\build", CredentialsFile, OCXName = "tvsetup", PrivateKeyFile;
  bool SignCode = false;
  std::string URLPath;
};

class TInstallInformation : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Assign(const TPersistent& source) override;

  std::string CompanyName = "My Company", ProductName = "My product", Version = "1.0";
};

using TNotifyEvent = std::function<void(TObject* sender)>;
using TRebootWindowsEvent = std::function<void(TCustomInstall* install, bool& continueReboot)>;
using TBeforeRunFileEvent = std::function<void(TCustomInstall* install, TCustomInstallFile* file, bool& defaultAction)>;
using TUserAbortEvent = std::function<void(TCustomInstall* install, bool& quitOut)>;
using TCleanupEvent = std::function<void(TCustomInstall* install, bool& continueCleanup)>;

class TCustomInstall : public TFileContainer, public TCurrentInstall {
public:
  explicit TCustomInstall(TComponent* owner);
  ~TCustomInstall() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // TCurrentInstall
  std::string ProductName() const override { return information_.ProductName; }
  std::string CompanyName() const override { return information_.CompanyName; }
  std::string Version() const override { return information_.Version; }
  TInstallContainer* RootContainer() override { return this; }
  bool HasSelfExtractSwitch() const override { return switches_.Has(swSelfExtract); }
  std::string SelfExtractValue() const override { return switches_.Value(swSelfExtract); }
  // Records work left for after the restart in this run's install record.
  void AddUnfinished(const std::string& data, int kind) override;

  // The whole run; see the run sequence.
  virtual void Execute();
  void ReadArchiveInfo() override;
  // Clears every install file's marks of an earlier build, then builds the archives.
  void BuildArchives(int options) override;
  void NotifyGoodInstall();
  void NotifyBadInstall();
  // Asks to end the program unless OnBeforeShutdown keeps it; true when the program keeps running.
  bool Shutdown();
  void RunFilesAfterInstall();
  // The application's exception handler: decides the outcome of a run.
  void HandleException(TObject* sender, const Exception& e);
  // Fires OnUserAbort; true when the user may abort.
  bool ConfirmUserAbort();
  // The host form's activation handler: starts the run once.
  void StartHook(TObject* sender);
  // Execute, with every exception that escapes handed to HandleException.
  void RunGuarded();
  // -p: the installer's destination becomes this full path.
  void SetInstallFolder(const std::string& folder);
  void ParseCommandLine();
  void CleanupLoadingProgram();
  // The unfinished-business list of this run's install record, as lines "data;kind".
  void ReadUnfinished(TStrings& list);
  void DeleteUnfinished();
  void RegisterRunOnce();
  virtual void RebootWindows();
  // The translator's language in the install record, so that the resumption speaks it too.
  void SaveLanguage();
  int LoadLanguage();
  // The -r mode: finishes the work the restart waited for, then ends as a good install.
  void ResumeAfterReboot() override;

  // The resumption command line that RunOnce starts after a restart.
  std::string ResumeCommandLine() const;
  std::string ProgramDirectory() const;
  std::string SourceFileName() const;
  const std::string& SourceDirectory() const override { return sourceDirectory_; }
  const TCommandSwitches& Switches() const { return switches_; }
  bool Started() const { return started_; }
  bool Installing() const override { return installing_; }
  TForm* HostForm() const { return hostForm_; }
  const std::string& CleanupBatchFile() const { return cleanupBatchFile_; }
  bool RunCleanupBatch() const { return runCleanupBatch_; }
  int UnfinishedCount() const { return unfinishedCount_; }

  // Published values.
  bool AutoMaximizeWindow() const { return autoMaximizeWindow_; }
  void SetAutoMaximizeWindow(bool value);
  bool HideMainForm() const { return hideMainForm_; }
  void SetHideMainForm(bool value);
  TBuildInfo& BuildInfo() { return buildInfo_; }
  TPicture& DialogThemeBitmap() { return dialogThemeBitmap_; }
  TDistributeType DistributeType() const override { return distributeType_; }
  void SetDistributeType(TDistributeType value);
  // The distribution's net location, which is also the default of every install object without one.
  TCustomNetInstallLocation* NetLocation() const override { return TFileContainer::NetLocation(); }
  TInstallInformation& Information() { return information_; }
  const TInstallInformation& Information() const { return information_; }
  TStrings& PresetupFiles() { return presetupFiles_; }
  bool Reboot() const override { return reboot_; }
  void SetReboot(bool value) override { reboot_ = value; }
  bool RunAutomatic() const { return runAutomatic_; }
  void SetRunAutomatic(bool value) { runAutomatic_ = value; }
  bool UseLoadingProgram() const { return useLoadingProgram_; }

  TNotifyEvent OnAfterInitialized, OnBeforeReadArchiveInfo, OnAfterReadArchiveInfo;
  TNotifyEvent OnBeforeNotifyGoodInstall, OnAfterNotifyGoodInstall;
  TNotifyEvent OnBeforeNotifyBadInstall, OnAfterNotifyBadInstall;
  TRebootWindowsEvent OnBeforeReboot;
  TNotifyEvent OnFailedReboot;
  TBeforeRunFileEvent OnBeforeRunFile;
  TUserAbortEvent OnBeforeShutdown;
  TUserAbortEvent OnUserAbort;
  TCleanupEvent OnBeforeCleanup;
  // Code-only hook, fired first thing on destruction.
  TNotifyEvent OnDestroying;

  // --- Build mode and floppy transfer (build_mode.cpp) ---
  // -b: builds from the first line of BUILD.INF beside the program, shows any failure, ends.
  void BuildFromBuildInf();
  // Puts the setup program (or the loading program and "setup.1") into buildDirectory, builds the
  // archives and, when selfExtracting, appends them to "setup.exe" behind their trailer.
  virtual void Build(const std::string& exeName, const std::string& buildDirectory, bool selfExtracting);
  // "setup.1": the setup program followed by the presetup files.
  virtual void BuildSetupArchive(const std::string& buildDirectory, const std::string& exeName);
  // -f: copies the self-extracting distribution onto numbered disks at target, shows any failure, ends.
  virtual void TransferToFloppies(const std::string& target);
  // -e: points the shared compressor at the "files.1" embedded in the self-extracting executable.
  void ReadSelfExtractInfo();
  // Deletes the blank lines of value itself, then copies it.
  void SetPresetupFiles(TStrings& value);
  // With unique, a file whose name (path ignored, any case) is listed already is not added again.
  void AddPresetupFile(const std::string& fileName, bool unique);
  void SetUseLoadingProgram(bool value);

  // Build hooks: code-only, not stored with the project.
  TNotifyEvent OnBeforeBuildSetupArchive, OnAfterBuildSetupArchive, OnBeforeCopyInstaller, OnAfterCopyInstaller,
      OnAfterSetupProgram, OnAfterBuildArchives, OnBeforeSelfExtractor, OnAfterSelfExtractor;
  // Each status report of the compressor during the floppy transfer.
  TlzhFileStatsEvent OnTransferStatus;

protected:
  // Ends the program: the message loop ends after the running handler returns.
  virtual void EndProgram();

private:
  bool IsDesigning() const { return HasState(csDesigning); }
  void ShowError(const Exception& e);
  // Build mode helpers (build_mode.cpp).
  void PutSetupProgramInPlace(const std::string& exeName, const std::string& buildDirectory,
                              const std::string& setupExe);
  void MakeSelfExtractor(const std::string& setupExe, const std::string& setup1, const std::string& files1);
  void WriteRemoteFileList();
  // Size, date and version of the files on the server, from its "filelist.lst".
  void ReadRemoteFileList();

  TBuildInfo buildInfo_;
  TPicture dialogThemeBitmap_;
  TInstallInformation information_;
  TStringList presetupFiles_;
  bool autoMaximizeWindow_ = true;
  bool hideMainForm_ = false;
  TDistributeType distributeType_ = dtTraditional;
  bool reboot_ = false;
  bool runAutomatic_ = true;
  bool useLoadingProgram_ = true;

  bool started_ = false;
  std::string cleanupBatchFile_;
  int unfinishedCount_ = 0;
  TNotifyEvent savedOnActivate_;
  bool hasSavedOnActivate_ = false;
  bool runCleanupBatch_ = false;
  TForm* hostForm_ = nullptr;
  bool installing_ = false;
  std::string sourceDirectory_;
  TCommandSwitches switches_;
};

class TInstall : public TCustomInstall {
public:
  using TCustomInstall::TCustomInstall;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// The current install's DistributeType, dtTraditionalNet without an installer.
TDistributeType CurrentDistributeType();
// Whether a run of the current install is in progress; false without an installer.
bool RunInProgress();
// The local date and time at which the run began.
double RunStartTime();
// The command line that starts a program after the install: the path quoted, so that blanks in the
// destination cannot start another program.
std::string RunAfterInstallCommandLine(const std::string& destDir, const std::string& destName);

void RegisterEngineClasses();

}  // namespace tav
