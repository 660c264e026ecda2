#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sys/pump.h"
#include "sys/run_state.h"
#include "ui/application.h"
#include "ui/extctrls.h"
#include "ui/win32.h"

namespace tav {
namespace {

struct ShownBox {
  std::string text, caption;
  unsigned flags;
};

// Every test runs with the message box replaced: a real one would block the run.
class UiTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Application().Initialize();
    RegisterUiClasses();
  }
  void SetUp() override {
    Application().SetMessageBoxHook([this](const std::string& text, const std::string& caption, unsigned flags) {
      boxes.push_back({text, caption, flags});
      return IDOK;
    });
  }
  void TearDown() override {
    Application().ProcessMessages();
    EXPECT_FALSE(Application().Terminated());
  }
  std::vector<ShownBox> boxes;
};

// A form that records the application messages it gets and can run code for them.
class ProbeForm : public TForm {
public:
  using TForm::TForm;
  std::vector<UINT> received;
  std::function<void()> onProbe;

protected:
  void WndProc(TMessage& m) override {
    if (m.Msg >= WM_APP + 1 && m.Msg <= WM_APP + 9) {
      received.push_back(m.Msg);
      if (onProbe) onProbe();
      return;
    }
    TForm::WndProc(m);
  }
};

std::unique_ptr<ProbeForm> MakeForm(TComponent* owner = nullptr) {
  auto form = std::make_unique<ProbeForm>(owner);
  form->SetBounds(40, 30, 300, 200);
  form->SetCaption("Probe");
  return form;
}

RECT ChildRectInParent(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST_F(UiTest, ShowCreatesATopLevelWindowThatFollowsTheProperties) {
  auto form = MakeForm();
  EXPECT_FALSE(form->HandleAllocated()) << "windows are made when needed";
  form->Show();
  HWND w = form->WindowHandle();
  ASSERT_TRUE(IsWindow(w));
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(GetParent(w), nullptr);
  EXPECT_EQ(WindowTextOf(w), "Probe");
  form->SetCaption("Second \xC3\xA9tape");  // UTF-8 inside, UTF-16 at the window
  EXPECT_EQ(WindowTextOf(w), "Second \xC3\xA9tape");
  EXPECT_EQ(GetWindowTextLengthW(w), 12) << "one UTF-16 unit for the accented letter";

  form->SetClientWidth(400);
  form->SetClientHeight(250);
  RECT client{};
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, ScaleToDevice(400, form->Dpi()));
  EXPECT_EQ(client.bottom, ScaleToDevice(250, form->Dpi()));
  EXPECT_EQ(form->ClientWidth(), 400);

  form->Hide();
  EXPECT_FALSE(IsWindowVisible(w));
  form.reset();
  EXPECT_FALSE(IsWindow(w)) << "the window goes with the form";
}

TEST_F(UiTest, OnActivateFiresOnFirstShowAndTheHandlerCanBeSwapped) {
  auto form = MakeForm();
  std::vector<std::string> calls;
  form->OnActivate = [&](TObject* sender) {
    EXPECT_EQ(sender, form.get());
    calls.push_back("own");
  };
  // As the installer does: keep the form's handler, hook in front, put it back on the first call.
  TNotifyEvent saved = form->OnActivate;
  form->OnActivate = [&](TObject* sender) {
    calls.push_back("hook");
    if (saved) saved(sender);
    form->OnActivate = saved;
  };
  form->Show();
  Application().ProcessMessages();
  ASSERT_EQ(calls, (std::vector<std::string>{"hook", "own"}));
  EXPECT_TRUE(form->Active());

  auto other = MakeForm();
  other->Show();
  Application().ProcessMessages();
  EXPECT_FALSE(form->Active());
  form->Show();
  Application().ProcessMessages();
  EXPECT_EQ(calls, (std::vector<std::string>{"hook", "own", "own"}));
}

