#pragma once
// The base classes of the page forms: every page, the wizard pages, the progress windows shown while
// files are copied, and the prompts for the next volume.
#include <string>
#include <vector>

#include "core/classes.h"
#include "core/exceptions_Tavenrik.h"
#include "lang/languages.h"
#include "objects/cmp_TInstallContainer.h"
#include "ui/forms.h"

namespace tav {

class TBaseFormContainer;
class TCustomBaseInstallDlg;
class TCustomInstall;
class TDialogManager;

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

// Points field at value, a component that may be freed first: self hears of it through Notification,
// which must then clear the field.
template <class T>
void TrackComponent(TComponent& self, T*& field, T* value) {
  if (field == value) return;
  if (field) field->RemoveFreeNotification(&self);
  field = value;
  if (field) field->FreeNotification(&self);
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
  // The current language's font and texts (the fixed language's when UseFixedLanguage); without a
  // translator the layout's English stands.
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

}  // namespace tav
