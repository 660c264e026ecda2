#include "check.h"

#include "config/form_check.h"
#include "core/classes.h"
#include "core/graphics.h"
#ifdef _WIN32
#include "app/streamable_classes.h"
#endif

namespace {

// Every streamable class this build has.
void RegisterAllClasses() {
  tav::RegisterClass(tav::TComponent::StaticClassInfo());
#ifdef _WIN32
  tav::RegisterStreamableClasses();
#endif
}

}  // namespace

int RunCheck(const tav::config::ObjectRecord& root, std::ostream& err) {
  RegisterAllClasses();
  const std::vector<std::string> problems = tav::config::CheckForm(root);
  for (const std::string& p : problems) err << p << '\n';
  return problems.empty() ? 0 : 1;
}