TEST_F(UiTest, WindowStateMaximisesAndRestoresTheRealWindow) {
  auto form = MakeForm();
  form->SetWindowState(wsMaximized);  // before the first show: shown maximised
  form->Show();
  EXPECT_TRUE(IsZoomed(form->WindowHandle()));
  EXPECT_EQ(form->WindowState(), wsMaximized);
  form->SetWindowState(wsNormal);
  EXPECT_FALSE(IsZoomed(form->WindowHandle()));
  EXPECT_EQ(form->Width(), 300);
  // After being shown: maximised at once, and the repaint the installer asks for goes through.
  form->SetWindowState(wsMaximized);
  form->Repaint();
  EXPECT_TRUE(IsZoomed(form->WindowHandle()));
  RECT r{};
  GetWindowRect(form->WindowHandle(), &r);
  EXPECT_GT(r.right - r.left, ScaleToDevice(300, form->Dpi()));
}

TEST_F(UiTest, MovingOffScreenKeepsTheFormShownAndIsNotUndoneByPosition) {
  auto form = MakeForm();
  form->SetPosition(poScreenCenter);
  form->SetLeft(-2 * form->Width());
  form->SetTop(-2 * form->Height());
  form->Show();
  RECT r{};
  GetWindowRect(form->WindowHandle(), &r);
  const int dpi = form->Dpi();
  EXPECT_EQ(r.left, ScaleToDevice(-600, dpi));
  EXPECT_EQ(r.top, ScaleToDevice(-400, dpi));
  EXPECT_TRUE(IsWindowVisible(form->WindowHandle()));

  // The same after the window exists.
  form->SetBounds(10, 20, 300, 200);
  form->SetLeft(-2 * form->Width());
  GetWindowRect(form->WindowHandle(), &r);
  EXPECT_EQ(r.left, ScaleToDevice(-600, dpi));
  EXPECT_EQ(r.top, ScaleToDevice(20, dpi));
}

TEST_F(UiTest, ScreenCenterPlacesTheFormOnItsFirstShow) {
  auto form = MakeForm();
  form->SetPosition(poScreenCenter);
  form->Show();
  RECT r{};
  GetWindowRect(form->WindowHandle(), &r);
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR((r.left + r.right) / 2, cx / 2, 1);
  EXPECT_NEAR((r.top + r.bottom) / 2, cy / 2, 1);
}

TEST_F(UiTest, TerminateEndsRunAfterTheCurrentHandlerReturns) {
  TApplication app;
  auto form = MakeForm();
  form->Show();
  bool ranAfterTerminate = false;
  form->onProbe = [&] {
    if (form->received.size() == 1) {
      app.Terminate();
      ranAfterTerminate = true;  // the request does not cut the handler short
    }
  };
  PostMessageW(form->WindowHandle(), WM_APP + 1, 0, 0);
  PostMessageW(form->WindowHandle(), WM_APP + 2, 0, 0);
  app.Run();
  EXPECT_TRUE(ranAfterTerminate);
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(form->received, (std::vector<UINT>{WM_APP + 1})) << "the loop stopped right after that handler";
  // Nothing of the quit request is left for the next loop; the second message still is.
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  Application().ProcessMessages();
  EXPECT_EQ(form->received.size(), 2u);
}

TEST_F(UiTest, RunAfterTerminateReturnsAtOnce) {
  TApplication app;
  app.Terminate();  // a start-up mode that finished during loading
  app.Run();
  EXPECT_TRUE(app.Terminated());
}

TEST_F(UiTest, ProcessMessagesAndThePumpHookDispatchPostedMessages) {
  auto form = MakeForm();
  form->Show();
  PostMessageW(form->WindowHandle(), WM_APP + 3, 0, 0);
  Application().ProcessMessages();
  EXPECT_EQ(form->received, (std::vector<UINT>{WM_APP + 3}));
  // Long operations reach the same loop through the system layer's hook.
  PostMessageW(form->WindowHandle(), WM_APP + 4, 0, 0);
  sys::PumpMessages();
  EXPECT_EQ(form->received, (std::vector<UINT>{WM_APP + 3, WM_APP + 4}));
}

