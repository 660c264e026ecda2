#pragma once
// The translating controls: a label and a button whose caption comes from the string table entry
// named by GLID (above 0). 0 marks a control whose text is matched by its wording instead.
#include "core/properties.h"
#include "ui/buttons.h"
#include "ui/stdctrls.h"

namespace tav {

class TTranslateLabel : public TLabel {
public:
  using TLabel::TLabel;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int GLID() const { return glid_; }
  void SetGLID(int value) { glid_ = value; }

private:
  int glid_ = 0;
};

class TTranslateBitBtn : public TBitBtn {
public:
  using TBitBtn::TBitBtn;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int GLID() const { return glid_; }
  void SetGLID(int value) { glid_ = value; }

private:
  int glid_ = 0;
};

void RegisterLangClasses();

}  // namespace tav
