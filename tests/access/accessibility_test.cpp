// Every page of the wizard read the way a screen reader reads it: through MSAA, from the window's
// object down its children, skipping what is invisible. Each page's texts must be found by their
// words, with their roles, in reading order; Tab must reach every control of the page and nothing
// behind it, arrow keys move within a radio group, and a label's accelerator focuses its control.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/properties.h"
#include "dialogs/backdrop.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "dialogs/page_bases.h"
#include "dialogs/pages.h"
#include "dialogs/select_page.h"
#include "engine/cmp_TInstall.h"
#include "engine/command_line.h"
#include "install_support.h"
#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallContainer.h"
#include "page_walk.h"
#include "paths/cmp_TPathSpecifier.h"
#include "shell/cmp_TInstallShellLink.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "ui/win32.h"

#include <oleacc.h>

using namespace tav;
using namespace tav::test;

namespace {

using TAccessProjectForm = TProjectForm<"TAccessProjectForm">;

// ---- reading as a screen reader does ----

struct TRead {
  std::string Name, Value;
  long Role = 0, State = 0;
  RECT Place{};     // on the screen
  int Parent = -1;  // index of the element it was read under
};

std::string Text(BSTR b) {
  std::string s = b ? sys::Narrow(std::wstring(b, SysStringLen(b))) : std::string();
  SysFreeString(b);
  return s;
}

TRead Describe(IAccessible& acc, VARIANT id, int parent) {
  TRead r;
  r.Parent = parent;
  BSTR b = nullptr;
  if (acc.get_accName(id, &b) == S_OK) r.Name = Text(b);
  b = nullptr;
  if (acc.get_accValue(id, &b) == S_OK) r.Value = Text(b);
  VARIANT v;
  VariantInit(&v);
  if (SUCCEEDED(acc.get_accRole(id, &v)) && v.vt == VT_I4) r.Role = v.lVal;
  VariantInit(&v);
  if (SUCCEEDED(acc.get_accState(id, &v)) && v.vt == VT_I4) r.State = v.lVal;
  long x = 0, y = 0, w = 0, h = 0;
  if (SUCCEEDED(acc.accLocation(&x, &y, &w, &h, id))) r.Place = {x, y, x + w, y + h};
  return r;
}

void ReadTree(IAccessible& acc, int parent, std::vector<TRead>& out, int depth) {
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  TRead me = Describe(acc, self, parent);
  if (me.State & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) return;
  const int index = static_cast<int>(out.size());
  out.push_back(me);
  long count = 0;
  if (FAILED(acc.get_accChildCount(&count)) || count <= 0 || depth > 16) return;
  std::vector<VARIANT> kids(static_cast<std::size_t>(count));
  long got = 0;
  if (FAILED(AccessibleChildren(&acc, 0, count, kids.data(), &got))) return;
  for (long i = 0; i < got; ++i) {
    VARIANT& kid = kids[static_cast<std::size_t>(i)];
    if (kid.vt == VT_DISPATCH && kid.pdispVal) {
      IAccessible* child = nullptr;
      if (SUCCEEDED(kid.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&child)))) {
        ReadTree(*child, index, out, depth + 1);
        child->Release();
      }
    } else if (kid.vt == VT_I4) {
      TRead item = Describe(acc, kid, index);
      if (!(item.State & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN))) out.push_back(item);
    }
    VariantClear(&kid);
  }
}

// What a screen reader finds in a window, in the order it reads it.
std::vector<TRead> ScreenRead(HWND window) {
  std::vector<TRead> out;
  IAccessible* root = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&root))) ||
      !root)
    return out;
  ReadTree(*root, -1, out, 0);
  root->Release();
  return out;
}

std::string Dump(const std::vector<TRead>& reads) {
  std::string s;
  for (const TRead& r : reads) {
    if (r.Name.empty()) continue;
    s += "  [" + std::to_string(r.Role) + "] " + r.Name + "\n";
  }
  return s;
}

// Where text is found, or -1.
int Find(const std::vector<TRead>& reads, const std::string& name, int from = 0) {
  for (int i = std::max(from, 0); i < static_cast<int>(reads.size()); ++i) {
    if (reads[static_cast<std::size_t>(i)].Name == name) return i;
  }
  return -1;
}

