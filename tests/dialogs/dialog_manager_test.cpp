// The dialog managers and the wizard window, driven through the pages' handlers from a timer while
// the phase's modal loop runs.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/properties.h"
#include "sys/run_state.h"
#include "dialogs/dialog_components.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/page_bases.h"
#include "dialogs/page_registries.h"
#include "dialogs/screen_place.h"
#include "engine/cmp_TInstall.h"
#include "install_support.h"
#include "paths/cmp_TPathSpecifier.h"
#include "ui/application.h"
#include "ui/stdctrls.h"

using namespace tav;
using namespace tav::test;

namespace {

// What each test page does; the tests set it before a phase is shown.
struct TPageScript {
  TManagerType phase = dmBeforeInstall;
  int order = 0;
  bool skip = false;
};
TPageScript gScripts[6];
std::vector<int> gShown;  // page numbers, each time one is brought to the front
TBaseInstallForm* gFront = nullptr;

template <int N>
class TTestPage : public TBaseInstallForm {
public:
  explicit TTestPage(TComponent* owner) : TBaseInstallForm(owner) {
    SetDM(FindDialogManager(gScripts[N].phase));
    SetOrder(gScripts[N].order);
  }
  static const TClassInfo& StaticClassInfo() {
    static const std::string name = "TTestPage" + std::to_string(N);
    static const TClassInfo info = MakeClassInfo<TTestPage, TBaseInstallForm>(name.c_str());
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool SkipPage() override { return gScripts[N].skip; }
  void PrepareShow() override {
    gShown.push_back(N);
    gFront = this;
  }
};

using TDialogProjectForm = TProjectForm<"TDialogProjectForm">;

void RegisterOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterSpineClasses();
  RegisterDialogManagerClasses();
  RegisterClass(TDialogProjectForm::StaticClassInfo());
  RegisterInstallPage(TTestPage<1>::StaticClassInfo());
  RegisterInstallPage(TTestPage<2>::StaticClassInfo());
  RegisterInstallPage(TTestPage<3>::StaticClassInfo());
  RegisterInstallPage(TTestPage<4>::StaticClassInfo());
  KeepPageRegistrations();
  RegisterClass(TTestPage<5>::StaticClassInfo());
}

// A dialog component that configures test page 5.
class TTestDlg : public TCustomBaseInstallDlg {
public:
  using TCustomBaseInstallDlg::TCustomBaseInstallDlg;
  const TClassInfo& FormClass() const override { return TTestPage<5>::StaticClassInfo(); }
  bool ShouldShow() override { return show; }
  bool show = true;
};

// Steps run one per timer tick inside the modal loop. When they run out and the phase is still on
// screen, the phase is aborted so that a fault cannot hang the test program.
std::deque<std::function<void()>> gSteps;
int gIdleTicks = 0;
int gModalAnswer = 0;  // given to a top-level page shown modally
bool gForcedEnd = false;
std::string gStepError;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  try {
    if (gModalAnswer) {
      for (TBaseTavenrikForm* f : LiveTavenrikForms()) {
        auto* page = dynamic_cast<TBaseInstallForm*>(f);
        if (f->Modal() && page && !page->HostContainer()) {
          f->SetModalResult(gModalAnswer);
          gModalAnswer = 0;
          return;
        }
      }
    }
    if (!gSteps.empty()) {
      // Only once a page is in front of a running phase (messages also run while pages are made).
      if (!gFront || !gFront->HostContainer() || !gFront->HostContainer()->Modal()) return;
      auto step = std::move(gSteps.front());
      gSteps.pop_front();
      step();
      return;
    }
    if (++gIdleTicks < 100) return;
    for (TBaseTavenrikForm* f : LiveTavenrikForms()) {
      if (auto* page = dynamic_cast<TBaseInstallForm*>(f); page && page->HostContainer()) {
        gForcedEnd = true;
        page->HostContainer()->SetModalResult(mrAbort);
        return;
      }
    }
  } catch (const std::exception& e) {
    gStepError = e.what();
  }
}

