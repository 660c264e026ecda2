#include "ui/forms.h"

#include <oleacc.h>

#include "core/properties.h"
#include "core/run_log.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "ui/stdctrls.h"

namespace tav {

constexpr std::string_view kPositionNames[] = {
    "poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
    "poMainFormCenter", "poOwnerFormCenter"};
constinit const TNameList PositionNames(kPositionNames);
constexpr std::string_view kWindowStateNames[] = {"wsNormal", "wsMinimized", "wsMaximized"};
constinit const TNameList WindowStateNames(kWindowStateNames);
constexpr std::string_view kFormBorderStyleNames[] = {
    "bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"};
constinit const TNameList FormBorderStyleNames(kFormBorderStyleNames);
constexpr TIdentMapEntry kModalResultIdents[] = {
    {"mrNone", mrNone},     {"mrOk", mrOk},   {"mrCancel", mrCancel}, {"mrAbort", mrAbort}, {"mrRetry", mrRetry},
    {"mrIgnore", mrIgnore}, {"mrYes", mrYes}, {"mrNo", mrNo},         {"mrAll", mrAll},
};
constinit const TIdentList ModalResultIdents(kModalResultIdents);
constexpr std::string_view kBorderIconNames[] = {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"};
constinit const TNameList BorderIconNames(kBorderIconNames);

namespace {
// Posted to a form by Release: it is destroyed when the message comes round.
constexpr UINT kReleaseMessage = WM_APP + 0x3FF0;
constexpr TBorderIcons kDefaultIcons = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
}  // namespace

const TClassInfo& TForm::StaticClassInfo() {
  using P = Props<TForm>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TForm::ClientWidth, &TForm::SetClientWidth>("ClientWidth"),
      P::Integer<&TForm::ClientHeight, &TForm::SetClientHeight>("ClientHeight"),
      P::Enum<&TForm::Position, &TForm::SetPosition>("Position", PositionNames, poDesigned),
      P::Enum<&TForm::WindowState, &TForm::SetWindowState>("WindowState", WindowStateNames, wsNormal),
      P::Enum<&TForm::BorderStyle, &TForm::SetBorderStyle>("BorderStyle", FormBorderStyleNames, bsSizeable),
      P::Set<&TForm::BorderIcons, &TForm::SetBorderIcons>("BorderIcons", BorderIconNames, kDefaultIcons),
      // Forms are hidden until shown.
      P::Boolean<&TForm::Visible, &TForm::SetVisible>("Visible", false),
      P::Event<&TForm::OnActivate>("OnActivate"),
      P::Event<&TForm::OnClose>("OnClose"),
      P::Event<&TForm::OnCloseQuery>("OnCloseQuery"),
      P::Event<&TForm::OnCreate>("OnCreate"),
      P::Event<&TForm::OnDeactivate>("OnDeactivate"),
      P::Event<&TForm::OnDestroy>("OnDestroy"),
      P::Event<&TForm::OnHide>("OnHide"),
      P::Event<&TForm::OnResize>("OnResize"),
      P::Event<&TForm::OnShow>("OnShow"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TForm, TWinControl>("TForm", props);
  return info;
}

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetParentFont(false);
  StoreBounds(0, 0, 320, 240);
}

TForm::~TForm() {
  Destroying();
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      HandleCurrentException(this);
    }
  }
  DestroyHandle();
}

int TForm::AccessibleRole() const {
  if (Parent()) return ROLE_SYSTEM_PROPERTYPAGE;
  return borderStyle_ == bsDialog ? ROLE_SYSTEM_DIALOG : ROLE_SYSTEM_WINDOW;
}

void TForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

DWORD TForm::WindowStyle() const {
  if (Parent()) return WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (Enabled() ? 0 : WS_DISABLED);
  DWORD style = WS_CLIPCHILDREN | (Enabled() ? 0 : WS_DISABLED);
  switch (borderStyle_) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog: style |= WS_POPUP | WS_CAPTION; break;
  }
  if (borderStyle_ != bsNone && (borderIcons_ & (1u << biSystemMenu))) {
    style |= WS_SYSMENU;
    // Dialogs and tool windows have no minimise or maximise box.
    if (borderStyle_ == bsSingle || borderStyle_ == bsSizeable) {
      if (borderIcons_ & (1u << biMinimize)) style |= WS_MINIMIZEBOX;
      if (borderIcons_ & (1u << biMaximize)) style |= WS_MAXIMIZEBOX;
    }
  }
  return style;
}

