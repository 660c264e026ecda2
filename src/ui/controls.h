#pragma once
// Controls: TControl (bounds, visibility, text, colour, font, alignment, parent) and TWinControl
// (a control with its own window, created when first needed, holding child controls).
//
// Sizes and positions are kept in design units, 96 per inch, as the layouts are written; they are
// scaled to the monitor's pixels only where a window is created, moved or painted (ScaleToDevice),
// and what the user does to a window is scaled back (ScaleToLogical). Streams and the align layout
// therefore never see device pixels and a layout looks the same at any DPI.
#include <functional>
#include <string>
#include <vector>

#include "core/classes.h"
#include "core/graphics.h"
#include "ui/align_layout.h"
#include "ui/gdi.h"
#include "ui/win32.h"

namespace tav {

using TNotifyEvent = std::function<void(TObject* sender)>;

using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
                  crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22;
extern const TIdentList CursorIdents;
// The shared system cursor; nullptr for crDefault (the window's own) and crNone.
HCURSOR CursorHandle(TCursor cursor);

constexpr int kDesignDpi = 96;
int ScaleToDevice(int value, int dpi);
int ScaleToLogical(int value, int dpi);
// The DPI of a window's monitor (the system DPI without a window or on systems before per-monitor DPI).
int WindowDpi(HWND window);
// RGB of a colour; system colours are resolved, clDefault and clNone give the button face.
COLORREF ColorToRGB(TColor color);
// The text of a window of any process, whatever its length, as UTF-8.
std::string WindowTextOf(HWND window);

// The character after a single "&" of a caption, upper-cased; 0 when there is none.
wchar_t AcceleratorChar(const std::string& caption);
// A caption as it reads: each "&" that marks an accelerator dropped, "&&" made "&".
std::string StripAccelerator(const std::string& caption);

// An item of a control that has no window of its own (a list row), as assistive technology reads it.
struct TAccessibleItem {
  std::string Name;
  int Role = 0;   // ROLE_SYSTEM_*
  int State = 0;  // STATE_SYSTEM_*
  RECT Bounds{};  // in the control's client pixels
};

// A window message as the controls see it; Result is what the window procedure returns.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// Notifications that Windows sends to a parent come back to the child control that caused them,
// as kReflectBase + the original message (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*, WM_DRAWITEM).
constexpr UINT kReflectBase = WM_APP + 0x3000;

class TWinControl;

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TLayoutRect BoundsRect() const { return {left_, top_, width_, height_}; }
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font) { font_.Assign(font); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  TCursor Cursor() const { return cursor_; }
  virtual void SetCursor(TCursor cursor) { cursor_ = cursor; }

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  // Streams call this for a record nested in another; the outer one must be a windowed control.
  void SetParentComponent(TComponent* parent) override;

  // True for controls with a window of their own.
  virtual bool IsWindowed() const { return false; }
  virtual void Invalidate();
  virtual void Repaint();
  // DPI of the monitor the control is shown on.
  virtual int Dpi() const;
  // The control's rectangle in its parent's client area, in the parent's device pixels.
  RECT DeviceBounds() const;
  // A GDI font for the control's font at its DPI, kept until the font or the DPI changes.
  HFONT FontHandle() const;

  // Controls without a window paint themselves on their parent's window.
  virtual void Paint(HDC dc, const RECT& bounds) {}

  void Loaded() override;

protected:
  virtual void BoundsChanged();
  virtual void VisibleChanged();
  virtual void EnabledChanged() {}
  virtual void TextChanged() {}
  virtual void ColorChanged();
  virtual void FontChanged();
  // Asks the parent to lay out its aligned children again.
  void RequestAlign();
  // Sets the bounds without any reaction; used when the window itself moved.
  void StoreBounds(int left, int top, int width, int height);

private:
  void ParentFontChanged();
  void ParentColorChanged();
  void ReleaseFontHandle() const;

  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true, enabled_ = true;
  std::string caption_, hint_;
  TColor color_ = clBtnFace;
  TFont font_;
  bool parentFont_ = true, parentColor_ = false;
  bool copyingFromParent_ = false;
  TAlign align_ = alNone;
  TCursor cursor_ = crDefault;
  TWinControl* parent_ = nullptr;
  mutable TGdiFont fontHandle_;
  mutable int fontHandleDpi_ = 0;

  friend class TWinControl;
};

// What CreateWindowExW is given. Coordinates are device pixels relative to the parent's client area
// (screen coordinates for top-level windows).
struct TCreateParams {
  std::wstring WindowClass;  // empty: the layer's own window class; else a system class, subclassed
  std::wstring Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND Parent = nullptr;
};