class DialogPhase : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterOnce();
    for (auto& s : gScripts) s = TPageScript{};
    gScripts[5].phase = dmReboot;  // shown only through its dialog component
    // Registered 1, 2, 3, 4; page 3 belongs to the success phase.
    gScripts[1].order = 30;
    gScripts[2].order = 10;
    gScripts[3].order = 5;
    gScripts[3].phase = dmAfterGoodInstall;
    gScripts[4].order = 20;
    gShown.clear();
    gFront = nullptr;
    gSteps.clear();
    gModalAnswer = 0;
    gIdleTicks = 0;
    gForcedEnd = false;
    gStepError.clear();
    SetArgumentSource([] { return std::vector<std::string>{"-sC:\\dist"}; });
    form = Application().CreateForm<TDialogProjectForm>();
    install = dynamic_cast<TTestInstall*>(form->FindComponent("Install1"));
    before = dynamic_cast<TDialogManager*>(form->FindComponent("BeforeManager"));
    good = dynamic_cast<TDialogManager*>(form->FindComponent("GoodManager"));
    ASSERT_TRUE(install && before && good);
    // One timer for the whole program: it only acts while steps are queued or a phase is open.
    static const UINT_PTR timer = SetTimer(nullptr, 0, 15, &Tick);
    ASSERT_NE(timer, 0u);
  }
  void TearDown() override {
    gSteps.clear();
    delete form;
    EXPECT_FALSE(gForcedEnd) << "the phase did not end by itself";
    EXPECT_EQ(gStepError, "");
    EXPECT_EQ(CurrentDialogManager(), nullptr);
  }
  // The page in front and the window it is in, as the user sees them.
  static TBaseFormContainer* Host() { return gFront ? gFront->HostContainer() : nullptr; }
  static void Next() { gSteps.push_back([] { gFront->GoNext(); }); }
  static void Previous() { gSteps.push_back([] { gFront->GoPrevious(); }); }
  void RunBeforePhase() { install->Broadcast(install, ncBeforeInstallPhase, nullptr); }

  TDialogProjectForm* form = nullptr;
  TTestInstall* install = nullptr;
  TDialogManager* before = nullptr;
  TDialogManager* good = nullptr;
};

TEST_F(DialogPhase, StreamedManagersKeepTheirDefaultsAndTheFirstOfATypeIsFound) {
  EXPECT_EQ(before->Width(), 478);
  EXPECT_EQ(before->Height(), 395);
  EXPECT_EQ(before->Position(), tdpCenter);
  EXPECT_EQ(good->Position(), tdpBottomRight);
  EXPECT_EQ(good->RelativeTopOffset(), 20);
  EXPECT_EQ(before->Kind(), kindDialog);
  EXPECT_EQ(FindDialogManager(dmBeforeInstall), before);
  EXPECT_EQ(FindDialogManager(dmAfterGoodInstall), good);
  EXPECT_EQ(FindDialogManager(dmReboot), nullptr);
}

TEST_F(DialogPhase, PagesAreShownInOrderAndNextOnTheLastEndsThePhase) {
  std::vector<std::string> captions;
  std::vector<bool> inFront;
  int resultAfterLastNext = -1;
  auto look = [&] {
    gSteps.push_back([&] {
      captions.push_back(Host()->Caption());
      // In front and the only page that takes input.
      bool front = GetWindow(Host()->Handle(), GW_CHILD) == gFront->Handle();
      for (int i = 0; i < Host()->PageCount(); ++i)
        front = front && (IsWindowEnabled(Host()->Page(i)->Handle()) != 0) == (Host()->Page(i) == gFront);
      inFront.push_back(front);
    });
  };
  look();
  Next();
  look();
  Next();
  look();
  gSteps.push_back([&] {
    EXPECT_TRUE(gFront->IsLastPage());
    TBaseFormContainer* host = Host();
    gFront->GoNext();
    resultAfterLastNext = host->ModalResult();
  });
  // The second manager of the same phase finds no pages of its own and shows nothing.
  EXPECT_NO_THROW(RunBeforePhase());
  EXPECT_EQ(gShown, (std::vector<int>{2, 4, 1}));
  EXPECT_EQ(captions, (std::vector<std::string>{"Page 2", "Page 4", "Page 1"}));
  EXPECT_EQ(inFront, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(resultAfterLastNext, mrOk);
  EXPECT_TRUE(gSteps.empty());
}

TEST_F(DialogPhase, OnlyTheManagerOfTheBroadcastPhaseShowsItsPages) {
  // The success phase's manager places its 478 x 395 window at the bottom right, 10 and 20 in.
  RECT window{};
  gSteps.push_back([&] { GetWindowRect(Host()->Handle(), &window); });
  Next();
  install->Broadcast(install, ncGoodEndPages, nullptr);
  EXPECT_EQ(gShown, (std::vector<int>{3}));
  const TScreenPlace place = PlaceOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 478, 395,
                                           GetSystemMetrics(SM_CYCAPTION), tdpBottomRight, 10, 20);
  EXPECT_EQ(window.left, place.Left);
  EXPECT_EQ(window.top, place.Top);
  EXPECT_EQ(window.right - window.left, 478);
  EXPECT_EQ(window.bottom - window.top, 395);
  // No manager serves the reboot phase: nothing is shown and nothing waits.
  install->Broadcast(install, ncRebootPhase, nullptr);
  EXPECT_EQ(gShown, (std::vector<int>{3}));
}

