#include "dialogs/backdrop.h"

#include <cmath>
#include <cstdint>

#include "core/properties.h"
#include "sys/unicode.h"
#include "ui/align_layout.h"
#include "ui/gdi.h"

namespace tav {

namespace {

// Rounds to nearest, halves away from zero, as the system's MulDiv does.
int MulDivRound(int a, int b, int c) {
  const std::int64_t p = static_cast<std::int64_t>(a) * b;
  const std::int64_t q = (p >= 0 ? p + c / 2 : p - c / 2) / c;
  return static_cast<int>(q);
}

TRunSlot<TBackdrop*>& MainBackdropSlot() {
  static auto& slot = TRunSlot<TBackdrop*>::Make("main backdrop");
  return slot;
}
TRunSlot<TRotate3DLabel*>& MainLabelSlot() {
  static auto& slot = TRunSlot<TRotate3DLabel*>::Make("main rotated label");
  return slot;
}

bool Designing(TComponent* owner) { return owner && (owner->ComponentState() & csDesigning); }

// Tag -1 takes the main mark from whoever had it; any other value on the holder gives it up.
template <class T>
void MarkMain(TRunSlot<T*>& slot, T* self, std::int64_t tag) {
  if (tag == -1) {
    T* previous = slot.Get();
    if (previous && previous != self) previous->TComponent::SetTag(0);
    slot.Set(self);
  } else if (slot.Get() == self) {
    slot.Set(nullptr);
  }
}

int Trunc(double v) { return static_cast<int>(v); }

}  // namespace

constexpr std::string_view kDirectionNames[] = {
    "bdUp", "bdDown", "bdLeft", "bdRight", "bdHorzIn", "bdHorzOut", "bdVertIn", "bdVertOut"};
constinit const TNameList DirectionNames(kDirectionNames);

constexpr std::string_view kEffect3DNames[] = {"A3dNormal", "A3dResit", "A3dRaised", "A3dShadowed"};
constinit const TNameList Effect3DNames(kEffect3DNames);

std::vector<TGradientBand> GradientBands(COLORREF from, COLORREF to, bool mirrored, int extent) {
  const int d = mirrored ? 127 : 255;
  const int r0 = GetRValue(from), g0 = GetGValue(from), b0 = GetBValue(from);
  const int dr = GetRValue(to) - r0, dg = GetGValue(to) - g0, db = GetBValue(to) - b0;
  std::vector<TGradientBand> bands;
  bands.reserve(256);
  for (int n = 0; n <= d; ++n) {
    const COLORREF c = RGB((r0 + MulDivRound(n, dr, d)) & 0xFF, (g0 + MulDivRound(n, dg, d)) & 0xFF,
                           (b0 + MulDivRound(n, db, d)) & 0xFF);
    bands.push_back({MulDivRound(n, extent, 256), MulDivRound(n + 1, extent, 256), c});
    if (mirrored) bands.push_back({MulDivRound(255 - n, extent, 256), MulDivRound(256 - n, extent, 256), c});
  }
  return bands;
}

// --- TBackdrop ---------------------------------------------------------------------------------------

const TClassInfo& TBackdrop::StaticClassInfo() {
  using P = Props<TBackdrop>;
  static constexpr TPropInfo props[] = {
      P::Enum<&TBackdrop::Align, &TBackdrop::SetAlign>("Align", AlignNames, alClient),
      P::Enum<&TBackdrop::BevelOuter, &TBackdrop::SetBevelOuter>("BevelOuter", PanelBevelNames, bvNone),
      P::Enum<&TBackdrop::Direction, &TBackdrop::SetDirection>("Direction", DirectionNames, bdUp),
      P::Integer<&TBackdrop::EndColor, &TBackdrop::SetEndColor>("EndColor", 0, &ColorIdents),
      P::Integer<&TBackdrop::StartColor, &TBackdrop::SetStartColor>("StartColor", 0xFF0000, &ColorIdents),
  };
  static constexpr TClassInfo info = MakeClassInfo<TBackdrop, TPanel>("TBackdrop", props);
  return info;
}

TBackdrop::TBackdrop(TComponent* owner) : TPanel(owner) {
  SetBevelOuter(bvNone);
  SetAlign(alClient);
  if (Designing(owner) && !MainBackdrop()) SetTag(-1);
}

TBackdrop::~TBackdrop() {
  if (MainBackdropSlot().Get() == this) MainBackdropSlot().Set(nullptr);
}

TBackdrop* TBackdrop::MainBackdrop() { return MainBackdropSlot().Get(); }

void TBackdrop::SetTag(std::int64_t tag) {
  MarkMain(MainBackdropSlot(), this, tag);
  TComponent::SetTag(tag);
}

void TBackdrop::SetDirection(TDirection v) {
  direction_ = v;
  Invalidate();
}
void TBackdrop::SetStartColor(TColor v) {
  startColor_ = v;
  Invalidate();
}
void TBackdrop::SetEndColor(TColor v) {
  endColor_ = v;
  Invalidate();
}

void TBackdrop::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TBackdrop*>(&source);
  if (!other) return TPanel::Assign(source);
  direction_ = other->direction_;
  startColor_ = other->startColor_;
  endColor_ = other->endColor_;
  SetAlign(other->Align());
  Invalidate();
}

