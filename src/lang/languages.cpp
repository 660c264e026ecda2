#include "lang/languages.h"

#include "core/exceptions_Tavenrik.h"
#include "ui/win32.h"

namespace tav {

constexpr std::string_view kTvrkLanguageNames[] = {
    "tvlChineseSimplified", "tvlCzech", "tvlDanish", "tvlEnglish", "tvlFrench", "tvlGerman", "tvlGreek", "tvlHebrew",
    "tvlItalian", "tvlJapanese", "tvlKorean", "tvlPolish", "tvlPortugese", "tvlRussian", "tvlSpanish", "tvlUser",
    "tvlVietnamese"};
constinit const TNameList TvrkLanguageNames(kTvrkLanguageNames);

std::string LangIdToString(TTvrkLanguage ident) {
  if (ident == tvlUser) {
    const unsigned id = UserDefaultLangId();
    if (id == 0) return "";
    ident = LanguageFromLangId(id);
  }
  if (ident < tvlChineseSimplified || ident > tvlVietnamese) return "";
  return std::string(TvrkLanguageNames[ident].substr(3));
}

TTvrkLanguage LanguageFromLangId(unsigned langId) {
  switch (langId & 0x3FF) {
    case 4: return tvlChineseSimplified;
    case 5: return tvlCzech;
    case 6: return tvlDanish;
    case 7: return tvlGerman;
    case 8: return tvlGreek;
    case 10: return tvlSpanish;
    case 12: return tvlFrench;
    case 13: return tvlHebrew;
    case 16: return tvlItalian;
    case 17: return tvlJapanese;
    case 18: return tvlKorean;
    case 21: return tvlPolish;
    case 22: return tvlPortugese;
    case 25: return tvlRussian;
    case 42: return tvlVietnamese;
    default: return tvlEnglish;
  }
}

const TLanguageFace& LanguageFace(TTvrkLanguage ident) {
  // Indexed by the enumeration; tvlUser has no entry. Hebrew has no face of its own in the tables the
  // projects were made with: Arial carries its glyphs.
  static const TLanguageFace faces[] = {
      {134, "\xE6\x96\xB0\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94", 9},  // ChineseSimplified
      {238, "Arial", 8},                                                 // Czech
      {0, "Arial", 8},                                                   // Danish
      {0, "Arial", 8},                                                   // English
      {0, "Arial", 8},                                                   // French
      {0, "MS Sans Serif", 8},                                           // German
      {0, "SGreek", 8},                                                  // Greek
      {177, "Arial", 8},                                                 // Hebrew
      {0, "Arial", 8},                                                   // Italian
      {128, "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", 9},  // Japanese
      {129, "\xEB\xB0\x94\xED\x83\x95", 9},                              // Korean
      {238, "Arial", 8},                                                 // Polish
      {238, "Arial", 8},                                                 // Portugese
      {204, "Arial", 8},                                                 // Russian
      {0, "Arial", 8},                                                   // Spanish
      {0, nullptr, 0},                                                   // User
      {163, "Arial", 8},                                                 // Vietnamese
  };
  if (ident < tvlChineseSimplified || ident > tvlVietnamese || ident == tvlUser)
    throw Exception(TranslateMessage("Unrecognized language"));
  return faces[ident];
}

int LanguageCharset(TTvrkLanguage ident) { return LanguageFace(ident).Charset; }

TRunSlot<TLangIdSource>& UserLangIdSourceSlot() {
  static auto& slot = TRunSlot<TLangIdSource>::Make("user language id source");
  return slot;
}

unsigned UserDefaultLangId() {
  const TLangIdSource& source = UserLangIdSourceSlot().Get();
  return source ? source() : GetUserDefaultLangID();
}

}  // namespace tav
