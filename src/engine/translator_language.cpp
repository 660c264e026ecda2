#include "engine/translator_language.h"

#include "lang/cmp_TTranslator.h"

namespace tav {

std::optional<TTvrkLanguage> TranslatorLanguage() {
  if (TTranslator* translator = Translator()) return translator->TranslateIntoLanguage();
  return std::nullopt;
}

bool SetTranslatorLanguage(TTvrkLanguage language) {
  TTranslator* translator = Translator();
  if (!translator) return false;
  translator->SetTranslateIntoLanguage(language);
  return true;
}

}  // namespace tav
