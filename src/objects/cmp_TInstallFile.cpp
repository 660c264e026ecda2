#include "objects/cmp_TInstallFile.h"

#include <algorithm>
#include <array>
#include <memory>

#include "archive/write_behind.h"
#include "core/properties.h"
#include "core/routines_API.h"
#include "core/routines_Strings.h"
#include "core/run_log.h"
#include "objects/install_system.h"
#include "objects/routines_Registry.h"
#include "objects/uninstall_record.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/system.h"

namespace tav {

constexpr std::string_view kInstallFileTypeNames[] = {
    "iftNormal", "iftJustADLL", "iftApplicationSpecificDLL", "iftVendorSharedDLL", "iftSystemWideDLL"};
constinit const TNameList InstallFileTypeNames(kInstallFileTypeNames);

namespace {

const char* const kBlankDestDir =
    "Cannot compress,copy, or install the following file because it's destination directory is blank. File is :%s";
const char* const kBlankArchive =
    "Cannot either compress or decompress the following file because it's archive file property is blank. File is "
    ":%s";
const char* const kHelpKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";
const char* const kSharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// How many live install files hold each UniqueID. Counting rather than flagging lets a file give back
// the number it got at construction when the stream sets its stored one.
std::array<int, kMaxInstallFiles>& UniqueIDUses() {
  static auto* uses = new std::array<int, kMaxInstallFiles>{};
  return *uses;
}

void TakeUniqueID(int id) {
  if (id >= 0 && id < kMaxInstallFiles) ++UniqueIDUses()[static_cast<std::size_t>(id)];
}

void ReleaseUniqueID(int id) {
  if (id >= 0 && id < kMaxInstallFiles && UniqueIDUses()[static_cast<std::size_t>(id)] > 0)
    --UniqueIDUses()[static_cast<std::size_t>(id)];
}

int FirstFreeUniqueID() {
  const auto& uses = UniqueIDUses();
  const auto it = std::find(uses.begin(), uses.end(), 0);
  if (it == uses.end())
    throw IECustomInstallFile(
        "Cannot create another install file: a program can hold at most %d install files", kMaxInstallFiles);
  return static_cast<int>(it - uses.begin());
}

TDistributeType DistributionType() {
  TCurrentInstall* install = CurrentInstall();
  return install ? install->DistributeType() : dtTraditionalNet;
}

TFileRelated* InstallerArchive() {
  TCurrentInstall* install = CurrentInstall();
  return install ? dynamic_cast<TFileRelated*>(install->RootContainer()) : nullptr;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

bool WillOverwrite(const std::string& version, const std::string& dest, TOverwriteType rule, double date) {
  if (!sys::FileExists(dest)) return true;
  const std::uint8_t r = TVersionResource::IsFileNewerByInfo(version, dest, rule, date);
  return r == 0 || r == 2;
}

// ---- lists ----

void TCustomInstallFileList::Add(TCustomInstallFile* file) {
  if (!file) throw IECustomInstallFileList("Cannot add a blank entry to the TCustomInstallFileList object");
  items_.push_back(file);
}

void TCustomInstallFileList::Remove(TCustomInstallFile* file) {
  EraseLast(items_, file);
}

TCustomInstallFile* TCustomInstallFileList::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (%d)", index);
  return items_[static_cast<std::size_t>(index)];
}

int TCustomInstallFileList::IndexOf(const TCustomInstallFile* file) const {
  const auto it = std::find(items_.begin(), items_.end(), file);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TCustomInstallFileList& InstallFiles() {
  static auto* list = new TCustomInstallFileList;
  return *list;
}

TCustomInstallFileList& DeferredRegistrations() {
  static auto* list = new TCustomInstallFileList;
  return *list;
}

TRunSlot<bool>& RegistrationFailuresPropagateSlot() {
  static auto& slot = TRunSlot<bool>::Make("self-registration failures propagate", true);
  return slot;
}

// ---- construction ----

const TClassInfo& TCustomInstallFile::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCustomInstallFile, TFileRelated>("TCustomInstallFile");
  return info;
}

TCustomInstallFile::TCustomInstallFile(TComponent* owner) : TFileRelated(owner, kindInstallFile) {
  uniqueID_ = FirstFreeUniqueID();  // before anything else: a refused file must leave no trace
  TakeUniqueID(uniqueID_);
  SetInstallable(true);
  SetInclude(true);
  SetNet(false);
  InstallFiles().Add(this);
}

TCustomInstallFile::TCustomInstallFile(TComponent* owner, const std::string& path) : TCustomInstallFile(owner) {
  SetIncludeFromDir(ExcludeTrailingBackslash(ExtractFilePath(path)));
  SetFileName(ExtractFileName(path));
}

TCustomInstallFile::TCustomInstallFile(TComponent* owner, TInstallContainer* container, const std::string& path)
    : TCustomInstallFile(owner, path) {
  SetContainer(container);
}

TCustomInstallFile::~TCustomInstallFile() {
  Destroying();
  DeferredRegistrations().Remove(this);
  InstallFiles().Remove(this);
  ReleaseUniqueID(uniqueID_);
}

void TCustomInstallFile::SetUniqueID(int value) {
  ReleaseUniqueID(uniqueID_);
  uniqueID_ = value;
  TakeUniqueID(value);
}

void TCustomInstallFile::SetFileVersion(const std::string& value) { fileVersion_ = value.substr(0, 20); }

std::string TCustomInstallFile::SourcePath() const { return IncludeTrailingBackslash(includeFromDir_) + fileName_; }

std::string TCustomInstallFile::DestPath() { return IncludeTrailingBackslash(FullDestDir()) + destName_; }

std::string TCustomInstallFile::FinalDestPath() { return finalDestPath_.empty() ? DestPath() : finalDestPath_; }

bool TCustomInstallFile::FetchedOneByOne() const {
  return NetLocation() || overwriteMode_ == owVersion || overwriteMode_ == owDate || overwriteMode_ == owVersionDate;
}

void TCustomInstallFile::Raise(int code, TObject* po) {
  if (Container()) Container()->DoInformationEventControl(this, code, po);
}

// ---- the property rules ----

TCustomInstallFile::TFileProps TCustomInstallFile::CurrentProps() const {
  return {Container(), includeFromDir_, activeX_, fileType_, DestDirType(), destName_, DestDir(), fileName_};
}

void TCustomInstallFile::SetProperties(TFileProps p) {
  const bool containerChanged = p.container != Container();
  const bool destDirTypeChanged = p.destDirType != DestDirType();
  const bool fileNameChanged = !SameText(p.fileName, fileName_);
  const bool dirChanged = !SameText(p.includeFromDir, includeFromDir_);

  if (containerChanged && p.container && !dynamic_cast<TFileContainer*>(p.container))
    throw IECustomInstallFile(
        "The following TInstallFile component %s requires the Container property to be a component descended from "
        "the TFileContainer component",
        Name());
  if (auto* files = dynamic_cast<TFileContainer*>(p.container); files && (fileNameChanged || containerChanged || dirChanged)) {
    const std::string source = IncludeTrailingBackslash(p.includeFromDir) + p.fileName;
    if (files->FindFile(source)) throw IEfcDuplicateFile("There is already a file with the name :%s", source);
  }
  if (fileNameChanged && !Trim(p.fileName).empty()) p.destName = p.fileName;
  const std::string ext = UpperCase(ExtractFileExt(p.fileName));
  if (fileNameChanged || dirChanged) {
    registerAsHelp_ = ext == ".HLP" || ext == ".CNT";
    if (ext == ".OCX") {
      p.activeX = true;
    } else {
      const std::string savedDir = includeFromDir_, savedName = fileName_;
      includeFromDir_ = p.includeFromDir;
      fileName_ = p.fileName;
      try {
        p.activeX = HasOLESelfRegister();
      } catch (const Exception&) {
        p.activeX = false;
      }
      includeFromDir_ = savedDir;
      fileName_ = savedName;
    }
  }
  if (p.activeX && p.activeX != activeX_) p.fileType = iftSystemWideDLL;
  if (destDirTypeChanged && ext.size() == 4 && std::string(".DLL,.OCX,.BLL,.EXE").find(ext) != std::string::npos) {
    if (IsStandardClass(p.destDirType, srWindow) || IsStandardClass(p.destDirType, srBDEDLL))
      overwriteMode_ = owVersionDate;
    else if (IsStandardClass(p.destDirType, srSystem))
      p.fileType = iftSystemWideDLL;
  }
  if (p.fileType != fileType_) {
    switch (p.fileType) {
      case iftJustADLL:
      case iftApplicationSpecificDLL: overwriteMode_ = owVersionDate; break;
      case iftVendorSharedDLL:
      case iftSystemWideDLL:
        updateDLLCounter_ = true;
        overwriteMode_ = owVersionDate;
        break;
      case iftNormal: break;
    }
  }

  applying_ = true;
  try {
    if (destDirTypeChanged) TInstallContainer::SetDestDirType(p.destDirType);
    TFileRelated::SetContainer(p.container);
    switch (p.fileType) {
      case iftApplicationSpecificDLL:
        p.destDir = "\\System";
        TInstallContainer::SetDestDirType(StandardSpecifier(srMainInstall));
        break;
      case iftVendorSharedDLL:
        p.destDir = "\\System";
        TInstallContainer::SetDestDirType(StandardSpecifier(srCommonFiles));
        break;
      case iftSystemWideDLL:
        p.destDir.clear();
        TInstallContainer::SetDestDirType(StandardSpecifier(srSystem));
        break;
      default:
        // A new container resets the destination to its own; otherwise the value asked for stands.
        if (!containerChanged) TInstallContainer::SetDestDir(p.destDir);
        break;
    }
    if (p.fileType != iftNormal && p.fileType != iftJustADLL) TInstallContainer::SetDestDir(p.destDir);
  } catch (...) {
    applying_ = false;
    throw;
  }
  applying_ = false;
  includeFromDir_ = p.includeFromDir;
  fileName_ = p.fileName;
  destName_ = p.destName;
  fileType_ = p.fileType;
  activeX_ = p.activeX;
}

template <class T, class Store>
void TCustomInstallFile::Change(T TFileProps::*field, const T& value, Store store) {
  if (Loading() || applying_) {
    store();
    return;
  }
  TFileProps p = CurrentProps();
  p.*field = value;
  SetProperties(p);
}

void TCustomInstallFile::SetContainer(TInstallContainer* value) {
  Change(&TFileProps::container, value, [&] { TFileRelated::SetContainer(value); });
}

void TCustomInstallFile::SetDestDir(const std::string& value) {
  Change(&TFileProps::destDir, value, [&] { TInstallContainer::SetDestDir(value); });
}

void TCustomInstallFile::SetDestDirType(TCustomPathSpecifier* value) {
  Change(&TFileProps::destDirType, value, [&] { TInstallContainer::SetDestDirType(value); });
}

void TCustomInstallFile::SetIncludeFromDir(const std::string& value) {
  Change(&TFileProps::includeFromDir, value, [&] { includeFromDir_ = value; });
}

void TCustomInstallFile::SetActiveX(bool value) {
  Change(&TFileProps::activeX, value, [&] { activeX_ = value; });
}

void TCustomInstallFile::SetFileType(TInstallFileType value) {
  Change(&TFileProps::fileType, value, [&] { fileType_ = value; });
}

void TCustomInstallFile::SetDestName(const std::string& value) {
  Change(&TFileProps::destName, value, [&] { destName_ = value; });
}

void TCustomInstallFile::SetFileName(const std::string& value) {
  Change(&TFileProps::fileName, value, [&] { fileName_ = value; });
}

bool TCustomInstallFile::HasOLESelfRegister() { return install_os::HasVersionString(SourcePath(), "OLESelfRegister"); }

// ---- installing ----

std::string TCustomInstallFile::FullArchiveFile() {
  const TDistributeType type = DistributionType();
  if ((type == dtWeb || (type != dtTraditional && Net())) && state_ == ifsInstall) {
    std::string local;
    if (FetchedOneByOne() && HasLocalArchive()) return LocalArchive().empty() && FindLocalFile(local) ? local : LocalArchive();
    if (auto* files = dynamic_cast<TFileContainer*>(Container()); files && files->HasLocalArchive())
      return files->LocalArchive().empty() ? files->LocalArchivePath() : files->LocalArchive();
  }
  return TFileRelated::FullArchiveFile();
}

void TCustomInstallFile::Install() {
  // A Cancel between two files (the progress window sets the flag) stops the run before the next one.
  if (UserAbortRequested()) throw EAIUserAbort();
  replaceAtReboot_ = false;
  finalDestPath_.clear();
  try {
    Raise(ieBeforeInstall, this);
    if (OnBeforeInstall) OnBeforeInstall(this);
  } catch (const EAbort&) {
    Raise(ieInstallAborted, this);
    return;
  }
  if (Trim(FullDestDir()).empty()) throw IECustomInstallFile(kBlankDestDir, Name());
  const std::string dest = DestPath();
  // Whether the destination is there is learnt by making it: under Wine a missing name costs a listing
  // of its folder, once for asking and once more for the create. A file made here is written by the
  // extraction, or removed when the file is not installed after all.
  TvrkCompress().MakeFolder(FullDestDir());
  TClaimedFile claim{dest, sys::File::Open(dest, sys::OpenMode::CreateNew)};
  destExisted_ = !claim.file.IsOpen() && sys::FileExists(dest);
  // The file found may be one this install is still writing behind: it is complete before it is judged.
  if (destExisted_)
    if (TWriteBehind* behind = ActiveWriteBehind()) behind->Wait();
  // A missing destination is always written: it need not be looked up again.
  willCopy_ = !destExisted_ || WillOverwrite(fileVersion_, dest, overwriteMode_, fileDate_);
  if (willCopy_) {
    try {
      PrepareReplace();
    } catch (const EAbort&) {
      willCopy_ = false;
    }
  }
  if (!willCopy_) {
    LogEvent("File kept: %s (the existing file stays under the overwrite rule)", dest);
    Raise(ieNotInstalled, this);
    FinishInstall();
    if (OnAfterInstall) OnAfterInstall(this);
    Raise(ieAfterInstall, this);
    TFileRelated::Install();
    return;
  }

  const TDistributeType type = DistributionType();
  std::unique_ptr<TTvrkCompress> own;
  TTvrkCompress* compressor = nullptr;
  if (type != dtTraditional && (Net() || type == dtWeb)) {
    // Only a fetched archive can have a local copy; the record is not asked for the others' sake.
    std::string local;
    if (FindLocalFile(local)) SetLocalArchive(local);
    auto* files = dynamic_cast<TFileContainer*>(Container());
    if (FetchedOneByOne())
      DownloadArchive();
    else if (files && !files->HasLocalArchive())
      files->DownloadArchive();
  } else if (TFileRelated* installer = InstallerArchive();
             installer && SameText(FullArchiveFile(), installer->FullArchiveFile())) {
    compressor = &TvrkCompress();
  }
  if (!compressor) {
    own = std::make_unique<TTvrkCompress>(nullptr);
    compressor = own.get();
  }
  if (claim.file.IsOpen()) compressor->ClaimDestination(std::move(claim));
  struct TDrop {
    TTvrkCompress& c;
    ~TDrop() { c.DropClaim(); }
  } drop{*compressor};
  Extract(*compressor);
}

void TCustomInstallFile::Extract(TTvrkCompress& compressor) {
  state_ = ifsInstall;
  TRunSlotScope<TTvrkCompress*> active(ActiveExtractorSlot(), &compressor);
  try {
    const std::string destDir = FullDestDir();
    compressor.MakeFolder(destDir);  // found again only when it differs from the last file's
    const std::string archive = FullArchiveFile();
    if (Trim(archive).empty()) throw IECustomInstallFile(kBlankArchive, fileName_);
    compressor.SetCompressedFile(archive);
    compressor.SetExtractDirectory(destDir);
    compressor.ExtractName = destName_;
    // The overwrite decision is made already; the extractor must not take it again.
    compressor.SetOverwrite(owAlways);
    compressor.OnAborted = [this](TObject&) { CompressorAborted(); };
    compressor.OnNewDisk = [this](TTvrkCompress& c, int disk, std::string& path) { DiskRequest(c, disk, path); };
    compressor.OnStatus = [this](TTvrkCompress&, const TlzhFileStats& stats) { CompressorStatus(stats); };
    TStringList files;
    files.Add(SourcePath());
    compressor.SetFilesToProcess(files);
    // A plain file is finished behind the next ones; one that is registered, replaced at the restart or
    // given to an OnAfterInstall handler is complete before it is used.
    compressor.SetDeferWrites(!activeX_ && !replaceAtReboot_ && !OnAfterInstall);
    compressor.ExtractFiles();
    if (compressor.Abort()) throw EAIUserAbort();
    if (replaceAtReboot_)
      LogEvent("File in use: %s is written as %s and replaces it when the computer restarts", FinalDestPath(),
               DestPath());
    else
      LogEvent("File written: %s", DestPath());
    FinishInstall();
    if (OnAfterInstall) OnAfterInstall(this);
    Raise(ieAfterInstall, this);
    TFileRelated::Install();
  } catch (...) {
    try {
      EndOperation(&compressor);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
  EndOperation(&compressor);
}

void TCustomInstallFile::EndOperation(TTvrkCompress* compressor) {
  TTvrkCompress& c = compressor ? *compressor : TvrkCompress();
  c.OnNewDisk = nullptr;
  c.OnStatus = nullptr;
  c.OnAborted = nullptr;
  if (c.Abort() && &c != &TvrkCompress()) TvrkCompress().SetAbort(true);
  state_ = ifsNone;
  try {
    Broadcast(this, ncOperationEnded, nullptr);
  } catch (...) {
    c.SetAbort(true);
    throw;
  }
}

void TCustomInstallFile::FinishInstall() {
  // A file replaced at the restart is known by the name it will have then.
  const std::string path = FinalDestPath();
  if (registerAsHelp_) WriteRegString(hkLocalMachine, kHelpKey, UpperCase(ExtractFileName(path)), ExtractFileDir(path));
  if (updateDLLCounter_ && !IncrementSharedDLLCount())
    throw IECustomInstallFile("Cannot update the DLL count for the following file :%s:", fileName_);
  TCurrentInstall* install = CurrentInstall();
  if (replaceAtReboot_ && install) {
    install->AddUnfinished(Name(), 0);
  } else if (activeX_) {
    try {
      RegisterSelf();
    } catch (const Exception&) {
      if (RegistrationFailuresPropagateSlot().Get()) throw;
      if (DeferredRegistrations().IndexOf(this) < 0) DeferredRegistrations().Add(this);
    }
  }
}

bool TCustomInstallFile::IncrementSharedDLLCount() {
  sys::RegKey key = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, true);
  if (!key.IsOpen())
    throw IECustomInstallFile(
        "Could not open the key SharedDLLs key in the registry. File component %s. GetLastError return: %d", Name(),
        static_cast<int>(install_os::LastError()));
  const std::string path = FinalDestPath();
  const std::string shortName = sys::ShortPath(path);
  std::uint32_t count = 0;
  if (key.ReadDword(shortName, count) && key.WriteDword(shortName, count + 1)) {
    LogRegistryValue(hkLocalMachine, kSharedDLLsKey, shortName, std::to_string(count + 1));
    return true;
  }
  count = 0;
  key.ReadDword(path, count);  // a missing counter starts at 0
  if (!key.WriteDword(path, count + 1)) return false;
  LogRegistryValue(hkLocalMachine, kSharedDLLsKey, path, std::to_string(count + 1));
  return true;
}

void TCustomInstallFile::RegisterSelf() {
  if (Trim(FullDestDir() + destName_).empty()) throw IECustomInstallFile(kBlankDestDir, Name());
  if (!sys::FileExists(DestPath()))
    throw IECustomInstallFile("Could not register the ActiveX component, %s, because the file does not exist. The "
                              "file component is %s",
                              DestPath(), Name());
  if (UpperCase(ExtractFileExt(fileName_)) == ".EXE")
    RegisterEXE();
  else
    RegisterDLL();
}

void TCustomInstallFile::RegisterDLL() {
  const std::string path = DestPath();
  const install_os::TRegisterResult r = install_os::CallDllRegisterServer(path, FullDestDir());
  switch (r.status) {
    case install_os::TRegisterResult::rsLoadFailed:
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the LoadLibrary(%s) procedure returned a value of 0. "
          "The file component is %s. The following value is the value of the GetLastError function: %d",
          path, path, Name(), static_cast<int>(r.error));
    case install_os::TRegisterResult::rsNoEntry:
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the DllRegisterServer function could not be found. "
          "The file component is %s. The following value is the value of the GetLastError function: %d",
          path, Name(), static_cast<int>(r.error));
    case install_os::TRegisterResult::rsFailed:
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the DllRegisterServer function returned a value of "
          "%d. The file component is %s",
          path, static_cast<int>(r.result), Name());
    case install_os::TRegisterResult::rsDone: break;
  }
}

