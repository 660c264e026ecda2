#include "core/routines_Percent.h"

namespace tav {

std::string ScanPercents(const std::string& text, const std::function<std::string(char)>& letter) {
  std::string result;
  bool percent = false;
  for (char c : text) {
    if (!percent) {
      if (c == '%') percent = true;
      else result += c;
    } else {
      if (c == '%') result += '%';
      else result += letter(c);
      percent = false;
    }
  }
  return result;
}

std::string ExpandPathPlaceholder(const std::string& text, const std::string& path) {
  // Only the "%" vanishes before a letter other than p.
  return ScanPercents(text, [&path](char c) { return c == 'p' || c == 'P' ? path : std::string(1, c); });
}

}  // namespace tav
