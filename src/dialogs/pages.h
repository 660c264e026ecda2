#pragma once
// The wizard's page forms. Each loads its layout from the resource named after its class; the pages'
// content and behaviour arrive with the wizard.
#include "core/properties.h"
#include "ui/forms.h"

namespace tav {

class TLicenseForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TReadmeForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TWelcomeForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TCopyFileForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TFileGroupSelectForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TBadInstallForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TGoodInstallForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TSelectFolderForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TChangeDiskForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TRebootForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TSelectLanguageForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

void RegisterPageClasses();
// Creates the page forms, owned by the application, in the order the program needs them.
void CreatePageForms();

}  // namespace tav