void TCustomInstallFile::RegisterEXE() {
  const std::string path = DestPath();
  // Quoted: a blank in the destination must not start another program.
  const std::string commandLine = Quoted(path) + " /REGSERVER";
  unsigned error = 0;
  if (!install_os::StartHidden(commandLine, FullDestDir(), error))
    throw IECustomInstallFile(
        "Could not register the ActiveX component, %s, because the WinExec(%s,SW_HIDE) function returned a value < "
        "32. The file component is %s. The following value is the value of the GetLastError function: %d",
        path, commandLine, Name(), static_cast<int>(error));
}

void TCustomInstallFile::WriteUninstall(const std::string& key) {
  // A file replaced at the restart is recorded where it will stand then: its temporary name is gone.
  const std::string path = FinalDestPath();
  if (activeX_)
    AppendUninstallActiveX(key, path, UpperCase(ExtractFileExt(fileName_)) == ".EXE");
  else
    AppendUninstallFile(key, path);
}

void TCustomInstallFile::ResumeAfterReboot() {
  if (activeX_) RegisterSelf();
}

void TCustomInstallFile::PrepareReplace() {
  if (OnReplacing) OnReplacing(this);
  Broadcast(this, ncReplacing, this);
  Raise(ieReplacing, this);
  willCopy_ = true;
  const std::string inUse = DestPath();
  // Asked without deleting: the user's file stays until the new one is complete. Install has just
  // looked for it; a missing name costs a listing of its folder under Wine, so it is not asked twice.
  if (!destExisted_ || !install_os::FileInUse(inUse)) return;

  replaceAtReboot_ = true;
  const std::string dir = IncludeTrailingBackslash(FullDestDir());
  std::string tempName;
  for (int n = 1;; ++n) {
    tempName = ChangeFileExt(destName_, "." + std::to_string(n));
    if (!sys::FileExists(dir + tempName)) break;
  }
  finalDestPath_ = inUse;
  applying_ = true;  // the name changes for this run only; no property rule applies
  destName_ = tempName;
  applying_ = false;
  Scheduled(inUse, tempName);
}

