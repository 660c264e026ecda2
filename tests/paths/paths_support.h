#pragma once
// Shared pieces of the paths tests: registry values saved and put back, a form owner, and an installer
// that stands in for the engine's.
#include <string>
#include <vector>

#include "core/properties.h"
#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallContainer.h"
#include "paths/cmp_TPathSpecifier.h"
#include "sys/unicode.h"
#include "ui/forms.h"
#include "ui/win32.h"

namespace pathstest {

// Saves one registry value (type and bytes, or its absence) and restores exactly that on destruction,
// so the prefix's registry ends as it began.
class SavedValue {
public:
  SavedValue(HKEY root, const std::string& key, const std::string& name)
      : root_(root), key_(tav::sys::Wide(key.substr(key.find_first_not_of('\\')))), name_(tav::sys::Wide(name)) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExW(k, name_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
      data_.resize(size);
      existed_ = RegQueryValueExW(k, name_.c_str(), nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
      data_.resize(size);
    }
    RegCloseKey(k);
  }
  ~SavedValue() {
    HKEY k = nullptr;
    if (RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
      return;
    if (existed_) {
      RegSetValueExW(k, name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
    } else {
      RegDeleteValueW(k, name_.c_str());
    }
    RegCloseKey(k);
  }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

  void Set(const std::string& value) const {
    HKEY k = nullptr;
    if (RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
      return;
    const std::wstring w = tav::sys::Wide(value);
    RegSetValueExW(k, name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                   static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
  }
  void Remove() const {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    RegDeleteValueW(k, name_.c_str());
    RegCloseKey(k);
  }

private:
  HKEY root_;
  std::wstring key_, name_;
  bool existed_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
};

// A project's main form: the owner on which containers ensure the standard specifiers.
class TTestForm : public tav::TForm {
public:
  TTestForm() : TForm(nullptr) {}
  explicit TTestForm(TComponent* owner) : TForm(owner) {}
  static const tav::TClassInfo& StaticClassInfo() {
    static constexpr tav::TClassInfo info = tav::MakeClassInfo<TTestForm, TForm>("TTestForm");
    return info;
  }
  const tav::TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// The engine's installer as the specifiers see it; it makes itself the current install.
class TTestInstall : public tav::TFileContainer, public tav::TCurrentInstall {
public:
  explicit TTestInstall(TComponent* owner) : TFileContainer(owner) { tav::SetCurrentInstall(this); }
  ~TTestInstall() override {
    if (tav::CurrentInstall() == this) tav::SetCurrentInstall(nullptr);
  }
  std::string ProductName() const override { return "Demo Product"; }
  tav::TInstallContainer* RootContainer() override { return this; }
  const std::string& SourceDirectory() const override { return source; }
  bool HasSelfExtractSwitch() const override { return selfExtract; }
  std::string SelfExtractValue() const override { return selfExtractValue; }

  std::string source = "C:\\Dist";
  bool selfExtract = false;
  std::string selfExtractValue;
};

// A plain install object with a kind, so it can be a helper and a (non-file) container.
class TTestObject : public tav::TInstallObject {
public:
  explicit TTestObject(TComponent* owner) : TInstallObject(owner, tav::kindInstallRegistry) {}
};

}  // namespace pathstest
