#include <windows.h>

#include <cstring>

#include "sys/registry.h"
#include "sys/unicode.h"

namespace tav::sys {

namespace {

HKEY RootHandle(RootKey root) {
  switch (root) {
    case RootKey::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RootKey::CurrentUser: return HKEY_CURRENT_USER;
    case RootKey::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::Users: return HKEY_USERS;
    case RootKey::PerformanceData: return HKEY_PERFORMANCE_DATA;
    case RootKey::CurrentConfig: return HKEY_CURRENT_CONFIG;
    case RootKey::DynData: return HKEY_DYN_DATA;
  }
  return HKEY_CURRENT_USER;
}

std::wstring KeyPath(const std::string& path) {
  std::size_t start = 0;
  while (start < path.size() && path[start] == '\\') ++start;
  return Wide(path.substr(start));
}

HKEY OpenUnder(HKEY parent, const std::string& path, bool create) {
  HKEY key = nullptr;
  const std::wstring wpath = KeyPath(path);
  LONG rc;
  if (create) {
    rc = RegCreateKeyExW(parent, wpath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                         nullptr);
  } else {
    rc = RegOpenKeyExW(parent, wpath.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_ACCESS_DENIED) rc = RegOpenKeyExW(parent, wpath.c_str(), 0, KEY_READ, &key);
  }
  return rc == ERROR_SUCCESS ? key : nullptr;
}

// Reads a value of any type, looping while the value grows between the size query and the read.
bool QueryRaw(HKEY key, const std::string& name, DWORD& type, std::string& data) {
  const std::wstring wname = Wide(name);
  // Most values fit a small buffer: one round trip to the registry instead of asking the size first.
  BYTE small[256];
  DWORD size = sizeof small;
  LONG rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, small, &size);
  if (rc == ERROR_SUCCESS) {
    data.assign(reinterpret_cast<const char*>(small), size);
    return true;
  }
  if (rc != ERROR_MORE_DATA) return false;
  for (int attempt = 0; attempt < 8; ++attempt) {
    data.assign(size, '\0');
    rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (rc == ERROR_SUCCESS) {
      data.resize(size);
      return true;
    }
    if (rc != ERROR_MORE_DATA) return false;
  }
  return false;
}

bool SetRaw(HKEY key, const std::string& name, DWORD type, const void* data, DWORD size) {
  return RegSetValueExW(key, Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

}  // namespace

RegKey::~RegKey() { Close(); }

RegKey::RegKey(RegKey&& other) noexcept : handle_(other.handle_) { other.handle_ = 0; }

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = 0;
  }
  return *this;
}

RegKey RegKey::Open(RootKey root, const std::string& path, bool create) {
  return RegKey(reinterpret_cast<std::uintptr_t>(OpenUnder(RootHandle(root), path, create)));
}

RegKey RegKey::OpenSubKey(const std::string& name, bool create) const {
  if (!IsOpen()) return RegKey();
  return RegKey(reinterpret_cast<std::uintptr_t>(OpenUnder(reinterpret_cast<HKEY>(handle_), name, create)));
}

void RegKey::Close() {
  if (handle_) RegCloseKey(reinterpret_cast<HKEY>(handle_));
  handle_ = 0;
}

bool RegKey::ReadString(const std::string& name, std::string& value) const {
  DWORD type = 0;
  std::string data;
  if (!IsOpen() || !QueryRaw(reinterpret_cast<HKEY>(handle_), name, type, data)) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  // Stored strings may or may not carry their terminator.
  const std::size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  value = Narrow(text);
  return true;
}

bool RegKey::ReadDword(const std::string& name, std::uint32_t& value) const {
  DWORD type = 0;
  std::string data;
  if (!IsOpen() || !QueryRaw(reinterpret_cast<HKEY>(handle_), name, type, data)) return false;
  if (type != REG_DWORD || data.size() != 4) return false;
  std::memcpy(&value, data.data(), 4);
  return true;
}

bool RegKey::ReadBinary(const std::string& name, std::string& value) const {
  DWORD type = 0;
  std::string data;
  if (!IsOpen() || !QueryRaw(reinterpret_cast<HKEY>(handle_), name, type, data)) return false;
  if (type != REG_BINARY) return false;
  value = std::move(data);
  return true;
}

bool RegKey::ReadDouble(const std::string& name, double& value) const {
  std::string data;
  if (!ReadBinary(name, data) || data.size() != sizeof(double)) return false;
  std::memcpy(&value, data.data(), sizeof(double));
  return true;
}

bool RegKey::HasValue(const std::string& name) const {
  if (!IsOpen()) return false;
  return RegQueryValueExW(reinterpret_cast<HKEY>(handle_), Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

bool RegKey::WriteString(const std::string& name, const std::string& value) {
  if (!IsOpen()) return false;
  const std::wstring w = Wide(value);
  return SetRaw(reinterpret_cast<HKEY>(handle_), name, REG_SZ, w.c_str(),
                static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
}

bool RegKey::WriteDword(const std::string& name, std::uint32_t value) {
  return IsOpen() && SetRaw(reinterpret_cast<HKEY>(handle_), name, REG_DWORD, &value, sizeof value);
}

bool RegKey::WriteBinary(const std::string& name, const std::string& value) {
  return IsOpen() &&
         SetRaw(reinterpret_cast<HKEY>(handle_), name, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
}

bool RegKey::WriteDouble(const std::string& name, double value) {
  return WriteBinary(name, std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

bool RegKey::DeleteValue(const std::string& name) {
  return IsOpen() && RegDeleteValueW(reinterpret_cast<HKEY>(handle_), Wide(name).c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> RegKey::SubKeyNames() const {
  std::vector<std::string> names;
  if (!IsOpen()) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD len = 256;
    const LONG rc = RegEnumKeyExW(reinterpret_cast<HKEY>(handle_), i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    names.push_back(Narrow(std::wstring(name, len)));
  }
  return names;
}

std::vector<std::string> RegKey::ValueNames() const {
  std::vector<std::string> names;
  if (!IsOpen()) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD len = 16384;
    const LONG rc = RegEnumValueW(reinterpret_cast<HKEY>(handle_), i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    names.push_back(Narrow(std::wstring(name, len)));
  }
  return names;
}

bool RegKey::DeleteSubKey(const std::string& name) {
  return IsOpen() && RegDeleteKeyW(reinterpret_cast<HKEY>(handle_), Wide(name).c_str()) == ERROR_SUCCESS;
}

bool RegKey::Flush() { return IsOpen() && RegFlushKey(reinterpret_cast<HKEY>(handle_)) == ERROR_SUCCESS; }

bool DeleteRegKey(RootKey root, const std::string& path) {
  return RegDeleteKeyW(RootHandle(root), KeyPath(path).c_str()) == ERROR_SUCCESS;
}

}  // namespace tav::sys
