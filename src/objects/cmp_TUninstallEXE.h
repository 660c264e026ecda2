#pragma once
// The uninstaller as an install file: it installs the toolkit's uninstall.exe and registers the
// product in Windows' list of installed programs, with the command that removes it.
#include <string>

#include "objects/cmp_TInstallFile.h"

namespace tav {

// The uninstaller program's own file name.
extern const char* const kUninstallerFileName;  // "uninstall.exe"

class TUninstallEXE : public TCustomInstallFile {
public:
  explicit TUninstallEXE(TComponent* owner);

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Writes the product's registration instead of a file entry: the uninstaller removes itself.
  void WriteUninstall(const std::string& key) override;
};

// "\"<program>\" \"<product>\"", with -q before the product for the quiet form.
std::string UninstallCommandLine(const std::string& program, const std::string& productName, bool quiet);

}  // namespace tav
