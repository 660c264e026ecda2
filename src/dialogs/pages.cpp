#include "dialogs/pages.h"

#include "config/resources.h"
#include "core/properties.h"
#include "core/routines_API.h"
#include "core/routines_Strings.h"
#include "core/run_log.h"
#include "dialogs/language_page.h"
#include "dialogs/page_registries.h"
#include "dialogs/routines_FileSystem.h"
#include "dialogs/select_page.h"
#include "engine/cmp_TInstall.h"
#include "paths/cmp_TPathSpecifier.h"
#include "paths/routines_ExpandPaths.h"
#include "shell/cmp_TInstallShellLink.h"
#include "shell/cmp_TProgramManager.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "ui/win32.h"

namespace tav {

namespace {

// Our own pictures ship as bitmap resources; a layout that holds none gets the named one.
void UseBitmapResource(TBitmap& target, const char* name) {
  if (!target.Empty()) return;
  if (auto bmp = config::FindBitmapResource(name)) target.SetBmp(*bmp);
}

void UsePictureResource(TImage* image, const char* name) {
  if (!image || !image->Picture().Bitmap().Empty()) return;
  TBitmap bitmap;
  UseBitmapResource(bitmap, name);
  if (bitmap.Empty()) return;
  image->Picture().Assign(bitmap);
  image->Invalidate();
}

template <class T>
T* OptionalChild(TComponent& root, const std::string& name) {
  return dynamic_cast<T*>(root.FindComponent(name));
}

// The control gets the focus as soon as its window is shown and active.
void Focus(TWinControl* control) {
  if (!control || !control->Visible()) return;
  if (TForm* form = GetParentForm(control)) form->SetActiveControl(control);
}

}  // namespace

// --- the common frame ---

TWizardPage::TWizardPage(TComponent* owner, TManagerType phase, int order) : TBaseInstallForm(owner) {
  SetDM(FindDialogManager(phase));
  SetOrder(order);
}

const TClassInfo& TWizardPage::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TWizardPage, TBaseInstallForm>("TWizardPage");
  return info;
}

void TWizardPage::Loaded() {
  TBaseInstallForm::Loaded();
  back_ = OptionalChild<TBitBtn>(*this, "BackBtn");
  next_ = OptionalChild<TBitBtn>(*this, "NextBtn");
  finish_ = OptionalChild<TBitBtn>(*this, "FinishBtn");
  cancel_ = OptionalChild<TBitBtn>(*this, "CancelBtn");
  theme_ = OptionalChild<TImage>(*this, "ThemeBitmap");
  if (back_) back_->OnClick = [this](TObject*) { GoPrevious(); };
  if (next_) next_->OnClick = [this](TObject*) { GoNext(); };
  if (finish_) finish_->OnClick = [this](TObject*) { GoNext(); };
  if (cancel_) {
    cancel_->OnClick = [this](TObject*) { QueryCancel(); };
    UseBitmapResource(cancel_->Glyph(), "TAVCANCEL");
  }
  if (theme_ && theme_->Picture().Bitmap().Empty()) {
    if (TCustomInstall* install = RunningInstaller()) theme_->Picture().Assign(install->DialogThemeBitmap());
  }
}

void TWizardPage::PrepareShow() {
  if (!EndPage()) {
    if (back_) back_->SetVisible(!IsFirstPage());
    if (next_ && next_->Visible() && Visible()) Focus(next_);
    return;
  }
  ShowEndButtons();
  if (next_ && next_->Visible()) {
    Focus(next_);
  } else {
    Focus(finish_);
  }
}

void TWizardPage::ShowEndButtons() {
  if (back_) back_->SetVisible(!IsFirstPage());
  if (next_) next_->SetVisible(!IsLastPage());
  finish_->SetVisible(!next_ || !next_->Visible());
}

const TClassInfo& TWelcomeForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TWelcomeForm, TWizardPage>("TWelcomeForm");
  return info;
}

const TClassInfo& TLicenseForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TLicenseForm, TWizardPage>("TLicenseForm");
  return info;
}

const TClassInfo& TReadmeForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TReadmeForm, TWizardPage>("TReadmeForm");
  return info;
}

// --- the start-menu folder page ---

const TClassInfo& TSelectFolderForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TSelectFolderForm, TWizardPage>("TSelectFolderForm");
  return info;
}

