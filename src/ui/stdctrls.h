#pragma once
// The standard controls: labels, push buttons, check boxes, edit boxes, memos and list boxes.
#include <string>
#include <vector>

#include "core/strings.h"
#include "ui/controls.h"
#include "ui/forms.h"

namespace tav {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
extern const TNameList AlignmentNames;
extern const TNameList TextLayoutNames;
extern const TNameList EditCharCaseNames;
extern const TNameList ScrollStyleNames;
extern const TNameList CheckBoxStateNames;
// The border of controls: bsNone or bsSingle of TFormBorderStyle.
extern const TNameList BorderStyleNames;

// Text in a light window of its own, which carries the caption as its window text so that assistive
// technology and automation find it; it paints what its parent shows under it (Transparent) or its
// colour, then the text. The mouse passes through it to the parent.
class TLabel : public TWinControl {
public:
  explicit TLabel(TComponent* owner);
  ~TLabel() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  // The label sizes itself to its text (its height only, when it word-wraps).
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  // Nothing of the parent is painted over: only the text.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout v);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  // The control that the label's accelerator focuses.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control);

  // Draws the label's text (and its colour unless Transparent) into bounds.
  void Paint(HDC dc, const RECT& bounds) override;
  void Loaded() override;

  int AccessibleRole() const override;
  std::string AccessibleName() const override;
  int AccessibleState() const override;
  bool IsStaticText() const override { return true; }

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void TextChanged() override;
  void FontChanged() override;
  void ColorChanged() override;
  void BoundsChanged() override;
  void Notification(TComponent* component, TOperation operation) override;
  UINT DrawFlags() const;
  void AdjustBounds();

private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool autoSize_ = true, wordWrap_ = false, transparent_ = false, showAccelChar_ = true;
  bool adjusting_ = false;
  TWinControl* focusControl_ = nullptr;
};

// A push button. Pressing it sets the form's ModalResult to its own, then fires OnClick.
class TButton : public TWinControl {
public:
  explicit TButton(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Enter on the form presses the Default button, Esc the Cancel button.
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  virtual void Click();

  int AccessibleRole() const override;
  int AccessibleState() const override;
  std::string AccessibleDefaultAction() const override;
  bool DoAccessibleDefaultAction() override;

  TNotifyEvent OnClick;

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

private:
  bool default_ = false, cancel_ = false;
  int modalResult_ = 0;
};

class TCheckBox : public TWinControl {
public:
  explicit TCheckBox(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  // A change by code fires OnClick as a click does (not while loading).
  void SetState(TCheckBoxState v);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v) { allowGrayed_ = v; }
  // taRightJustify: the text right of the box.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v) { alignment_ = v; }

  int AccessibleRole() const override;
  int AccessibleState() const override;
  std::string AccessibleDefaultAction() const override;
  bool DoAccessibleDefaultAction() override;

  TNotifyEvent OnClick;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;

private:
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  TAlignment alignment_ = taRightJustify;
};

// Edit boxes keep their text in Caption's storage; Text is its name for them.
class TCustomEdit : public TWinControl {
public:
  explicit TCustomEdit(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  const std::string& Text() const { return Caption(); }
  void SetText(const std::string& text) { SetCaption(text); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  // 0: no limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle v) { borderStyle_ = v == bsNone ? bsNone : bsSingle; }

  // Named by its label; its text is its value.
  int AccessibleRole() const override;
  std::string AccessibleName() const override { return LabelText(); }
  std::string AccessibleValue() const override { return Text(); }
  int AccessibleState() const override;

  // Every change of the text, typed or set by code.
  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  void TextChanged() override;
  virtual void Change();
  // Takes the window's text into the control after the user or the window changed it.
  void ReadWindowText();

private:
  bool readOnly_ = false;
  int maxLength_ = 0;
  TFormBorderStyle borderStyle_ = bsSingle;
  bool settingText_ = false;
  bool changeSeen_ = false;
};

class TEdit : public TCustomEdit {
public:
  explicit TEdit(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Upper or lower case converts what is typed or set, as the window shows it.
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase v);

protected:
  void CreateParams(TCreateParams& params) override;

private:
  TEditCharCase charCase_ = ecNormal;
};

// A multi-line edit box; Lines are its text split at line breaks, and changing them changes the text.
class TCustomMemo : public TCustomEdit {
public:
  explicit TCustomMemo(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TStringList& Lines() { return lines_; }
  const TStringList& Lines() const { return lines_; }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle v) { scrollBars_ = v; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v) { wordWrap_ = v; }
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v) { wantReturns_ = v; }

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void Change() override;

private:
  TStringList lines_;
  TScrollStyle scrollBars_ = ssNone;
  bool wordWrap_ = true, wantReturns_ = true;
  bool syncing_ = false;
};

class TMemo : public TCustomMemo {
public:
  using TCustomMemo::TCustomMemo;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// Lines joined with CR LF, as edit windows hold them, and split again (a final break adds no line).
std::string JoinLines(const std::vector<std::string>& lines);
std::vector<std::string> SplitLines(const std::string& text);

class TListBox : public TWinControl {
public:
  explicit TListBox(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The window shows every change of the items.
  TStringList& Items() { return items_; }
  const TStringList& Items() const { return items_; }
  // Sorted lists keep their items in order, case ignored.
  bool Sorted() const { return items_.Sorted(); }
  void SetSorted(bool v) { items_.SetSorted(v); }
  // -1: nothing selected.
  int ItemIndex() const;
  void SetItemIndex(int index);

  // Named by its label; the selected item is its value, every item an element of it.
  int AccessibleRole() const override;
  std::string AccessibleName() const override { return LabelText(); }
  std::string AccessibleValue() const override;
  int AccessibleItemCount() const override { return items_.Count(); }
  bool AccessibleItem(int index, TAccessibleItem& item) const override;

  TNotifyEvent OnClick, OnDblClick;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;

private:
  void FillWindow();

  TStringList items_;
  int itemIndex_ = -1;
};

// The form a control is on: the outermost one, as a page's buttons act on the wizard holding it.
TForm* GetParentForm(TControl* control);

}  // namespace tav
