#pragma once
// The path specifiers: a user-defined one that asks its handler, and the fourteen built-in ones that
// resolve the usual system and installation directories. Two program-wide lists keep track of them.
#include <string>
#include <vector>

#include "core/classes.h"
#include "objects/cmp_TPathSpecifier_base.h"

namespace tav {

class TInstallContainer;

// An ordered list of specifier references; it owns nothing.
class TPathSpecifierList {
public:
  virtual ~TPathSpecifierList() = default;
  int Count() const { return static_cast<int>(items_.size()); }
  TCustomPathSpecifier* Items(int index) const;
  int IndexOf(const TCustomPathSpecifier* specifier) const;
  // A nil specifier raises IEPathSpecifierList.
  void Add(TCustomPathSpecifier* specifier);
  void Remove(TCustomPathSpecifier* specifier);
  // The first specifier in list order that is of that class or descends from it; raises
  // IEPathSpecifier "Could not find the path specifier" when there is none.
  TCustomPathSpecifier* FindByClass(const TClassInfo& specifierClass) const;
  template <class T>
  T* FindByClass() const {
    return dynamic_cast<T*>(FindByClass(T::StaticClassInfo()));
  }
  // Creates, owned by owner and under their default names, the fourteen built-in specifiers; with
  // onlyMissing those of which the list of all specifiers already holds an instance are skipped.
  // Nothing without an owner.
  void EnsureStandardSpecifiers(TComponent* owner, bool onlyMissing);

private:
  std::vector<TCustomPathSpecifier*> items_;
};

class TStandardPathSpecList : public TPathSpecifierList {};

// The process-wide lists; nullptr once destroyed at program end.
TPathSpecifierList* PathSpecifiers();
TStandardPathSpecList* StandardPathSpecifiers();

// A user-defined specifier: its handler supplies the path.
class TPathSpecifier : public TCustomPathSpecifier {
public:
  explicit TPathSpecifier(TComponent* owner);
  ~TPathSpecifier() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  std::string GetDescription() const override { return description_; }
  const std::string& Description() const { return description_; }
  void SetDescription(const std::string& value) { description_ = value; }

private:
  std::string description_ = "My cool new path specifier";
};

// A built-in specifier: fixed default name, description, resolution and validation.
class TStandardPathSpecifier : public TCustomPathSpecifier {
public:
  ~TStandardPathSpecifier() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  std::string GetDescription() const override { return description_; }

protected:
  TStandardPathSpecifier(TComponent* owner, const char* defaultName, const char* description);

private:
  std::string description_;
};

#define TAV_STANDARD_SPECIFIER_CLASS(Name)                                 \
public:                                                                    \
  explicit Name(TComponent* owner);                                        \
  static const TClassInfo& StaticClassInfo();                              \
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

class TpsBDEDLL : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsBDEDLL)
  // The first of the directories in the database engine's DLLPath, as written there.
  std::string GetPath(TComponent* component) override;
};

class TpsCommonFiles : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsCommonFiles)
  std::string GetPath(TComponent* component) override;
};

class TpsContainerArchiveFile : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsContainerArchiveFile)
  void Validate(TComponent* component) override;
  std::string GetPath(TComponent* component) override;
  TStandardSpecifierRole StandardRole() const override { return srContainerArchiveFile; }
};

class TpsContainerDestDir : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsContainerDestDir)
  void Validate(TComponent* component) override;
  std::string GetDescriptionFor(TComponent* component) override;
  std::string GetPath(TComponent* component) override;
  TStandardSpecifierRole StandardRole() const override { return srContainerDestDir; }
};

class TpsDesktopMenu : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsDesktopMenu)
  std::string GetPath(TComponent* component) override;
};

class TpsInstallSource : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsInstallSource)
  void Validate(TComponent* component) override;
  std::string GetPath(TComponent* component) override;
  TStandardSpecifierRole StandardRole() const override { return srInstallSource; }
};

class TpsMainInstall : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsMainInstall)
  void Validate(TComponent* component) override;
  std::string GetPath(TComponent* component) override;
};

class TpsProgramFiles : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsProgramFiles)
  std::string GetPath(TComponent* component) override;
};

class TpsProgramMenu : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsProgramMenu)
  std::string GetPath(TComponent* component) override;
};

class TpsStartMenu : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsStartMenu)
  std::string GetPath(TComponent* component) override;
};

class TpsStartupMenu : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsStartupMenu)
  std::string GetPath(TComponent* component) override;
};

class TpsSystem : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsSystem)
  std::string GetPath(TComponent* component) override;
};

class TpsMainArchiveFile : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsMainArchiveFile)
  void Validate(TComponent* component) override;
  // With -e the self-extracting executable beside the source, else files.1 there.
  std::string GetPath(TComponent* component) override;
  TStandardSpecifierRole StandardRole() const override { return srMainArchiveFile; }
};

class TpsWindow : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsWindow)
  std::string GetPath(TComponent* component) override;
};

// What a shortcut offers psObjectLink: the install object it points at. The shortcut classes live
// in the shell layer above and implement it.
class TObjectLinkSource {
public:
  virtual TInstallContainer* LinkedObject() const = 0;

protected:
  ~TObjectLinkSource() = default;
};

// The installed location of what a shortcut points at; serves shortcuts only, and is not among the
// fourteen created for every project.
class TpsObjectLink : public TStandardPathSpecifier {
  TAV_STANDARD_SPECIFIER_CLASS(TpsObjectLink)
  void Validate(TComponent* component) override;
  // An install file's installed full path, any other object's destination directory.
  std::string GetPath(TComponent* component) override;
};

#undef TAV_STANDARD_SPECIFIER_CLASS

// The fourteen built-in classes in the order they are created and a stored project lists them.
const std::vector<const TClassInfo*>& StandardSpecifierClasses();

// True for a form (TForm or a descendant) or a data module.
bool IsFormOrDataModule(const TComponent* component);

// Registers the streamable specifier classes and gives the object model its standard specifiers;
// called once at start-up.
void RegisterPathClasses();

}  // namespace tav
