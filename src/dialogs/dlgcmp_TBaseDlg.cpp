#include "dialogs/dlgcmp_TBaseDlg.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "archive/cmp_TTvrkCompress.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "engine/cmp_TInstall.h"
#include "objects/cmp_TFileContainer.h"
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
  return static_cast<int>(std::nearbyint(screen / 2.0 - window / 2.0));
}

std::vector<TBaseTavenrikForm*>& LiveForms() {
  static std::vector<TBaseTavenrikForm*> forms;
  return forms;
}

TDialogManager* gCurrentManager = nullptr;

// Sets the current manager for a scope; whatever happens, it is nil again afterwards.
struct TCurrentManagerScope {
  explicit TCurrentManagerScope(TDialogManager* manager) { gCurrentManager = manager; }
  ~TCurrentManagerScope() { gCurrentManager = nullptr; }
};

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

// Keeps a reference to a component that may be freed first.
template <class T>
void Track(TComponent& self, T*& field, T* value) {
  if (field == value) return;
  if (field) field->RemoveFreeNotification(&self);
  field = value;
  if (field) field->FreeNotification(&self);
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

TScreenPlace PlaceOnThisScreen(int width, int height, TTavenrikDialogPosition position, int leftOffset,
                               int topOffset) {
  const int dpi = WindowDpi(nullptr);
  return PlaceOnScreen(ScaleToLogical(GetSystemMetrics(SM_CXSCREEN), dpi),
                       ScaleToLogical(GetSystemMetrics(SM_CYSCREEN), dpi), width, height,
                       ScaleToLogical(GetSystemMetrics(SM_CYCAPTION), dpi), position, leftOffset, topOffset);
}

TCustomInstall* RunningInstaller() {
  TCurrentInstall* current = CurrentInstall();
  return current ? dynamic_cast<TCustomInstall*>(current->RootContainer()) : nullptr;
}

bool UserMayAbort() {
  TCustomInstall* install = RunningInstaller();
  return !install || install->ConfirmUserAbort();
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

void TBaseTavenrikForm::Loaded() {
  TForm::Loaded();
  Font().SetCharset(0);
}

void TBaseTavenrikForm::LanguageChanged(TTvrkLanguage) { ApplyLanguage(); }

void TBaseTavenrikForm::ApplyLanguage() {
  // No translator yet: the layout's English texts and fonts stand.
  Application().ProcessMessages();
}

const std::vector<TBaseTavenrikForm*>& LiveTavenrikForms() { return LiveForms(); }

TBaseInstallForm::TBaseInstallForm(TComponent* owner) : TBaseTavenrikForm(owner) {}

const TClassInfo& TBaseInstallForm::StaticClassInfo() {
  using P = Props<TBaseInstallForm>;
  static const TClassInfo info = MakeClassInfo<TBaseInstallForm, TBaseTavenrikForm>(
      "TBaseInstallForm",
      {P::Reference<TCustomBaseInstallDlg>("DC", &TBaseInstallForm::DC, &TBaseInstallForm::SetDC),
       P::Reference<TDialogManager>("DM", &TBaseInstallForm::DM, &TBaseInstallForm::SetDM),
       P::Integer("Order", &TBaseInstallForm::Order, &TBaseInstallForm::SetOrder, 0)});
  return info;
}

void TBaseInstallForm::SetDC(TCustomBaseInstallDlg* value) { Track(*this, dc_, value); }
void TBaseInstallForm::SetDM(TDialogManager* value) { Track(*this, dm_, value); }

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
  static const TClassInfo info = MakeClassInfo<TBaseDuringCopyForm, TBaseTavenrikForm>(
      "TBaseDuringCopyForm",
      {P::Reference<TDialogManager>("DM", &TBaseDuringCopyForm::DM, &TBaseDuringCopyForm::SetDM)});
  return info;
}

void TBaseDuringCopyForm::SetDM(TDialogManager* value) { Track(*this, dm_, value); }

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
  static const TClassInfo info = MakeClassInfo<TBaseChangeDiskForm, TBaseTavenrikForm>(
      "TBaseChangeDiskForm",
      {P::Reference<TDialogManager>("DM", &TBaseChangeDiskForm::DM, &TBaseChangeDiskForm::SetDM)});
  return info;
}

void TBaseChangeDiskForm::SetDM(TDialogManager* value) { Track(*this, dm_, value); }

