#pragma once
// GDI helpers of the controls: bitmaps from the BMP bytes that streams carry, and the geometry of
// pictures and frames.
#include <string>

#include "ui/align_layout.h"

#include <windows.h>

namespace tav {

// Owns one GDI bitmap; move-only.
class TGdiBitmap {
public:
  TGdiBitmap() = default;
  // Decodes a BMP file; an empty or malformed one gives an empty object (nothing is drawn).
  explicit TGdiBitmap(const std::string& bmp);
  ~TGdiBitmap();
  TGdiBitmap(TGdiBitmap&& other) noexcept;
  TGdiBitmap& operator=(TGdiBitmap&& other) noexcept;
  TGdiBitmap(const TGdiBitmap&) = delete;
  TGdiBitmap& operator=(const TGdiBitmap&) = delete;

  HBITMAP Handle() const { return bitmap_; }
  explicit operator bool() const { return bitmap_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The colour of the bottom-left pixel, which marks the transparent parts of glyphs and pictures.
  COLORREF TransparentColor() const { return transparent_; }

  // Draws the part src of the bitmap into dst (stretched when the sizes differ).
  void Draw(HDC dc, const RECT& dst, const RECT& src, bool transparent) const;

private:
  HBITMAP bitmap_ = nullptr;
  int width_ = 0, height_ = 0;
  COLORREF transparent_ = 0;
};

// Where a picture of the given size goes in a box: stretched over the whole box, centred at its own
// size, or at the top-left corner (clipped by the box in both of the latter).
TLayoutRect PictureRect(int pictureWidth, int pictureHeight, const TLayoutRect& box, bool center, bool stretch);

// Draws a 3-D frame of the given width inside r and shrinks r by it.
void DrawFrame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, int width);

}  // namespace tav
