#pragma once
// The install-object tree: containers hold an ordered list of install objects (their helpers), install
// objects belong to a container. Processing runs depth first in the order of Kind and Order; helpers
// report upward through DoInformationEventControl, containers broadcast downward to their kind-9000
// helpers (the dialog objects) through HandleNotification.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/classes.h"
#include "objects/cmp_TPathSpecifier_base.h"
#include "sys/run_state.h"

namespace tav {

class TInstallContainer;
class TInstallObject;
class TFileContainer;

enum TInstallType { itFull, itDefault, itCompact, itAlways, itCustom };
extern const TNameList InstallTypeNames;

// A set of install types; bit i of the mask stands for the TInstallType of value i.
class TInstallTypeSet {
public:
  constexpr TInstallTypeSet() = default;
  constexpr TInstallTypeSet(std::initializer_list<TInstallType> members) {
    for (TInstallType t : members) mask_ |= Bit(t);
  }
  // Bits beyond the last install type are dropped.
  static constexpr TInstallTypeSet FromMask(std::uint32_t mask) {
    TInstallTypeSet s;
    s.mask_ = mask & ((1u << (itCustom + 1)) - 1);
    return s;
  }
  constexpr std::uint32_t Mask() const { return mask_; }
  constexpr bool Empty() const { return mask_ == 0; }
  constexpr bool Contains(TInstallType t) const { return (mask_ & Bit(t)) != 0; }
  constexpr TInstallTypeSet With(TInstallType t) const { return FromMask(mask_ | Bit(t)); }
  constexpr TInstallTypeSet Without(TInstallType t) const { return FromMask(mask_ & ~Bit(t)); }
  friend constexpr bool operator==(TInstallTypeSet a, TInstallTypeSet b) { return a.mask_ == b.mask_; }

private:
  static constexpr std::uint32_t Bit(TInstallType t) { return 1u << static_cast<unsigned>(t); }
  std::uint32_t mask_ = 0;
};

// Kinds: the first sort key of a container's helpers; kind 9000 receives broadcasts.
constexpr int kindFileContainer = 1000;
constexpr int kindInstallFile = 2000;
constexpr int kindShellLinkGroup = 7000;
constexpr int kindShellLink = 8000;
constexpr int kindInstallRegistry = 8500;
constexpr int kindDialog = 9000;

// Codes broadcast by the install objects (the engine's own codes are its business).
constexpr int ncProcessStarts = -999;    // an included object is being processed
constexpr int ncFileStatus = -998;       // TFileStatusParameter
constexpr int ncReplacing = -997;        // the install file about to be replaced
constexpr int ncOperationEnded = -996;   // compress, install or copy of a file or container ended
constexpr int ncChangeDisk = -993;       // the install file and its TDiskParameter
constexpr int ncInstallObjects = -992;   // a file container starts installing its helpers
constexpr int ncBeforeProcess = -990;
constexpr int ncAfterProcess = -989;
constexpr int ncDownloadStatus = -988;   // TDownloadStatusParameter
constexpr int ncStatusText = -974;       // TMessageParameter
constexpr int ncStatusCleared = -973;

// Parameter objects travel with information events and broadcasts. The sender creates and frees
// them around the call; receivers must not keep them. Byte counts are 64-bit so that large files
// do not wrap the progress figures.
class TMessageParameter : public TObject {
public:
  std::string Text;
};

class TDiskParameter : public TObject {
public:
  int NewDisk = 0;   // 1-based volume wanted
  std::string Path;  // where the volume is looked for; receivers may change it
};

// A plain list of objects, as the disk request passes its install file and its TDiskParameter.
class TList : public TObject {
public:
  std::vector<TObject*> Items;
};

class TFileStatusParameter : public TObject {
public:
  std::int64_t BytesDone = 0;  // of the current file
  int FilePercentDone = 0;
  std::string FileName;
  std::int64_t TotalBytesDone = 0;
  int TotalPercentDone = 0;
};

class TDownloadStatusParameter : public TObject {
public:
  std::int64_t Bytes = 0;  // in the last block
  std::string FileName;
  std::int64_t FileSize = 0;
  std::int64_t TotalBytes = 0;  // received so far
  int Percent = 0;
};

// How the distribution is delivered: archives beside setup, everything from a server, or archives
// beside setup with single files fetched from a server.
enum TDistributeType { dtTraditional, dtWeb, dtTraditionalNet };
extern const TNameList DistributeTypeNames;

class TCustomNetInstallLocation;

// The running installer as the object model sees it. The engine's installer implements it and
// registers itself; every user copes with there being none.
class TCurrentInstall {
public:
  virtual std::string ProductName() const = 0;
  // The rest of the product information, which registry keys and the uninstall registration use.
  virtual std::string CompanyName() const { return std::string(); }
  virtual std::string Version() const { return std::string(); }
  // The root of the install tree (the installer itself).
  virtual TInstallContainer* RootContainer() = 0;
  // The directory the installation was started from (the -s value, else the program's own folder),
  // without a trailing backslash.
  virtual const std::string& SourceDirectory() const = 0;
  // Whether the run was started with -e, and that switch's value (the self-extracting executable's
  // file name; may be blank).
  virtual bool HasSelfExtractSwitch() const = 0;
  virtual std::string SelfExtractValue() const = 0;
  // What the install files need of the run; an installer that does not say installs traditionally,
  // has no run in progress and no net location, and keeps no unfinished business.
  virtual TDistributeType DistributeType() const { return dtTraditional; }
  virtual bool Installing() const { return false; }
  virtual bool Reboot() const { return false; }
  virtual void SetReboot(bool value) {}
  // Records work left for after the restart (kind 0 an install object's name, 1 a batch file).
  virtual void AddUnfinished(const std::string& data, int kind) {}
  // The program-wide default net location (the installer's), nullptr without one.
  virtual TCustomNetInstallLocation* NetLocation() const { return nullptr; }
  // The English name of the language the user sees ("German"); empty when the run has no translator.
  virtual std::string LanguageName() const { return std::string(); }

protected:
  ~TCurrentInstall() = default;
};

// Run-wide slots of the object model (see sys/run_state.h); the functions beside each read and set it.
TRunSlot<TCurrentInstall*>& CurrentInstallSlot();
TCurrentInstall* CurrentInstall();
void SetCurrentInstall(TCurrentInstall* install);

// The user asked to stop the run; the copy loop polls it.
TRunSlot<bool>& UserAbortSlot();
bool UserAbortRequested();
void SetUserAbortRequested(bool value);
// The archive extractor working for the installer at the moment, if any; a cancel sets its Abort flag.
class TTvrkCompress;
TRunSlot<TTvrkCompress*>& ActiveExtractorSlot();
TTvrkCompress* ActiveExtractor();
void SetActiveExtractor(TTvrkCompress* extractor);

// Registry key of this run's install record; set by the engine, empty until then.
TRunSlot<std::string>& InstallRecordKeySlot();
const std::string& InstallRecordKey();
void SetInstallRecordKey(std::string key);

// Parent of every product's uninstall record; the product name follows.
extern const char* const kUninstallKeyPrefix;

class TInstallContainer : public TComponent {
public:
  using TInstallContainerNotifyEvent = std::function<void(TInstallContainer* container)>;

