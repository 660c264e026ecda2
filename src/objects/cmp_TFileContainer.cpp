#include "objects/cmp_TFileContainer.h"

#include <cmath>

#include "archive/write_behind.h"
#include "core/properties.h"
#include "core/routines_API.h"
#include "core/routines_Strings.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/routines_Registry.h"
#include "objects/uninstall_record.h"
#include "sys/files.h"
#include "sys/registry.h"

namespace tav {

constexpr std::string_view kInstallFileStateNames[] = {"ifsNone", "ifsCompress", "ifsInstall", "ifsCopying"};
constinit const TNameList InstallFileStateNames(kInstallFileStateNames);

constexpr std::string_view kLzhCommandNames[] = {"lzcOverwrite", "lzcOnlyAdd"};
constinit const TNameList lzhCommandNames(kLzhCommandNames);

namespace {

// part of whole in percent, halves to even; a whole of 0 counts as done.
int Percent(std::int64_t part, std::int64_t whole) {
  if (whole <= 0) return 100;
  const double p = std::nearbyint(static_cast<double>(part) * 100.0 / static_cast<double>(whole));
  return p < 0 ? 0 : p > 100 ? 100 : static_cast<int>(p);
}

// The local-file record of an object: below this run's install record. Nothing without a record.
std::string LocalFileKey(const std::string& name) {
  if (InstallRecordKey().empty() || Trim(name).empty()) return std::string();
  return IncludeTrailingBackslash(InstallRecordKey()) + name;
}

TFileRelated* InstallerArchive() {
  TCurrentInstall* install = CurrentInstall();
  return install ? dynamic_cast<TFileRelated*>(install->RootContainer()) : nullptr;
}

}  // namespace

TCustomNetInstallLocation* GetNetLocation(const TFileRelated* obj) {
  if (!obj) return nullptr;
  if (obj->NetLocation()) return obj->NetLocation();
  if (dynamic_cast<const TCustomInstallFile*>(obj) && obj->Container()) {
    auto* container = dynamic_cast<const TFileContainer*>(obj->Container());
    return container ? GetNetLocation(container) : nullptr;
  }
  TCurrentInstall* install = CurrentInstall();
  return install ? install->NetLocation() : nullptr;
}

// ---- TFileRelated ----

const TClassInfo& TFileRelated::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TFileRelated, TInstallObject>("TFileRelated");
  return info;
}

TFileRelated::TFileRelated(TComponent* owner, int kind) : TInstallObject(owner, kind) {
  SetInstallable(true);
  if (!DefaultContainerApplied()) return;
  // Placed in the installer by a designer: the archive defaults to the container's, as a design-time
  // default that Loaded withdraws unless the stream confirms it.
  archiveFileType_ = StandardSpecifier(srContainerArchiveFile);
  if (archiveFileType_) archiveFileType_->FreeNotification(this);
  archiveFile_.clear();
  defaultArchiveFileType_ = true;
}

bool TFileRelated::NamesArchiveItself(const TCustomPathSpecifier* specifier) {
  return HasRole(specifier, srContainerArchiveFile) || HasRole(specifier, srMainArchiveFile);
}

void TFileRelated::Loaded() {
  if (defaultArchiveFileType_ && !archiveFileTypeAssigned_) SetArchiveFileType(nullptr);
  defaultArchiveFileType_ = false;
  TInstallObject::Loaded();
  std::string local;
  if (FindLocalFile(local)) localArchive_ = local;
}

void TFileRelated::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != opRemove || !component) return;
  if (component == archiveFileType_) archiveFileType_ = nullptr;
  if (component == netLocation_) netLocation_ = nullptr;
}

void TFileRelated::SetContainer(TInstallContainer* value) {
  if (value == Container()) {
    TInstallObject::SetContainer(value);  // only marks the reference as assigned
    return;
  }
  TInstallObject::SetContainer(value);
  if (Loading()) return;
  if (dynamic_cast<TFileRelated*>(value)) {
    SetArchiveFileType(StandardSpecifier(srContainerArchiveFile));
    SetArchiveFile("");
  } else if (HasRole(archiveFileType_, srContainerArchiveFile)) {
    SetArchiveFileType(nullptr);
  }
}

