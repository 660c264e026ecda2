#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "config/language_table.h"
#include "config/resources.h"
#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"
#include "uninstaller/uninstaller.h"

namespace tav::uninstaller {

namespace {

// The lines of the table the program carries for a language; nothing when it carries none.
bool TableLines(const std::string& language, std::vector<std::string>& lines) {
  const auto data = config::FindRCData("TVRI" + UpperCase(language));
  if (!data) return false;
  std::string text(*data);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  lines.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return true;
}

// English wording (upper case) to identifier, and identifier to the language's text; first entries win.
struct TMessages {
  std::map<std::string, int> english;
  std::map<int, std::string> translated;
};

TMessages& Messages() {
  static auto& messages = *new TMessages;
  return messages;
}

std::string Translated(const std::string& english) {
  const TMessages& m = Messages();
  const auto glid = m.english.find(UpperCase(english));
  if (glid == m.english.end()) return english;
  const auto text = m.translated.find(glid->second);
  return text == m.translated.end() ? english : text->second;
}

}  // namespace

bool UseLanguage(const std::string& language) {
  if (language.empty() || SameText(language, "English")) return false;
  for (char c : language) {
    if (!std::isalpha(static_cast<unsigned char>(c))) return false;
  }
  std::vector<std::string> english, target;
  if (!TableLines("English", english) || !TableLines(language, target)) return false;
  TMessages messages;
  try {
    for (const auto& s : config::ParseLanguageTable(english).Strings) messages.english.emplace(UpperCase(s.Text), s.GLID);
    for (const auto& s : config::ParseLanguageTable(target).Strings) messages.translated.emplace(s.GLID, s.Text);
  } catch (const Exception&) {
    // A table that does not parse: the messages stay English.
    return false;
  }
  Messages() = std::move(messages);
  SetMessageTranslator(Translated);
  return true;
}

}  // namespace tav::uninstaller