TEST_F(UiTest, ExceptionsFromHandlersReachOnExceptionOrTheMessageBox) {
  auto form = MakeForm();
  form->OnActivate = [](TObject*) { throw IEInstall("Disk full while copying %s", std::string("a.dll")); };
  std::vector<std::pair<TObject*, std::string>> seen;
  Application().OnException = [&](TObject* sender, const Exception& e) {
    seen.emplace_back(sender, std::string(e.ClassName()) + ": " + e.Message());
  };
  form->Show();  // the handler throws inside the window procedure
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, form.get());
  EXPECT_EQ(seen[0].second, "IEInstall: Disk full while copying a.dll");
  EXPECT_TRUE(IsWindowVisible(form->WindowHandle())) << "the program goes on";
  EXPECT_TRUE(boxes.empty());

  // Without a handler: the standard display, a message box with the message and the title.
  Application().OnException = nullptr;
  Application().SetTitle("Setup");
  form->onProbe = [] { throw std::runtime_error("not ours"); };
  PostMessageW(form->WindowHandle(), WM_APP + 5, 0, 0);
  Application().ProcessMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "not ours");
  EXPECT_EQ(boxes[0].caption, "Setup");
  EXPECT_TRUE(boxes[0].flags & MB_ICONSTOP);

  // EAbort is silent; a handler that itself fails shows its own failure instead of crashing.
  form->onProbe = [] { throw EAbort("skip"); };
  PostMessageW(form->WindowHandle(), WM_APP + 5, 0, 0);
  Application().ProcessMessages();
  EXPECT_EQ(boxes.size(), 1u);
  Application().OnException = [](TObject*, const Exception&) { throw Exception("handler broke"); };
  form->onProbe = [] { throw Exception("first"); };
  PostMessageW(form->WindowHandle(), WM_APP + 5, 0, 0);
  Application().ProcessMessages();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "handler broke");
}

TEST_F(UiTest, CloseHonoursCloseQueryAndTheCloseAction) {
  auto form = MakeForm();
  form->Show();
  bool allow = false;
  form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
  SendMessageW(form->WindowHandle(), WM_CLOSE, 0, 0);  // the system close box
  EXPECT_TRUE(IsWindowVisible(form->WindowHandle()));
  allow = true;
  form->OnClose = [](TObject*, TCloseAction& action) { action = caNone; };
  form->Close();
  EXPECT_TRUE(IsWindowVisible(form->WindowHandle()));
  form->OnClose = nullptr;
  form->Close();
  EXPECT_FALSE(IsWindowVisible(form->WindowHandle())) << "caHide by default";
  EXPECT_TRUE(IsWindow(form->WindowHandle()));

  // caFree: destroyed once the queued messages are handled, not inside its own handler.
  auto* freed = MakeForm(&Application()).release();
  bool destroyed = false;
  freed->OnDestroy = [&](TObject*) { destroyed = true; };
  freed->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
  freed->Show();
  const int before = Application().ComponentCount();
  freed->Close();
  EXPECT_FALSE(destroyed);
  Application().ProcessMessages();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Application().ComponentCount(), before - 1);
}

