#include "check.h"

#include "config/form_check.h"
#include "core/classes.h"
#include "core/graphics.h"
#ifdef _WIN32
#include "dialogs/pages.h"
#include "engine/cmp_TInstall.h"
#include "paths/cmp_TPathSpecifier.h"
#include "ui/application.h"
#endif

namespace {

// Every streamable class this build has.
void RegisterAllClasses() {
  tav::RegisterClass(tav::TComponent::StaticClassInfo());
#ifdef _WIN32
  tav::RegisterUiClasses();
  tav::RegisterPathClasses();
  tav::RegisterEngineClasses();
  tav::RegisterPageClasses();
#endif
}

}  // namespace

int RunCheck(const tav::config::ObjectRecord& root, std::ostream& err) {
  RegisterAllClasses();
  const std::vector<std::string> problems = tav::config::CheckForm(root);
  for (const std::string& p : problems) err << p << '\n';
  return problems.empty() ? 0 : 1;
}
