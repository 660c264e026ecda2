#include "dialogs/routines_FileSystem.h"

#include <algorithm>

#include "archive/cmp_TVersion.h"
#include "core/routines_Paths.h"
#include "core/routines_Strings.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "ui/common_controls.h"
#include "ui/controls.h"
#include "ui/gdi.h"
#include "ui/input_box.h"
#include "ui/win32.h"

#include <objbase.h>
#include <shlobj.h>

namespace tav {
namespace {

constexpr int kCreateButtonId = 0x7F10;
constexpr int kPathEditId = 0x7F11;
constexpr UINT_PTR kSubclassId = 0x7F0D;
// Posted to the dialog after a selection change: the browser sets OK's state after telling us.
constexpr UINT kSyncCreateButton = WM_APP + 0x2F1;
// The shell may still be filling the tree when the dialog starts, so a selection that has not arrived
// is retried for a while (50 x 100 ms).
constexpr UINT_PTR kSelectTimer = 0x7F0E;
constexpr int kSelectRetries = 50;
// Used where the browser's own controls were not found.
constexpr RECT kDefaultRect{20, 230, 140, 253};

class FlagGuard {
public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

private:
  bool& flag_;
};

// Keeps COM initialised on this thread for the browser, undoing only what it did.
class ComScope {
public:
  ComScope() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    owned_ = SUCCEEDED(hr);
  }
  ~ComScope() {
    if (owned_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

private:
  bool owned_ = false;
};

std::string LoadSystemString(const wchar_t* module, UINT id) {
  HMODULE lib = LoadLibraryExW(module, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!lib) return {};
  const wchar_t* text = nullptr;
  const int length = LoadStringW(lib, id, reinterpret_cast<LPWSTR>(&text), 0);
  std::string result = length > 0 && text ? sys::Narrow(std::wstring(text, length)) : std::string();
  FreeLibrary(lib);
  return result;
}

// The title string takes one argument, given empty: drop the insert, whichever notation it uses.
std::string WithEmptyArgument(std::string text) {
  for (const char* insert : {"%1!s!", "%1", "%s"}) {
    const std::size_t at = text.find(insert);
    if (at != std::string::npos) text.erase(at, std::char_traits<char>::length(insert));
  }
  return Trim(text);
}

RECT ChildRect(HWND dialog, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

std::wstring ClassNameOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::string PathOfItem(LPCITEMIDLIST item) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!item || !SHGetPathFromIDListW(item, buffer)) return {};
  return sys::Narrow(buffer);
}

int TextWidth(HWND window, HFONT font, const std::string& text) {
  TWindowDC dc(window);
  TSelectedObject selected(dc.Get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring wide = sys::Wide(text);
  SIZE size{};
  GetTextExtentPoint32W(dc.Get(), wide.c_str(), static_cast<int>(wide.size()), &size);
  return size.cx;
}

int TextHeight(HWND window, HFONT font) {
  TWindowDC dc(window);
  TSelectedObject selected(dc.Get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.Get(), &metrics);
  return metrics.tmHeight;
}

}  // namespace

// ---- texts

TOFDResourceStrings TOFDResourceStrings::Load() {
  TOFDResourceStrings s;
  s.CreateButton = LoadSystemString(L"comdlg32.dll", 703);
  s.InputPrompt = LoadSystemString(L"shell32.dll", 8977);
  s.Title = WithEmptyArgument(LoadSystemString(L"shell32.dll", 9248));
  // Systems without these resources get equivalent texts.
  if (s.CreateButton.empty()) s.CreateButton = "Create New Folder";
  if (s.InputPrompt.empty()) s.InputPrompt = "Name of the new folder:";
  if (s.Title.empty()) s.Title = "Choose a folder:";
  return s;
}

// ---- pure helpers

TFolderDialogLayout LayoutFolderDialog(const RECT& tree, const RECT& ok, const RECT& cancel, bool withButton,
                                       bool withEdit, int buttonWidth, int editHeight) {
  TFolderDialogLayout layout;
  layout.Tree = tree;
  const bool haveTree = !Empty(tree);
  const bool haveOk = !Empty(ok);
  if (withEdit) {
    if (haveTree) {
      // The edit takes the bottom of the tree's room, so the gap above the buttons stays the dialog's own.
      const int gap = std::max(4L, std::min(8L, (tree.bottom - tree.top) / 20));
      layout.Edit = {tree.left, tree.bottom - editHeight, tree.right, tree.bottom};
      layout.Tree.bottom = std::max(tree.top, layout.Edit.top - gap);
    } else {
      layout.Edit = kDefaultRect;
    }
  }
  if (withButton) {
    if (haveOk && (haveTree || !Empty(cancel))) {
      // On the row of OK and Cancel, at the left edge, never reaching into OK.
      const LONG left = haveTree ? tree.left : std::max(0L, 2 * ok.left - cancel.right);
      const LONG spacing = !Empty(cancel) ? std::max(4L, cancel.left - ok.right) : 6L;
      const LONG right = std::min(left + buttonWidth, ok.left - spacing);
      layout.Button = {left, ok.top, std::max(left, right), ok.bottom};
    } else {
      layout.Button = kDefaultRect;
    }
  }
  return layout;
}

std::string NearestExistingFolder(const std::string& directory) {
  std::string path = Trim(directory);
  while (!path.empty() && !DirectoryExists(path)) {
    const std::size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) path.clear();
    else path.erase(cut);
  }
  if (path.empty()) return {};
  if (path.size() > 3) return ExcludeTrailingBackslash(path);
  return IncludeTrailingBackslash(path);
}

// ---- the extra controls

TOFDCreateButton::TOFDCreateButton(TOpenFolderDialog* dialog) : TWinControl(nullptr), dialog_(dialog) {
  SetTabStop(true);
}

TOFDCreateButton::~TOFDCreateButton() { Destroying(); }

void TOFDCreateButton::PlaceInto(HWND dialogWindow, const RECT& rect) {
  host_ = dialogWindow;
  rect_ = rect;
  HandleNeeded();
  SendMessageW(WindowHandle(), WM_SETFONT, SendMessageW(host_, WM_GETFONT, 0, 0), TRUE);
}

void TOFDCreateButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = L"BUTTON";
  params.Style = WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | (Visible() ? WS_VISIBLE : 0);
  params.ExStyle = 0;
  params.Parent = host_;
  params.X = rect_.left;
  params.Y = rect_.top;
  params.Width = rect_.right - rect_.left;
  params.Height = rect_.bottom - rect_.top;
}

