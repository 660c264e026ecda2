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

std::uint64_t lastSerial = 0;

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

void TInstallContainerList::Remove(TInstallContainer* container) { EraseLast(items_, container); }

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
    : TComponent(EnsureSpecifiersFirst(owner)), kind_(kind), serial_(++lastSerial) {
  // A component placed on a form under design is itself under design.
  if (owner && owner->HasState(csDesigning)) SetState(csDesigning);
  if (TInstallContainerList* list = InstallContainers()) list->Add(this);
}

TInstallContainer::~TInstallContainer() {
  Destroying();
  TInstallContainerList* list = InstallContainers();
  if (!list) return;
  // Only the containers that list this one and the objects it contains can hold it. They are told in
  // the order of the process-wide list, the last first; one that went or let go meanwhile is not.
  std::vector<TInstallContainer*> told(listedIn_);
  told.insert(told.end(), dependents_.begin(), dependents_.end());
  std::sort(told.begin(), told.end(),
            [](const TInstallContainer* a, const TInstallContainer* b) { return a->serial_ > b->serial_; });
  told.erase(std::unique(told.begin(), told.end()), told.end());
  for (TInstallContainer* other : told) {
    if (other != this && (ListHolds(listedIn_, other) || ListHolds(dependents_, other))) other->ContainerRemoved(this);
  }
  list->Remove(this);
  // Helpers listed here without having this one as their container.
  for (TInstallObject* helper : helpers_) EraseLast(helper->listedIn_, this);
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
  auto it = FindLast(helpers_, container);
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
  const bool replaced = ListHolds(obj->listedIn_, this);
  if (replaced) helpers_.erase(FindLast(helpers_, obj));
  std::size_t position = helpers_.size();
  if (SameText(obj->ClassName(), "TINSTALLBDE")) {
    // The database engine installer must run before everything that may need it.
    position = 0;
  } else if (!SortsLast(kind, order)) {
    for (std::size_t i = 0; i < helpers_.size(); ++i) {
      const int k = helpers_[i]->Kind();
      if (k > kind || (k == kind && order != -1 && helpers_[i]->Order() >= order)) {
        position = i;
        break;
      }
    }
  }
  helpers_.insert(helpers_.begin() + static_cast<std::ptrdiff_t>(position), obj);
  PrefixOrderedAfterInsert(position);
  if (!replaced) obj->listedIn_.push_back(this);
  if (Loading()) {
    numbered_ = false;
  } else if (replaced) {
    Renumber();
  } else {
    RenumberAfterChange(position, position + 1);
  }
}

namespace {

// Whether a goes strictly before b by Kind, then Order.
bool Precedes(const TInstallObject* a, const TInstallObject* b) {
  const int ka = a->Kind(), kb = b->Kind();
  return ka < kb || (ka == kb && a->Order() < b->Order());
}

}  // namespace

bool TInstallContainer::SortsLast(int kind, int order) const {
  // A helper is placed before the first one of a greater kind, or of its kind with an Order not
  // below its own (unless its own is -1). With the others ascending, the greatest are the last two.
  const auto before = [&](const TInstallObject* h) {
    const int k = h->Kind();
    return k < kind || (k == kind && (order == -1 || h->Order() < order));
  };
  const std::size_t n = helpers_.size();
  if (n == 0) return true;
  if (!before(helpers_[n - 1])) return false;
  return n == 1 || (prefixOrdered_ && before(helpers_[n - 2]));
}

void TInstallContainer::PrefixOrderedAfterInsert(std::size_t position) {
  const std::size_t n = helpers_.size();  // with the new helper
  if (n <= 2) {
    prefixOrdered_ = true;
  } else if (position == n - 1) {
    // The former last one joins the others.
    prefixOrdered_ = prefixOrdered_ && Precedes(helpers_[n - 3], helpers_[n - 2]);
  } else {
    // Among the others, between its neighbours (the last one is not among them).
    const TInstallObject* placed = helpers_[position];
    prefixOrdered_ = prefixOrdered_ && (position == 0 || Precedes(helpers_[position - 1], placed)) &&
                     (position + 1 == n - 1 || Precedes(placed, helpers_[position + 1]));
  }
}

