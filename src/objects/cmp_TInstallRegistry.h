#pragma once
// Registry actions (kind 8500): a list of values written into one key when the action is installed.
// The key is given absolutely or formed from the product information (company, product, version);
// a text value may carry "%p", replaced by the path of a path specifier. Each action records its key
// and value names for the uninstaller.
#include <functional>
#include <string>
#include <vector>

#include "core/collection.h"
#include "objects/cmp_TInstallContainer.h"
#include "objects/routines_Registry.h"

namespace tav {

class TCustomInstallRegistry;

enum TRegistryEntryType { retText, retInteger, retBoolean };
extern const TNameList RegistryEntryTypeNames;

enum TKeySpecifier { ksAbsolute, ksCompanyName, ksProductName, ksVersion };
extern const TNameList KeySpecifierNames;

class TRegistryEntry : public TCollectionItem {
public:
  explicit TRegistryEntry(TCollection* collection);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Assign(const TPersistent& source) override;

  bool Boolean() const { return boolean_; }
  void SetBoolean(bool value);
  TRegistryEntryType EntryType() const { return entryType_; }
  void SetEntryType(TRegistryEntryType value) { entryType_ = value; }
  const std::string& Ident() const { return ident_; }
  void SetIdent(const std::string& value) { ident_ = value; }
  int Integer() const { return integer_; }
  void SetInteger(int value);
  TCustomPathSpecifier* PathSpecifier() const { return pathSpecifier_; }
  void SetPathSpecifier(TCustomPathSpecifier* value);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  // The action the entry belongs to; nil until that action has been loaded.
  TCustomInstallRegistry* Owner() const { return owner_; }
  void SetOwner(TCustomInstallRegistry* owner) { owner_ = owner; }

  // Text, with "%p" replaced by the specifier's path for the owning action when one is set.
  std::string ValueText();
  // Writes the value under Ident into Key below Root, creating the key.
  void WriteEntry(TRootKeys root, const std::string& key);

private:
  // The setters switch EntryType only for an entry whose action is there and not being loaded.
  bool Switches() const;

  bool boolean_ = false;
  TRegistryEntryType entryType_ = retText;
  std::string ident_;
  int integer_ = 0;
  TCustomPathSpecifier* pathSpecifier_ = nullptr;
  std::string text_;
  TCustomInstallRegistry* owner_ = nullptr;
};

class TRegistryEntries : public TCollection {
public:
  // owner is required: nil raises IERegistryEntries.
  explicit TRegistryEntries(TCustomInstallRegistry* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TRegistryEntry* Items(int index) const { return static_cast<TRegistryEntry*>(TCollection::Items(index)); }
  TRegistryEntry* Add() { return static_cast<TRegistryEntry*>(TCollection::Add()); }
  TCustomInstallRegistry* Owner() const { return owner_; }

private:
  TCustomInstallRegistry* owner_;
};

class TCustomInstallRegistry : public TInstallObject {
public:
  using TBeforeWriteEntry =
      std::function<void(TCustomInstallRegistry* installRegistry, TRegistryEntry* entry, bool& continueWrite)>;

  explicit TCustomInstallRegistry(TComponent* owner);
  ~TCustomInstallRegistry() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Install() override;
  void WriteUninstall(const std::string& key) override;

  TRegistryEntries* Entries() { return entries_; }
  // Copies the items.
  virtual void SetEntries(const TRegistryEntries& value);
  const std::string& Key() const { return key_; }
  virtual void SetKey(const std::string& value);
  TKeySpecifier KeySpecifierType() const { return keySpecifierType_; }
  virtual void SetKeySpecifierType(TKeySpecifier value);
  TRootKeys RootKey() const { return rootKey_; }
  void SetRootKey(TRootKeys value) { rootKey_ = value; }
  // The key the values go to, by KeySpecifierType.
  virtual std::string FullKey();

  TBeforeWriteEntry OnBeforeWriteEntry;

  // Told by an entry that now refers to specifier, so that its removal reaches the entries.
  void WatchSpecifier(TCustomPathSpecifier* specifier);

private:
  // Raises unless the key lies below a first-level key: a blank, "\" or "\SOFTWARE" would hand a
  // shared tree to the uninstaller.
  void CheckKey(const std::string& key) const;

  TRegistryEntries* entries_;
  std::string key_ = "\\SOFTWARE\\MyStuff";
  TKeySpecifier keySpecifierType_ = ksAbsolute;
  TRootKeys rootKey_ = hkLocalMachine;
};

class TInstallRegistry : public TCustomInstallRegistry {
public:
  using TCustomInstallRegistry::TCustomInstallRegistry;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// Every live registry action in creation order; it owns nothing.
class TInstallRegistryList {
public:
  // nullptr raises IEInstallRegistryList.
  void Add(TCustomInstallRegistry* item);
  void Remove(TCustomInstallRegistry* item);
  int Count() const { return static_cast<int>(items_.size()); }
  TCustomInstallRegistry* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }

private:
  std::vector<TCustomInstallRegistry*> items_;
};

TInstallRegistryList& InstallRegistries();

// The number of non-blank parts of a key path: "\SOFTWARE\MyStuff" has 2.
int RegistryKeyDepth(const std::string& key);

}  // namespace tav