void TOFDCreateButton::Click() { dialog_->CreateButtonClicked(); }

TOFDPathEdit::TOFDPathEdit(TOpenFolderDialog* dialog) : TWinControl(nullptr), dialog_(dialog) { SetTabStop(true); }

TOFDPathEdit::~TOFDPathEdit() { Destroying(); }

void TOFDPathEdit::PlaceInto(HWND dialogWindow, const RECT& rect) {
  host_ = dialogWindow;
  rect_ = rect;
  HandleNeeded();
  SendMessageW(WindowHandle(), WM_SETFONT, SendMessageW(host_, WM_GETFONT, 0, 0), TRUE);
}

void TOFDPathEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = L"EDIT";
  params.Style = WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL | (Visible() ? WS_VISIBLE : 0);
  params.ExStyle = WS_EX_CLIENTEDGE;
  params.Parent = host_;
  params.X = rect_.left;
  params.Y = rect_.top;
  params.Width = rect_.right - rect_.left;
  params.Height = rect_.bottom - rect_.top;
}

std::string TOFDPathEdit::Text() const {
  return WindowHandle() ? WindowTextOf(WindowHandle()) : Caption();
}

void TOFDPathEdit::SetText(const std::string& text) {
  SetCaption(text);
  // The user's typing changes the window, not the caption: write the window in any case.
  if (WindowHandle()) SetWindowTextW(WindowHandle(), sys::Wide(text).c_str());
}

