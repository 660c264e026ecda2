#include "core/classes.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <unordered_map>

#include "core/properties.h"

namespace tav {

bool IsValidIdent(std::string_view name) {
  if (name.empty()) return false;
  auto alpha = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; };
  if (!alpha(name[0])) return false;
  return std::all_of(name.begin() + 1, name.end(), [&](char c) {
    return alpha(c) || std::isdigit(static_cast<unsigned char>(c));
  });
}

bool TPropInfo::IsDefault(const TObject& object) const {
  if (!HasDefault) return false;
  switch (Kind) {
    case pkInteger:
    case pkBoolean:
    case pkEnum:
    case pkSet:
      return GetOrd(object) == DefaultOrd;
    case pkFloat:
      return GetFloat(object) == DefaultFloat;
    case pkString:
    case pkBinary:
      return GetText(object) == DefaultText;
    case pkComponent:
      return GetRef(object) == nullptr;
    case pkStringList:
      return GetList(object).empty();
    case pkEvent:
      return !EventAssigned(object);
    case pkPersistent:
    case pkCollection:
      return false;
  }
  return false;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
  for (const TClassInfo* c = this; c; c = c->Parent()) {
    for (const TPropInfo& p : c->Properties) {
      if (SameText(p.Name, name)) return &p;
    }
  }
  return nullptr;
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c; c = c->Parent()) {
    if (c == &other) return true;
  }
  return false;
}

std::vector<const TPropInfo*> TClassInfo::AllProperties() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->Parent()) chain.push_back(c);
  std::vector<const TPropInfo*> result;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const TPropInfo& p : (*it)->Properties) {
      // A redefinition in a descendant takes the ancestor's place.
      if (FindProperty(p.Name) != &p) continue;
      result.push_back(&p);
    }
  }
  return result;
}

const TClassInfo& TObject::StaticClassInfo() {
  static constexpr TClassInfo info = [] {
    TClassInfo root;
    root.Name = "TObject";
    return root;
  }();
  return info;
}

const TClassInfo& TPersistent::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TPersistent, TObject>("TPersistent");
  return info;
}

void TPersistent::Assign(const TPersistent& source) { source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& dest) const {
  throw EConvertError("Cannot assign a %s to a %s", ClassName(), dest.ClassName());
}

// Design-time positions of non-visual components: read and written, not used at run time.
struct TComponentProps {
  static std::int64_t Left(const TComponent& c) { return c.designLeft_; }
  static void SetLeft(TComponent& c, std::int64_t v) { c.designLeft_ = v; }
  static std::int64_t Top(const TComponent& c) { return c.designTop_; }
  static void SetTop(TComponent& c, std::int64_t v) { c.designTop_ = v; }
};

const TClassInfo& TComponent::StaticClassInfo() {
  using P = Props<TComponent>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TComponentProps::Left, &TComponentProps::SetLeft>("Left", 0),
      P::Integer<&TComponentProps::Top, &TComponentProps::SetTop>("Top", 0),
      P::Integer<&TComponent::Tag, &TComponent::SetTag>("Tag", 0),
  };
  static constexpr TClassInfo info = MakeClassInfo<TComponent, TPersistent>("TComponent", props);
  return info;
}

namespace {

// Owners with fewer children search them one by one.
constexpr std::size_t kIndexedFrom = 32;

}  // namespace

struct TComponent::TNameIndex {
  std::unordered_map<std::string, TComponent*> byName;  // keys folded as SameText compares

