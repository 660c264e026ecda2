#include "app/streamable_classes.h"

#include "app/Unit1.h"
#include "dialogs/backdrop.h"
#include "dialogs/pages.h"
#include "engine/cmp_TInstall.h"
#include "net/cmp_TNetInstallLocation.h"
#include "paths/cmp_TPathSpecifier.h"
#include "shell/cmp_TInstallShellLink.h"
#include "ui/application.h"

namespace tav {

void RegisterStreamableClasses() {
  RegisterUiClasses();
  RegisterPathClasses();
  RegisterEngineClasses();
  RegisterNetClasses();
  RegisterShellClasses();
  RegisterPageClasses();
  RegisterBackdropClasses();
  RegisterAppClasses();
}

}  // namespace tav