TEST_F(UiTest, HourglassCursorCoversTheFormAndItsChildren) {
  auto form = MakeForm();
  auto* panel = new TWinControl(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(10, 10, 50, 50);
  form->Show();
  const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  form->SetCursor(crHourGlass);
  ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  SendMessageW(panel->WindowHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(panel->WindowHandle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), wait);
  form->SetCursor(crDefault);
  SendMessageW(panel->WindowHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(panel->WindowHandle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_NE(GetCursor(), wait);
}

TEST_F(UiTest, AlignedChildWindowsFollowTheFormAndItsResizing) {
  auto form = MakeForm();
  form->SetBorderStyle(bsSizeable);
  form->SetClientWidth(470);
  form->SetClientHeight(368);
  int resized = 0;
  form->OnResize = [&](TObject*) { ++resized; };
  auto* side = new TWinControl(form.get());
  side->SetWidth(136);
  side->SetAlign(alLeft);
  side->SetParent(form.get());
  auto* bottom = new TWinControl(form.get());
  bottom->SetHeight(52);
  bottom->SetAlign(alBottom);
  bottom->SetParent(form.get());
  auto* content = new TWinControl(form.get());
  content->SetAlign(alClient);
  content->SetParent(form.get());
  auto* hidden = new TWinControl(form.get());
  hidden->SetVisible(false);
  hidden->SetAlign(alTop);
  hidden->SetHeight(30);
  hidden->SetParent(form.get());
  form->Show();

  const int dpi = form->Dpi();
  auto device = [&](int l, int t, int w, int h) {
    return RECT{ScaleToDevice(l, dpi), ScaleToDevice(t, dpi), ScaleToDevice(l, dpi) + ScaleToDevice(w, dpi),
                ScaleToDevice(t, dpi) + ScaleToDevice(h, dpi)};
  };
  auto expectAt = [&](TWinControl* c, RECT want) {
    const RECT got = ChildRectInParent(c->WindowHandle());
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    EXPECT_EQ(got.bottom, want.bottom);
  };
  expectAt(side, device(0, 0, 136, 316));
  expectAt(bottom, device(0, 316, 470, 52));
  expectAt(content, device(136, 0, 334, 316));
  EXPECT_FALSE(IsWindowVisible(hidden->WindowHandle()));

  // The user (or the system) resizes the window: children follow, OnResize fires.
  const int before = resized;
  RECT wr{};
  GetWindowRect(form->WindowHandle(), &wr);
  SetWindowPos(form->WindowHandle(), nullptr, 0, 0, wr.right - wr.left + ScaleToDevice(100, dpi),
               wr.bottom - wr.top, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_GT(resized, before);
  EXPECT_EQ(form->ClientWidth(), 570);
  expectAt(bottom, device(0, 316, 570, 52));
  expectAt(content, device(136, 0, 434, 316));

  // A hidden control shown later takes its place at the top.
  hidden->SetVisible(true);
  expectAt(hidden, device(0, 0, 570, 30));
  expectAt(side, device(0, 30, 136, 286));
}

TEST_F(UiTest, TabOrderIsTheOrderOfTheChildWindows) {
  auto form = MakeForm();
  auto* a = new TWinControl(form.get());
  auto* b = new TWinControl(form.get());
  a->SetParent(form.get());
  b->SetParent(form.get());
  a->SetTabStop(true);
  b->SetTabStop(true);
  form->Show();
  EXPECT_EQ(a->TabOrder(), 0);
  EXPECT_EQ(b->TabOrder(), 1);
  EXPECT_EQ(GetWindow(form->WindowHandle(), GW_CHILD), a->WindowHandle());
  b->SetTabOrder(0);
  EXPECT_EQ(a->TabOrder(), 1);
  EXPECT_EQ(GetWindow(form->WindowHandle(), GW_CHILD), b->WindowHandle());
  EXPECT_EQ(GetNextDlgTabItem(form->WindowHandle(), b->WindowHandle(), FALSE), a->WindowHandle());
}

// Asking a child for its window first creates the parent's, which creates the child's: that one
// window must be the child's only window, and the one it is known by.
TEST_F(UiTest, AChildAskedForItsWindowFirstGetsExactlyOne) {
  auto form = MakeForm();
  auto* panel = new TWinControl(form.get());
  auto* inner = new TWinControl(form.get());
  panel->SetParent(form.get());
  inner->SetParent(panel);
  const HWND innerWindow = inner->Handle();
  ASSERT_TRUE(form->HandleAllocated());
  int windows = 0;
  EnumChildWindows(
      form->WindowHandle(), [](HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; },
      reinterpret_cast<LPARAM>(&windows));
  EXPECT_EQ(windows, 2);
  EXPECT_EQ(GetParent(innerWindow), panel->WindowHandle());
  EXPECT_EQ(TWinControl::FromHandle(innerWindow), inner);
  // Windows the system destroys with their parent are no longer known by their numbers, which may
  // come back for other windows.
  DestroyWindow(form->WindowHandle());
  EXPECT_EQ(TWinControl::FromHandle(innerWindow), nullptr);
  EXPECT_EQ(TWinControl::FromHandle(panel->WindowHandle()), nullptr);
}

TEST_F(UiTest, ADeletedChildLeavesTheTabOrderOfItsParent) {
  auto form = MakeForm();
  auto* a = new TWinControl(form.get());
  auto* b = new TWinControl(form.get());
  a->SetParent(form.get());
  b->SetParent(form.get());
  form->Show();
  delete a;
  EXPECT_EQ(form->ControlCount(), 1);
  EXPECT_EQ(b->TabOrder(), 0);
  auto* c = new TWinControl(form.get());
  c->SetParent(form.get());
  EXPECT_EQ(c->TabOrder(), 1);
}

TEST_F(UiTest, FontsFollowTheParentUntilSetAndReachTheWindowScaled) {
  auto form = MakeForm();
  form->Font().SetName("Arial");
  form->Font().SetHeight(-14);
  auto* child = new TWinControl(form.get());
  child->SetParent(form.get());
  EXPECT_TRUE(child->ParentFont());
  EXPECT_EQ(child->Font().Name(), "Arial");
  form->Font().SetHeight(-16);
  EXPECT_EQ(child->Font().Height(), -16) << "a parent's later change reaches the child";
  child->Font().SetStyle(1u << fsBold);
  EXPECT_FALSE(child->ParentFont()) << "a font of its own stops following";
  form->Font().SetHeight(-20);
  EXPECT_EQ(child->Font().Height(), -16);

  form->Show();
  auto font = reinterpret_cast<HFONT>(SendMessageW(child->WindowHandle(), WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  LOGFONTW lf{};
  ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
  EXPECT_EQ(lf.lfHeight, ScaleToDevice(-16, child->Dpi()));
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_STREQ(lf.lfFaceName, L"Arial");
}

TEST_F(UiTest, BackgroundIsPaintedInTheFormColour) {
  auto form = MakeForm();
  form->SetColor(0x0000FF);  // red as stored: 0x00BBGGRR
  form->Show();
  form->Repaint();
  EXPECT_EQ(GetPixel(TWindowDC(form->WindowHandle()).Get(), 5, 5), RGB(255, 0, 0));
}

TEST_F(UiTest, CreateFormWithoutAResourceFailsAndLeavesNothing) {
  const int before = Application().ComponentCount();
  TForm* main = Application().MainForm();
  EXPECT_THROW(Application().CreateForm<ProbeForm>(), Exception);
  EXPECT_EQ(Application().ComponentCount(), before) << "the half-made form is gone";
  EXPECT_EQ(Application().MainForm(), main);
  EXPECT_THROW(Application().CreateForm(TWinControl::StaticClassInfo()), EComponentError);
  // A class outside the wanted base is refused before anything is made.
  TComponent owner(nullptr);
  try {
    CreateFormFromLayout(TForm::StaticClassInfo(), &owner, TPanel::StaticClassInfo());
    ADD_FAILURE() << "no exception";
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "TForm is not a TPanel class that can be created");
  }
  EXPECT_EQ(owner.ComponentCount(), 0);
}

// A form whose window understates its text's length, as the system's copy of another program's
// window text may fall short.
class UnderstatingForm : public TForm {
public:
  using TForm::TForm;

protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_GETTEXTLENGTH) {
      m.Result = 3;
      return;
    }
    TForm::WndProc(m);
  }
};

TEST_F(UiTest, WindowTextReadsTheWholeTextWhateverLengthIsClaimed) {
  std::string caption;
  for (int i = 0; i < 1000; ++i) caption += "\xC3\xA9";  // 1000 UTF-16 units, 2000 bytes of UTF-8
  caption += " end";
  TForm plain(nullptr);
  UnderstatingForm understating(nullptr);
  for (TForm* form : {&plain, static_cast<TForm*>(&understating)}) {
    form->SetCaption(caption);
    const std::string text = WindowTextOf(form->Handle());
    EXPECT_EQ(text.size(), caption.size());
    EXPECT_TRUE(text == caption);
  }
  plain.SetCaption("");
  EXPECT_EQ(WindowTextOf(plain.Handle()), "");
}

// Answers the next message box of this thread with OK once it is up (its modal loop runs the timer).
// Returns the timer, to be killed when no box came.
UINT_PTR AnswerNextBox() {
  return SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM found) {
          wchar_t name[16] = {};
          GetClassNameW(w, name, 16);
          if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
          *reinterpret_cast<HWND*>(found) = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    KillTimer(nullptr, timer);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
}

TEST_F(UiTest, ResetRunStateKeepsThePumpHookAndClearsWhatACaseLeftBehind) {
  auto form = MakeForm();
  form->Show();
  // A case's own hook for a scope; the application's comes back after it.
  int calls = 0;
  PostMessageW(form->WindowHandle(), WM_APP + 6, 0, 0);
  {
    const TRunSlotScope<sys::TPumpHook> scope(sys::MessagePumpHook(), [&] { ++calls; });
    sys::PumpMessages();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(form->received.empty());
  }
  sys::PumpMessages();
  EXPECT_EQ(form->received, (std::vector<UINT>{WM_APP + 6}));
  // A hook removed by a case: the reset brings back the one Initialize installed.
  sys::SetMessagePumpHook(nullptr);
  PostMessageW(form->WindowHandle(), WM_APP + 7, 0, 0);
  sys::PumpMessages();
  EXPECT_EQ(form->received.size(), 1u);
  ResetRunState();
  sys::PumpMessages();
  EXPECT_EQ(form->received, (std::vector<UINT>{WM_APP + 6, WM_APP + 7}));

  // The application's handler, message-box hook, and a quit request no loop took.
  bool handled = false;
  Application().OnException = [&](TObject*, const Exception&) { handled = true; };
  int hooked = 0;
  Application().SetMessageBoxHook([&](const std::string&, const std::string&, unsigned) {
    ++hooked;
    return IDOK;
  });
  Application().Terminate();
  ResetRunState();
  EXPECT_FALSE(Application().OnException);
  EXPECT_FALSE(Application().Terminated());
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  const UINT_PTR answer = AnswerNextBox();
  EXPECT_EQ(Application().MessageBox("After the reset", "Setup", MB_OK), IDOK);
  KillTimer(nullptr, answer);
  EXPECT_EQ(hooked, 0) << "the system's message box was shown, not the old hook";
  EXPECT_FALSE(handled);
}

TEST_F(UiTest, DestroyFormsFreesTheApplicationsFormsAndTheApplicationGoesOn) {
  std::vector<std::string> destroyed;
  std::vector<HWND> windows;
  for (const char* name : {"First", "Second"}) {
    TForm* form = MakeForm(&Application()).release();
    form->OnDestroy = [&destroyed, name](TObject*) { destroyed.push_back(name); };
    form->Show();
    windows.push_back(form->WindowHandle());
  }
  Application().DestroyForms();
  EXPECT_EQ(destroyed, (std::vector<std::string>{"Second", "First"}));
  EXPECT_EQ(Application().ComponentCount(), 0);
  for (HWND w : windows) EXPECT_FALSE(IsWindow(w));
  // The application itself stays: it takes new forms and runs their messages.
  std::unique_ptr<ProbeForm> later(MakeForm(&Application()).release());
  later->Show();
  PostMessageW(later->WindowHandle(), WM_APP + 8, 0, 0);
  Application().ProcessMessages();
  EXPECT_EQ(later->received, (std::vector<UINT>{WM_APP + 8}));
  EXPECT_EQ(Application().ComponentCount(), 1);
}

}  // namespace
}  // namespace tav
