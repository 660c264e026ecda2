#pragma once
// TBitBtn: a push button with a picture beside its caption, drawn by the control itself.
#include <string>
#include <vector>

#include "core/graphics.h"
#include "ui/gdi.h"
#include "ui/stdctrls.h"

namespace tav {

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
extern const TNameList BitBtnKindNames;
extern const TNameList ButtonLayoutNames;

// The caption and modal result that a kind brings.
std::string BitBtnKindCaption(TBitBtnKind kind);
int BitBtnKindModalResult(TBitBtnKind kind);

// Where the glyph and the caption go in a button's client rectangle (all in the same units).
// Margin -1 centres glyph and caption together; Spacing -1 centres the caption in what the glyph
// leaves free.
struct TGlyphLayout {
  RECT Glyph{}, Text{};
};
TGlyphLayout LayoutGlyph(const RECT& client, SIZE glyph, SIZE text, TButtonLayout layout, int margin, int spacing);

class TBitBtn : public TButton {
public:
  explicit TBitBtn(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Setting a kind (other than bkCustom) brings its modal result, makes bkOK the default and
  // bkCancel the cancel button, and gives an empty caption the kind's own.
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind kind);
  // Up to four images side by side: normal, disabled, pressed, down.
  TBitmap& Glyph() { return glyph_; }
  const TBitmap& Glyph() const { return glyph_; }
  int NumGlyphs() const { return numGlyphs_; }
  // Unless set, a glyph as wide as a whole number (up to 4) of squares holds that many images.
  void SetNumGlyphs(int v) {
    numGlyphs_ = std::clamp(v, 1, 4);
    numGlyphsSet_ = true;
    Invalidate();
  }
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout v) { layout_ = v; Invalidate(); }
  int Margin() const { return margin_; }
  void SetMargin(int v) { margin_ = std::max(-1, v); Invalidate(); }
  int Spacing() const { return spacing_; }
  void SetSpacing(int v) { spacing_ = std::max(-1, v); Invalidate(); }

  void Loaded() override;

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

private:
  void Draw(const DRAWITEMSTRUCT& item);
  const TGdiBitmap& GlyphBitmap() const;

  TBitBtnKind kind_ = bkCustom;
  TBitmap glyph_;
  int numGlyphs_ = 1;
  bool numGlyphsSet_ = false;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1, spacing_ = 4;
  mutable TGdiBitmap bitmap_;
  mutable std::string bitmapSource_;
};

}  // namespace tav
