#include "objects/cmp_TInstallRegistry.h"

#include <algorithm>

#include "core/exceptions_Tavenrik.h"
#include "core/properties.h"
#include "core/routines_Percent.h"
#include "core/routines_Strings.h"
#include "objects/uninstall_record.h"

namespace tav {

namespace {

const char* const kNoInstall = "There is no TInstall component in your project";

TCurrentInstall& RequireInstall() {
  TCurrentInstall* install = CurrentInstall();
  if (!install) throw IEInstallRegistry(std::string(kNoInstall));
  return *install;
}

}  // namespace

constexpr std::string_view kRegistryEntryTypeNames[] = {"retText", "retInteger", "retBoolean"};
constinit const TNameList RegistryEntryTypeNames(kRegistryEntryTypeNames);

constexpr std::string_view kKeySpecifierNames[] = {"ksAbsolute", "ksCompanyName", "ksProductName", "ksVersion"};
constinit const TNameList KeySpecifierNames(kKeySpecifierNames);

int RegistryKeyDepth(const std::string& key) {
  int depth = 0;
  std::size_t at = 0;
  while (at < key.size()) {
    std::size_t end = key.find('\\', at);
    if (end == std::string::npos) end = key.size();
    if (!Trim(key.substr(at, end - at)).empty()) ++depth;
    at = end + 1;
  }
  return depth;
}

// ---- TRegistryEntry ----

TRegistryEntry::TRegistryEntry(TCollection* collection) : TCollectionItem(collection) {}

const TClassInfo& TRegistryEntry::StaticClassInfo() {
  using P = Props<TRegistryEntry>;
  // No property declares a stored default: every one is written.
  static constexpr TPropInfo props[] = {
      P::Boolean<&TRegistryEntry::Boolean, &TRegistryEntry::SetBoolean>("Boolean"),
      P::Enum<&TRegistryEntry::EntryType, &TRegistryEntry::SetEntryType>("EntryType", RegistryEntryTypeNames),
      P::String<&TRegistryEntry::Ident, &TRegistryEntry::SetIdent>("Ident", std::nullopt),
      P::Integer<&TRegistryEntry::Integer, &TRegistryEntry::SetInteger>("Integer"),
      P::Reference<TCustomPathSpecifier, &TRegistryEntry::PathSpecifier, &TRegistryEntry::SetPathSpecifier>(
          "PathSpecifier"),
      P::String<&TRegistryEntry::Text, &TRegistryEntry::SetText>("Text", std::nullopt),
  };
  static constexpr TClassInfo info = MakeClassInfo<TRegistryEntry, TCollectionItem>("TRegistryEntry", props);
  return info;
}

void TRegistryEntry::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TRegistryEntry*>(&source);
  if (!other) {
    TCollectionItem::Assign(source);
    return;
  }
  boolean_ = other->boolean_;
  entryType_ = other->entryType_;
  ident_ = other->ident_;
  integer_ = other->integer_;
  pathSpecifier_ = other->pathSpecifier_;
  text_ = other->text_;
  if (owner_ && pathSpecifier_) owner_->WatchSpecifier(pathSpecifier_);
}

bool TRegistryEntry::Switches() const { return owner_ && !owner_->HasState(csLoading); }

void TRegistryEntry::SetBoolean(bool value) {
  boolean_ = value;
  if (Switches()) entryType_ = retBoolean;
}

void TRegistryEntry::SetInteger(int value) {
  integer_ = value;
  if (Switches()) entryType_ = retInteger;
}

void TRegistryEntry::SetText(const std::string& value) {
  text_ = value;
  if (Switches()) entryType_ = retText;
}

void TRegistryEntry::SetPathSpecifier(TCustomPathSpecifier* value) {
  if (!Switches()) {
    pathSpecifier_ = value;
    return;
  }
  if (value) {
    value->Validate(owner_);
    pathSpecifier_ = value;
    owner_->WatchSpecifier(value);
    text_ = "%p";
  } else {
    pathSpecifier_ = nullptr;
  }
  entryType_ = retText;
}

