#include "objects/cmp_TInstallContainer.h"

#include <algorithm>

#include "core/properties.h"
#include "core/routines_Strings.h"
#include "core/run_log.h"
#include "objects/cmp_TFileContainer.h"

namespace tav {

constexpr std::string_view kInstallTypeNames[] = {"itFull", "itDefault", "itCompact", "itAlways", "itCustom"};
constinit const TNameList InstallTypeNames(kInstallTypeNames);

constexpr std::string_view kDistributeTypeNames[] = {"dtTraditional", "dtWeb", "dtTraditionalNet"};
constinit const TNameList DistributeTypeNames(kDistributeTypeNames);

const char* const kUninstallKeyPrefix = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

namespace {

// Components may outlive the list at program end; they then skip their removal.
bool containerListGone = false;
struct ContainerListOwner {
  TInstallContainerList list;
  ~ContainerListOwner() { containerListGone = true; }
};

}  // namespace

TRunSlot<TCurrentInstall*>& CurrentInstallSlot() {
  static auto& slot = TRunSlot<TCurrentInstall*>::Make("current install");
  return slot;
}
TCurrentInstall* CurrentInstall() { return CurrentInstallSlot().Get(); }
void SetCurrentInstall(TCurrentInstall* install) { CurrentInstallSlot().Set(install); }

TRunSlot<bool>& UserAbortSlot() {
  static auto& slot = TRunSlot<bool>::Make("user abort requested", false);
  return slot;
}
bool UserAbortRequested() { return UserAbortSlot().Get(); }
void SetUserAbortRequested(bool value) { UserAbortSlot().Set(value); }

TRunSlot<TTvrkCompress*>& ActiveExtractorSlot() {
  static auto& slot = TRunSlot<TTvrkCompress*>::Make("active extractor");
  return slot;
}
TTvrkCompress* ActiveExtractor() { return ActiveExtractorSlot().Get(); }
void SetActiveExtractor(TTvrkCompress* extractor) { ActiveExtractorSlot().Set(extractor); }

TRunSlot<std::string>& InstallRecordKeySlot() {
  static auto& slot = TRunSlot<std::string>::Make("install record key");
  return slot;
}
const std::string& InstallRecordKey() { return InstallRecordKeySlot().Get(); }
void SetInstallRecordKey(std::string key) { InstallRecordKeySlot().Set(std::move(key)); }

// ---- TInstallContainerList ----

void TInstallContainerList::Add(TInstallContainer* container) {
  if (!container) throw IEContainerList("Cannot add a blank entry to the TInstallContainerList object");
  items_.push_back(container);
}

void TInstallContainerList::Remove(TInstallContainer* container) {
  auto it = std::find(items_.begin(), items_.end(), container);
  if (it != items_.end()) items_.erase(it);
}

TInstallContainer* TInstallContainerList::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (%d)", index);
  return items_[index];
}

int TInstallContainerList::IndexOf(const TInstallContainer* container) const {
  auto it = std::find(items_.begin(), items_.end(), container);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TInstallContainer* TInstallContainerList::FindByName(const std::string& name) const {
  for (TInstallContainer* c : items_) {
    if (SameText(c->Name(), name)) return c;
  }
  return nullptr;
}

TInstallContainerList* InstallContainers() {
  static ContainerListOwner owner;
  return containerListGone ? nullptr : &owner.list;
}

// ---- TInstallContainer ----

const TClassInfo& TInstallContainer::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TInstallContainer, TComponent>("TInstallContainer");
  return info;
}

TComponent* TInstallContainer::EnsureSpecifiersFirst(TComponent* owner) {
  // Before the container joins its owner, so a new form lists the standard specifiers first.
  EnsureStandardSpecifiers(owner);
  return owner;
}

TInstallContainer::TInstallContainer(TComponent* owner, int kind)
    : TComponent(EnsureSpecifiersFirst(owner)), kind_(kind) {
  // A component placed on a form under design is itself under design.
  if (owner && owner->HasState(csDesigning)) SetState(csDesigning);
  if (TInstallContainerList* list = InstallContainers()) list->Add(this);
}

TInstallContainer::~TInstallContainer() {
  Destroying();
  if (TInstallContainerList* list = InstallContainers()) {
    for (int i = list->Count() - 1; i >= 0; --i) {
      if (i >= list->Count()) continue;
      TInstallContainer* other = list->Items(i);
      if (other != this) other->ContainerRemoved(this);
    }
    list->Remove(this);
  }
}

void TInstallContainer::Loaded() {
  TComponent::Loaded();
  // A nil reference is not streamed: a design-time default the stream did not confirm goes away.
  if (defaultDestDirType_ && !destDirTypeAssigned_) SetDestDirType(nullptr);
  defaultDestDirType_ = false;
}

void TInstallContainer::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component && component == destDirType_) destDirType_ = nullptr;
}

int TInstallContainer::FileContainerCount() const { return CountOf(TFileContainer::StaticClassInfo()); }

