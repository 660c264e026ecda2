#include "ui/screenshot.h"

#include <zlib.h>

#include <cstdio>

#include "core/exceptions_Tavenrik.h"
#include "ui/gdi.h"

namespace tav {

TCapture CaptureWindow(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  TCapture cap;
  cap.Width = r.right - r.left;
  cap.Height = r.bottom - r.top;
  if (cap.Width <= 0 || cap.Height <= 0) return {};
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), cap.Width, -cap.Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const TWindowDC src = TWindowDC::WithFrame(window);
  const TGdiObject<HBITMAP> dib(CreateDIBSection(src.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  const TOwnedDC mem = TOwnedDC::CompatibleWith(src.Get());
  {
    const TSelectedObject selected(mem.Get(), dib.Get());
    BitBlt(mem.Get(), 0, 0, cap.Width, cap.Height, src.Get(), 0, 0, SRCCOPY);
    GdiFlush();
  }
  const auto* p = static_cast<const std::uint32_t*>(bits);
  if (p) cap.Pixels.assign(p, p + static_cast<std::size_t>(cap.Width) * cap.Height);
  if (cap.Pixels.empty()) return {};
  for (auto& px : cap.Pixels) px &= 0xFFFFFF;
  return cap;
}

std::string EncodePng(const TCapture& cap) {
  auto be32 = [](std::string& s, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto chunk = [&](std::string& out, const char* type, const std::string& data) {
    be32(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    be32(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
  };
  std::string raw;
  raw.reserve(static_cast<std::size_t>(cap.Height) * (1 + 3 * static_cast<std::size_t>(cap.Width)));
  for (int y = 0; y < cap.Height; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < cap.Width; ++x) {
      const COLORREF c = cap.At(x, y);
      raw += static_cast<char>(GetRValue(c));
      raw += static_cast<char>(GetGValue(c));
      raw += static_cast<char>(GetBValue(c));
    }
  }
  uLongf size = compressBound(raw.size());
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                raw.size(), 9) != Z_OK)
    throw Exception(std::string("The picture could not be compressed"));
  packed.resize(size);
  std::string header;
  be32(header, static_cast<std::uint32_t>(cap.Width));
  be32(header, static_cast<std::uint32_t>(cap.Height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  std::string png = "\x89PNG\r\n\x1A\n";
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", packed);
  chunk(png, "IEND", "");
  return png;
}

bool SavePng(const TCapture& capture, const std::wstring& path) {
  const std::string png = EncodePng(capture);
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out) return false;
  const std::size_t written = fwrite(png.data(), 1, png.size(), out);
  return fclose(out) == 0 && written == png.size();
}

}  // namespace tav