std::string TRegistryEntry::ValueText() {
  if (!pathSpecifier_) return text_;
  return ExpandPathPlaceholder(text_, pathSpecifier_->GetPath(owner_));
}

void TRegistryEntry::WriteEntry(TRootKeys root, const std::string& key) {
  if (!CreateRegKey(root, key))
    throw IERegistryEntry("%s cannot create the key %s in the registry", owner_ ? owner_->Name() : std::string(),
                          key);
  switch (entryType_) {
    case retText: WriteRegString(root, key, ident_, ValueText()); break;
    case retInteger: WriteRegInteger(root, key, ident_, integer_); break;
    case retBoolean: WriteRegInteger(root, key, ident_, boolean_ ? 1 : 0); break;
  }
}

// ---- TRegistryEntries ----

TRegistryEntries::TRegistryEntries(TCustomInstallRegistry* owner)
    : TCollection(TRegistryEntry::StaticClassInfo(), [](TCollection* c) { return new TRegistryEntry(c); }),
      owner_(owner) {
  if (!owner) throw IERegistryEntries("Cannot create a TRegistryEntries component with a Nil Owner");
}

const TClassInfo& TRegistryEntries::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TRegistryEntries, TCollection>("TRegistryEntries");
  return info;
}

// ---- TCustomInstallRegistry ----

TInstallRegistryList& InstallRegistries() {
  static auto* list = new TInstallRegistryList;
  return *list;
}

void TInstallRegistryList::Add(TCustomInstallRegistry* item) {
  if (!item) throw IEInstallRegistryList("Cannot add blank entry to the registry list");
  items_.push_back(item);
}

void TInstallRegistryList::Remove(TCustomInstallRegistry* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
}

const TClassInfo& TCustomInstallRegistry::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCustomInstallRegistry, TInstallObject>("TCustomInstallRegistry");
  return info;
}

TCustomInstallRegistry::TCustomInstallRegistry(TComponent* owner)
    : TInstallObject(owner, kindInstallRegistry), entries_(new TRegistryEntries(this)) {
  SetInstallable(true);
  SetInclude(true);
  InstallRegistries().Add(this);
}

TCustomInstallRegistry::~TCustomInstallRegistry() {
  Destroying();
  delete entries_;
  InstallRegistries().Remove(this);
}

void TCustomInstallRegistry::Loaded() {
  TInstallObject::Loaded();
  for (int i = 0; i < entries_->Count(); ++i) {
    TRegistryEntry* entry = entries_->Items(i);
    entry->SetOwner(this);
    if (entry->PathSpecifier()) WatchSpecifier(entry->PathSpecifier());
  }
}

void TCustomInstallRegistry::WatchSpecifier(TCustomPathSpecifier* specifier) {
  if (specifier) specifier->FreeNotification(this);
}

void TCustomInstallRegistry::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != opRemove || !component) return;
  // The component is told while its base destructor runs: it is recognised by address, not by class.
  for (int i = 0; i < entries_->Count(); ++i) {
    TRegistryEntry* entry = entries_->Items(i);
    if (!entry->PathSpecifier() || static_cast<TComponent*>(entry->PathSpecifier()) != component) continue;
    const TRegistryEntryType type = entry->EntryType();
    entry->SetPathSpecifier(nullptr);
    entry->SetEntryType(type);
  }
  // The installer leaves the current-install slot before its removal is told.
  if (!CurrentInstall() && keySpecifierType_ != ksAbsolute) keySpecifierType_ = ksAbsolute;
}

void TCustomInstallRegistry::SetEntries(const TRegistryEntries& value) {
  entries_->Assign(value);
  for (int i = 0; i < entries_->Count(); ++i) {
    TRegistryEntry* entry = entries_->Items(i);
    entry->SetOwner(Loading() ? nullptr : this);
    // Copied without an owner, so nobody asked yet to be told when the specifier goes (Loaded asks).
    if (!Loading() && entry->PathSpecifier()) WatchSpecifier(entry->PathSpecifier());
  }
}

void TCustomInstallRegistry::SetKey(const std::string& value) {
  key_ = keySpecifierType_ == ksAbsolute ? value : std::string();
}

