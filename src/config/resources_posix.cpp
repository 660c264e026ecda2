#include "config/resources.h"

namespace tav::config {

// Native builds carry no resources; forms are read from files there.
std::optional<std::string_view> FindRCData(const std::string&) { return std::nullopt; }
std::optional<std::string> FindBitmapResource(const std::string&) { return std::nullopt; }

}  // namespace tav::config