struct TExpect {
  std::string Name;
  long Role;
};

// The texts are read in this order, each with its role.
void ExpectReadInOrder(const std::vector<TRead>& reads, const std::vector<TExpect>& expected, const std::string& page) {
  int at = 0;
  for (const TExpect& e : expected) {
    const int found = Find(reads, e.Name, at);
    if (found < 0) {
      const bool anywhere = Find(reads, e.Name) >= 0;
      ADD_FAILURE() << page << ": \"" << e.Name << "\" " << (anywhere ? "is read out of order" : "is not read")
                    << "; read:\n" << Dump(reads);
      continue;
    }
    EXPECT_EQ(reads[static_cast<std::size_t>(found)].Role, e.Role) << page << ": role of \"" << e.Name << "\"";
    at = found + 1;
  }
}

// Reading order on screen: top to bottom, a row (tops within a few pixels) left to right.
bool ShownBefore(const RECT& a, const RECT& b) {
  if (std::abs(a.top - b.top) <= 4) return a.left < b.left;
  return a.top < b.top;
}

// Texts and controls read one after another inside the same container come in screen order.
void ExpectScreenOrder(const std::vector<TRead>& reads, const std::string& page) {
  std::vector<int> lastOf(reads.size(), -1);
  for (int i = 0; i < static_cast<int>(reads.size()); ++i) {
    const TRead& r = reads[static_cast<std::size_t>(i)];
    if (r.Parent < 0 || r.Name.empty() || r.Place.bottom <= r.Place.top) continue;
    int& last = lastOf[static_cast<std::size_t>(r.Parent)];
    if (last >= 0) {
      const TRead& before = reads[static_cast<std::size_t>(last)];
      EXPECT_FALSE(ShownBefore(r.Place, before.Place))
          << page << ": \"" << r.Name << "\" is shown before \"" << before.Name << "\" but read after it";
    }
    last = i;
  }
}

// Every label and button the user sees on the page is read with the right role.
void ExpectEveryTextRead(TWinControl& root, const std::vector<TRead>& reads, const std::string& page) {
  if (!root.HandleAllocated() || !IsWindowVisible(root.WindowHandle())) return;
  for (int i = 0; i < root.ControlCount(); ++i) {
    TControl* c = root.Controls(i);
    auto* w = dynamic_cast<TWinControl*>(c);
    if (!c->Visible() || (w && !w->HandleAllocated())) continue;
    long role = 0;
    if (dynamic_cast<TLabel*>(c)) role = ROLE_SYSTEM_STATICTEXT;
    if (dynamic_cast<TButton*>(c)) role = ROLE_SYSTEM_PUSHBUTTON;
    const std::string name = StripAccelerator(c->Caption());
    if (role && !name.empty()) {
      const int found = Find(reads, name);
      if (found < 0) {
        ADD_FAILURE() << page << ": " << c->Name() << " \"" << name << "\" is not read";
      } else {
        EXPECT_EQ(reads[static_cast<std::size_t>(found)].Role, role) << page << ": " << c->Name();
      }
    }
    if (w) ExpectEveryTextRead(*w, reads, page);
  }
}

// ---- the keyboard ----

bool Reachable(HWND w) {
  for (HWND p = w; p && (GetWindowLongPtrW(p, GWL_STYLE) & WS_CHILD); p = GetParent(p)) {
    if (!IsWindowEnabled(p)) return false;
  }
  return IsWindowVisible(w) != FALSE;
}

// The windows Tab should stop at: enabled, shown tab stops under root; one per radio group.
void TabStops(HWND root, std::set<HWND>& stops) {
  for (HWND w = GetWindow(root, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (!Reachable(w)) continue;
    if (GetWindowLongPtrW(w, GWL_STYLE) & WS_TABSTOP) stops.insert(w);
    TabStops(w, stops);
  }
}

void Key(UINT key, bool shift = false) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
  PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
  PostMessageW(GetFocus(), WM_KEYUP, key, 0xC0000001);
  Application().ProcessMessages();
  state[VK_SHIFT] = 0;
  SetKeyboardState(state);
}

void AltKey(wchar_t letter) {
  PostMessageW(GetFocus(), WM_SYSCHAR, letter, 1u << 29);
  Application().ProcessMessages();
}