void TCustomInstallFile::Scheduled(const std::string& inUse, const std::string& tempName) {
  std::string shortInUse = inUse;
  try {
    shortInUse = ShortPathName(inUse);
  } catch (const Exception&) {
    // No short form: the long one serves.
  }
  const std::string shortTemp = ExtractFilePath(shortInUse) + tempName;
  TCurrentInstall* install = CurrentInstall();
  if (WindowsVersion() == 1) {
    install_os::WriteWininitRename(shortInUse, shortTemp);
    if (install) install->SetReboot(true);
    return;
  }
  if (install) install->SetReboot(true);
  if (install_os::MoveAtRestart(IncludeTrailingBackslash(FullDestDir()) + tempName, inUse) || !install) return;

  const std::string batch = ChangeFileExt(TempFileName(false), ".bat");
  // The old file goes only when the new one is there to take its place.
  const std::string text = "if exist " + Quoted(shortTemp) + " erase " + Quoted(shortInUse) + "\r\n" +
                           "if exist " + Quoted(shortTemp) + " move " + Quoted(shortTemp) + " " + Quoted(shortInUse) +
                           "\r\n";
  if (!sys::WriteFileReplacing(batch, text))
    throw IECustomInstallFile("%s cannot register a routine in the register to move the files after the computer is "
                              "reboot",
                              Name());
  install->AddUnfinished(batch, 1);
  if (!AddRunOnce("TavenrikBatFile", batch, true))
    throw IECustomInstallFile("%s cannot register a routine in the register to move the files after the computer is "
                              "reboot",
                              Name());
}

