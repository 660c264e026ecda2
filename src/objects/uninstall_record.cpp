#include "objects/uninstall_record.h"

#include <charconv>

#include "core/exceptions_Tavenrik.h"
#include "core/format.h"
#include "objects/routines_Registry.h"
#include "sys/registry.h"

namespace tav {

namespace {

// The counter as the record keeps it: decimal text; anything else is EConvertError.
int ReadCounter(const sys::RegKey& list) {
  std::string text = "0";
  list.ReadString("Entries", text);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
    throw EConvertError(Format("'%s' is not a valid integer value", text));
  }
  return value;
}

int ReadCounter(const std::string& key) { return ReadCounter(sys::RegKey::Open(sys::RootKey::LocalMachine, key, false)); }

std::string Numbered(const char* name, int n) { return std::string(name) + std::to_string(n); }

// Appends Name<n> = value and then the counter n through one open key: an install of thousands of
// files writes an entry per file, and every open, read and write is a round trip to the registry.
void Append(const std::string& list, const char* name, const std::string& value) {
  sys::RegKey k = sys::RegKey::Open(sys::RootKey::LocalMachine, list, true);
  const int n = ReadCounter(k) + 1;
  if (!k.WriteString(Numbered(name, n), value) || !k.WriteString("Entries", std::to_string(n)))
    throw EIRCannotWriteValue(TranslateMessage("Cannot install into registry. Key: %s Ident: %s Value %s"), list,
                              Numbered(name, n), value);
}

}  // namespace

void AppendUninstallFile(const std::string& key, const std::string& path) {
  for (int suffix = 0; suffix <= kUninstallFileListTries; ++suffix) {
    const std::string list = key + "\\Files" + (suffix == 0 ? std::string() : std::to_string(suffix));
    try {
      Append(list, "File", path);
      return;
    } catch (const EConvertError&) {
    } catch (const EIRCannotWriteValue&) {
    }
  }
  throw EIRCannotWriteValue(TranslateMessage("Cannot install into registry. Key: %s Ident: %s Value %s"),
                            key + "\\Files", std::string("File"), path);
}

void AppendUninstallActiveX(const std::string& key, const std::string& path, bool isProgram) {
  Append(key + "\\ActiveX", "File", path + (isProgram ? ";1" : ";0"));
}

std::string AppendUninstallRegistryKey(const std::string& key) {
  const std::string list = key + "\\RegistryKeys";
  const int n = ReadCounter(list) + 1;
  WriteRegString(hkLocalMachine, list, "Entries", std::to_string(n));
  return list + "\\" + Numbered("RegistryKey", n);
}

}  // namespace tav
