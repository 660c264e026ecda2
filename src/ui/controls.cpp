#include "ui/controls.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <unordered_map>

#include <oleacc.h>

#include "core/properties.h"
#include "sys/unicode.h"
#include "ui/accessible.h"
#include "ui/application.h"
#include "ui/common_controls.h"
#include "ui/stdctrls.h"

namespace tav {

constexpr TIdentMapEntry kCursorIdents[] = {
    {"crDefault", crDefault},   {"crNone", crNone},         {"crArrow", crArrow},
    {"crCross", crCross},       {"crIBeam", crIBeam},       {"crSizeNESW", crSizeNESW},
    {"crSizeNS", crSizeNS},     {"crSizeNWSE", crSizeNWSE}, {"crSizeWE", crSizeWE},
    {"crUpArrow", crUpArrow},   {"crHourGlass", crHourGlass}, {"crNo", crNo},
    {"crAppStart", crAppStart}, {"crHelp", crHelp},         {"crHandPoint", crHandPoint},
    {"crSizeAll", crSizeAll},
};
constinit const TIdentList CursorIdents(kCursorIdents);

HCURSOR CursorHandle(TCursor cursor) {
  const wchar_t* id = nullptr;
  switch (cursor) {
    case crArrow: id = IDC_ARROW; break;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass: id = IDC_WAIT; break;
    case crNo: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: return nullptr;
  }
  return LoadCursorW(nullptr, id);
}

int ScaleToDevice(int value, int dpi) { return MulDiv(value, dpi, kDesignDpi); }
int ScaleToLogical(int value, int dpi) { return dpi > 0 ? MulDiv(value, kDesignDpi, dpi) : value; }

namespace {

// Per-monitor DPI arrived with Windows 10; looked up at run time so that Windows 7 still starts.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

using GetDpiForSystemFn = UINT(WINAPI*)();

// Asked of the system rather than of a screen device context where it can be: a screen context makes
// Wine start its desktop, which an unattended run that shows no window would otherwise wait for.
int SystemDpi() {
  static const int dpi = [] {
    const auto forSystem = reinterpret_cast<GetDpiForSystemFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
    if (forSystem) {
      const UINT v = forSystem();
      if (v > 0) return static_cast<int>(v);
    }
    const TWindowDC screen(nullptr);
    const int v = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : kDesignDpi;
    return v > 0 ? v : kDesignDpi;
  }();
  return dpi;
}

const wchar_t kWindowClass[] = L"TavenrikWindow";

// Which control each of this program's windows belongs to. Kept here, not in a window property:
// under Wine a property lookup is a round trip to the wineserver, and one is made for every message.
// Accessibility clients may ask from another thread.
struct TWindowControls {
  std::mutex lock;
  std::unordered_map<HWND, TWinControl*> map;
  void Set(HWND window, TWinControl* control) {
    const std::lock_guard<std::mutex> hold(lock);
    map[window] = control;
  }
  void Drop(HWND window) {
    const std::lock_guard<std::mutex> hold(lock);
    map.erase(window);
  }
  TWinControl* Find(HWND window) {
    const std::lock_guard<std::mutex> hold(lock);
    const auto it = map.find(window);
    return it == map.end() ? nullptr : it->second;
  }
};

// Never destroyed: forms held by other static objects let go of their windows after it would be.
TWindowControls& WindowControls() {
  static auto* controls = new TWindowControls;
  return *controls;
}

void RegisterWindowClass(WNDPROC proc) {
  static bool done = false;
  if (done) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw EComponentError("Cannot register the window class (error %d)", static_cast<int>(GetLastError()));
  done = true;
}

}  // namespace

int WindowDpi(HWND window) {
  static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (window && getDpi) {
    const UINT dpi = getDpi(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

COLORREF ColorToRGB(TColor color) {
  if (color == clDefault || color == clNone) return GetSysColor(COLOR_BTNFACE);
  if ((color & clSystemColor) == clSystemColor) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color & 0xFFFFFF);
}

std::string WindowTextOf(HWND window) {
  // Another process's window is not asked for its length: that is a message, which waits while that
  // program is busy. The copy may then fall short of the text: the buffer grows until it fits.
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  const int hint = process == GetCurrentProcessId() ? GetWindowTextLengthW(window) : 255;
  std::wstring text(static_cast<std::size_t>(std::max(hint, 0)) + 2, L'\0');
  for (;;) {
    const int got = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    if (got < static_cast<int>(text.size()) - 1) {
      text.resize(static_cast<std::size_t>(std::max(got, 0)));
      return sys::Narrow(text);
    }
    text.resize(text.size() * 2);
  }
}

wchar_t AcceleratorChar(const std::string& caption) {
  const std::wstring text = sys::Wide(caption);
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'&') continue;
    if (text[i + 1] != L'&') {
      wchar_t c = text[i + 1];
      CharUpperBuffW(&c, 1);
      return c;
    }
    ++i;  // "&&" is a plain "&"
  }
  return 0;
}

std::string StripAccelerator(const std::string& caption) {
  std::string out;
  out.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 >= caption.size()) break;
      ++i;  // the character after "&" stands for itself, "&" of "&&" included
    }
    out += caption[i];
  }
  return out;
}