class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The window, created on first use (with the parent's window first).
  HWND Handle();
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  HWND WindowHandle() const { return hwnd_; }
  void HandleNeeded() { Handle(); }
  // The control a window of this layer belongs to; nullptr for any other window.
  static TWinControl* FromHandle(HWND window);

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const;
  // Position among the windowed siblings for Tab; -1 until the control has a parent.
  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);

  // Lays out the aligned children in the client area.
  void Realign();
  // The client area in design units, where aligned children go.
  virtual TLayoutRect ClientRect() const;
  int ClientWidth() const override { return ClientRect().Width; }
  int ClientHeight() const override { return ClientRect().Height; }

  void GetChildren(const std::function<void(TComponent*)>& proc, const TComponent* root) const override;

  bool IsWindowed() const override { return true; }
  void Invalidate() override;
  void Repaint() override;
  // Paints what is invalid now.
  void Update();
  int Dpi() const override;
  void SetFocus();
  void SetCursor(TCursor cursor) override;
  // Sends a message to the control's window procedure directly.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  void Loaded() override;

  // What assistive technology (MSAA) reads of the control; see ui/accessible.h.
  // Role: a ROLE_SYSTEM_* value. Name: the window text without accelerator marks.
  virtual int AccessibleRole() const;
  virtual std::string AccessibleName() const;
  virtual std::string AccessibleValue() const { return {}; }
  // STATE_SYSTEM_* flags beyond those the window itself shows (hidden, disabled, focus).
  virtual int AccessibleState() const { return 0; }
  // "Alt+X" for the control's accelerator, or that of the label that names it.
  virtual std::string AccessibleShortcut() const;
  virtual std::string AccessibleDefaultAction() const { return {}; }
  // Starts the default action (asynchronously); false when there is none.
  virtual bool DoAccessibleDefaultAction() { return false; }
  virtual int AccessibleItemCount() const { return 0; }
  virtual bool AccessibleItem(int index, TAccessibleItem& item) const { return false; }
  // The text of the label that names this control: one whose FocusControl it is, else a label just
  // before it in the reading order, else the caption of the group box it is in.
  std::string LabelText() const;
  // Controls that only show text are read where they stand on screen, not by TabOrder.
  virtual bool IsStaticText() const { return false; }
  // Puts the static texts among the other child windows where they are read: each before the first
  // window that follows it on screen (top to bottom, then left to right).
  void PlaceStaticTexts();

protected:
  virtual void CreateParams(TCreateParams& params);
  // Creates the window and then those of the child controls.
  virtual void CreateHandle();
  void DestroyHandle();
  virtual void WndProc(TMessage& message);
  // The window class's own handling (DefWindowProc, or the system class's procedure).
  void DefaultHandler(TMessage& message);
  // Called after the window exists (and before its children's windows are created).
  virtual void CreateWnd() {}

  void BoundsChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;
  void ColorChanged() override;
  void FontChanged() override;
  // Reads the window's position and size back after Windows or the user changed them.
  virtual void UpdateBoundsFromWindow();
  // Moves the window to the control's bounds.
  virtual void ApplyBounds();
  // Device pixels of the window's position and size.
  virtual RECT WindowBoundsForDevice() const;
  HBRUSH BrushHandle();
  bool ApplyingBounds() const { return applyingBounds_ > 0; }
  // Windows of the layer's own class that draw something of their own (frames, bevels, text) say so;
  // PaintWindow then draws it before the windowless children are painted over it.
  virtual bool PaintsItself() const { return false; }
  virtual void PaintWindow(HDC dc) {}
  // Windowless children are painted with the parent's window; a control that paints its own
  // window (subclassing) calls this after it.
  void PaintControls(HDC dc);
  // Paints what the parent shows under this window (its background and windowless controls), so
  // that a window can look transparent.
  void PaintParentBackground(HDC dc);

private:
  static LRESULT CALLBACK StdWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void ReflectToChild(HWND child, TMessage& message);
  void RestackTabOrder();
  void OnDpiChanged();

  HWND hwnd_ = nullptr;
  WNDPROC defProc_ = nullptr;  // set when a system class is subclassed
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;  // windowed children in Tab order
  int tabOrder_ = -1;
  bool tabStop_ = false;
  int alignLevel_ = 0;
  int applyingBounds_ = 0;
  TGdiBrush brush_;
  COLORREF brushColor_ = 0;

  friend class TControl;
};

}  // namespace tav
