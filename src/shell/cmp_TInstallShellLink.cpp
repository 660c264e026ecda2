#include "shell/cmp_TInstallShellLink.h"

#include <algorithm>

#include "archive/cmp_TVersion.h"
#include "core/properties.h"
#include "core/routines_API.h"
#include "core/routines_Strings.h"
#include "core/run_log.h"
#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/uninstall_record.h"
#include "paths/routines_ExpandPaths.h"
#include "shell/cmp_TProgramManager.h"
#include "sys/unicode.h"
#include "ui/win32.h"

#include <shlobj.h>

namespace tav {

namespace {

TMainLinkGroup* mainLinkGroup = nullptr;

bool InheritsFromName(const TComponent* component, std::string_view name) {
  for (const TClassInfo* c = component ? &component->ClassInfo() : nullptr; c; c = c->Parent()) {
    if (SameText(c->Name, name)) return true;
  }
  return false;
}

TCustomPathSpecifier* FindStandard(const TClassInfo& cls) {
  TStandardPathSpecList* list = StandardPathSpecifiers();
  if (!list) return nullptr;
  for (int i = 0; i < list->Count(); ++i) {
    if (list->Items(i)->InheritsFrom(cls)) return list->Items(i);
  }
  return nullptr;
}

// A component told that what it depends on left the project goes too, unless its owner is being
// torn down anyway (then the owner frees it in turn).
bool MayRemoveItself(const TComponent& component) {
  if (component.HasState(csDestroying)) return false;
  const TComponent* owner = component.Owner();
  return !owner || !owner->HasState(csDestroying);
}

template <class List, class T>
void AddTo(List& items, T* item) {
  if (!item) throw IEInstallShellLinkList("Cannot add a blank entry to the shell link list");
  items.push_back(item);
}

template <class List, class T>
void RemoveFrom(List& items, T* item) {
  items.erase(std::remove(items.begin(), items.end(), item), items.end());
}

// A name like "Setup 2.0" has an extension as far as the shell is concerned.
std::string UpperExt(const std::string& name) { return UpperCase(ExtractFileExt(name)); }

std::string ComExplanation(HRESULT hr) {
  switch (static_cast<unsigned long>(hr)) {
    case 0: return std::string();
    case 0x8000FFFFul: return TranslateMessage("Indicates an unexpected error occurred");
    case 0x80040110ul: return TranslateMessage("Indicates this class cannot be created as part of an aggregate");
    case 0x80040154ul:
      return TranslateMessage("Indicates that a specified class is not registered in the registration database");
    case 0x8007000Eul: return TranslateMessage("Out of memory");
    case 0x80070057ul: return TranslateMessage("Indicates one or more arguments are invalid");
  }
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text ? Trim(sys::Narrow(text)) : std::string();
  if (text) LocalFree(text);
  return message;
}

// Releases a COM interface when it goes out of scope.
template <class T>
class ComPtr {
public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  void** Out() { return reinterpret_cast<void**>(&p_); }

private:
  T* p_ = nullptr;
};

}  // namespace

constexpr std::string_view kMethodTypeNames[] = {"mtAutoDetect", "mtShellLinkInterface", "mtProgramManager"};
constinit const TNameList MethodTypeNames(kMethodTypeNames);

// ---- lists ----

void TInstallShellLinkList::Add(TCustomInstallShellLink* link) { AddTo(items_, link); }
void TInstallShellLinkList::Remove(TCustomInstallShellLink* link) { RemoveFrom(items_, link); }
void TShellLinkGroupList::Add(TCustomShellLinkGroup* group) { AddTo(items_, group); }
void TShellLinkGroupList::Remove(TCustomShellLinkGroup* group) { RemoveFrom(items_, group); }

// Never destroyed: a component freed late at program end still finds them.
TInstallShellLinkList& ShellLinks() {
  static auto* list = new TInstallShellLinkList;
  return *list;
}
TInstallShellLinkList& MainLinks() {
  static auto* list = new TInstallShellLinkList;
  return *list;
}
TShellLinkGroupList& ShellLinkGroups() {
  static auto* list = new TShellLinkGroupList;
  return *list;
}
TMainLinkGroup* MainLinkGroup() { return mainLinkGroup; }

void InitializeShellLinks() {
  thread_local bool done = false;
  if (done) return;
  const HRESULT hr = CoInitialize(nullptr);
  if (hr != S_OK && hr != S_FALSE) {
    throw IEInstallShellLink("Could not initialize IShellLink with following error code returned: %d",
                             static_cast<int>(hr));
  }
  done = true;
}

// ---- link groups ----

const TClassInfo& TCustomShellLinkGroup::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCustomShellLinkGroup, TInstallObject>("TCustomShellLinkGroup");
  return info;
}

