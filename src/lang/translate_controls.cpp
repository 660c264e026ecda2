#include "lang/translate_controls.h"

#include "lang/cmp_TTranslator.h"

namespace tav {

const TClassInfo& TTranslateLabel::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TTranslateLabel, TLabel>("TTranslateLabel", kProperties);
  return info;
}

const TClassInfo& TTranslateBitBtn::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TTranslateBitBtn, TBitBtn>("TTranslateBitBtn", kProperties);
  return info;
}

void RegisterLangClasses() {
  RegisterClass(TTranslateLabel::StaticClassInfo());
  RegisterClass(TTranslateBitBtn::StaticClassInfo());
  RegisterClass(TTranslator::StaticClassInfo());
}

}  // namespace tav