void TBackdrop::PaintWindow(HDC dc) {
  RECT client{};
  GetClientRect(WindowHandle(), &client);
  const COLORREF start = ColorToRGB(startColor_), end = ColorToRGB(endColor_);
  struct Call {
    bool swap, mirrored, across;
  };
  static const Call calls[] = {{false, false, false}, {true, false, false}, {false, false, true},
                               {true, false, true},   {true, true, false},  {false, true, false},
                               {false, true, true},   {true, true, true}};
  const Call& call = calls[direction_];
  const int extent = call.across ? client.right : client.bottom;
  for (const TGradientBand& band :
       GradientBands(call.swap ? end : start, call.swap ? start : end, call.mirrored, extent)) {
    RECT r = call.across ? RECT{band.Start, 0, band.End, client.bottom} : RECT{0, band.Start, client.right, band.End};
    if (r.left >= r.right || r.top >= r.bottom) continue;
    FillRect(dc, &r, TGdiBrush(CreateSolidBrush(band.Color)).Get());
  }
}

// --- TLabelStyle -------------------------------------------------------------------------------------

const TClassInfo& TLabelStyle::StaticClassInfo() {
  using P = Props<TLabelStyle>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TLabelStyle::Angle, &TLabelStyle::SetAngle>("Angle", 0),
      P::Enum<&TLabelStyle::AStyle3D, &TLabelStyle::SetAStyle3D>("AStyle3D", Effect3DNames, A3dRaised),
      P::Integer<&TLabelStyle::AShadeRightBottom, &TLabelStyle::SetAShadeRightBottom>("AShadeRightBottom", 0x808080,
                                                                                      &ColorIdents),
      P::Integer<&TLabelStyle::AShadeLeftTop, &TLabelStyle::SetAShadeLeftTop>("AShadeLeftTop", 0xFFFFFF, &ColorIdents),
      P::Boolean<&TLabelStyle::AShadeLTSet, &TLabelStyle::SetAShadeLTSet>("AShadeLTSet", true),
      P::Integer<&TLabelStyle::AHShadeOffSet, &TLabelStyle::SetAHShadeOffSet>("AHShadeOffSet", 5),
      P::Integer<&TLabelStyle::AVShadeOffSet, &TLabelStyle::SetAVShadeOffSet>("AVShadeOffSet", -5),
  };
  static constexpr TClassInfo info = MakeClassInfo<TLabelStyle, TPersistent>("TLabelStyle", props);
  return info;
}