std::vector<std::string> SubfolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(sys::Wide(folder + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
      names.push_back(sys::Narrow(name));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

void TSelectFolderForm::Loaded() {
  TWizardPage::Loaded();
  list_ = &LayoutChild<TListBox>(*this, "FolderListBox");
  edit_ = &LayoutChild<TEdit>(*this, "FolderEdit");
  list_->OnClick = [this](TObject*) {
    if (list_->ItemIndex() >= 0) edit_->SetText(list_->Items().Get(list_->ItemIndex()));
  };
  edit_->OnChange = [this](TObject*) { FolderEditChange(); };
  if (auto* label = OptionalChild<TLabel>(*this, "Label1")) {
    OnResize = [this, label](TObject*) {
      label->SetHeight(18);
      if (auto* l3 = OptionalChild<TLabel>(*this, "Label3")) l3->SetHeight(8);
      if (auto* l4 = OptionalChild<TLabel>(*this, "Label4")) l4->SetHeight(8);
    };
  }
}

bool TSelectFolderForm::SkipPage() {
  InstallObject = MainLinkGroup();
  return InstallObject == nullptr;
}

void TSelectFolderForm::FillFolders(const std::vector<std::string>& folders, const std::string& current) {
  list_->Items().Clear();
  for (const std::string& f : folders) list_->Items().Add(f);
  edit_->SetText(current);
  if (edit_->Text().empty() && list_->Items().Count() > 0) edit_->SetText(list_->Items().Get(0));
}

std::vector<std::string> TSelectFolderForm::ExistingFolders() {
  const int version = WindowsVersion();
  if (version == 1 || version == 2) return SubfolderNames(ProgramsFolder());
  return ProgramManager().GetGroups();
}

void TSelectFolderForm::FolderEditChange() {
  auto* group = dynamic_cast<TMainLinkGroup*>(InstallObject);
  if (!group) return;
  group->SetDestDirType(nullptr);  // the group keeps the Programs folder whatever it is given
  group->SetDestDir("\\" + edit_->Text());
}

void TSelectFolderForm::PrepareShow() {
  TWizardPage::PrepareShow();
  InstallObject = MainLinkGroup();
  auto* group = dynamic_cast<TMainLinkGroup*>(InstallObject);
  std::string current;
  if (group && group->DestDirType() && group->DestDirType()->InheritsFrom(TpsProgramMenu::StaticClassInfo()))
    current = ExtractFileName(ExcludeTrailingBackslash(group->DestDir()));
  FillFolders(ExistingFolders(), current);
  Focus(NextBtn());
}

// --- the end pages ---

const TClassInfo& TGoodInstallForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TGoodInstallForm, TWizardPage>("TGoodInstallForm");
  return info;
}

const TClassInfo& TBadInstallForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TBadInstallForm, TWizardPage>("TBadInstallForm");
  return info;
}

const TClassInfo& TRebootForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TRebootForm, TWizardPage>("TRebootForm");
  return info;
}

void TRebootForm::Loaded() {
  TWizardPage::Loaded();
  rg_ = &LayoutChild<TRadioGroup>(*this, "RG");
  rg_->OnClick = [this](TObject*) { RGClick(); };
}

void TRebootForm::PrepareShow() {
  // As the other end pages, but only Next takes the focus.
  ShowEndButtons();
  Focus(NextBtn());
  updating_ = true;
  try {
    rg_->SetItemIndex(1);
    if (TCustomInstall* install = RunningInstaller(); install && install->Reboot()) rg_->SetItemIndex(0);
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TRebootForm::RGClick() {
  if (updating_) return;
  if (TCustomInstall* install = RunningInstaller()) install->SetReboot(rg_->ItemIndex() == 0);
}

// --- the progress window ---

TCopyFileForm::TCopyFileForm(TComponent* owner) : TBaseDuringCopyForm(owner) {
  SetDM(FindDialogManager(dmDuringCopyFiles));
}

const TClassInfo& TCopyFileForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCopyFileForm, TBaseDuringCopyForm>("TCopyFileForm");
  return info;
}

void TCopyFileForm::Loaded() {
  TBaseDuringCopyForm::Loaded();
  transfer_ = &LayoutChild<TImage>(*this, "TransferBitmap");
  file_ = &LayoutChild<TProgressBar>(*this, "ProgressBar1");
  total_ = &LayoutChild<TProgressBar>(*this, "ProgressBar2");
  item_ = &LayoutChild<TLabel>(*this, "lblCopyingFile");
  UsePictureResource(OptionalChild<TImage>(*this, "UnZipImage"), "TAVEXTRACT");
  UsePictureResource(transfer_, "TAVTRANSFER");
  auto& cancel = LayoutChild<TBitBtn>(*this, "CancelBtn");
  cancel.OnClick = [this](TObject*) { Cancel(); };
  UseBitmapResource(cancel.Glyph(), "TAVCANCEL");
}

void TCopyFileForm::UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) {
  if (!fileStatus && !downloadStatus) return;
  const bool download = downloadStatus != nullptr;
  const bool kindChanged = !shownOnce_ || download != pending_.download;
  pending_.download = download;
  if (fileStatus) {
    pending_.total = fileStatus->TotalPercentDone;
    pending_.file = fileStatus->FilePercentDone;
    pending_.name = fileStatus->FileName;
  } else {
    pending_.file = downloadStatus->Percent;
    pending_.name = downloadStatus->FileName;
  }
  // Every change of a bar or the label is a round trip to the window system (a few ms under Wine),
  // and a status comes per 64 KB and per file: the window takes the latest values ten times a
  // second, which an eye follows, at once when it switches between copying and downloading, and at
  // once when the copy first reaches its end, so that the end is on the screen. The total rounds to
  // 100 % some files before the last; those follow the usual pace.
  const auto now = std::chrono::steady_clock::now();
  const bool finished = fileStatus && fileStatus->FilePercentDone >= 100 && fileStatus->TotalPercentDone >= 100;
  if (kindChanged || (finished && !shownFinished_) || now - lastPaint_ >= std::chrono::milliseconds(100)) {
    lastPaint_ = now;
    ShowPending();
  }
}