// Tab from the focused control round the page: every stop is reached, nothing outside the page,
// and Shift+Tab walks the same circle backwards.
void ExpectTabReachesEveryControl(HWND page, const std::string& name) {
  std::set<HWND> expected;
  TabStops(page, expected);
  ASSERT_FALSE(expected.empty()) << name;
  const HWND start = GetFocus();
  ASSERT_TRUE(IsChild(page, start)) << name << ": the focus is not on the page";
  std::vector<HWND> forward{start};
  for (std::size_t i = 0; i < expected.size() + 2; ++i) {
    Key(VK_TAB);
    if (GetFocus() == start) break;
    forward.push_back(GetFocus());
  }
  EXPECT_EQ(GetFocus(), start) << name << ": Tab does not come round";
  std::set<HWND> visited;
  for (HWND w : forward) {
    EXPECT_TRUE(IsChild(page, w)) << name << ": Tab left the page";
    visited.insert(w);
  }
  for (HWND w : expected) {
    // A radio group is one stop, whichever of its buttons takes it.
    const bool radio = (GetWindowLongPtrW(w, GWL_STYLE) & 0xF) == BS_AUTORADIOBUTTON;
    if (radio && std::any_of(visited.begin(), visited.end(), [&](HWND v) { return GetParent(v) == GetParent(w); }))
      continue;
    EXPECT_TRUE(visited.count(w)) << name << ": Tab never reaches \"" << WindowTextOf(w) << "\"";
  }
  std::vector<HWND> backward{start};
  for (std::size_t i = 0; i + 1 < forward.size(); ++i) {
    Key(VK_TAB, true);
    backward.push_back(GetFocus());
  }
  std::reverse(backward.begin() + 1, backward.end());
  EXPECT_EQ(backward, forward) << name << ": Shift+Tab does not walk back the same way";
}

// ---- pictures, to compare the look ----

void Picture(HWND window, const std::string& name) { test::Picture(window, "access", name); }

// ---- driving the phases ----

void CheckWizardPage(TBaseInstallForm& page, HWND wizard, const std::string& picture,
                     const std::vector<TExpect>& texts);

// A step on the wizard page of class T once it is in front and has the focus. A page before it that
// the walk does not name (one added to the phase) gets the common checks and is left with Next.
template <class T>
void OnPage(std::function<void(T&, HWND wizard)> action) {
  gSteps.push_back([action, waited = 0]() mutable {
    TBaseInstallForm* front = FrontPage();
    if (!front || !IsWindowVisible(front->Handle())) return false;
    if (!IsChild(front->Handle(), GetFocus()) && ++waited < 50) return false;
    // A page that focuses nothing (the reboot page as the only page of its phase): its first stop.
    if (!IsChild(front->Handle(), GetFocus())) {
      if (HWND first = GetNextDlgTabItem(front->Handle(), nullptr, FALSE)) SetFocus(first);
    }
    auto* page = dynamic_cast<T*>(front);
    if (!page) {
      CheckWizardPage(*front, OpenWizard()->Handle(), std::string("page-") + front->ClassInfo().Name, {});
      waited = 0;
      front->GoNext();
      return false;
    }
    action(*page, OpenWizard()->Handle());
    return true;
  });
}

class Accessibility : public PageWalk {
protected:
  static void SetUpTestSuite() { SetUpWalk({&TAccessProjectForm::StaticClassInfo()}); }
  void OpenProject() override {
    SetArgumentSource([] { return std::vector<std::string>{"-sC:\\dist"}; });
    form = Application().CreateForm<TAccessProjectForm>();
  }
};

constexpr long kText = ROLE_SYSTEM_STATICTEXT, kButton = ROLE_SYSTEM_PUSHBUTTON;

// The common checks of a wizard page: the window is read as a dialog named by the page's caption,
// the page's own texts in order, every visible text, screen order in each container, Tab round it.
void CheckWizardPage(TBaseInstallForm& page, HWND wizard, const std::string& picture,
                     const std::vector<TExpect>& texts) {
  Picture(wizard, picture);
  const std::vector<TRead> reads = ScreenRead(wizard);
  ASSERT_FALSE(reads.empty()) << picture << ": the wizard window has no accessible object";
  EXPECT_EQ(reads[0].Role, ROLE_SYSTEM_DIALOG) << picture;
  EXPECT_EQ(reads[0].Name, page.Caption()) << picture;
  ExpectReadInOrder(reads, texts, picture);
  ExpectEveryTextRead(page, reads, picture);
  ExpectScreenOrder(reads, picture);
  // The pages behind the front one are not read.
  for (const TRead& r : reads) {
    EXPECT_FALSE(r.Role == ROLE_SYSTEM_PROPERTYPAGE && r.Name != page.Caption())
        << picture << ": the page \"" << r.Name << "\" behind is read";
  }
  ExpectTabReachesEveryControl(page.Handle(), picture);
}

