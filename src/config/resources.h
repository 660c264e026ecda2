#pragma once
// Forms carried as RCDATA resources of the running program, named by their class name in upper case.
#include <optional>
#include <string>
#include <string_view>

#include "core/classes.h"

namespace tav::config {

// The bytes of the program's RCDATA resource of that name; nothing when there is none (and always
// nothing where the platform has no resources).
std::optional<std::string_view> FindRCData(const std::string& name);

// The program's bitmap resource of that name as a BMP file (file header added); nothing when absent.
std::optional<std::string> FindBitmapResource(const std::string& name);

// Loads root from the resource named after its class; EResNotFound when the program carries none.
void LoadFormFromResource(TComponent& root);

}  // namespace tav::config

namespace tav {
TAV_EXCEPTION(EResNotFound, Exception);
}