void TFileRelated::SetArchiveFile(const std::string& value) {
  if (!Loading() && NamesArchiveItself(archiveFileType_)) {
    archiveFile_.clear();
    return;
  }
  archiveFile_ = value;
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* value) {
  archiveFileTypeAssigned_ = true;
  if (!Loading() && value) {
    value->Validate(this);
    if (NamesArchiveItself(value)) archiveFile_.clear();
  }
  archiveFileType_ = value;
  if (value) value->FreeNotification(this);
}

void TFileRelated::SetNetLocation(TCustomNetInstallLocation* value) {
  netLocation_ = value;
  if (value) value->FreeNotification(this);
}

std::string TFileRelated::FullArchiveFile() {
  const std::string path = archiveFileType_ ? archiveFileType_->GetPath(this) + archiveFile_ : archiveFile_;
  return ExcludeTrailingBackslash(path);
}

bool TFileRelated::FindLocalFile(std::string& path) const {
  const std::string key = LocalFileKey(Name());
  if (key.empty()) return false;
  const std::string value = Trim(ReadRegString(hkLocalMachine, key, "LocalFile", ""));
  if (value.empty() || !sys::FileExists(value)) return false;
  path = value;
  return true;
}

bool TFileRelated::HasLocalArchive() const {
  if (!Trim(localArchive_).empty()) return true;
  std::string ignored;
  return FindLocalFile(ignored);
}

void TFileRelated::WriteLocalFile(const std::string& path) const {
  const std::string key = LocalFileKey(Name());
  if (key.empty() || Trim(path).empty()) return;
  sys::RegKey record = sys::RegKey::Open(sys::RootKey::LocalMachine, key, true);
  if (record.IsOpen()) record.WriteString("LocalFile", path);
}

std::string TFileRelated::NetPath() const {
  TCustomNetInstallLocation* location = GetNetLocation(this);
  if (!location) throw IEFileRel_NoNetLocation("Could not find a net install location for %s", Name());
  const std::string host = MakeFileNameSafe(location->Hostname());
  if (!Trim(location->Directory()).empty()) return MakeFileNameSafe(location->Directory()) + "\\" + host;
  const char* root = location->Protocol() == TCustomNetInstallLocation::ipFTP     ? "FTP Root directory"
                     : location->Protocol() == TCustomNetInstallLocation::ipHTTPS ? "HTTPS Root directory"
                                                                                 : "HTTP Root directory";
  return std::string(root) + "\\" + host;
}

void TFileRelated::DownloadArchive() {
  std::string local;
  if (FindLocalFile(local)) {
    localArchive_ = local;
    return;
  }
  TCustomNetInstallLocation* location = GetNetLocation(this);
  if (!location) throw Exception(TranslateMessage("Could not find a net install location for %s"), Name());
  if (!location->LoginFilledIn()) {
    if (netLocation_)
      throw IEFileRelated(
          "%s could not install itself because the TNetLocation component's properties, in the NetLocation "
          "property, have not been filled in",
          Name());
    throw IEFileRelated(
        "%s could not install itself because the LoginInformation property of the TInstall component has not been "
        "properly filled in",
        Name());
  }
  // Only the ".1" name of the temporary file is used; the empty file itself goes again.
  const std::string borrowed = TempFileName(true);
  localArchive_ = ChangeFileExt(borrowed, ".1");
  sys::RemoveFile(borrowed);
  location->SecondDataReceived = [this](TObject* sender, const std::string& fileName, std::int64_t bytes,
                                        std::int64_t totalBytes, std::int64_t fileSize, const char* buffer) {
    DataReceived(sender, fileName, bytes, totalBytes, fileSize, buffer);
  };
  auto dropPartial = [&] {
    sys::RemoveFile(localArchive_);
    localArchive_.clear();
  };
  try {
    location->Download(ChangeFileExt(Name(), ".1"), localArchive_);
  } catch (...) {
    location->SecondDataReceived = nullptr;
    if (location->DownloadAborted()) {
      dropPartial();
      throw EAIUserAbort();
    }
    dropPartial();
    throw;
  }
  location->SecondDataReceived = nullptr;
  if (location->DownloadAborted()) {
    dropPartial();
    throw EAIUserAbort();
  }
  if (!HasState(csDesigning)) WriteLocalFile(localArchive_);
}

