#include "lang/languages.h"

namespace tav {

const std::vector<std::string> TvrkLanguageNames = {
    "tvlChineseSimplified", "tvlCzech",  "tvlDanish",  "tvlEnglish", "tvlFrench",     "tvlGerman",
    "tvlGreek",             "tvlHebrew", "tvlItalian", "tvlJapanese", "tvlKorean",    "tvlPolish",
    "tvlPortugese",         "tvlRussian", "tvlSpanish", "tvlUser",    "tvlVietnamese"};

}  // namespace tav
