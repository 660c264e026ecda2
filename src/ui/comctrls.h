#pragma once
// Common controls: progress bar, tab control, rich edit box.
#include <string>
#include <vector>

#include "ui/stdctrls.h"

namespace tav {

class TProgressBar : public TWinControl {
public:
  explicit TProgressBar(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int Min() const { return min_; }
  void SetMin(int v);
  int Max() const { return max_; }
  void SetMax(int v);
  // Kept within Min..Max.
  int Position() const { return position_; }
  void SetPosition(int v);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool v) { smooth_ = v; }
  void Loaded() override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;

private:
  void ApplyRange();

  int min_ = 0, max_ = 100, position_ = 0;
  bool smooth_ = false;
};

// Tabs along the top; the controls inside sit in the area below them.
class TTabControl : public TWinControl {
public:
  explicit TTabControl(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The tabs follow every change of the list.
  TStringList& Tabs() { return tabs_; }
  const TStringList& Tabs() const { return tabs_; }
  // -1: none. Changes by code do not fire OnChange; the user's do.
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int index);
  TLayoutRect ClientRect() const override;

  TNotifyEvent OnChange;
  void Loaded() override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;

private:
  void FillTabs();

  TStringList tabs_;
  int tabIndex_ = -1;
};

// A rich edit box showing text (rich text when it starts as such), typically read-only.
class TRichEdit : public TCustomMemo {
public:
  explicit TRichEdit(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void ColorChanged() override;
};

}  // namespace tav