  // kind is the class's registered Kind, given here so that it is known while base constructors
  // run; 0 means the class declares none.
  explicit TInstallContainer(TComponent* owner, int kind = 0);
  ~TInstallContainer() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  virtual int FileContainerCount() const;
  virtual TFileContainer* FileContainerAt(int index) const;
  const std::string& DestDir() const { return destDir_; }
  virtual void SetDestDir(const std::string& value);
  TCustomPathSpecifier* DestDirType() const { return destDirType_; }
  virtual void SetDestDirType(TCustomPathSpecifier* value);
  // Told on every container when container is destroyed.
  virtual void ContainerRemoved(TInstallContainer* container);
  virtual void ShowStatus(const std::string& text);
  // An information event from a helper; nothing here.
  virtual void DoInformationEventControl(TObject* sender, int code, TObject* po);
  // Receipt of a broadcast; nothing here.
  virtual int HandleNotification(TObject* sender, int code, TObject* po);
  // The specifier's path for this object followed by DestDir, without a trailing backslash.
  virtual std::string FullDestDir();
  virtual int Kind() const;
  virtual void AddHelper(TInstallObject* obj);
  virtual void Process();
  virtual void Install();
  virtual bool WillInstall() const;
  virtual void ResumeAfterReboot() {}
  virtual void LanguageChanged() {}
  virtual void RemoveHelper(TInstallObject* obj);
  virtual void WriteUninstall(const std::string& key) {}

  // The index-th helper (from 0) that is of class type or descends from it.
  TInstallObject* Comp(int index, const TClassInfo& type) const;
  int CountOf(const TClassInfo& type) const;
  // Destroys every helper of class type, the last first.
  void FreeHelpersOf(const TClassInfo& type);
  int HelperCount() const { return static_cast<int>(helpers_.size()); }
  TInstallObject* Helper(int index) const;
  const std::vector<TInstallObject*>& Helpers() const { return helpers_; }
  // Delivers code to every kind-9000 helper in list order; the last receiver's result, 0 without one.
  int Broadcast(TObject* sender, int code, TObject* po);
  void ClearStatus();
  // Numbers the helpers of each kind 0, 1, 2 ... in list order.
  void Renumber();

