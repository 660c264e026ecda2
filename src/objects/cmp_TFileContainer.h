#pragma once
// Objects tied to an archive (TFileRelated) and the containers that own install files
// (TFileContainer, kind 1000). The installer itself is a file container.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/strings.h"
#include "objects/cmp_TInstallContainer.h"

namespace tav {

class TCustomInstallFile;

// The operation a file container has in progress.
enum TInstallFileState { ifsNone, ifsCompress, ifsInstall, ifsCopying };
const std::vector<std::string>& InstallFileStateNames();

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
  // The specifier's path for this object followed by ArchiveFile, without a trailing backslash.
  virtual std::string FullArchiveFile();

  // The local copy of this object's archive (downloaded at install time, the net archive at build time).
  const std::string& LocalArchive() const { return localArchive_; }
  void SetLocalArchive(const std::string& value) { localArchive_ = value; }
  bool ArchiveInfoRead() const { return archiveInfoRead_; }
  void SetArchiveInfoRead(bool value) { archiveInfoRead_ = value; }

private:
  static bool NamesArchiveItself(const TCustomPathSpecifier* specifier);

  bool archiveFileTypeAssigned_ = false;
  bool defaultArchiveFileType_ = false;
  std::string localArchive_;
  bool archiveInfoRead_ = false;
  std::string archiveFile_;
  TCustomPathSpecifier* archiveFileType_ = nullptr;
  bool net_ = true;
};

class TFileContainer : public TFileRelated {
public:
  // (InstallFile, FilePercentDone, TotalPercentDone)
  using TInstallFileStatusEvent = std::function<void(TCustomInstallFile* file, int filePercent, int totalPercent)>;
  // (InstallFile, NewDisk, Path): the handler may change Path.
  using TInstallFileNewDiskEvent = std::function<void(TCustomInstallFile* file, int newDisk, std::string& path)>;
  using TInstallFileNotifyEvent = std::function<void(TCustomInstallFile* file)>;
  using TAfterInstallObjectsEvent = std::function<void(TInstallContainer* container, bool wasAborted)>;

  explicit TFileContainer(TComponent* owner);

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Reads the archive information of everything below; sets ArchiveInfoRead.
  virtual void ReadArchiveInfo();

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

private:
  std::int64_t sizeToProcess_ = 0;
  std::int64_t sizeDone_ = 0;
  bool allowChangeDir_ = true;
  bool allowChoice_ = true;
  std::unique_ptr<TStringList> description_;
  std::string groupName_;
};

}  // namespace tav
