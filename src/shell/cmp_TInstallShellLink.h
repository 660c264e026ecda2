#pragma once
// Shortcuts: the product's folder under the Start menu's Programs folder (TMainLinkGroup) and the
// shortcuts in it (TInstallMainLink), made as shell link files, Program Manager items or, for names
// ending in ".URL", internet shortcut files. Each shortcut records its file in the uninstall record.
#include <string>
#include <vector>

#include "objects/cmp_TInstallContainer.h"
#include "paths/cmp_TPathSpecifier.h"

namespace tav {

enum TMethodType { mtAutoDetect, mtShellLinkInterface, mtProgramManager };
extern const TNameList MethodTypeNames;

// Broadcast by a link group as it starts installing its shortcuts.
constexpr int ncInstallLinks = -991;

class TCustomShellLinkGroup : public TInstallObject {
public:
  explicit TCustomShellLinkGroup(TComponent* owner);
  ~TCustomShellLinkGroup() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void ContainerRemoved(TInstallContainer* container) override;
  void Install() override;
  // Makes the group's folder with any missing parents.
  void CreateFolder();
};

// The product's one folder of shortcuts, always under the Programs folder.
class TMainLinkGroup : public TCustomShellLinkGroup {
public:
  explicit TMainLinkGroup(TComponent* owner);
  ~TMainLinkGroup() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Whatever is assigned, the Programs folder specifier stays.
  void SetDestDirType(TCustomPathSpecifier* value) override;
  // The folder stays what it was: it is named relative to the Programs folder, not to the container.
  void SetContainer(TInstallContainer* value) override;
};

class TCustomInstallShellLink : public TInstallObject, public TObjectLinkSource {
public:
  explicit TCustomInstallShellLink(TComponent* owner);
  ~TCustomInstallShellLink() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Notification(TComponent* component, TOperation operation) override;
  void ContainerRemoved(TInstallContainer* container) override;
  void Install() override;
  void WriteUninstall(const std::string& key) override;
  TInstallContainer* LinkedObject() const override { return objectLink_; }

  // Whatever is assigned, the container's destination specifier stays.
  void SetDestDirType(TCustomPathSpecifier* value) override;

  int HotKey() const { return hotKey_; }
  void SetHotKey(int value) { hotKey_ = value; }
  const std::string& LinkName() const { return linkName_; }
  void SetLinkName(const std::string& value);
  TMethodType Method() const { return method_; }
  void SetMethod(TMethodType value) { method_ = value; }
  TInstallContainer* ObjectLink() const { return objectLink_; }
  void SetObjectLink(TInstallContainer* value);
  const std::string& ObjectLocation() const { return objectLocation_; }
  void SetObjectLocation(const std::string& value);
  TCustomPathSpecifier* ObjectLocationType() const { return objectLocationType_; }
  void SetObjectLocationType(TCustomPathSpecifier* value);
  const std::string& Parameters() const { return parameters_; }
  void SetParameters(const std::string& value) { parameters_ = value; }

  // What the shortcut starts: the location type's path followed by ObjectLocation.
  std::string TargetPath();
  // Where the shortcut's file goes: the destination directory and LinkName.
  std::string LinkFilePath();
  // The method that Install uses for a name not ending in ".URL".
  TMethodType EffectiveMethod() const;

protected:
  void InstallInternetShortcut();
  void InstallShellLink();
  void InstallProgramManagerItem();

private:
  int hotKey_ = 0;
  std::string linkName_;
  TMethodType method_ = mtAutoDetect;
  TInstallContainer* objectLink_ = nullptr;
  std::string objectLocation_;
  TCustomPathSpecifier* objectLocationType_ = nullptr;
  std::string parameters_;
};

// A shortcut in the main link group, which must exist before it and is its only container.
class TInstallMainLink : public TCustomInstallShellLink {
public:
  explicit TInstallMainLink(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void SetContainer(TInstallContainer* value) override;
};

// Every live link, every live main link and every live link group, in creation order.
class TInstallShellLinkList {
public:
  void Add(TCustomInstallShellLink* link);
  void Remove(TCustomInstallShellLink* link);
  const std::vector<TCustomInstallShellLink*>& Items() const { return items_; }

private:
  std::vector<TCustomInstallShellLink*> items_;
};

class TShellLinkGroupList {
public:
  void Add(TCustomShellLinkGroup* group);
  void Remove(TCustomShellLinkGroup* group);
  const std::vector<TCustomShellLinkGroup*>& Items() const { return items_; }

private:
  std::vector<TCustomShellLinkGroup*> items_;
};

TInstallShellLinkList& ShellLinks();
TInstallShellLinkList& MainLinks();
TShellLinkGroupList& ShellLinkGroups();
// The project's main link group, nullptr when it has none.
TMainLinkGroup* MainLinkGroup();

// Initialises COM on this thread once for the shell link interface.
void InitializeShellLinks();

void RegisterShellClasses();

}  // namespace tav
