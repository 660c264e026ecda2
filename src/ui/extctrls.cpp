#include "ui/extctrls.h"

#include <algorithm>

#include <oleacc.h>

#include "core/properties.h"
#include "sys/unicode.h"

namespace tav {

constexpr std::string_view kPanelBevelNames[] = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
constinit const TNameList PanelBevelNames(kPanelBevelNames);
constexpr std::string_view kBevelShapeNames[] = {
    "bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"};
constinit const TNameList BevelShapeNames(kBevelShapeNames);
constexpr std::string_view kBevelStyleNames[] = {"bsLowered", "bsRaised"};
constinit const TNameList BevelStyleNames(kBevelStyleNames);

namespace {

// Lowered bevels are dark at the top left, raised ones light; a space bevel is the panel's colour.
void BevelColors(TPanelBevel bevel, COLORREF face, COLORREF& topLeft, COLORREF& bottomRight) {
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
  topLeft = bevel == bvLowered ? dark : bevel == bvRaised ? light : face;
  bottomRight = bevel == bvLowered ? light : bevel == bvRaised ? dark : face;
}

void Line(HDC dc, COLORREF color, int x1, int y1, int x2, int y2) {
  const TGdiPen pen(CreatePen(PS_SOLID, 1, color));
  const TSelectedObject selected(dc, pen.Get());
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// TPanel

const TClassInfo& TPanel::StaticClassInfo() {
  using P = Props<TPanel>;
  static constexpr TPropInfo props[] = {
      P::Enum<&TPanel::Alignment, &TPanel::SetAlignment>("Alignment", AlignmentNames, taCenter),
      P::Enum<&TPanel::BevelInner, &TPanel::SetBevelInner>("BevelInner", PanelBevelNames, bvNone),
      P::Enum<&TPanel::BevelOuter, &TPanel::SetBevelOuter>("BevelOuter", PanelBevelNames, bvRaised),
      P::Integer<&TPanel::BevelWidth, &TPanel::SetBevelWidth>("BevelWidth", 1),
      P::Enum<&TPanel::BorderStyle, &TPanel::SetBorderStyle>("BorderStyle", BorderStyleNames, bsNone),
      P::Integer<&TPanel::BorderWidth, &TPanel::SetBorderWidth>("BorderWidth", 0),
  };
  static constexpr TClassInfo info = MakeClassInfo<TPanel, TWinControl>("TPanel", props);
  return info;
}

TPanel::TPanel(TComponent* owner) : TWinControl(owner) { StoreBounds(0, 0, 185, 41); }

void TPanel::SetBorderStyle(TFormBorderStyle v) {
  borderStyle_ = v == bsNone ? bsNone : bsSingle;
  if (!HandleAllocated()) return;
  LONG_PTR ex = GetWindowLongPtrW(WindowHandle(), GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE);
  if (borderStyle_ == bsSingle) ex |= WS_EX_CLIENTEDGE;
  SetWindowLongPtrW(WindowHandle(), GWL_EXSTYLE, ex);
  SetWindowPos(WindowHandle(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  BorderChanged();
}

int TPanel::Inset() const {
  return borderWidth_ + (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
}

void TPanel::BorderChanged() {
  Invalidate();
  Realign();
}

TLayoutRect TPanel::ClientRect() const {
  TLayoutRect r = TWinControl::ClientRect();
  // Without a window yet, the sunken edge that the window will have is counted here.
  if (!HandleAllocated() && borderStyle_ == bsSingle) {
    r.Width -= 4;
    r.Height -= 4;
  }
  const int inset = Inset();
  return {r.Left + inset, r.Top + inset, std::max(0, r.Width - 2 * inset), std::max(0, r.Height - 2 * inset)};
}

int TPanel::AccessibleRole() const { return ROLE_SYSTEM_PANE; }

void TPanel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TPanel::WndProc(TMessage& m) {
  // Bevels and a centred caption depend on the whole size.
  if (m.Msg == WM_SIZE) InvalidateRect(WindowHandle(), nullptr, TRUE);
  TWinControl::WndProc(m);
}

void TPanel::PaintWindow(HDC dc) {
  const int dpi = Dpi();
  RECT r{};
  GetClientRect(WindowHandle(), &r);
  const COLORREF face = ColorToRGB(Color());
  COLORREF tl, br;
  const int bevel = ScaleToDevice(bevelWidth_, dpi);
  if (bevelOuter_ != bvNone) {
    BevelColors(bevelOuter_, face, tl, br);
    DrawFrame3D(dc, r, tl, br, bevel);
  }
  DrawFrame3D(dc, r, face, face, ScaleToDevice(borderWidth_, dpi));
  if (bevelInner_ != bvNone) {
    BevelColors(bevelInner_, face, tl, br);
    DrawFrame3D(dc, r, tl, br, bevel);
  }
  const std::wstring text = sys::Wide(Caption());
  if (text.empty()) return;
  const TSelectedObject font(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font().Color()));
  UINT flags = DT_SINGLELINE | DT_VCENTER;
  flags |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
}

// ---------------------------------------------------------------------------------------------------
// TBevel

const TClassInfo& TBevel::StaticClassInfo() {
  using P = Props<TBevel>;
  static constexpr TPropInfo props[] = {
      P::Enum<&TBevel::Shape, &TBevel::SetShape>("Shape", BevelShapeNames, bsBox),
      P::Enum<&TBevel::Style, &TBevel::SetStyle>("Style", BevelStyleNames, bsLowered),
  };
  static constexpr TClassInfo info = MakeClassInfo<TBevel, TControl>("TBevel", props);
  return info;
}

TBevel::TBevel(TComponent* owner) : TControl(owner) { StoreBounds(0, 0, 50, 50); }

void TBevel::Paint(HDC dc, const RECT& b) {
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF c1 = style_ == bsLowered ? dark : light, c2 = style_ == bsLowered ? light : dark;
  RECT r = b;
  switch (shape_) {
    case bsBox:
      DrawFrame3D(dc, r, c1, c2, 1);
      break;
    case bsFrame: {
      // Two offset frames make a groove (lowered) or a ridge (raised).
      RECT outer{b.left, b.top, b.right - 1, b.bottom - 1};
      DrawFrame3D(dc, outer, c1, c1, 1);
      RECT inner{b.left + 1, b.top + 1, b.right, b.bottom};
      DrawFrame3D(dc, inner, c2, c2, 1);
      break;
    }
    case bsTopLine:
      Line(dc, c1, b.left, b.top, b.right, b.top);
      Line(dc, c2, b.left, b.top + 1, b.right, b.top + 1);
      break;
    case bsBottomLine:
      Line(dc, c1, b.left, b.bottom - 2, b.right, b.bottom - 2);
      Line(dc, c2, b.left, b.bottom - 1, b.right, b.bottom - 1);
      break;
    case bsLeftLine:
      Line(dc, c1, b.left, b.top, b.left, b.bottom);
      Line(dc, c2, b.left + 1, b.top, b.left + 1, b.bottom);
      break;
    case bsRightLine:
      Line(dc, c1, b.right - 2, b.top, b.right - 2, b.bottom);
      Line(dc, c2, b.right - 1, b.top, b.right - 1, b.bottom);
      break;
    case bsSpacer:
      break;
  }
}

// ---------------------------------------------------------------------------------------------------
// TImage

const TClassInfo& TImage::StaticClassInfo() {
  using P = Props<TImage>;
  static constexpr TPropInfo props[] = {
      P::Boolean<&TImage::Center, &TImage::SetCenter>("Center", false),
      P::Object<[](TImage& c) { return &c.Picture(); }>("Picture"),
      P::Boolean<&TImage::Stretch, &TImage::SetStretch>("Stretch", false),
      P::Boolean<&TImage::Transparent, &TImage::SetTransparent>("Transparent", false),
  };
  static constexpr TClassInfo info = MakeClassInfo<TImage, TControl>("TImage", props);
  return info;
}

TImage::TImage(TComponent* owner) : TControl(owner) { StoreBounds(0, 0, 105, 105); }

const TGdiBitmap& TImage::Bitmap() const {
  const std::string& bmp = picture_.Bitmap().Bmp();
  if (bmp != bitmapSource_) {
    bitmap_ = TGdiBitmap(bmp);
    bitmapSource_ = bmp;
  }
  return bitmap_;
}

TLayoutRect TImage::PictureBounds() const {
  const TBitmap& b = picture_.Bitmap();
  return PictureRect(b.Width(), b.Height(), BoundsRect(), center_, stretch_);
}

void TImage::PictureChanged() { Invalidate(); }

void TImage::Paint(HDC dc, const RECT&) {
  const TGdiBitmap& bitmap = Bitmap();
  if (!bitmap) return;
  const int dpi = Parent() ? Parent()->Dpi() : Dpi();
  const TLayoutRect p = PictureBounds();
  const RECT dst{ScaleToDevice(p.Left, dpi), ScaleToDevice(p.Top, dpi), ScaleToDevice(p.Left + p.Width, dpi),
                 ScaleToDevice(p.Top + p.Height, dpi)};
  bitmap.Draw(dc, dst, RECT{0, 0, bitmap.Width(), bitmap.Height()}, transparent_);
}

// ---------------------------------------------------------------------------------------------------
// TRadioGroup

// The radio button of one item; it belongs to the group and is never streamed.
class TRadioGroup::TGroupButton : public TWinControl {
public:
  TGroupButton(TRadioGroup* group, int index) : TWinControl(group), index_(index), group_(group) {
    SetTabStop(index == 0);
    SetParentColor(true);
  }
  int index_;

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.WindowClass = L"BUTTON";
    params.Style |= BS_AUTORADIOBUTTON | (index_ == 0 ? WS_GROUP : 0);
  }
  void CreateWnd() override { Perform(BM_SETCHECK, group_->itemIndex_ == index_ ? BST_CHECKED : BST_UNCHECKED); }
  int AccessibleRole() const override { return ROLE_SYSTEM_RADIOBUTTON; }
  int AccessibleState() const override { return group_->itemIndex_ == index_ ? STATE_SYSTEM_CHECKED : 0; }
  std::string AccessibleDefaultAction() const override { return "Check"; }
  bool DoAccessibleDefaultAction() override {
    if (!HandleAllocated() || !IsWindowEnabled(WindowHandle())) return false;
    return PostMessageW(WindowHandle(), BM_CLICK, 0, 0) != FALSE;
  }
  void WndProc(TMessage& m) override {
    if (m.Msg == kReflectBase + WM_COMMAND && HIWORD(m.WParam) == BN_CLICKED) {
      if (Perform(BM_GETCHECK) == BST_CHECKED) group_->ButtonClicked(index_);
      return;
    }
    TWinControl::WndProc(m);
  }

private:
  TRadioGroup* group_;
};

// ---------------------------------------------------------------------------------------------------
// TGroupBox

const TClassInfo& TGroupBox::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TGroupBox, TWinControl>("TGroupBox");
  return info;
}

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) { StoreBounds(0, 0, 185, 105); }

TLayoutRect TGroupBox::ClientRect() const {
  const TLayoutRect r = TWinControl::ClientRect();
  return {r.Left + 6, r.Top + 15, std::max(0, r.Width - 12), std::max(0, r.Height - 21)};
}

int TGroupBox::AccessibleRole() const { return ROLE_SYSTEM_GROUPING; }

void TGroupBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = L"BUTTON";
  params.Style |= BS_GROUPBOX;
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TGroupBox::WndProc(TMessage& m) {
  // The frame lets the mouse through; the controls inside must get it.
  if (m.Msg == WM_NCHITTEST) {
    m.Result = HTCLIENT;
    return;
  }
  TWinControl::WndProc(m);
}

const TClassInfo& TRadioGroup::StaticClassInfo() {
  using P = Props<TRadioGroup>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TRadioGroup::Columns, &TRadioGroup::SetColumns>("Columns", 1),
      P::Integer<&TRadioGroup::ItemIndex, &TRadioGroup::SetItemIndex>("ItemIndex", -1),
      P::Object<[](TRadioGroup& c) { return &c.Items(); }>("Items"),
      P::Event<&TRadioGroup::OnClick>("OnClick"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TRadioGroup, TWinControl>("TRadioGroup", props);
  return info;
}

TRadioGroup::TRadioGroup(TComponent* owner) : TWinControl(owner) {
  StoreBounds(0, 0, 185, 105);
  items_.OnChange = [this](TStringList&) {
    if (!HasState(csLoading) && itemIndex_ >= items_.Count()) itemIndex_ = -1;
    UpdateButtons();
  };
}

TRadioGroup::~TRadioGroup() {
  Destroying();
  buttons_.clear();  // deleted with the group's controls
}

void TRadioGroup::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = L"BUTTON";
  params.Style |= BS_GROUPBOX;
}

void TRadioGroup::WndProc(TMessage& m) {
  // A group box lets the mouse through to what lies under it; its buttons must get it.
  if (m.Msg == WM_NCHITTEST) {
    m.Result = HTCLIENT;
    return;
  }
  TWinControl::WndProc(m);
}

int TRadioGroup::AccessibleRole() const { return ROLE_SYSTEM_GROUPING; }

void TRadioGroup::SetColumns(int v) {
  columns_ = std::clamp(v, 1, 16);
  ArrangeButtons();
}

TWinControl* TRadioGroup::Button(int index) const {
  return index >= 0 && index < static_cast<int>(buttons_.size()) ? buttons_[index] : nullptr;
}

void TRadioGroup::SetItemIndex(int index) {
  if (HasState(csLoading)) {
    itemIndex_ = index;  // checked against the items once loaded
    return;
  }
  if (index < -1 || index >= items_.Count()) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  for (TGroupButton* b : buttons_) {
    if (b->HandleAllocated()) b->Perform(BM_SETCHECK, b->index_ == index ? BST_CHECKED : BST_UNCHECKED);
  }
  if (OnClick) OnClick(this);
}

void TRadioGroup::ButtonClicked(int index) {
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (OnClick) OnClick(this);
}

void TRadioGroup::Loaded() {
  TWinControl::Loaded();
  if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
  UpdateButtons();
}

void TRadioGroup::UpdateButtons() {
  if (HasState(csLoading) || HasState(csDestroying)) return;
  const std::size_t count = static_cast<std::size_t>(items_.Count());
  while (buttons_.size() > count) {
    delete buttons_.back();
    buttons_.pop_back();
  }
  while (buttons_.size() < count) {
    auto* b = new TGroupButton(this, static_cast<int>(buttons_.size()));
    buttons_.push_back(b);
    b->SetParent(this);
  }
  for (std::size_t i = 0; i < count; ++i) {
    buttons_[i]->SetCaption(items_[static_cast<int>(i)]);
    if (buttons_[i]->HandleAllocated())
      buttons_[i]->Perform(BM_SETCHECK, static_cast<int>(i) == itemIndex_ ? BST_CHECKED : BST_UNCHECKED);
  }
  ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
  if (buttons_.empty() || HasState(csLoading)) return;
  // The caption's line height at the top, then rows of equal height in columns of equal width.
  const int dpi = Dpi();
  TEXTMETRICW tm{};
  {
    const TWindowDC screen(nullptr);
    const TSelectedObject font(screen.Get(), FontHandle());
    GetTextMetricsW(screen.Get(), &tm);
  }
  const int textHeight = ScaleToLogical(tm.tmHeight, dpi);
  const int count = static_cast<int>(buttons_.size());
  const int perColumn = (count + columns_ - 1) / columns_;
  const int buttonWidth = std::max(0, (Width() - 10) / columns_);
  const int area = std::max(0, Height() - textHeight - 5);
  const int buttonHeight = area / perColumn;
  const int topMargin = textHeight + 1 + (area % perColumn) / 2;
  for (int i = 0; i < count; ++i) {
    buttons_[i]->SetBounds((i / perColumn) * buttonWidth + 8, (i % perColumn) * buttonHeight + topMargin,
                           buttonWidth, buttonHeight);
  }
}

void TRadioGroup::BoundsChanged() {
  TWinControl::BoundsChanged();
  ArrangeButtons();
}

void TRadioGroup::FontChanged() {
  TWinControl::FontChanged();
  ArrangeButtons();
}

}  // namespace tav
