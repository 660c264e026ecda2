#pragma once
// Dialog managers: one install object per phase of the run. Each reacts to the broadcasts of its own
// phase and shows the page forms registered for that phase. Also the base classes of those pages.
#include <deque>
#include <string>
#include <vector>

#include "core/properties.h"
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

class TDialogManager;
class TBaseFormContainer;

// Base of every page form.
class TBaseTavenrikForm : public TForm {
public:
  explicit TBaseTavenrikForm(TComponent* owner);
  ~TBaseTavenrikForm() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Sets the buttons and loads the data each time the page comes to the front.
  virtual void PrepareShow() {}

  bool UseLanguageFont = true;
  bool TranslateTexts = true;
  TInstallContainer* InstallObject = nullptr;
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

  TDialogManager* DM() const { return dm_; }
  // The page is told when its manager goes away.
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
  TDialogManager* dm_ = nullptr;
  int order_ = 0;
};

// Registry entries: the page class and the reserved integer, which nothing reads.
struct TBIFEntry {
  const TClassInfo* FormClass = nullptr;
  int Reserved = 0;
};
using TDCFEntry = TBIFEntry;
using TBCDFEntry = TBIFEntry;

// The process-wide page registries, filled at start and never emptied. Entries stay where they are.
const std::deque<TBIFEntry>& BIFList();
const std::deque<TDCFEntry>& DCFList();
const std::deque<TBCDFEntry>& ChangeDiskList();
TBIFEntry& RegisterInstallPage(const TClassInfo& formClass, int reserved = 0);
TDCFEntry& RegisterDuringCopyPage(const TClassInfo& formClass, int reserved = 0);
TBCDFEntry& RegisterChangeDiskPage(const TClassInfo& formClass, int reserved = 0);

class TDialogManager : public TInstallObject {
public:
  explicit TDialogManager(TComponent* owner);
  ~TDialogManager() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int HandleNotification(TObject* sender, int code, TObject* po) override;
  // Shows the pages of this phase in a wizard window; EAIUserAbort when the user cancelled.
  virtual void ShowPhase();
  // Progress windows and the disk prompt.
  virtual void UpdateDuringCopyForms(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus);
  virtual void CloseDuringCopyForms();
  virtual void ShowChangeDisk(TObject* parameters);

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
};

// The manager whose window is being built; nullptr outside that.
TDialogManager* CurrentDialogManager();
// The first manager created of that type that still exists; nullptr when none.
TDialogManager* FindDialogManager(TManagerType type);

void RegisterDialogManagerClasses();

}  // namespace tav
