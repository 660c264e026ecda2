#pragma once
// Dialog managers: one install object per phase of the run. Each reacts to the broadcasts of its own
// phase and shows the page forms registered for that phase. Also the base classes of those pages.
#include <deque>
#include <string>
#include <vector>

#include "core/properties.h"
#include "lang/languages.h"
#include "objects/cmp_TInstallContainer.h"
#include "ui/forms.h"

namespace tav {

enum TManagerType {
  dmBeforeInstall, dmAfterGoodInstall, dmAfterBadInstall, dmDuringCopyFiles, dmChangeDisk, dmReboot
};
extern const std::vector<std::string> ManagerTypeNames;

// Ordinals 0-2 the middle row, 3-5 the bottom row, 6-8 the top row; left, centre, right in each row.
enum TTavenrikDialogPosition {
  tdpCenterLeft, tdpCenter, tdpCenterRight, tdpBottomLeft, tdpBottomCenter, tdpBottomRight,
  tdpTopLeft, tdpTopCenter, tdpTopRight
};
extern const std::vector<std::string> DialogPositionNames;

struct TScreenPlace {
  int Left = 0;
  int Top = 0;
};
// Where a window of width x height goes on a screen of screenWidth x screenHeight; captionHeight is
// the system caption height, which the bottom row keeps free.
TScreenPlace PlaceOnScreen(int screenWidth, int screenHeight, int width, int height, int captionHeight,
                           TTavenrikDialogPosition position, int leftOffset, int topOffset);

// The same on this program's screen, in design units (the screen and caption sizes scaled back from
// the system's DPI), as window bounds are given.
TScreenPlace PlaceOnThisScreen(int width, int height, TTavenrikDialogPosition position, int leftOffset,
                               int topOffset);

class TDialogManager;
class TBaseFormContainer;
class TCustomBaseInstallDlg;
class TCustomInstall;

// The installer component of this run; nullptr when there is none.
TCustomInstall* RunningInstaller();
// Asks the installer whether the user may abort (OnUserAbort); yes without an installer.
bool UserMayAbort();

// The child component of a loaded layout; a layout without it is refused by name.
template <class T>
T& LayoutChild(TComponent& root, const std::string& name) {
  auto* found = dynamic_cast<T*>(root.FindComponent(name));
  if (!found) throw EComponentError("%s has no %s", root.ClassInfo().Name, name);
  return *found;
}

// Base of every page form.
class TBaseTavenrikForm : public TForm {
public:
  explicit TBaseTavenrikForm(TComponent* owner);
  ~TBaseTavenrikForm() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  virtual void LanguageChanged(TTvrkLanguage language);
  // Sets the buttons and loads the data each time the page comes to the front.
  virtual void PrepareShow() {}
  // Fonts and texts of the current language; the texts stay English until a translator is present.
  virtual void ApplyLanguage();

  bool UseLanguageFont = true;
  bool TranslateTexts = true;
  TInstallContainer* InstallObject = nullptr;
  TTvrkLanguage TextLanguage = tvlEnglish;
  bool UseFixedLanguage = false;
  TTvrkLanguage FixedLanguage = tvlUser;
};

// Every live page form, in creation order.
const std::vector<TBaseTavenrikForm*>& LiveTavenrikForms();

// Base of the wizard pages. A page owned by a form is embedded in it as a borderless child window;
// one owned by the application stays a top-level dialog.
class TBaseInstallForm : public TBaseTavenrikForm {
public:
  explicit TBaseInstallForm(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  TCustomBaseInstallDlg* DC() const { return dc_; }
  void SetDC(TCustomBaseInstallDlg* value);
  TDialogManager* DM() const { return dm_; }
  void SetDM(TDialogManager* value);
  int Order() const { return order_; }
  void SetOrder(int value) { order_ = value; }

  // True when every page before this one is skipped; false unless hosted.
  virtual bool IsFirstPage();
  // True when this is the last hosted page, skipped ones after it not considered; false unless hosted.
  virtual bool IsLastPage();
  virtual void LeavePage() {}
  // Ends the phase (or the page's own modal loop) with mrAbort.
  virtual void CancelPhase();
  virtual void GoNext();
  virtual void GoPrevious();
  // PrepareShow, then to the front; only when hosted.
  virtual void ActivatePage();
  virtual bool SkipPage() { return false; }
  // Cancels the phase when the installer lets the user abort (always, without an installer).
  virtual void QueryCancel();

  TBaseFormContainer* HostContainer() const;

private:
  TCustomBaseInstallDlg* dc_ = nullptr;
  TDialogManager* dm_ = nullptr;
  int order_ = 0;
};

// Base of the progress windows shown while files are copied or downloaded.
class TBaseDuringCopyForm : public TBaseTavenrikForm {
public:
  using TBaseTavenrikForm::TBaseTavenrikForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Notification(TComponent* component, TOperation operation) override;

  TDialogManager* DM() const { return dm_; }
  void SetDM(TDialogManager* value);
  // Asks the installer; on yes sets the extractor's and the process-wide abort flags. The window
  // stays: the copy loop ends the run.
  virtual void Cancel();
  virtual void UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) {}

private:
  TDialogManager* dm_ = nullptr;
};

// Base of the prompts for the next volume.
class TBaseChangeDiskForm : public TBaseTavenrikForm {
public:
  using TBaseTavenrikForm::TBaseTavenrikForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Notification(TComponent* component, TOperation operation) override;

