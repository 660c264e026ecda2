#include "ui/comctrls.h"

#include <algorithm>

#include "core/properties.h"
#include "sys/unicode.h"
#include "ui/win32.h"

#include <oleacc.h>
#include <richedit.h>

namespace tav {

// ---------------------------------------------------------------------------------------------------
// TProgressBar

const TClassInfo& TProgressBar::StaticClassInfo() {
  using P = Props<TProgressBar>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TProgressBar::Max, &TProgressBar::SetMax>("Max", 100),
      P::Integer<&TProgressBar::Min, &TProgressBar::SetMin>("Min", 0),
      P::Integer<&TProgressBar::Position, &TProgressBar::SetPosition>("Position", 0),
      P::Boolean<&TProgressBar::Smooth, &TProgressBar::SetSmooth>("Smooth", false),
  };
  static constexpr TClassInfo info = MakeClassInfo<TProgressBar, TWinControl>("TProgressBar", props);
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

int TProgressBar::AccessibleRole() const { return ROLE_SYSTEM_PROGRESSBAR; }

std::string TProgressBar::AccessibleValue() const {
  const int range = max_ - min_;
  const int percent = range > 0 ? static_cast<int>((static_cast<long long>(position_ - min_) * 100) / range) : 0;
  return std::to_string(percent) + "%";
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
  static constexpr TPropInfo props[] = {
      P::Integer<&TTabControl::TabIndex, &TTabControl::SetTabIndex>("TabIndex", -1),
      P::Object<[](TTabControl& c) { return &c.Tabs(); }>("Tabs"),
      P::Boolean<&TTabControl::TabStop, &TTabControl::SetTabStop>("TabStop", true),
      P::Event<&TTabControl::OnChange>("OnChange"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TTabControl, TWinControl>("TTabControl", props);
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
  static constexpr TPropInfo props[] = {
      P::Enum<&TRichEdit::ScrollBars, &TRichEdit::SetScrollBars>("ScrollBars", ScrollStyleNames, ssBoth),
  };
  static constexpr TClassInfo info = MakeClassInfo<TRichEdit, TCustomMemo>("TRichEdit", props);
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

// ---------------------------------------------------------------------------------------------------
// TTreeView

const TClassInfo& TTreeView::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TTreeView, TWinControl>("TTreeView");
  return info;
}

TTreeView::TTreeView(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  StoreBounds(0, 0, 121, 97);
}

void TTreeView::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = WC_TREEVIEWW;
  params.Style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
}

void TTreeView::Clear() {
  if (HandleAllocated()) Perform(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

TTreeView::TNode TTreeView::AddChild(TNode parent, const std::string& text, void* data) {
  HandleNeeded();
  std::wstring w = sys::Wide(text);
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent ? parent : TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM;
  ins.item.pszText = w.data();
  ins.item.lParam = reinterpret_cast<LPARAM>(data);
  return reinterpret_cast<TNode>(Perform(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
}

void* TTreeView::Data(TNode node) const {
  TVITEMW item{};
  item.mask = TVIF_PARAM;
  item.hItem = node;
  if (!node || !SendMessageW(WindowHandle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<void*>(item.lParam);
}

std::string TTreeView::Text(TNode node) const {
  wchar_t buffer[512] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = node;
  item.pszText = buffer;
  item.cchTextMax = 512;
  if (!node || !SendMessageW(WindowHandle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return "";
  return sys::Narrow(buffer);
}

TTreeView::TNode TTreeView::Parent(TNode node) const {
  return reinterpret_cast<TNode>(
      SendMessageW(WindowHandle(), TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(node)));
}

void TTreeView::Expand(TNode node, bool expand) {
  if (!node) return;
  // The control tells only of what the user does; a change by code is told here.
  if (Perform(TVM_EXPAND, expand ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(node)) && OnExpanded)
    OnExpanded(this);
}

bool TTreeView::Expanded(TNode node) const {
  const auto state = SendMessageW(WindowHandle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(node), TVIS_EXPANDED);
  return (state & TVIS_EXPANDED) != 0;
}

std::vector<TTreeView::TNode> TTreeView::AllNodes() const {
  std::vector<TNode> nodes;
  if (!HandleAllocated()) return nodes;
  auto next = [this](TNode n, WPARAM how) {
    return reinterpret_cast<TNode>(SendMessageW(WindowHandle(), TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(n)));
  };
  std::vector<TNode> stack;
  for (TNode n = next(nullptr, TVGN_ROOT); n; n = next(n, TVGN_NEXT)) stack.insert(stack.begin(), n);
  while (!stack.empty()) {
    TNode n = stack.back();
    stack.pop_back();
    nodes.push_back(n);
    std::vector<TNode> children;
    for (TNode c = next(n, TVGN_CHILD); c; c = next(c, TVGN_NEXT)) children.push_back(c);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return nodes;
}

bool TTreeView::IsVisible(TNode node) const {
  for (TNode p = Parent(node); p; p = Parent(p)) {
    if (!Expanded(p)) return false;
  }
  return true;
}

bool TTreeView::RowRect(TNode node, RECT& rect) const {
  *reinterpret_cast<HTREEITEM*>(&rect) = node;
  return SendMessageW(WindowHandle(), TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&rect)) != 0;
}

TTreeView::TNode TTreeView::Selected() const {
  if (!HandleAllocated()) return nullptr;
  return reinterpret_cast<TNode>(SendMessageW(WindowHandle(), TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void TTreeView::Select(TNode node) { Perform(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node)); }

int TTreeView::AccessibleRole() const { return ROLE_SYSTEM_OUTLINE; }

std::string TTreeView::AccessibleValue() const {
  const TNode node = Selected();
  return node ? Text(node) : std::string();
}

namespace {

std::vector<TTreeView::TNode> ShownNodes(const TTreeView& tree) {
  std::vector<TTreeView::TNode> shown;
  for (TTreeView::TNode n : tree.AllNodes()) {
    if (tree.IsVisible(n)) shown.push_back(n);
  }
  return shown;
}

}  // namespace

int TTreeView::AccessibleItemCount() const { return static_cast<int>(ShownNodes(*this).size()); }

bool TTreeView::AccessibleItem(int index, TAccessibleItem& item) const {
  const std::vector<TNode> shown = ShownNodes(*this);
  if (index < 0 || index >= static_cast<int>(shown.size())) return false;
  const TNode node = shown[static_cast<std::size_t>(index)];
  item.Name = Text(node);
  item.Role = ROLE_SYSTEM_OUTLINEITEM;
  item.State = STATE_SYSTEM_SELECTABLE | (node == Selected() ? STATE_SYSTEM_SELECTED : 0);
  const bool hasChildren = SendMessageW(WindowHandle(), TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(node)) != 0;
  if (hasChildren) item.State |= Expanded(node) ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
  if (!RowRect(node, item.Bounds)) {
    item.Bounds = RECT{};
    item.State |= STATE_SYSTEM_OFFSCREEN;
  }
  return true;
}

void TTreeView::BeginUpdate() {
  if (HandleAllocated()) Perform(WM_SETREDRAW, FALSE);
}

void TTreeView::EndUpdate() {
  if (!HandleAllocated()) return;
  Perform(WM_SETREDRAW, TRUE);
  InvalidateRect(WindowHandle(), nullptr, TRUE);
}

void TTreeView::WndProc(TMessage& m) {
  if (m.Msg == kReflectBase + WM_NOTIFY) {
    const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
    switch (hdr->code) {
      case TVN_SELCHANGEDW:
        if (OnChange) OnChange(this);
        break;
      case TVN_ITEMEXPANDEDW:
        if (OnExpanded) OnExpanded(this);
        break;
      case NM_CLICK:
        if (OnClick) OnClick(this);
        break;
      default:
        break;
    }
    return;
  }
  TWinControl::WndProc(m);
  if ((m.Msg == WM_VSCROLL || m.Msg == WM_MOUSEWHEEL) && OnScrolled) OnScrolled(this);
}

// ---------------------------------------------------------------------------------------------------
// TListView

const TClassInfo& TListView::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TListView, TWinControl>("TListView");
  return info;
}

TListView::TListView(TComponent* owner) : TWinControl(owner) { StoreBounds(0, 0, 250, 150); }

void TListView::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = WC_LISTVIEWW;
  params.Style |= LVS_REPORT | LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS | LVS_ALIGNTOP;
}

// Columns and pictures are kept with the control and given to its window when it is made, so a page
// set up but never shown (an unattended run) makes no window.
void TListView::CreateWnd() {
  Perform(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
  ApplyImages();
  for (std::size_t i = 0; i < columns_.size(); ++i) InsertColumn(static_cast<int>(i));
}

void TListView::InsertColumn(int column) {
  std::wstring w = sys::Wide(columns_[static_cast<std::size_t>(column)].Caption);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.pszText = w.data();
  col.cx = ScaleToDevice(columns_[static_cast<std::size_t>(column)].Width, Dpi());
  Perform(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
}

void TListView::AddColumn(const std::string& caption, int width) {
  columns_.push_back({caption, width});
  if (HandleAllocated()) InsertColumn(static_cast<int>(columns_.size()) - 1);
}

int TListView::ColumnCount() const { return static_cast<int>(columns_.size()); }

std::string TListView::ColumnCaption(int column) const {
  if (column < 0 || column >= ColumnCount()) return std::string();
  return columns_[static_cast<std::size_t>(column)].Caption;
}

void TListView::SetColumnCaption(int column, const std::string& caption) {
  if (column < 0 || column >= ColumnCount()) return;
  columns_[static_cast<std::size_t>(column)].Caption = caption;
  if (!HandleAllocated()) return;
  std::wstring w = sys::Wide(caption);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = w.data();
  Perform(LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
}

void TListView::Clear() {
  if (HandleAllocated()) Perform(LVM_DELETEALLITEMS);
}

void TListView::AddItem(const std::string& caption, const std::vector<std::string>& subItems, int image,
                        int stateImage) {
  HandleNeeded();
  std::wstring w = sys::Wide(caption);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
  item.iItem = ItemCount();
  item.pszText = w.data();
  item.iImage = image;
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(stateImage + 1);  // 0: no state picture
  const int row = static_cast<int>(Perform(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  for (std::size_t i = 0; i < subItems.size(); ++i) {
    std::wstring sub = sys::Wide(subItems[i]);
    LVITEMW s{};
    s.iSubItem = static_cast<int>(i + 1);
    s.pszText = sub.data();
    Perform(LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&s));
  }
}

int TListView::ItemCount() const {
  return HandleAllocated() ? static_cast<int>(SendMessageW(WindowHandle(), LVM_GETITEMCOUNT, 0, 0)) : 0;
}

std::string TListView::ItemText(int item, int column) const {
  wchar_t buffer[256] = {};
  LVITEMW s{};
  s.iSubItem = column;
  s.pszText = buffer;
  s.cchTextMax = 256;
  SendMessageW(WindowHandle(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&s));
  return sys::Narrow(buffer);
}

int TListView::ItemStateImage(int item) const {
  const auto state = SendMessageW(WindowHandle(), LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK);
  return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12) - 1;
}

int TListView::AccessibleRole() const { return ROLE_SYSTEM_LIST; }

int TListView::AccessibleItemCount() const {
  return HandleAllocated() ? ColumnCount() + ItemCount() : 0;
}

bool TListView::AccessibleItem(int index, TAccessibleItem& item) const {
  if (!HandleAllocated() || index < 0) return false;
  const int columns = ColumnCount();
  if (index < columns) {
    wchar_t buffer[256] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = buffer;
    col.cchTextMax = 256;
    SendMessageW(WindowHandle(), LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&col));
    item.Name = sys::Narrow(buffer);
    item.Role = ROLE_SYSTEM_COLUMNHEADER;
    HWND header = reinterpret_cast<HWND>(SendMessageW(WindowHandle(), LVM_GETHEADER, 0, 0));
    Header_GetItemRect(header, index, &item.Bounds);
    MapWindowPoints(header, WindowHandle(), reinterpret_cast<POINT*>(&item.Bounds), 2);
    return true;
  }
  const int row = index - columns;
  if (row >= ItemCount()) return false;
  for (int c = 0; c < std::max(columns, 1); ++c) {
    const std::string text = ItemText(row, c);
    if (text.empty()) continue;
    if (!item.Name.empty()) item.Name += ", ";
    item.Name += text;
  }
  item.Role = ROLE_SYSTEM_LISTITEM;
  item.State = STATE_SYSTEM_READONLY;
  item.Bounds.left = LVIR_BOUNDS;
  SendMessageW(WindowHandle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item.Bounds));
  return true;
}

void TListView::SetImages(HIMAGELIST smallImages, HIMAGELIST stateImages) {
  smallImages_ = smallImages;
  stateImages_ = stateImages;
  if (HandleAllocated()) ApplyImages();
}

void TListView::ApplyImages() {
  if (smallImages_) Perform(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(smallImages_));
  if (stateImages_) Perform(LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(stateImages_));
}

}  // namespace tav
