#pragma once
// Fonts and pictures as the streams carry them. The user-interface layer turns them into GDI objects.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/classes.h"

namespace tav {

using TColor = std::int32_t;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clNone = 0x1FFFFFFF, clDefault = 0x20000000;
// System colours: the high byte marks them, the low byte is the Windows colour index.
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000);
constexpr TColor clWindowText = clSystemColor | 8, clBtnFace = clSystemColor | 15, clWindow = clSystemColor | 5;

extern const TIdentList ColorIdents;
extern const TIdentList CharsetIdents;

enum TFontPitch { fpDefault, fpVariable, fpFixed };
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = std::uint32_t;  // bit (1 << TFontStyle)
extern const TNameList FontPitchNames;
extern const TNameList FontStyleNames;

constexpr int kDefaultCharset = 1;  // DEFAULT_CHARSET

class TFont : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int Charset() const { return charset_; }
  void SetCharset(int v) { Set(charset_, v); }
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Set(color_, v); }
  // Negative: character height in pixels; positive: cell height.
  int Height() const { return height_; }
  void SetHeight(int v) { Set(height_, v); }
  // Size in points at the given resolution, derived from Height.
  int Size(int pixelsPerInch = 96) const;
  void SetSize(int points, int pixelsPerInch = 96);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& v) { Set(name_, v); }
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch v) { Set(pitch_, v); }
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles v) { Set(style_, v); }

  void Assign(const TPersistent& source) override;
  std::function<void(TFont&)> OnChange;

private:
  template <class T>
  void Set(T& field, const T& value) {
    if (field == value) return;
    field = value;
    if (OnChange) OnChange(*this);
  }
  int charset_ = kDefaultCharset;
  TColor color_ = clWindowText;
  int height_ = -11;
  std::string name_ = "MS Sans Serif";
  TFontPitch pitch_ = fpDefault;
  TFontStyles style_ = 0;
};

// A bitmap as a stream holds it: the bytes of a Windows BMP file ("BM" ...).
class TBitmap : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  const std::string& Bmp() const { return bmp_; }
  // Raises EReadError when the bytes are not a BMP file.
  void SetBmp(const std::string& bmp);
  bool Empty() const { return bmp_.empty(); }
  // Width and height from the BMP header; 0 when empty.
  int Width() const;
  int Height() const;

  // The Data property: a 4-byte little-endian size, then the BMP file.
  std::string Data() const;
  void SetData(const std::string& data);

  void Assign(const TPersistent& source) override;

private:
  std::string bmp_;
};

// A picture holds one graphic, streamed with its class name in front of the graphic's own data.
class TPicture : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // "" when the picture is empty.
  const std::string& GraphicClass() const { return graphicClass_; }
  TBitmap& Bitmap() { return bitmap_; }
  const TBitmap& Bitmap() const { return bitmap_; }
  // Graphics other than bitmaps are kept as their raw data.
  const std::string& GraphicData() const { return otherData_; }

  std::string Data() const;
  void SetData(const std::string& data);

  void Assign(const TPersistent& source) override;

private:
  std::string graphicClass_;
  TBitmap bitmap_;
  std::string otherData_;
};

}  // namespace tav
