#pragma once
// The translating controls: a label and a button whose caption comes from the string table entry
// named by GLID (above 0). 0 marks a control whose text is matched by its wording instead.
#include "core/properties.h"
#include "ui/buttons.h"
#include "ui/stdctrls.h"

namespace tav {

// A control of class TBase that carries a GLID. Each translating class C derives from it and makes
// its class info from kProperties, which adds the GLID property to TBase's.
template <class TBase>
class TTranslating : public TBase {
public:
  using TBase::TBase;
  int GLID() const { return glid_; }
  void SetGLID(int value) { glid_ = value; }

protected:
 static constexpr TPropInfo kProperties[] = {
     Props<TTranslating>::template Integer<&TTranslating::GLID, &TTranslating::SetGLID>("GLID", 0),
 };

private:
  int glid_ = 0;
};

class TTranslateLabel : public TTranslating<TLabel> {
public:
  using TTranslating::TTranslating;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TTranslateBitBtn : public TTranslating<TBitBtn> {
public:
  using TTranslating::TTranslating;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// The translator and the translating controls.
void RegisterLangClasses();

}  // namespace tav
