#include "objects/uninstall_record.h"

#include <charconv>

#include "core/exceptions_Tavenrik.h"
#include "core/format.h"
#include "objects/routines_Registry.h"

namespace tav {

namespace {

// The counter as the record keeps it: decimal text; anything else is EConvertError.
int ReadCounter(const std::string& key) {
  const std::string text = ReadRegString(hkLocalMachine, key, "Entries", "0");
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
    throw EConvertError(Format("'%s' is not a valid integer value", text));
  }
  return value;
}

std::string Numbered(const char* name, int n) { return std::string(name) + std::to_string(n); }

}  // namespace

void AppendUninstallFile(const std::string& key, const std::string& path) {
  for (int suffix = 0; suffix <= kUninstallFileListTries; ++suffix) {
    const std::string list = key + "\\Files" + (suffix == 0 ? std::string() : std::to_string(suffix));
    try {
      const int n = ReadCounter(list) + 1;
      WriteRegString(hkLocalMachine, list, Numbered("File", n), path);
      WriteRegString(hkLocalMachine, list, "Entries", std::to_string(n));
      return;
    } catch (const EConvertError&) {
    } catch (const EIRCannotWriteValue&) {
    }
  }
  throw EIRCannotWriteValue(TranslateMessage("Cannot install into registry. Key: %s Ident: %s Value %s"),
                            key + "\\Files", std::string("File"), path);
}

void AppendUninstallActiveX(const std::string& key, const std::string& path, bool isProgram) {
  const std::string list = key + "\\ActiveX";
  const int n = ReadCounter(list) + 1;
  WriteRegString(hkLocalMachine, list, Numbered("File", n), path + (isProgram ? ";1" : ";0"));
  WriteRegString(hkLocalMachine, list, "Entries", std::to_string(n));
}

std::string AppendUninstallRegistryKey(const std::string& key) {
  const std::string list = key + "\\RegistryKeys";
  const int n = ReadCounter(list) + 1;
  WriteRegString(hkLocalMachine, list, "Entries", std::to_string(n));
  return list + "\\" + Numbered("RegistryKey", n);
}

}  // namespace tav