TEST_F(DialogPhase, SkippedPagesArePassedInBothDirections) {
  gScripts[4].skip = true;  // the middle page
  Next();
  Previous();
  gSteps.push_back([] { EXPECT_TRUE(gFront->IsFirstPage()); });
  Next();
  Next();
  RunBeforePhase();
  EXPECT_EQ(gShown, (std::vector<int>{2, 1, 2, 1}));
}

TEST_F(DialogPhase, NextEndsThePhaseWhenEveryLaterPageIsSkipped) {
  gScripts[1].skip = true;  // the last page
  Next();
  gSteps.push_back([] { EXPECT_FALSE(gFront->IsLastPage()); });
  Next();
  RunBeforePhase();
  // The search for a later page falls back to the current one, which is shown again.
  EXPECT_EQ(gShown, (std::vector<int>{2, 4, 4}));
}

// Resizing the wizard window moves every hosted page onto the display panel's new bounds.
TEST_F(DialogPhase, PagesFollowTheWindowWhenItIsResized) {
  std::vector<bool> fits;
  gSteps.push_back([&] {
    TBaseFormContainer* host = Host();
    host->SetBounds(host->Left(), host->Top(), 560, 450);
    const TLayoutRect panel = host->DisplayPanel()->BoundsRect();
    for (int i = 0; i < host->PageCount(); ++i) {
      const TLayoutRect page = host->Page(i)->BoundsRect();
      fits.push_back(page == panel && panel.Width > 500 && panel.Height > 400);
    }
  });
  Next();
  Next();
  Next();
  RunBeforePhase();
  EXPECT_EQ(fits, (std::vector<bool>{true, true, true}));
}

TEST_F(DialogPhase, ASkippedFirstPageStartsAtTheNextAndPreviousStaysThere) {
  gScripts[2].skip = true;  // the first page
  gSteps.push_back([] { EXPECT_TRUE(gFront->IsFirstPage()); });
  Previous();
  Next();
  Next();
  RunBeforePhase();
  EXPECT_EQ(gShown, (std::vector<int>{4, 4, 1}));
}

TEST_F(DialogPhase, ConfirmedCancelEndsThePhaseWithUserAbort) {
  int asked = 0;
  install->OnUserAbort = [&](TCustomInstall*, bool& quitOut) {
    ++asked;
    quitOut = true;
  };
  Next();
  gSteps.push_back([] { gFront->QueryCancel(); });
  EXPECT_THROW(RunBeforePhase(), EAIUserAbort);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(gShown, (std::vector<int>{2, 4}));
}

