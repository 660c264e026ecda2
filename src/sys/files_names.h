#pragma once
// The naming of new unique files, shared by the platform implementations of files.h.
#include <string>

namespace tav::sys {

enum class CreateResult { Created, Taken, Failed };

// Tries the names base + four hex digits + ".tmp", starting from start and never 0000, until create makes
// one; stops at the first failure that is not a taken name (no such directory, no access). The name or "".
template <class Create>
std::string CreateFirstFreeName(const std::string& base, unsigned start, Create&& create) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned i = 0; i < 0x10000; ++i) {
    const unsigned n = (start + i) & 0xFFFF;
    if (n == 0) continue;
    std::string name = base;
    for (int shift = 12; shift >= 0; shift -= 4) name += kHex[(n >> shift) & 0xF];
    name += ".tmp";
    switch (create(name)) {
      case CreateResult::Created: return name;
      case CreateResult::Taken: break;
      case CreateResult::Failed: return "";
    }
  }
  return "";
}

}  // namespace tav::sys