void TOFDPathEdit::WndProc(TMessage& message) {
  TWinControl::WndProc(message);
  if (message.Msg == WM_KEYUP) dialog_->EditKeyReleased();
}

// ---- the dialog

TOpenFolderDialog::TOpenFolderDialog(TComponent* owner) : TComponent(owner) {}

TOpenFolderDialog::~TOpenFolderDialog() {
  Destroying();
  ReleaseControls();
}

const TClassInfo& TOpenFolderDialog::StaticClassInfo() {
  // Nothing is published: the code that opens the browser sets what it needs.
  static constexpr TClassInfo info = MakeClassInfo<TOpenFolderDialog, TComponent>("TOpenFolderDialog");
  return info;
}

bool TOpenFolderDialog::Execute() {
  ComScope com;
  const std::string entered = directory_;
  bool chosen = ExecuteOnce();
  // A folder made with the create button closes the browser; it opens again at that folder.
  while (folderCreated_) {
    directory_ = currentPath_;
    chosen = ExecuteOnce();
  }
  if (!chosen) directory_ = entered;
  return chosen;
}

bool TOpenFolderDialog::ExecuteOnce() {
  folderCreated_ = false;
  dialogWindow_ = treeWindow_ = okButton_ = cancelButton_ = nullptr;
  treeRect_ = okRect_ = cancelRect_ = RECT{};
  currentPath_.clear();
  selectedPath_.clear();
  texts_ = TOFDResourceStrings::Load();

  wchar_t displayName[MAX_PATH + 1] = {};
  const std::wstring title = sys::Wide(texts_.Title);
  BROWSEINFOW info{};
  info.hwndOwner = GetActiveWindow();
  info.pidlRoot = nullptr;  // the desktop
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = &TOpenFolderDialog::BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(this);
  LPITEMIDLIST selected = SHBrowseForFolderW(&info);
  ReleaseControls();
  dialogWindow_ = nullptr;
  if (!selected) return false;
  const std::string selectedPath = PathOfItem(selected);
  CoTaskMemFree(selected);

  if (showPathEdit_) {
    CreateDirectories(currentPath_);
    directory_ = currentPath_;
  } else {
    directory_ = selectedPath;
  }
  return true;
}

int CALLBACK TOpenFolderDialog::BrowseCallback(HWND window, UINT msg, LPARAM lParam, LPARAM data) {
  auto* self = reinterpret_cast<TOpenFolderDialog*>(data);
  // Nothing may unwind through the browser's frames.
  try {
    if (msg == BFFM_INITIALIZED) self->Initialize(window);
    else if (msg == BFFM_SELCHANGED) self->SelectionChanged(lParam);
  } catch (...) {
    HandleCurrentException(self);
  }
  return 0;
}

LRESULT CALLBACK TOpenFolderDialog::DialogSubclass(HWND window, UINT msg, WPARAM wParam, LPARAM lParam,
                                                   UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<TOpenFolderDialog*>(data);
  try {
    switch (msg) {
      case WM_COMMAND: {
        const HWND from = reinterpret_cast<HWND>(lParam);
        if (HIWORD(wParam) != BN_CLICKED) break;
        if (self->createButton_ && from && from == self->createButton_->WindowHandle()) {
          self->createButton_->Click();
          return 0;
        }
        if (LOWORD(wParam) == IDOK && self->pathEdit_ && !self->AcceptTypedPath()) return 0;
        break;
      }
      case WM_TIMER:
        if (wParam != kSelectTimer) break;
        if (self->RetrySelection() || ++self->selectRetries_ >= kSelectRetries) KillTimer(window, kSelectTimer);
        return 0;
      case kSyncCreateButton:
        self->SyncCreateButton();
        return 0;
      case WM_DESTROY:
        // Our windows go while their parent still exists.
        self->ReleaseControls();
        break;
      case WM_NCDESTROY:
        comctl::RemoveSubclass(window, &TOpenFolderDialog::DialogSubclass, kSubclassId);
        break;
    }
  } catch (...) {
    HandleCurrentException(self);
    return 0;
  }
  return comctl::DefSubclass(window, msg, wParam, lParam);
}