DWORD TForm::WindowExStyle() const {
  DWORD ex = WS_EX_CONTROLPARENT;
  if (Parent()) return ex;
  if (borderStyle_ == bsDialog) ex |= WS_EX_DLGMODALFRAME;
  if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) ex |= WS_EX_TOOLWINDOW;
  const bool minMax = (WindowStyle() & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) != 0;
  if ((borderIcons_ & (1u << biHelp)) && !minMax && (WindowStyle() & WS_SYSMENU)) ex |= WS_EX_CONTEXTHELP;
  return ex;
}

SIZE TForm::FrameSize() const {
  // Unattended no form is ever shown, and the frame is asked of the display, which makes Wine start its
  // desktop process and wait for it.
  if (Unattended() && !HandleAllocated()) return {0, 0};
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, WindowStyle(), FALSE, WindowExStyle());
  const int dpi = Dpi();
  return {ScaleToLogical(r.right - r.left, dpi), ScaleToLogical(r.bottom - r.top, dpi)};
}

TLayoutRect TForm::ClientRect() const {
  if (HandleAllocated()) return TWinControl::ClientRect();
  const SIZE frame = FrameSize();
  return {0, 0, std::max(0, Width() - static_cast<int>(frame.cx)), std::max(0, Height() - static_cast<int>(frame.cy))};
}

void TForm::SetClientWidth(int width) {
  if (HasState(csLoading)) {
    // The frame depends on BorderStyle, which a stream may set later: sized once loading ends.
    pendingClientWidth_ = width;
    return;
  }
  SetWidth(width + (Width() - ClientRect().Width));
}

void TForm::SetClientHeight(int height) {
  if (HasState(csLoading)) {
    pendingClientHeight_ = height;
    return;
  }
  SetHeight(height + (Height() - ClientRect().Height));
}

void TForm::SetPosition(TPosition position) {
  position_ = position;
  if (!HasState(csLoading)) placed_ = false;
}

void TForm::SetBounds(int left, int top, int width, int height) {
  if (!HasState(csLoading) && (left != Left() || top != Top())) placed_ = true;
  TWinControl::SetBounds(left, top, width, height);
}

void TForm::Loaded() {
  TWinControl::Loaded();
  if (pendingClientWidth_ >= 0) SetClientWidth(pendingClientWidth_);
  if (pendingClientHeight_ >= 0) SetClientHeight(pendingClientHeight_);
  pendingClientWidth_ = pendingClientHeight_ = -1;
  if (Visible()) VisibleChanged();
}

void TForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = WindowStyle();
  params.ExStyle = WindowExStyle();
  params.Parent = Parent() ? Parent()->Handle() : nullptr;
  if (!Parent()) {
    if (position_ == poDefault || position_ == poDefaultPosOnly) params.X = params.Y = CW_USEDEFAULT;
    if (position_ == poDefault || position_ == poDefaultSizeOnly) params.Width = params.Height = CW_USEDEFAULT;
  }
}

void TForm::CreateWnd() {
  // Windows chose what CW_USEDEFAULT left open.
  if (!Parent() && position_ >= poDefault && position_ <= poDefaultSizeOnly) {
    RECT r{};
    GetWindowRect(WindowHandle(), &r);
    const int dpi = Dpi();
    StoreBounds(ScaleToLogical(r.left, dpi), ScaleToLogical(r.top, dpi), ScaleToLogical(r.right - r.left, dpi),
                ScaleToLogical(r.bottom - r.top, dpi));
  }
}

RECT TForm::WindowBoundsForDevice() const {
  if (Parent()) return TWinControl::WindowBoundsForDevice();
  const int dpi = Dpi();
  const int l = ScaleToDevice(Left(), dpi), t = ScaleToDevice(Top(), dpi);
  return {l, t, l + ScaleToDevice(Width(), dpi), t + ScaleToDevice(Height(), dpi)};
}

void TForm::UpdateBoundsFromWindow() {
  // A minimised window sits far off screen; the form keeps the bounds it is restored to.
  if (HandleAllocated() && IsIconic(WindowHandle())) return;
  TWinControl::UpdateBoundsFromWindow();
}

void TForm::PlaceByPosition() {
  placed_ = true;
  if (Parent()) return;
  const int dpi = Dpi();
  const int w = ScaleToDevice(Width(), dpi), h = ScaleToDevice(Height(), dpi);
  RECT area{};
  switch (position_) {
    case poScreenCenter:
      area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      break;
    case poDesktopCenter: {
      const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
      area = {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
      break;
    }
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TForm* over = position_ == poOwnerFormCenter ? dynamic_cast<TForm*>(Owner()) : nullptr;
      if (!over) over = Application().MainForm();
      if (over && over != this && over->HandleAllocated()) {
        GetWindowRect(over->WindowHandle(), &area);
      } else {
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      }
      break;
    }
    default:
      return;
  }
  const int x = area.left + (area.right - area.left - w) / 2, y = area.top + (area.bottom - area.top - h) / 2;
  TWinControl::SetBounds(ScaleToLogical(x, dpi), ScaleToLogical(y, dpi), Width(), Height());
}

