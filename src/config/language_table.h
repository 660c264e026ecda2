#pragma once
// The syntax of a language's string table: the raw lines a project carries per language, parsed into
// entries that share their identifiers (GLIDs) across languages.
//
//   * a comment
//   5;Next >              an entry: identifier, ";", the text up to the next ";"
//   .90;                  a memo: every line up to the lone "#" (comments and blank lines left out)
//   first line
//   #
//
// Lines are trimmed first; blank lines are skipped everywhere. A memo still open at the end is dropped.
#include <string>
#include <vector>

namespace tav::config {

constexpr char kMemoStart = '.';
constexpr char kMemoEnd = '#';
// A text is cut to this many characters.
constexpr std::size_t kMaxEntryText = 255;

struct TLanguageTableString {
  int GLID = 0;
  int LineIndex = 0;  // 0-based line of the raw list
  std::string Text;
};

struct TLanguageTableMemo {
  int GLID = 0;
  int LineIndex = 0;  // the line that opened the memo
  std::vector<std::string> Lines;
};

struct TLanguageTable {
  std::vector<TLanguageTableString> Strings;  // in line order
  std::vector<TLanguageTableMemo> Memos;
};

// Raises Exception with the line index and the trimmed line of the first malformed line.
TLanguageTable ParseLanguageTable(const std::vector<std::string>& lines);

// The first UTF-8 characters of text, at most count of them (a cut never splits a character).
std::string FirstCharacters(const std::string& text, std::size_t count);

}  // namespace tav::config
