#include "engine/translator_language.h"

#include "lang/cmp_TTranslator.h"

namespace tav {

std::optional<TTvrkLanguage> TranslatorLanguage() {
  if (TTranslator* translator = Translator()) return translator->TranslateIntoLanguage();
  return std::nullopt;
}

std::string TranslatorLanguageName() {
  TTranslator* translator = Translator();
  if (!translator) return std::string();
  const TLanguage* language = translator->CurrentLanguage();
  // What the pages fall back to: English texts.
  if (!language || language->Strings().Count() == 0) return LangIdToString(tvlEnglish);
  return LangIdToString(language->LanguageIdent());
}

bool SetTranslatorLanguage(TTvrkLanguage language) {
  TTranslator* translator = Translator();
  if (!translator) return false;
  translator->SetTranslateIntoLanguage(language);
  return true;
}

}  // namespace tav
