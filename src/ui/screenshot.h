#pragma once
// Pictures of windows as they are on the screen, saved as PNG files: the tests and the wizard walk
// leave them for people to look at.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/win32.h"

namespace tav {

// A window as painted (frame included), as 32-bit pixels, top row first.
struct TCapture {
  int Width = 0, Height = 0;
  std::vector<std::uint32_t> Pixels;  // 0x00RRGGBB
  COLORREF At(int x, int y) const {
    const std::uint32_t p = Pixels[static_cast<std::size_t>(y) * Width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
};

TCapture CaptureWindow(HWND window);
// An 8-bit RGB PNG file of the capture.
std::string EncodePng(const TCapture& capture);
// Writes the PNG file; false when it cannot be written.
bool SavePng(const TCapture& capture, const std::wstring& path);

}  // namespace tav
