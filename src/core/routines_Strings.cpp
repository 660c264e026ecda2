#include "core/routines_Strings.h"

#include <algorithm>

#include "core/strings.h"

namespace tav {

std::string IncludeTrailingBackslash(const std::string& text) {
  if (text.empty() || text.back() == '\\') return text;
  return text + '\\';
}

std::string ExcludeTrailingBackslash(const std::string& text) {
  if (!text.empty() && text.back() == '\\') return text.substr(0, text.size() - 1);
  return text;
}

int CountFields(const std::string& text) {
  int separators = 0;
  for (char c : text) separators += c == ';';
  if (text.empty() || text.back() == ';') return separators;
  return separators + 1;
}

std::string GetField(const std::string& text, int n, char separator) {
  if (n < 1) return std::string();
  std::size_t start = 0;
  for (int field = 1; field < n; ++field) {
    const std::size_t at = text.find(separator, start);
    if (at == std::string::npos) return std::string();
    start = at + 1;
  }
  const std::size_t end = text.find(separator, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void SplitFields(const std::string& text, char separator, TStrings& list) {
  list.BeginUpdate();
  try {
    list.Clear();
    std::size_t start = 0;
    while (true) {
      const std::size_t at = text.find(separator, start);
      if (at == std::string::npos) {
        if (start < text.size()) list.Add(text.substr(start));
        break;
      }
      list.Add(text.substr(start, at - start));
      start = at + 1;
    }
  } catch (...) {
    list.EndUpdate();
    throw;
  }
  list.EndUpdate();
}

bool TextAfterColon(const std::string& text, std::string& result) {
  const std::size_t at = text.find(':');
  if (at == std::string::npos) return false;
  result = text.substr(at + 1);
  return true;
}

std::string MakeFileNameSafe(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '/':
        out += '-';
        break;
      case '"': case '*': case ':': case ';': case '<': case '>': case '?': case '\\': case '|':
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return std::string(text.substr(b, e - b));
}

namespace {
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string UpperCase(std::string_view text) {
  std::string r(text);
  for (char& c : r) c = UpperAscii(c);
  return r;
}

std::string LowerCase(std::string_view text) {
  std::string r(text);
  for (char& c : r) c = LowerAscii(c);
  return r;
}

int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
    const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }

namespace {
std::size_t LastDelimiter(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsPathDelimiter(path[i - 1]) || path[i - 1] == ':') return i - 1;
  }
  return std::string::npos;
}
}  // namespace

std::string ExtractFilePath(const std::string& path) {
  const std::size_t at = LastDelimiter(path);
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string ExtractFileName(const std::string& path) {
  const std::size_t at = LastDelimiter(path);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string ExtractFileExt(const std::string& path) {
  const std::string name = ExtractFileName(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const std::string name = ExtractFileName(path);
  const std::size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? path : path.substr(0, path.size() - name.size() + dot);
  return stem + ext;
}

std::string ExtractFileDir(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsPathDelimiter(path[i - 1])) return path.substr(0, i - 1);
  }
  return std::string();
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (path.empty() || IsPathDelimiter(path.back())) return path;
#ifdef _WIN32
  return path + '\\';
#else
  return path + '/';
#endif
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path.back())) return path.substr(0, path.size() - 1);
  return path;
}

}  // namespace tav