void TLabelStyle::SetAngle(int v) {
  if (v < 0 || v > 359) v = 0;
  if (v == angle_) return;
  angle_ = v;
  Changed();
}
void TLabelStyle::SetAStyle3D(T3DEffectShort v) {
  if (v == style3D_) return;
  style3D_ = v;
  Changed();
}
void TLabelStyle::SetAShadeRightBottom(TColor v) {
  if (v == shadeRightBottom_) return;
  shadeRightBottom_ = v;
  Changed();
}
void TLabelStyle::SetAShadeLeftTop(TColor v) {
  if (shadeLTSet_ || v == shadeLeftTop_) return;
  shadeLeftTop_ = v;
  Changed();
}
void TLabelStyle::SetAShadeLTSet(bool v) {
  if (v == shadeLTSet_) return;
  shadeLTSet_ = v;
  if (v) {
    savedLeftTop_ = shadeLeftTop_;
    shadeLeftTop_ = 0xFFFFFF;
    if ((style3D_ == A3dResit || style3D_ == A3dRaised) && savedLeftTop_ != 0xFFFFFF) Changed();
  } else {
    shadeLeftTop_ = savedLeftTop_;
    Changed();
  }
}
void TLabelStyle::SetAHShadeOffSet(int v) {
  if (v == hShadeOffset_) return;
  hShadeOffset_ = v;
  if (style3D_ == A3dShadowed) Changed();
}
void TLabelStyle::SetAVShadeOffSet(int v) {
  if (v == vShadeOffset_) return;
  vShadeOffset_ = v;
  if (style3D_ == A3dShadowed) Changed();
}

void TLabelStyle::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TLabelStyle*>(&source);
  if (!other) return TPersistent::Assign(source);
  angle_ = other->angle_;
  style3D_ = other->style3D_;
  shadeRightBottom_ = other->shadeRightBottom_;
  shadeLeftTop_ = other->shadeLeftTop_;
  savedLeftTop_ = other->savedLeftTop_;
  shadeLTSet_ = other->shadeLTSet_;
  hShadeOffset_ = other->hShadeOffset_;
  vShadeOffset_ = other->vShadeOffset_;
  Changed();
}

// --- TRotate3DLabel ----------------------------------------------------------------------------------

const TClassInfo& TRotate3DLabel::StaticClassInfo() {
  using P = Props<TRotate3DLabel>;
  static constexpr TPropInfo props[] = {
      P::Boolean<&TRotate3DLabel::AutoSize, &TRotate3DLabel::SetAutoSize>("AutoSize", false),
      P::Object<[](TRotate3DLabel& c) { return &c.LabelStyle(); }>("LabelStyle"),
      P::Boolean<&TRotate3DLabel::MyTransparent, &TRotate3DLabel::SetMyTransparent>("MyTransparent", true),
  };
  static constexpr TClassInfo info = MakeClassInfo<TRotate3DLabel, TLabel>("TRotate3DLabel", props);
  return info;
}

TRotate3DLabel::TRotate3DLabel(TComponent* owner) : TLabel(owner) {
  SetAutoSize(false);
  SetTransparent(true);
  Font().SetName("Arial");
  Font().SetStyle(Font().Style() | (1u << fsBold));
  style_.OnChange = [this](TLabelStyle&) { Invalidate(); };
  if (Designing(owner) && !MainLabel()) SetTag(-1);
}

TRotate3DLabel::~TRotate3DLabel() {
  style_.OnChange = nullptr;
  if (MainLabelSlot().Get() == this) MainLabelSlot().Set(nullptr);
}

TRotate3DLabel* TRotate3DLabel::MainLabel() { return MainLabelSlot().Get(); }

void TRotate3DLabel::SetTag(std::int64_t tag) {
  MarkMain(MainLabelSlot(), this, tag);
  TComponent::SetTag(tag);
}

void TRotate3DLabel::SetMyTransparent(bool v) {
  if (!v) {
    // Keep the colour it shows now, but stop following the parent's.
    const TColor color = Color();
    SetParentColor(false);
    SetColor(color);
  }
  myTransparent_ = v;
  Invalidate();
}