TFileContainer* TInstallContainer::FileContainerAt(int index) const {
  return static_cast<TFileContainer*>(Comp(index, TFileContainer::StaticClassInfo()));
}

void TInstallContainer::SetDestDir(const std::string& value) { destDir_ = value; }

void TInstallContainer::SetDestDirType(TCustomPathSpecifier* value) {
  destDirTypeAssigned_ = true;
  if (!Loading() && value) value->Validate(this);
  destDirType_ = value;
  if (value) value->FreeNotification(this);
}

void TInstallContainer::ApplyDefaultDestDirType(TCustomPathSpecifier* value) {
  destDirType_ = value;
  if (value) value->FreeNotification(this);
  defaultDestDirType_ = true;
}

void TInstallContainer::ContainerRemoved(TInstallContainer* container) {
  auto it = std::find(helpers_.begin(), helpers_.end(), container);
  if (it != helpers_.end()) RemoveHelper(*it);
}

void TInstallContainer::ShowStatus(const std::string& text) {
  TMessageParameter parameter;
  parameter.Text = text;
  Broadcast(this, ncStatusText, &parameter);
}

void TInstallContainer::ClearStatus() { Broadcast(this, ncStatusCleared, nullptr); }

void TInstallContainer::DoInformationEventControl(TObject*, int, TObject*) {}

int TInstallContainer::HandleNotification(TObject*, int, TObject*) { return 0; }

std::string TInstallContainer::FullDestDir() {
  const std::string path = destDirType_ ? destDirType_->GetPath(this) + destDir_ : destDir_;
  return ExcludeTrailingBackslash(path);
}

int TInstallContainer::Kind() const {
  if (kind_ == 0) throw IEInstallContainer("Class must declare a registered type");
  return kind_;
}

void TInstallContainer::AddHelper(TInstallObject* obj) {
  if (!obj) throw IEInstallContainer("Cannot add a blank base helper component to %s", Name());
  if (obj == this) throw IEInstallContainer("Circular reference");
  for (auto* up = dynamic_cast<const TInstallObject*>(this); up;) {
    TInstallContainer* next = up->Container();
    if (next == obj) throw IEInstallContainer("Circular reference");
    up = dynamic_cast<const TInstallObject*>(next);
  }
  const int kind = obj->Kind();  // a class without a kind fails here, before anything changes
  const int order = obj->Order();
  // Adding an object that is already a helper re-places it; it is never listed twice.
  helpers_.erase(std::remove(helpers_.begin(), helpers_.end(), obj), helpers_.end());
  std::size_t position = helpers_.size();
  for (std::size_t i = 0; i < helpers_.size(); ++i) {
    const int k = helpers_[i]->Kind();
    if (k > kind || (k == kind && order != -1 && helpers_[i]->Order() >= order)) {
      position = i;
      break;
    }
  }
  // The database engine installer must run before everything that may need it.
  if (SameText(obj->ClassName(), "TINSTALLBDE")) position = 0;
  helpers_.insert(helpers_.begin() + static_cast<std::ptrdiff_t>(position), obj);
  if (!Loading()) Renumber();
}

void TInstallContainer::RemoveHelper(TInstallObject* obj) {
  if (!obj) return;
  helpers_.erase(std::remove(helpers_.begin(), helpers_.end(), obj), helpers_.end());
  if (!Loading()) Renumber();
}

void TInstallContainer::Renumber() {
  int counter = 0;
  int previousKind = 0;
  bool first = true;
  for (TInstallObject* helper : helpers_) {
    const int kind = helper->Kind();
    if (first || kind != previousKind) counter = 0;
    helper->order_ = counter++;
    previousKind = kind;
    first = false;
  }
}

bool TInstallContainer::SelectedByInstallType() const {
  return currentInstallType_ == itAlways || currentInstallType_ == itCustom || installTypes_.Contains(itAlways) ||
         installTypes_.Contains(currentInstallType_);
}

bool TInstallContainer::WillInstall() const { return include_ && SelectedByInstallType(); }

void TInstallContainer::Process() {
  try {
    if (OnBeforeProcess) OnBeforeProcess(this);
    Broadcast(this, ncBeforeProcess, nullptr);
    if (!include_) {
      LogEvent("Object %s (%s) is not included", Name(), ClassName());
      return;
    }
    Broadcast(this, ncProcessStarts, nullptr);
    if (!SelectedByInstallType()) {
      LogEvent("Object %s (%s) is not part of this install type", Name(), ClassName());
      return;
    }
    LogEvent("Object %s (%s)", Name(), ClassName());
    Install();
    processed_ = true;
    if (TCurrentInstall* install = CurrentInstall()) WriteUninstall(kUninstallKeyPrefix + install->ProductName());
    if (OnAfterProcess) OnAfterProcess(this);
    Broadcast(this, ncAfterProcess, nullptr);
  } catch (const EAbort&) {
    // The silent abort skips this object; the container goes on with the next one.
  }
}

void TInstallContainer::Install() {
  processed_ = true;
  // By index: a helper's processing may change the list.
  for (std::size_t i = 0; i < helpers_.size(); ++i) {
    TInstallObject* helper = helpers_[i];
    if (helper->Installable()) helper->Process();
  }
}