void TInstallContainer::RemoveHelper(TInstallObject* obj) {
  if (!obj) return;
  auto it = FindLast(helpers_, obj);
  if (it == helpers_.end()) {
    // Nothing leaves, but the list is numbered as after any removal.
    if (!Loading() && !numbered_) Renumber();
    return;
  }
  const auto index = static_cast<std::size_t>(it - helpers_.begin());
  helpers_.erase(it);
  EraseLast(obj->listedIn_, this);
  if (Loading()) {
    numbered_ = false;
  } else {
    RenumberAfterChange(index, index);
  }
}

void TInstallContainer::Renumber() {
  RenumberFrom(0, helpers_.size());
  prefixOrdered_ = true;
  for (std::size_t i = 1; i + 1 < helpers_.size() && prefixOrdered_; ++i)
    prefixOrdered_ = Precedes(helpers_[i - 1], helpers_[i]);
}

void TInstallContainer::RenumberAfterChange(std::size_t index, std::size_t firstOld) {
  if (numbered_) {
    RenumberFrom(index, firstOld);
  } else {
    Renumber();
  }
}

void TInstallContainer::RenumberFrom(std::size_t index, std::size_t firstOld) {
  int counter = 0;
  int previousKind = 0;
  bool first = index == 0;
  if (!first) {
    // Numbered already: the helper before index has its number.
    previousKind = helpers_[index - 1]->Kind();
    counter = helpers_[index - 1]->order_ + 1;
  }
  std::size_t stop = helpers_.size();
  for (std::size_t i = index; i < helpers_.size(); ++i) {
    TInstallObject* helper = helpers_[i];
    const int kind = helper->Kind();
    if (first || kind != previousKind) counter = 0;
    // A helper that was there before and keeps its number leaves every later number as it was.
    if (i >= firstOld && helper->order_ == counter) {
      stop = i;
      break;
    }
    helper->StoreOrder(counter, this);
    ++counter;
    previousKind = kind;
    first = false;
    // The order between this helper and the one before may have changed.
    if (i >= 1 && i + 1 < helpers_.size() && prefixOrdered_) prefixOrdered_ = Precedes(helpers_[i - 1], helper);
  }
  // And between the first helper that kept its number and the one before.
  if (stop >= 1 && stop + 1 < helpers_.size() && prefixOrdered_)
    prefixOrdered_ = Precedes(helpers_[stop - 1], helpers_[stop]);
  numbered_ = true;
}

void TInstallContainer::StoreOrder(int value, const TInstallContainer* renumbering) {
  order_ = value;
  for (TInstallContainer* container : listedIn_) {
    if (container == renumbering) continue;
    container->numbered_ = false;
    // The last helper is not among those kept ascending.
    if (container->helpers_.back() != this) container->prefixOrdered_ = false;
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
  root->dependents_.push_back(this);
  defaultContainer_ = true;
  ApplyDefaultDestDirType(StandardSpecifier(srContainerDestDir));
  SetDestDir("");
}

TInstallObject::~TInstallObject() {
  // The container no longer has this object to tell (late at program end there is nothing to keep).
  if (container_ && InstallContainers()) EraseLast(container_->dependents_, this);
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
  if (container_) {
    container_->RemoveHelper(this);
    EraseLast(container_->dependents_, this);
  }
  container_ = value;
  if (value) value->dependents_.push_back(this);
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
    StoreOrder(value);
    // A loader that resolves Container before it sets Order still ends with the stored order.
    if (container_) container_->AddHelper(this);
    return;
  }
  if (value == order_ || !container_) return;
  container_->RemoveHelper(this);
  StoreOrder(value);
  container_->AddHelper(this);
}

void TInstallObject::SetInstallType(TInstallType installType) {
  for (std::size_t i = 0; i < Helpers().size(); ++i) Helpers()[i]->SetInstallType(installType);
  currentInstallType_ = installType;
}

}  // namespace tav
