#include "page_walk.h"

#include <exception>

#include "dialogs/pages.h"
#include "ui/application.h"
#include "ui/screenshot.h"

namespace tav::test {

std::deque<std::function<bool()>> gSteps;

namespace {

int gIdleTicks = 0;
bool gForcedEnd = false;
bool gInStep = false;  // a step that lets messages run must not be entered again from inside
std::string gStepError;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (gInStep) return;
  try {
    if (!gSteps.empty()) {
      auto step = std::move(gSteps.front());
      gSteps.pop_front();
      gInStep = true;
      const bool done = step();
      gInStep = false;
      if (!done) gSteps.push_front(std::move(step));
      if (done) {
        gIdleTicks = 0;
        return;
      }
    }
    if (++gIdleTicks < 500) return;
    gIdleTicks = 0;
    if (TBaseFormContainer* c = OpenWizard()) {
      gForcedEnd = true;
      c->SetModalResult(mrAbort);
    } else if (TChangeDiskForm* d = ModalForm<TChangeDiskForm>()) {
      gForcedEnd = true;
      d->SetModalResult(mrAbort);
    }
  } catch (const std::exception& e) {
    gInStep = false;
    gStepError = e.what();
  }
}

}  // namespace

TBaseFormContainer* OpenWizard() {
  for (TBaseTavenrikForm* f : LiveTavenrikForms()) {
    if (auto* page = dynamic_cast<TBaseInstallForm*>(f)) {
      TBaseFormContainer* c = page->HostContainer();
      if (c && c->Modal() && c->PageIndex() >= 0) return c;
    }
  }
  return nullptr;
}

TBaseInstallForm* FrontPage() {
  TBaseFormContainer* c = OpenWizard();
  return c ? c->Page(c->PageIndex()) : nullptr;
}

void Picture(HWND window, const std::string& folder, const std::string& name) {
  UpdateWindow(window);
  Application().ProcessMessages();
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Application().ProcessMessages();
  const TCapture cap = CaptureWindow(window);
  ASSERT_FALSE(cap.Pixels.empty()) << name;
  EXPECT_TRUE(SavePng(cap, ScreenshotPath(folder, name + ".png"))) << name;
}

void PageWalk::SetUpWalk(std::initializer_list<const TClassInfo*> projectClasses) {
  Application().Initialize();
  RegisterSpineClasses();
  RegisterPageClasses();
  for (const TClassInfo* c : projectClasses) RegisterClass(*c);
  static const UINT_PTR timer = SetTimer(nullptr, 0, 10, &Tick);
  ASSERT_NE(timer, 0u);
}

void PageWalk::SetUp() {
  gSteps.clear();
  gIdleTicks = 0;
  gForcedEnd = false;
  gStepError.clear();
  KeepMessages();
  OpenProject();
  ASSERT_NE(form, nullptr);
  install = dynamic_cast<TTestInstall*>(form->FindComponent("Install1"));
  ASSERT_NE(install, nullptr);
}

void PageWalk::TearDown() {
  gSteps.clear();
  ProjectTest::TearDown();
  EXPECT_FALSE(gForcedEnd) << "a window did not end by itself";
  EXPECT_EQ(gStepError, "");
}

}  // namespace tav::test