// ---- progress ----

void TCustomInstallFile::CompressorAborted() { throw EAIUserAbort(); }

void TCustomInstallFile::CompressorStatus(const TlzhFileStats& stats) {
  TInstallFileStatus status;
  status.BytesDone = stats.BytesDone;
  status.FilePercentDone = stats.PercentDone;
  status.FileName = fileName_;
  status.Stats = stats;
  status.TotalBytesDone = stats.TotalBytesDone;
  status.TotalPercentDone = stats.TotalPercentDone;
  TList list;
  list.Items = {this, &status};
  if (OnStatus) OnStatus(this, status.FilePercentDone, status.TotalPercentDone);
  Broadcast(this, ncFileStatus, &status);
  Raise(state_ == ifsCompress ? ieCompressStatus : state_ == ifsInstall ? ieInstallStatus : ieCopyStatus, &list);
}

void TCustomInstallFile::DiskRequest(TTvrkCompress& compressor, int diskNumber, std::string& path) {
  SetTag(0);
  TDiskParameter disk;
  disk.NewDisk = diskNumber;
  disk.Path = ExcludeTrailingBackslash(ExtractFilePath(FullArchiveFile()));
  TList list;
  list.Items = {this, &disk};
  if (OnNewDisk) OnNewDisk(this, diskNumber, disk.Path);
  Broadcast(this, ncChangeDisk, &list);
  Raise(ieNewDisk, &list);
  if (!OnNewDisk && Tag() == 0) {
    TCurrentInstall* install = CurrentInstall();
    const bool ok = install_os::AskOkCancel(Format(TranslateMessage("Please insert disk #%d"), diskNumber),
                                            install ? install->ProductName() : std::string());
    compressor.SetAbort(!ok);
  }
  path = ExcludeTrailingBackslash(disk.Path);
  SetTag(0);
}

