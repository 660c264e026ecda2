#include "engine/cmp_TInstall.h"

#include <fstream>

#include "config/resources.h"
#include "core/properties.h"
#include "core/routines_API.h"
#include "core/routines_Paths.h"
#include "core/run_log.h"
#include "engine/cleanup.h"
#include "engine/install_record.h"
#include "engine/run_outcome.h"
#include "paths/cmp_TPathSpecifier.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/objects_registry.h"
#include "objects/routines_Registry.h"
#include "sys/dates.h"
#include "sys/files.h"
#include "sys/process.h"
#include "sys/registry.h"
#include "ui/application.h"

namespace tav {

const int kBeforeInstallCodes[6] = {-986, -976, -975, -982, -981, -977};

namespace {

double& RunStart() {
  static double value = 0;
  return value;
}

TCustomInstall* Current() {
  TCurrentInstall* c = CurrentInstall();
  return c ? dynamic_cast<TCustomInstall*>(c->RootContainer()) : nullptr;
}

}  // namespace

// --- TBuildInfo, TInstallInformation ---------------------------------------------------------------

const TClassInfo& TBuildInfo::StaticClassInfo() {
  using P = Props<TBuildInfo>;
  static constexpr TPropInfo props[] = {
      P::String<&TBuildInfo::AppName, &TBuildInfo::AppName>("AppName"),
      P::String<&TBuildInfo::AppURL, &TBuildInfo::AppURL>("AppURL"),
      P::String<&TBuildInfo::BuildDirectory, &TBuildInfo::BuildDirectory>("BuildDirectory", "c:\\build"),
      P::String<&TBuildInfo::CredentialsFile, &TBuildInfo::CredentialsFile>("CredentialsFile"),
      P::String<&TBuildInfo::OCXName, &TBuildInfo::OCXName>("OCXName", "tvsetup"),
      P::String<&TBuildInfo::PrivateKeyFile, &TBuildInfo::PrivateKeyFile>("PrivateKeyFile"),
      P::Boolean<&TBuildInfo::SignCode, &TBuildInfo::SignCode>("SignCode", false),
      P::String<&TBuildInfo::URLPath, &TBuildInfo::URLPath>("URLPath"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TBuildInfo, TPersistent>("TBuildInfo", props);
  return info;
}

void TBuildInfo::Assign(const TPersistent& source) {
  if (auto* b = dynamic_cast<const TBuildInfo*>(&source)) {
    *this = *b;
    return;
  }
  TPersistent::Assign(source);
}

const TClassInfo& TInstallInformation::StaticClassInfo() {
  using P = Props<TInstallInformation>;
  static constexpr TPropInfo props[] = {
      P::String<&TInstallInformation::CompanyName, &TInstallInformation::CompanyName>("CompanyName", "My Company"),
      P::String<&TInstallInformation::ProductName, &TInstallInformation::ProductName>("ProductName", "My product"),
      P::String<&TInstallInformation::Version, &TInstallInformation::Version>("Version", "1.0"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TInstallInformation, TPersistent>("TInstallInformation", props);
  return info;
}

void TInstallInformation::Assign(const TPersistent& source) {
  if (auto* i = dynamic_cast<const TInstallInformation*>(&source)) {
    *this = *i;
    return;
  }
  TPersistent::Assign(source);
}

// --- TCustomInstall ---------------------------------------------------------------------------------

namespace {

// The owner check of construction: the installer lives on a form.
TComponent* CheckOwner(TComponent* owner) {
  if (CurrentInstall())
    throw IEInstall(std::string(
        "The TInstall component does not currently support the use of 2 TInstall components in the same project"));
  if (!dynamic_cast<TForm*>(owner))
    throw IEInstall(std::string("The owner of the TInstall component must be a form"));
  return owner;
}

// The installer's defaults come from the standard specifiers, looked up by class.
template <class T>
TCustomPathSpecifier* Standard() {
  TStandardPathSpecList* list = StandardPathSpecifiers();
  return list ? list->FindByClass<T>() : nullptr;
}

}  // namespace

TCustomInstall::TCustomInstall(TComponent* owner) : TFileContainer(CheckOwner(owner)) {
  if (auto bmp = config::FindBitmapResource("INSTALLTHEME1")) {
    TBitmap bitmap;
    bitmap.SetBmp(*bmp);
    dialogThemeBitmap_.Assign(bitmap);
  }
  SetCurrentInstall(this);
  try {
    SetArchiveFileType(Standard<TpsMainArchiveFile>());
    SetArchiveFile("");
    SetDestDirType(Standard<TpsProgramFiles>());
  } catch (...) {
    // A half-made installer must not stay the current one: no destructor will clear it.
    SetCurrentInstall(nullptr);
    throw;
  }
  SetDestDir("\\MyApplication");
  SetAllowChoice(false);
  SetAllowChangeDir(true);
  SetGroupName("Main");
  if (!IsDesigning())
    Application().OnException = [this](TObject* sender, const Exception& e) { HandleException(sender, e); };
}

TCustomInstall::~TCustomInstall() {
  if (OnDestroying) OnDestroying(this);
  if (!IsDesigning() && hostForm_ && !hostForm_->HasState(csDestroying) && hasSavedOnActivate_)
    hostForm_->OnActivate = savedOnActivate_;
  if (CurrentInstall() == this) SetCurrentInstall(nullptr);
  if (!IsDesigning()) Application().OnException = nullptr;
  if (runCleanupBatch_) sys::StartProcess("cmd.exe /c \"" + cleanupBatchFile_ + "\"", sys::ShowMode::Hidden);
}

void TCustomInstall::Notification(TComponent* component, TOperation operation) {
  // Without its net location the distribution can only be traditional.
  const bool netLocationGoes = operation == opRemove && component && component == NetLocation();
  TFileContainer::Notification(component, operation);
  if (operation == opRemove && component == hostForm_) hostForm_ = nullptr;
  if (netLocationGoes) distributeType_ = dtTraditional;
}

void TCustomInstall::SetAutoMaximizeWindow(bool value) {
  autoMaximizeWindow_ = value;
  if (value && !Loading()) hideMainForm_ = false;
}

void TCustomInstall::SetHideMainForm(bool value) {
  hideMainForm_ = value;
  if (value && !Loading()) autoMaximizeWindow_ = false;
}

void TCustomInstall::SetDistributeType(TDistributeType value) {
  if (Loading()) {
    distributeType_ = value;
    return;
  }
  if (!IsDesigning()) throw IEInstall(std::string("DistributeType can only be set at design-time"));
  if (value != dtTraditional && !NetLocation())
    throw IEInstallNetLocNil(std::string(
        "Must assign a net location via the NetLocation property before you can set the distribute type"));
  distributeType_ = value;
}

void TCustomInstall::ParseCommandLine() { switches_ = tav::ParseCommandLine(ProgramArguments()); }

std::string TCustomInstall::ProgramDirectory() const {
  return ExcludeTrailingBackslash(ExtractFilePath(sys::ModuleFileName()));
}

std::string TCustomInstall::SourceFileName() const {
  if (switches_.Has(swSelfExtract)) return IncludeTrailingBackslash(sourceDirectory_) + switches_.Value(swSelfExtract);
  if (useLoadingProgram_) {
    const std::vector<std::string> args = ProgramArguments();
    return IncludeTrailingBackslash(sourceDirectory_) + (args.size() > 1 ? args[1] : std::string());
  }
  return sys::ModuleFileName();
}

void TCustomInstall::Loaded() {
  TFileContainer::Loaded();
  if (IsDesigning()) return;
  ParseCommandLine();
  if (switches_.Has(swDebug) && (!switches_.Has(swSource) || Trim(switches_.Value(swSource)).empty()))
    throw IEInstall(std::string(
        "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My Build\""));
  sourceDirectory_ = switches_.Has(swSource) ? switches_.Value(swSource) : ProgramDirectory();
  if (switches_.Has(swFolder)) SetInstallFolder(switches_.Value(swFolder));
  SetInstallRecordKey(FindInstallRecord({sys::ModuleFileName(), RunStart(), std::nullopt}, false));

  if (TForm* main = Application().MainForm()) {
    hostForm_ = main;
  } else if (auto* form = dynamic_cast<TForm*>(Owner())) {
    hostForm_ = form;
  } else if (runAutomatic_) {
    throw IEInstall(std::string("Application.MainForm is undefined and the TInstall is not on a form. Therefore, "
                                "therefore the TInstall can't run the installation automatically"));
  }
  if (hostForm_) hostForm_->FreeNotification(this);

  SetInstallType(itAlways);
  for (TInstallType t : {itDefault, itCompact, itFull, itCustom}) {
    if (InstallTypes().Contains(t)) {
      SetInstallType(t);
      break;
    }
  }

  if (switches_.Has(swBuild)) {
    BuildFromBuildInf();
  } else if (switches_.Has(swFloppies)) {
    TransferToFloppies("a:");
  } else if (switches_.Has(swAfterReboot)) {
    ResumeAfterReboot();
  } else if (Unattended()) {
    // No window at all: the run starts once the message loop does, without the host form.
    Application().SetShowMainForm(false);
    Application().RunAtStart([this] {
      started_ = true;
      RunGuarded();
    });
  } else if (hostForm_) {
    savedOnActivate_ = hostForm_->OnActivate;
    hasSavedOnActivate_ = static_cast<bool>(savedOnActivate_);
    hostForm_->OnActivate = [this](TObject* sender) { StartHook(sender); };
    if (hideMainForm_) {
      hostForm_->SetLeft(-2 * hostForm_->Width());
      hostForm_->SetTop(-2 * hostForm_->Height());
    }
  }
}

void TCustomInstall::StartHook(TObject*) {
  if (started_) return;
  if (savedOnActivate_) savedOnActivate_(Owner());
  started_ = true;
  if (hostForm_ && autoMaximizeWindow_) {
    hostForm_->SetWindowState(wsMaximized);
    hostForm_->Repaint();
  }
  if (!runAutomatic_) return;
  if (Owner() && !Owner()->HasState(csDestroying) && hasSavedOnActivate_ && hostForm_)
    hostForm_->OnActivate = savedOnActivate_;
  RunGuarded();
}

void TCustomInstall::RunGuarded() {
  // Everything that escapes the run ends in the installer's exception handling.
  try {
    Execute();
  } catch (const Exception& e) {
    HandleException(this, e);
  } catch (const std::exception& e) {
    HandleException(this, Exception(std::string(e.what())));
  }
}

void TCustomInstall::SetInstallFolder(const std::string& folder) {
  const std::string dir = QualifiedFolderPath(folder);
  // Relative to nothing the user can see: the folder must say where it is.
  if (!IsAbsolutePath(dir)) throw IEInstall("The install folder given with -p must be a full path such as -pC:\\Product: %s", folder);
  SetDestDirType(nullptr);
  SetDestDir(dir);
}

void TCustomInstall::Execute() {
  RunStart() = sys::Now();
  // Self-registration failures wait for the end of the run, when everything they may need is installed.
  RegistrationFailuresPropagateSlot().Set(false);
  DeferredRegistrations().Clear();
  SetUserAbortRequested(false);
  unfinishedCount_ = 0;
  runCleanupBatch_ = false;
  installing_ = true;
  if (useLoadingProgram_ && !switches_.Has(swSource))
    throw IEInstall(std::string(
        "The path of the loading program was not passed correctly. If you are running your install project in the "
        "IDE, then you need to add two command line parameters. In Run | Parameters | \"Run Parameters\", type in: -d "
        "\"-sBUILDPATH\" where BUILDPATH is the path into which you built the distributables. Example: -d \"-sC:\\My "
        "Build\"."));
  // A blank name would make the product's uninstall key the list of every product.
  if (Trim(information_.ProductName).empty())
    throw IEInstall("%s cannot install: Information.ProductName is blank, and the product is registered for "
                    "uninstalling under its name",
                    Name());
  std::optional<std::string> selfExtract;
  if (switches_.Has(swSelfExtract))
    selfExtract = IncludeTrailingBackslash(switches_.Value(swSource)) + switches_.Value(swSelfExtract);
  LogEvent("Installing %s %s into %s", information_.ProductName, information_.Version, FullDestDir());
  SetInstallRecordKey(FindInstallRecord({sys::ModuleFileName(), RunStart(), selfExtract}, true));
  DeleteUnfinished();
  if (switches_.Has(swSelfExtract)) ReadSelfExtractInfo();
  ReadArchiveInfo();
  if (OnAfterInitialized) OnAfterInitialized(this);
  for (int code : kBeforeInstallCodes) Broadcast(this, code, nullptr);
  LogEvent(Unattended() ? "Phase: before installation (quiet: every page keeps its defaults)"
                        : "Phase: before installation");
  Broadcast(this, ncBeforeInstallPhase, nullptr);
  LogEvent("Phase: installing into %s", FullDestDir());
  Process();
  RegistrationFailuresPropagateSlot().Set(true);
  for (int i = 0; i < DeferredRegistrations().Count(); ++i) DeferredRegistrations().Items(i)->RegisterSelf();
  if (unfinishedCount_ > 0 || reboot_) RegisterRunOnce();
  const bool rebootWanted = reboot_;
  if (rebootWanted) {
    SetProgramExitCode(kExitRestartNeeded);
    LogEvent("Phase: restart (a restart of the computer finishes the installation)");
    Broadcast(this, ncRebootPhase, nullptr);
  }
  if (reboot_ && OnBeforeReboot) {
    bool continueReboot = reboot_;
    OnBeforeReboot(this, continueReboot);
    reboot_ = continueReboot;
  }
  if (reboot_ && Unattended()) {
    // Never restarted unattended: the exit code says a restart is needed, and it resumes the work.
    SaveLanguage();
    LogEvent("The computer is not restarted in quiet mode; the installation finishes when it next starts");
    EndProgram();
    return;
  }
  if (reboot_) {
    SaveLanguage();
    RebootWindows();
    EndProgram();
    return;
  }
  if (rebootWanted) {
    EndProgram();
    return;
  }
  SetProgramExitCode(kExitInstalled);
  LogEvent("Phase: the installation is complete");
  NotifyGoodInstall();
  CleanupLoadingProgram();
  RemoveInstallRecord(InstallRecordKey());
  if (runAutomatic_ || Unattended()) Shutdown();
  RunFilesAfterInstall();
  installing_ = false;
}

void TCustomInstall::ReadArchiveInfo() {
  if (ArchiveInfoRead()) return;
  if (OnBeforeReadArchiveInfo) OnBeforeReadArchiveInfo(this);
  Broadcast(this, ncReadArchiveBegins, nullptr);
  TCursor savedCursor = crDefault;
  if (hostForm_) {
    savedCursor = hostForm_->Cursor();
    hostForm_->SetCursor(crHourGlass);
  }
  LogEvent("Phase: reading the archive information of %s", FullArchiveFile());
  ShowStatus("Reading file information...");
  try {
    TFileContainer::ReadArchiveInfo();
    if (distributeType_ != dtTraditional) ReadRemoteFileList();
  } catch (...) {
    if (hostForm_) hostForm_->SetCursor(savedCursor);
    ClearStatus();
    throw;
  }
  if (hostForm_) hostForm_->SetCursor(savedCursor);
  ClearStatus();
  SetArchiveInfoRead(true);
  if (OnAfterReadArchiveInfo) OnAfterReadArchiveInfo(this);
  Broadcast(this, ncReadArchiveEnds, nullptr);
}

void TCustomInstall::NotifyGoodInstall() {
  if (OnBeforeNotifyGoodInstall) OnBeforeNotifyGoodInstall(this);
  Broadcast(this, ncGoodEnd, nullptr);
  Broadcast(this, ncGoodEndPages, nullptr);
  if (OnAfterNotifyGoodInstall) OnAfterNotifyGoodInstall(this);
}

void TCustomInstall::NotifyBadInstall() {
  if (OnBeforeNotifyBadInstall) OnBeforeNotifyBadInstall(this);
  Broadcast(this, ncBadEnd, nullptr);
  Broadcast(this, ncBadEndPages, nullptr);
  if (OnAfterNotifyBadInstall) OnAfterNotifyBadInstall(this);
}

bool TCustomInstall::Shutdown() {
  bool quitOut = true;
  if (OnBeforeShutdown) OnBeforeShutdown(this, quitOut);
  // Unattended, nobody could ever end a program kept running without a window.
  if (quitOut || Unattended()) EndProgram();
  return !quitOut && !Unattended();
}

void TCustomInstall::EndProgram() { Application().Terminate(); }

void TCustomInstall::RunFilesAfterInstall() {
  for (int i = 0; i < InstallFiles().Count(); ++i) {
    TCustomInstallFile* file = InstallFiles().Items(i);
    if (!file->RunAfterInstall()) continue;
    if (Unattended()) {
      LogEvent("Not started in quiet mode: %s", RunAfterInstallCommandLine(file->FullDestDir(), file->DestName()));
      continue;
    }
    bool defaultAction = true;
    if (OnBeforeRunFile) OnBeforeRunFile(this, file, defaultAction);
    if (file->RunAfterInstall() && defaultAction)
      sys::StartProcess(RunAfterInstallCommandLine(file->FullDestDir(), file->DestName()), sys::ShowMode::Normal);
  }
}

void TCustomInstall::BuildArchives(int options) {
  for (int i = 0; i < InstallFiles().Count(); ++i) {
    InstallFiles().Items(i)->SetCompressed(false);
    InstallFiles().Items(i)->SetArchiveUsed("");
  }
  TFileContainer::BuildArchives(options);
}

bool TCustomInstall::ConfirmUserAbort() {
  bool quitOut = true;
  if (OnUserAbort) OnUserAbort(this, quitOut);
  return quitOut;
}

void TCustomInstall::ShowError(const Exception& e) { Application().ShowException(e); }

void TCustomInstall::HandleException(TObject*, const Exception& e) {
  if (!installing_) {
    ShowError(e);
    return;
  }
  installing_ = false;
  RegistrationFailuresPropagateSlot().Set(true);
  const bool aborted = dynamic_cast<const EAIUserAbort*>(&e) != nullptr;
  SetProgramExitCode(aborted ? kExitCancelled : kExitFailed);
  try {
    if (aborted) {
      LogEvent("Phase: the installation was cancelled: %s", e.Message());
      NotifyBadInstall();
      CleanupLoadingProgram();
      RemoveInstallRecord(InstallRecordKey());
      if (runAutomatic_ || Unattended()) Shutdown();
    } else {
      LogEvent("Phase: the installation failed");
      NotifyBadInstall();
      ShowError(e);
      Shutdown();
    }
  } catch (...) {
    // A failure while showing the failure itself must not hide the end of the program.
    if (runAutomatic_ || Unattended()) EndProgram();
  }
}

void TCustomInstall::CleanupLoadingProgram() {
  if (!useLoadingProgram_ || switches_.Has(swDebug) || !switches_.Has(swCleanup) || IsDesigning()) return;
  bool continueCleanup = true;
  if (OnBeforeCleanup) OnBeforeCleanup(this, continueCleanup);
  if (!continueCleanup) return;
  const std::string batch = ChangeFileExt(TempFileName(false), ".bat");
  const std::vector<std::string> lines =
      CleanupBatchLines(sys::ModuleFileName(), batch, sys::TempDirectory(), WindowsVersion() != 1);
  // Not a copy of the loading program's (started by hand with -c from a build folder, say): nothing
  // there may go.
  if (lines.empty()) {
    Application().MessageBox(Format(TranslateMessage("The setup program is not running from a folder of its own in "
                                                     "the temporary folder, so %s and its files are left in place"),
                                    ProgramDirectory()),
                             Application().Title(), 0);
    return;
  }
  const std::string programDir = IncludeTrailingBackslash(ProgramDirectory());
  for (int i = 0; i < presetupFiles_.Count(); ++i) sys::RemoveFile(programDir + ExtractFileName(presetupFiles_[i]));
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  sys::File f = sys::File::Open(batch, sys::OpenMode::Create);
  if (!f.IsOpen() || f.Write(text.data(), text.size()) != text.size()) return;
  f.Close();
  cleanupBatchFile_ = batch;
  runCleanupBatch_ = true;
}

// --- TInstall ---------------------------------------------------------------------------------------

const TClassInfo& TCustomInstall::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCustomInstall, TFileContainer>("TCustomInstall");
  return info;
}

const TClassInfo& TInstall::StaticClassInfo() {
  using P = Props<TInstall>;
  static constexpr TPropInfo props[] = {
      P::Boolean<&TInstall::AllowChangeDir, &TInstall::SetAllowChangeDir>("AllowChangeDir", true),
      P::Boolean<&TInstall::AutoMaximizeWindow, &TInstall::SetAutoMaximizeWindow>("AutoMaximizeWindow", true),
      P::Object<[](TInstall& i) { return &i.BuildInfo(); }>("BuildInfo"),
      P::Object<[](TInstall& i) { return &i.Description(); }>("Description"),
      P::String<&TInstall::DestDir, &TInstall::SetDestDir>("DestDir", std::nullopt),
      P::Reference<TCustomPathSpecifier, &TInstall::DestDirType, &TInstall::SetDestDirType>("DestDirType"),
      P::Object<[](TInstall& i) { return &i.DialogThemeBitmap(); }>("DialogThemeBitmap"),
      P::Enum<&TInstall::DistributeType, &TInstall::SetDistributeType>("DistributeType", DistributeTypeNames,
                                                                       dtTraditional),
      P::String<&TInstall::GroupName, &TInstall::SetGroupName>("GroupName", std::nullopt),
      P::Boolean<&TInstall::HideMainForm, &TInstall::SetHideMainForm>("HideMainForm", false),
      P::Object<[](TInstall& i) { return &i.Information(); }>("Information"),
      P::Set<&TInstall::InstallTypesMask, &TInstall::SetInstallTypesMask>("InstallTypes", InstallTypeNames,
                                                                          1 << itAlways),
      P::Reference<TCustomNetInstallLocation, &TInstall::NetLocation, &TInstall::SetNetLocation>("NetLocation"),
      P::Object<[](TInstall& i) { return &i.PresetupFiles(); }>("PresetupFiles"),
      P::Boolean<&TInstall::Reboot, &TInstall::SetReboot>("Reboot", false),
      P::Boolean<&TInstall::RunAutomatic, &TInstall::SetRunAutomatic>("RunAutomatic", true),
      P::Boolean<&TInstall::UseLoadingProgram, &TInstall::SetUseLoadingProgram>("UseLoadingProgram"),
      P::Event<&TInstall::OnAfterInitialized>("OnAfterInitialized"),
      P::Event<&TInstall::OnAfterInstallObjects>("OnAfterInstallObjects"),
      P::Event<&TInstall::OnAfterNotifyBadInstall>("OnAfterNotifyBadInstall"),
      P::Event<&TInstall::OnAfterNotifyGoodInstall>("OnAfterNotifyGoodInstall"),
      P::Event<&TInstall::OnAfterProcess>("OnAfterProcess"),
      P::Event<&TInstall::OnAfterReadArchiveInfo>("OnAfterReadArchiveInfo"),
      P::Event<&TInstall::OnBeforeCleanup>("OnBeforeCleanup"),
      P::Event<&TInstall::OnBeforeInstallObjects>("OnBeforeInstallObjects"),
      P::Event<&TInstall::OnBeforeNotifyBadInstall>("OnBeforeNotifyBadInstall"),
      P::Event<&TInstall::OnBeforeNotifyGoodInstall>("OnBeforeNotifyGoodInstall"),
      P::Event<&TInstall::OnBeforeProcess>("OnBeforeProcess"),
      P::Event<&TInstall::OnBeforeReadArchiveInfo>("OnBeforeReadArchiveInfo"),
      P::Event<&TInstall::OnBeforeReboot>("OnBeforeReboot"),
      P::Event<&TInstall::OnBeforeRunFile>("OnBeforeRunFile"),
      P::Event<&TInstall::OnBeforeShutdown>("OnBeforeShutdown"),
      P::Event<&TInstall::OnFailedReboot>("OnFailedReboot"),
      P::Event<&TInstall::OnNewDisk>("OnNewDisk"),
      P::Event<&TInstall::OnReplacing>("OnReplacing"),
      P::Event<&TInstall::OnStatus>("OnStatus"),
      P::Event<&TInstall::OnUserAbort>("OnUserAbort"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TInstall, TCustomInstall>("TInstall", props);
  return info;
}

TDistributeType CurrentDistributeType() {
  TCustomInstall* install = Current();
  return install ? install->DistributeType() : dtTraditionalNet;
}

bool RunInProgress() {
  TCustomInstall* install = Current();
  return install && install->Installing();
}

double RunStartTime() { return RunStart(); }

std::string RunAfterInstallCommandLine(const std::string& destDir, const std::string& destName) {
  return "\"" + IncludeTrailingBackslash(destDir) + destName + "\"";
}

void RegisterEngineClasses() {
  RegisterObjectClasses();
  RegisterClass(TInstall::StaticClassInfo());
}

}  // namespace tav