  bool Installable() const { return installable_; }
  bool Include() const { return include_; }
  void SetInclude(bool value) { include_ = value; }
  bool Processed() const { return processed_; }
  TInstallTypeSet InstallTypes() const { return installTypes_; }
  // itAlways never stands with another member: adding it clears the others, adding another removes
  // it, and an empty set becomes [itAlways].
  void SetInstallTypes(TInstallTypeSet value);
  // The same as a bit mask, for property tables.
  std::int64_t InstallTypesMask() const { return installTypes_.Mask(); }
  void SetInstallTypesMask(std::int64_t mask) {
    SetInstallTypes(TInstallTypeSet::FromMask(static_cast<std::uint32_t>(mask)));
  }
  TInstallType CurrentInstallType() const { return currentInstallType_; }
  int Order() const { return order_; }

  TInstallContainerNotifyEvent OnBeforeProcess;
  TInstallContainerNotifyEvent OnAfterProcess;

protected:
  void SetInstallable(bool value) { installable_ = value; }
  void SetProcessed(bool value) { processed_ = value; }
  bool Loading() const { return HasState(csLoading); }
  // A design-time default: stored without counting as assigned, so Loaded withdraws it unless the
  // stream sets DestDirType.
  void ApplyDefaultDestDirType(TCustomPathSpecifier* value);
  // Stores Order; the containers that list this object learn that their numbering may be off.
  void StoreOrder(int value, const TInstallContainer* renumbering = nullptr);

  TInstallType currentInstallType_ = itAlways;

private:
  friend class TInstallObject;

  // Whether the object is installed under the current install type (Include aside).
  bool SelectedByInstallType() const;
  static TComponent* EnsureSpecifiersFirst(TComponent* owner);
  // Whether a helper of that kind and order is placed at the end of the list, known without a scan.
  bool SortsLast(int kind, int order) const;
  void PrefixOrderedAfterInsert(std::size_t position);
  // Numbers the helpers from index on, as Renumber would. A list that was numbered before it changed at
  // index stops at the first helper from firstOld on (one that was there before) that keeps its
  // number: every later one keeps its number too.
  void RenumberFrom(std::size_t index, std::size_t firstOld);
  // The same, or all of them when the list was not numbered.
  void RenumberAfterChange(std::size_t index, std::size_t firstOld);

  int order_ = -1;
  int kind_ = 0;
  bool installable_ = false;
  std::vector<TInstallObject*> helpers_;  // not owned
  // Every helper's Order is what Renumber gives it.
  bool numbered_ = true;
  // The helpers but the last stand strictly ascending by Kind, then Order; so whether a helper sorts
  // last shows on the last two. Kept where it costs nothing to know, else false until Renumber.
  bool prefixOrdered_ = true;
  // The containers whose helpers this one is, and the install objects whose Container this one is:
  // the containers its destruction concerns.
  std::vector<TInstallContainer*> listedIn_;
  std::vector<TInstallObject*> dependents_;
  std::uint64_t serial_ = 0;  // creation order, which is the order of the process-wide list
  bool include_ = true;
  bool processed_ = false;
  TInstallTypeSet installTypes_{itAlways};
  std::string destDir_;
  TCustomPathSpecifier* destDirType_ = nullptr;
  bool destDirTypeAssigned_ = false;
  bool defaultDestDirType_ = false;
};

class TInstallObject : public TInstallContainer {
public:
  explicit TInstallObject(TComponent* owner, int kind = 0);
  ~TInstallObject() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void ContainerRemoved(TInstallContainer* container) override;

  TInstallContainer* Container() const { return container_; }
  virtual void SetContainer(TInstallContainer* value);
  // Re-places the object among its container's helpers; without a container the old Order stays.
  void SetOrder(int value);
  // Sets CurrentInstallType here and, first, throughout the helpers below.
  void SetInstallType(TInstallType installType);

protected:
  // True when construction in design mode gave the object the installer as its container.
  bool DefaultContainerApplied() const { return defaultContainer_; }

private:
  bool containerAssigned_ = false;
  bool defaultContainer_ = false;
  TInstallContainer* container_ = nullptr;
};

// Every install container in creation order; containers add and remove themselves.
class TInstallContainerList {
public:
  void Add(TInstallContainer* container);
  void Remove(TInstallContainer* container);
  int Count() const { return static_cast<int>(items_.size()); }
  TInstallContainer* Items(int index) const;
  int IndexOf(const TInstallContainer* container) const;
  // The first container with that component name (without regard to case), nullptr when none.
  TInstallContainer* FindByName(const std::string& name) const;

private:
  std::vector<TInstallContainer*> items_;
};

// The process-wide list; nullptr once it has been destroyed at program end.
TInstallContainerList* InstallContainers();

}  // namespace tav
