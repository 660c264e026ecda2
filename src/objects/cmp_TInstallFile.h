#pragma once
// Install files (kind 2000): one file of the product. In build mode it compresses its source into an
// archive; at install time it decides by its overwrite rule whether to write the destination,
// extracts itself, schedules the replacement of a file in use for the restart, and registers itself
// as a help file, in the shared-DLL counters and as a self-registering server, as its properties ask.
#include <cstdint>
#include <string>
#include <vector>

#include "archive/cmp_TTvrkCompress.h"
#include "archive/cmp_TVersion.h"
#include "objects/cmp_TFileContainer.h"

namespace tav {

enum TInstallFileType { iftNormal, iftJustADLL, iftApplicationSpecificDLL, iftVendorSharedDLL, iftSystemWideDLL };
extern const TNameList InstallFileTypeNames;

// The number of UniqueID values; a program holds at most this many install files.
constexpr int kMaxInstallFiles = 2000;

class TCustomInstallFile : public TFileRelated {
public:
  explicit TCustomInstallFile(TComponent* owner);
  // IncludeFromDir and FileName from path.
  TCustomInstallFile(TComponent* owner, const std::string& path);
  TCustomInstallFile(TComponent* owner, TInstallContainer* container, const std::string& path);
  ~TCustomInstallFile() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Install() override;
  void ResumeAfterReboot() override;
  // Records the file for the uninstaller: under ActiveX when it registers itself, else in the file list.
  void WriteUninstall(const std::string& key) override;
  std::string FullArchiveFile() override;

  // The property rules: each setter runs them with its own new value (loading only stores).
  void SetContainer(TInstallContainer* value) override;
  void SetDestDir(const std::string& value) override;
  void SetDestDirType(TCustomPathSpecifier* value) override;
  void SetIncludeFromDir(const std::string& value);
  void SetActiveX(bool value);
  void SetFileType(TInstallFileType value);
  void SetDestName(const std::string& value);
  void SetFileName(const std::string& value);

  // Build mode: adds the source to the archive.
  virtual void Compress();
  // Copies the source to the destination without an archive.
  virtual void Copy();
  // Size, date and version from the archive member (install time) or the source file (build mode).
  virtual void ReadInfoFromArchive();
  virtual void ReadInfoFromFile();
  // Runs the operation: ifsCompress compresses, ifsInstall processes, ifsCopying copies.
  void SetState(TInstallFileState value);
  using TComponent::SetState;  // the component state flags
  // DllRegisterServer of a library, "/REGSERVER" of a program.
  void RegisterSelf();
  virtual bool HasOLESelfRegister();
  virtual bool IncrementSharedDLLCount();

  // IncludeFromDir\FileName and FullDestDir\DestName.
  std::string SourcePath() const;
  std::string DestPath();
  // Fetched from the server in an archive of its own.
  bool FetchedOneByOne() const;
  // The path under which the file stands once any pending replacement is done.
  std::string FinalDestPath();

  bool DestExisted() const { return destExisted_; }
  bool ReplaceAtReboot() const { return replaceAtReboot_; }
  bool WillCopy() const { return willCopy_; }
  bool ActiveX() const { return activeX_; }
  std::int64_t CompressedSize() const { return compressedSize_; }
  void SetCompressedSize(std::int64_t value) { compressedSize_ = value; }
  bool Compressed() const { return compressed_; }
  void SetCompressed(bool value) { compressed_ = value; }
  const std::string& ArchiveUsed() const { return archiveUsed_; }
  void SetArchiveUsed(const std::string& value) { archiveUsed_ = value; }
  double FileDate() const { return fileDate_; }
  void SetFileDate(double value) { fileDate_ = value; }
  const std::string& DestName() const { return destName_; }
  const std::string& FileName() const { return fileName_; }
  TInstallFileType FileType() const { return fileType_; }
  const std::string& IncludeFromDir() const { return includeFromDir_; }
  TOverwriteType OverwriteMode() const { return overwriteMode_; }
  void SetOverwriteMode(TOverwriteType value) { overwriteMode_ = value; }
  bool RegisterAsHelp() const { return registerAsHelp_; }
  void SetRegisterAsHelp(bool value) { registerAsHelp_ = value; }
  bool RunAfterInstall() const { return runAfterInstall_; }
  void SetRunAfterInstall(bool value) { runAfterInstall_ = value; }
  std::int64_t FileSize() const { return fileSize_; }
  void SetFileSize(std::int64_t value) { fileSize_ = value; }
  TInstallFileState State() const { return state_; }
  int UniqueID() const { return uniqueID_; }
  // The stored identity; the number handed out at construction is given back.
  void SetUniqueID(int value);
  bool UpdateDLLCounter() const { return updateDLLCounter_; }
  void SetUpdateDLLCounter(bool value) { updateDLLCounter_ = value; }
  const std::string& FileVersion() const { return fileVersion_; }
  // Cut to 20 characters.
  void SetFileVersion(const std::string& value);