void TOpenFolderDialog::Initialize(HWND window) {
  dialogWindow_ = window;
  comctl::SetSubclass(window, &TOpenFolderDialog::DialogSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));

  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::wstring cls = ClassNameOf(child);
    if (!treeWindow_ && _wcsnicmp(cls.c_str(), L"SYSTREE", 7) == 0) {
      treeWindow_ = child;
      treeRect_ = ChildRect(window, child);
    } else if (_wcsnicmp(cls.c_str(), L"BUTTON", 6) == 0) {
      if (!okButton_) {
        okButton_ = child;
        okRect_ = ChildRect(window, child);
      } else if (!cancelButton_) {
        cancelButton_ = child;
        cancelRect_ = ChildRect(window, child);
      }
    }
  }

  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  const int okWidth = Empty(okRect_) ? 0 : okRect_.right - okRect_.left;
  const int buttonWidth = std::max(okWidth, TextWidth(window, font, texts_.CreateButton) + 2 * 12);
  const int okHeight = Empty(okRect_) ? 0 : okRect_.bottom - okRect_.top;
  const int editHeight = std::max(okHeight, TextHeight(window, font) + 8);
  const TFolderDialogLayout layout =
      LayoutFolderDialog(treeRect_, okRect_, cancelRect_, showCreateButton_, showPathEdit_, buttonWidth, editHeight);

  HWND after = treeWindow_;  // Tab goes tree, edit, button, then the browser's own buttons
  if (showPathEdit_) {
    if (treeWindow_) {
      SetWindowPos(treeWindow_, nullptr, 0, 0, layout.Tree.right - layout.Tree.left,
                   layout.Tree.bottom - layout.Tree.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      treeRect_ = layout.Tree;
    }
    pathEdit_ = std::make_unique<TOFDPathEdit>(this);
    pathEdit_->PlaceInto(window, layout.Edit);
    SetWindowLongPtrW(pathEdit_->WindowHandle(), GWLP_ID, kPathEditId);
    if (after) SetWindowPos(pathEdit_->WindowHandle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = pathEdit_->WindowHandle();
  }
  if (showCreateButton_) {
    createButton_ = std::make_unique<TOFDCreateButton>(this);
    createButton_->SetCaption(texts_.CreateButton);
    createButton_->PlaceInto(window, layout.Button);
    SetWindowLongPtrW(createButton_->WindowHandle(), GWLP_ID, kCreateButtonId);
    if (after) SetWindowPos(createButton_->WindowHandle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (treeWindow_) {
    SetWindowLongPtrW(treeWindow_, GWL_STYLE, GetWindowLongPtrW(treeWindow_, GWL_STYLE) | TVS_SHOWSELALWAYS);
  }
  PursueSelection(directory_, false);
}

bool TOpenFolderDialog::SelectFolder(const std::string& directory) {
  if (!dialogWindow_) return false;
  FlagGuard guard(selecting_);
  const std::string path = NearestExistingFolder(directory);
  if (path.empty()) return false;
  const std::wstring wide = sys::Wide(path);
  // The message's result says nothing (some browsers answer 0 on success): what the tree then
  // reports as selected decides.
  SendMessageW(dialogWindow_, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
  return Selected(path);
}

bool TOpenFolderDialog::Selected(const std::string& path) const {
  return SameText(ExcludeTrailingBackslash(selectedPath_), ExcludeTrailingBackslash(path));
}

void TOpenFolderDialog::PursueSelection(const std::string& target, bool typed) {
  // The latest request replaces an earlier one still being retried, so that a late retry of the
  // start folder cannot take the tree away from what the user typed.
  KillTimer(dialogWindow_, kSelectTimer);
  selectTarget_ = target;
  selectTyped_ = typed;
  selectRetries_ = 0;
  if (!RetrySelection() && !NearestExistingFolder(target).empty())
    SetTimer(dialogWindow_, kSelectTimer, 100, nullptr);
}

bool TOpenFolderDialog::RetrySelection() {
  if (!selectTyped_) return SelectFolder(selectTarget_);
  // The edit keeps what was typed, which may be a folder that does not exist yet.
  FlagGuard guard(editUpdating_);
  const bool arrived = SelectFolder(selectTarget_);
  currentPath_ = selectTarget_;
  return arrived;
}

void TOpenFolderDialog::SelectionChanged(LPARAM itemIdList) {
  selectedPath_ = PathOfItem(reinterpret_cast<LPCITEMIDLIST>(itemIdList));
  currentPath_ = selectedPath_;
  if (pathEdit_ && !editUpdating_) pathEdit_->SetText(currentPath_);
  if (createButton_ && okButton_) PostMessageW(dialogWindow_, kSyncCreateButton, 0, 0);
}

void TOpenFolderDialog::SyncCreateButton() {
  if (createButton_ && okButton_) createButton_->SetVisible(IsWindowEnabled(okButton_) != FALSE);
}

void TOpenFolderDialog::EditKeyReleased() {
  if (selecting_ || !pathEdit_) return;
  PursueSelection(pathEdit_->Text(), true);
}

bool TOpenFolderDialog::AcceptTypedPath() {
  // The edit shows the selected folder or what was typed since, whichever came last.
  const std::string typed = QualifiedFolderPath(pathEdit_->Text());
  if (!IsAbsolutePath(typed)) {
    // A relative name would be created wherever the process happens to stand.
    MessageBeep(MB_ICONWARNING);
    SetFocus(pathEdit_->WindowHandle());
    SendMessageW(pathEdit_->WindowHandle(), EM_SETSEL, 0, -1);
    return false;
  }
  currentPath_ = typed;
  // Made now, so that a folder that cannot be made is reported while the user can still choose.
  CreateDirectories(currentPath_);
  if (!DirectoryExists(currentPath_)) throw Exception(std::string("Unable to create directory"));
  return true;
}

void TOpenFolderDialog::CreateButtonClicked() {
  bool allow = true;
  if (OnCreateFolder) OnCreateFolder(this, createButton_.get(), allow);
  if (!allow) return;

  std::string folder;
  const std::string typed = pathEdit_ ? QualifiedFolderPath(pathEdit_->Text()) : std::string();
  if (!typed.empty() && !DirectoryExists(typed)) {
    if (!IsAbsolutePath(typed)) {
      MessageBeep(MB_ICONWARNING);
      return;
    }
    folder = typed;
  } else {
    if (currentPath_.empty()) return;  // nothing selected to create it in
    std::string name;
    if (!InputQuery(dialogWindow_, texts_.CreateButton, texts_.InputPrompt, name)) return;
    name = Trim(name);
    if (name.empty()) return;
    folder = IncludeTrailingBackslash(currentPath_) + name;
  }
  CreateDirectories(folder);
  if (!DirectoryExists(folder)) throw Exception(std::string("Unable to create directory"));
  folderCreated_ = true;
  currentPath_ = QualifiedFolderPath(folder);
  if (pathEdit_) pathEdit_->SetText(currentPath_);
  const int okId = okButton_ ? GetDlgCtrlID(okButton_) : IDOK;
  SendMessageW(dialogWindow_, WM_COMMAND, MAKEWPARAM(okId, BN_CLICKED), reinterpret_cast<LPARAM>(okButton_));
}

void TOpenFolderDialog::ReleaseControls() {
  if (createButton_) createButton_->ReleaseWindow();
  if (pathEdit_) pathEdit_->ReleaseWindow();
  createButton_.reset();
  pathEdit_.reset();
}

void RegisterFolderDialogClasses() { RegisterClass(TOpenFolderDialog::StaticClassInfo()); }

}  // namespace tav
