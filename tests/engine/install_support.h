#pragma once
// What the tests that install real files share: a project form class per test project, reading a
// file back, and the registry keys an installation writes.
#include <string>

#include "core/properties.h"
#include "sys/files.h"
#include "ui/forms.h"

namespace tav::test {

inline const char* const kSharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline const char* const kRunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// A plain form whose class name is the test project's root class, so the project loads from its resource.
template <const char* RootClass>
class TProjectForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TProjectForm, TForm>(RootClass);
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// The whole file, or "<missing>".
inline std::string ReadAll(const std::string& path) {
  sys::File f = sys::File::Open(path, sys::OpenMode::ReadShared);
  if (!f.IsOpen()) return "<missing>";
  std::string text(static_cast<std::size_t>(f.Size()), '\0');
  text.resize(f.Read(text.data(), text.size()));
  return text;
}

}  // namespace tav::test