void TForm::VisibleChanged() {
  if (!Visible()) {
    if (!HandleAllocated()) return;
    if (OnHide) OnHide(this);
    ShowWindow(WindowHandle(), SW_HIDE);
    return;
  }
  if (HasState(csLoading) || HasState(csDestroying)) return;
  HandleNeeded();
  if (!placed_) PlaceByPosition();
  if (OnShow) OnShow(this);
  if (Parent()) {
    ShowWindow(WindowHandle(), SW_SHOWNA);
    return;
  }
  const int command = windowState_ == wsMaximized   ? SW_SHOWMAXIMIZED
                      : windowState_ == wsMinimized ? SW_SHOWMINIMIZED
                                                    : SW_SHOWNORMAL;
  ShowWindow(WindowHandle(), command);
  FocusActiveControl();
}

void TForm::SetActiveControl(TWinControl* control) {
  if (activeControl_ != control) {
    if (activeControl_) activeControl_->RemoveFreeNotification(this);
    activeControl_ = control;
    if (control) control->FreeNotification(this);
  }
  FocusActiveControl();
}

void TForm::FocusActiveControl() {
  if (!activeControl_ || !HandleAllocated() || !IsWindowVisible(WindowHandle())) return;
  if (!activeControl_->HandleAllocated() || !IsWindowVisible(activeControl_->WindowHandle()) ||
      !IsWindowEnabled(activeControl_->WindowHandle()))
    return;
  // Only within the window the user is in; another program's window keeps its focus.
  if (GetActiveWindow() != WindowHandle()) return;
  if (GetFocus() != activeControl_->WindowHandle()) activeControl_->SetFocus();
}

void TForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == activeControl_) activeControl_ = nullptr;
}

void TForm::Show() {
  if (!Visible()) {
    SetVisible(true);
  } else if (HandleAllocated()) {
    ShowWindow(WindowHandle(), IsIconic(WindowHandle()) ? SW_RESTORE : SW_SHOW);
  }
  if (HandleAllocated() && !Parent()) SetForegroundWindow(WindowHandle());
}

void TForm::Hide() { SetVisible(false); }

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  // A modal form closes through its loop, which asks OnCloseQuery and OnClose.
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application().MainForm() == this) {
    Application().Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    case caNone: break;
  }
}

namespace {

// Visible, enabled top-level windows of this thread other than the modal one.
struct TDisableWindows {
  HWND keep;
  std::vector<HWND> disabled;
};

BOOL CALLBACK DisableWindow(HWND window, LPARAM data) {
  auto* d = reinterpret_cast<TDisableWindows*>(data);
  if (window != d->keep && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    d->disabled.push_back(window);
  }
  return TRUE;
}

// The buttons of a form and of the forms and containers inside it, in Tab order.
TButton* FindButton(TWinControl& parent, bool cancel) {
  for (int i = 0; i < parent.ControlCount(); ++i) {
    TControl* c = parent.Controls(i);
    if (!c->Visible() || !c->Enabled()) continue;
    if (auto* b = dynamic_cast<TButton*>(c); b && (cancel ? b->Cancel() : b->Default())) return b;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      if (TButton* found = FindButton(*w, cancel)) return found;
    }
  }
  return nullptr;
}

}  // namespace

