#include "dialogs/dlgcmp_TBaseContainer.h"

#include <memory>

#include "core/properties.h"
#include "dialogs/dialog_components.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/page_registries.h"
#include "ui/application.h"

namespace tav {

TBaseFormContainer::TBaseFormContainer(TComponent* owner) : TForm(owner) {
  // Sized by FormCreate once the layout is in; until then resizing moves no pages.
  sizing_ = true;
  OnCreate = [this](TObject* sender) { FormCreate(sender); };
  OnShow = [this](TObject* sender) { FormShow(sender); };
  OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
  OnResize = [this](TObject* sender) { FormResize(sender); };
}

std::unique_ptr<TBaseFormContainer> TBaseFormContainer::CreateFromLayout(TComponent* owner) {
  return std::unique_ptr<TBaseFormContainer>(
      static_cast<TBaseFormContainer*>(CreateFormFromLayout(StaticClassInfo(), owner).release()));
}

void TBaseFormContainer::Loaded() {
  TForm::Loaded();
  displayPanel_ = &LayoutChild<TPanel>(*this, "DisplayPanel");
  tabs_ = &LayoutChild<TTabControl>(*this, "Tabs");
  tabs_->OnChange = [this](TObject* sender) { TabsChange(sender); };
}

void TBaseFormContainer::FormCreate(TObject*) {
  sizing_ = true;
  Font().SetCharset(0);
  SetHeight(395);
  SetWidth(478);
  sizing_ = false;
}

TBaseFormContainer::~TBaseFormContainer() {
  OnResize = nullptr;
  OnClose = nullptr;
  OnShow = nullptr;
  // The pages go first, while the window they live in is still whole.
  std::vector<TBaseInstallForm*> pages;
  pages.swap(pages_);
  for (auto it = pages.rbegin(); it != pages.rend(); ++it) delete *it;
}

const TClassInfo& TBaseFormContainer::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TBaseFormContainer, TForm>("TBaseFormContainer");
  return info;
}

int TBaseFormContainer::FillPages() {
  TDialogManager* manager = CurrentDialogManager();
  if (!manager) throw Exception(TranslateMessage("The current dialog manager is not defined"));
  if (!displayPanel_ || !tabs_) throw EComponentError("%s has no layout to place pages on", Name());
  pages_.clear();
  for (const TBIFEntry& entry : BIFList()) {
    if (entry.Withdrawn) continue;
    TCustomBaseInstallDlg* dlg = entry.InstallDlg;
    if (dlg && (dlg->DialogManager() != manager || !dlg->ShouldShow())) continue;
    std::unique_ptr<TForm> made = CreateFormFromLayout(*entry.FormClass, this, TBaseInstallForm::StaticClassInfo());
    auto* page = static_cast<TBaseInstallForm*>(made.get());
    // Pages of the other phases are made only to learn their manager.
    if (!dlg && page->DM() != manager) continue;
    page->SetDC(dlg);
    if (dlg) {
      page->InstallObject = dlg->Container();
      page->SetOrder(dlg->Order);
      dlg->SetDialog(page);
      dlg->AssignDialogProperties();
    }
    tabs_->Tabs().Add("");
    page->SetBounds(displayPanel_->Left(), displayPanel_->Top(), displayPanel_->Width(), displayPanel_->Height());
    page->ApplyLanguage();
    page->Show();
    pages_.push_back(page);
    made.release();
  }
  for (size_t i = 0; i < pages_.size(); ++i) {
    for (size_t j = i + 1; j < pages_.size(); ++j) {
      if (pages_[i]->Order() > pages_[j]->Order()) std::swap(pages_[i], pages_[j]);
    }
  }
  return PageCount();
}

bool TBaseFormContainer::ShowPage(int index, bool skipBackwards) {
  // Iterative rather than recursive: a long run of skipped pages cannot deepen the stack.
  while (index >= 0 && index < PageCount()) {
    TBaseInstallForm* page = pages_[static_cast<size_t>(index)];
    if (page->SkipPage()) {
      index += skipBackwards ? -1 : 1;
      continue;
    }
    tabs_->SetTabIndex(index);
    SetCaption(page->Caption());
    // The pages behind take no input: Tab and the mouse reach the front page only.
    for (TBaseInstallForm* p : pages_) p->SetEnabled(p == page);
    // Shown (still behind the page in front) before it prepares, so that it can take the focus.
    if (!page->Visible()) page->Show();
    page->ActivatePage();
    // Covered, they are hidden as well, so that screen readers and automation read the front page
    // alone; hidden only once the new page is in front, so nothing flickers.
    for (TBaseInstallForm* p : pages_) {
      if (p != page) p->SetVisible(false);
    }
    return true;
  }
  return false;
}

void TBaseFormContainer::NextPage() {
  const int index = PageIndex();
  if (!ShowPage(index + 1, false)) ShowPage(index + 1, true);
  if (PageIndex() != index) return;
  finished_ = true;
  SetModalResult(mrOk);
  // A modal form ends on its result; Close would replace it with mrCancel.
  if (!Modal()) Close();
}

void TBaseFormContainer::PreviousPage() {
  const int index = PageIndex();
  if (!ShowPage(index - 1, true)) ShowPage(index - 1, false);
}

void TBaseFormContainer::PlaceOnScreen(TTavenrikDialogPosition position, int leftOffset, int topOffset) {
  const TScreenPlace place = PlaceOnThisScreen(Width(), Height(), position, leftOffset, topOffset);
  SetBounds(place.Left, place.Top, Width(), Height());
}

void TBaseFormContainer::FormShow(TObject*) {
  if (!ShowPage(0, true)) ShowPage(0, false);
}

void TBaseFormContainer::FormClose(TObject*, TCloseAction& action) {
  // The system close box never ends a phase.
  if (!finished_ && ModalResult() != mrAbort) action = caNone;
}

void TBaseFormContainer::FormResize(TObject*) {
  if (sizing_) return;
  for (TBaseInstallForm* page : pages_) {
    page->SetBounds(displayPanel_->Left(), displayPanel_->Top(), displayPanel_->Width(), displayPanel_->Height());
    page->Repaint();
  }
}

void TBaseFormContainer::TabsChange(TObject*) {
  const int index = tabs_->TabIndex();
  if (!ShowPage(index, true)) ShowPage(index, false);
}

}  // namespace tav
