#include "objects/objects_registry.h"

#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/cmp_TInstallRegistry.h"
#include "objects/cmp_TUninstallEXE.h"

namespace tav {

void RegisterObjectClasses() {
  RegisterClass(TInstallFileGroup::StaticClassInfo());
  RegisterClass(TInstallFile::StaticClassInfo());
  RegisterClass(TInstallRegistry::StaticClassInfo());
  RegisterClass(TUninstallEXE::StaticClassInfo());
}

}  // namespace tav
