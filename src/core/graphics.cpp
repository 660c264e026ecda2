#include "core/graphics.h"

#include <cmath>

#include "core/properties.h"

namespace tav {

constexpr TIdentMapEntry kColorIdents[] = {
    {"clBlack", 0x000000},  {"clMaroon", 0x000080}, {"clGreen", 0x008000},   {"clOlive", 0x008080},
    {"clNavy", 0x800000},   {"clPurple", 0x800080}, {"clTeal", 0x808000},    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},    {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},   {"clWhite", 0xFFFFFF},
    {"clNone", clNone},     {"clDefault", clDefault},
    {"clScrollBar", clSystemColor | 0},        {"clBackground", clSystemColor | 1},
    {"clActiveCaption", clSystemColor | 2},    {"clInactiveCaption", clSystemColor | 3},
    {"clMenu", clSystemColor | 4},             {"clWindow", clSystemColor | 5},
    {"clWindowFrame", clSystemColor | 6},      {"clMenuText", clSystemColor | 7},
    {"clWindowText", clSystemColor | 8},       {"clCaptionText", clSystemColor | 9},
    {"clActiveBorder", clSystemColor | 10},    {"clInactiveBorder", clSystemColor | 11},
    {"clAppWorkSpace", clSystemColor | 12},    {"clHighlight", clSystemColor | 13},
    {"clHighlightText", clSystemColor | 14},   {"clBtnFace", clSystemColor | 15},
    {"clBtnShadow", clSystemColor | 16},       {"clGrayText", clSystemColor | 17},
    {"clBtnText", clSystemColor | 18},         {"clInactiveCaptionText", clSystemColor | 19},
    {"clBtnHighlight", clSystemColor | 20},    {"cl3DDkShadow", clSystemColor | 21},
    {"cl3DLight", clSystemColor | 22},         {"clInfoText", clSystemColor | 23},
    {"clInfoBk", clSystemColor | 24},
};
constinit const TIdentList ColorIdents(kColorIdents);

constexpr TIdentMapEntry kCharsetIdents[] = {
    {"ANSI_CHARSET", 0},         {"DEFAULT_CHARSET", 1},    {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},         {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},      {"GB2312_CHARSET", 134},   {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},      {"TURKISH_CHARSET", 162},  {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},     {"ARABIC_CHARSET", 178},   {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204},    {"THAI_CHARSET", 222},     {"EASTEUROPE_CHARSET", 238},
    {"OEM_CHARSET", 255},
};
constinit const TIdentList CharsetIdents(kCharsetIdents);

constexpr std::string_view kFontPitchNames[] = {"fpDefault", "fpVariable", "fpFixed"};
constinit const TNameList FontPitchNames(kFontPitchNames);
constexpr std::string_view kFontStyleNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
constinit const TNameList FontStyleNames(kFontStyleNames);

namespace {

std::uint32_t ReadLE32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

std::string LE32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

}  // namespace

const TClassInfo& TFont::StaticClassInfo() {
  using P = Props<TFont>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TFont::Charset, &TFont::SetCharset>("Charset", std::nullopt, &CharsetIdents),
      P::Integer<&TFont::Color, &TFont::SetColor>("Color", std::nullopt, &ColorIdents),
      P::Integer<&TFont::Height, &TFont::SetHeight>("Height"),
      P::String<&TFont::Name, &TFont::SetName>("Name", std::nullopt),
      P::Enum<&TFont::Pitch, &TFont::SetPitch>("Pitch", FontPitchNames, fpDefault),
      P::Set<&TFont::Style, &TFont::SetStyle>("Style", FontStyleNames),
  };
  static constexpr TClassInfo info = MakeClassInfo<TFont, TPersistent>("TFont", props);
  return info;
}

int TFont::Size(int pixelsPerInch) const {
  return static_cast<int>(std::lround(-height_ * 72.0 / pixelsPerInch));
}

void TFont::SetSize(int points, int pixelsPerInch) {
  SetHeight(-static_cast<int>(std::lround(points * pixelsPerInch / 72.0)));
}

