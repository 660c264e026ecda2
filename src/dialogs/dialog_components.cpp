#include "dialogs/dialog_components.h"

#include <memory>

#include "core/properties.h"
#include "core/run_log.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/page_bases.h"
#include "dialogs/page_registries.h"
#include "ui/application.h"

namespace tav {

TCustomBaseInstallDlg::TCustomBaseInstallDlg(TComponent* owner) : TInstallObject(owner, kindDialog) {}

TCustomBaseInstallDlg::~TCustomBaseInstallDlg() {
  Destroying();
  WithdrawPages(this);
  if (dialogManager_) dialogManager_->RemoveDialog(this);
  dialogManager_ = nullptr;
}

const TClassInfo& TCustomBaseInstallDlg::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCustomBaseInstallDlg, TInstallObject>("TCustomBaseInstallDlg");
  return info;
}

void TCustomBaseInstallDlg::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dialogManager_) dialogManager_ = nullptr;
  if (component == dialog_) dialog_ = nullptr;
}

void TCustomBaseInstallDlg::SetDialog(TForm* dialog) { TrackComponent<TForm>(*this, dialog_, dialog); }

void TCustomBaseInstallDlg::LanguageChanged(TTvrkLanguage) { ApplyLanguage(); }

void TCustomBaseInstallDlg::SetDialogManager(TDialogManager* manager) {
  if (manager == dialogManager_) return;
  if (manager) manager->AddDialog(this);
  if (dialogManager_) dialogManager_->RemoveDialog(this);
  dialogManager_ = manager;
}

void TCustomBaseInstallDlg::ApplyLanguage() {
  auto* page = dynamic_cast<TBaseTavenrikForm*>(dialog_);
  if (!page) return;
  page->ApplyLanguage();
  TextLanguage = page->TextLanguage;
}

void TCustomBaseInstallDlg::AssignDialogProperties() {
  if (!dialog_)
    throw Exception(
        Format(TranslateMessage("Cannot AssignDialogProperties for %s because the Dialog is Nil"), Name()));
  if (auto* page = dynamic_cast<TBaseTavenrikForm*>(dialog_)) {
    page->UseLanguageFont = UseLanguageFont;
    page->TranslateTexts = TranslateTexts;
    page->InstallObject = Container();
    page->UseFixedLanguage = UseFixedLanguage;
    page->FixedLanguage = FixedLanguage;
  }
  if (auto* page = dynamic_cast<TBaseInstallForm*>(dialog_)) page->SetDC(this);
  ApplyLanguage();
}

bool TCustomBaseInstallDlg::Execute() {
  try {
    if (OnBeforeExecute) OnBeforeExecute(this);
    ShowDialog();
    Application().ProcessMessages();
    if (OnAfterExecute) OnAfterExecute(this);
    return true;
  } catch (const EAbort&) {
    return false;
  }
}

bool TCustomBaseInstallDlg::ShowDialog() {
  // Unattended, a page is taken as confirmed with what it holds.
  if (!ShouldShow() || Unattended()) return true;
  std::unique_ptr<TForm> page = CreateFormFromLayout(FormClass(), &Application(), TForm::StaticClassInfo());
  SetDialog(page.get());
  AssignDialogProperties();
  const int result = page->ShowModal();
  page.reset();
  if (result != mrOk) throw EAIUserAbort();
  return true;
}

}  // namespace tav
