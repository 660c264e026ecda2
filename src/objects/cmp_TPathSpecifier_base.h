#pragma once
// The abstract path specifier: a component that yields the base directory (or archive path) of
// another component. The concrete specifiers live in the paths layer above; the install objects only
// know this base and reach the standard instances through a provider that the paths layer installs.
#include <functional>
#include <string>

#include "core/classes.h"
#include "sys/run_state.h"

namespace tav {

// The standard specifiers whose identity the object model's rules depend on. A specifier reports its
// role so that "is it the container's destination specifier" needs no class from the layer above;
// descendants of a standard class inherit its role.
enum TStandardSpecifierRole {
  srNone,                  // user-defined or any standard one the object model does not single out
  srContainerDestDir,      // the container's destination directory
  srContainerArchiveFile,  // the container's archive file
  srMainArchiveFile,       // the installation's main archive
  srInstallSource,         // the directory the installation was started from
  srMainInstall,           // the installer's destination directory
  srCommonFiles,           // the common files folder
  srSystem,                // the Windows system directory
  srWindow,                // the Windows directory
  srBDEDLL,                // the database engine's DLL directory
};

class TCustomPathSpecifier : public TComponent {
public:
  // (Component, Path): supplies the path for the component that asks.
  using TGetPathEvent = std::function<void(TComponent* component, std::string& path)>;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Raises when the specifier cannot serve component. The base accepts everything.
  virtual void Validate(TComponent* component);
  virtual std::string GetDescription() const;
  virtual std::string GetDescriptionFor(TComponent* component);
  // The directory (or archive path) for component; the base asks OnGetPath, empty without a handler.
  virtual std::string GetPath(TComponent* component);
  virtual TStandardSpecifierRole StandardRole() const { return srNone; }

  // The name a built-in specifier receives when the program creates it; empty for user-defined ones.
  const std::string& DefaultName() const { return defaultName_; }

  TGetPathEvent OnGetPath;

protected:
  explicit TCustomPathSpecifier(TComponent* owner) : TComponent(owner) {}
  void SetDefaultName(std::string name) { defaultName_ = std::move(name); }

private:
  std::string defaultName_;
};

// What the paths layer provides to the object model. Either function may be empty.
struct TStandardSpecifierProvider {
  // Creates, owned by owner, the standard specifiers that do not exist yet, when owner is a form or a
  // data module (the provider knows those classes; the object model does not).
  std::function<void(TComponent* owner)> EnsureOn;
  // The standard specifier for a role; it may raise when the role has no instance.
  std::function<TCustomPathSpecifier*(TStandardSpecifierRole role)> Find;
};

// Installed once at start-up by the paths layer (the slot's start value, which a run-state reset
// keeps). Without a provider no standard specifier exists: nothing is created for new containers and
// the standard one asked for is nil.
TRunSlot<TStandardSpecifierProvider>& StandardSpecifierProviderSlot();
void SetStandardSpecifierProvider(TStandardSpecifierProvider provider);
void EnsureStandardSpecifiers(TComponent* owner);
TCustomPathSpecifier* StandardSpecifier(TStandardSpecifierRole role);

// True when specifier is set and plays role.
inline bool HasRole(const TCustomPathSpecifier* specifier, TStandardSpecifierRole role) {
  return specifier && specifier->StandardRole() == role;
}
// True when specifier is of the class of the standard specifier for role (or descends from it); false
// when there is no such standard instance.
bool IsStandardClass(const TCustomPathSpecifier* specifier, TStandardSpecifierRole role);

}  // namespace tav