void TBaseChangeDiskForm::Notification(TComponent* component, TOperation operation) {
  TBaseTavenrikForm::Notification(component, operation);
  if (operation == opRemove && component == dm_) dm_ = nullptr;
}

void TBaseChangeDiskForm::Cancel() {
  if (UserMayAbort()) SetModalResult(mrAbort);
}

// --- registries ---

const std::deque<TBIFEntry>& BIFList() { return InstallPages(); }
const std::deque<TDCFEntry>& DCFList() { return DuringCopyPages(); }
const std::deque<TBCDFEntry>& ChangeDiskList() { return ChangeDiskPages(); }

TBIFEntry& RegisterInstallPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog, int reserved) {
  return InstallPages().emplace_back(TBIFEntry{&formClass, dialog, reserved});
}
TDCFEntry& RegisterDuringCopyPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog, int reserved) {
  return DuringCopyPages().emplace_back(TDCFEntry{&formClass, dialog, reserved});
}
TBCDFEntry& RegisterChangeDiskPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog, int reserved) {
  return ChangeDiskPages().emplace_back(TBCDFEntry{&formClass, dialog, reserved});
}

int InstallPageCount() { return static_cast<int>(InstallPages().size()); }

const TBIFEntry& InstallPage(int index) {
  if (index < 0 || index >= InstallPageCount())
    throw Exception(Format(TranslateMessage("%d is an invalid index in the BIFList"), index));
  const TBIFEntry& entry = InstallPages()[static_cast<size_t>(index)];
  if (!entry.FormClass) throw Exception(Format(TranslateMessage("The %d 'th entry in the BIFList is NIL"), index));
  return entry;
}

// --- the manager ---

TDialogManager::TDialogManager(TComponent* owner) : TInstallObject(owner, kindDialog) {}

TDialogManager::~TDialogManager() {
  Destroying();
  if (gCurrentManager == this) gCurrentManager = nullptr;
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
  TCurrentManagerScope current(this);
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
  if (ChangeDiskList().empty() || ChangeDiskList().front().Withdrawn) return;
  const TBCDFEntry& entry = ChangeDiskList().front();
  std::unique_ptr<TForm> made =
      CreateFormFromLayout(*entry.FormClass, &Application(), TBaseChangeDiskForm::StaticClassInfo());
  TCurrentManagerScope current(this);
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

TDialogManager* CurrentDialogManager() { return gCurrentManager; }

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

// --- dialog components ---

TCustomBaseInstallDlg::TCustomBaseInstallDlg(TComponent* owner) : TInstallObject(owner, kindDialog) {}

TCustomBaseInstallDlg::~TCustomBaseInstallDlg() {
  Destroying();
  for (auto* list : {&InstallPages(), &DuringCopyPages(), &ChangeDiskPages()}) {
    for (TBIFEntry& entry : *list) {
      if (entry.InstallDlg != this) continue;
      entry.InstallDlg = nullptr;
      entry.Withdrawn = true;
    }
  }
  if (dialogManager_) dialogManager_->RemoveDialog(this);
  dialogManager_ = nullptr;
}

const TClassInfo& TCustomBaseInstallDlg::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TCustomBaseInstallDlg, TInstallObject>("TCustomBaseInstallDlg", {});
  return info;
}

void TCustomBaseInstallDlg::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dialogManager_) dialogManager_ = nullptr;
  if (component == dialog_) dialog_ = nullptr;
}

void TCustomBaseInstallDlg::SetDialog(TForm* dialog) { Track<TForm>(*this, dialog_, dialog); }

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
  if (!ShouldShow()) return true;
  std::unique_ptr<TForm> page = CreateFormFromLayout(FormClass(), &Application(), TForm::StaticClassInfo());
  SetDialog(page.get());
  AssignDialogProperties();
  const int result = page->ShowModal();
  page.reset();
  if (result != mrOk) throw EAIUserAbort();
  return true;
}

void RegisterDialogManagerClasses() {
  for (const TClassInfo* c :
       {&TDialogManager::StaticClassInfo(), &TBaseTavenrikForm::StaticClassInfo(),
        &TBaseInstallForm::StaticClassInfo(), &TBaseDuringCopyForm::StaticClassInfo(),
        &TBaseChangeDiskForm::StaticClassInfo(), &TBaseFormContainer::StaticClassInfo()})
    RegisterClass(*c);
}

}  // namespace tav
