#include "language_support.h"

#include "lang/cmp_TTranslator.h"
#include "window_probe.h"

namespace tav::test {

namespace {

TTranslator& The() {
  TTranslator* t = Translator();
  if (!t) throw Exception("There is no translator");
  return *t;
}

}  // namespace

TComponent* MakeShippedTranslator(TComponent* owner) {
  auto* t = new TTranslator(owner);
  for (int i = 0; i < t->LanguageCount(); ++i) {
    TLanguage& l = *t->Languages(i);
    if (l.LanguageIdent() != tvlHebrew) l.Strings().LoadFromFile(CheckoutPath("src/lang/tables/" + l.FileName()));
  }
  return t;
}

std::vector<TTvrkLanguage> TableLanguages() {
  std::vector<TTvrkLanguage> result;
  for (int i = 0; i < The().LanguageCount(); ++i) {
    if (The().Languages(i)->Strings().Count() > 1) result.push_back(The().Languages(i)->LanguageIdent());
  }
  return result;
}

std::string TableText(TTvrkLanguage language, int glid) {
  const TLanguage* l = The().FindLanguage(language);
  return l ? l->FindString(glid).value_or("") : "";
}

int EnglishGLID(const std::string& text) {
  const TLanguageString* s = The().FindLanguage(tvlEnglish)->FindStringByText(text);
  return s ? s->GLID : 0;
}

void DropEntry(TTvrkLanguage language, int glid) {
  TLanguage& l = *The().FindLanguage(language);
  TStringList kept;
  for (int i = 0; i < l.Strings().Count(); ++i) {
    const std::string& line = l.Strings()[i];
    if (line.rfind(std::to_string(glid) + ";", 0) != 0) kept.Add(line);
  }
  l.SetStrings(kept);
}

TObject* LanguageObject(TTvrkLanguage language) { return The().FindLanguage(language); }

}  // namespace tav::test
