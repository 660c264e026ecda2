#include "paths/cmp_TPathSpecifier.h"

#include <algorithm>
#include <memory>

#include "core/exceptions_Tavenrik.h"
#include "core/properties.h"
#include "core/routines_API.h"
#include "core/routines_Strings.h"
#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallContainer.h"
#include "objects/cmp_TInstallFile.h"
#include "paths/routines_ExpandPaths.h"
#include "objects/routines_Registry.h"
#include "ui/forms.h"

namespace tav {

namespace {

// Specifiers may outlive the lists at program end; they then skip their removal.
bool listsGone = false;
struct ListsOwner {
  TPathSpecifierList all;
  TStandardPathSpecList standard;
  ~ListsOwner() { listsGone = true; }
};

ListsOwner& Lists() {
  static ListsOwner owner;
  return owner;
}

void Join(TCustomPathSpecifier* specifier, bool standard) {
  if (listsGone) return;
  Lists().all.Add(specifier);
  if (standard) Lists().standard.Add(specifier);
}

void Leave(TCustomPathSpecifier* specifier) {
  if (listsGone) return;
  Lists().all.Remove(specifier);
  Lists().standard.Remove(specifier);
}

bool InheritsFromName(const TComponent* component, std::string_view name) {
  for (const TClassInfo* c = component ? &component->ClassInfo() : nullptr; c; c = c->Parent()) {
    if (SameText(c->Name, name)) return true;
  }
  return false;
}

std::string NameOf(const TComponent* component) { return component ? component->Name() : std::string(); }

// The install object a container-based specifier serves; raises unless component is one.
TInstallObject* RequireInstallObject(TComponent* component, const TCustomPathSpecifier& specifier) {
  auto* object = dynamic_cast<TInstallObject*>(component);
  if (!object) {
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier", NameOf(component), "TInstallObject",
                          specifier.DefaultName());
  }
  return object;
}

TCurrentInstall* RequireInstall(TComponent* component) {
  TCurrentInstall* install = CurrentInstall();
  if (!install) {
    throw IEPathSpecifier("There is no TInstall component so the path specifier could not be expanded for %s",
                          NameOf(component));
  }
  return install;
}

}  // namespace

// ---- TPathSpecifierList ----

TCustomPathSpecifier* TPathSpecifierList::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (%d)", index);
  return items_[index];
}

