#pragma once
// Objects tied to an archive (TFileRelated) and the containers that own install files
// (TFileContainer, kind 1000). The installer itself is a file container.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/cmp_TTvrkCompress.h"
#include "core/strings.h"
#include "objects/cmp_TInstallContainer.h"
#include "objects/cmp_TNetInstallLocation_base.h"

namespace tav {

class TCustomInstallFile;

// The operation a file container has in progress.
enum TInstallFileState { ifsNone, ifsCompress, ifsInstall, ifsCopying };
extern const TNameList InstallFileStateNames;
extern const TNameList lzhCommandNames;

// Information event codes that install files and file containers raise on their container.
constexpr int ieAfterInstall = 1001, ieBeforeInstall = 1002, ieReplacing = 1003;
constexpr int ieBeforeCompress = 1004, ieAfterCompress = 1005, ieBeforeCopy = 1006, ieAfterCopy = 1007;
constexpr int ieInstallStatus = 1008, ieCompressStatus = 1009, ieCopyStatus = 1010, ieNewDisk = 1011;
constexpr int ieOperationBegins = 1012, ieOperationEnds = 1013, ieDownloadStatus = 1014;
constexpr int ieInstallAborted = 1015, ieNotInstalled = 1016;

// Options of BuildArchives, by bit value.
constexpr int coRelocateArchives = 2, coForceNetFilesLocal = 8, coForceFilesNet = 16, coIncludeExcluded = 32;

// (InstallFile, FilePercentDone, TotalPercentDone)
using TInstallFileStatusEvent = std::function<void(TCustomInstallFile* file, int filePercent, int totalPercent)>;
// (InstallFile, NewDisk, Path): the handler may change Path.
using TInstallFileNewDiskEvent = std::function<void(TCustomInstallFile* file, int newDisk, std::string& path)>;
using TInstallFileNotifyEvent = std::function<void(TCustomInstallFile* file)>;

// A file's status as the progress events carry it: a copy of the compressor's figures.
class TInstallFileStatus : public TFileStatusParameter {
public:
  TlzhFileStats Stats;
};

// The net location of obj: its own, else its file container's (for an install file), else the
// installer's; nullptr when none.
class TFileRelated;
TCustomNetInstallLocation* GetNetLocation(const TFileRelated* obj);

class TFileRelated : public TInstallObject {
public:
  explicit TFileRelated(TComponent* owner, int kind = 0);

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  // Besides re-placing the object, points ArchiveFileType at the new container's archive when that
  // container is file-related.
  void SetContainer(TInstallContainer* value) override;

  const std::string& ArchiveFile() const { return archiveFile_; }
  // Ignored while ArchiveFileType names the container's or the main archive, which need no file name.
  virtual void SetArchiveFile(const std::string& value);
  TCustomPathSpecifier* ArchiveFileType() const { return archiveFileType_; }
  virtual void SetArchiveFileType(TCustomPathSpecifier* value);
  bool Net() const { return net_; }
  virtual void SetNet(bool value) { net_ = value; }
  TCustomNetInstallLocation* NetLocation() const { return netLocation_; }
  virtual void SetNetLocation(TCustomNetInstallLocation* value);
  TlzhCommand AddToArchive() const { return addToArchive_; }
  void SetAddToArchive(TlzhCommand value) { addToArchive_ = value; }
  // The specifier's path for this object followed by ArchiveFile, without a trailing backslash.
  virtual std::string FullArchiveFile();

  // The local copy of the archive recorded in this run's install record; false when there is none
  // (or the object has no name, or the file is gone).
  bool FindLocalFile(std::string& path) const;
  virtual bool HasLocalArchive() const;
  // Records path as the local copy; failures are ignored (the copy is fetched again next time).
  virtual void WriteLocalFile(const std::string& path) const;
  // The folder of this object's net archives below a build directory: the login directory (or the
  // protocol's root) and the host name. Raises IEFileRel_NoNetLocation without a net location.
  std::string NetPath() const;
  // Fetches this object's archive into LocalArchive unless a local copy exists.
  virtual void DownloadArchive();
  // A block of a download arrived: events and progress upward.
  virtual void DataReceived(TObject* sender, const std::string& fileName, std::int64_t bytes, std::int64_t totalBytes,
                            std::int64_t fileSize, const char* buffer);

  TDataReceivedEvent OnDataReceived;

  // The local copy of this object's archive (downloaded at install time, the net archive at build time).
  const std::string& LocalArchive() const { return localArchive_; }
  void SetLocalArchive(const std::string& value) { localArchive_ = value; }
  bool ArchiveInfoRead() const { return archiveInfoRead_; }
  void SetArchiveInfoRead(bool value) { archiveInfoRead_ = value; }

private:
  friend class TFileContainer;  // sets the archive values of its helpers aside while it builds
  static bool NamesArchiveItself(const TCustomPathSpecifier* specifier);