void TFont::Assign(const TPersistent& source) {
  if (auto* f = dynamic_cast<const TFont*>(&source)) {
    charset_ = f->charset_;
    color_ = f->color_;
    height_ = f->height_;
    name_ = f->name_;
    pitch_ = f->pitch_;
    style_ = f->style_;
    if (OnChange) OnChange(*this);
    return;
  }
  TPersistent::Assign(source);
}

const TClassInfo& TBitmap::StaticClassInfo() {
  static constexpr TPropInfo props[] = {
      Props<TBitmap>::Binary<&TBitmap::Data, &TBitmap::SetData>("Data"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TBitmap, TPersistent>("TBitmap", props);
  return info;
}

void TBitmap::SetBmp(const std::string& bmp) {
  // File header (14 bytes) and at least the size field of the info header.
  if (!bmp.empty() && (bmp.size() < 18 || bmp[0] != 'B' || bmp[1] != 'M'))
    throw EReadError("Bitmap image is not valid");
  bmp_ = bmp;
}

int TBitmap::Width() const {
  if (bmp_.size() < 26) return 0;
  const std::uint32_t headerSize = ReadLE32(bmp_, 14);
  if (headerSize == 12) return static_cast<std::int16_t>(ReadLE32(bmp_, 18) & 0xFFFF);
  return static_cast<std::int32_t>(ReadLE32(bmp_, 18));
}

int TBitmap::Height() const {
  if (bmp_.size() < 26) return 0;
  const std::uint32_t headerSize = ReadLE32(bmp_, 14);
  if (headerSize == 12) return static_cast<std::int16_t>(ReadLE32(bmp_, 20) & 0xFFFF);
  const auto h = static_cast<std::int32_t>(ReadLE32(bmp_, 22));
  return h < 0 ? -h : h;
}

std::string TBitmap::Data() const {
  if (bmp_.empty()) return std::string();
  return LE32(static_cast<std::uint32_t>(bmp_.size())) + bmp_;
}

void TBitmap::SetData(const std::string& data) {
  if (data.empty()) {
    bmp_.clear();
    return;
  }
  if (data.size() < 4) throw EReadError("Bitmap image is not valid");
  const std::uint32_t size = ReadLE32(data, 0);
  if (size != data.size() - 4) throw EReadError("Bitmap image is not valid");
  SetBmp(data.substr(4));
}

void TBitmap::Assign(const TPersistent& source) {
  if (auto* b = dynamic_cast<const TBitmap*>(&source)) {
    bmp_ = b->bmp_;
    return;
  }
  TPersistent::Assign(source);
}

const TClassInfo& TPicture::StaticClassInfo() {
  static constexpr TPropInfo props[] = {
      Props<TPicture>::Binary<&TPicture::Data, &TPicture::SetData>("Data"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TPicture, TPersistent>("TPicture", props);
  return info;
}

std::string TPicture::Data() const {
  if (graphicClass_.empty()) return std::string();
  std::string data(1, static_cast<char>(graphicClass_.size()));
  data += graphicClass_;
  data += graphicClass_ == "TBitmap" ? bitmap_.Data() : otherData_;
  return data;
}

void TPicture::SetData(const std::string& data) {
  if (data.empty()) {
    graphicClass_.clear();
    bitmap_.SetData(std::string());
    otherData_.clear();
    return;
  }
  const auto n = static_cast<unsigned char>(data[0]);
  if (n == 0 || data.size() < 1u + n) throw EReadError("Invalid picture data");
  std::string cls = data.substr(1, n);
  std::string rest = data.substr(1 + n);
  if (cls == "TBitmap") {
    bitmap_.SetData(rest);
    otherData_.clear();
  } else {
    otherData_ = std::move(rest);
  }
  graphicClass_ = std::move(cls);
}

void TPicture::Assign(const TPersistent& source) {
  if (auto* p = dynamic_cast<const TPicture*>(&source)) {
    graphicClass_ = p->graphicClass_;
    bitmap_.Assign(p->bitmap_);
    otherData_ = p->otherData_;
    return;
  }
  if (auto* b = dynamic_cast<const TBitmap*>(&source)) {
    graphicClass_ = "TBitmap";
    bitmap_.Assign(*b);
    otherData_.clear();
    return;
  }
  TPersistent::Assign(source);
}

}  // namespace tav