// ---------------------------------------------------------------------------------------------------
// TControl

const TClassInfo& TControl::StaticClassInfo() {
  using P = Props<TControl>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TControl::Left, &TControl::SetLeft>("Left"),
      P::Integer<&TControl::Top, &TControl::SetTop>("Top"),
      P::Integer<&TControl::Width, &TControl::SetWidth>("Width"),
      P::Integer<&TControl::Height, &TControl::SetHeight>("Height"),
      P::Enum<&TControl::Align, &TControl::SetAlign>("Align", AlignNames, alNone),
      P::String<&TControl::Caption, &TControl::SetCaption>("Caption"),
      P::Integer<&TControl::Color, &TControl::SetColor>("Color", clBtnFace, &ColorIdents),
      P::Integer<&TControl::Cursor, &TControl::SetCursor>("Cursor", crDefault, &CursorIdents),
      P::Boolean<&TControl::Enabled, &TControl::SetEnabled>("Enabled", true),
      P::Object<[](TControl& c) { return &c.Font(); }>("Font"),
      P::String<&TControl::Hint, &TControl::SetHint>("Hint"),
      P::Boolean<&TControl::ParentColor, &TControl::SetParentColor>("ParentColor", false),
      P::Boolean<&TControl::ParentFont, &TControl::SetParentFont>("ParentFont", true),
      P::Boolean<&TControl::Visible, &TControl::SetVisible>("Visible", true),
  };
  static constexpr TClassInfo info = MakeClassInfo<TControl, TComponent>("TControl", props);
  return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.OnChange = [this](TFont&) {
    // A font of its own (set by code or a stream) stops following the parent's.
    if (!copyingFromParent_) parentFont_ = false;
    ReleaseFontHandle();
    FontChanged();
  };
}

TControl::~TControl() {
  Destroying();
  font_.OnChange = nullptr;
  if (parent_) parent_->RemoveControl(this);
  ReleaseFontHandle();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  // Invalidate the old place of a control without a window as well as the new one.
  if (!IsWindowed()) Invalidate();
  left_ = left;
  top_ = top;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  BoundsChanged();
}

void TControl::StoreBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
}

void TControl::BoundsChanged() {
  if (!IsWindowed()) Invalidate();
  if (align_ != alNone) RequestAlign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (HasState(csLoading)) return;
  VisibleChanged();
}

void TControl::VisibleChanged() {
  if (parent_) parent_->Invalidate();
  RequestAlign();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!HasState(csLoading)) EnabledChanged();
}

void TControl::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  TextChanged();
}

void TControl::SetColor(TColor color) {
  if (!copyingFromParent_) parentColor_ = false;
  if (color == color_) return;
  color_ = color;
  ColorChanged();
}

void TControl::ColorChanged() {
  Invalidate();
  if (auto* self = dynamic_cast<TWinControl*>(this)) {
    for (TControl* child : self->controls_) child->ParentColorChanged();
  }
}