void TFileRelated::DataReceived(TObject*, const std::string& fileName, std::int64_t bytes, std::int64_t totalBytes,
                                std::int64_t fileSize, const char* buffer) {
  TDownloadStatusParameter parameter;
  parameter.Bytes = bytes;
  parameter.FileName = fileName;
  parameter.FileSize = fileSize;
  parameter.TotalBytes = totalBytes;
  parameter.Percent = fileSize > 0 ? static_cast<int>(std::nearbyint(totalBytes * 100.0 / fileSize)) : 0;
  if (OnDataReceived) OnDataReceived(this, fileName, bytes, totalBytes, fileSize, buffer);
  Broadcast(this, ncDownloadStatus, &parameter);
  if (Container()) Container()->DoInformationEventControl(this, ieDownloadStatus, &parameter);
}

// ---- TFileContainer ----

const TClassInfo& TFileContainer::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TFileContainer, TFileRelated>("TFileContainer");
  return info;
}

TFileContainer::TFileContainer(TComponent* owner)
    : TFileRelated(owner, kindFileContainer), description_(std::make_unique<TStringList>()) {}

TFileContainer::~TFileContainer() {
  Destroying();
  FreeInstallFiles();
}

void TFileContainer::RaiseOnContainer(int code, TObject* po) {
  if (Container()) Container()->DoInformationEventControl(this, code, po);
}

void TFileContainer::DoInformationEventControl(TObject* sender, int code, TObject* po) {
  if (state_ == ifsNone) return;
  if (!po) throw IEFileContainer("%s got a nil PO parameter", Name());
  switch (code) {
    case ieReplacing: {
      auto* file = dynamic_cast<TCustomInstallFile*>(po);
      if (!file) throw IEFileContainer("DoInformationEventControl parameter is not TInstallFile");
      ReplacingRelay(file);
      break;
    }
    case ieInstallStatus:
    case ieCompressStatus:
    case ieCopyStatus:
    case ieNewDisk: {
      auto* list = dynamic_cast<TList*>(po);
      if (!list) throw IEFileContainer("DoInformationEventControl--PO is not a TList object");
      if (list->Items.size() < 2) throw IEFileContainer("DoInformationEventControl--Not engouh parameters for status event");
      auto* file = dynamic_cast<TCustomInstallFile*>(list->Items[0]);
      if (code == ieNewDisk) {
        if (!file) throw IEFileContainer("DoInformationEventControl says bad %d parameter", 1);
        auto* disk = dynamic_cast<TDiskParameter*>(list->Items[1]);
        if (!disk) throw IEFileContainer("DoInformationEventControl says bad %d parameter", 2);
        NewDiskRelay(file, *disk);
        Broadcast(this, ncChangeDisk, list);
        break;
      }
      if (!file) throw IEFileContainer("DoInformationEventControl says bad first parameter");
      auto* status = dynamic_cast<TFileStatusParameter*>(list->Items[1]);
      if (!status) throw IEFileContainer("DoInformationEventControl says bad second parameter");
      auto* stats = dynamic_cast<TInstallFileStatus*>(status);
      Progress(file, *status, stats && stats->Stats.FileDone, stats ? stats->Stats.FileSize : 0);
      break;
    }
    case ieDownloadStatus: {
      auto* download = dynamic_cast<TDownloadStatusParameter*>(po);
      if (!download) throw IEFileContainer("The PO object passed to %s is not a TDownloadStatusParameter object", Name());
      if (OnDataReceived)
        OnDataReceived(this, download->FileName, download->Bytes, download->TotalBytes, download->FileSize, nullptr);
      Broadcast(this, ncDownloadStatus, download);
      break;
    }
    case ieInstallAborted:
    case ieNotInstalled:
      SkippedFile(po);
      break;
    default:
      break;
  }
  RaiseOnContainer(code, po);
}

