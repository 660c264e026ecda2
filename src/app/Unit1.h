#pragma once
// The main form: its stream carries the whole install project.
#include "core/properties.h"
#include "ui/forms.h"

namespace tav {

class TForm1 : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

void RegisterAppClasses();

}  // namespace tav