int TForm::ShowModal() {
  if (modal_ || Visible() || !Enabled() || Parent())
    throw EInvalidOperation("Cannot make a visible window modal");
  HWND active = GetActiveWindow();
  TDisableWindows disable{Handle(), {}};
  EnumThreadWindows(GetCurrentThreadId(), &DisableWindow, reinterpret_cast<LPARAM>(&disable));
  modal_ = true;
  modalResult_ = 0;
  // Whatever ends the loop, the other windows come back.
  auto restore = [&] {
    modal_ = false;
    for (HWND w : disable.disabled) {
      if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    if (active && IsWindow(active) && active != WindowHandle()) SetActiveWindow(active);
  };
  try {
    Show();
    while (true) {
      Application().HandleMessage();
      // A quit request ends the loop as if the window were closed.
      if (Application().Terminated() && modalResult_ == 0) modalResult_ = mrCancel;
      if (modalResult_ == 0) continue;
      bool canClose = CloseQuery();
      TCloseAction action = caHide;
      if (canClose && OnClose) OnClose(this, action);
      if (!canClose || action == caNone) {
        if (Application().Terminated()) break;
        modalResult_ = 0;
        continue;
      }
      Hide();
      if (action == caFree) Release();
      break;
    }
  } catch (...) {
    restore();
    throw;
  }
  const int result = modalResult_;
  restore();
  return result;
}

namespace {

wchar_t UpperChar(wchar_t c) {
  CharUpperBuffW(&c, 1);
  return c;
}

// The first visible, enabled button or focusing label whose accelerator is key.
bool PressAccelerator(TWinControl& parent, wchar_t key) {
  for (int i = 0; i < parent.ControlCount(); ++i) {
    TControl* c = parent.Controls(i);
    if (!c->Visible() || !c->Enabled()) continue;
    if (auto* label = dynamic_cast<TLabel*>(c)) {
      TWinControl* target = label->FocusControl();
      if (label->ShowAccelChar() && target && target->Enabled() && AcceleratorChar(label->Caption()) == key) {
        target->SetFocus();
        return true;
      }
    } else if (auto* button = dynamic_cast<TButton*>(c); button && AcceleratorChar(button->Caption()) == key) {
      button->SetFocus();
      button->Click();
      return true;
    } else if (auto* w = dynamic_cast<TWinControl*>(c); w && PressAccelerator(*w, key)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool TForm::DialogChar(wchar_t key) {
  return PressAccelerator(*this, UpperChar(key));
}

bool TForm::DialogKey(HWND target, WPARAM key) {
  if (key == VK_ESCAPE) {
    TButton* cancel = FindButton(*this, true);
    if (!cancel) return false;
    cancel->Click();
    return true;
  }
  if (key != VK_RETURN) return false;
  // A focused button is pressed itself; a control that takes Enter (a memo) keeps it.
  TWinControl* focused = TWinControl::FromHandle(target);
  if (auto* b = dynamic_cast<TButton*>(focused); b && b->Enabled()) {
    b->Click();
    return true;
  }
  if (target) {
    MSG msg{target, WM_KEYDOWN, key, 0, 0, {}};
    const LRESULT code = SendMessageW(target, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&msg));
    if ((code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) &&
        (GetWindowLongPtrW(target, GWL_STYLE) & ES_WANTRETURN))
      return false;
  }
  TButton* def = FindButton(*this, false);
  if (!def) return false;
  def->Click();
  return true;
}

void TForm::Release() {
  if (!PostMessageW(Handle(), kReleaseMessage, 0, 0))
    throw EComponentError("Cannot release form %s (error %d)", Name(), static_cast<int>(GetLastError()));
}

void TForm::SetWindowState(TWindowState state) {
  windowState_ = state;
  if (!HandleAllocated() || !IsWindowVisible(WindowHandle())) return;
  ShowWindow(WindowHandle(), state == wsMaximized   ? SW_MAXIMIZE
                             : state == wsMinimized ? SW_MINIMIZE
                                                    : SW_RESTORE);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  borderStyle_ = style;
  ApplyStyles();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  borderIcons_ = icons;
  ApplyStyles();
}

void TForm::ApplyStyles() {
  if (!HandleAllocated()) return;
  HWND window = WindowHandle();
  const LONG_PTR kept = GetWindowLongPtrW(window, GWL_STYLE) & (WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
  SetWindowLongPtrW(window, GWL_STYLE, kept | WindowStyle());
  SetWindowLongPtrW(window, GWL_EXSTYLE, WindowExStyle());
  SetWindowPos(window, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ACTIVATE:
      DefaultHandler(m);
      active_ = LOWORD(m.WParam) != WA_INACTIVE;
      if (active_) {
        FocusActiveControl();
        if (OnActivate) OnActivate(this);
      } else {
        // Coming back, the user finds the control they left.
        HWND focus = GetFocus();
        if (focus && focus != WindowHandle() && IsChild(WindowHandle(), focus)) {
          if (auto* c = TWinControl::FromHandle(focus)) SetActiveControl(c);
        }
        if (OnDeactivate) OnDeactivate(this);
      }
      return;
    case WM_SETFOCUS:
      TWinControl::WndProc(m);
      FocusActiveControl();
      return;
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case WM_SIZE:
      TWinControl::WndProc(m);
      windowState_ = m.WParam == SIZE_MAXIMIZED   ? wsMaximized
                     : m.WParam == SIZE_MINIMIZED ? wsMinimized
                                                  : wsNormal;
      if (OnResize) OnResize(this);
      return;
    case kReleaseMessage:
      // Nothing of this object may be touched after this.
      delete this;
      return;
    default:
      TWinControl::WndProc(m);
  }
}

}  // namespace tav
