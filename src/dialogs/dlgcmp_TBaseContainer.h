#pragma once
// The wizard window: hosts every page of a phase as a child window, stacked, and brings one at a
// time to the front. Only finishing the last page or a confirmed Cancel closes it.
#include <memory>
#include <vector>

#include "dialogs/page_bases.h"
#include "dialogs/screen_place.h"
#include "ui/comctrls.h"
#include "ui/extctrls.h"

namespace tav {

class TBaseFormContainer : public TForm {
public:
  explicit TBaseFormContainer(TComponent* owner);
  // The wizard window with its layout (the display panel and the hidden tab control that keeps
  // the page index) loaded and OnCreate run.
  static std::unique_ptr<TBaseFormContainer> CreateFromLayout(TComponent* owner);
  ~TBaseFormContainer() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Creates this phase's pages (those of CurrentDialogManager) in ascending Order; the page count.
  int FillPages();
  // Shows the page at index, or the nearest one in the given direction that is not skipped.
  bool ShowPage(int index, bool skipBackwards);
  // Past the last page the phase ends with mrOk.
  virtual void NextPage();
  virtual void PreviousPage();
  virtual void PlaceOnScreen(TTavenrikDialogPosition position, int leftOffset, int topOffset);

  int PageCount() const { return static_cast<int>(pages_.size()); }
  TBaseInstallForm* Page(int index) const { return pages_.at(static_cast<size_t>(index)); }
  int PageIndex() const { return tabs_ ? tabs_->TabIndex() : -1; }
  bool Finished() const { return finished_; }
  TPanel* DisplayPanel() const { return displayPanel_; }

  void Loaded() override;

private:
  void FormCreate(TObject*);
  void FormShow(TObject*);
  void FormClose(TObject*, TCloseAction& action);
  void FormResize(TObject*);
  void TabsChange(TObject*);

  TPanel* displayPanel_ = nullptr;
  TTabControl* tabs_ = nullptr;
  std::vector<TBaseInstallForm*> pages_;  // components of this form
  bool finished_ = false;
  bool sizing_ = false;
};

}  // namespace tav
