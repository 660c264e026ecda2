#include <windows.h>

#include "config/resources.h"
#include "sys/unicode.h"

namespace tav::config {

std::optional<std::string_view> FindRCData(const std::string& name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, sys::Wide(name).c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!info) return std::nullopt;
  HGLOBAL handle = LoadResource(module, info);
  const DWORD size = SizeofResource(module, info);
  const void* data = handle ? LockResource(handle) : nullptr;
  if (!data) return std::nullopt;
  // Resources stay mapped for the life of the module.
  return std::string_view(static_cast<const char*>(data), size);
}

}  // namespace tav::config