  static std::string Key(std::string_view name) { return LowerCase(name); }
  void Add(TComponent* c) {
    if (!c->name_.empty()) byName.emplace(Key(c->name_), c);
  }
  void Drop(const TComponent* c) {
    if (c->name_.empty()) return;
    auto it = byName.find(Key(c->name_));
    if (it != byName.end() && it->second == c) byName.erase(it);
  }
};

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Everyone who asked is told first, while this component still has its name and owner.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    EraseLast(other->freeNotifies_, this);
    other->Notification(this, opRemove);
  }
  while (!components_.empty()) {
    TComponent* child = components_.back();
    delete child;  // removes itself from components_
  }
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError("List index out of bounds (%d)", index);
  return components_[index];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  if (!names_ && components_.size() >= kIndexedFrom) {
    // Built on demand; from then on kept in step with the children and their names.
    auto index = std::make_unique<TNameIndex>();
    for (TComponent* c : components_) index->Add(c);
    names_ = std::move(index);
  }
  if (names_) {
    auto it = names_->byName.find(TNameIndex::Key(name));
    return it == names_->byName.end() ? nullptr : it->second;
  }
  for (TComponent* c : components_) {
    if (SameText(c->name_, name)) return c;
  }
  return nullptr;
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name)) throw EComponentError("'%s' is not a valid component name", name);
  if (owner_ && !SameText(name, name_) && owner_->FindComponent(name))
    throw EComponentError("A component named %s already exists", name);
  TNameIndex* index = owner_ ? owner_->names_.get() : nullptr;
  if (index) index->Drop(this);
  name_ = name;
  if (index) index->Add(this);
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->owner_ == this) return;
  if (!component->name_.empty() && FindComponent(component->name_))
    throw EComponentError("A component named %s already exists", component->name_);
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  if (names_) names_->Add(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = FindLast(components_, component);
  if (it == components_.end()) return;
  components_.erase(it);
  if (names_) names_->Drop(component);
  component->owner_ = nullptr;
  // The owner and every sibling drop references to the component that leaves.
  Notification(component, opRemove);
  // Unless the owner is freeing all of them: a sibling that holds a reference asked to be told
  // (FreeNotification) and has been told by the component itself; the others go as well.
  if (HasState(csDestroying)) return;
  for (TComponent* sibling : std::vector<TComponent*>(components_)) sibling->Notification(component, opRemove);
}

void TComponent::GetChildren(const std::function<void(TComponent*)>& proc, const TComponent* root) const {
  if (root != this) return;
  for (TComponent* c : components_) {
    if (!c->HasParent()) proc(c);
  }
}

void TComponent::Loaded() { ClearState(csLoading); }

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) RemoveFreeNotification(component);
}

bool TComponent::NotifiesEachOther(const TComponent* component) const {
  // The pair is in both lists or in neither: the shorter one tells.
  return freeNotifies_.size() <= component->freeNotifies_.size() ? ListHolds(freeNotifies_, component)
                                                                 : ListHolds(component->freeNotifies_, this);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this || NotifiesEachOther(component)) return;
  freeNotifies_.push_back(component);
  component->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component || !NotifiesEachOther(component)) return;
  EraseLast(freeNotifies_, component);
  EraseLast(component->freeNotifies_, this);
}

const std::string& TComponent::EventHandlerName(const std::string& event) const {
  static const std::string none;
  for (const auto& [e, h] : handlerNames_) {
    if (SameText(e, event)) return h;
  }
  return none;
}

void TComponent::SetEventHandlerName(const std::string& event, const std::string& handler) {
  for (auto& [e, h] : handlerNames_) {
    if (SameText(e, event)) {
      h = handler;
      return;
    }
  }
  handlerNames_.emplace_back(event, handler);
}

namespace {

std::map<std::string, const TClassInfo*>& ClassTable() {
  static std::map<std::string, const TClassInfo*> table;
  return table;
}

struct HandlerEntry {
  std::any handler;
  std::type_index type = typeid(void);
};

std::map<std::string, HandlerEntry>& HandlerTable() {
  static std::map<std::string, HandlerEntry> table;
  return table;
}

}  // namespace

void RegisterClass(const TClassInfo& info) { ClassTable()[UpperCase(info.Name)] = &info; }

const TClassInfo* FindClass(std::string_view name) {
  auto it = ClassTable().find(UpperCase(name));
  return it == ClassTable().end() ? nullptr : it->second;
}

std::vector<const TClassInfo*> RegisteredClasses() {
  std::vector<const TClassInfo*> result;
  for (const auto& [k, v] : ClassTable()) result.push_back(v);
  return result;
}

void RegisterHandlerAny(const std::string& name, std::any handler, std::type_index type) {
  HandlerTable()[UpperCase(name)] = HandlerEntry{std::move(handler), type};
}

const std::any* FindHandler(const std::string& name, std::type_index* type) {
  auto it = HandlerTable().find(UpperCase(name));
  if (it == HandlerTable().end()) return nullptr;
  if (type) *type = it->second.type;
  return &it->second.handler;
}

void UnregisterHandler(const std::string& name) { HandlerTable().erase(UpperCase(name)); }

}  // namespace tav