void TCopyFileForm::ShowPending() {
  shownOnce_ = true;
  shownFinished_ = !pending_.download && pending_.file >= 100 && pending_.total >= 100;
  transfer_->SetVisible(pending_.download);
  if (!pending_.download) total_->SetPosition(pending_.total);
  file_->SetPosition(pending_.file);
  item_->SetCaption(pending_.name);
  if (HandleAllocated()) RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// --- the disk prompt ---

TChangeDiskForm::TChangeDiskForm(TComponent* owner) : TBaseChangeDiskForm(owner) {
  SetDM(FindDialogManager(dmChangeDisk));
}

const TClassInfo& TChangeDiskForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TChangeDiskForm, TBaseChangeDiskForm>("TChangeDiskForm");
  return info;
}

void TChangeDiskForm::Loaded() {
  TBaseChangeDiskForm::Loaded();
  prompt_ = &LayoutChild<TLabel>(*this, "PromptDiskLabel");
  path_ = &LayoutChild<TEdit>(*this, "PathEdit");
  proceed_ = &LayoutChild<TBitBtn>(*this, "InstallBtn");
  UsePictureResource(OptionalChild<TImage>(*this, "ThemeBitmap"), "TAVDISK");
  LayoutChild<TBitBtn>(*this, "BrowseBtn").OnClick = [this](TObject*) { BrowseBtnClick(); };
  auto& cancel = LayoutChild<TBitBtn>(*this, "CancelBtn");
  cancel.OnClick = [this](TObject*) { Cancel(); };
  UseBitmapResource(cancel.Glyph(), "TAVCANCEL");
  OnShow = [this](TObject*) { FormShow(); };
}

void TChangeDiskForm::FormShow() {
  if (TDiskParameter* disk = DiskParameter()) {
    prompt_->SetCaption(Format(TranslateMessage("Please insert disk number %d"), disk->NewDisk));
    path_->SetText(disk->Path);
  }
  Focus(proceed_);
}

void TChangeDiskForm::BrowseBtnClick() {
  TDiskParameter* disk = DiskParameter();
  if (!disk) return;
  std::string folder = disk->Path;
  bool chosen = false;
  if (OnBrowse) {
    chosen = OnBrowse(folder);
  } else {
    TOpenFolderDialog dialog(nullptr);
    dialog.SetShowCreateButton(false);
    dialog.SetShowPathEdit(false);
    dialog.SetDirectory(disk->Path);
    chosen = dialog.Execute();
    folder = dialog.Directory();
  }
  if (chosen) disk->Path = folder;
  path_->SetText(disk->Path);
}

void RegisterPageClasses() {
  RegisterLangClasses();
  RegisterDialogManagerClasses();
  for (const TClassInfo* c :
       {&TWizardPage::StaticClassInfo(), &TLicenseForm::StaticClassInfo(), &TReadmeForm::StaticClassInfo(),
        &TWelcomeForm::StaticClassInfo(), &TCopyFileForm::StaticClassInfo(),
        &TFileGroupSelectForm::StaticClassInfo(), &TBadInstallForm::StaticClassInfo(),
        &TGoodInstallForm::StaticClassInfo(), &TSelectFolderForm::StaticClassInfo(),
        &TChangeDiskForm::StaticClassInfo(), &TRebootForm::StaticClassInfo(),
        &TSelectLanguageForm::StaticClassInfo()})
    RegisterClass(*c);
  static bool entered = false;
  if (entered) return;
  entered = true;
  RegisterInstallPage(TSelectLanguageForm::StaticClassInfo());
  RegisterInstallPage(TWelcomeForm::StaticClassInfo());
  RegisterInstallPage(TLicenseForm::StaticClassInfo());
  RegisterInstallPage(TReadmeForm::StaticClassInfo());
  RegisterInstallPage(TFileGroupSelectForm::StaticClassInfo());
  RegisterInstallPage(TSelectFolderForm::StaticClassInfo());
  RegisterInstallPage(TGoodInstallForm::StaticClassInfo());
  RegisterInstallPage(TBadInstallForm::StaticClassInfo());
  RegisterInstallPage(TRebootForm::StaticClassInfo());
  RegisterDuringCopyPage(TCopyFileForm::StaticClassInfo());
  RegisterChangeDiskPage(TChangeDiskForm::StaticClassInfo());
  KeepPageRegistrations();
}

void CreatePageForms() {
  // Unattended, no page is ever shown; laying pages out would ask Wine for the display, which starts
  // its desktop process and waits for it.
  if (Unattended()) return;
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
