#include "dialogs/pages.h"

#include "ui/application.h"

namespace tav {

const TClassInfo& TLicenseForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TLicenseForm, TForm>("TLicenseForm", {});
  return info;
}

const TClassInfo& TReadmeForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TReadmeForm, TForm>("TReadmeForm", {});
  return info;
}

const TClassInfo& TWelcomeForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TWelcomeForm, TForm>("TWelcomeForm", {});
  return info;
}

const TClassInfo& TCopyFileForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TCopyFileForm, TForm>("TCopyFileForm", {});
  return info;
}

const TClassInfo& TFileGroupSelectForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TFileGroupSelectForm, TForm>("TFileGroupSelectForm", {});
  return info;
}

const TClassInfo& TBadInstallForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TBadInstallForm, TForm>("TBadInstallForm", {});
  return info;
}

const TClassInfo& TGoodInstallForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TGoodInstallForm, TForm>("TGoodInstallForm", {});
  return info;
}

const TClassInfo& TSelectFolderForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TSelectFolderForm, TForm>("TSelectFolderForm", {});
  return info;
}

const TClassInfo& TChangeDiskForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TChangeDiskForm, TForm>("TChangeDiskForm", {});
  return info;
}

const TClassInfo& TRebootForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TRebootForm, TForm>("TRebootForm", {});
  return info;
}

const TClassInfo& TSelectLanguageForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TSelectLanguageForm, TForm>("TSelectLanguageForm", {});
  return info;
}

void RegisterPageClasses() {
  for (const TClassInfo* c :
       {&TLicenseForm::StaticClassInfo(), &TReadmeForm::StaticClassInfo(), &TWelcomeForm::StaticClassInfo(),
        &TCopyFileForm::StaticClassInfo(), &TFileGroupSelectForm::StaticClassInfo(),
        &TBadInstallForm::StaticClassInfo(), &TGoodInstallForm::StaticClassInfo(),
        &TSelectFolderForm::StaticClassInfo(), &TChangeDiskForm::StaticClassInfo(), &TRebootForm::StaticClassInfo(),
        &TSelectLanguageForm::StaticClassInfo()})
    RegisterClass(*c);
}

void CreatePageForms() {
  Application().CreateForm<TLicenseForm>();
  Application().CreateForm<TReadmeForm>();
  Application().CreateForm<TWelcomeForm>();
  Application().CreateForm<TCopyFileForm>();
  Application().CreateForm<TFileGroupSelectForm>();
  Application().CreateForm<TBadInstallForm>();
  Application().CreateForm<TGoodInstallForm>();
  Application().CreateForm<TSelectFolderForm>();
  Application().CreateForm<TChangeDiskForm>();
  Application().CreateForm<TRebootForm>();
  Application().CreateForm<TSelectLanguageForm>();
}

}  // namespace tav