TEST_F(Accessibility, EveryPageBeforeTheInstallIsReadInOrderAndReachedByTab) {
  auto* group = new TMainLinkGroup(form);  // the folder page's work; the form frees it
  group->SetContainer(install);
  group->SetDestDir("\\Access Demo");
  std::vector<std::string> seen;
  OnPage<TWelcomeForm>([&](TWelcomeForm& page, HWND wizard) {
    seen.push_back(page.Caption());
    CheckWizardPage(page, wizard, "welcome",
                    {{"This program will install the software on your computer.", kText},
                     {"It is strongly recommended that you exit all Windows programs before running this setup. If "
                      "you need to close any programs, click Cancel to quit the setup and then close the programs.",
                      kText},
                     {"Click Next to continue with the installation.", kText},
                     {"Next >", kButton},
                     {"Cancel", kButton}});
    // A text changed at run time (a language switch) is what is read from then on.
    auto& label = LayoutChild<TLabel>(page, "Label1");
    const std::string english = label.Caption();
    label.SetCaption("Dieses Programm installiert die Software auf Ihrem Computer.");
    const std::vector<TRead> reads = ScreenRead(wizard);
    EXPECT_GE(Find(reads, label.Caption()), 0) << Dump(reads);
    EXPECT_LT(Find(reads, english), 0);
    label.SetCaption(english);
    page.NextBtn()->Click();
  });
  OnPage<TLicenseForm>([&](TLicenseForm& page, HWND wizard) {
    seen.push_back(page.Caption());
    CheckWizardPage(page, wizard, "license",
                    {{"Please read the following License Agreement.", kText},
                     {"Please read the following License Agreement.", ROLE_SYSTEM_TEXT},
                     {"By clicking on the Next button below, you agree to all terms stated in the License Agreement. "
                      "You may cancel the installation by clicking on the Cancel button.",
                      kText},
                     {"< Previous", kButton},
                     {"Next >", kButton},
                     {"Cancel", kButton}});
    // The agreement is read as its value, and a read-only text lets Tab go on.
    const std::vector<TRead> reads = ScreenRead(wizard);
    const std::string intro = "Please read the following License Agreement.";
    const int agreement = Find(reads, intro, Find(reads, intro) + 1);
    EXPECT_GE(agreement, 0);
    if (agreement >= 0) {
      EXPECT_NE(reads[static_cast<std::size_t>(agreement)].Value.find("SOFTWARE LICENSE AGREEMENT"), std::string::npos);
    }
    page.NextBtn()->Click();
  });
  OnPage<TReadmeForm>([&](TReadmeForm& page, HWND wizard) {
    seen.push_back(page.Caption());
    CheckWizardPage(page, wizard, "readme",
                    {{"Please read the information below before you install this software on your computer.", kText},
                     {"< Previous", kButton},
                     {"Next >", kButton},
                     {"Cancel", kButton}});
    page.NextBtn()->Click();
  });
  OnPage<TFileGroupSelectForm>([&](TFileGroupSelectForm& page, HWND wizard) {
    seen.push_back(page.Caption());
    CheckWizardPage(page, wizard, "components",
                    {{"Program files", ROLE_SYSTEM_CHECKBUTTON},
                     {"Help files", ROLE_SYSTEM_CHECKBUTTON},
                     {"Program files", ROLE_SYSTEM_OUTLINEITEM},
                     {"Help files", ROLE_SYSTEM_OUTLINEITEM},
                     {"Destination Directory", ROLE_SYSTEM_GROUPING},
                     {"Destination Directory", ROLE_SYSTEM_TEXT},
                     {"Browse...", kButton},
                     {"Next >", kButton}});
    page.NextBtn()->Click();
  });
  OnPage<TSelectFolderForm>([&](TSelectFolderForm& page, HWND wizard) {
    seen.push_back(page.Caption());
    CheckWizardPage(page, wizard, "select-folder",
                    {{"Setup will add program icons to the Program Folder listed below. You may type a new folder "
                      "name, or select from the Existing Folders list.",
                      kText},
                     {"Program Folder", kText},
                     {"Program Folder", ROLE_SYSTEM_TEXT},
                     {"Existing Folders", kText},
                     {"Existing Folders", ROLE_SYSTEM_LIST},
                     {"Next >", kButton}});
    // The labels' accelerators focus the controls they name.
    AltKey(L'x');
    EXPECT_EQ(GetFocus(), LayoutChild<TListBox>(page, "FolderListBox").Handle());
    AltKey(L'P');
    EXPECT_EQ(GetFocus(), LayoutChild<TEdit>(page, "FolderEdit").Handle());
    page.NextBtn()->Click();
  });
  EXPECT_NO_THROW(Broadcast(ncBeforeInstallPhase));
  EXPECT_EQ(seen, (std::vector<std::string>{"Welcome", "Software license agreement", "Readme information",
                                            "Select components to install", "Select folder in start menu"}));
  EXPECT_TRUE(gSteps.empty());
}

