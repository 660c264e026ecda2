#pragma once
// The built-in languages. tvlUser is not a language: it stands for the user's system language.
#include <functional>
#include <string>
#include <vector>

#include "core/classes.h"
#include "sys/run_state.h"

namespace tav {

class TStrings;

enum TTvrkLanguage {
  tvlChineseSimplified, tvlCzech, tvlDanish, tvlEnglish, tvlFrench, tvlGerman, tvlGreek, tvlHebrew,
  tvlItalian, tvlJapanese, tvlKorean, tvlPolish, tvlPortugese, tvlRussian, tvlSpanish, tvlUser, tvlVietnamese
};
extern const TNameList TvrkLanguageNames;

// The English name of a language ("ChineseSimplified" ... "Vietnamese"); for tvlUser the name of the
// user's system language, "" when the system cannot tell it.
std::string LangIdToString(TTvrkLanguage ident);
// The language of a Windows language identifier by its primary language; English for any other.
TTvrkLanguage LanguageFromLangId(unsigned langId);

// What a language's texts need of a font: its character set, a face that has the glyphs, and the
// smallest size in points at which they stay legible. Raises Exception "Unrecognized language" for
// tvlUser and values outside the enumeration.
struct TLanguageFace {
  int Charset;
  const char* FaceName;  // UTF-8
  int MinSize;
};
const TLanguageFace& LanguageFace(TTvrkLanguage ident);
int LanguageCharset(TTvrkLanguage ident);

// Where the user's default language identifier comes from: the system unless a test sets a source.
// A source answering 0 means the system call failed.
using TLangIdSource = std::function<unsigned()>;
TRunSlot<TLangIdSource>& UserLangIdSourceSlot();
unsigned UserDefaultLangId();

// The lines in the current language through the process-wide translator, or as they are without one.
// Declared here, away from the translator's class, for callers that see the archive layer's names.
void TranslateLinesFrom(TTvrkLanguage from, const TStrings& lines, TStrings& result);

}  // namespace tav