int TPathSpecifierList::IndexOf(const TCustomPathSpecifier* specifier) const {
  auto it = std::find(items_.begin(), items_.end(), specifier);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TPathSpecifierList::Add(TCustomPathSpecifier* specifier) {
  if (!specifier) throw IEPathSpecifierList("Tried to add a nil object to the path specifier list");
  items_.push_back(specifier);
}

void TPathSpecifierList::Remove(TCustomPathSpecifier* specifier) {
  auto it = std::find(items_.begin(), items_.end(), specifier);
  if (it != items_.end()) items_.erase(it);
}

TCustomPathSpecifier* TPathSpecifierList::FindByClass(const TClassInfo& specifierClass) const {
  for (TCustomPathSpecifier* s : items_) {
    if (s->InheritsFrom(specifierClass)) return s;
  }
  throw IEPathSpecifier("Could not find the path specifier");
}

void TPathSpecifierList::EnsureStandardSpecifiers(TComponent* owner, bool onlyMissing) {
  if (!owner) return;
  for (const TClassInfo* cls : StandardSpecifierClasses()) {
    if (onlyMissing && !listsGone) {
      const auto& all = Lists().all;
      bool present = false;
      for (int i = 0; i < all.Count() && !present; ++i) present = all.Items(i)->InheritsFrom(*cls);
      if (present) continue;
    }
    std::unique_ptr<TComponent> created(cls->Create(owner));
    auto* specifier = static_cast<TCustomPathSpecifier*>(created.get());
    // A name already taken on the owner fails here; the new instance goes away again.
    specifier->SetName(specifier->DefaultName());
    created.release();
  }
}

TPathSpecifierList* PathSpecifiers() { return listsGone ? nullptr : &Lists().all; }
TStandardPathSpecList* StandardPathSpecifiers() { return listsGone ? nullptr : &Lists().standard; }

// ---- TPathSpecifier ----

const TClassInfo& TPathSpecifier::StaticClassInfo() {
  using P = Props<TPathSpecifier>;
  static constexpr TPropInfo props[] = {
      P::String<&TPathSpecifier::Description, &TPathSpecifier::SetDescription>("Description",
                                                                               "My cool new path specifier"),
      P::Event<&TCustomPathSpecifier::OnGetPath>("OnGetPath"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TPathSpecifier, TCustomPathSpecifier>("TPathSpecifier", props);
  return info;
}

TPathSpecifier::TPathSpecifier(TComponent* owner) : TCustomPathSpecifier(owner) { Join(this, false); }

TPathSpecifier::~TPathSpecifier() { Leave(this); }

// ---- TStandardPathSpecifier ----

const TClassInfo& TStandardPathSpecifier::StaticClassInfo() {
  static constexpr TClassInfo info =
      MakeClassInfo<TStandardPathSpecifier, TCustomPathSpecifier>("TStandardPathSpecifier");
  return info;
}

TStandardPathSpecifier::TStandardPathSpecifier(TComponent* owner, const char* defaultName, const char* description)
    : TCustomPathSpecifier(owner), description_(description) {
  SetDefaultName(defaultName);
  Join(this, true);
}

TStandardPathSpecifier::~TStandardPathSpecifier() { Leave(this); }

// ---- the built-in specifiers ----

#define TAV_STANDARD_SPECIFIER(Class, DefaultName, Description)                                \
  Class::Class(TComponent* owner) : TStandardPathSpecifier(owner, DefaultName, Description) {} \
  const TClassInfo& Class::StaticClassInfo() {                                                 \
    static constexpr TClassInfo info = MakeClassInfo<Class, TStandardPathSpecifier>(#Class);   \
    return info;                                                                               \
  }

TAV_STANDARD_SPECIFIER(TpsBDEDLL, "psBDEDLL", "Borland Database Engine DLL Path")
TAV_STANDARD_SPECIFIER(TpsCommonFiles, "psCommonFiles",
                       "Path of the common files directory under the program files directory")
TAV_STANDARD_SPECIFIER(TpsContainerArchiveFile, "psContainerArchiveFile", "Path to the archive file of the container")
TAV_STANDARD_SPECIFIER(TpsContainerDestDir, "psContainerDestDir", "Path of the group (container)")
TAV_STANDARD_SPECIFIER(TpsDesktopMenu, "psDesktopMenu", "Path of the Desktop")
TAV_STANDARD_SPECIFIER(TpsInstallSource, "psInstallSource", "Path from which the user ran the install")
TAV_STANDARD_SPECIFIER(TpsMainInstall, "psMainInstall", "Path of the destination directory of the TInstall")
TAV_STANDARD_SPECIFIER(TpsProgramFiles, "psProgramFiles", "Path of the program files directory")
TAV_STANDARD_SPECIFIER(TpsProgramMenu, "psProgramMenu", "Path of the Programs folder under the Start Menu")
TAV_STANDARD_SPECIFIER(TpsStartMenu, "psStartMenu", "Path of Start Menu")
TAV_STANDARD_SPECIFIER(TpsStartupMenu, "psStartupMenu",
                       "Path of the Startup folder in the Programs folder under the Start Menu")
TAV_STANDARD_SPECIFIER(TpsSystem, "psSystem", "Path of system directory")
TAV_STANDARD_SPECIFIER(TpsMainArchiveFile, "psMainArchiveFile",
                       "Archive containing most or all non-internet installation files")
TAV_STANDARD_SPECIFIER(TpsWindow, "psWindow", "Path of the Windows directory")
TAV_STANDARD_SPECIFIER(TpsObjectLink, "psObjectLink", "Path of the file or file group in the ObjectLink property")

#undef TAV_STANDARD_SPECIFIER

std::string TpsBDEDLL::GetPath(TComponent*) {
  std::string path = ReadRegString(hkLocalMachine, "\\Software\\Borland\\Database Engine", "DLLPath", "");
  if (path.empty()) path = ProgramFilesDirectory() + "\\Borland\\Common Files\\BDE";
  return path.substr(0, path.find(';'));
}

std::string TpsCommonFiles::GetPath(TComponent*) { return CommonFilesDirectory(); }

void TpsContainerArchiveFile::Validate(TComponent* component) {
  TInstallObject* object = RequireInstallObject(component, *this);
  if (!object->Container()) {
    throw IEPathSpecifier("Cannot use ddContainerArchiveFile for %s unless you assign a Container", object->Name());
  }
  if (!dynamic_cast<TFileRelated*>(object->Container())) {
    throw IEPathSpecifier(
        "Cannot use the ddContainerArchiveFile path specifier for %s because the Container is not a TFileRelated "
        "descendant",
        object->Name());
  }
}

std::string TpsContainerArchiveFile::GetPath(TComponent* component) {
  Validate(component);
  return static_cast<TFileRelated*>(static_cast<TInstallObject*>(component)->Container())->FullArchiveFile();
}

void TpsContainerDestDir::Validate(TComponent* component) {
  TInstallObject* object = RequireInstallObject(component, *this);
  if (!object->Container()) {
    throw IEPathSpecifier("Cannot use ddContainerDestDir for %s unless you assign a Container", object->Name());
  }
}

std::string TpsContainerDestDir::GetDescriptionFor(TComponent* component) {
  try {
    Validate(component);
    TInstallContainer* container = static_cast<TInstallObject*>(component)->Container();
    auto* group = dynamic_cast<TFileContainer*>(container);
    return Format("Path of the <%s> group", group ? group->GroupName() : container->Name());
  } catch (const Exception&) {
    return GetDescription();
  }
}

std::string TpsContainerDestDir::GetPath(TComponent* component) {
  Validate(component);
  return static_cast<TInstallObject*>(component)->Container()->FullDestDir();
}

std::string TpsDesktopMenu::GetPath(TComponent*) { return DesktopFolder(); }

void TpsInstallSource::Validate(TComponent* component) { RequireInstall(component); }

std::string TpsInstallSource::GetPath(TComponent* component) {
  Validate(component);
  return CurrentInstall()->SourceDirectory();
}

void TpsMainInstall::Validate(TComponent* component) {
  TCurrentInstall* install = RequireInstall(component);
  // The installer's own destination cannot be built from itself.
  if (component && (component == install->RootContainer() || InheritsFromName(component, "TCustomInstall"))) {
    throw IEPathSpecifier("Cannot use the ddMainInstallDir path specifier for a TInstall component");
  }
}

std::string TpsMainInstall::GetPath(TComponent* component) {
  Validate(component);
  TInstallContainer* root = CurrentInstall()->RootContainer();
  return root ? root->FullDestDir() : std::string();
}

std::string TpsProgramFiles::GetPath(TComponent*) { return ProgramFilesDirectory(); }
std::string TpsProgramMenu::GetPath(TComponent*) { return ProgramsFolder(); }
std::string TpsStartMenu::GetPath(TComponent*) { return StartMenuFolder(); }
std::string TpsStartupMenu::GetPath(TComponent*) { return StartupFolder(); }
std::string TpsSystem::GetPath(TComponent*) { return SystemDirectory(); }

void TpsMainArchiveFile::Validate(TComponent* component) { RequireInstall(component); }

std::string TpsMainArchiveFile::GetPath(TComponent* component) {
  Validate(component);
  TCurrentInstall* install = CurrentInstall();
  const std::string base = IncludeTrailingBackslash(install->SourceDirectory());
  if (!install->HasSelfExtractSwitch()) return base + "files.1";
  const std::string exe = install->SelfExtractValue();
  if (Trim(exe).empty()) {
    throw IEInstall(
        "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
  }
  return base + exe;
}

std::string TpsWindow::GetPath(TComponent*) { return WindowsDirectory(); }

void TpsObjectLink::Validate(TComponent* component) {
  auto* link = dynamic_cast<TObjectLinkSource*>(component);
  if (!link || !InheritsFromName(component, "TCustomInstallShellLink")) {
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier", NameOf(component), "TCustomInstallShellLink",
                          DefaultName());
  }
  if (!link->LinkedObject()) {
    throw IEPathSpecifier("Cannot use ddObjectLink for %s unless you assign a value to ObjectLink", NameOf(component));
  }
}

std::string TpsObjectLink::GetPath(TComponent* component) {
  Validate(component);
  TInstallContainer* object = dynamic_cast<TObjectLinkSource*>(component)->LinkedObject();
  if (auto* file = dynamic_cast<TCustomInstallFile*>(object))
    return ExcludeTrailingBackslash(IncludeTrailingBackslash(file->FullDestDir()) + file->DestName());
  return ExcludeTrailingBackslash(object->FullDestDir());
}

// ---- registration ----

const std::vector<const TClassInfo*>& StandardSpecifierClasses() {
  static const std::vector<const TClassInfo*> classes{
      &TpsBDEDLL::StaticClassInfo(),          &TpsCommonFiles::StaticClassInfo(),
      &TpsContainerArchiveFile::StaticClassInfo(), &TpsContainerDestDir::StaticClassInfo(),
      &TpsDesktopMenu::StaticClassInfo(),     &TpsInstallSource::StaticClassInfo(),
      &TpsMainInstall::StaticClassInfo(),     &TpsProgramFiles::StaticClassInfo(),
      &TpsProgramMenu::StaticClassInfo(),     &TpsStartMenu::StaticClassInfo(),
      &TpsStartupMenu::StaticClassInfo(),     &TpsSystem::StaticClassInfo(),
      &TpsMainArchiveFile::StaticClassInfo(), &TpsWindow::StaticClassInfo(),
  };
  return classes;
}

bool IsFormOrDataModule(const TComponent* component) {
  // There is no data module class in this program; one would be recognised by its name.
  return component && (component->InheritsFrom(TForm::StaticClassInfo()) || InheritsFromName(component, "TDataModule"));
}

void RegisterPathClasses() {
  RegisterClass(TPathSpecifier::StaticClassInfo());
  for (const TClassInfo* cls : StandardSpecifierClasses()) RegisterClass(*cls);
  RegisterClass(TpsObjectLink::StaticClassInfo());

  TStandardSpecifierProvider provider;
  provider.EnsureOn = [](TComponent* owner) {
    TStandardPathSpecList* list = StandardPathSpecifiers();
    if (list && IsFormOrDataModule(owner)) list->EnsureStandardSpecifiers(owner, true);
  };
  provider.Find = [](TStandardSpecifierRole role) -> TCustomPathSpecifier* {
    TStandardPathSpecList* list = StandardPathSpecifiers();
    if (!list) return nullptr;
    switch (role) {
      case srContainerDestDir: return list->FindByClass<TpsContainerDestDir>();
      case srContainerArchiveFile: return list->FindByClass<TpsContainerArchiveFile>();
      case srMainArchiveFile: return list->FindByClass<TpsMainArchiveFile>();
      case srInstallSource: return list->FindByClass<TpsInstallSource>();
      case srMainInstall: return list->FindByClass<TpsMainInstall>();
      case srCommonFiles: return list->FindByClass<TpsCommonFiles>();
      case srSystem: return list->FindByClass<TpsSystem>();
      case srWindow: return list->FindByClass<TpsWindow>();
      case srBDEDLL: return list->FindByClass<TpsBDEDLL>();
      case srNone: break;
    }
    return nullptr;
  };
  StandardSpecifierProviderSlot().SetStartValue(std::move(provider));
}

}  // namespace tav