void TFileContainer::Progress(TCustomInstallFile* file, TFileStatusParameter& status, bool fileDone,
                              std::int64_t fileSize) {
  status.TotalBytesDone = sizeDone_ + status.BytesDone;
  status.TotalPercentDone = Percent(status.TotalBytesDone, sizeToProcess_);
  StatusRelay(file, status);
  if (fileDone) sizeDone_ += fileSize;
}

void TFileContainer::SkippedFile(TObject* po) {
  auto* file = dynamic_cast<TCustomInstallFile*>(po);
  if (!file) throw IEFileContainer("DoInformationEventControl says bad first parameter");
  TFileStatusParameter status;
  status.BytesDone = file->FileSize();
  status.FilePercentDone = 100;
  status.FileName = file->FileName();
  Progress(file, status, true, file->FileSize());
}

void TFileContainer::NewDiskRelay(TCustomInstallFile* file, TDiskParameter& disk) {
  if (!OnNewDisk) return;
  std::string path = disk.Path;
  OnNewDisk(file, disk.NewDisk, path);
  file->SetTag(1);  // answered: the file shows no prompt of its own
  disk.Path = path;
}

void TFileContainer::ReplacingRelay(TCustomInstallFile* file) {
  if (OnReplacing) OnReplacing(file);
  Broadcast(this, ncReplacing, file);
}

void TFileContainer::StatusRelay(TCustomInstallFile* file, TFileStatusParameter& status) {
  if (OnStatus) OnStatus(file, status.FilePercentDone, status.TotalPercentDone);
  Broadcast(this, ncFileStatus, &status);
}

std::int64_t TFileContainer::SumSizes(bool includeAll, bool withSubgroups) const {
  std::int64_t sum = 0;
  for (TInstallObject* helper : Helpers()) {
    if (auto* file = dynamic_cast<TCustomInstallFile*>(helper)) {
      if (includeAll || file->WillInstall()) sum += file->FileSize();
    } else if (auto* group = dynamic_cast<TFileContainer*>(helper); group && withSubgroups) {
      if (includeAll || group->WillInstall()) sum += group->TotalSize(includeAll);
    }
  }
  return sum;
}

std::int64_t TFileContainer::CompressedSize(bool includeAll) const {
  std::int64_t sum = 0;
  for (TInstallObject* helper : Helpers()) {
    if (auto* file = dynamic_cast<TCustomInstallFile*>(helper)) {
      if (includeAll || file->WillInstall()) sum += file->CompressedSize();
    } else if (auto* group = dynamic_cast<TFileContainer*>(helper)) {
      if (includeAll || group->WillInstall()) sum += group->CompressedSize(includeAll);
    }
  }
  return sum;
}

int TFileContainer::InstallFileCount() const { return CountOf(TCustomInstallFile::StaticClassInfo()); }

TCustomInstallFile* TFileContainer::InstallFile(int index) const {
  return static_cast<TCustomInstallFile*>(Comp(index, TCustomInstallFile::StaticClassInfo()));
}

bool TFileContainer::HasNetFiles() const {
  for (TInstallObject* helper : Helpers()) {
    auto* file = dynamic_cast<TCustomInstallFile*>(helper);
    if (file && file->Net()) return true;
  }
  return false;
}

bool TFileContainer::NeedsDownload() const {
  TCurrentInstall* install = CurrentInstall();
  if (!install || install->DistributeType() == dtTraditional) return false;
  for (TInstallObject* helper : Helpers()) {
    auto* file = dynamic_cast<TCustomInstallFile*>(helper);
    if (file && file->Net() && file->Include() && !file->NetLocation()) return true;
  }
  return false;
}

void TFileContainer::FreeInstallFiles() { FreeHelpersOf(TCustomInstallFile::StaticClassInfo()); }

TCustomInstallFile* TFileContainer::FindFile(const std::string& sourcePath) const {
  for (TInstallObject* helper : Helpers()) {
    auto* file = dynamic_cast<TCustomInstallFile*>(helper);
    if (file && SameText(file->SourcePath(), sourcePath)) return file;
  }
  return nullptr;
}

std::string TFileContainer::LocalArchivePath() const {
  std::string path;
  if (!FindLocalFile(path))
    throw IEFileContainer(
        "%s has not yet downloaded the archive file and therefore cannot retrieve the path of the archive file",
        Name());
  return path;
}

