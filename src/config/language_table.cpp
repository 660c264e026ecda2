#include "config/language_table.h"

#include <cstdint>

#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"

namespace tav::config {

namespace {

// A decimal integer with an optional sign that fits an int; nothing else (no blanks).
bool ParseIdentifier(const std::string& field, int& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  if (i == field.size()) return false;
  std::int64_t v = 0;
  for (; i < field.size(); ++i) {
    const char c = field[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > std::int64_t{2147483648}) return false;
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

std::string FirstField(const std::string& line) { return line.substr(0, line.find(';')); }

[[noreturn]] void BadFormat(int index, const std::string& line) {
  throw Exception("The %d'th string (%s) does not have the proper format of GLID;Text", index, line);
}

[[noreturn]] void BadIdentifier(int index, const std::string& line) {
  throw Exception("The %d'th string (%s) does not have the proper format of GLID;Text or .GLID;", index, line);
}

int Identifier(const std::string& field, int index, const std::string& line) {
  if (field.empty()) BadFormat(index, line);
  int glid = 0;
  if (!ParseIdentifier(field, glid)) BadIdentifier(index, line);
  return glid;
}

}  // namespace

std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < count && pos < text.size(); ++n) {
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
  }
  return text.substr(0, pos);
}

TLanguageTable ParseLanguageTable(const std::vector<std::string>& lines) {
  TLanguageTable table;
  bool inMemo = false;
  TLanguageTableMemo memo;
  for (int index = 0; index < static_cast<int>(lines.size()); ++index) {
    const std::string line = Trim(lines[index]);
    if (line.empty()) continue;
    if (line.size() == 1 && line[0] == kMemoEnd) {
      if (!inMemo)
        throw Exception("Found the end of memo marker # at line %d. Was not in a memo however", index);
      table.Memos.push_back(std::move(memo));
      memo = {};
      inMemo = false;
      continue;
    }
    if (line[0] == '*') continue;
    if (inMemo) {
      memo.Lines.push_back(line);
      continue;
    }
    if (line[0] == kMemoStart) {
      memo = {};
      memo.GLID = Identifier(FirstField(line).substr(1), index, line);
      memo.LineIndex = index;
      inMemo = true;
      continue;
    }
    const std::size_t semicolon = line.find(';');
    TLanguageTableString entry;
    entry.GLID = Identifier(line.substr(0, semicolon), index, line);
    if (semicolon != std::string::npos) {
      const std::size_t end = line.find(';', semicolon + 1);
      entry.Text = line.substr(semicolon + 1, end == std::string::npos ? std::string::npos : end - semicolon - 1);
    }
    // Cut first: a text whose first 255 characters are blank would leave a control empty.
    entry.Text = FirstCharacters(entry.Text, kMaxEntryText);
    if (Trim(entry.Text).empty()) BadFormat(index, line);
    entry.LineIndex = index;
    table.Strings.push_back(std::move(entry));
  }
  return table;
}

}  // namespace tav::config