TEST_F(Accessibility, TheEndPagesAreReadAndTheRebootChoiceTakesArrowKeys) {
  bool good = false, bad = false, reboot = false;
  OnPage<TGoodInstallForm>([&](TGoodInstallForm& page, HWND wizard) {
    good = true;
    CheckWizardPage(page, wizard, "setup-complete",
                    {{"The software has been properly installed. You may start the software by clicking on the icon.",
                      kText},
                     {"Finish", kButton}});
    page.FinishBtn()->Click();
  });
  EXPECT_NO_THROW(Broadcast(ncGoodEndPages));
  OnPage<TBadInstallForm>([&](TBadInstallForm& page, HWND wizard) {
    bad = true;
    CheckWizardPage(page, wizard, "setup-incomplete",
                    {{"This software has not been properly installed and will not work correctly if you try to use it.",
                      kText},
                     {"Finish", kButton}});
    page.FinishBtn()->Click();
  });
  EXPECT_NO_THROW(Broadcast(ncBadEndPages));
  install->SetReboot(true);
  OnPage<TRebootForm>([&](TRebootForm& page, HWND wizard) {
    reboot = true;
    CheckWizardPage(page, wizard, "reboot",
                    {{"Several components could not be installed on your system because they were in use. For the "
                      "installation to proceed, you will need to reboot your computer. If you decide not to reboot "
                      "now, the software will probably not work until you do reboot.",
                      kText},
                     {"Yes, I would like to reboot windows", ROLE_SYSTEM_RADIOBUTTON},
                     {"No, I would not like to reboot windows", ROLE_SYSTEM_RADIOBUTTON},
                     {"Finish", kButton}});
    // Within the group the arrow keys choose.
    auto& choice = LayoutChild<TRadioGroup>(page, "RG");
    choice.Button(0)->SetFocus();
    Key(VK_DOWN);
    EXPECT_EQ(GetFocus(), choice.Button(1)->Handle());
    EXPECT_EQ(choice.ItemIndex(), 1);
    const std::vector<TRead> reads = ScreenRead(wizard);
    const int no = Find(reads, "No, I would not like to reboot windows");
    EXPECT_GE(no, 0);
    if (no >= 0) {
      EXPECT_TRUE(reads[static_cast<std::size_t>(no)].State & STATE_SYSTEM_CHECKED);
    }
    page.FinishBtn()->Click();
  });
  EXPECT_NO_THROW(Broadcast(ncRebootPhase));
  EXPECT_FALSE(install->Reboot()) << "the choice made with the keys";
  EXPECT_TRUE(good && bad && reboot);
}