void TControl::FontChanged() {
  Invalidate();
  if (auto* self = dynamic_cast<TWinControl*>(this)) {
    for (TControl* child : self->controls_) child->ParentFontChanged();
  }
}

void TControl::SetParentFont(bool value) {
  parentFont_ = value;
  if (value) ParentFontChanged();
}

void TControl::SetParentColor(bool value) {
  parentColor_ = value;
  if (value) ParentColorChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  copyingFromParent_ = true;
  try {
    font_.Assign(parent_->Font());
  } catch (...) {
    copyingFromParent_ = false;
    throw;
  }
  copyingFromParent_ = false;
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  copyingFromParent_ = true;
  SetColor(parent_->Color());
  copyingFromParent_ = false;
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::RequestAlign() {
  if (parent_) parent_->Realign();
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  for (TWinControl* p = parent; p; p = p->Parent()) {
    if (p == this) throw EComponentError("A control cannot be its own parent");
  }
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* parent) {
  auto* p = dynamic_cast<TWinControl*>(parent);
  if (parent && !p) throw EComponentError("Control %s has no parent window", Name());
  SetParent(p);
}

void TControl::Loaded() {
  TComponent::Loaded();
  ParentFontChanged();
  ParentColorChanged();
}

void TControl::Invalidate() {
  if (!parent_ || !parent_->HandleAllocated()) return;
  const RECT r = DeviceBounds();
  // Transparent windows over the place (labels over a picture) paint the parent's look: they go too.
  RedrawWindow(parent_->WindowHandle(), &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TControl::Repaint() {
  Invalidate();
  if (parent_) parent_->Update();
}

int TControl::Dpi() const { return parent_ ? parent_->Dpi() : WindowDpi(nullptr); }

RECT TControl::DeviceBounds() const {
  const int dpi = parent_ ? parent_->Dpi() : Dpi();
  const int l = ScaleToDevice(left_, dpi), t = ScaleToDevice(top_, dpi);
  return {l, t, l + ScaleToDevice(width_, dpi), t + ScaleToDevice(height_, dpi)};
}

HFONT TControl::FontHandle() const {
  const int dpi = Dpi();
  if (fontHandle_ && fontHandleDpi_ == dpi) return fontHandle_.Get();
  ReleaseFontHandle();
  LOGFONTW lf{};
  // Heights are design pixels: negative for the character height, positive for the cell.
  lf.lfHeight = ScaleToDevice(font_.Height(), dpi);
  lf.lfWeight = (font_.Style() & (1u << fsBold)) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (font_.Style() & (1u << fsItalic)) ? TRUE : FALSE;
  lf.lfUnderline = (font_.Style() & (1u << fsUnderline)) ? TRUE : FALSE;
  lf.lfStrikeOut = (font_.Style() & (1u << fsStrikeOut)) ? TRUE : FALSE;
  lf.lfCharSet = static_cast<BYTE>(font_.Charset());
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = font_.Pitch() == fpFixed ? FIXED_PITCH : font_.Pitch() == fpVariable ? VARIABLE_PITCH
                                                                                               : DEFAULT_PITCH;
  const std::wstring face = sys::Wide(font_.Name());
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  fontHandle_ = TGdiFont(CreateFontIndirectW(&lf));
  fontHandleDpi_ = dpi;
  return fontHandle_.Get();
}

void TControl::ReleaseFontHandle() const {
  fontHandle_.Release();
  fontHandleDpi_ = 0;
}

// ---------------------------------------------------------------------------------------------------
// TWinControl

const TClassInfo& TWinControl::StaticClassInfo() {
  using P = Props<TWinControl>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TWinControl::TabOrder, &TWinControl::SetTabOrder>("TabOrder", -1),
      P::Boolean<&TWinControl::TabStop, &TWinControl::SetTabStop>("TabStop", false),
  };
  static constexpr TClassInfo info = MakeClassInfo<TWinControl, TControl>("TWinControl", props);
  return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  Destroying();
  // Child controls go with their parent, whoever owns them.
  while (!controls_.empty()) delete controls_.back();
  DestroyHandle();
  // Leave the parent while still a windowed control, so that it also drops this from its Tab list.
  if (Parent()) Parent()->RemoveControl(this);
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount()) throw EListError("Control index out of bounds (%d)", index);
  return controls_[index];
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    const int at = w->tabOrder_ >= 0 && w->tabOrder_ <= static_cast<int>(tabList_.size())
                       ? w->tabOrder_
                       : static_cast<int>(tabList_.size());
    tabList_.insert(tabList_.begin() + at, w);
    for (std::size_t i = 0; i < tabList_.size(); ++i) tabList_[i]->tabOrder_ = static_cast<int>(i);
    if (hwnd_ && !HasState(csDestroying)) {
      if (w->hwnd_) ::SetParent(w->hwnd_, hwnd_);
      else w->CreateHandle();
      RestackTabOrder();
    }
  }
  if (!control->HasState(csLoading)) {
    control->ParentFontChanged();
    control->ParentColorChanged();
  }
  if (control->Align() != alNone) Realign();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  control->Invalidate();
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
    for (std::size_t i = 0; i < tabList_.size(); ++i) tabList_[i]->tabOrder_ = static_cast<int>(i);
    w->tabOrder_ = -1;
    // A window cannot outlive its parent window: without a new parent it is destroyed.
    if (!control->HasState(csDestroying)) w->DestroyHandle();
  }
  control->parent_ = nullptr;
  if (control->Align() != alNone && !HasState(csDestroying)) Realign();
}

