#include "config/resources.h"

#include "config/form_loader.h"

namespace tav::config {

void LoadFormFromResource(TComponent& root) {
  const std::string name = UpperCase(root.ClassName());
  const std::optional<std::string_view> bytes = FindRCData(name);
  if (!bytes) throw EResNotFound("Resource %s not found", name);
  LoadFormFromStream(root, *bytes);
}

}  // namespace tav::config
