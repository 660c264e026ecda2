#include "ui/stdctrls.h"

#include <algorithm>

#include <oleacc.h>

#include "core/properties.h"
#include "sys/unicode.h"

namespace tav {

constexpr std::string_view kAlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
constinit const TNameList AlignmentNames(kAlignmentNames);
constexpr std::string_view kTextLayoutNames[] = {"tlTop", "tlCenter", "tlBottom"};
constinit const TNameList TextLayoutNames(kTextLayoutNames);
constexpr std::string_view kEditCharCaseNames[] = {"ecNormal", "ecUpperCase", "ecLowerCase"};
constinit const TNameList EditCharCaseNames(kEditCharCaseNames);
constexpr std::string_view kScrollStyleNames[] = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
constinit const TNameList ScrollStyleNames(kScrollStyleNames);
constexpr std::string_view kCheckBoxStateNames[] = {"cbUnchecked", "cbChecked", "cbGrayed"};
constinit const TNameList CheckBoxStateNames(kCheckBoxStateNames);
constexpr std::string_view kBorderStyleNames[] = {"bsNone", "bsSingle"};
constinit const TNameList BorderStyleNames(kBorderStyleNames);

TForm* GetParentForm(TControl* control) {
  TForm* form = nullptr;
  for (TControl* c = control; c; c = c->Parent()) {
    if (auto* f = dynamic_cast<TForm*>(c)) form = f;
  }
  return form;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

// ---------------------------------------------------------------------------------------------------
// TLabel

const TClassInfo& TLabel::StaticClassInfo() {
  using P = Props<TLabel>;
  static constexpr TPropInfo props[] = {
      // A label is read where it stands, never tabbed to: its window's place is not stored.
      P::Integer<[](const TLabel&) { return -1; }, [](TLabel&, int) {}>("TabOrder", -1),
      P::Enum<&TLabel::Alignment, &TLabel::SetAlignment>("Alignment", AlignmentNames, taLeftJustify),
      P::Boolean<&TLabel::AutoSize, &TLabel::SetAutoSize>("AutoSize", true),
      P::Reference<TWinControl, &TLabel::FocusControl, &TLabel::SetFocusControl>("FocusControl"),
      P::Enum<&TLabel::Layout, &TLabel::SetLayout>("Layout", TextLayoutNames, tlTop),
      P::Boolean<&TLabel::ParentColor, &TLabel::SetParentColor>("ParentColor", true),
      P::Boolean<&TLabel::ShowAccelChar, &TLabel::SetShowAccelChar>("ShowAccelChar", true),
      P::Boolean<&TLabel::Transparent, &TLabel::SetTransparent>("Transparent", false),
      P::Boolean<&TLabel::WordWrap, &TLabel::SetWordWrap>("WordWrap", false),
  };
  static constexpr TClassInfo info = MakeClassInfo<TLabel, TWinControl>("TLabel", props);
  return info;
}

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {
  SetParentColor(true);
  StoreBounds(0, 0, 65, 13);
}

TLabel::~TLabel() { Destroying(); }

void TLabel::SetAlignment(TAlignment v) {
  alignment_ = v;
  Invalidate();
}
void TLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  AdjustBounds();
}
void TLabel::SetWordWrap(bool v) {
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}
void TLabel::SetTransparent(bool v) {
  transparent_ = v;
  Invalidate();
}
void TLabel::SetLayout(TTextLayout v) {
  layout_ = v;
  Invalidate();
}
void TLabel::SetShowAccelChar(bool v) {
  showAccelChar_ = v;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetFocusControl(TWinControl* control) {
  if (focusControl_ == control) return;
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = control;
  if (control) control->FreeNotification(this);
}

void TLabel::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TLabel::TextChanged() {
  // The window text is what assistive technology reads; setting it tells them of the change.
  TWinControl::TextChanged();
  AdjustBounds();
  Invalidate();
}

void TLabel::FontChanged() {
  TWinControl::FontChanged();
  AdjustBounds();
}

void TLabel::ColorChanged() {
  TWinControl::ColorChanged();
  Invalidate();
}

void TLabel::BoundsChanged() {
  TWinControl::BoundsChanged();
  // Moved by code rather than by its parent's layout: its reading place may have changed.
  if (Align() == alNone && Parent()) Parent()->PlaceStaticTexts();
}

void TLabel::Loaded() {
  TWinControl::Loaded();
  AdjustBounds();
}

void TLabel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ExStyle &= ~static_cast<DWORD>(WS_EX_CONTROLPARENT);
}

void TLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND:
      m.Result = 1;  // painted whole with WM_PAINT, so it does not flicker
      return;
    case WM_PAINT: {
      const TPaintDC dc(WindowHandle());
      RECT r{};
      GetClientRect(WindowHandle(), &r);
      if (transparent_) PaintParentBackground(dc.Get());
      Paint(dc.Get(), r);
      return;
    }
    case WM_PRINTCLIENT: {
      RECT r{};
      GetClientRect(WindowHandle(), &r);
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      if (transparent_) PaintParentBackground(dc);
      Paint(dc, r);
      return;
    }
    case WM_NCHITTEST:
      // Clicks reach what lies under the text, as for text painted on the parent.
      m.Result = HTTRANSPARENT;
      return;
    case WM_GETDLGCODE:
      m.Result = DLGC_STATIC;
      return;
    default:
      TWinControl::WndProc(m);
  }
}