int TWinControl::TabOrder() const { return Parent() ? tabOrder_ : -1; }

void TWinControl::SetTabOrder(int order) {
  TWinControl* p = Parent();
  if (!p) {
    tabOrder_ = order;
    return;
  }
  auto& list = p->tabList_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  const int at = order < 0 || order > static_cast<int>(list.size()) ? static_cast<int>(list.size()) : order;
  list.insert(list.begin() + at, this);
  for (std::size_t i = 0; i < list.size(); ++i) list[i]->tabOrder_ = static_cast<int>(i);
  p->RestackTabOrder();
}

void TWinControl::SetTabStop(bool value) {
  tabStop_ = value;
  if (!hwnd_) return;
  LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  style = value ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
  SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
  LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  ex = value ? (ex & ~static_cast<LONG_PTR>(WS_EX_CONTROLPARENT)) : (ex | WS_EX_CONTROLPARENT);
  SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex);
}

// Tab moves through sibling windows in their z-order.
void TWinControl::RestackTabOrder() {
  std::vector<HWND> wanted;
  for (TWinControl* w : tabList_) {
    if (w->hwnd_ && !w->IsStaticText()) wanted.push_back(w->hwnd_);
  }
  // Windows made in Tab order are stacked so already; moving them costs messages.
  std::vector<HWND> stacked;
  for (HWND w = hwnd_ ? GetWindow(hwnd_, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (std::find(wanted.begin(), wanted.end(), w) != wanted.end()) stacked.push_back(w);
  }
  if (stacked != wanted) {
    HWND after = HWND_TOP;
    for (HWND w : wanted) {
      SetWindowPos(w, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = w;
    }
  }
  PlaceStaticTexts();
}

namespace {

// Reading order on screen: a control above another comes first; two on the same row (their heights
// overlapping by at least half of the lower one) are read left to right.
bool ReadsBefore(const TControl& a, const TControl& b) {
  const int overlap = std::min(a.Top() + a.Height(), b.Top() + b.Height()) - std::max(a.Top(), b.Top());
  const int lower = std::min(a.Height(), b.Height());
  const bool sameRow = lower > 0 ? overlap * 2 >= lower : a.Top() == b.Top();
  if (sameRow && a.Left() != b.Left()) return a.Left() < b.Left();
  return a.Top() < b.Top();
}

}  // namespace

void TWinControl::PlaceStaticTexts() {
  if (!hwnd_ || HasState(csDestroying)) return;
  std::vector<TWinControl*> texts;
  for (TWinControl* w : tabList_) {
    if (w->hwnd_ && w->IsStaticText()) texts.push_back(w);
  }
  if (texts.empty()) return;
  std::stable_sort(texts.begin(), texts.end(), [](TWinControl* a, TWinControl* b) { return ReadsBefore(*a, *b); });
  // The other windows keep their order (Tab order, the page in front); the texts go between them.
  std::vector<HWND> order;
  std::size_t next = 0;
  for (HWND w = GetWindow(hwnd_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    TWinControl* c = FromHandle(w);
    if (c && c->IsStaticText() && c->Parent() == this) continue;
    while (next < texts.size() && c && ReadsBefore(*texts[next], *c)) order.push_back(texts[next++]->hwnd_);
    order.push_back(w);
  }
  while (next < texts.size()) order.push_back(texts[next++]->hwnd_);
  // Moved only when the order is not already so: moving windows costs messages.
  std::size_t i = 0;
  HWND w = GetWindow(hwnd_, GW_CHILD);
  for (; w && i < order.size() && w == order[i]; w = GetWindow(w, GW_HWNDNEXT)) ++i;
  if (i == order.size() && !w) return;
  HWND after = i == 0 ? HWND_TOP : order[i - 1];
  for (; i < order.size(); ++i) {
    SetWindowPos(order[i], after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = order[i];
  }
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, const TComponent* root) const {
  for (TControl* c : controls_) {
    if (c->Owner() == root) proc(c);
  }
  // The root also writes what it owns that has no parent (non-visual components).
  if (root == this) TComponent::GetChildren(proc, root);
}

TLayoutRect TWinControl::ClientRect() const {
  if (hwnd_) {
    RECT r{};
    GetClientRect(hwnd_, &r);
    const int dpi = Dpi();
    return {0, 0, ScaleToLogical(r.right - r.left, dpi), ScaleToLogical(r.bottom - r.top, dpi)};
  }
  return {0, 0, Width(), Height()};
}

void TWinControl::Realign() {
  if (alignLevel_ > 0 || HasState(csLoading) || HasState(csDestroying)) return;
  std::vector<TAlignItem> items;
  items.reserve(controls_.size());
  for (TControl* c : controls_) items.push_back({c->Align(), c->Visible(), c->BoundsRect()});
  const std::vector<TLayoutRect> bounds = AlignLayout(ClientRect(), items);
  ++alignLevel_;
  try {
    for (std::size_t i = 0; i < controls_.size() && i < bounds.size(); ++i) {
      const TLayoutRect& b = bounds[i];
      controls_[i]->SetBounds(b.Left, b.Top, b.Width, b.Height);
    }
  } catch (...) {
    --alignLevel_;
    throw;
  }
  --alignLevel_;
  PlaceStaticTexts();
}

HWND TWinControl::Handle() {
  if (!hwnd_) CreateHandle();
  return hwnd_;
}

TWinControl* TWinControl::FromHandle(HWND window) {
  return window ? WindowControls().Find(window) : nullptr;
}

RECT TWinControl::WindowBoundsForDevice() const { return DeviceBounds(); }

void TWinControl::CreateParams(TCreateParams& params) {
  params.Caption = sys::Wide(Caption());
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (Visible()) params.Style |= WS_VISIBLE;
  if (!Enabled()) params.Style |= WS_DISABLED;
  if (tabStop_) params.Style |= WS_TABSTOP;
  // Tab goes into a container; a control that takes the focus itself must not be one.
  params.ExStyle = tabStop_ ? 0 : WS_EX_CONTROLPARENT;
  const RECT r = WindowBoundsForDevice();
  params.X = r.left;
  params.Y = r.top;
  params.Width = r.right - r.left;
  params.Height = r.bottom - r.top;
  if (Parent()) params.Parent = Parent()->Handle();
}

void TWinControl::CreateHandle() {
  if (hwnd_) return;
  if (HasState(csDestroying)) throw EComponentError("Control %s is being destroyed", Name());
  RegisterWindowClass(&TWinControl::StdWndProc);
  comctl::Ensure();
  // The parent's window comes first; creating it creates its children's windows, this one included.
  if (Parent()) Parent()->HandleNeeded();
  if (hwnd_) return;
  TCreateParams params;
  CreateParams(params);
  if ((params.Style & WS_CHILD) && !params.Parent)
    throw EComponentError("Control %s has no parent window", Name());
  const bool own = params.WindowClass.empty();
  HWND window = CreateWindowExW(params.ExStyle, own ? kWindowClass : params.WindowClass.c_str(),
                                params.Caption.c_str(), params.Style, params.X, params.Y, params.Width,
                                params.Height, params.Parent, nullptr, GetModuleHandleW(nullptr),
                                own ? this : nullptr);
  if (!window) {
    throw EComponentError("Cannot create the window of %s (error %d)", Name(), static_cast<int>(GetLastError()));
  }
  if (!own) {
    hwnd_ = window;
    WindowControls().Set(window, this);
    defProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::StdWndProc)));
  }
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
  CreateWnd();
  for (TWinControl* child : tabList_) child->CreateHandle();
  RestackTabOrder();
  // The window's client area may differ from what was asked (frames, defaults); lay out for what it is.
  Realign();
}

void TWinControl::DestroyHandle() {
  if (!hwnd_) return;
  HWND window = hwnd_;
  // Children's windows go with this one; they forget them first.
  for (TWinControl* child : tabList_) child->DestroyHandle();
  WindowControls().Drop(window);
  if (defProc_) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defProc_));
  defProc_ = nullptr;
  hwnd_ = nullptr;
  DestroyWindow(window);
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (self) {
      self->hwnd_ = window;
      WindowControls().Set(window, self);
    }
  } else {
    self = FromHandle(window);
  }
  if (!self) return DefWindowProcW(window, msg, wParam, lParam);
  TMessage message{msg, wParam, lParam, 0};
  // No C++ exception may unwind through the system's frames: it ends here, at the application.
  try {
    self->WndProc(message);
  } catch (...) {
    HandleCurrentException(self);
  }
  // A window that the system destroyed with its parent no longer names its control.
  if (msg == WM_NCDESTROY) WindowControls().Drop(window);
  return message.Result;
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage message{msg, wParam, lParam, 0};
  WndProc(message);
  return message.Result;
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!hwnd_) return;
  m.Result = defProc_ ? CallWindowProcW(defProc_, hwnd_, m.Msg, m.WParam, m.LParam)
                      : DefWindowProcW(hwnd_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::ReflectToChild(HWND child, TMessage& m) {
  TWinControl* target = FromHandle(child);
  if (target && target != this) {
    m.Result = target->Perform(kReflectBase + m.Msg, m.WParam, m.LParam);
  } else {
    DefaultHandler(m);
  }
}

HBRUSH TWinControl::BrushHandle() {
  const COLORREF rgb = ColorToRGB(Color());
  if (!brush_ || brushColor_ != rgb) {
    brush_ = TGdiBrush(CreateSolidBrush(rgb));
    brushColor_ = rgb;
  }
  return brush_.Get();
}

void TWinControl::PaintParentBackground(HDC dc) {
  TWinControl* p = Parent();
  if (!hwnd_ || !p || !p->hwnd_) return;
  POINT origin{0, 0};
  MapWindowPoints(hwnd_, p->hwnd_, &origin, 1);
  const TSavedDC saved(dc);
  OffsetViewportOrgEx(dc, -origin.x, -origin.y, nullptr);
  if (p->defProc_) {
    // A system window draws its own look.
    SendMessageW(p->hwnd_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  } else {
    RECT r{};
    GetClientRect(p->hwnd_, &r);
    FillRect(dc, &r, p->BrushHandle());
    p->PaintWindow(dc);
  }
  p->PaintControls(dc);
}

void TWinControl::PaintControls(HDC dc) {
  for (TControl* c : controls_) {
    if (c->IsWindowed() || !c->Visible()) continue;
    const RECT r = c->DeviceBounds();
    const TSavedDC saved(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    c->Paint(dc, r);
  }
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND: {
      RECT r{};
      GetClientRect(hwnd_, &r);
      FillRect(reinterpret_cast<HDC>(m.WParam), &r, BrushHandle());
      m.Result = 1;
      return;
    }
    case WM_PAINT: {
      const bool graphic = std::any_of(controls_.begin(), controls_.end(),
                                       [](TControl* c) { return !c->IsWindowed() && c->Visible(); });
      if (!graphic && !PaintsItself()) break;
      if (defProc_) {
        // A system window paints itself first; windowless children go over it.
        DefaultHandler(m);
        if (!graphic) return;
        const TWindowDC dc(hwnd_);
        PaintControls(dc.Get());
        return;
      }
      const TPaintDC dc(hwnd_);
      PaintWindow(dc.Get());
      PaintControls(dc.Get());
      return;
    }
    case WM_SIZE:
    case WM_MOVE:
      DefaultHandler(m);
      if (!ApplyingBounds()) UpdateBoundsFromWindow();
      if (m.Msg == WM_SIZE) Realign();
      return;
    case WM_GETOBJECT:
      if (const LRESULT object = AccessibleObjectResult(hwnd_, m.WParam, m.LParam)) {
        m.Result = object;
        return;
      }
      break;
    case WM_GETFONT:
      // The layer's own window class keeps no font; system classes answer themselves.
      if (defProc_) break;
      m.Result = reinterpret_cast<LRESULT>(FontHandle());
      return;
    case WM_SETCURSOR:
      // The hourglass of a busy form covers its children too (they ask their parent first).
      if (LOWORD(m.LParam) == HTCLIENT && Cursor() != crDefault) {
        ::SetCursor(CursorHandle(Cursor()));
        m.Result = TRUE;
        return;
      }
      break;
    case WM_COMMAND:
      if (m.LParam) return ReflectToChild(reinterpret_cast<HWND>(m.LParam), m);
      break;
    case WM_NOTIFY:
      return ReflectToChild(reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom, m);
    case WM_DRAWITEM:
      // Controls made here have no control ID, so wParam is 0 for them as for menus: ask the item.
      if (reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam)->CtlType != ODT_MENU)
        return ReflectToChild(reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam)->hwndItem, m);
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return ReflectToChild(reinterpret_cast<HWND>(m.LParam), m);
    case kReflectBase + WM_CTLCOLORSTATIC:
    case kReflectBase + WM_CTLCOLOREDIT:
    case kReflectBase + WM_CTLCOLORBTN:
    case kReflectBase + WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(Font().Color()));
      SetBkColor(dc, ColorToRGB(Color()));
      m.Result = reinterpret_cast<LRESULT>(BrushHandle());
      return;
    }
    case 0x02E0:  // WM_DPICHANGED, for top-level windows on a monitor of another DPI
      OnDpiChanged();
      if (auto* r = reinterpret_cast<RECT*>(m.LParam)) {
        ++applyingBounds_;
        SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        --applyingBounds_;
      }
      m.Result = 0;
      return;
    default:
      break;
  }
  DefaultHandler(m);
}

