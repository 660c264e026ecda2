#include "ui/comctrls.h"

#include <algorithm>

#include "core/properties.h"
#include "sys/unicode.h"
#include "ui/win32.h"

#include <richedit.h>

namespace tav {

// ---------------------------------------------------------------------------------------------------
// TProgressBar

const TClassInfo& TProgressBar::StaticClassInfo() {
  using P = Props<TProgressBar>;
  static const TClassInfo info = MakeClassInfo<TProgressBar, TWinControl>(
      "TProgressBar", {
                          P::Integer("Max", &TProgressBar::Max, &TProgressBar::SetMax, 100),
                          P::Integer("Min", &TProgressBar::Min, &TProgressBar::SetMin, 0),
                          P::Integer("Position", &TProgressBar::Position, &TProgressBar::SetPosition, 0),
                          P::Boolean("Smooth", &TProgressBar::Smooth, &TProgressBar::SetSmooth, false),
                      });
  return info;
}

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) { StoreBounds(0, 0, 150, 16); }

void TProgressBar::SetMin(int v) {
  min_ = v;
  ApplyRange();
}

void TProgressBar::SetMax(int v) {
  max_ = v;
  ApplyRange();
}

void TProgressBar::SetPosition(int v) {
  // Min and Max may come after Position in a stream: kept as given until loaded.
  const int position = HasState(csLoading) ? v : std::clamp(v, min_, std::max(min_, max_));
  // A bar told its own position again (many status events per percent) neither sends nor repaints.
  if (position == position_ && HandleAllocated()) return;
  position_ = position;
  if (HandleAllocated()) Perform(PBM_SETPOS, static_cast<WPARAM>(position_));
}

void TProgressBar::ApplyRange() {
  if (HasState(csLoading)) return;
  if (max_ < min_) max_ = min_;
  position_ = std::clamp(position_, min_, max_);
  if (!HandleAllocated()) return;
  Perform(PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  Perform(PBM_SETPOS, static_cast<WPARAM>(position_));
}

void TProgressBar::Loaded() {
  TWinControl::Loaded();
  ApplyRange();
}

void TProgressBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = PROGRESS_CLASSW;
  if (smooth_) params.Style |= PBS_SMOOTH;
}

void TProgressBar::CreateWnd() {
  Perform(PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  Perform(PBM_SETPOS, static_cast<WPARAM>(position_));
}

// ---------------------------------------------------------------------------------------------------
// TTabControl

const TClassInfo& TTabControl::StaticClassInfo() {
  using P = Props<TTabControl>;
  static const TClassInfo info = MakeClassInfo<TTabControl, TWinControl>(
      "TTabControl", {
                         P::Integer("TabIndex", &TTabControl::TabIndex, &TTabControl::SetTabIndex, -1),
                         P::Object("Tabs", [](TTabControl& c) { return &c.Tabs(); }),
                         P::Boolean("TabStop", &TTabControl::TabStop, &TTabControl::SetTabStop, true),
                         P::Event("OnChange", &TTabControl::OnChange),
                     });
  return info;
}

TTabControl::TTabControl(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  StoreBounds(0, 0, 289, 193);
  tabs_.OnChange = [this](TStringList&) {
    if (!HasState(csLoading) && tabIndex_ >= tabs_.Count()) tabIndex_ = tabs_.Count() > 0 ? 0 : -1;
    FillTabs();
  };
}

void TTabControl::SetTabIndex(int index) {
  if (HasState(csLoading)) {
    tabIndex_ = index;
    return;
  }
  tabIndex_ = index >= 0 && index < tabs_.Count() ? index : -1;
  if (HandleAllocated()) Perform(TCM_SETCURSEL, static_cast<WPARAM>(tabIndex_));
}

void TTabControl::Loaded() {
  TWinControl::Loaded();
  SetTabIndex(tabIndex_);
}

void TTabControl::FillTabs() {
  if (!HandleAllocated() || HasState(csLoading)) return;
  Perform(TCM_DELETEALLITEMS);
  for (int i = 0; i < tabs_.Count(); ++i) {
    std::wstring text = sys::Wide(tabs_[i]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    Perform(TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  Perform(TCM_SETCURSEL, static_cast<WPARAM>(tabIndex_));
  Realign();
}

TLayoutRect TTabControl::ClientRect() const {
  TLayoutRect whole = TWinControl::ClientRect();
  if (!HandleAllocated()) {
    // Before the window exists: the usual tab row and frame.
    return {4, 24, std::max(0, whole.Width - 8), std::max(0, whole.Height - 28)};
  }
  const int dpi = Dpi();
  RECT r{0, 0, ScaleToDevice(whole.Width, dpi), ScaleToDevice(whole.Height, dpi)};
  SendMessageW(WindowHandle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  const int l = ScaleToLogical(r.left, dpi), t = ScaleToLogical(r.top, dpi);
  return {l, t, std::max(0, ScaleToLogical(r.right, dpi) - l), std::max(0, ScaleToLogical(r.bottom, dpi) - t)};
}

void TTabControl::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = WC_TABCONTROLW;
  // Its controls are children of its window, which then must not be a Tab stop of its own kind only.
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TTabControl::CreateWnd() { FillTabs(); }

void TTabControl::WndProc(TMessage& m) {
  if (m.Msg == kReflectBase + WM_NOTIFY) {
    const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
    if (hdr->code == static_cast<UINT>(TCN_SELCHANGE)) {
      tabIndex_ = static_cast<int>(Perform(TCM_GETCURSEL));
      if (OnChange) OnChange(this);
    }
    return;
  }
  TWinControl::WndProc(m);
}

// ---------------------------------------------------------------------------------------------------
// TRichEdit

namespace {

// The newest rich edit the system has; its class name.
const wchar_t* RichEditClass() {
  static const wchar_t* name = [] () -> const wchar_t* {
    if (LoadLibraryW(L"msftedit.dll")) return L"RICHEDIT50W";
    if (LoadLibraryW(L"riched20.dll")) return L"RichEdit20W";
    return nullptr;
  }();
  if (!name) throw EComponentError("The rich edit control is not available on this system");
  return name;
}

}  // namespace

const TClassInfo& TRichEdit::StaticClassInfo() {
  using P = Props<TRichEdit>;
  static const TClassInfo info = MakeClassInfo<TRichEdit, TCustomMemo>(
      "TRichEdit", {
                       P::Enum("ScrollBars", ScrollStyleNames, &TRichEdit::ScrollBars, &TRichEdit::SetScrollBars,
                               ssBoth),
                   });
  return info;
}

TRichEdit::TRichEdit(TComponent* owner) : TCustomMemo(owner) { SetScrollBars(ssBoth); }

void TRichEdit::CreateParams(TCreateParams& params) {
  TCustomMemo::CreateParams(params);
  params.WindowClass = RichEditClass();
}

void TRichEdit::CreateWnd() {
  // Rich edits report changes only when asked to.
  Perform(EM_SETEVENTMASK, 0, ENM_CHANGE);
  Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
  // The text was given at creation, before the font: set again so that it takes the font.
  TWinControl::TextChanged();
  TCustomMemo::CreateWnd();
}

void TRichEdit::ColorChanged() {
  TCustomMemo::ColorChanged();
  if (HandleAllocated()) Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
}

}  // namespace tav