TCustomShellLinkGroup::TCustomShellLinkGroup(TComponent* owner) : TInstallObject(owner, kindShellLinkGroup) {
  SetInstallable(true);
  ShellLinkGroups().Add(this);
}

TCustomShellLinkGroup::~TCustomShellLinkGroup() {
  Destroying();
  ShellLinkGroups().Remove(this);
}

void TCustomShellLinkGroup::ContainerRemoved(TInstallContainer* container) {
  const bool mine = container && container == Container();
  TInstallObject::ContainerRemoved(container);
  if (mine && MayRemoveItself(*this)) delete this;
}

void TCustomShellLinkGroup::CreateFolder() { CreateDirectories(FullDestDir()); }

void TCustomShellLinkGroup::Install() {
  Broadcast(this, ncInstallLinks, nullptr);
  CreateFolder();
  TInstallObject::Install();
}

const TClassInfo& TMainLinkGroup::StaticClassInfo() {
  using P = Props<TMainLinkGroup>;
  static constexpr TPropInfo props[] = {
      P::Reference<TInstallContainer, &TMainLinkGroup::Container, &TMainLinkGroup::SetContainer>("Container"),
      P::String<&TMainLinkGroup::DestDir, &TMainLinkGroup::SetDestDir>("DestDir", std::nullopt),
      P::Boolean<&TMainLinkGroup::Include, &TMainLinkGroup::SetInclude>("Include", true),
      P::Event<&TMainLinkGroup::OnAfterProcess>("OnAfterProcess"),
      P::Event<&TMainLinkGroup::OnBeforeProcess>("OnBeforeProcess"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TMainLinkGroup, TCustomShellLinkGroup>("TMainLinkGroup", props);
  return info;
}

TMainLinkGroup::TMainLinkGroup(TComponent* owner) : TCustomShellLinkGroup(owner) {
  if (mainLinkGroup) throw IEShellLinkGroup("You can only have one TMainLinkGroup component in your project");
  mainLinkGroup = this;
  SetDestDirType(nullptr);
  TCurrentInstall* install = CurrentInstall();
  SetDestDir(install ? "\\" + install->ProductName() : std::string("\\MainFolderName"));
}

TMainLinkGroup::~TMainLinkGroup() {
  if (mainLinkGroup == this) mainLinkGroup = nullptr;
}

void TMainLinkGroup::SetDestDirType(TCustomPathSpecifier*) {
  TCustomShellLinkGroup::SetDestDirType(FindStandard(TpsProgramMenu::StaticClassInfo()));
}

void TMainLinkGroup::SetContainer(TInstallContainer* value) {
  const std::string folder = DestDir();
  TCustomShellLinkGroup::SetContainer(value);
  SetDestDir(folder);
}

// ---- links ----

const TClassInfo& TCustomInstallShellLink::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCustomInstallShellLink, TInstallObject>("TCustomInstallShellLink");
  return info;
}

TCustomInstallShellLink::TCustomInstallShellLink(TComponent* owner) : TInstallObject(owner, kindShellLink) {
  SetInstallable(true);
  // The shortcuts' own specifier joins the standard ones of the form they are placed on.
  if (IsFormOrDataModule(owner) && !FindStandard(TpsObjectLink::StaticClassInfo())) {
    auto* specifier = new TpsObjectLink(owner);
    specifier->SetName(specifier->DefaultName());
  }
  ShellLinks().Add(this);
}

TCustomInstallShellLink::~TCustomInstallShellLink() {
  Destroying();
  ShellLinks().Remove(this);
  MainLinks().Remove(this);
}

void TCustomInstallShellLink::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != opRemove || !component) return;
  if (component == objectLocationType_) objectLocationType_ = nullptr;
  if (component == objectLink_) {
    objectLink_ = nullptr;
    if (MayRemoveItself(*this)) delete this;
  }
}

void TCustomInstallShellLink::ContainerRemoved(TInstallContainer* container) {
  const bool mine = container && container == Container();
  TInstallObject::ContainerRemoved(container);
  if (mine && MayRemoveItself(*this)) delete this;
}

void TCustomInstallShellLink::SetDestDirType(TCustomPathSpecifier*) {
  TCustomPathSpecifier* fixed = FindStandard(TpsContainerDestDir::StaticClassInfo());
  // Without a container the specifier could not serve the link; it returns with the next container.
  TInstallObject::SetDestDirType(Container() || Loading() ? fixed : nullptr);
}

void TCustomInstallShellLink::SetLinkName(const std::string& value) {
  if (Loading()) {
    linkName_ = value;
    return;
  }
  const std::string previous = UpperExt(linkName_);
  linkName_ = value;
  if (Trim(value).empty()) return;
  const std::string ext = UpperExt(value);
  if (ext == ".URL") {
    SetObjectLink(nullptr);
  } else if (ext != ".LNK") {
    linkName_ = ChangeFileExt(value, previous.empty() ? std::string(".LNK") : previous);
  }
}