TEST_F(Accessibility, TheProgressWindowAndTheDiskPromptAreRead) {
  TFileStatusParameter file;
  file.FileName = "C:\\Program Files\\Demo\\demo.exe";
  file.FilePercentDone = 40;
  file.TotalPercentDone = 25;
  Broadcast(ncFileStatus, &file);
  TDialogManager& copy = *dynamic_cast<TDialogManager*>(form->FindComponent("CopyFilesManager"));
  ASSERT_EQ(copy.DuringCopyForms().size(), 1u);
  HWND progress = copy.DuringCopyForms()[0]->Handle();
  Picture(progress, "copying-files");
  std::vector<TRead> reads = ScreenRead(progress);
  ExpectReadInOrder(reads,
                    {{"Copying installation files", ROLE_SYSTEM_DIALOG},
                     {"Processing", kText},
                     {file.FileName, kText},
                     {"File progress", kText},
                     {"File progress", ROLE_SYSTEM_PROGRESSBAR},
                     {"Total progress", kText},
                     {"Total progress", ROLE_SYSTEM_PROGRESSBAR},
                     {"Cancel", kButton}},
                    "copying-files");
  ExpectScreenOrder(reads, "copying-files");
  const int bar = Find(reads, "File progress", Find(reads, "File progress") + 1);
  EXPECT_GE(bar, 0);
  if (bar >= 0) {
    EXPECT_EQ(reads[static_cast<std::size_t>(bar)].Value, "40%");
  }
  // The item being copied changes as the copy goes on; the reader reads the new one once the window
  // has taken it (it takes the latest status at most every 100 ms).
  file.FileName = "C:\\Program Files\\Demo\\help.txt";
  Sleep(110);
  Broadcast(ncFileStatus, &file);
  EXPECT_GE(Find(ScreenRead(progress), file.FileName), 0);
  Broadcast(ncOperationEnded);

  TFileRelated related(form);
  TDiskParameter disk;
  disk.NewDisk = 3;
  disk.Path = "A:\\";
  TList request;
  request.Items = {&related, &disk};
  bool prompted = false;
  gSteps.push_back([&] {
    TChangeDiskForm* f = ModalForm<TChangeDiskForm>();
    if (!f || !IsChild(f->Handle(), GetFocus())) return false;
    prompted = true;
    Picture(f->Handle(), "change-disk");
    const std::vector<TRead> prompt = ScreenRead(f->Handle());
    ExpectReadInOrder(prompt,
                      {{"Setup needs the next disk", ROLE_SYSTEM_DIALOG},
                       {"Please insert disk number 3", kText},
                       {"If the files on this disk can be found in another location, for example, in another drive, "
                        "enter its full path or click the Browse button to select its path.",
                        kText},
                       {"Path:", kText},
                       {"Path:", ROLE_SYSTEM_TEXT},
                       {"Browse...", kButton},
                       {"Proceed", kButton},
                       {"Cancel", kButton}},
                      "change-disk");
    ExpectScreenOrder(prompt, "change-disk");
    ExpectEveryTextRead(*f, prompt, "change-disk");
    ExpectTabReachesEveryControl(f->Handle(), "change-disk");
    LayoutChild<TBitBtn>(*f, "InstallBtn").Click();
    return true;
  });
  EXPECT_NO_THROW(Broadcast(ncChangeDisk, &request));
  EXPECT_TRUE(prompted);
}

// The setup's main window: the product's name drawn on the backdrop is read as text where it stands,
// and a new name (a language switch) is read at once.
TEST_F(Accessibility, TheNameOnTheBackdropIsRead) {
  auto window = std::make_unique<TForm>(nullptr);
  window->SetCaption("Access Test Setup");
  window->SetBounds(0, 0, 480, 320);
  auto* backdrop = new TBackdrop(window.get());
  backdrop->SetParent(window.get());
  backdrop->SetAlign(alClient);
  auto* name = new TRotate3DLabel(window.get());
  name->SetParent(backdrop);
  name->SetBounds(20, 20, 420, 60);
  name->Font().SetHeight(-32);
  name->SetCaption("Access Demo");
  window->Show();
  Picture(window->Handle(), "backdrop");
  std::vector<TRead> reads = ScreenRead(window->Handle());
  ExpectReadInOrder(reads, {{"Access Test Setup", ROLE_SYSTEM_WINDOW}, {"Access Demo", kText}}, "backdrop");
  name->SetCaption("Demo de acceso");
  reads = ScreenRead(window->Handle());
  EXPECT_GE(Find(reads, "Demo de acceso"), 0) << Dump(reads);
  EXPECT_LT(Find(reads, "Access Demo"), 0);
}

}  // namespace
