#include "dialogs/page_bases.h"

#include <algorithm>

#include "archive/cmp_TTvrkCompress.h"
#include "core/properties.h"
#include "dialogs/dialog_components.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "engine/cmp_TInstall.h"
#include "ui/application.h"

namespace tav {

namespace {

// A plain list, not a run slot: every form in it exists and takes itself out when it goes, so the
// list is right at any time and a reset could only lose forms that still exist. Never destroyed, so
// a form freed during static destruction still finds it.
std::vector<TBaseTavenrikForm*>& LiveForms() {
  static auto& forms = *new std::vector<TBaseTavenrikForm*>;
  return forms;
}

}  // namespace

TCustomInstall* RunningInstaller() {
  TCurrentInstall* current = CurrentInstall();
  return current ? dynamic_cast<TCustomInstall*>(current->RootContainer()) : nullptr;
}

bool UserMayAbort() {
  TCustomInstall* install = RunningInstaller();
  return !install || install->ConfirmUserAbort();
}

TBaseTavenrikForm::TBaseTavenrikForm(TComponent* owner) : TForm(owner) { LiveForms().push_back(this); }

TBaseTavenrikForm::~TBaseTavenrikForm() {
  auto& forms = LiveForms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

const TClassInfo& TBaseTavenrikForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TBaseTavenrikForm, TForm>("TBaseTavenrikForm");
  return info;
}

void TBaseTavenrikForm::Loaded() {
  TForm::Loaded();
  Font().SetCharset(0);
}

void TBaseTavenrikForm::LanguageChanged(TTvrkLanguage) { ApplyLanguage(); }

// ApplyLanguage is in language_page.cpp, beside the translator's classes.

const std::vector<TBaseTavenrikForm*>& LiveTavenrikForms() { return LiveForms(); }

TBaseInstallForm::TBaseInstallForm(TComponent* owner) : TBaseTavenrikForm(owner) {}

const TClassInfo& TBaseInstallForm::StaticClassInfo() {
  using P = Props<TBaseInstallForm>;
  static constexpr TPropInfo props[] = {
      P::Reference<TCustomBaseInstallDlg, &TBaseInstallForm::DC, &TBaseInstallForm::SetDC>("DC"),
      P::Reference<TDialogManager, &TBaseInstallForm::DM, &TBaseInstallForm::SetDM>("DM"),
      P::Integer<&TBaseInstallForm::Order, &TBaseInstallForm::SetOrder>("Order", 0),
  };
  static constexpr TClassInfo info = MakeClassInfo<TBaseInstallForm, TBaseTavenrikForm>("TBaseInstallForm", props);
  return info;
}

void TBaseInstallForm::SetDC(TCustomBaseInstallDlg* value) { TrackComponent(*this, dc_, value); }
void TBaseInstallForm::SetDM(TDialogManager* value) { TrackComponent(*this, dm_, value); }

void TBaseInstallForm::Notification(TComponent* component, TOperation operation) {
  TBaseTavenrikForm::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dm_) dm_ = nullptr;
  if (component == dc_) dc_ = nullptr;
}

void TBaseInstallForm::Loaded() {
  TBaseTavenrikForm::Loaded();
  auto* host = dynamic_cast<TForm*>(Owner());
  if (!host) return;
  // Embedded: a borderless child of the host, hidden until the host stacks it.
  SetVisible(false);
  SetBorderIcons(0);
  SetBorderStyle(bsNone);
  SetParent(host);
  HandleNeeded();
  SetBounds(0, 0, host->ClientWidth(), host->Height());
}

TBaseFormContainer* TBaseInstallForm::HostContainer() const { return dynamic_cast<TBaseFormContainer*>(Owner()); }

bool TBaseInstallForm::IsFirstPage() {
  TBaseFormContainer* c = HostContainer();
  if (!c) return false;
  for (int i = 0; i < c->PageIndex() && i < c->PageCount(); ++i) {
    if (!c->Page(i)->SkipPage()) return false;
  }
  return true;
}

bool TBaseInstallForm::IsLastPage() {
  TBaseFormContainer* c = HostContainer();
  return c && c->PageIndex() == c->PageCount() - 1;
}

void TBaseInstallForm::CancelPhase() {
  if (TBaseFormContainer* c = HostContainer()) {
    c->SetModalResult(mrAbort);
  } else {
    SetModalResult(mrAbort);
  }
}

void TBaseInstallForm::GoNext() {
  if (TBaseFormContainer* c = HostContainer()) c->NextPage();
}

void TBaseInstallForm::GoPrevious() {
  if (TBaseFormContainer* c = HostContainer()) c->PreviousPage();
}

void TBaseInstallForm::ActivatePage() {
  if (!dynamic_cast<TForm*>(Owner())) return;
  PrepareShow();
  if (!Visible()) Show();
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TBaseInstallForm::QueryCancel() {
  if (UserMayAbort()) CancelPhase();
}

const TClassInfo& TBaseDuringCopyForm::StaticClassInfo() {
  using P = Props<TBaseDuringCopyForm>;
  static constexpr TPropInfo props[] = {
      P::Reference<TDialogManager, &TBaseDuringCopyForm::DM, &TBaseDuringCopyForm::SetDM>("DM"),
  };
  static constexpr TClassInfo info =
      MakeClassInfo<TBaseDuringCopyForm, TBaseTavenrikForm>("TBaseDuringCopyForm", props);
  return info;
}

void TBaseDuringCopyForm::SetDM(TDialogManager* value) { TrackComponent(*this, dm_, value); }

void TBaseDuringCopyForm::Notification(TComponent* component, TOperation operation) {
  TBaseTavenrikForm::Notification(component, operation);
  if (operation == opRemove && component == dm_) dm_ = nullptr;
}

void TBaseDuringCopyForm::Cancel() {
  if (!UserMayAbort()) return;
  if (TTvrkCompress* extractor = ActiveExtractor()) extractor->SetAbort(true);
  SetUserAbortRequested(true);
}

const TClassInfo& TBaseChangeDiskForm::StaticClassInfo() {
  using P = Props<TBaseChangeDiskForm>;
  static constexpr TPropInfo props[] = {
      P::Reference<TDialogManager, &TBaseChangeDiskForm::DM, &TBaseChangeDiskForm::SetDM>("DM"),
  };
  static constexpr TClassInfo info =
      MakeClassInfo<TBaseChangeDiskForm, TBaseTavenrikForm>("TBaseChangeDiskForm", props);
  return info;
}

void TBaseChangeDiskForm::SetDM(TDialogManager* value) { TrackComponent(*this, dm_, value); }

void TBaseChangeDiskForm::Notification(TComponent* component, TOperation operation) {
  TBaseTavenrikForm::Notification(component, operation);
  if (operation == opRemove && component == dm_) dm_ = nullptr;
}

void TBaseChangeDiskForm::Cancel() {
  if (UserMayAbort()) SetModalResult(mrAbort);
}

}  // namespace tav