void TWinControl::OnDpiChanged() {
  // Design units stay; every window and font is made again at the new scale.
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
  for (TWinControl* child : tabList_) {
    if (!child->hwnd_) continue;
    child->OnDpiChanged();
    child->ApplyBounds();
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TWinControl::UpdateBoundsFromWindow() {
  if (!hwnd_) return;
  RECT r{};
  GetWindowRect(hwnd_, &r);
  if (HWND parent = GetParent(hwnd_); parent && (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD)) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  const int dpi = Dpi();
  const int l = ScaleToLogical(r.left, dpi), t = ScaleToLogical(r.top, dpi);
  const int w = ScaleToLogical(r.right - r.left, dpi), h = ScaleToLogical(r.bottom - r.top, dpi);
  if (l == Left() && t == Top() && w == Width() && h == Height()) return;
  StoreBounds(l, t, w, h);
  if (Align() != alNone) RequestAlign();
}

void TWinControl::ApplyBounds() {
  if (!hwnd_) return;
  const RECT r = WindowBoundsForDevice();
  ++applyingBounds_;
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  --applyingBounds_;
}

void TWinControl::BoundsChanged() {
  ApplyBounds();
  if (!hwnd_) Realign();  // with a window, WM_SIZE does it
  TControl::BoundsChanged();
}

void TWinControl::VisibleChanged() {
  if (hwnd_) ShowWindow(hwnd_, Visible() ? SW_SHOWNA : SW_HIDE);
  RequestAlign();
}

void TWinControl::EnabledChanged() {
  if (hwnd_) EnableWindow(hwnd_, Enabled());
}

void TWinControl::TextChanged() {
  if (hwnd_) SetWindowTextW(hwnd_, sys::Wide(Caption()).c_str());
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
}

void TWinControl::FontChanged() {
  if (hwnd_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
  TControl::FontChanged();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  if (hwnd_) {
    // Properties were only stored while loading; bring the window up to date.
    ApplyBounds();
    TextChanged();
    EnabledChanged();
    ShowWindow(hwnd_, Visible() ? SW_SHOWNA : SW_HIDE);
  }
  Realign();
}

void TWinControl::Invalidate() {
  if (!hwnd_) return;
  InvalidateRect(hwnd_, nullptr, TRUE);
  // Texts over this window paint its look under them: they follow.
  for (TControl* c : controls_) {
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->IsStaticText()) w->Invalidate();
  }
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::Update() {
  if (hwnd_) UpdateWindow(hwnd_);
}

int TWinControl::Dpi() const {
  if (hwnd_) return WindowDpi(hwnd_);
  return Parent() ? Parent()->Dpi() : WindowDpi(nullptr);
}

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

int TWinControl::AccessibleRole() const { return ROLE_SYSTEM_CLIENT; }

std::string TWinControl::AccessibleName() const {
  return StripAccelerator(hwnd_ ? WindowTextOf(hwnd_) : Caption());
}

namespace {

// The label whose accelerator focuses control.
TLabel* FocusLabelOf(const TWinControl& control) {
  TComponent* owner = control.Owner();
  if (!owner) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    auto* label = dynamic_cast<TLabel*>(owner->Components(i));
    if (label && label->FocusControl() == &control && !label->Caption().empty()) return label;
  }
  return nullptr;
}

std::string LabelReading(const TLabel& label) {
  return label.ShowAccelChar() ? StripAccelerator(label.Caption()) : label.Caption();
}

}  // namespace

std::string TWinControl::AccessibleShortcut() const {
  wchar_t key = AcceleratorChar(Caption());
  if (!key) {
    if (TLabel* label = FocusLabelOf(*this); label && label->ShowAccelChar()) key = AcceleratorChar(label->Caption());
  }
  if (!key) return {};
  return "Alt+" + sys::Narrow(std::wstring(1, key));
}

std::string TWinControl::LabelText() const {
  if (TLabel* label = FocusLabelOf(*this)) return LabelReading(*label);
  // A label read just before it (to its left or above), empty spacers passed over.
  for (HWND w = hwnd_ ? GetWindow(hwnd_, GW_HWNDPREV) : nullptr; w; w = GetWindow(w, GW_HWNDPREV)) {
    auto* before = dynamic_cast<TLabel*>(FromHandle(w));
    if (!before || before->Parent() != Parent()) break;
    if (!before->Caption().empty()) return LabelReading(*before);
  }
  for (TWinControl* p = Parent(); p; p = p->Parent()) {
    if (p->AccessibleRole() == ROLE_SYSTEM_GROUPING && !p->Caption().empty()) return StripAccelerator(p->Caption());
    if (dynamic_cast<TForm*>(p)) break;
  }
  return {};
}

void TWinControl::SetCursor(TCursor cursor) {
  TControl::SetCursor(cursor);
  if (!hwnd_) return;
  // Show the change at once when the mouse is over the window, not on its next move.
  POINT pt{};
  GetCursorPos(&pt);
  HWND under = WindowFromPoint(pt);
  if (under == hwnd_ || IsChild(hwnd_, under)) SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

}  // namespace tav
