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

namespace tav::config {

std::optional<std::string> FindBitmapResource(const std::string& name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, sys::Wide(name).c_str(), MAKEINTRESOURCEW(2));  // RT_BITMAP
  if (!info) return std::nullopt;
  HGLOBAL handle = LoadResource(module, info);
  const DWORD size = SizeofResource(module, info);
  const auto* dib = handle ? static_cast<const unsigned char*>(LockResource(handle)) : nullptr;
  if (!dib || size < sizeof(BITMAPINFOHEADER)) return std::nullopt;
  // A bitmap resource is the file without its 14-byte header; the pixels follow the header and palette.
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
  DWORD colors = header->biClrUsed;
  if (colors == 0 && header->biBitCount <= 8) colors = 1u << header->biBitCount;
  DWORD offset = 14 + header->biSize + colors * 4;
  if (header->biCompression == BI_BITFIELDS && header->biSize == sizeof(BITMAPINFOHEADER)) offset += 12;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = 14 + size;
  file.bfOffBits = offset;
  std::string bmp(reinterpret_cast<const char*>(&file), 14);
  bmp.append(reinterpret_cast<const char*>(dib), size);
  return bmp;
}

}  // namespace tav::config
