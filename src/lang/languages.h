#pragma once
// The built-in languages. tvlUser is not a language: it stands for the user's system language.
#include <string>
#include <vector>

namespace tav {

enum TTvrkLanguage {
  tvlChineseSimplified, tvlCzech, tvlDanish, tvlEnglish, tvlFrench, tvlGerman, tvlGreek, tvlHebrew,
  tvlItalian, tvlJapanese, tvlKorean, tvlPolish, tvlPortugese, tvlRussian, tvlSpanish, tvlUser, tvlVietnamese
};
extern const std::vector<std::string> TvrkLanguageNames;

}  // namespace tav