int TLabel::AccessibleRole() const { return ROLE_SYSTEM_STATICTEXT; }

std::string TLabel::AccessibleName() const {
  const std::string text = WindowHandle() ? WindowTextOf(WindowHandle()) : Caption();
  return showAccelChar_ ? StripAccelerator(text) : text;
}

int TLabel::AccessibleState() const { return STATE_SYSTEM_READONLY; }

UINT TLabel::DrawFlags() const {
  UINT flags = DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE);
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  if (alignment_ == taRightJustify) flags |= DT_RIGHT;
  else if (alignment_ == taCenter) flags |= DT_CENTER;
  return flags;
}

void TLabel::AdjustBounds() {
  if (!autoSize_ || adjusting_ || HasState(csLoading) || HasState(csDestroying)) return;
  const int dpi = Dpi();
  // An empty caption still takes the height of one line.
  std::wstring text = sys::Wide(Caption());
  if (text.empty()) text = L" ";
  RECT r{0, 0, ScaleToDevice(Width(), dpi), 0};
  {
    const TWindowDC screen(nullptr);
    const TSelectedObject font(screen.Get(), FontHandle());
    DrawTextW(screen.Get(), text.c_str(), static_cast<int>(text.size()), &r,
              (DrawFlags() & ~(DT_RIGHT | DT_CENTER)) | DT_CALCRECT);
  }
  int w = wordWrap_ ? Width() : ScaleToLogical(r.right - r.left, dpi);
  int h = ScaleToLogical(r.bottom - r.top, dpi);
  // Growing or shrinking keeps the aligned edge in place.
  int left = Left();
  if (!wordWrap_ && alignment_ == taRightJustify) left += Width() - w;
  else if (!wordWrap_ && alignment_ == taCenter) left += (Width() - w) / 2;
  // Aligned labels have the width or height their parent gives them.
  if (Align() == alLeft || Align() == alRight || Align() == alClient) h = Height();
  if (Align() == alTop || Align() == alBottom || Align() == alClient) {
    w = Width();
    left = Left();
  }
  adjusting_ = true;
  try {
    SetBounds(left, Top(), w, h);
  } catch (...) {
    adjusting_ = false;
    throw;
  }
  adjusting_ = false;
}

