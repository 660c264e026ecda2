#include "objects/routines_Registry.h"

#include <windows.h>

#include <cstdint>

#include "core/exceptions_Tavenrik.h"
#include "core/run_log.h"
#include "sys/registry.h"

namespace tav {

const char* const kRunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

constexpr std::string_view kRootKeysNames[] = {
    "hkClassesRoot", "hkCurrentConfig", "hkCurrentUser", "hkDynData", "hkLocalMachine", "hkUsers"};
constinit const TNameList RootKeysNames(kRootKeysNames);

sys::RootKey SysRootKey(TRootKeys root) {
  switch (root) {
    case hkClassesRoot: return sys::RootKey::ClassesRoot;
    case hkCurrentConfig: return sys::RootKey::CurrentConfig;
    case hkCurrentUser: return sys::RootKey::CurrentUser;
    case hkDynData: return sys::RootKey::DynData;
    case hkLocalMachine: return sys::RootKey::LocalMachine;
    case hkUsers: return sys::RootKey::Users;
  }
  return sys::RootKey::CurrentUser;
}

namespace {

void DeleteChildren(sys::RegKey& key) {
  for (const std::string& name : key.SubKeyNames()) {
    sys::RegKey child = key.OpenSubKey(name, false);
    if (child.IsOpen()) DeleteChildren(child);
    child.Close();
    key.DeleteSubKey(name);
  }
}

}  // namespace

TRootKeyHandle RootKeyHandle(TRootKeys root) {
  switch (root) {
    case hkClassesRoot: return HKEY_CLASSES_ROOT;
    case hkCurrentConfig: return HKEY_CURRENT_CONFIG;
    case hkCurrentUser: return HKEY_CURRENT_USER;
    case hkDynData: return HKEY_DYN_DATA;
    case hkLocalMachine: return HKEY_LOCAL_MACHINE;
    case hkUsers: return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

TRootKeys RootKeyOf(TRootKeyHandle handle, TRootKeys fallback) {
  for (TRootKeys root : {hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers}) {
    if (RootKeyHandle(root) == handle) return root;
  }
  return fallback;
}

std::string ReadRegString(TRootKeys root, const std::string& key, const std::string& name,
                          const std::string& defaultValue) {
  sys::RegKey k = sys::RegKey::Open(SysRootKey(root), key, false);
  std::string value;
  return k.ReadString(name, value) ? value : defaultValue;
}

int ReadRegInteger(TRootKeys root, const std::string& key, const std::string& name, int defaultValue) {
  sys::RegKey k = sys::RegKey::Open(SysRootKey(root), key, false);
  std::uint32_t value = 0;
  return k.ReadDword(name, value) ? static_cast<int>(value) : defaultValue;
}

void LogRegistryValue(TRootKeys root, const std::string& key, const std::string& name, const std::string& value) {
  static const char* const roots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG", "HKEY_CURRENT_USER",
                                      "HKEY_DYN_DATA",     "HKEY_LOCAL_MACHINE",  "HKEY_USERS"};
  const std::string path = std::string(roots[root]) + (key.rfind('\\', 0) == 0 ? "" : "\\") + key;
  LogEvent("Registry value written: %s, %s = %s", path, name.empty() ? "(default)" : name, value);
}

void WriteRegString(TRootKeys root, const std::string& key, const std::string& name, const std::string& value) {
  sys::RegKey k = sys::RegKey::Open(SysRootKey(root), key, true);
  if (!k.WriteString(name, value)) {
    throw EIRCannotWriteValue(TranslateMessage("Cannot install into registry. Key: %s Ident: %s Value %s"), key, name,
                              value);
  }
  LogRegistryValue(root, key, name, value);
}

void WriteRegInteger(TRootKeys root, const std::string& key, const std::string& name, int value) {
  sys::RegKey k = sys::RegKey::Open(SysRootKey(root), key, true);
  if (!k.WriteDword(name, static_cast<std::uint32_t>(value))) throw EIRCannotWriteValue(std::string(key));
  LogRegistryValue(root, key, name, std::to_string(value));
}

bool CreateRegKey(TRootKeys root, const std::string& key) {
  return sys::RegKey::Open(SysRootKey(root), key, true).IsOpen();
}

void DeleteKeyTree(TRootKeys root, const std::string& key) {
  // An empty path would name the root itself: never clear a whole hive.
  if (key.find_first_not_of('\\') == std::string::npos) return;
  sys::RegKey k = sys::RegKey::Open(SysRootKey(root), key, false);
  if (!k.IsOpen()) return;
  DeleteChildren(k);
  k.Close();
  sys::DeleteRegKey(SysRootKey(root), key);
}

bool AddRunOnce(const std::string& name, const std::string& commandLine, bool unique) {
  sys::RegKey k = sys::RegKey::Open(sys::RootKey::LocalMachine, kRunOnceKey, true);
  if (!k.IsOpen()) return false;
  std::string valueName = name;
  for (int suffix = 1; unique && k.HasValue(valueName); ++suffix) valueName = name + std::to_string(suffix);
  // Written through at once: the reboot may follow right away.
  if (!k.WriteString(valueName, commandLine) || !k.Flush()) return false;
  k.Close();
  return true;
}

}  // namespace tav
