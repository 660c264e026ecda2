#pragma once
// The translator for the wizard's tests, kept in a unit of its own: the archive layer's TLanguage and
// the translator's cannot meet in one unit.
#include <string>
#include <vector>

#include "core/classes.h"
#include "lang/languages.h"

namespace tav::test {

// A translator owned by owner with the shipped tables of src/lang/tables; it is the process-wide one
// when no other exists.
TComponent* MakeShippedTranslator(TComponent* owner);
// The languages whose tables it carries, in the translator's order.
std::vector<TTvrkLanguage> TableLanguages();
// The entry of a language's table; "" when it has none.
std::string TableText(TTvrkLanguage language, int glid);
// The identifier of an English text; 0 when the English table has none.
int EnglishGLID(const std::string& text);
// Takes an entry out of a language's table.
void DropEntry(TTvrkLanguage language, int glid);
// The language object the language page puts into its grid.
TObject* LanguageObject(TTvrkLanguage language);

}  // namespace tav::test
