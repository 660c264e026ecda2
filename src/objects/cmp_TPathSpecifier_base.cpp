#include "objects/cmp_TPathSpecifier_base.h"

#include "core/exceptions_Tavenrik.h"
#include "core/properties.h"

namespace tav {

const TClassInfo& TCustomPathSpecifier::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCustomPathSpecifier, TComponent>("TCustomPathSpecifier");
  return info;
}

void TCustomPathSpecifier::Validate(TComponent*) {}

std::string TCustomPathSpecifier::GetDescription() const { return "Unspecified"; }

std::string TCustomPathSpecifier::GetDescriptionFor(TComponent*) { return GetDescription(); }

std::string TCustomPathSpecifier::GetPath(TComponent* component) {
  std::string path;
  if (OnGetPath) OnGetPath(component, path);
  return path;
}

TRunSlot<TStandardSpecifierProvider>& StandardSpecifierProviderSlot() {
  static auto& slot = TRunSlot<TStandardSpecifierProvider>::Make("standard specifier provider");
  return slot;
}

namespace {
const TStandardSpecifierProvider& Provider() { return StandardSpecifierProviderSlot().Get(); }
}  // namespace

void SetStandardSpecifierProvider(TStandardSpecifierProvider provider) {
  StandardSpecifierProviderSlot().Set(std::move(provider));
}

void EnsureStandardSpecifiers(TComponent* owner) {
  if (owner && Provider().EnsureOn) Provider().EnsureOn(owner);
}

TCustomPathSpecifier* StandardSpecifier(TStandardSpecifierRole role) {
  return Provider().Find ? Provider().Find(role) : nullptr;
}

bool IsStandardClass(const TCustomPathSpecifier* specifier, TStandardSpecifierRole role) {
  if (!specifier || role == srNone) return false;
  if (specifier->StandardRole() == role) return true;
  try {
    const TCustomPathSpecifier* standard = StandardSpecifier(role);
    return standard && specifier->InheritsFrom(standard->ClassInfo());
  } catch (const Exception&) {
    return false;  // no standard instance of that class
  }
}

}  // namespace tav