void TLabel::Paint(HDC dc, const RECT& bounds) {
  if (!transparent_) FillRect(dc, &bounds, TGdiBrush(CreateSolidBrush(ColorToRGB(Color()))).Get());
  const std::wstring text = sys::Wide(Caption());
  if (text.empty()) return;
  const TSelectedObject font(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  RECT r = bounds;
  const UINT flags = DrawFlags();
  if (layout_ != tlTop) {
    RECT calc = bounds;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &calc, flags | DT_CALCRECT);
    const int free = (bounds.bottom - bounds.top) - (calc.bottom - calc.top);
    r.top += layout_ == tlCenter ? free / 2 : free;
  }
  if (Enabled()) {
    SetTextColor(dc, ColorToRGB(Font().Color()));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
  } else {
    // Disabled text: engraved, as the system draws it.
    OffsetRect(&r, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    OffsetRect(&r, -1, -1);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
  }
}

// ---------------------------------------------------------------------------------------------------
// TButton

const TClassInfo& TButton::StaticClassInfo() {
  using P = Props<TButton>;
  static constexpr TPropInfo props[] = {
      P::Boolean<&TButton::Cancel, &TButton::SetCancel>("Cancel", false),
      P::Boolean<&TButton::Default, &TButton::SetDefault>("Default", false),
      P::Integer<&TButton::ModalResult, &TButton::SetModalResult>("ModalResult", 0),
      P::Boolean<&TButton::TabStop, &TButton::SetTabStop>("TabStop", true),
      P::Event<&TButton::OnClick>("OnClick"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TButton, TWinControl>("TButton", props);
  return info;
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  StoreBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool v) {
  default_ = v;
  if (HandleAllocated()) Perform(BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = L"BUTTON";
  params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::Click() {
  if (modalResult_ != 0) {
    if (TForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  }
  if (OnClick) OnClick(this);
}

int TButton::AccessibleRole() const { return ROLE_SYSTEM_PUSHBUTTON; }

int TButton::AccessibleState() const { return default_ ? STATE_SYSTEM_DEFAULT : 0; }

std::string TButton::AccessibleDefaultAction() const { return "Press"; }

bool TButton::DoAccessibleDefaultAction() {
  if (!HandleAllocated() || !IsWindowEnabled(WindowHandle())) return false;
  // Posted: the click may open a modal window, which must not run inside the caller's request.
  return PostMessageW(WindowHandle(), BM_CLICK, 0, 0) != FALSE;
}

void TButton::WndProc(TMessage& m) {
  if (m.Msg == kReflectBase + WM_COMMAND && HIWORD(m.WParam) == BN_CLICKED) {
    Click();
    return;
  }
  TWinControl::WndProc(m);
}

// ---------------------------------------------------------------------------------------------------
// TCheckBox

const TClassInfo& TCheckBox::StaticClassInfo() {
  using P = Props<TCheckBox>;
  static constexpr TPropInfo props[] = {
      P::Enum<&TCheckBox::Alignment, &TCheckBox::SetAlignment>("Alignment", AlignmentNames, taRightJustify),
      P::Boolean<&TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed>("AllowGrayed", false),
      P::Boolean<&TCheckBox::Checked, &TCheckBox::SetChecked>("Checked", false),
      P::Enum<&TCheckBox::State, &TCheckBox::SetState>("State", CheckBoxStateNames, cbUnchecked),
      P::Boolean<&TCheckBox::TabStop, &TCheckBox::SetTabStop>("TabStop", true),
      P::Event<&TCheckBox::OnClick>("OnClick"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TCheckBox, TWinControl>("TCheckBox", props);
  return info;
}

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  StoreBounds(0, 0, 97, 17);
}

void TCheckBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = L"BUTTON";
  params.Style |= allowGrayed_ ? BS_AUTO3STATE : BS_AUTOCHECKBOX;
  if (alignment_ == taLeftJustify) params.Style |= BS_LEFTTEXT;
}

void TCheckBox::CreateWnd() { Perform(BM_SETCHECK, state_); }

void TCheckBox::SetState(TCheckBoxState v) {
  if (v == state_) return;
  state_ = v;
  if (HandleAllocated()) Perform(BM_SETCHECK, v);
  if (!HasState(csLoading) && OnClick) OnClick(this);
}

int TCheckBox::AccessibleRole() const { return ROLE_SYSTEM_CHECKBUTTON; }

int TCheckBox::AccessibleState() const {
  return state_ == cbChecked ? STATE_SYSTEM_CHECKED : state_ == cbGrayed ? STATE_SYSTEM_MIXED : 0;
}

std::string TCheckBox::AccessibleDefaultAction() const { return state_ == cbChecked ? "Uncheck" : "Check"; }

bool TCheckBox::DoAccessibleDefaultAction() {
  if (!HandleAllocated() || !IsWindowEnabled(WindowHandle())) return false;
  return PostMessageW(WindowHandle(), BM_CLICK, 0, 0) != FALSE;
}

void TCheckBox::WndProc(TMessage& m) {
  if (m.Msg == kReflectBase + WM_COMMAND && HIWORD(m.WParam) == BN_CLICKED) {
    const auto now = static_cast<TCheckBoxState>(Perform(BM_GETCHECK));
    if (now != state_) {
      state_ = now;
      if (OnClick) OnClick(this);
    }
    return;
  }
  TWinControl::WndProc(m);
}

// ---------------------------------------------------------------------------------------------------
// TCustomEdit, TEdit, TMemo

const TClassInfo& TCustomEdit::StaticClassInfo() {
  using P = Props<TCustomEdit>;
  static constexpr TPropInfo props[] = {
      P::Enum<&TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle>("BorderStyle", BorderStyleNames, bsSingle),
      P::Integer<&TCustomEdit::Color, &TCustomEdit::SetColor>("Color", clWindow, &ColorIdents),
      P::Integer<&TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength>("MaxLength", 0),
      P::Boolean<&TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly>("ReadOnly", false),
      P::Boolean<&TCustomEdit::TabStop, &TCustomEdit::SetTabStop>("TabStop", true),
      P::Event<&TCustomEdit::OnChange>("OnChange"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TCustomEdit, TWinControl>("TCustomEdit", props);
  return info;
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetColor(clWindow);
  StoreBounds(0, 0, 121, 21);
}

void TCustomEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  if (HandleAllocated()) Perform(EM_SETREADONLY, v);
}

void TCustomEdit::SetMaxLength(int v) {
  maxLength_ = std::max(0, v);
  if (HandleAllocated()) Perform(EM_SETLIMITTEXT, maxLength_);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = L"EDIT";
  params.Style |= ES_AUTOHSCROLL;
  if (readOnly_) params.Style |= ES_READONLY;
  if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateWnd() {
  if (maxLength_ > 0) Perform(EM_SETLIMITTEXT, maxLength_);
  // The window may have changed the text (case, length): the control holds what it shows.
  ReadWindowText();
}

void TCustomEdit::ReadWindowText() {
  if (!HandleAllocated()) return;
  const std::string now = WindowTextOf(WindowHandle());
  if (now == Caption()) return;
  settingText_ = true;
  try {
    SetCaption(now);
  } catch (...) {
    settingText_ = false;
    throw;
  }
  settingText_ = false;
}

void TCustomEdit::TextChanged() {
  if (settingText_) return;
  if (HandleAllocated()) {
    // The window reports the change (EN_CHANGE), which fires OnChange; multi-line windows do not
    // report text set as a whole, so the change is reported here for them.
    changeSeen_ = false;
    TWinControl::TextChanged();
    if (!changeSeen_) {
      ReadWindowText();
      if (!HasState(csLoading)) Change();
    }
  } else if (!HasState(csLoading)) {
    Change();
  }
}

int TCustomEdit::AccessibleRole() const { return ROLE_SYSTEM_TEXT; }

int TCustomEdit::AccessibleState() const { return readOnly_ ? STATE_SYSTEM_READONLY : 0; }

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::WndProc(TMessage& m) {
  if (m.Msg == kReflectBase + WM_COMMAND && HIWORD(m.WParam) == EN_CHANGE) {
    changeSeen_ = true;
    ReadWindowText();
    if (!HasState(csLoading)) Change();
    return;
  }
  TWinControl::WndProc(m);
}

const TClassInfo& TEdit::StaticClassInfo() {
  using P = Props<TEdit>;
  static constexpr TPropInfo props[] = {
      P::Enum<&TEdit::CharCase, &TEdit::SetCharCase>("CharCase", EditCharCaseNames, ecNormal),
      P::String<&TEdit::Text, &TEdit::SetText>("Text"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TEdit, TCustomEdit>("TEdit", props);
  return info;
}

TEdit::TEdit(TComponent* owner) : TCustomEdit(owner) {}

void TEdit::SetCharCase(TEditCharCase v) {
  charCase_ = v;
  if (!HandleAllocated()) return;
  LONG_PTR style = GetWindowLongPtrW(WindowHandle(), GWL_STYLE) & ~static_cast<LONG_PTR>(ES_UPPERCASE | ES_LOWERCASE);
  if (v == ecUpperCase) style |= ES_UPPERCASE;
  if (v == ecLowerCase) style |= ES_LOWERCASE;
  SetWindowLongPtrW(WindowHandle(), GWL_STYLE, style);
  // Text already there takes the new case as well.
  if (v != ecNormal) TWinControl::TextChanged();
}

void TEdit::CreateParams(TCreateParams& params) {
  TCustomEdit::CreateParams(params);
  if (charCase_ == ecUpperCase) params.Style |= ES_UPPERCASE;
  if (charCase_ == ecLowerCase) params.Style |= ES_LOWERCASE;
}


const TClassInfo& TCustomMemo::StaticClassInfo() {
  using P = Props<TCustomMemo>;
  static constexpr TPropInfo props[] = {
      P::Object<[](TCustomMemo& c) { return &c.Lines(); }>("Lines"),
      P::Enum<&TCustomMemo::ScrollBars, &TCustomMemo::SetScrollBars>("ScrollBars", ScrollStyleNames, ssNone),
      P::Boolean<&TCustomMemo::WantReturns, &TCustomMemo::SetWantReturns>("WantReturns", true),
      P::Boolean<&TCustomMemo::WordWrap, &TCustomMemo::SetWordWrap>("WordWrap", true),
  };
  static constexpr TClassInfo info = MakeClassInfo<TCustomMemo, TCustomEdit>("TCustomMemo", props);
  return info;
}

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner) {
  StoreBounds(0, 0, 185, 89);
  lines_.OnChange = [this](TStringList&) {
    if (syncing_) return;
    syncing_ = true;
    try {
      SetText(JoinLines(lines_.ToVector()));
    } catch (...) {
      syncing_ = false;
      throw;
    }
    syncing_ = false;
  };
}

void TCustomMemo::Change() {
  // The text changed in the window or by code: the lines follow.
  if (!syncing_) {
    syncing_ = true;
    try {
      lines_.SetStrings(SplitLines(Text()));
    } catch (...) {
      syncing_ = false;
      throw;
    }
    syncing_ = false;
  }
  TCustomEdit::Change();
}

void TCustomMemo::CreateParams(TCreateParams& params) {
  TCustomEdit::CreateParams(params);
  params.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (wantReturns_) params.Style |= ES_WANTRETURN;
  // Word wrap needs a window without horizontal scrolling.
  if (wordWrap_ && scrollBars_ != ssHorizontal && scrollBars_ != ssBoth)
    params.Style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) params.Style |= WS_VSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) params.Style |= WS_HSCROLL;
}

void TCustomMemo::WndProc(TMessage& m) {
  TCustomEdit::WndProc(m);
  // A text that cannot be typed into keeps no Tab for itself: Tab goes on to the next control, so
  // the keyboard is not caught in it.
  if (m.Msg == WM_GETDLGCODE && ReadOnly() && m.WParam == VK_TAB)
    m.Result &= ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS);
}

const TClassInfo& TMemo::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TMemo, TCustomMemo>("TMemo");
  return info;
}

// ---------------------------------------------------------------------------------------------------
// TListBox

const TClassInfo& TListBox::StaticClassInfo() {
  using P = Props<TListBox>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TListBox::Color, &TListBox::SetColor>("Color", clWindow, &ColorIdents),
      P::Object<[](TListBox& c) { return &c.Items(); }>("Items"),
      P::Boolean<&TListBox::Sorted, &TListBox::SetSorted>("Sorted", false),
      P::Boolean<&TListBox::TabStop, &TListBox::SetTabStop>("TabStop", true),
      P::Event<&TListBox::OnClick>("OnClick"),
      P::Event<&TListBox::OnDblClick>("OnDblClick"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TListBox, TWinControl>("TListBox", props);
  return info;
}

TListBox::TListBox(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetColor(clWindow);
  StoreBounds(0, 0, 121, 97);
  items_.OnChange = [this](TStringList&) {
    // The selected item stays selected where it can.
    itemIndex_ = ItemIndex();
    if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
    FillWindow();
  };
}

void TListBox::FillWindow() {
  if (!HandleAllocated()) return;
  Perform(WM_SETREDRAW, FALSE);
  Perform(LB_RESETCONTENT);
  for (int i = 0; i < items_.Count(); ++i) {
    const std::wstring w = sys::Wide(items_[i]);
    Perform(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
  }
  Perform(LB_SETCURSEL, static_cast<WPARAM>(itemIndex_));
  Perform(WM_SETREDRAW, TRUE);
  InvalidateRect(WindowHandle(), nullptr, TRUE);
}

int TListBox::ItemIndex() const {
  if (!HandleAllocated()) return itemIndex_;
  return static_cast<int>(SendMessageW(WindowHandle(), LB_GETCURSEL, 0, 0));
}

void TListBox::SetItemIndex(int index) {
  itemIndex_ = index >= 0 && index < items_.Count() ? index : -1;
  if (HandleAllocated()) Perform(LB_SETCURSEL, static_cast<WPARAM>(itemIndex_));
}

int TListBox::AccessibleRole() const { return ROLE_SYSTEM_LIST; }

std::string TListBox::AccessibleValue() const {
  const int index = ItemIndex();
  return index >= 0 && index < items_.Count() ? items_[index] : std::string();
}

bool TListBox::AccessibleItem(int index, TAccessibleItem& item) const {
  if (index < 0 || index >= items_.Count()) return false;
  item.Name = items_[index];
  item.Role = ROLE_SYSTEM_LISTITEM;
  item.State = STATE_SYSTEM_SELECTABLE | (index == ItemIndex() ? STATE_SYSTEM_SELECTED : 0);
  if (HandleAllocated()) {
    SendMessageW(WindowHandle(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item.Bounds));
    RECT client{};
    GetClientRect(WindowHandle(), &client);
    RECT shown{};
    if (!IntersectRect(&shown, &client, &item.Bounds)) item.State |= STATE_SYSTEM_OFFSCREEN;
  }
  return true;
}

void TListBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = L"LISTBOX";
  params.Style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::CreateWnd() { FillWindow(); }

void TListBox::WndProc(TMessage& m) {
  if (m.Msg == kReflectBase + WM_COMMAND) {
    const WORD code = HIWORD(m.WParam);
    if (code == LBN_SELCHANGE) {
      itemIndex_ = ItemIndex();
      if (OnClick) OnClick(this);
    } else if (code == LBN_DBLCLK && OnDblClick) {
      OnDblClick(this);
    }
    return;
  }
  TWinControl::WndProc(m);
}

}  // namespace tav
