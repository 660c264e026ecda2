#include "dialogs/dlgcmp_TBaseDlg.h"

#include <algorithm>
#include <memory>

#include "core/properties.h"
#include "core/run_log.h"
#include "sys/run_state.h"
#include "dialogs/dialog_components.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "dialogs/page_bases.h"
#include "dialogs/page_registries.h"
#include "engine/cmp_TInstall.h"
#include "objects/cmp_TFileContainer.h"
#include "ui/application.h"

namespace tav {

constexpr std::string_view kManagerTypeNames[] = {
    "dmBeforeInstall", "dmAfterGoodInstall", "dmAfterBadInstall", "dmDuringCopyFiles", "dmChangeDisk", "dmReboot"};
constinit const TNameList ManagerTypeNames(kManagerTypeNames);

namespace {

// Set while a manager builds and shows its windows; a scope restores the manager it found, so a
// window shown from inside another phase gives the outer phase its manager back.
TRunSlot<TDialogManager*>& CurrentManager() {
  static auto& slot = TRunSlot<TDialogManager*>::Make("current dialog manager", nullptr);
  return slot;
}

}  // namespace

TDialogManager::TDialogManager(TComponent* owner) : TInstallObject(owner, kindDialog) {}

TDialogManager::~TDialogManager() {
  Destroying();
  // Freed while its windows are up (a handler freed the project): nothing may reach it any more.
  if (CurrentManager().Get() == this) CurrentManager().Set(nullptr);
  // The progress windows belong to the application; they go with the manager that showed them.
  std::vector<TBaseDuringCopyForm*> forms;
  forms.swap(duringCopyForms_);
  for (TBaseDuringCopyForm* f : forms) {
    f->RemoveFreeNotification(this);
    delete f;
  }
  std::vector<TCustomBaseInstallDlg*> dialogs;
  dialogs.swap(dialogs_);
  for (TCustomBaseInstallDlg* d : dialogs) d->SetDialogManager(nullptr);
}

const TClassInfo& TDialogManager::StaticClassInfo() {
  using P = Props<TDialogManager>;
  static constexpr TPropInfo props[] = {
      P::Reference<TInstallContainer, &TDialogManager::Container, &TDialogManager::SetContainer>("Container"),
      P::Integer<&TDialogManager::Height, &TDialogManager::SetHeight>("Height", 395),
      P::Enum<&TDialogManager::ManagerType, &TDialogManager::SetManagerType>("ManagerType", ManagerTypeNames,
                                                                             dmBeforeInstall),
      P::Enum<&TDialogManager::Position, &TDialogManager::SetPosition>("Position", DialogPositionNames, tdpCenter),
      // The offsets have no default, so they are always written.
      P::Integer<&TDialogManager::RelativeLeftOffset, &TDialogManager::SetRelativeLeftOffset>("RelativeLeftOffset"),
      P::Integer<&TDialogManager::RelativeTopOffset, &TDialogManager::SetRelativeTopOffset>("RelativeTopOffset"),
      P::Integer<&TDialogManager::Width, &TDialogManager::SetWidth>("Width", 478),
  };
  static constexpr TClassInfo info = MakeClassInfo<TDialogManager, TInstallObject>("TDialogManager", props);
  return info;
}

void TDialogManager::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != opRemove) return;
  duringCopyForms_.erase(std::remove(duringCopyForms_.begin(), duringCopyForms_.end(), component),
                         duringCopyForms_.end());
  dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), component), dialogs_.end());
}

int TDialogManager::HandleNotification(TObject* sender, int code, TObject* po) {
  TInstallObject::HandleNotification(sender, code, po);
  switch (code) {
    case ncBeforeInstallPhase:
      if (managerType_ == dmBeforeInstall) ShowPhase();
      break;
    case ncGoodEndPages:
      if (managerType_ == dmAfterGoodInstall) ShowPhase();
      break;
    case ncBadEndPages:
      if (managerType_ == dmAfterBadInstall) ShowPhase();
      break;
    case ncRebootPhase:
      if (managerType_ == dmReboot) ShowPhase();
      break;
    case ncFileStatus: {
      if (managerType_ != dmDuringCopyFiles) break;
      if (!po) throw IException("%s got a nil PO parameter", Name());
      auto* status = dynamic_cast<TFileStatusParameter*>(po);
      if (!status) throw IException("The PO object passed to %s is not a TFileStatusParameter object", Name());
      UpdateDuringCopyForms(status, nullptr);
      break;
    }
    case ncDownloadStatus: {
      if (managerType_ != dmDuringCopyFiles) break;
      if (!po) throw IException("%s got a nil PO parameter", Name());
      auto* status = dynamic_cast<TDownloadStatusParameter*>(po);
      if (!status) throw IException("The PO object passed to %s is not a TDownloadStatusParameter object", Name());
      UpdateDuringCopyForms(nullptr, status);
      break;
    }
    case ncOperationEnded:
      if (managerType_ == dmDuringCopyFiles) CloseDuringCopyForms();
      break;
    case ncChangeDisk:
      if (managerType_ == dmChangeDisk) ShowChangeDisk(po);
      break;
    default: break;
  }
  return 0;
}

void TDialogManager::ShowPhase() {
  // Unattended, no window: every page keeps its defaults, as if Next were pressed on each.
  if (Unattended()) return;
  TRunSlotScope<TDialogManager*> current(CurrentManager(), this);
  // Freed before the scope above ends, whatever happens.
  std::unique_ptr<TBaseFormContainer> container = TBaseFormContainer::CreateFromLayout(&Application());
  container->SetPosition(poDesigned);
  container->SetBounds(container->Left(), container->Top(), width_, height_);
  container->PlaceOnScreen(position_, relativeLeftOffset_, relativeTopOffset_);
  if (container->FillPages() == 0) return;
  if (container->ShowModal() == mrAbort) throw EAIUserAbort();
  container.reset();
  if (TForm* main = Application().MainForm()) main->Repaint();
  Application().ProcessMessages();
}

