#include "ui/gdi.h"

#include <cstdint>
#include <cstring>

namespace tav {

namespace {

std::uint32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

}  // namespace

TGdiBitmap::TGdiBitmap(const std::string& bmp) {
  // File header (14), then the info header whose first field is its own size.
  constexpr std::size_t kFileHeader = 14;
  if (bmp.size() < kFileHeader + 12 || bmp[0] != 'B' || bmp[1] != 'M') return;
  const std::uint32_t offBits = Le32(bmp, 10);
  const std::uint32_t infoSize = Le32(bmp, kFileHeader);
  if (infoSize < 12 || infoSize > bmp.size() - kFileHeader || offBits > bmp.size() ||
      offBits < kFileHeader + infoSize)
    return;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bmp.data() + kFileHeader);
  int w = 0, h = 0, bits = 0;
  std::uint32_t compression = BI_RGB;
  if (infoSize == sizeof(BITMAPCOREHEADER)) {
    const auto* core = reinterpret_cast<const BITMAPCOREHEADER*>(info);
    w = core->bcWidth;
    h = core->bcHeight;
    bits = core->bcBitCount;
  } else {
    if (infoSize < sizeof(BITMAPINFOHEADER)) return;
    w = info->bmiHeader.biWidth;
    h = info->bmiHeader.biHeight;
    bits = info->bmiHeader.biBitCount;
    compression = info->bmiHeader.biCompression;
  }
  const int absH = h < 0 ? -h : h;
  if (w <= 0 || absH <= 0 || w > 16384 || absH > 16384) return;
  // The pixels must all be there before GDI reads them.
  const std::size_t available = bmp.size() - offBits;
  if (compression == BI_RGB || compression == BI_BITFIELDS) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return;
    const std::size_t stride = ((static_cast<std::size_t>(w) * bits + 31) / 32) * 4;
    if (stride * absH > available) return;
  } else if (infoSize < sizeof(BITMAPINFOHEADER) || info->bmiHeader.biSizeImage > available) {
    return;
  }
  const TWindowDC screen(nullptr);
  bitmap_ = TGdiObject<HBITMAP>(CreateDIBitmap(screen.Get(), reinterpret_cast<const BITMAPINFOHEADER*>(info), CBM_INIT,
                                               bmp.data() + offBits, info, DIB_RGB_COLORS));
  if (!bitmap_) return;
  width_ = w;
  height_ = absH;
  TOwnedDC mem = TOwnedDC::CompatibleWith(nullptr);
  TSelectedObject selected(mem.Get(), bitmap_.Get());
  transparent_ = GetPixel(mem.Get(), 0, height_ - 1);
}

void TGdiBitmap::Draw(HDC dc, const RECT& dst, const RECT& src, bool transparent) const {
  if (!bitmap_) return;
  TOwnedDC mem = TOwnedDC::CompatibleWith(dc);
  TSelectedObject selected(mem.Get(), bitmap_.Get());
  const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  const int sw = src.right - src.left, sh = src.bottom - src.top;
  if (transparent) {
    GdiTransparentBlt(dc, dst.left, dst.top, dw, dh, mem.Get(), src.left, src.top, sw, sh, transparent_);
  } else {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, dst.left, dst.top, dw, dh, mem.Get(), src.left, src.top, sw, sh, SRCCOPY);
  }
}

TLayoutRect PictureRect(int pictureWidth, int pictureHeight, const TLayoutRect& box, bool center, bool stretch) {
  if (stretch) return box;
  if (!center) return {box.Left, box.Top, pictureWidth, pictureHeight};
  // Centred pictures larger than the box overhang on both sides equally.
  return {box.Left + (box.Width - pictureWidth) / 2, box.Top + (box.Height - pictureHeight) / 2, pictureWidth,
          pictureHeight};
}

void DrawFrame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, int width) {
  const TGdiPen light(CreatePen(PS_SOLID, 1, topLeft)), dark(CreatePen(PS_SOLID, 1, bottomRight));
  const TSelectedObject selected(dc, light.Get());
  for (int i = 0; i < width && r.right - r.left > 1 && r.bottom - r.top > 1; ++i) {
    SelectObject(dc, light.Get());
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right - 1, r.top);
    SelectObject(dc, dark.Get());
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.left - 1, r.bottom - 1);
    InflateRect(&r, -1, -1);
  }
}

}  // namespace tav
