#pragma once
// The registry (Windows only). Key paths are given as the installer writes them, with or without a
// leading backslash. Reads check the value's type and size and report failure instead of guessing.
#include <cstdint>
#include <string>
#include <vector>

namespace tav::sys {

enum class RootKey { ClassesRoot, CurrentUser, LocalMachine, Users, PerformanceData, CurrentConfig, DynData };

// Move-only owner of an open key.
class RegKey {
public:
  RegKey() = default;
  ~RegKey();
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // IsOpen() is false when the key does not exist (create false) or cannot be opened or created.
  static RegKey Open(RootKey root, const std::string& path, bool create);
  RegKey OpenSubKey(const std::string& name, bool create) const;

  bool IsOpen() const { return handle_ != 0; }
  // REG_SZ or REG_EXPAND_SZ (not expanded).
  bool ReadString(const std::string& name, std::string& value) const;
  // REG_DWORD.
  bool ReadDword(const std::string& name, std::uint32_t& value) const;
  // REG_BINARY of any size.
  bool ReadBinary(const std::string& name, std::string& value) const;
  // REG_BINARY of exactly 8 bytes holding an IEEE double.
  bool ReadDouble(const std::string& name, double& value) const;
  bool HasValue(const std::string& name) const;

  bool WriteString(const std::string& name, const std::string& value);
  bool WriteDword(const std::string& name, std::uint32_t value);
  bool WriteBinary(const std::string& name, const std::string& value);
  bool WriteDouble(const std::string& name, double value);
  bool DeleteValue(const std::string& name);

  std::vector<std::string> SubKeyNames() const;
  std::vector<std::string> ValueNames() const;
  // Deletes a subkey that has no subkeys of its own.
  bool DeleteSubKey(const std::string& name);
  bool Flush();
  void Close();

private:
  explicit RegKey(std::uintptr_t handle) : handle_(handle) {}
  std::uintptr_t handle_ = 0;
};

// Deletes a key without subkeys; false when it is missing or not empty.
bool DeleteRegKey(RootKey root, const std::string& path);

}  // namespace tav::sys