TEST_F(DialogPhase, RefusedCancelAndTheSystemCloseKeepThePage) {
  int asked = 0;
  install->OnUserAbort = [&](TCustomInstall*, bool& quitOut) {
    ++asked;
    quitOut = false;
  };
  HWND window = nullptr;
  std::vector<TBaseInstallForm*> front;
  gSteps.push_back([&] {
    window = Host()->Handle();
    front.push_back(gFront);
    gFront->QueryCancel();
  });
  gSteps.push_back([&] {
    front.push_back(gFront);
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  gSteps.push_back([&] {
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(Host()->ModalResult(), mrNone);
    front.push_back(gFront);
  });
  Next();
  Next();
  Next();
  EXPECT_NO_THROW(RunBeforePhase());
  EXPECT_EQ(asked, 1);
  ASSERT_EQ(front.size(), 3u);
  EXPECT_EQ(front[1], front[0]);
  EXPECT_EQ(front[2], front[0]);
  EXPECT_EQ(gShown, (std::vector<int>{2, 4, 1}));
}

// A phase shown from inside another has its own manager while it runs and gives the outer phase its
// manager back when it ends.
TEST_F(DialogPhase, AnInnerPhaseGivesTheOuterPhaseItsManagerBack) {
  std::vector<TDialogManager*> current;
  gSteps.push_back([&] {
    current.push_back(CurrentDialogManager());
    TBaseInstallForm* outer = gFront;
    // The next step waits for the inner phase's page and ends that phase inside its own modal loop.
    gFront = nullptr;
    install->Broadcast(install, ncGoodEndPages, nullptr);
    gFront = outer;
    current.push_back(CurrentDialogManager());
    // Queued only now: until here gFront was the inner phase's page, freed with its window.
    Next();
    Next();
    Next();
  });
  gSteps.push_back([&] {
    current.push_back(CurrentDialogManager());
    gFront->GoNext();
  });
  RunBeforePhase();
  EXPECT_EQ(current, (std::vector<TDialogManager*>{before, good, before}));
  EXPECT_EQ(gShown, (std::vector<int>{2, 3, 4, 1}));
  EXPECT_TRUE(gSteps.empty());
}

TEST_F(DialogPhase, StatusNotificationsCheckTheirParameter) {
  auto* copy = new TDialogManager(form);
  copy->SetName("CopyManager");
  copy->SetManagerType(dmDuringCopyFiles);
  TMessageParameter wrong;
  auto message = [&](int code, TObject* po) -> std::string {
    try {
      copy->HandleNotification(nullptr, code, po);
    } catch (const IException& e) {
      return e.Message();
    }
    return "no error";
  };
  EXPECT_EQ(message(ncFileStatus, nullptr), "CopyManager got a nil PO parameter");
  EXPECT_EQ(message(ncDownloadStatus, nullptr), "CopyManager got a nil PO parameter");
  EXPECT_EQ(message(ncFileStatus, &wrong),
            "The PO object passed to CopyManager is not a TFileStatusParameter object");
  TFileStatusParameter fileStatus;
  EXPECT_EQ(message(ncDownloadStatus, &fileStatus),
            "The PO object passed to CopyManager is not a TDownloadStatusParameter object");
  // Another phase's manager ignores the code.
  EXPECT_NO_THROW(before->HandleNotification(nullptr, ncFileStatus, nullptr));
  delete copy;
}

TEST_F(DialogPhase, PagesCannotBeFilledWithoutACurrentManager) {
  TBaseFormContainer container(&Application());
  try {
    container.FillPages();
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "The current dialog manager is not defined");
  }
}

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "no error";
}

TEST_F(DialogPhase, DialogComponentsJoinAndLeaveTheirManager) {
  auto* dlg = new TTestDlg(form);
  dlg->SetName("TestDlg1");
  dlg->SetDialogManager(before);
  EXPECT_EQ(before->Dialogs(), (std::vector<TCustomBaseInstallDlg*>{dlg}));
  dlg->SetDialogManager(good);
  EXPECT_TRUE(before->Dialogs().empty());
  EXPECT_EQ(good->Dialogs(), (std::vector<TCustomBaseInstallDlg*>{dlg}));
  EXPECT_EQ(MessageOf([&] { before->AddDialog(nullptr); }),
            "Cannot add a NIL Dialog to the Dialog Manager BeforeManager");
  EXPECT_EQ(MessageOf([&] { dlg->AssignDialogProperties(); }),
            "Cannot AssignDialogProperties for TestDlg1 because the Dialog is Nil");
  delete good;
  good = nullptr;
  EXPECT_EQ(dlg->DialogManager(), nullptr) << "its manager went away";
  dlg->SetDialogManager(before);
  delete dlg;
  EXPECT_TRUE(before->Dialogs().empty()) << "the component went away";
}

// A page registered with a dialog component is shown by that component's manager, in the
// component's Order, and only while the component wants it; a destroyed component's entry is passed over.
TEST_F(DialogPhase, APageWithADialogComponentFollowsTheComponent) {
  auto* dlg = new TTestDlg(form);
  dlg->SetName("TestDlg2");
  dlg->SetContainer(install);
  dlg->Order = 15;
  dlg->SetDialogManager(before);
  RegisterInstallPage(TTestPage<5>::StaticClassInfo(), dlg);
  Next();
  gSteps.push_back([&] {
    EXPECT_EQ(gFront->DC(), dlg);
    EXPECT_EQ(gFront->Order(), 15);
    EXPECT_EQ(gFront->InstallObject, install);
    EXPECT_EQ(dlg->Dialog(), gFront);
  });
  Next();
  Next();
  Next();
  RunBeforePhase();
  EXPECT_EQ(gShown, (std::vector<int>{2, 5, 4, 1}));
  EXPECT_EQ(dlg->Dialog(), nullptr) << "the page went with its phase";
  dlg->show = false;
  gShown.clear();
  Next();
  Next();
  Next();
  RunBeforePhase();
  EXPECT_EQ(gShown, (std::vector<int>{2, 4, 1}));
  delete dlg;
  gShown.clear();
  Next();
  Next();
  Next();
  RunBeforePhase();
  EXPECT_EQ(gShown, (std::vector<int>{2, 4, 1}));
}

