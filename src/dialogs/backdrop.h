#pragma once
// The main window's gradient backdrop and the rotated, 3-D drawn label that names the product on it.
// Both only paint; a Tag of -1 marks the process-wide main backdrop or main label.
#include <functional>
#include <vector>

#include "core/graphics.h"
#include "sys/run_state.h"
#include "ui/extctrls.h"
#include "ui/stdctrls.h"

namespace tav {

enum TDirection { bdUp, bdDown, bdLeft, bdRight, bdHorzIn, bdHorzOut, bdVertIn, bdVertOut };
extern const TNameList DirectionNames;

// One band of a gradient: Start up to (not including) End along the extent, in one colour.
struct TGradientBand {
  int Start, End;
  COLORREF Color;
};
// The bands Gradient paints: 256 steps, or 128 mirrored pairs from both edges towards the middle.
std::vector<TGradientBand> GradientBands(COLORREF from, COLORREF to, bool mirrored, int extent);

class TBackdrop : public TPanel {
public:
  explicit TBackdrop(TComponent* owner);
  ~TBackdrop() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TDirection Direction() const { return direction_; }
  void SetDirection(TDirection v);
  TColor StartColor() const { return startColor_; }
  void SetStartColor(TColor v);
  TColor EndColor() const { return endColor_; }
  void SetEndColor(TColor v);
  void SetTag(std::int64_t tag) override;
  void Assign(const TPersistent& source) override;

  static TBackdrop* MainBackdrop();

protected:
  void PaintWindow(HDC dc) override;

private:
  TDirection direction_ = bdUp;
  TColor startColor_ = 0xFF0000, endColor_ = 0;
};

enum T3DEffectShort { A3dNormal, A3dResit, A3dRaised, A3dShadowed };
extern const TNameList Effect3DNames;

class TLabelStyle : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int Angle() const { return angle_; }
  void SetAngle(int v);
  T3DEffectShort AStyle3D() const { return style3D_; }
  void SetAStyle3D(T3DEffectShort v);
  TColor AShadeRightBottom() const { return shadeRightBottom_; }
  void SetAShadeRightBottom(TColor v);
  TColor AShadeLeftTop() const { return shadeLeftTop_; }
  void SetAShadeLeftTop(TColor v);
  bool AShadeLTSet() const { return shadeLTSet_; }
  void SetAShadeLTSet(bool v);
  int AHShadeOffSet() const { return hShadeOffset_; }
  void SetAHShadeOffSet(int v);
  int AVShadeOffSet() const { return vShadeOffset_; }
  void SetAVShadeOffSet(int v);
  // Without OnChange: a label that stops being transparent loses its effect for good.
  void ForceNormal() { style3D_ = A3dNormal; }

  void Assign(const TPersistent& source) override;
  std::function<void(TLabelStyle&)> OnChange;

private:
  void Changed() {
    if (OnChange) OnChange(*this);
  }
  int angle_ = 0;
  T3DEffectShort style3D_ = A3dRaised;
  TColor shadeRightBottom_ = 0x808080, shadeLeftTop_ = 0xFFFFFF, savedLeftTop_ = 0xFFFFFF;
  bool shadeLTSet_ = false;
  int hShadeOffset_ = 5, vShadeOffset_ = -5;
};

class TRotate3DLabel : public TLabel {
public:
  explicit TRotate3DLabel(TComponent* owner);
  ~TRotate3DLabel() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TLabelStyle& LabelStyle() { return style_; }
  void SetLabelStyle(const TLabelStyle& v) { style_.Assign(v); }
  bool MyTransparent() const { return myTransparent_; }
  void SetMyTransparent(bool v);
  void SetTag(std::int64_t tag) override;
  void Assign(const TPersistent& source) override;
  void Paint(HDC dc, const RECT& bounds) override;

  static TRotate3DLabel* MainLabel();

private:
  TLabelStyle style_;
  bool myTransparent_ = true;
};

void RegisterBackdropClasses();

}  // namespace tav
