#include "ui/buttons.h"

#include <algorithm>

#include "core/properties.h"
#include "sys/unicode.h"

namespace tav {

constexpr std::string_view kBitBtnKindNames[] = {
    "bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose", "bkAbort", "bkRetry", "bkIgnore", "bkAll"};
constinit const TNameList BitBtnKindNames(kBitBtnKindNames);
constexpr std::string_view kButtonLayoutNames[] = {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"};
constinit const TNameList ButtonLayoutNames(kButtonLayoutNames);

std::string BitBtnKindCaption(TBitBtnKind kind) {
  static const char* const captions[] = {"",        "OK",     "Cancel",  "&Help",    "&Yes", "&No",
                                         "&Close", "Abort", "&Retry", "&Ignore", "&All"};
  return kind >= bkCustom && kind <= bkAll ? captions[kind] : "";
}

int BitBtnKindModalResult(TBitBtnKind kind) {
  static const int results[] = {mrNone, mrOk,    mrCancel, mrNone,   mrYes, mrNo,
                                mrNone, mrAbort, mrRetry,  mrIgnore, mrAll};
  return kind >= bkCustom && kind <= bkAll ? results[kind] : mrNone;
}

TGlyphLayout LayoutGlyph(const RECT& client, SIZE glyph, SIZE text, TButtonLayout layout, int margin, int spacing) {
  const int cw = client.right - client.left, ch = client.bottom - client.top;
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  // Work along the axis the glyph and text share; centre across it.
  const int extent = horizontal ? cw : ch;
  const int g = horizontal ? glyph.cx : glyph.cy, t = horizontal ? text.cx : text.cy;
  if (g == 0 || t == 0) spacing = 0;
  if (margin == -1) {
    if (spacing == -1) {
      margin = (extent - (g + t)) / 3;
      spacing = margin;
    } else {
      margin = (extent - (g + spacing + t) + 1) / 2;
    }
  } else if (spacing == -1) {
    spacing = (extent - (margin + g) - t) / 2;
  }
  int gPos = 0, tPos = 0;
  if (layout == blGlyphLeft || layout == blGlyphTop) {
    gPos = margin;
    tPos = gPos + g + spacing;
  } else {
    gPos = extent - margin - g;
    tPos = gPos - spacing - t;
  }
  TGlyphLayout out;
  if (horizontal) {
    const int gy = (ch - glyph.cy + 1) / 2, ty = (ch - text.cy + 1) / 2;
    out.Glyph = {client.left + gPos, client.top + gy, client.left + gPos + glyph.cx, client.top + gy + glyph.cy};
    out.Text = {client.left + tPos, client.top + ty, client.left + tPos + text.cx, client.top + ty + text.cy};
  } else {
    const int gx = (cw - glyph.cx + 1) / 2, tx = (cw - text.cx + 1) / 2;
    out.Glyph = {client.left + gx, client.top + gPos, client.left + gx + glyph.cx, client.top + gPos + glyph.cy};
    out.Text = {client.left + tx, client.top + tPos, client.left + tx + text.cx, client.top + tPos + text.cy};
  }
  return out;
}

const TClassInfo& TBitBtn::StaticClassInfo() {
  using P = Props<TBitBtn>;
  static constexpr TPropInfo props[] = {
      P::Object<[](TBitBtn& c) { return &c.Glyph(); }>("Glyph"),
      P::Enum<&TBitBtn::Kind, &TBitBtn::SetKind>("Kind", BitBtnKindNames, bkCustom),
      P::Enum<&TBitBtn::Layout, &TBitBtn::SetLayout>("Layout", ButtonLayoutNames, blGlyphLeft),
      P::Integer<&TBitBtn::Margin, &TBitBtn::SetMargin>("Margin", -1),
      P::Integer<&TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs>("NumGlyphs", 1),
      P::Integer<&TBitBtn::Spacing, &TBitBtn::SetSpacing>("Spacing", 4),
  };
  static constexpr TClassInfo info = MakeClassInfo<TBitBtn, TButton>("TBitBtn", props);
  return info;
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::SetKind(TBitBtnKind kind) {
  if (kind == kind_) return;
  const std::string oldCaption = BitBtnKindCaption(kind_);
  kind_ = kind;
  if (kind == bkCustom) return;
  SetModalResult(BitBtnKindModalResult(kind));
  if (kind == bkOK) SetDefault(true);
  if (kind == bkCancel) SetCancel(true);
  // A caption of its own stays; while loading it may still come after the kind (see Loaded).
  if (!HasState(csLoading) && (Caption().empty() || Caption() == oldCaption)) SetCaption(BitBtnKindCaption(kind));
  Invalidate();
}

void TBitBtn::Loaded() {
  TButton::Loaded();
  if (kind_ != bkCustom && Caption().empty()) SetCaption(BitBtnKindCaption(kind_));
  const int w = glyph_.Width(), h = glyph_.Height();
  if (!numGlyphsSet_ && h > 0 && w % h == 0 && w / h >= 1 && w / h <= 4) numGlyphs_ = w / h;
}

void TBitBtn::CreateParams(TCreateParams& params) {
  TButton::CreateParams(params);
  params.Style = (params.Style & ~static_cast<DWORD>(BS_DEFPUSHBUTTON | BS_PUSHBUTTON)) | BS_OWNERDRAW;
}

const TGdiBitmap& TBitBtn::GlyphBitmap() const {
  if (glyph_.Bmp() != bitmapSource_) {
    bitmap_ = TGdiBitmap(glyph_.Bmp());
    bitmapSource_ = glyph_.Bmp();
  }
  return bitmap_;
}

void TBitBtn::WndProc(TMessage& m) {
  switch (m.Msg) {
    case kReflectBase + WM_DRAWITEM:
      Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
      m.Result = TRUE;
      return;
    case BM_SETSTYLE:
      // An owner-drawn button must stay one; the default frame is drawn by Draw.
      m.WParam = BS_OWNERDRAW;
      break;
    case WM_LBUTTONDBLCLK:
      // A quick second click is a click, not a double click the owner-drawn button would swallow.
      m.Msg = WM_LBUTTONDOWN;
      break;
    default:
      break;
  }
  TButton::WndProc(m);
}

void TBitBtn::Draw(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const int dpi = Dpi();
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (Default() || focused) {
    // The button that Enter presses wears a dark outer frame.
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

  const TGdiBitmap& bitmap = GlyphBitmap();
  const int images = std::max(1, numGlyphs_);
  SIZE glyph{0, 0};
  if (bitmap) glyph = {ScaleToDevice(bitmap.Width() / images, dpi), ScaleToDevice(bitmap.Height(), dpi)};
  const std::wstring text = sys::Wide(Caption());
  TSelectedObject font(dc, FontHandle());
  SIZE textSize{0, 0};
  if (!text.empty()) {
    RECT calc{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &calc, DT_SINGLELINE | DT_CALCRECT);
    textSize = {calc.right - calc.left, calc.bottom - calc.top};
  }
  RECT client = r;
  InflateRect(&client, -1, -1);
  const TGlyphLayout place =
      LayoutGlyph(client, glyph, textSize, layout_, margin_ < 0 ? -1 : ScaleToDevice(margin_, dpi),
                  spacing_ < 0 ? -1 : ScaleToDevice(spacing_, dpi));
  const int shift = pressed ? 1 : 0;
  if (bitmap) {
    // Second image for disabled, third for pressed, when the glyph has them.
    const int index = disabled && images > 1 ? 1 : pressed && images > 2 ? 2 : 0;
    const int w = bitmap.Width() / images;
    RECT dst = place.Glyph;
    OffsetRect(&dst, shift, shift);
    bitmap.Draw(dc, dst, RECT{index * w, 0, index * w + w, bitmap.Height()}, true);
  }
  RECT textRect = place.Text;
  OffsetRect(&textRect, shift, shift);
  SetBkMode(dc, TRANSPARENT);
  if (!text.empty()) {
    if (disabled) {
      OffsetRect(&textRect, 1, 1);
      SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
      OffsetRect(&textRect, -1, -1);
      SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    } else {
      SetTextColor(dc, ColorToRGB(Font().Color()));
    }
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
  font.Release();
  if (focused) {
    RECT f = r;
    InflateRect(&f, -ScaleToDevice(3, dpi), -ScaleToDevice(3, dpi));
    DrawFocusRect(dc, &f);
  }
}

}  // namespace tav