void TCustomInstallShellLink::SetObjectLink(TInstallContainer* value) {
  if (Loading()) {
    objectLink_ = value;
    if (value) value->FreeNotification(this);
    return;
  }
  if (!value) {
    objectLink_ = nullptr;
    objectLocationType_ = nullptr;
    return;
  }
  // Stored first: the specifier checks that there is something to point at.
  objectLink_ = value;
  value->FreeNotification(this);
  SetObjectLocationType(FindStandard(TpsObjectLink::StaticClassInfo()));
  objectLocation_.clear();
  if (auto* file = dynamic_cast<TCustomInstallFile*>(value)) {
    SetLinkName(ChangeFileExt(file->DestName(), ".lnk"));
  } else if (auto* group = dynamic_cast<TFileContainer*>(value)) {
    SetLinkName(group->GroupName() + ".lnk");
  } else {
    SetLinkName(value->Name() + ".lnk");
  }
  if (!Container()) SetContainer(value);
}

void TCustomInstallShellLink::SetObjectLocation(const std::string& value) {
  objectLocation_ = value;
  if (Loading()) return;
  if (objectLocationType_ && objectLocationType_->InheritsFrom(TpsObjectLink::StaticClassInfo()))
    objectLocation_.clear();
  if (!Trim(linkName_).empty() && linkName_ != ".LNK") return;
  const std::string upper = UpperCase(objectLocation_);
  for (const char* scheme : {"HTTP://", "FTP://"}) {
    const std::size_t at = upper.find(scheme);
    if (at != std::string::npos) {
      SetLinkName(objectLocation_.substr(at + std::string(scheme).size()) + ".URL");
      return;
    }
  }
  SetLinkName(ChangeFileExt(ExtractFileName(objectLocation_), ""));
}

void TCustomInstallShellLink::SetObjectLocationType(TCustomPathSpecifier* value) {
  if (value && !Loading()) value->Validate(this);
  objectLocationType_ = value;
  if (!value) return;
  value->FreeNotification(this);
  if (!Loading() && value->InheritsFrom(TpsObjectLink::StaticClassInfo())) objectLocation_.clear();
}

std::string TCustomInstallShellLink::TargetPath() {
  if (objectLocationType_) return objectLocationType_->GetPath(this) + objectLocation_;
  return ExcludeTrailingBackslash(objectLocation_);
}

std::string TCustomInstallShellLink::LinkFilePath() { return IncludeTrailingBackslash(FullDestDir()) + linkName_; }

TMethodType TCustomInstallShellLink::EffectiveMethod() const {
  if (method_ != mtAutoDetect) return method_;
  // The shell's link interface exists on the Windows 95 family and on Windows NT from 4 on.
  const int version = WindowsVersion();
  return version == 1 || version == 2 ? mtShellLinkInterface : mtProgramManager;
}

void TCustomInstallShellLink::Install() {
  if (Trim(linkName_).empty())
    throw IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", Name());
  if (objectLink_) {
    // What was excluded or not selected gets no shortcut.
    if (!objectLink_->Processed()) return;
    if (InheritsFromName(objectLink_, "TUninstallEXE")) {
      TCurrentInstall* install = CurrentInstall();
      if (!install)
        throw IEInstallShellLink("%s cannot perform operation because there is no TInstall component", Name());
      parameters_ = install->ProductName();
    }
    if (auto* group = dynamic_cast<TCustomShellLinkGroup*>(objectLink_)) group->CreateFolder();
  }
  if (UpperExt(linkName_) == ".URL") {
    InstallInternetShortcut();
    LogEvent("Internet shortcut written: %s", LinkFilePath());
  } else if (EffectiveMethod() == mtShellLinkInterface) {
    InstallShellLink();
    LogEvent("Shortcut written: %s", LinkFilePath());
  } else {
    InstallProgramManagerItem();
    LogEvent("Program Manager item written: %s", LinkFilePath());
  }
}

void TCustomInstallShellLink::WriteUninstall(const std::string& key) { AppendUninstallFile(key, LinkFilePath()); }

void TCustomInstallShellLink::InstallInternetShortcut() {
  // A line break would end the value and let the address write INI lines of its own.
  if (objectLocation_.find_first_of("\r\n") != std::string::npos) {
    throw IEInstallShellLink(
        "The internet shortcut %s could not be installed because its address contains a line break", Name());
  }
  CreateDirectories(FullDestDir());
  const std::string path = LinkFilePath();
  if (!WritePrivateProfileStringW(L"InternetShortcut", L"URL", sys::Wide(objectLocation_).c_str(),
                                  sys::Wide(path).c_str())) {
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s", Name(),
        ComExplanation(HRESULT_FROM_WIN32(GetLastError())));
  }
}

