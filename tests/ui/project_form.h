#pragma once
// A test project's form: a plain form whose class name is the project's root class, so that the
// project loads from the resource of that name, e.g. TProjectForm<"TMyProjectForm">.
#include <algorithm>
#include <cstddef>
#include <string>

#include "core/exceptions_Tavenrik.h"
#include "core/properties.h"
#include "ui/forms.h"

namespace tav::test {

// A class name as a template argument.
template <std::size_t N>
struct TClassName {
  constexpr TClassName(const char (&name)[N]) { std::copy_n(name, N, text); }
  char text[N];
};

template <TClassName RootClass>
class TProjectForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TProjectForm, TForm>(RootClass.text);
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The project's component of that name and class; an error when there is none.
  template <class T>
  T& Get(const char* name) {
    auto* c = dynamic_cast<T*>(FindComponent(name));
    if (!c) throw EComponentError("No component %s of the expected class", std::string(name));
    return *c;
  }
  const std::string& CaptionOf(const char* name) { return Get<TControl>(name).Caption(); }
};

}  // namespace tav::test