void TFileContainer::ReadArchiveInfo() {
  // By index: neither list changes while it is read, but a handler could.
  for (std::size_t i = 0; i < Helpers().size(); ++i) {
    if (auto* file = dynamic_cast<TCustomInstallFile*>(Helpers()[i])) file->ReadInfoFromArchive();
  }
  for (std::size_t i = 0; i < Helpers().size(); ++i) {
    if (auto* group = dynamic_cast<TFileContainer*>(Helpers()[i])) group->ReadArchiveInfo();
  }
  SetArchiveInfoRead(true);
}

void TFileContainer::ReadInfoFromFiles() {
  for (std::size_t i = 0; i < Helpers().size(); ++i) {
    if (auto* file = dynamic_cast<TCustomInstallFile*>(Helpers()[i])) file->ReadInfoFromFile();
  }
  for (std::size_t i = 0; i < Helpers().size(); ++i) {
    if (auto* group = dynamic_cast<TFileContainer*>(Helpers()[i])) group->ReadInfoFromFiles();
  }
}

namespace {
// Runs an operation of a container: state set for it, ifsNone and -996 at its end in every case.
template <class F>
void RunOperation(TFileContainer& c, TInstallFileState& state, TInstallFileState value, F&& body) {
  state = value;
  try {
    body();
  } catch (...) {
    state = ifsNone;
    c.Broadcast(&c, ncOperationEnded, nullptr);
    throw;
  }
  state = ifsNone;
  c.Broadcast(&c, ncOperationEnded, nullptr);
}
// Files extracted or added one by one share the archive's handle and directory for its duration.
struct TCompressBatch {
  TCompressBatch() { TvrkCompress().BeginBatch(); }
  ~TCompressBatch() { TvrkCompress().EndBatch(); }
};
}  // namespace

void TFileContainer::Install() {
  bool wasAborted = false;
  // The files extracted one by one from the shared archive read it through one handle.
  TCompressBatch batch;
  // Their uninstall entries go through one open key.
  TUninstallRecordBatch record;
  // Files are written, and their entries recorded, by a thread of their own behind the inflating.
  TWriteBehindScope behind;
  RunOperation(*this, state_, ifsInstall, [&] {
    std::string local;
    if (FindLocalFile(local)) SetLocalArchive(local);
    ReadArchiveInfo();
    Broadcast(this, ncInstallObjects, nullptr);
    RaiseOnContainer(ieOperationBegins, this);
    sizeToProcess_ = TotalSize(false);
    sizeDone_ = 0;
    if (OnBeforeInstallObjects) OnBeforeInstallObjects(this);
    TFileRelated::Install();
    behind.Finish();
    RaiseOnContainer(ieOperationEnds, this);
    wasAborted = TvrkCompress().Abort();
  });
  if (OnAfterInstallObjects) OnAfterInstallObjects(this, wasAborted);
}

void TFileContainer::Copy() {
  RunOperation(*this, state_, ifsCopying, [&] {
    if (OnBeforeProcess) OnBeforeProcess(this);
    if (!Include()) return;
    RaiseOnContainer(ieOperationBegins, this);
    ReadInfoFromFiles();
    sizeToProcess_ = TotalSize(false);
    sizeDone_ = 0;
    for (std::size_t i = 0; i < Helpers().size(); ++i) {
      if (auto* file = dynamic_cast<TCustomInstallFile*>(Helpers()[i])) file->Copy();
    }
    for (std::size_t i = 0; i < Helpers().size(); ++i) {
      if (auto* group = dynamic_cast<TFileContainer*>(Helpers()[i])) group->Copy();
    }
    if (OnAfterProcess) OnAfterProcess(this);
    RaiseOnContainer(ieOperationEnds, this);
  });
}