void TRotate3DLabel::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TRotate3DLabel*>(&source);
  if (!other) return TLabel::Assign(source);
  SetCaption(other->Caption());
  style_.Assign(other->style_);
  Font().Assign(other->Font());
  SetAlignment(other->Alignment());
  SetBounds(other->Left(), other->Top(), other->Width(), other->Height());
  SetMyTransparent(other->myTransparent_);
}

void TRotate3DLabel::Paint(HDC dc, const RECT& bounds) {
  const double rad = style_.Angle() * (3.14159265358979323846 / 180.0);
  const double C = std::cos(rad), S = std::sin(rad);
  const COLORREF textColor = ColorToRGB(Font().Color());
  if (!myTransparent_) style_.ForceNormal();
  int highlight = 0, shadow = 0;
  if (style_.AStyle3D() == A3dRaised) highlight = -1, shadow = 1;
  if (style_.AStyle3D() == A3dResit) highlight = 1, shadow = -1;

  LOGFONTW lf{};
  GetObjectW(FontHandle(), sizeof lf, &lf);
  lf.lfEscapement = lf.lfOrientation = style_.Angle() * 10;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  const TGdiFont rotated(CreateFontIndirectW(&lf));
  const TSelectedObject selected(dc, rotated.Get());
  SetBkMode(dc, TRANSPARENT);
  const std::wstring text = sys::Wide(Caption());
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  const int w = extent.cx, h = extent.cy;
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  const int cx = width / 2, cy = height / 2;
  int x = 0;
  if (Alignment() == taRightJustify) x = width - w;
  if (Alignment() == taCenter) x = cx - Trunc(w / 2.0 * C) - Trunc(h / 2.0 * S);
  const int y = cy + Trunc(w / 2.0 * S) - Trunc(h / 2.0 * C);

  if (!myTransparent_) {
    const double hw = (w + 10) / 2.0, hh = (h + 7) / 2.0;
    POINT pts[4] = {
        {cx - Trunc(hw * C) - Trunc(hh * S), cy + Trunc(hw * S) - Trunc(hh * C)},
        {cx + Trunc(hw * C) - Trunc(hh * S), cy - Trunc(hw * S) - Trunc(hh * C)},
        {cx + Trunc(hw * C) + Trunc(hh * S), cy - Trunc(hw * S) + Trunc(hh * C)},
        {cx - Trunc(hw * C) + Trunc(hh * S), cy + Trunc(hw * S) + Trunc(hh * C)},
    };
    for (POINT& p : pts) p.x += bounds.left, p.y += bounds.top;
    const TGdiBrush brush(CreateSolidBrush(ColorToRGB(Color())));
    const TSelectedObject b(dc, brush.Get());
    const TSelectedObject pen(dc, GetStockObject(NULL_PEN));
    Polygon(dc, pts, 4);
  }
  auto draw = [&](COLORREF color, int dx, int dy) {
    SetTextColor(dc, color);
    TextOutW(dc, bounds.left + x + dx, bounds.top + y + dy, text.c_str(), static_cast<int>(text.size()));
  };
  const T3DEffectShort effect = style_.AStyle3D();
  if (effect == A3dResit || effect == A3dRaised || effect == A3dShadowed) {
    if (effect != A3dShadowed) draw(ColorToRGB(style_.AShadeLeftTop()), highlight, highlight);
    if (effect == A3dShadowed)
      draw(ColorToRGB(style_.AShadeRightBottom()), style_.AHShadeOffSet(), style_.AVShadeOffSet());
    else
      draw(ColorToRGB(style_.AShadeRightBottom()), shadow, shadow);
  }
  draw(textColor, 0, 0);
}

void RegisterBackdropClasses() {
  RegisterClass(TBackdrop::StaticClassInfo());
  RegisterClass(TRotate3DLabel::StaticClassInfo());
}

}  // namespace tav
