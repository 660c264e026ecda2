#pragma once
// Dialog managers: one install object per phase of the run. Each reacts to the broadcasts of its own
// phase and shows the page forms registered for that phase.
#include <string>
#include <vector>

#include "dialogs/screen_place.h"
#include "objects/cmp_TInstallContainer.h"

namespace tav {

enum TManagerType {
  dmBeforeInstall, dmAfterGoodInstall, dmAfterBadInstall, dmDuringCopyFiles, dmChangeDisk, dmReboot
};
extern const TNameList ManagerTypeNames;

class TBaseDuringCopyForm;
class TCustomBaseInstallDlg;

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

// The manager whose window is being built; nullptr outside that.
TDialogManager* CurrentDialogManager();
// The first manager, in creation order, of that type whose container is the running installer.
TDialogManager* FindDialogManager(TManagerType type);
// The manager and the page base classes, and the wizard window.
void RegisterDialogManagerClasses();

}  // namespace tav
