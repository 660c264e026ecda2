#pragma once
// The language of the program's translator, for code that also sees the version reader: both name a
// type TLanguage, so the translator's class stays out of the engine's other units.
#include <optional>
#include <string>

#include "lang/languages.h"

namespace tav {

// The translator's TranslateIntoLanguage; nothing without a translator.
std::optional<TTvrkLanguage> TranslatorLanguage();
// The English name of the language the translator shows ("German"): the user's system language when
// the target is tvlUser, English when the target carries no table; empty without a translator.
std::string TranslatorLanguageName();
// Switches the translator to language; false without a translator.
bool SetTranslatorLanguage(TTvrkLanguage language);

}  // namespace tav
