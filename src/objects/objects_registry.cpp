#include "objects/objects_registry.h"

#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallFile.h"

namespace tav {

void RegisterObjectClasses() {
  RegisterClass(TInstallFileGroup::StaticClassInfo());
  RegisterClass(TInstallFile::StaticClassInfo());
}

}  // namespace tav