void TDialogManager::ShowDuringCopyForms() {
  for (const TDCFEntry& entry : DCFList()) {
    if (entry.Withdrawn) continue;
    std::unique_ptr<TForm> made =
        CreateFormFromLayout(*entry.FormClass, &Application(), TBaseDuringCopyForm::StaticClassInfo());
    auto* form = static_cast<TBaseDuringCopyForm*>(made.get());
    if (form->DM() != this) continue;
    if (TCustomBaseInstallDlg* dlg = entry.InstallDlg) {
      dlg->SetDialog(form);
      const TScreenPlace place =
          PlaceOnThisScreen(dlg->Width, dlg->Height, dlg->Position, dlg->RelativeLeftOffset, dlg->RelativeTopOffset);
      form->SetBounds(place.Left, place.Top, dlg->Width, dlg->Height);
    }
    form->PrepareShow();
    form->ApplyLanguage();
    form->Show();
    form->FreeNotification(this);
    duringCopyForms_.push_back(form);
    made.release();
  }
}

void TDialogManager::UpdateDuringCopyForms(TFileStatusParameter* fileStatus,
                                           TDownloadStatusParameter* downloadStatus) {
  if (Unattended()) return;
  if (duringCopyForms_.empty()) ShowDuringCopyForms();
  const std::vector<TBaseDuringCopyForm*> forms = duringCopyForms_;
  for (TBaseDuringCopyForm* f : forms) f->UpdateStatus(fileStatus, downloadStatus);
}

void TDialogManager::CloseDuringCopyForms() {
  std::vector<TBaseDuringCopyForm*> forms;
  forms.swap(duringCopyForms_);
  // Hidden, not freed: a status already on its way may still reach them.
  for (TBaseDuringCopyForm* f : forms) f->Hide();
  for (TBaseDuringCopyForm* f : forms) {
    f->RemoveFreeNotification(this);
    f->Release();
  }
}

void TDialogManager::ShowChangeDisk(TObject* parameters) {
  // Unattended, the requester answers its own question with the default.
  if (Unattended()) return;
  if (ChangeDiskList().empty() || ChangeDiskList().front().Withdrawn) return;
  const TBCDFEntry& entry = ChangeDiskList().front();
  std::unique_ptr<TForm> made =
      CreateFormFromLayout(*entry.FormClass, &Application(), TBaseChangeDiskForm::StaticClassInfo());
  TRunSlotScope<TDialogManager*> current(CurrentManager(), this);
  auto* form = static_cast<TBaseChangeDiskForm*>(made.get());
  if (form->DM() != this) return;
  if (!parameters)
    throw Exception(TranslateMessage("The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form"));
  auto* list = dynamic_cast<TList*>(parameters);
  if (!list) throw Exception(TranslateMessage("TChangeDiskDlg--PO is not a TList object"));
  if (list->Items.size() < 2) throw Exception(TranslateMessage("TChangeDiskDlg--Not engouh parameters for status event"));
  auto* file = dynamic_cast<TFileRelated*>(list->Items[0]);
  if (!file) throw Exception("TChangeDiskDlg says bad first parameter");
  auto* disk = dynamic_cast<TDiskParameter*>(list->Items[1]);
  if (!disk) throw Exception("TChangeDiskDlg says bad second parameter");
  // Answered by a page: the requester does not ask again with its own message box.
  file->SetTag(1);
  form->SetDiskParameter(disk);
  form->PrepareShow();
  form->ApplyLanguage();
  if (form->ShowModal() == mrAbort) throw EAIUserAbort();
}

void TDialogManager::AddDialog(TCustomBaseInstallDlg* dialog) {
  if (!dialog) throw Exception(Format(TranslateMessage("Cannot add a NIL Dialog to the Dialog Manager %s"), Name()));
  if (std::find(dialogs_.begin(), dialogs_.end(), dialog) != dialogs_.end()) return;
  dialogs_.push_back(dialog);
  dialog->FreeNotification(this);
}

void TDialogManager::RemoveDialog(TCustomBaseInstallDlg* dialog) {
  auto it = std::find(dialogs_.begin(), dialogs_.end(), dialog);
  if (it == dialogs_.end()) return;
  dialogs_.erase(it);
  dialog->RemoveFreeNotification(this);
}

TDialogManager* CurrentDialogManager() { return CurrentManager().Get(); }

TDialogManager* FindDialogManager(TManagerType type) {
  TInstallContainerList* list = InstallContainers();
  TCustomInstall* install = RunningInstaller();
  if (!list || !install) return nullptr;
  for (int i = 0; i < list->Count(); ++i) {
    auto* m = dynamic_cast<TDialogManager*>(list->Items(i));
    if (m && m->ManagerType() == type && m->Container() == install && !m->HasState(csDestroying)) return m;
  }
  return nullptr;
}

void RegisterDialogManagerClasses() {
  for (const TClassInfo* c :
       {&TDialogManager::StaticClassInfo(), &TBaseTavenrikForm::StaticClassInfo(),
        &TBaseInstallForm::StaticClassInfo(), &TBaseDuringCopyForm::StaticClassInfo(),
        &TBaseChangeDiskForm::StaticClassInfo(), &TBaseFormContainer::StaticClassInfo()})
    RegisterClass(*c);
}

}  // namespace tav
