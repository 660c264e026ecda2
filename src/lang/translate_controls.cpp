#include "lang/translate_controls.h"

namespace tav {

const TClassInfo& TTranslateLabel::StaticClassInfo() {
  using P = Props<TTranslateLabel>;
  static const TClassInfo info = MakeClassInfo<TTranslateLabel, TLabel>(
      "TTranslateLabel", {P::Integer("GLID", &TTranslateLabel::GLID, &TTranslateLabel::SetGLID, 0)});
  return info;
}

const TClassInfo& TTranslateBitBtn::StaticClassInfo() {
  using P = Props<TTranslateBitBtn>;
  static const TClassInfo info = MakeClassInfo<TTranslateBitBtn, TBitBtn>(
      "TTranslateBitBtn", {P::Integer("GLID", &TTranslateBitBtn::GLID, &TTranslateBitBtn::SetGLID, 0)});
  return info;
}

void RegisterLangClasses() {
  RegisterClass(TTranslateLabel::StaticClassInfo());
  RegisterClass(TTranslateBitBtn::StaticClassInfo());
}

}  // namespace tav