void TCustomInstallShellLink::InstallShellLink() {
  const auto check = [this](HRESULT hr) {
    if (FAILED(hr)) {
      throw IEInstallShellLink(
          "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s. Error "
          "code %d",
          Name(), ComExplanation(hr), static_cast<int>(hr));
    }
  };
  try {
    InitializeShellLinks();
    CreateDirectories(FullDestDir());
    const std::string parameters = ExpandMetaVariables(parameters_, this);
    const std::string target = TargetPath();
    const std::wstring file = sys::Wide(LinkFilePath());
    // A longer name would be cut and the shortcut saved somewhere else.
    if (file.size() >= MAX_PATH) {
      throw IEInstallShellLink(
          "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s", Name(),
          Format(TranslateMessage("The path %s is longer than %d characters"), LinkFilePath(), MAX_PATH - 1));
    }
    ComPtr<IShellLinkW> link;
    check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out()));
    check(link->SetPath(sys::Wide(target).c_str()));
    check(link->SetHotkey(static_cast<WORD>(hotKey_)));
    check(link->SetArguments(sys::Wide(parameters).c_str()));
    check(link->SetWorkingDirectory(sys::Wide(ExcludeTrailingBackslash(ExtractFilePath(target))).c_str()));
    ComPtr<IPersistFile> persist;
    check(link->QueryInterface(IID_IPersistFile, persist.Out()));
    check(persist->Save(file.c_str(), TRUE));
  } catch (const IEInstallShellLink&) {
    throw;
  } catch (const Exception& e) {
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s", Name(),
        e.Message());
  }
}

void TCustomInstallShellLink::InstallProgramManagerItem() {
  // The group is the shortcut's folder, named as Program Manager shows it.
  const std::string group = Trim(ExtractFileName(ExcludeTrailingBackslash(FullDestDir())));
  if (group.empty())
    throw IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", Name());
  TProgramManager& pm = ProgramManager();
  pm.CreateGroup(group);
  const std::string item = ChangeFileExt(linkName_, "");
  if (pm.FindItem(item) > 0) pm.ReplaceItem(item);
  const std::string target = TargetPath();
  const std::string parameters = ExpandMetaVariables(parameters_, this);
  pm.AddItem("\"" + target + "\" " + parameters, item, "", 0,
             "\"" + ExcludeTrailingBackslash(ExtractFilePath(target)) + "\"", "");
}

const TClassInfo& TInstallMainLink::StaticClassInfo() {
  using P = Props<TInstallMainLink>;
  static constexpr TPropInfo props[] = {
      P::String<&TInstallMainLink::DestDir, &TInstallMainLink::SetDestDir>("DestDir"),
      P::Boolean<&TInstallMainLink::Include, &TInstallMainLink::SetInclude>("Include", true),
      P::Integer<&TInstallMainLink::HotKey, &TInstallMainLink::SetHotKey>("HotKey", 0),
      P::String<&TInstallMainLink::LinkName, &TInstallMainLink::SetLinkName>("LinkName"),
      P::Enum<&TInstallMainLink::Method, &TInstallMainLink::SetMethod>("Method", MethodTypeNames, mtAutoDetect),
      P::Reference<TInstallContainer, &TInstallMainLink::ObjectLink, &TInstallMainLink::SetObjectLink>("ObjectLink"),
      P::String<&TInstallMainLink::ObjectLocation, &TInstallMainLink::SetObjectLocation>("ObjectLocation"),
      P::Reference<TCustomPathSpecifier, &TInstallMainLink::ObjectLocationType,
                   &TInstallMainLink::SetObjectLocationType>("ObjectLocationType"),
      P::String<&TInstallMainLink::Parameters, &TInstallMainLink::SetParameters>("Parameters"),
      P::Event<&TInstallMainLink::OnAfterProcess>("OnAfterProcess"),
      P::Event<&TInstallMainLink::OnBeforeProcess>("OnBeforeProcess"),
  };
  static constexpr TClassInfo info =
      MakeClassInfo<TInstallMainLink, TCustomInstallShellLink>("TInstallMainLink", props);
  return info;
}

TInstallMainLink::TInstallMainLink(TComponent* owner) : TCustomInstallShellLink(owner) {
  TMainLinkGroup* group = MainLinkGroup();
  if (!group) {
    throw IEInstallShellLink(
        "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  }
  SetContainer(group);
  MainLinks().Add(this);
}

void TInstallMainLink::SetContainer(TInstallContainer* value) {
  if (value && value != MainLinkGroup()) {
    throw IEInstallShellLink(
        "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components");
  }
  TCustomInstallShellLink::SetContainer(value);
}

void RegisterShellClasses() {
  RegisterClass(TMainLinkGroup::StaticClassInfo());
  RegisterClass(TInstallMainLink::StaticClassInfo());
}

}  // namespace tav
