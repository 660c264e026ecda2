#pragma once
// TForm: a top-level window whose layout comes from a form stream.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/exceptions_Tavenrik.h"
#include "ui/controls.h"

namespace tav {

TAV_EXCEPTION(EInvalidOperation, Exception);

// Modal results: what a modal form returns, and what a button of a given kind sets.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
              mrAll = 8;
extern const TIdentList ModalResultIdents;

enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = std::uint32_t;  // bit (1 << TBorderIcon)
enum TCloseAction { caNone, caHide, caFree, caMinimize };

extern const TNameList PositionNames;
extern const TNameList WindowStateNames;
extern const TNameList FormBorderStyleNames;
extern const TNameList BorderIconNames;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TForm : public TWinControl {
public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Shows the form and brings it to the front; the first show places it by Position.
  void Show();
  void Hide();
  // OnCloseQuery, then OnClose with caHide; closing the application's main form ends the program.
  void Close();
  // Destroys the form once the messages already queued have been handled (safe inside its handlers).
  void Release();
  // Shows the form and processes messages until ModalResult is set (by code, a button with a modal
  // result, or closing the window: mrCancel) and the form agrees to close; the program's other
  // top-level windows are disabled meanwhile. Returns the modal result.
  int ShowModal();
  // Setting it on a modal form ends its modal loop; mrNone keeps it open.
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  bool Modal() const { return modal_; }
  // Enter and Esc: press the default or the cancel button. True when the key was used.
  virtual bool DialogKey(HWND target, WPARAM key);
  // Alt with a letter: the button whose caption marks it with "&" is pressed, the label's
  // FocusControl is focused. True when the key was used.
  virtual bool DialogChar(wchar_t key);

  // The control that has the focus while the form is active. Set while the form is hidden or
  // inactive, it gets the focus when the form is shown or activated.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  void Notification(TComponent* component, TOperation operation) override;

  // A dialog, or a property page when it is hosted in another form; named by its caption.
  int AccessibleRole() const override;

  // Fires OnCreate; the application calls it once the form has been loaded.
  void DoCreate();
  // Setting Left or Top by code places the form there instead of by Position.
  void SetBounds(int left, int top, int width, int height) override;

  // The client area; setting it sizes the window around it.
  void SetClientWidth(int width);
  void SetClientHeight(int height);
  TLayoutRect ClientRect() const override;

  TPosition Position() const { return position_; }
  // Set by code, the form is placed by it on its next show even if it was moved before.
  void SetPosition(TPosition position);
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  // The form is the active window.
  bool Active() const { return active_; }
  // A form is a top-level window unless a parent is set (a page hosted in another form).
  bool HasParent() const override { return Parent() != nullptr; }
  void Loaded() override;

  TNotifyEvent OnActivate, OnDeactivate, OnCreate, OnShow, OnHide, OnResize, OnDestroy;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  void VisibleChanged() override;
  RECT WindowBoundsForDevice() const override;
  void UpdateBoundsFromWindow() override;
  // Whether Close may go on; fires OnCloseQuery.
  virtual bool CloseQuery();

private:
  DWORD WindowStyle() const;
  DWORD WindowExStyle() const;
  // Window frame around the client area, in design units.
  SIZE FrameSize() const;
  void PlaceByPosition();
  void ApplyStyles();
  void FocusActiveControl();

  int pendingClientWidth_ = -1, pendingClientHeight_ = -1;
  TPosition position_ = poDesigned;
  TWindowState windowState_ = wsNormal;
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
  bool active_ = false;
  bool placed_ = false;  // placed by Position once, or by code setting Left/Top
  bool showing_ = false;
  bool modal_ = false;
  int modalResult_ = 0;
  TWinControl* activeControl_ = nullptr;
};

}  // namespace tav
