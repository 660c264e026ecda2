#pragma once
// Walking the shipped pages of a test project: steps run from a timer while a phase's window is
// modal, the window in front is found among the live pages, and pictures of what is on screen go to
// build/screenshots. The wizard's tests and the screen reader's tests drive the pages alike.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <initializer_list>
#include <string>

#include "dialogs/dlgcmp_TBaseContainer.h"
#include "dialogs/page_bases.h"
#include "install_support.h"
#include "window_probe.h"

namespace tav::test {

// Steps run one per timer tick; a step returns false while what it needs is not on screen yet.
// When nothing happens for a long time the open window is aborted, so a fault cannot hang the run.
extern std::deque<std::function<bool()>> gSteps;

// The wizard window whose phase is shown, or null.
TBaseFormContainer* OpenWizard();
// The page in front of the open wizard, or null.
TBaseInstallForm* FrontPage();

template <class T>
T* ModalForm() {
  for (TBaseTavenrikForm* f : LiveTavenrikForms()) {
    if (auto* t = dynamic_cast<T*>(f); t && t->Modal()) return t;
  }
  return nullptr;
}

// Pictures a window once it has painted, as <name>.png in the screenshots' folder given.
void Picture(HWND window, const std::string& folder, const std::string& name);

// A test project with the shipped pages, its installer Install1 and the step timer running.
class PageWalk : public ProjectTest {
protected:
  // Registers the pages' classes and the project's own and starts the step timer.
  static void SetUpWalk(std::initializer_list<const TClassInfo*> projectClasses);
  void SetUp() override;
  void TearDown() override;
  // Creates the project into form.
  virtual void OpenProject() = 0;
  void Broadcast(int code, TObject* po = nullptr) { install->Broadcast(install, code, po); }
};

}  // namespace tav::test