  TDiskParameter* DiskParameter() const { return diskParameter_; }
  void SetDiskParameter(TDiskParameter* value) { diskParameter_ = value; }
  TDialogManager* DM() const { return dm_; }
  void SetDM(TDialogManager* value);
  // Ends the prompt with mrAbort when the installer lets the user abort.
  virtual void Cancel();

private:
  TDiskParameter* diskParameter_ = nullptr;
  TDialogManager* dm_ = nullptr;
};

// Registry entries: the page class, the dialog component that configures it (none in this program)
// and a reserved integer that nothing reads. An entry whose dialog component was destroyed is
// withdrawn: it is passed over instead of pointing at nothing.
struct TBIFEntry {
  const TClassInfo* FormClass = nullptr;
  TCustomBaseInstallDlg* InstallDlg = nullptr;
  int Reserved = 0;
  bool Withdrawn = false;
};
using TDCFEntry = TBIFEntry;
using TBCDFEntry = TBIFEntry;

// The process-wide page registries, filled at start and never emptied. Entries stay where they are.
const std::deque<TBIFEntry>& BIFList();
const std::deque<TDCFEntry>& DCFList();
const std::deque<TBCDFEntry>& ChangeDiskList();
TBIFEntry& RegisterInstallPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog = nullptr,
                               int reserved = 0);
TDCFEntry& RegisterDuringCopyPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog = nullptr,
                                  int reserved = 0);
TBCDFEntry& RegisterChangeDiskPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog = nullptr,
                                   int reserved = 0);
int InstallPageCount();
const TBIFEntry& InstallPage(int index);

class TDialogManager : public TInstallObject {
public:
  explicit TDialogManager(TComponent* owner);
  ~TDialogManager() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int HandleNotification(TObject* sender, int code, TObject* po) override;
  void Notification(TComponent* component, TOperation operation) override;
  // Shows the pages of this phase in a wizard window; EAIUserAbort when the user cancelled.
  virtual void ShowPhase();
  // Progress windows: created on the first status of a copy run, hidden at its end.
  virtual void ShowDuringCopyForms();
  virtual void UpdateDuringCopyForms(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus);
  virtual void CloseDuringCopyForms();
  // The disk prompt for [install file, TDiskParameter]; EAIUserAbort when the user cancelled.
  virtual void ShowChangeDisk(TObject* parameters);
  void AddDialog(TCustomBaseInstallDlg* dialog);
  void RemoveDialog(TCustomBaseInstallDlg* dialog);
  const std::vector<TCustomBaseInstallDlg*>& Dialogs() const { return dialogs_; }
  const std::vector<TBaseDuringCopyForm*>& DuringCopyForms() const { return duringCopyForms_; }

  int Height() const { return height_; }
  void SetHeight(int value) { height_ = value; }
  int Width() const { return width_; }
  void SetWidth(int value) { width_ = value; }
  TManagerType ManagerType() const { return managerType_; }
  void SetManagerType(TManagerType value) { managerType_ = value; }
  TTavenrikDialogPosition Position() const { return position_; }
  void SetPosition(TTavenrikDialogPosition value) { position_ = value; }
  int RelativeLeftOffset() const { return relativeLeftOffset_; }
  void SetRelativeLeftOffset(int value) { relativeLeftOffset_ = value; }
  int RelativeTopOffset() const { return relativeTopOffset_; }
  void SetRelativeTopOffset(int value) { relativeTopOffset_ = value; }

private:
  int height_ = 395;
  int width_ = 478;
  TManagerType managerType_ = dmBeforeInstall;
  TTavenrikDialogPosition position_ = tdpCenter;
  int relativeLeftOffset_ = 0;
  int relativeTopOffset_ = 0;
  std::vector<TCustomBaseInstallDlg*> dialogs_;
  std::vector<TBaseDuringCopyForm*> duringCopyForms_;  // owned by the application, hidden at the end
};

// Base of the dialog components that configure one page; the extension point for projects.
class TCustomBaseInstallDlg : public TInstallObject {
public:
  explicit TCustomBaseInstallDlg(TComponent* owner);
  ~TCustomBaseInstallDlg() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Notification(TComponent* component, TOperation operation) override;

  virtual void LanguageChanged(TTvrkLanguage language);
  virtual void SetDialogManager(TDialogManager* manager);
  virtual void SetThemePicture(const TPicture& picture) { themePicture_.Assign(picture); }
  virtual void ApplyLanguage();
  // Hands the component's settings to its page.
  virtual void AssignDialogProperties();
  // The before event, ShowDialog, the after event; false when EAbort stopped it.
  virtual bool Execute();
  // Shows the page modally on its own; true on OK, EAIUserAbort otherwise.
  virtual bool ShowDialog();
  virtual const TClassInfo& FormClass() const = 0;
  virtual bool ShouldShow() { return true; }

  TDialogManager* DialogManager() const { return dialogManager_; }
  TForm* Dialog() const { return dialog_; }
  void SetDialog(TForm* dialog);
  const TPicture& ThemePicture() const { return themePicture_; }

  int Order = 0;
  TTavenrikDialogPosition Position = tdpCenter;
  int RelativeLeftOffset = 0, RelativeTopOffset = 0, Height = 0, Width = 0;
  bool UseLanguageFont = true;
  bool TranslateTexts = true;
  TTvrkLanguage TextLanguage = tvlEnglish;
  bool UseFixedLanguage = false;
  TTvrkLanguage FixedLanguage = tvlUser;
  TNotifyEvent OnBeforeExecute, OnAfterExecute;

private:
  TDialogManager* dialogManager_ = nullptr;
  TForm* dialog_ = nullptr;
  TPicture themePicture_;
};

// The manager whose window is being built; nullptr outside that.
TDialogManager* CurrentDialogManager();
// The first manager, in creation order, of that type whose container is the running installer.
TDialogManager* FindDialogManager(TManagerType type);
void RegisterDialogManagerClasses();

}  // namespace tav
