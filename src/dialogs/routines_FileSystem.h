#pragma once
// TOpenFolderDialog: the system's browse-for-folder dialog, extended while it is open with a
// create-folder button and an edit box in which a path can be typed and followed in the tree.
#include <functional>
#include <memory>
#include <string>

#include "core/properties.h"
#include "ui/controls.h"
#include "ui/win32.h"

namespace tav {

class TOpenFolderDialog;
class TOFDCreateButton;

// Asked before the create button makes a folder; Allow enters true.
using TOFDCreateFolderEvent = std::function<void(TObject* sender, TOFDCreateButton* button, bool& allow)>;

// The three texts of the system's own string resources (empty when they cannot be loaded), with
// equivalents for a system that lacks them.
struct TOFDResourceStrings {
  std::string CreateButton;  // also the input box's caption
  std::string InputPrompt;
  std::string Title;
  static TOFDResourceStrings Load();
};

// Extra controls live in a window of the system's, not in one of ours: they are created without
// owner and parented to the dialog's window by handle.
class TOFDCreateButton : public TWinControl {
public:
  explicit TOFDCreateButton(TOpenFolderDialog* dialog);
  ~TOFDCreateButton() override;
  TOpenFolderDialog* Dialog() const { return dialog_; }
  // Creates the window inside the dialog at a rectangle of the dialog's client area (device pixels).
  void PlaceInto(HWND dialogWindow, const RECT& rect);
  // Destroys the window while its parent still exists.
  void ReleaseWindow() { DestroyHandle(); }
  void Click();

protected:
  void CreateParams(TCreateParams& params) override;

private:
  TOpenFolderDialog* dialog_;
  HWND host_ = nullptr;
  RECT rect_{};
};

class TOFDPathEdit : public TWinControl {
public:
  explicit TOFDPathEdit(TOpenFolderDialog* dialog);
  ~TOFDPathEdit() override;
  TOpenFolderDialog* Dialog() const { return dialog_; }
  void PlaceInto(HWND dialogWindow, const RECT& rect);
  void ReleaseWindow() { DestroyHandle(); }
  std::string Text() const;
  void SetText(const std::string& text);

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

private:
  TOpenFolderDialog* dialog_;
  HWND host_ = nullptr;
  RECT rect_{};
};

// Where the extra controls go, from the browser's own controls (client coordinates of the dialog).
// A missing control has an empty rectangle. The tree loses room for the edit only when there is one.
struct TFolderDialogLayout {
  RECT Tree{}, Button{}, Edit{};
};
TFolderDialogLayout LayoutFolderDialog(const RECT& tree, const RECT& ok, const RECT& cancel, bool withButton,
                                       bool withEdit, int buttonWidth, int editHeight);

// Directory itself when it exists, else its nearest existing ancestor, as the browser selects it:
// without a trailing "\" unless it is a bare drive ("C:" becomes "C:\"). "" when none exists.
std::string NearestExistingFolder(const std::string& directory);

class TOpenFolderDialog : public TComponent {
public:
  explicit TOpenFolderDialog(TComponent* owner);
  ~TOpenFolderDialog() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // True when the user chose a folder; it is then in Directory. A cancelled browser leaves
  // Directory as it was.
  bool Execute();

  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& directory) { directory_ = directory; }
  bool ShowCreateButton() const { return showCreateButton_; }
  void SetShowCreateButton(bool value) { showCreateButton_ = value; }
  bool ShowPathEdit() const { return showPathEdit_; }
  void SetShowPathEdit(bool value) { showPathEdit_ = value; }

  // While the dialog is open: the folder selected or typed.
  const std::string& CurrentPath() const { return currentPath_; }
  bool FolderCreated() const { return folderCreated_; }
  bool Selecting() const { return selecting_; }
  bool EditUpdating() const { return editUpdating_; }
  HWND DialogWindow() const { return dialogWindow_; }
  TOFDCreateButton* CreateButton() const { return createButton_.get(); }
  TOFDPathEdit* PathEdit() const { return pathEdit_.get(); }

  TOFDCreateFolderEvent OnCreateFolder;

  // Moves the tree's selection to the folder, or to its nearest existing ancestor; false when the
  // browser could not.
  bool SelectFolder(const std::string& directory);

private:
  friend class TOFDCreateButton;
  friend class TOFDPathEdit;

  bool ExecuteOnce();
  static int CALLBACK BrowseCallback(HWND window, UINT msg, LPARAM lParam, LPARAM data);
  static LRESULT CALLBACK DialogSubclass(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
  void Initialize(HWND window);
  void SelectionChanged(LPARAM itemIdList);
  void SyncCreateButton();
  void EditKeyReleased();
  // Selects target now, or keeps retrying on a timer until the tree reports it (bounded).
  void PursueSelection(const std::string& target, bool typed);
  bool RetrySelection();
  bool Selected(const std::string& path) const;
  void CreateButtonClicked();
  void ReleaseControls();
  bool AcceptTypedPath();

  std::string directory_;
  bool showCreateButton_ = true;
  bool showPathEdit_ = true;
  std::string currentPath_;
  bool folderCreated_ = false;
  bool selecting_ = false;
  bool editUpdating_ = false;
  int selectRetries_ = 0;
  std::string selectTarget_;   // what the retry timer is selecting
  bool selectTyped_ = false;   // ... and whether it came from the edit
  std::string selectedPath_;   // the tree's selection as the browser last reported it
  HWND dialogWindow_ = nullptr, treeWindow_ = nullptr, okButton_ = nullptr, cancelButton_ = nullptr;
  RECT treeRect_{}, okRect_{}, cancelRect_{};
  std::unique_ptr<TOFDCreateButton> createButton_;
  std::unique_ptr<TOFDPathEdit> pathEdit_;
  TOFDResourceStrings texts_;
};

void RegisterFolderDialogClasses();

}  // namespace tav