void TFileContainer::SetState(TInstallFileState value) {
  try {
    switch (value) {
      case ifsCompress: BuildArchives(0); break;
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

void TFileContainer::BuildArchives(int options) {
  if ((options & coForceNetFilesLocal) && (options & coForceFilesNet))
    throw IEFileContainer("Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  RunOperation(*this, state_, ifsCompress, [&] {
    if (OnBeforeProcess) OnBeforeProcess(this);
    if (!Include()) return;
    RaiseOnContainer(ieOperationBegins, this);
    // An enclosing container's build has read the details of every file below it already.
    const auto* outer = dynamic_cast<const TFileContainer*>(Container());
    if (!outer || outer->State() != ifsCompress) ReadInfoFromFiles();
    sizeToProcess_ = TotalSize((options & coIncludeExcluded) != 0);
    sizeDone_ = 0;

    const std::string archiveDir = ExcludeTrailingBackslash(ExtractFileDir(FullArchiveFile()));
    try {
      SetLocalArchive(archiveDir + "\\" + NetPath() + "\\" + Name() + ".1");
    } catch (const IEFileRel_NoNetLocation&) {
      if (!(options & coForceNetFilesLocal)) throw;
    }
    TCompressBatch batch;  // the members added one by one to an archive go in through one handle
    auto removeArchive = [this](const std::string& path) {
      TvrkCompress().CloseAdding();
      if (sys::FileExists(path) && !sys::RemoveFile(path))
        throw IEFileContainer("%s cannot delete the archive file %s", Name(), path);
    };
    if (AddToArchive() == lzcOverwrite) removeArchive(ChangeFileExt(FullArchiveFile(), ".1"));
    if ((HasNetFiles() || ((options & coForceFilesNet) && InstallFileCount() > 0)) && !LocalArchive().empty())
      removeArchive(LocalArchive());

    for (std::size_t i = 0; i < Helpers().size(); ++i) {
      if (auto* helper = dynamic_cast<TFileRelated*>(Helpers()[i])) BuildHelper(helper, options, archiveDir);
    }
    if (OnAfterProcess) OnAfterProcess(this);
    RaiseOnContainer(ieOperationEnds, this);
  });
}

void TFileContainer::BuildHelper(TFileRelated* helper, int options, const std::string& archiveDir) {
  auto* file = dynamic_cast<TCustomInstallFile*>(helper);
  const bool netFile =
      file && !(options & coForceNetFilesLocal) && (file->Net() || (options & coForceFilesNet));
  // The archive values are changed for this build only; stored raw, so no setter rule interferes.
  const TlzhCommand savedAdd = helper->addToArchive_;
  const std::string savedFile = helper->archiveFile_;
  TCustomPathSpecifier* const savedType = helper->archiveFileType_;
  const bool savedInclude = helper->Include();
  auto restore = [&] {
    helper->addToArchive_ = savedAdd;
    helper->archiveFile_ = savedFile;
    helper->archiveFileType_ = savedType;
    helper->SetInclude(savedInclude);
  };
  try {
    if (!helper->Include() && (options & coIncludeExcluded)) helper->SetInclude(true);
    auto ownNetArchive = [&] { return archiveDir + "\\" + helper->NetPath() + "\\" + helper->Name() + ".1"; };
    if (netFile && helper->NetLocation()) {
      helper->addToArchive_ = lzcOverwrite;
      helper->archiveFileType_ = nullptr;
      helper->archiveFile_ = ownNetArchive();
    } else if (!netFile) {
      if (HasRole(savedType, srContainerArchiveFile)) {
        helper->addToArchive_ = lzcOnlyAdd;
      } else if (HasRole(savedType, srInstallSource)) {
        TFileRelated* installer = InstallerArchive();
        const std::string base = ExcludeTrailingBackslash(
            ExtractFileDir(installer ? installer->FullArchiveFile() : FullArchiveFile()));
        helper->archiveFile_ = base + savedFile;
        helper->addToArchive_ = lzcOverwrite;
        helper->archiveFileType_ = nullptr;
      } else if (options & coRelocateArchives) {
        std::string relative = helper->FullArchiveFile();
        TextAfterColon(relative, relative);
        // A path without a drive keeps its place below the build folder all the same.
        if (relative.empty() || !IsPathDelimiter(relative[0])) relative = "\\" + relative;
        helper->archiveFile_ = archiveDir + relative;
        helper->addToArchive_ = lzcOverwrite;
        helper->archiveFileType_ = nullptr;
      }
    } else {
      helper->addToArchive_ = lzcOnlyAdd;
      helper->archiveFileType_ = nullptr;
      helper->archiveFile_ = file->FetchedOneByOne() ? ownNetArchive() : LocalArchive();
    }
    if (auto* group = dynamic_cast<TFileContainer*>(helper)) {
      group->BuildArchives(options);
    } else if (file) {
      file->Compress();
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

// ---- TInstallFileGroup ----

const TClassInfo& TInstallFileGroup::StaticClassInfo() {
  using P = Props<TInstallFileGroup>;
  static constexpr TPropInfo props[] = {
      P::Enum<&TInstallFileGroup::AddToArchive, &TInstallFileGroup::SetAddToArchive>("AddToArchive", lzhCommandNames,
                                                                                     lzcOverwrite),
      P::Boolean<&TInstallFileGroup::AllowChangeDir, &TInstallFileGroup::SetAllowChangeDir>("AllowChangeDir", true),
      P::Boolean<&TInstallFileGroup::AllowChoice, &TInstallFileGroup::SetAllowChoice>("AllowChoice", true),
      P::String<&TInstallFileGroup::ArchiveFile, &TInstallFileGroup::SetArchiveFile>("ArchiveFile"),
      P::Reference<TCustomPathSpecifier, &TInstallFileGroup::ArchiveFileType, &TInstallFileGroup::SetArchiveFileType>(
          "ArchiveFileType"),
      P::Reference<TInstallContainer, &TInstallFileGroup::Container, &TInstallFileGroup::SetContainer>("Container"),
      P::StringList<&TInstallFileGroup::DescriptionLines, &TInstallFileGroup::SetDescriptionLines>("Description"),
      P::String<&TInstallFileGroup::DestDir, &TInstallFileGroup::SetDestDir>("DestDir"),
      P::Reference<TCustomPathSpecifier, &TInstallFileGroup::DestDirType, &TInstallFileGroup::SetDestDirType>(
          "DestDirType"),
      P::String<&TInstallFileGroup::GroupName, &TInstallFileGroup::SetGroupName>("GroupName", std::nullopt),
      P::Boolean<&TInstallFileGroup::Include, &TInstallFileGroup::SetInclude>("Include", true),
      P::Set<&TInstallFileGroup::InstallTypesMask, &TInstallFileGroup::SetInstallTypesMask>(
          "InstallTypes", InstallTypeNames, 1 << itAlways),
      P::Reference<TCustomNetInstallLocation, &TInstallFileGroup::NetLocation, &TInstallFileGroup::SetNetLocation>(
          "NetLocation"),
      P::Integer<&TInstallFileGroup::Order, &TInstallFileGroup::SetOrder>("Order"),
      P::Event<&TInstallFileGroup::OnAfterInstallObjects>("OnAfterInstallObjects"),
      P::Event<&TInstallFileGroup::OnAfterProcess>("OnAfterProcess"),
      P::Event<&TInstallFileGroup::OnBeforeInstallObjects>("OnBeforeInstallObjects"),
      P::Event<&TInstallFileGroup::OnBeforeProcess>("OnBeforeProcess"),
      P::Event<&TInstallFileGroup::OnDataReceived>("OnDataReceived"),
      P::Event<&TInstallFileGroup::OnNewDisk>("OnNewDisk"),
      P::Event<&TInstallFileGroup::OnReplacing>("OnReplacing"),
      P::Event<&TInstallFileGroup::OnStatus>("OnStatus"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TInstallFileGroup, TFileContainer>("TInstallFileGroup", props);
  return info;
}

TInstallFileGroup::TInstallFileGroup(TComponent* owner) : TFileContainer(owner) {
  SetInstallable(true);
  SetInclude(true);
  // A designer's new group is numbered among the groups of its container, itself included.
  SetGroupName(Container() ? "Group #" + std::to_string(Container()->FileContainerCount()) : "Unnamed File Group");
}

void TInstallFileGroup::PruneMissingFiles() {
  for (int i = HelperCount() - 1; i >= 0; --i) {
    if (i >= HelperCount()) continue;
    auto* file = dynamic_cast<TCustomInstallFile*>(Helper(i));
    if (file && !sys::FileExists(IncludeTrailingBackslash(file->IncludeFromDir()) + file->FileName())) delete file;
  }
}

}  // namespace tav