void TInstallContainer::SetInstallTypes(TInstallTypeSet value) {
  if (value.Empty() || (value.Contains(itAlways) && !installTypes_.Contains(itAlways))) {
    installTypes_ = TInstallTypeSet{itAlways};
  } else if (!value.Without(itAlways).Empty()) {
    installTypes_ = value.Without(itAlways);
  } else {
    installTypes_ = value;
  }
}

namespace {
[[noreturn]] void FailComp(int index, const TClassInfo& type) {
  // The class is named rather than numbered: the placeholder after "ComponentType" takes its name.
  std::string format = TranslateMessage(
      "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer component. The "
      "parameters are probably reversed. Index: %d, ComponentType: %d");
  const std::size_t last = format.rfind("%d");
  if (last != std::string::npos) format[last + 1] = 's';
  throw IEInstallContainer(format, index, type.Name);
}
}  // namespace

TInstallObject* TInstallContainer::Comp(int index, const TClassInfo& type) const {
  int count = 0;
  for (TInstallObject* helper : helpers_) {
    if (!helper->InheritsFrom(type)) continue;
    if (count == index) return helper;
    ++count;
  }
  FailComp(index, type);
}

int TInstallContainer::CountOf(const TClassInfo& type) const {
  return static_cast<int>(
      std::count_if(helpers_.begin(), helpers_.end(), [&](TInstallObject* h) { return h->InheritsFrom(type); }));
}

void TInstallContainer::FreeHelpersOf(const TClassInfo& type) {
  for (int i = HelperCount() - 1; i >= 0; --i) {
    if (i >= HelperCount()) continue;
    TInstallObject* helper = helpers_[i];
    if (helper->InheritsFrom(type)) delete helper;  // its destruction takes it out of the list
  }
}

TInstallObject* TInstallContainer::Helper(int index) const {
  if (index < 0 || index >= HelperCount())
    throw IEInstallContainer(
        "Tried to reference a helper component in the following component: %s. The following index was used: %d",
        Name(), index);
  return helpers_[index];
}

int TInstallContainer::Broadcast(TObject* sender, int code, TObject* po) {
  // Helpers stand sorted by kind and dialogs have the highest: a status per 64 KB walks only the
  // tail, not every file of a large group.
  std::size_t first = helpers_.size();
  while (first > 0 && helpers_[first - 1]->Kind() >= kindDialog) --first;
  int result = 0;
  for (std::size_t i = first; i < helpers_.size(); ++i) {
    TInstallObject* helper = helpers_[i];
    if (helper->Kind() == kindDialog) result = helper->HandleNotification(sender, code, po);
  }
  return result;
}

// ---- TInstallObject ----

const TClassInfo& TInstallObject::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TInstallObject, TInstallContainer>("TInstallObject");
  return info;
}

TInstallObject::TInstallObject(TComponent* owner, int kind) : TInstallContainer(owner, kind) {
  // Only a designer places new objects in the installer; at run time the stream sets Container.
  if (!HasState(csDesigning)) return;
  TCurrentInstall* install = CurrentInstall();
  TInstallContainer* root = install ? install->RootContainer() : nullptr;
  if (!root || root == this) return;
  root->AddHelper(this);
  container_ = root;
  defaultContainer_ = true;
  ApplyDefaultDestDirType(StandardSpecifier(srContainerDestDir));
  SetDestDir("");
}

void TInstallObject::Loaded() {
  TInstallContainer::Loaded();
  if (defaultContainer_ && !containerAssigned_) SetContainer(nullptr);
  defaultContainer_ = false;
}

void TInstallObject::ContainerRemoved(TInstallContainer* container) {
  TInstallContainer::ContainerRemoved(container);
  if (container_ && container_ == container) SetContainer(nullptr);
}

void TInstallObject::SetContainer(TInstallContainer* value) {
  containerAssigned_ = true;
  if (value == container_) return;
  if (value) value->AddHelper(this);  // may fail with a circular reference; nothing has changed then
  if (container_) container_->RemoveHelper(this);
  container_ = value;
  if (Loading()) return;
  if (value) {
    SetDestDirType(StandardSpecifier(srContainerDestDir));
    SetDestDir("");
  } else if (HasRole(DestDirType(), srContainerDestDir)) {
    SetDestDirType(nullptr);
  }
}

void TInstallObject::SetOrder(int value) {
  if (Loading()) {
    order_ = value;
    // A loader that resolves Container before it sets Order still ends with the stored order.
    if (container_) container_->AddHelper(this);
    return;
  }
  if (value == order_ || !container_) return;
  container_->RemoveHelper(this);
  order_ = value;
  container_->AddHelper(this);
}

void TInstallObject::SetInstallType(TInstallType installType) {
  for (std::size_t i = 0; i < Helpers().size(); ++i) Helpers()[i]->SetInstallType(installType);
  currentInstallType_ = installType;
}

}  // namespace tav