// ---- build mode, copying, information ----

template <class F>
void TCustomInstallFile::RunOperation(TInstallFileState state, F&& body) {
  state_ = state;
  try {
    body();
  } catch (const EAbort&) {
    // A silent abort skips the file.
  } catch (...) {
    try {
      EndOperation(nullptr);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
  EndOperation(nullptr);
}

void TCustomInstallFile::Compress() {
  RunOperation(ifsCompress, [&] {
    TTvrkCompress& compressor = TvrkCompress();
    if (OnBeforeCompress) OnBeforeCompress(this);
    Raise(ieBeforeCompress, this);
    const std::string archive = FullArchiveFile();
    if (Trim(archive).empty()) throw IECustomInstallFile(kBlankArchive, fileName_);
    if (!Include()) throw EAbort(std::string());
    compressor.SetCompressedFile(archive);  // AddFiles makes its folder
    compressor.OnAborted = [this](TObject&) { CompressorAborted(); };
    compressor.OnStatus = [this](TTvrkCompress&, const TlzhFileStats& stats) { CompressorStatus(stats); };
    TStringList files;
    files.Add(SourcePath());
    compressor.SetFilesToProcess(files);
    compressor.AddFiles(AddToArchive(), uniqueID_);
    compressed_ = true;
    archiveUsed_ = compressor.CompressedFile();
    compressedSize_ = compressor.Stats().CompressedSize;
    if (OnAfterCompress) OnAfterCompress(this);
    Raise(ieAfterCompress, this);
  });
}

void TCustomInstallFile::Copy() {
  RunOperation(ifsCopying, [&] {
    if (OnBeforeCopy) OnBeforeCopy(this);
    Raise(ieBeforeCopy, this);
    if (!Include()) throw EAbort(std::string());
    if (Trim(FullDestDir()).empty()) throw IECustomInstallFile(kBlankDestDir, Name());
    CreateDirectories(FullDestDir());
    TTvrkCompress& compressor = TvrkCompress();
    compressor.OnStatus = [this](TTvrkCompress&, const TlzhFileStats& stats) { CompressorStatus(stats); };
    compressor.CopyUncompressed(SourcePath(), DestPath());
    if (OnAfterCopy) OnAfterCopy(this);
    Raise(ieAfterCopy, this);
  });
}

void TCustomInstallFile::SetState(TInstallFileState value) {
  try {
    switch (value) {
      case ifsCompress: Compress(); break;
      case ifsInstall: Process(); break;
      case ifsCopying: Copy(); break;
      case ifsNone: break;
    }
  } catch (...) {
    state_ = ifsNone;
    throw;
  }
  state_ = ifsNone;
}

void TCustomInstallFile::ReadInfoFromFile() {
  const std::string source = SourcePath();
  sys::File file = sys::File::Open(source, sys::OpenMode::ReadShared);
  if (!file.IsOpen())
    throw IECustomInstallFile(
        "Could not open or find the following file when trying to read the Size, Date, and Version :%s", source);
  fileDate_ = file.LastWriteTime();
  fileSize_ = file.Size();
  SetFileVersion(ReadFileVersion(file));
}

void TCustomInstallFile::ReadInfoFromArchive() {
  TCurrentInstall* install = CurrentInstall();
  if (install && install->Installing() && ArchiveInfoRead()) return;
  const TDistributeType type = DistributionType();
  std::string local;
  if (type == dtTraditional || (type == dtTraditionalNet && !Net())) {
    ReadInfoFrom(FullArchiveFile());
  } else if (FetchedOneByOne() && HasLocalArchive()) {
    ReadInfoFrom(!LocalArchive().empty() ? LocalArchive() : FindLocalFile(local) ? local : std::string());
  } else if (auto* files = dynamic_cast<TFileContainer*>(Container())) {
    if (files->HasLocalArchive())
      ReadInfoFrom(files->LocalArchive().empty() ? files->LocalArchivePath() : files->LocalArchive());
  } else {
    throw IECustomInstallFile(
        "%s cannot perform ReadInfoFromArchive because either no container is assigned or the container is not "
        "TFileContainer",
        Name());
  }
}

void TCustomInstallFile::ReadInfoFrom(const std::string& archive) {
  if (Trim(archive).empty()) throw IECustomInstallFile(kBlankArchive, fileName_);
  std::unique_ptr<TTvrkCompress> own;
  TTvrkCompress* compressor = nullptr;
  if (TFileRelated* installer = InstallerArchive(); installer && SameText(archive, installer->FullArchiveFile()))
    compressor = &TvrkCompress();
  else
    compressor = (own = std::make_unique<TTvrkCompress>(nullptr)).get();
  compressor->SetCompressedFile(archive);
  const int index = compressor->GetHeaderIndex(uniqueID_);
  if (index < 0 || index >= compressor->GetFileCount()) return;
  TlzhFileStats stats;
  compressor->GetFileStats(index, stats);
  // An ID the archive does not hold reads as index 0: that member belongs to another file.
  if (stats.Header.UniqueID != uniqueID_) return;
  compressedSize_ = stats.Header.CompressedSize;
  fileDate_ = stats.Header.FileDate;
  fileSize_ = stats.Header.FileSize;
  SetFileVersion(stats.Header.FileVersion);
  SetArchiveInfoRead(true);
}

// ---- TInstallFile ----

const TClassInfo& TInstallFile::StaticClassInfo() {
  using P = Props<TInstallFile>;
  static constexpr TPropInfo props[] = {
      P::String<&TInstallFile::ArchiveFile, &TInstallFile::SetArchiveFile>("ArchiveFile"),
      P::Reference<TCustomPathSpecifier, &TInstallFile::ArchiveFileType, &TInstallFile::SetArchiveFileType>(
          "ArchiveFileType"),
      P::Enum<&TInstallFile::AddToArchive, &TInstallFile::SetAddToArchive>("AddToArchive", lzhCommandNames,
                                                                           lzcOverwrite),
      P::Reference<TInstallContainer, &TInstallFile::Container, &TInstallFile::SetContainer>("Container"),
      P::String<&TInstallFile::DestDir, &TInstallFile::SetDestDir>("DestDir"),
      P::Reference<TCustomPathSpecifier, &TInstallFile::DestDirType, &TInstallFile::SetDestDirType>("DestDirType"),
      P::Boolean<&TInstallFile::Include, &TInstallFile::SetInclude>("Include", true),
      P::Set<&TInstallFile::InstallTypesMask, &TInstallFile::SetInstallTypesMask>("InstallTypes", InstallTypeNames,
                                                                                  1 << itAlways),
      P::Boolean<&TInstallFile::Net, &TInstallFile::SetNet>("Net", false),
      P::Reference<TCustomNetInstallLocation, &TInstallFile::NetLocation, &TInstallFile::SetNetLocation>("NetLocation"),
      P::Integer<&TInstallFile::Order, &TInstallFile::SetOrder>("Order"),
      P::Boolean<&TInstallFile::ActiveX, &TInstallFile::SetActiveX>("ActiveX", false),
      P::String<&TInstallFile::DestName, &TInstallFile::SetDestName>("DestName"),
      P::String<&TInstallFile::FileName, &TInstallFile::SetFileName>("FileName"),
      P::Enum<&TInstallFile::FileType, &TInstallFile::SetFileType>("FileType", InstallFileTypeNames, iftNormal),
      P::String<&TInstallFile::IncludeFromDir, &TInstallFile::SetIncludeFromDir>("IncludeFromDir"),
      P::Enum<&TInstallFile::OverwriteMode, &TInstallFile::SetOverwriteMode>("OverwriteMode", OverwriteTypeNames,
                                                                             owAlways),
      P::Boolean<&TInstallFile::RegisterAsHelp, &TInstallFile::SetRegisterAsHelp>("RegisterAsHelp", false),
      P::Boolean<&TInstallFile::RunAfterInstall, &TInstallFile::SetRunAfterInstall>("RunAfterInstall", false),
      P::Boolean<&TInstallFile::UpdateDLLCounter, &TInstallFile::SetUpdateDLLCounter>("UpdateDLLCounter", false),
      P::Integer<&TInstallFile::UniqueID, &TInstallFile::SetUniqueID>("UniqueID"),
      P::Event<&TInstallFile::OnAfterCompress>("OnAfterCompress"),
      P::Event<&TInstallFile::OnAfterCopy>("OnAfterCopy"),
      P::Event<&TInstallFile::OnAfterInstall>("OnAfterInstall"),
      P::Event<&TInstallFile::OnBeforeCompress>("OnBeforeCompress"),
      P::Event<&TInstallFile::OnBeforeCopy>("OnBeforeCopy"),
      P::Event<&TInstallFile::OnBeforeInstall>("OnBeforeInstall"),
      P::Event<&TInstallFile::OnNewDisk>("OnNewDisk"),
      P::Event<&TInstallFile::OnReplacing>("OnReplacing"),
      P::Event<&TInstallFile::OnStatus>("OnStatus"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TInstallFile, TCustomInstallFile>("TInstallFile", props);
  return info;
}

}  // namespace tav
