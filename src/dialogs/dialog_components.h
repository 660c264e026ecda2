#pragma once
// Dialog components: install objects that configure one page each and can show it on their own.
#include "core/graphics.h"
#include "dialogs/screen_place.h"
#include "lang/languages.h"
#include "objects/cmp_TInstallContainer.h"
#include "ui/forms.h"

namespace tav {

class TDialogManager;

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

}  // namespace tav
