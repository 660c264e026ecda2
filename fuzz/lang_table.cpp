// Language table parser: any lines must either fail with the parser's Exception or give entries that
// keep the table's rules (non-blank texts of at most 255 characters, in line order, memos free of
// comments and blank lines).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/language_table.h"
#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"

using namespace tav::config;

namespace {

std::size_t Characters(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') lines.emplace_back();
    else lines.back() += static_cast<char>(data[i]);
  }
  TLanguageTable table;
  try {
    table = ParseLanguageTable(lines);
  } catch (const tav::Exception&) {
    return 0;
  }
  int previous = -1;
  for (const TLanguageTableString& s : table.Strings) {
    Check(s.LineIndex > previous && s.LineIndex < static_cast<int>(lines.size()));
    previous = s.LineIndex;
    Check(!tav::Trim(s.Text).empty() && Characters(s.Text) <= kMaxEntryText);
    Check(s.Text.find(';') == std::string::npos);
  }
  previous = -1;
  for (const TLanguageTableMemo& m : table.Memos) {
    Check(m.LineIndex > previous && m.LineIndex < static_cast<int>(lines.size()));
    previous = m.LineIndex;
    for (const std::string& l : m.Lines) Check(!l.empty() && l[0] != '*' && l == tav::Trim(l));
  }
  // The parse depends on nothing but the lines.
  const TLanguageTable again = ParseLanguageTable(lines);
  Check(again.Strings.size() == table.Strings.size() && again.Memos.size() == table.Memos.size());
  return 0;
}