void TCustomInstallRegistry::SetKeySpecifierType(TKeySpecifier value) {
  if (value != ksAbsolute) {
    if (!Loading() && !CurrentInstall()) throw IEInstallRegistry(std::string(kNoInstall));
    key_.clear();
    rootKey_ = hkLocalMachine;
  }
  keySpecifierType_ = value;
}

std::string TCustomInstallRegistry::FullKey() {
  switch (keySpecifierType_) {
    case ksAbsolute:
      return !key_.empty() && key_.back() == '\\' ? key_.substr(0, key_.size() - 1) : key_;
    case ksCompanyName: return "\\SOFTWARE\\" + RequireInstall().CompanyName();
    case ksProductName: {
      TCurrentInstall& install = RequireInstall();
      return "\\SOFTWARE\\" + install.CompanyName() + "\\" + install.ProductName();
    }
    case ksVersion: {
      TCurrentInstall& install = RequireInstall();
      return "\\SOFTWARE\\" + install.CompanyName() + "\\" + install.ProductName() + "\\" + install.Version();
    }
  }
  return key_;
}

void TCustomInstallRegistry::CheckKey(const std::string& key) const {
  if (RegistryKeyDepth(key) < 2)
    throw IEInstallRegistry(
        "%s cannot write into the registry key \"%s\": the key must lie below a first-level key such as \\SOFTWARE "
        "(is a company or product name blank?)",
        Name(), key);
}

void TCustomInstallRegistry::Install() {
  for (int i = 0; i < entries_->Count(); ++i) {
    TRegistryEntry* entry = entries_->Items(i);
    bool continueWrite = true;
    if (OnBeforeWriteEntry) OnBeforeWriteEntry(this, entry, continueWrite);
    if (!continueWrite) continue;
    const std::string key = FullKey();
    CheckKey(key);
    entry->WriteEntry(rootKey_, key);
  }
  TInstallObject::Install();
}

void TCustomInstallRegistry::WriteUninstall(const std::string& key) {
  const std::string full = FullKey();
  // Refused before anything is recorded: the uninstaller would remove what the key holds.
  CheckKey(full);
  const std::string slot = AppendUninstallRegistryKey(key);
  WriteRegString(hkLocalMachine, slot, "Key", full);
  WriteRegInteger(hkLocalMachine, slot, "Root", static_cast<int>(rootKey_));
  for (int i = 0; i < entries_->Count(); ++i) {
    TRegistryEntry* entry = entries_->Items(i);
    WriteRegString(hkLocalMachine, slot + "\\Entries", entry->Ident(), entry->ValueText());
  }
}

// ---- TInstallRegistry ----

const TClassInfo& TInstallRegistry::StaticClassInfo() {
  using P = Props<TInstallRegistry>;
  static constexpr TPropInfo props[] = {
      P::Reference<TInstallContainer, &TInstallRegistry::Container, &TInstallRegistry::SetContainer>("Container"),
      P::Collection<TRegistryEntry, &TInstallRegistry::Entries>("Entries"),
      P::Set<&TInstallRegistry::InstallTypesMask, &TInstallRegistry::SetInstallTypesMask>(
          "InstallTypes", InstallTypeNames, 1 << itAlways),
      P::String<&TInstallRegistry::Key, &TInstallRegistry::SetKey>("Key", std::nullopt),
      P::Enum<&TInstallRegistry::KeySpecifierType, &TInstallRegistry::SetKeySpecifierType>("KeySpecifierType",
                                                                                           KeySpecifierNames),
      P::Enum<&TInstallRegistry::RootKey, &TInstallRegistry::SetRootKey>("RootKey", RootKeysNames, hkLocalMachine),
      P::Event<&TInstallRegistry::OnAfterProcess>("OnAfterProcess"),
      P::Event<&TInstallRegistry::OnBeforeProcess>("OnBeforeProcess"),
      P::Event<&TInstallRegistry::OnBeforeWriteEntry>("OnBeforeWriteEntry"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TInstallRegistry, TCustomInstallRegistry>("TInstallRegistry", props);
  return info;
}

}  // namespace tav
