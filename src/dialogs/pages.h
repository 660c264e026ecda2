#pragma once
// The wizard's page forms. Each loads its layout from the resource named after its class and adds
// the little behaviour of its buttons and lists.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/page_bases.h"
#include "lang/translate_controls.h"
#include "ui/comctrls.h"
#include "ui/extctrls.h"

namespace tav {

// A wizard page with the common frame: the theme picture on the left and the button row below.
// Before installation the row is Back, Next, Cancel; after it Back, Next and Finish in Next's place.
class TWizardPage : public TBaseInstallForm {
public:
  TWizardPage(TComponent* owner, TManagerType phase, int order);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void PrepareShow() override;

  TBitBtn* BackBtn() const { return back_; }
  TBitBtn* NextBtn() const { return next_; }
  TBitBtn* FinishBtn() const { return finish_; }
  TBitBtn* CancelBtn() const { return cancel_; }
  TImage* ThemeBitmap() const { return theme_; }

protected:
  // The end pages (no Cancel, a Finish button): Next only when a page follows.
  bool EndPage() const { return finish_ != nullptr; }
  // Back unless first; Next unless last; Finish exactly when Next is hidden.
  void ShowEndButtons();

private:
  TBitBtn* back_ = nullptr;
  TBitBtn* next_ = nullptr;
  TBitBtn* finish_ = nullptr;
  TBitBtn* cancel_ = nullptr;
  TImage* theme_ = nullptr;
};

class TWelcomeForm : public TWizardPage {
public:
  explicit TWelcomeForm(TComponent* owner) : TWizardPage(owner, dmBeforeInstall, 5) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TLicenseForm : public TWizardPage {
public:
  explicit TLicenseForm(TComponent* owner) : TWizardPage(owner, dmBeforeInstall, 20) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TReadmeForm : public TWizardPage {
public:
  explicit TReadmeForm(TComponent* owner) : TWizardPage(owner, dmBeforeInstall, 30) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// The start-menu folder page. It works on the project's main link group, writing the folder into it
// as the user types or picks one; without a main link group the page is skipped.
class TSelectFolderForm : public TWizardPage {
public:
  explicit TSelectFolderForm(TComponent* owner) : TWizardPage(owner, dmBeforeInstall, 60) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void PrepareShow() override;
  bool SkipPage() override;

  // The folder list and the edit, from these folder names and the current folder name.
  void FillFolders(const std::vector<std::string>& folders, const std::string& current);
  // The existing program folders: the Programs folder's subfolders where the shell has one, the
  // Program Manager groups elsewhere.
  static std::vector<std::string> ExistingFolders();
  // Writes the edit's folder into the main link group, relative to the Programs folder.
  void FolderEditChange();

private:
  TListBox* list_ = nullptr;
  TEdit* edit_ = nullptr;
};

// The names of the subfolders of a folder ("" when it cannot be read).
std::vector<std::string> SubfolderNames(const std::string& folder);

class TGoodInstallForm : public TWizardPage {
public:
  explicit TGoodInstallForm(TComponent* owner) : TWizardPage(owner, dmAfterGoodInstall, 10) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TBadInstallForm : public TWizardPage {
public:
  explicit TBadInstallForm(TComponent* owner) : TWizardPage(owner, dmAfterBadInstall, 10) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// Asks whether to restart now; the choice goes straight into the installer's Reboot.
class TRebootForm : public TWizardPage {
public:
  explicit TRebootForm(TComponent* owner) : TWizardPage(owner, dmReboot, 10) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void PrepareShow() override;

private:
  void RGClick();
  TRadioGroup* rg_ = nullptr;
  bool updating_ = false;
};

// The progress window while files are copied or downloaded.
class TCopyFileForm : public TBaseDuringCopyForm {
public:
  explicit TCopyFileForm(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) override;

private:
  TImage* transfer_ = nullptr;
  TProgressBar* file_ = nullptr;
  TProgressBar* total_ = nullptr;
  TLabel* item_ = nullptr;
  void ShowPending();
  struct {
    bool download = false;
    int total = 0, file = 0;
    std::string name;
  } pending_;
  bool shownOnce_ = false;
  bool shownFinished_ = false;
  std::chrono::steady_clock::time_point lastPaint_{};
};

// The prompt for the next volume. The path changes only through Browse.
class TChangeDiskForm : public TBaseChangeDiskForm {
public:
  explicit TChangeDiskForm(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void BrowseBtnClick();
  // Replaces the folder browser (tests): returns true and sets the folder when one was chosen.
  std::function<bool(std::string& folder)> OnBrowse;

private:
  void FormShow();
  TLabel* prompt_ = nullptr;
  TEdit* path_ = nullptr;
  TBitBtn* proceed_ = nullptr;
};

// Registers the page classes, the dialog-manager classes and the translating controls, and
// enters the pages in the page registries (once).
void RegisterPageClasses();
// Creates the page forms, owned by the application, in the order the program needs them.
void CreatePageForms();

}  // namespace tav