  bool archiveFileTypeAssigned_ = false;
  bool defaultArchiveFileType_ = false;
  std::string localArchive_;
  TlzhCommand addToArchive_ = lzcOverwrite;
  TCustomNetInstallLocation* netLocation_ = nullptr;
  bool archiveInfoRead_ = false;
  std::string archiveFile_;
  TCustomPathSpecifier* archiveFileType_ = nullptr;
  bool net_ = true;
};

class TFileContainer : public TFileRelated {
public:
  using TInstallFileStatusEvent = tav::TInstallFileStatusEvent;
  using TInstallFileNewDiskEvent = tav::TInstallFileNewDiskEvent;
  using TInstallFileNotifyEvent = tav::TInstallFileNotifyEvent;
  using TAfterInstallObjectsEvent = std::function<void(TInstallContainer* container, bool wasAborted)>;

  explicit TFileContainer(TComponent* owner);
  ~TFileContainer() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void DoInformationEventControl(TObject* sender, int code, TObject* po) override;
  void Install() override;

  virtual void NewDiskRelay(TCustomInstallFile* file, TDiskParameter& disk);
  virtual void ReplacingRelay(TCustomInstallFile* file);
  virtual void StatusRelay(TCustomInstallFile* file, TFileStatusParameter& status);
  // Bytes of the install files (and, with withSubgroups, the file containers below) that will be
  // installed, or of all of them with includeAll.
  virtual std::int64_t SumSizes(bool includeAll, bool withSubgroups) const;
  std::int64_t TotalSize(bool includeAll) const { return SumSizes(includeAll, true); }
  std::int64_t OwnSize(bool includeAll) const { return SumSizes(includeAll, false); }
  virtual std::int64_t CompressedSize(bool includeAll) const;
  TInstallFileState State() const { return state_; }
  // Runs the operation: ifsCompress builds the archives, ifsInstall processes, ifsCopying copies.
  virtual void SetState(TInstallFileState value);
  using TComponent::SetState;  // the component state flags
  // Copies every file plainly from its source to its destination.
  virtual void Copy();
  // Destroys every install file helper.
  virtual void FreeInstallFiles();
  // Build mode: compresses every file below into its archive. options: the co... bits.
  virtual void BuildArchives(int options);
  // The first install file whose source (IncludeFromDir\FileName) is sourcePath, nullptr when none.
  virtual TCustomInstallFile* FindFile(const std::string& sourcePath) const;
  // The recorded local copy of the archive; raises when it has not been fetched.
  virtual std::string LocalArchivePath() const;
  // Reads the archive information of everything below; sets ArchiveInfoRead.
  virtual void ReadArchiveInfo();
  // Reads size, date and version of every source file below (build mode).
  virtual void ReadInfoFromFiles();
  // Some included file must be fetched with this container's archive.
  virtual bool NeedsDownload() const;
  int InstallFileCount() const;
  TCustomInstallFile* InstallFile(int index) const;
  bool HasNetFiles() const;

  std::int64_t SizeToProcess() const { return sizeToProcess_; }
  void SetSizeToProcess(std::int64_t value) { sizeToProcess_ = value; }
  std::int64_t SizeDone() const { return sizeDone_; }
  void SetSizeDone(std::int64_t value) { sizeDone_ = value; }
  bool AllowChangeDir() const { return allowChangeDir_; }
  void SetAllowChangeDir(bool value) { allowChangeDir_ = value; }
  bool AllowChoice() const { return allowChoice_; }
  void SetAllowChoice(bool value) { allowChoice_ = value; }
  TStrings& Description() const { return *description_; }
  // Copies the lines.
  void SetDescription(const TStrings& value) { description_->Assign(value); }
  std::vector<std::string> DescriptionLines() const { return description_->ToVector(); }
  void SetDescriptionLines(const std::vector<std::string>& lines) { description_->SetStrings(lines); }
  const std::string& GroupName() const { return groupName_; }
  void SetGroupName(const std::string& value) { groupName_ = value; }

  TInstallFileStatusEvent OnStatus;
  TInstallFileNewDiskEvent OnNewDisk;
  TInstallFileNotifyEvent OnReplacing;
  TAfterInstallObjectsEvent OnAfterInstallObjects;
  TInstallContainerNotifyEvent OnBeforeInstallObjects;

protected:
  // Raises code on the container, if there is one.
  void RaiseOnContainer(int code, TObject* po);

private:
  // The totals of a file's status rewritten with this container's figures, then relayed.
  void Progress(TCustomInstallFile* file, TFileStatusParameter& status, bool fileDone, std::int64_t fileSize);
  void SkippedFile(TObject* po);
  void BuildHelper(TFileRelated* helper, int options, const std::string& archiveDir);

  std::int64_t sizeToProcess_ = 0;
  std::int64_t sizeDone_ = 0;
  bool allowChangeDir_ = true;
  bool allowChoice_ = true;
  std::unique_ptr<TStringList> description_;
  std::string groupName_;
  TInstallFileState state_ = ifsNone;
};

// The file group the user may select on the component page.
class TInstallFileGroup : public TFileContainer {
public:
  explicit TInstallFileGroup(TComponent* owner);

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Destroys the install files whose source file does not exist.
  void PruneMissingFiles();
};

}  // namespace tav
