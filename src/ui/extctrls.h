#pragma once
// Panels, bevels, pictures and radio groups.
#include <memory>
#include <string>
#include <vector>

#include "core/graphics.h"
#include "ui/gdi.h"
#include "ui/stdctrls.h"

namespace tav {

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };
extern const TNameList PanelBevelNames;
extern const TNameList BevelShapeNames;
extern const TNameList BevelStyleNames;

// A container with an outer and an inner bevel, a border between them, and an optional caption.
class TPanel : public TWinControl {
public:
  explicit TPanel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TPanelBevel BevelInner() const { return bevelInner_; }
  void SetBevelInner(TPanelBevel v) { bevelInner_ = v; BorderChanged(); }
  TPanelBevel BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel v) { bevelOuter_ = v; BorderChanged(); }
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int v) { bevelWidth_ = std::max(1, v); BorderChanged(); }
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int v) { borderWidth_ = std::max(0, v); BorderChanged(); }
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v) { alignment_ = v; Invalidate(); }

  // Inside the bevels and the border.
  TLayoutRect ClientRect() const override;
  int AccessibleRole() const override;

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void TextChanged() override { Invalidate(); }
  bool PaintsItself() const override { return true; }
  void PaintWindow(HDC dc) override;

private:
  // Width of the bevels and the border together, in design units.
  int Inset() const;
  void BorderChanged();

  TPanelBevel bevelInner_ = bvNone, bevelOuter_ = bvRaised;
  int bevelWidth_ = 1, borderWidth_ = 0;
  TFormBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
};

// A windowless line or frame.
class TBevel : public TControl {
public:
  explicit TBevel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape v) { shape_ = v; Invalidate(); }
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle v) { style_ = v; Invalidate(); }

  void Paint(HDC dc, const RECT& bounds) override;

private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

// A windowless picture.
class TImage : public TControl {
public:
  explicit TImage(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TPicture& Picture() { return picture_; }
  const TPicture& Picture() const { return picture_; }
  bool Center() const { return center_; }
  void SetCenter(bool v) { center_ = v; Invalidate(); }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v) { stretch_ = v; Invalidate(); }
  // The colour of the bottom-left pixel lets the parent show through.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; Invalidate(); }
  // Where the picture is drawn, in design units of the parent.
  TLayoutRect PictureBounds() const;
  // The picture changed by code: drawn anew.
  void PictureChanged();

  void Paint(HDC dc, const RECT& bounds) override;

private:
  const TGdiBitmap& Bitmap() const;

  TPicture picture_;
  bool center_ = false, stretch_ = false, transparent_ = false;
  mutable TGdiBitmap bitmap_;
  mutable std::string bitmapSource_;  // the BMP bytes bitmap_ was made from
};

// A framed box with a caption that holds other controls.
class TGroupBox : public TWinControl {
public:
  explicit TGroupBox(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  // Inside the frame, below the caption.
  TLayoutRect ClientRect() const override;
  int AccessibleRole() const override;

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
};

// A group box of radio buttons, one per item, of which at most one is selected.
class TRadioGroup : public TWinControl {
public:
  explicit TRadioGroup(TComponent* owner);
  ~TRadioGroup() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // One radio button per item; the buttons follow every change.
  TStringList& Items() { return items_; }
  const TStringList& Items() const { return items_; }
  // -1: none. A change by code fires OnClick as a click does (not while loading).
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  int Columns() const { return columns_; }
  void SetColumns(int v);
  // The radio button of an item (for tests and keyboard focus); nullptr when out of range.
  TWinControl* Button(int index) const;
  int AccessibleRole() const override;

  TNotifyEvent OnClick;
  void Loaded() override;

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void BoundsChanged() override;
  void FontChanged() override;

private:
  class TGroupButton;
  void UpdateButtons();
  void ArrangeButtons();
  void ButtonClicked(int index);

  TStringList items_;
  std::vector<TGroupButton*> buttons_;
  int itemIndex_ = -1;
  int columns_ = 1;
};

}  // namespace tav