  TInstallFileNotifyEvent OnAfterCompress, OnAfterCopy, OnAfterInstall, OnBeforeCompress, OnBeforeCopy,
      OnBeforeInstall;
  TInstallFileStatusEvent OnStatus;
  TInstallFileNewDiskEvent OnNewDisk;
  TInstallFileNotifyEvent OnReplacing;

protected:
  virtual void CompressorAborted();
  virtual void RegisterDLL();
  virtual void RegisterEXE();
  // Finds whether the destination is in use; if so, the file goes in beside it under X.1, X.2 ...
  // and replaces it at the restart.
  virtual void PrepareReplace();
  void CompressorStatus(const TlzhFileStats& stats);
  void DiskRequest(TTvrkCompress& compressor, int diskNumber, std::string& path);

private:
  struct TFileProps {
    TInstallContainer* container;
    std::string includeFromDir;
    bool activeX;
    TInstallFileType fileType;
    TCustomPathSpecifier* destDirType;
    std::string destName, destDir, fileName;
  };
  TFileProps CurrentProps() const;
  void SetProperties(TFileProps p);
  // A setter: loading (or SetProperties itself) only stores; otherwise the rules run with the new value.
  template <class T, class Store>
  void Change(T TFileProps::*field, const T& value, Store store);
  void Extract(TTvrkCompress& compressor);
  void FinishInstall();
  void ReadInfoFrom(const std::string& archive);
  void Raise(int code, TObject* po);
  void EndOperation(TTvrkCompress* compressor);
  // Compress and Copy: state set for the operation, a silent abort skips the file, the end is
  // announced in every case.
  template <class F>
  void RunOperation(TInstallFileState state, F&& body);
  void Scheduled(const std::string& inUse, const std::string& tempName);

  bool destExisted_ = false;
  bool replaceAtReboot_ = false;
  bool willCopy_ = false;
  bool activeX_ = false;
  std::int64_t compressedSize_ = 0;
  bool compressed_ = false;
  std::string archiveUsed_;
  double fileDate_ = 0;
  std::string destName_;
  std::string fileName_;
  TInstallFileType fileType_ = iftNormal;
  std::string includeFromDir_;
  TOverwriteType overwriteMode_ = owAlways;
  bool registerAsHelp_ = false;
  bool runAfterInstall_ = false;
  std::int64_t fileSize_ = 0;
  TInstallFileState state_ = ifsNone;
  int uniqueID_ = 0;
  bool updateDLLCounter_ = false;
  std::string fileVersion_;
  bool applying_ = false;  // SetProperties is storing through the base setters
  std::string finalDestPath_;  // the in-use destination a scheduled replacement lands on
};

class TInstallFile : public TCustomInstallFile {
public:
  using TCustomInstallFile::TCustomInstallFile;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// An ordered list of install files; it owns nothing.
class TCustomInstallFileList {
public:
  // nullptr raises IECustomInstallFileList.
  void Add(TCustomInstallFile* file);
  void Remove(TCustomInstallFile* file);
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  TCustomInstallFile* Items(int index) const;
  int IndexOf(const TCustomInstallFile* file) const;

private:
  std::vector<TCustomInstallFile*> items_;
};

// Every live install file in creation order.
TCustomInstallFileList& InstallFiles();
// Files whose self-registration failed during the run; registered again at its end.
TCustomInstallFileList& DeferredRegistrations();
// True while self-registration failures propagate at once; a run clears it to defer them.
TRunSlot<bool>& RegistrationFailuresPropagateSlot();

// The overwrite decision for a destination: whether the member (by its version and date) is written.
// A missing destination is always written.
bool WillOverwrite(const std::string& version, const std::string& dest, TOverwriteType rule, double date);

}  // namespace tav
