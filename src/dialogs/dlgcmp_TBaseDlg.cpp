#include "dialogs/dlgcmp_TBaseDlg.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "dialogs/dlgcmp_TBaseContainer.h"
#include "engine/cmp_TInstall.h"
#include "ui/application.h"

namespace tav {

const std::vector<std::string> ManagerTypeNames = {"dmBeforeInstall",   "dmAfterGoodInstall", "dmAfterBadInstall",
                                                   "dmDuringCopyFiles", "dmChangeDisk",       "dmReboot"};
const std::vector<std::string> DialogPositionNames = {
    "tdpCenterLeft", "tdpCenter",     "tdpCenterRight", "tdpBottomLeft", "tdpBottomCenter",
    "tdpBottomRight", "tdpTopLeft", "tdpTopCenter",   "tdpTopRight"};

namespace {

// Half the free space, rounded to the nearest integer with ties to even.
int CentreOf(int screen, int window) {
  const double half = screen / 2.0 - window / 2.0;
  const double down = std::floor(half);
  const double diff = half - down;
  if (diff < 0.5) return static_cast<int>(down);
  if (diff > 0.5) return static_cast<int>(down) + 1;
  return static_cast<int>(std::fmod(down, 2.0) == 0.0 ? down : down + 1);
}

std::vector<TBaseTavenrikForm*>& LiveForms() {
  static std::vector<TBaseTavenrikForm*> forms;
  return forms;
}

std::vector<TDialogManager*>& Managers() {
  static std::vector<TDialogManager*> managers;
  return managers;
}

TDialogManager* gCurrentManager = nullptr;

std::deque<TBIFEntry>& InstallPages() {
  static std::deque<TBIFEntry> list;
  return list;
}
std::deque<TDCFEntry>& DuringCopyPages() {
  static std::deque<TDCFEntry> list;
  return list;
}
std::deque<TBCDFEntry>& ChangeDiskPages() {
  static std::deque<TBCDFEntry> list;
  return list;
}

}  // namespace

TScreenPlace PlaceOnScreen(int screenWidth, int screenHeight, int width, int height, int captionHeight,
                           TTavenrikDialogPosition position, int leftOffset, int topOffset) {
  TScreenPlace place;
  const int column = static_cast<int>(position) % 3;
  const int row = static_cast<int>(position) / 3;
  switch (column) {
    case 0: place.Left = leftOffset; break;
    case 1: place.Left = leftOffset + CentreOf(screenWidth, width); break;
    default: place.Left = screenWidth - width - leftOffset; break;
  }
  switch (row) {
    case 0: place.Top = topOffset + CentreOf(screenHeight, height); break;
    case 1: place.Top = screenHeight - captionHeight - height - topOffset; break;
    default: place.Top = topOffset; break;
  }
  return place;
}

// --- page forms ---

TBaseTavenrikForm::TBaseTavenrikForm(TComponent* owner) : TForm(owner) { LiveForms().push_back(this); }

TBaseTavenrikForm::~TBaseTavenrikForm() {
  auto& forms = LiveForms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

const TClassInfo& TBaseTavenrikForm::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TBaseTavenrikForm, TForm>("TBaseTavenrikForm", {});
  return info;
}

const std::vector<TBaseTavenrikForm*>& LiveTavenrikForms() { return LiveForms(); }

TBaseInstallForm::TBaseInstallForm(TComponent* owner) : TBaseTavenrikForm(owner) {}

const TClassInfo& TBaseInstallForm::StaticClassInfo() {
  using P = Props<TBaseInstallForm>;
  static const TClassInfo info = MakeClassInfo<TBaseInstallForm, TBaseTavenrikForm>(
      "TBaseInstallForm", {P::Reference<TDialogManager>("DM", &TBaseInstallForm::DM, &TBaseInstallForm::SetDM),
                           P::Integer("Order", &TBaseInstallForm::Order, &TBaseInstallForm::SetOrder, 0)});
  return info;
}

void TBaseInstallForm::SetDM(TDialogManager* value) {
  if (dm_ == value) return;
  if (dm_) dm_->RemoveFreeNotification(this);
  dm_ = value;
  if (dm_) dm_->FreeNotification(this);
}

void TBaseInstallForm::Notification(TComponent* component, TOperation operation) {
  TBaseTavenrikForm::Notification(component, operation);
  if (operation == opRemove && component == dm_) dm_ = nullptr;
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
  TCurrentInstall* current = CurrentInstall();
  auto* install = current ? dynamic_cast<TCustomInstall*>(current->RootContainer()) : nullptr;
  if (!install || install->ConfirmUserAbort()) CancelPhase();
}

// --- registries ---

const std::deque<TBIFEntry>& BIFList() { return InstallPages(); }
const std::deque<TDCFEntry>& DCFList() { return DuringCopyPages(); }
const std::deque<TBCDFEntry>& ChangeDiskList() { return ChangeDiskPages(); }

TBIFEntry& RegisterInstallPage(const TClassInfo& formClass, int reserved) {
  return InstallPages().emplace_back(TBIFEntry{&formClass, reserved});
}
TDCFEntry& RegisterDuringCopyPage(const TClassInfo& formClass, int reserved) {
  return DuringCopyPages().emplace_back(TDCFEntry{&formClass, reserved});
}
TBCDFEntry& RegisterChangeDiskPage(const TClassInfo& formClass, int reserved) {
  return ChangeDiskPages().emplace_back(TBCDFEntry{&formClass, reserved});
}

// --- the manager ---

TDialogManager::TDialogManager(TComponent* owner) : TInstallObject(owner, kindDialog) {
  Managers().push_back(this);
}

TDialogManager::~TDialogManager() {
  auto& managers = Managers();
  managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
  if (gCurrentManager == this) gCurrentManager = nullptr;
}

const TClassInfo& TDialogManager::StaticClassInfo() {
  using P = Props<TDialogManager>;
  static const TClassInfo info = MakeClassInfo<TDialogManager, TInstallObject>(
      "TDialogManager",
      {P::Reference<TInstallContainer>("Container", &TDialogManager::Container, &TDialogManager::SetContainer),
       P::Integer("Height", &TDialogManager::Height, &TDialogManager::SetHeight, 395),
       P::Enum("ManagerType", ManagerTypeNames, &TDialogManager::ManagerType, &TDialogManager::SetManagerType,
               dmBeforeInstall),
       P::Enum("Position", DialogPositionNames, &TDialogManager::Position, &TDialogManager::SetPosition, tdpCenter),
       // The offsets have no default, so they are always written.
       P::Integer("RelativeLeftOffset", &TDialogManager::RelativeLeftOffset, &TDialogManager::SetRelativeLeftOffset),
       P::Integer("RelativeTopOffset", &TDialogManager::RelativeTopOffset, &TDialogManager::SetRelativeTopOffset),
       P::Integer("Width", &TDialogManager::Width, &TDialogManager::SetWidth, 478)});
  return info;
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
  struct ResetCurrent {
    ~ResetCurrent() { gCurrentManager = nullptr; }
  } reset;
  gCurrentManager = this;
  // Freed before the reset above, whatever happens.
  std::unique_ptr<TBaseFormContainer> container(new TBaseFormContainer(&Application()));
  container->SetPosition(poDesigned);
  container->SetBounds(container->Left(), container->Top(), width_, height_);
  container->PlaceOnScreen(position_, relativeLeftOffset_, relativeTopOffset_);
  if (container->FillPages() == 0) return;
  if (container->ShowModal() == mrAbort) throw EAIUserAbort();
  if (TForm* main = Application().MainForm()) main->Repaint();
  Application().ProcessMessages();
}

// The progress windows and the disk prompt arrive with their page classes.
void TDialogManager::UpdateDuringCopyForms(TFileStatusParameter*, TDownloadStatusParameter*) {}
void TDialogManager::CloseDuringCopyForms() {}
void TDialogManager::ShowChangeDisk(TObject*) {}

TDialogManager* CurrentDialogManager() { return gCurrentManager; }

TDialogManager* FindDialogManager(TManagerType type) {
  for (TDialogManager* m : Managers()) {
    if (m->ManagerType() == type) return m;
  }
  return nullptr;
}

void RegisterDialogManagerClasses() {
  for (const TClassInfo* c : {&TDialogManager::StaticClassInfo(), &TBaseTavenrikForm::StaticClassInfo(),
                              &TBaseInstallForm::StaticClassInfo(), &TBaseFormContainer::StaticClassInfo()})
    RegisterClass(*c);
}

}  // namespace tav
