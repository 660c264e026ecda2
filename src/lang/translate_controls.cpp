#include "lang/translate_controls.h"

#include "lang/cmp_TTranslator.h"

namespace tav {

const TClassInfo& TTranslateLabel::StaticClassInfo() {
  static const TClassInfo info = ClassInfoOf<TTranslateLabel>("TTranslateLabel");
  return info;
}

const TClassInfo& TTranslateBitBtn::StaticClassInfo() {
  static const TClassInfo info = ClassInfoOf<TTranslateBitBtn>("TTranslateBitBtn");
  return info;
}

void RegisterLangClasses() {
  RegisterClass(TTranslateLabel::StaticClassInfo());
  RegisterClass(TTranslateBitBtn::StaticClassInfo());
  RegisterClass(TTranslator::StaticClassInfo());
}

}  // namespace tav