// What the program registers at start-up is the registries' start state: a component's registration
// is withdrawn when the component goes, and a reset drops it for good.
TEST_F(DialogPhase, AResetKeepsOnlyTheStartUpRegistrations) {
  const int startUp = InstallPageCount();
  ASSERT_EQ(startUp, 4);
  auto* dlg = new TTestDlg(form);
  RegisterInstallPage(TTestPage<5>::StaticClassInfo(), dlg);
  RegisterDuringCopyPage(TTestPage<5>::StaticClassInfo(), dlg);
  RegisterChangeDiskPage(TTestPage<5>::StaticClassInfo(), dlg);
  EXPECT_EQ(InstallPage(startUp).InstallDlg, dlg);
  delete dlg;
  for (const auto* list : {&BIFList(), &DCFList(), &ChangeDiskList()}) {
    ASSERT_FALSE(list->empty());
    EXPECT_TRUE(list->back().Withdrawn);
    EXPECT_EQ(list->back().InstallDlg, nullptr);
  }
  ResetRunState();
  EXPECT_TRUE(DCFList().empty());
  EXPECT_TRUE(ChangeDiskList().empty());
  std::vector<std::string> names;
  for (int i = 0; i < InstallPageCount(); ++i) names.push_back(InstallPage(i).FormClass->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"TTestPage1", "TTestPage2", "TTestPage3", "TTestPage4"}));
  EXPECT_EQ(MessageOf([&] { InstallPage(startUp); }), "4 is an invalid index in the BIFList");
  EXPECT_EQ(MessageOf([] { InstallPage(-1); }), "-1 is an invalid index in the BIFList");
}

TEST_F(DialogPhase, ADialogComponentShowsItsPageOnItsOwn) {
  auto* dlg = new TTestDlg(form);
  dlg->SetName("TestDlg3");
  dlg->SetContainer(install);
  int before = 0, after = 0;
  dlg->OnBeforeExecute = [&](TObject*) { ++before; };
  dlg->OnAfterExecute = [&](TObject*) { ++after; };
  // Its page is a top-level dialog here: OK ends it well, anything else is the user's abort.
  gModalAnswer = mrOk;
  EXPECT_TRUE(dlg->Execute());
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(dlg->Dialog(), nullptr) << "the page is freed again";
  gModalAnswer = mrCancel;
  EXPECT_THROW(dlg->ShowDialog(), EAIUserAbort);
  dlg->show = false;
  EXPECT_TRUE(dlg->ShowDialog()) << "nothing to show";
  // EAbort from its before event ends it quietly.
  dlg->OnBeforeExecute = [](TObject*) { throw EAbort(std::string("skip")); };
  EXPECT_FALSE(dlg->Execute());
  delete dlg;
}

TEST(PlaceOnScreen, PlacesByRowAndColumnWithTiesToEven) {
  struct Case {
    int sw, sh, w, h, c;
    TTavenrikDialogPosition pos;
    int lo, to;
    int left, top;
  };
  const Case cases[] = {
      {1024, 768, 478, 395, 18, tdpBottomRight, 10, 20, 536, 335},
      {1023, 768, 478, 395, 18, tdpCenter, 0, 0, 272, 186},   // 272.5 and 186.5 go down to even
      {1025, 767, 478, 394, 18, tdpCenter, 0, 0, 274, 186},   // 273.5 up to even; 186.5 down
      {1025, 769, 478, 394, 18, tdpCenter, 5, -7, 279, 181},  // 187.5 up to 188, then the offsets
      {1024, 768, 478, 395, 18, tdpCenterLeft, 10, 20, 10, 206},
      {1024, 768, 478, 395, 18, tdpTopCenter, 10, 20, 283, 20},
      {1024, 768, 478, 395, 18, tdpTopRight, 10, 20, 536, 20},
      {1024, 768, 478, 395, 18, tdpBottomLeft, 10, 20, 10, 335},
      {800, 600, 1000, 700, 18, tdpCenter, 0, 0, -100, -50},  // larger than the screen
  };
  for (const Case& k : cases) {
    const TScreenPlace p = PlaceOnScreen(k.sw, k.sh, k.w, k.h, k.c, k.pos, k.lo, k.to);
    EXPECT_EQ(p.Left, k.left) << DialogPositionNames[k.pos] << " " << k.sw;
    EXPECT_EQ(p.Top, k.top) << DialogPositionNames[k.pos] << " " << k.sh;
  }
}

}  // namespace
