// The shipped pages in a test project with the six dialog managers: each phase is broadcast as the
// engine does, and the pages are driven through their buttons from a timer while the phase runs. A
// second project installs real files, so the progress window and the disk prompt follow a real copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../archive/archive_fixture.h"
#include "install_support.h"
#include "language_support.h"
#include "page_walk.h"
#include "archive/cmp_TTvrkCompress.h"
#include "config/resources.h"
#include "core/properties.h"
#include "core/routines_Strings.h"
#include "sys/run_state.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/language_page.h"
#include "dialogs/page_bases.h"
#include "dialogs/pages.h"
#include "dialogs/select_page.h"
#include "engine/cmp_TInstall.h"
#include "engine/install_record.h"
#include "engine/translator_language.h"
#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/routines_Registry.h"
#include "paths/cmp_TPathSpecifier.h"
#include "paths/routines_ExpandPaths.h"
#include "shell/cmp_TInstallShellLink.h"
#include "sys/files.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "ui/grids.h"
#include "ui/win32.h"

using namespace tav;
using namespace tav::test;

namespace {

using TWizardProjectForm = TProjectForm<"TWizardProjectForm">;
using TCopyProjectForm = TProjectForm<"TCopyProjectForm">;

TWizardPage* WizardFrontPage() { return dynamic_cast<TWizardPage*>(FrontPage()); }

// A step on the page in front of the wizard.
void OnPage(std::function<void(TWizardPage&)> action) {
  gSteps.push_back([action] {
    TWizardPage* page = WizardFrontPage();
    if (!page) return false;
    action(*page);
    return true;
  });
}

void Click(TButton* button) {
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->Visible());
  button->Click();
}

void Picture(TForm& form, const std::string& name) { test::Picture(form.Handle(), "pages", name); }

class WizardPages : public PageWalk {
protected:
  static void SetUpTestSuite() {
    SetUpWalk({&TWizardProjectForm::StaticClassInfo(), &TCopyProjectForm::StaticClassInfo()});
  }
  void TearDown() override {
    PageWalk::TearDown();
    EXPECT_EQ(CurrentDialogManager(), nullptr);
  }
  // The phases alone, with a source folder nothing is read from.
  void OpenProject() override {
    SetArgumentSource([] { return std::vector<std::string>{"-sC:\\dist"}; });
    form = Application().CreateForm<TWizardProjectForm>();
  }
  TDialogManager& Manager(const char* name) { return *dynamic_cast<TDialogManager*>(form->FindComponent(name)); }
};

TEST_F(WizardPages, BeforeInstallShowsWelcomeLicenceAndReadmeAndPassesTheFolderPage) {
  std::vector<std::string> captions;
  std::vector<bool> backShown;
  std::string licence;
  for (int i = 0; i < 4; ++i) {
    OnPage([&](TWizardPage& page) {
      captions.push_back(OpenWizard()->Caption());
      backShown.push_back(page.BackBtn()->Visible());
      EXPECT_TRUE(page.NextBtn()->Visible());
      EXPECT_EQ(page.FinishBtn(), nullptr);
      EXPECT_EQ(GetFocus(), page.NextBtn()->Handle()) << page.Caption();
      EXPECT_EQ(page.ThemeBitmap()->Picture().Bitmap().Width(), 117) << "the installer's theme picture";
      if (auto* agreement = dynamic_cast<TRichEdit*>(page.FindComponent("Agreement")))
        licence = agreement->Lines().Get(0);
      Click(page.NextBtn());
    });
  }
  // The folder page has no main link group to work on: Next on the component page ends the phase.
  EXPECT_NO_THROW(Broadcast(ncBeforeInstallPhase));
  EXPECT_EQ(captions, (std::vector<std::string>{"Welcome", "Software license agreement", "Readme information",
                                                "Select components to install"}));
  EXPECT_EQ(backShown, (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(licence, "SOFTWARE LICENSE AGREEMENT");
  EXPECT_TRUE(gSteps.empty());
}

TEST_F(WizardPages, BackReturnsAndTheCancelButtonAsksTheInstaller) {
  int asked = 0;
  bool allow = false;
  install->OnUserAbort = [&](TCustomInstall*, bool& quitOut) {
    ++asked;
    quitOut = allow;
  };
  std::vector<std::string> captions;
  OnPage([&](TWizardPage& page) { Click(page.NextBtn()); });
  OnPage([&](TWizardPage& page) {
    captions.push_back(page.Caption());
    Click(page.BackBtn());
  });
  OnPage([&](TWizardPage& page) {
    captions.push_back(page.Caption());
    Click(page.CancelBtn());  // refused: the page stays
  });
  OnPage([&](TWizardPage& page) {
    captions.push_back(page.Caption());
    allow = true;
    Click(page.CancelBtn());
  });
  EXPECT_THROW(Broadcast(ncBeforeInstallPhase), EAIUserAbort);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(captions, (std::vector<std::string>{"Software license agreement", "Welcome", "Welcome"}));
}

TEST_F(WizardPages, TheSuccessPageAloneShowsOnlyFinish) {
  OnPage([&](TWizardPage& page) {
    EXPECT_EQ(OpenWizard()->Caption(), "Setup complete");
    EXPECT_FALSE(page.BackBtn()->Visible());
    EXPECT_FALSE(page.NextBtn()->Visible());
    EXPECT_TRUE(page.FinishBtn()->Visible());
    EXPECT_EQ(GetFocus(), page.FinishBtn()->Handle());
    EXPECT_EQ(page.CancelBtn(), nullptr);
    Picture(*OpenWizard(), "setup-complete");
    Click(page.FinishBtn());
  });
  EXPECT_NO_THROW(Broadcast(ncGoodEndPages));
  EXPECT_TRUE(gSteps.empty());
}

TEST_F(WizardPages, TheRebootPageShowsAndSetsTheInstallersChoice) {
  auto choice = [](TWizardPage& page) { return dynamic_cast<TRadioGroup*>(page.FindComponent("RG")); };
  install->SetReboot(true);
  int shown = -1;
  OnPage([&](TWizardPage& page) {
    shown = choice(page)->ItemIndex();
    Picture(*OpenWizard(), "reboot");
    choice(page)->SetItemIndex(1);  // the user refuses
    Click(page.FinishBtn());
  });
  EXPECT_NO_THROW(Broadcast(ncRebootPhase));
  EXPECT_EQ(shown, 0);
  EXPECT_FALSE(install->Reboot());
  // Asked again without a reboot wanted, the refusal is selected; choosing consent sets it.
  OnPage([&](TWizardPage& page) {
    shown = choice(page)->ItemIndex();
    choice(page)->SetItemIndex(0);
    Click(page.FinishBtn());
  });
  EXPECT_NO_THROW(Broadcast(ncRebootPhase));
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(install->Reboot());
}

TEST_F(WizardPages, TheFailurePageEndsItsPhaseWithFinish) {
  OnPage([&](TWizardPage& page) {
    EXPECT_EQ(OpenWizard()->Caption(), "Setup incomplete");
    Click(page.FinishBtn());
  });
  EXPECT_NO_THROW(Broadcast(ncBadEndPages));
  EXPECT_TRUE(gSteps.empty());
}

TEST_F(WizardPages, TheProgressWindowFollowsFileAndDownloadStatus) {
  TDialogManager& copy = Manager("CopyFilesManager");
  TFileStatusParameter file;
  file.FileName = "C:\\Program Files\\Demo\\demo.exe";
  file.FilePercentDone = 40;
  file.TotalPercentDone = 25;
  Broadcast(ncFileStatus, &file);
  ASSERT_EQ(copy.DuringCopyForms().size(), 1u);
  auto* window = dynamic_cast<TCopyFileForm*>(copy.DuringCopyForms()[0]);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  auto& fileBar = LayoutChild<TProgressBar>(*window, "ProgressBar1");
  auto& totalBar = LayoutChild<TProgressBar>(*window, "ProgressBar2");
  auto& item = LayoutChild<TLabel>(*window, "lblCopyingFile");
  auto& transfer = LayoutChild<TImage>(*window, "TransferBitmap");
  EXPECT_EQ(fileBar.Position(), 40);
  EXPECT_EQ(totalBar.Position(), 25);
  EXPECT_EQ(item.Caption(), file.FileName);
  EXPECT_FALSE(transfer.Visible());
  EXPECT_FALSE(LayoutChild<TImage>(*window, "UnZipImage").Picture().Bitmap().Empty());

  TDownloadStatusParameter download;
  download.FileName = "http://example.test/demo.cab";
  download.Percent = 70;
  Broadcast(ncDownloadStatus, &download);
  EXPECT_TRUE(transfer.Visible());
  EXPECT_EQ(fileBar.Position(), 70);
  EXPECT_EQ(totalBar.Position(), 25) << "a download moves only the file bar";
  EXPECT_EQ(item.Caption(), download.FileName);
  Picture(*window, "copying-files");
  Broadcast(ncFileStatus, &file);
  EXPECT_FALSE(transfer.Visible());

  // Cancel asks the installer, then raises both abort flags; the window stays for the copy loop.
  TTvrkCompress extractor(nullptr);
  SetActiveExtractor(&extractor);
  bool allow = false;
  install->OnUserAbort = [&](TCustomInstall*, bool& quitOut) { quitOut = allow; };
  LayoutChild<TBitBtn>(*window, "CancelBtn").Click();
  EXPECT_FALSE(UserAbortRequested());
  EXPECT_FALSE(extractor.Abort());
  allow = true;
  LayoutChild<TBitBtn>(*window, "CancelBtn").Click();
  EXPECT_TRUE(UserAbortRequested());
  EXPECT_TRUE(extractor.Abort());
  SetActiveExtractor(nullptr);

  // The copy end hides it; the next run gets a window of its own.
  Broadcast(ncOperationEnded);
  EXPECT_TRUE(copy.DuringCopyForms().empty());
  Broadcast(ncFileStatus, &file);
  ASSERT_EQ(copy.DuringCopyForms().size(), 1u);
  EXPECT_TRUE(IsWindowVisible(copy.DuringCopyForms()[0]->Handle()));
  Broadcast(ncOperationEnded);
}

TEST_F(WizardPages, TheDiskPromptChecksItsParameters) {
  auto message = [&](TObject* po) -> std::string {
    try {
      Broadcast(ncChangeDisk, po);
    } catch (const Exception& e) {
      return e.Message();
    }
    return "no error";
  };
  TMessageParameter other;
  TFileRelated file(form);
  TDiskParameter disk;
  TList one, badFirst, badSecond;
  one.Items = {&file};
  badFirst.Items = {&other, &disk};
  badSecond.Items = {&file, &other};
  EXPECT_EQ(message(nullptr), "The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form");
  EXPECT_EQ(message(&other), "TChangeDiskDlg--PO is not a TList object");
  EXPECT_EQ(message(&one), "TChangeDiskDlg--Not engouh parameters for status event");
  EXPECT_EQ(message(&badFirst), "TChangeDiskDlg says bad first parameter");
  EXPECT_EQ(message(&badSecond), "TChangeDiskDlg says bad second parameter");
  EXPECT_EQ(file.Tag(), 0);
}

TEST_F(WizardPages, TheDiskPromptAsksForTheVolumeAndBrowsesForItsPath) {
  TFileRelated file(form);
  TDiskParameter disk;
  disk.NewDisk = 3;
  disk.Path = "A:\\";
  TList request;
  request.Items = {&file, &disk};
  std::string prompt, shownPath, browsedPath;
  gSteps.push_back([&] {
    TChangeDiskForm* f = ModalForm<TChangeDiskForm>();
    if (!f) return false;
    prompt = LayoutChild<TLabel>(*f, "PromptDiskLabel").Caption();
    shownPath = LayoutChild<TEdit>(*f, "PathEdit").Text();
    Picture(*f, "change-disk");
    f->OnBrowse = [](std::string& folder) {
      folder = "D:\\Volumes";
      return true;
    };
    LayoutChild<TBitBtn>(*f, "BrowseBtn").Click();
    browsedPath = LayoutChild<TEdit>(*f, "PathEdit").Text();
    LayoutChild<TBitBtn>(*f, "InstallBtn").Click();
    return true;
  });
  EXPECT_NO_THROW(Broadcast(ncChangeDisk, &request));
  EXPECT_EQ(prompt, "Please insert disk number 3");
  EXPECT_EQ(shownPath, "A:\\");
  EXPECT_EQ(browsedPath, "D:\\Volumes");
  EXPECT_EQ(disk.Path, "D:\\Volumes");
  EXPECT_EQ(file.Tag(), 1) << "answered by the prompt";

  // A browser closed without a choice keeps the path; a confirmed Cancel is the user's abort.
  install->OnUserAbort = [](TCustomInstall*, bool& quitOut) { quitOut = true; };
  gSteps.push_back([&] {
    TChangeDiskForm* f = ModalForm<TChangeDiskForm>();
    if (!f) return false;
    f->OnBrowse = [](std::string&) { return false; };
    LayoutChild<TBitBtn>(*f, "BrowseBtn").Click();
    browsedPath = LayoutChild<TEdit>(*f, "PathEdit").Text();
    LayoutChild<TBitBtn>(*f, "CancelBtn").Click();
    return true;
  });
  EXPECT_THROW(Broadcast(ncChangeDisk, &request), EAIUserAbort);
  EXPECT_EQ(browsedPath, "D:\\Volumes");
}

// Every text of the shipped layouts is a translating control with its string-table identifier.
TEST_F(WizardPages, TheLayoutsCarryTheirCaptionsAndIdentifiers) {
  struct Expect {
    const TClassInfo* page;
    std::vector<std::pair<std::string, int>> glids;
    std::string caption;
  };
  const std::vector<Expect> pages = {
      {&TWelcomeForm::StaticClassInfo(),
       {{"Label1", 10}, {"Label2", 11}, {"Label3", 12}, {"BackBtn", 4}, {"NextBtn", 5}, {"CancelBtn", 6}},
       "Welcome"},
      {&TLicenseForm::StaticClassInfo(), {{"Label1", 2}, {"Label2", 3}}, "Software license agreement"},
      {&TReadmeForm::StaticClassInfo(), {{"Label1", 8}}, "Readme information"},
      {&TSelectFolderForm::StaticClassInfo(),
       {{"TopDescriptionLabel", 41}, {"ProgramFolders", 42}, {"ExistingFolders", 43}, {"Label1", 0}},
       "Select folder in start menu"},
      {&TGoodInstallForm::StaticClassInfo(), {{"Label1", 38}, {"FinishBtn", 72}}, "Setup complete"},
      {&TBadInstallForm::StaticClassInfo(), {{"TopLabel", 60}}, "Setup incomplete"},
      {&TRebootForm::StaticClassInfo(), {{"Label1", 52}}, "Reboot windows"},
      {&TCopyFileForm::StaticClassInfo(),
       {{"lblCopyFileHeader", 14}, {"Label1", 15}, {"Label2", 16}, {"CancelBtn", 6}},
       "Copying installation files"},
      {&TChangeDiskForm::StaticClassInfo(),
       {{"PromptDiskLabel", 45}, {"Label2", 46}, {"Label4", 47}, {"BrowseBtn", 48}, {"InstallBtn", 49}},
       "Setup needs the next disk"},
  };
  for (const Expect& e : pages) {
    std::unique_ptr<TComponent> made(e.page->Create(nullptr));
    auto& page = dynamic_cast<TForm&>(*made);
    config::LoadFormFromResource(page);
    EXPECT_EQ(page.Caption(), e.caption);
    EXPECT_EQ(page.Font().Name(), "Arial") << e.caption;
    EXPECT_EQ(page.Font().Charset(), 0) << e.caption;
    for (const auto& [name, glid] : e.glids) {
      TComponent* c = page.FindComponent(name);
      if (auto* l = dynamic_cast<TTranslateLabel*>(c)) {
        EXPECT_EQ(l->GLID(), glid) << e.caption << " " << name;
      } else if (auto* b = dynamic_cast<TTranslateBitBtn*>(c)) {
        EXPECT_EQ(b->GLID(), glid) << e.caption << " " << name;
      } else {
        ADD_FAILURE() << e.caption << ": " << name << " is not a translating control";
      }
    }
  }
}

TEST_F(WizardPages, TheFolderPageListsFoldersAndFillsItsEdit) {
  auto* page = Application().CreateForm<TSelectFolderForm>();
  std::unique_ptr<TForm> owned(page);
  EXPECT_TRUE(page->SkipPage()) << "no main link group";
  auto& list = LayoutChild<TListBox>(*page, "FolderListBox");
  auto& edit = LayoutChild<TEdit>(*page, "FolderEdit");
  page->FillFolders({"Zeta Tools", "accessories", "Games"}, "");
  ASSERT_EQ(list.Items().Count(), 3);
  EXPECT_EQ(list.Items().Get(0), "accessories");
  EXPECT_EQ(list.Items().Get(2), "Zeta Tools");
  EXPECT_EQ(edit.Text(), "accessories") << "the first folder when there is no current one";
  page->FillFolders({"Games"}, "Demo Product");
  EXPECT_EQ(edit.Text(), "Demo Product");
  page->FillFolders({}, "");
  EXPECT_EQ(edit.Text(), "") << "an empty Programs folder leaves the edit empty";
  page->FillFolders({"Games", "Accessories"}, "Demo Product");
  page->Show();
  Picture(*page, "select-folder");
  list.SetItemIndex(1);
  list.OnClick(&list);
  EXPECT_EQ(edit.Text(), "Games");

  // The list is read from the folder's subfolders; files and the dot entries are left out.
  const std::string root = sys::TempDirectory() + "\\tav_folders_test";
  CreateDirectoryW(sys::Wide(root).c_str(), nullptr);
  CreateDirectoryW(sys::Wide(root + "\\Alpha").c_str(), nullptr);
  CreateDirectoryW(sys::Wide(root + "\\Beta Group").c_str(), nullptr);
  HANDLE f = CreateFileW(sys::Wide(root + "\\file.lnk").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(f);
  std::vector<std::string> names = SubfolderNames(root);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Beta Group"}));
  EXPECT_TRUE(SubfolderNames(root + "\\missing").empty());
  DeleteFileW(sys::Wide(root + "\\file.lnk").c_str());
  RemoveDirectoryW(sys::Wide(root + "\\Alpha").c_str());
  RemoveDirectoryW(sys::Wide(root + "\\Beta Group").c_str());
  RemoveDirectoryW(sys::Wide(root).c_str());
}

// With a main link group the folder page follows the readme page: it lists the Programs folder's real
// subfolders, starts from the group's folder, and writes what is picked or typed into the group.
TEST_F(WizardPages, TheFolderPageListsTheProgramGroupsAndWritesTheChosenOne) {
  const std::string programs = ProgramsFolder();
  const std::vector<std::string> made{"Tavenrik Wizard Tools", "Tavenrik Wizard Games"};
  for (const std::string& name : made) CreateDirectoryW(sys::Wide(programs + "\\" + name).c_str(), nullptr);
  auto* group = new TMainLinkGroup(form);  // the form frees it
  group->SetContainer(install);
  group->SetDestDir("\\Tavenrik Wizard Demo");
  std::string caption, first, picked, cleared;
  std::vector<std::string> listed;
  for (int i = 0; i < 4; ++i) OnPage([](TWizardPage& page) { Click(page.NextBtn()); });
  OnPage([&](TWizardPage& page) {
    caption = OpenWizard()->Caption();
    auto& list = LayoutChild<TListBox>(page, "FolderListBox");
    auto& edit = LayoutChild<TEdit>(page, "FolderEdit");
    for (int i = 0; i < list.Items().Count(); ++i) listed.push_back(list.Items().Get(i));
    first = edit.Text();
    EXPECT_EQ(GetFocus(), page.NextBtn()->Handle());
    Picture(*OpenWizard(), "select-folder-groups");
    list.SetItemIndex(list.Items().IndexOf("Tavenrik Wizard Games"));
    list.OnClick(&list);
    picked = group->DestDir();
    edit.SetText("");
    cleared = group->DestDir();
    edit.SetText("My Product");
    Click(page.NextBtn());
  });
  Broadcast(ncBeforeInstallPhase);
  EXPECT_EQ(caption, "Select folder in start menu");
  for (const std::string& name : made)
    EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << name;
  EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const std::string& a, const std::string& b) {
    return CompareText(a, b) < 0;
  }));
  EXPECT_EQ(first, "Tavenrik Wizard Demo") << "the group's own folder";
  EXPECT_EQ(picked, "\\Tavenrik Wizard Games");
  EXPECT_EQ(cleared, "\\");
  EXPECT_EQ(group->DestDir(), "\\My Product");
  EXPECT_EQ(group->FullDestDir(), programs + "\\My Product");
  EXPECT_TRUE(gSteps.empty());
  for (const std::string& name : made) RemoveDirectoryW(sys::Wide(programs + "\\" + name).c_str());
}

// ---- the copy phase of a real run ----

using archive_test::RandomBytes;
using archive_test::WriteAll;

// The names in a folder, sorted; folders end in a backslash.
std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(sys::Wide(dir + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = sys::Narrow(found.cFileName);
    if (name == "." || name == "..") continue;
    names.push_back(name + ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : ""));
  } while (FindNextFileW(h, &found));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& dir) {
  std::error_code ec;
  std::filesystem::remove_all(sys::Wide(dir), ec);
}

// What the progress window showed after one file status, beside what the status said.
struct TShown {
  std::string label, sentName;
  int fileBar = -1, totalBar = -1, sentFile = -1, sentTotal = -1;
  bool visible = false;
};

// A project with a file group of three files whose archive each test builds from sources it writes;
// the run installs them below root\target and is walked through the shipped pages.
class CopyPhase : public WizardPages {
protected:
  void OpenProject() override {
    // A short root of its own per test: the archive stores each source path cut to 100 characters.
    static int tests = 0;
    RunFolders(sys::TempDirectory() + "\\tav-copy-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++tests));
    RemoveTree(root);
    for (const std::string& d : {root, dist, src, target}) ASSERT_TRUE(sys::MakeDir(d)) << d;
    form = CreateProject();
  }
  virtual TForm* CreateProject() { return Application().CreateForm<TCopyProjectForm>(); }
  void SetUp() override {
    WizardPages::SetUp();
    if (HasFatalFailure()) return;
    // Placed after the dialog managers, it hears each notification once they have acted on it.
    watcher = dynamic_cast<TRecorder*>(form->FindComponent("Watcher1"));
    ASSERT_NE(watcher, nullptr);
    InstallFrom(src, {"Readme", "Notes", "Big"}, target);
  }
  void TearDown() override {
    WizardPages::TearDown();
    DeleteKeyTree(hkLocalMachine, std::string(kUninstallKeyPrefix) + "Copy Test");  // the files' uninstall record
    RemoveTree(root);
  }

  std::string Dest(const std::string& name) const { return target + "\\Data\\" + name; }

  // Sources, built into dist\files.1: two small files, then one of 3 MB that does not compress, so
  // its copy takes many buffers.
  void Build() {
    WriteAll(src + "\\readme.txt", "Read me first.\r\n");
    WriteAll(src + "\\notes.txt", std::string(5000, 'n'));
    WriteAll(src + "\\big.bin", RandomBytes(3 << 20, 20261207));
    install->BuildArchives(coRelocateArchives | coForceNetFilesLocal | coIncludeExcluded);
    ASSERT_TRUE(sys::FileExists(dist + "\\files.1"));
  }

  // Next on Welcome, the licence, the readme and the component page.
  void PassTheWelcomePages() {
    for (int i = 0; i < 4; ++i) OnPage([](TWizardPage& page) { Click(page.NextBtn()); });
  }
  // Finish on the page the run ends with; its caption is kept.
  void FinishTheRun(std::string& caption) {
    OnPage([&caption](TWizardPage& page) {
      caption = OpenWizard()->Caption();
      Click(page.FinishBtn());
    });
  }
  TBaseDuringCopyForm* ProgressWindow() {
    const auto& forms = Manager("CopyFilesManager").DuringCopyForms();
    return forms.size() == 1 ? forms[0] : nullptr;
  }
  // The bar's position as its window holds it.
  static int BarPosition(TProgressBar& bar) {
    return bar.HandleAllocated() ? static_cast<int>(SendMessageW(bar.Handle(), PBM_GETPOS, 0, 0)) : -1;
  }
  TShown Read(TBaseDuringCopyForm& window, const TFileStatusParameter* status) {
    TShown s;
    s.label = LayoutChild<TLabel>(window, "lblCopyingFile").Caption();
    s.fileBar = BarPosition(LayoutChild<TProgressBar>(window, "ProgressBar1"));
    s.totalBar = BarPosition(LayoutChild<TProgressBar>(window, "ProgressBar2"));
    s.visible = IsWindowVisible(window.Handle()) != FALSE;
    if (status) {
      s.sentName = status->FileName;
      s.sentFile = status->FilePercentDone;
      s.sentTotal = status->TotalPercentDone;
    }
    return s;
  }

  TRecorder* watcher = nullptr;
};

TEST_F(CopyPhase, TheProgressWindowFollowsARealCopyAndClosesAtItsEnd) {
  Build();
  std::vector<TShown> states;
  HWND window = nullptr;
  bool pictured = false, closedAtEnd = false;
  watcher->onNotify = [&](int code, TObject* po) {
    if (code == ncFileStatus) {
      TBaseDuringCopyForm* w = ProgressWindow();
      if (!w) {
        TShown none;
        none.label = "<no progress window>";
        states.push_back(none);
        return;
      }
      states.push_back(Read(*w, dynamic_cast<TFileStatusParameter*>(po)));
      // The large file's statuses take a while, so that the window's repaint ticks fall among them.
      if (states.back().sentName == "big.bin") Sleep(25);
      window = w->Handle();
      if (!pictured && states.back().label == "big.bin" && states.back().fileBar >= 50) {
        pictured = true;
        Picture(*w, "copying-files-run");
      }
    } else if (code == ncOperationEnded && window) {
      closedAtEnd = !ProgressWindow() && !IsWindowVisible(window);
    }
  };
  std::string lastPage;
  PassTheWelcomePages();
  FinishTheRun(lastPage);
  install->StartHook(form);
  EXPECT_TRUE(shown.empty()) << shown[0];
  EXPECT_EQ(lastPage, "Setup complete");
  for (const char* name : {"readme.txt", "notes.txt", "big.bin"})
    EXPECT_EQ(ReadAll(Dest(name)), ReadAll(src + "\\" + name)) << name;

  // The window shows what was sent, never ahead of it, catching up at most a repaint tick (100 ms)
  // later: every state on screen is one that was sent before, the total only grows, the large file
  // moves the file bar step by step, and the end of the copy is on screen as sent.
  ASSERT_FALSE(states.empty());
  std::set<std::tuple<std::string, int, int>> sent;
  std::vector<std::string> order;
  std::set<int> bigSteps;
  for (std::size_t i = 0; i < states.size(); ++i) {
    const TShown& s = states[i];
    ASSERT_TRUE(s.visible) << "status " << i << " " << s.sentName;
    sent.emplace(s.sentName, s.sentFile, s.sentTotal);
    ASSERT_TRUE(sent.count({s.label, s.fileBar, s.totalBar}))
        << "status " << i << " shows " << s.label << " " << s.fileBar << "/" << s.totalBar;
    if (i > 0) {
      EXPECT_GE(s.totalBar, states[i - 1].totalBar) << "status " << i;
    }
    if (order.empty() || order.back() != s.label) order.push_back(s.label);
    if (s.label == "big.bin" && s.fileBar > 0 && s.fileBar < 100) bigSteps.insert(s.fileBar);
  }
  EXPECT_EQ(order.back(), "big.bin");
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), [](const std::string& x, const std::string& y) {
    static const std::vector<std::string> files{"readme.txt", "notes.txt", "big.bin"};
    return std::find(files.begin(), files.end(), x) < std::find(files.begin(), files.end(), y);
  })) << "files appear in the order they are copied";
  EXPECT_GE(bigSteps.size(), 5u) << "the large file moves the file bar step by step";
  EXPECT_LT(states.front().totalBar, 5);
  EXPECT_EQ(states.back().label, "big.bin");
  EXPECT_EQ(states.back().fileBar, 100);
  EXPECT_EQ(states.back().totalBar, 100);
  EXPECT_TRUE(pictured);
  EXPECT_TRUE(closedAtEnd) << "the end of the copy closes the progress window";
}

TEST_F(CopyPhase, TheDiskPromptFindsAVolumeThatWasMovedElsewhere) {
  Build();
  // Spanned onto two volumes: the directory, the small files and the start of big.bin on the first,
  // the rest of big.bin on the second, which then goes to a folder of its own.
  const std::string spanned = root + "\\spanned", disk2 = root + "\\disk2";
  ASSERT_TRUE(sys::MakeDir(spanned));
  ASSERT_TRUE(sys::MakeDir(disk2));
  {
    TTvrkCompress spanner(nullptr);
    spanner.SetCompressedFile(dist + "\\files.1");
    spanner.SetDiskCapacity(sys::FileSizeOf(dist + "\\files.1") * 2 / 3);
    spanner.OnNewDisk = [&](TTvrkCompress&, int, std::string& path) { path = spanned; };
    spanner.SpanToDisks(spanned, "files.1");
  }
  EXPECT_EQ(Entries(spanned), (std::vector<std::string>{"files.1", "files.2"}));
  ASSERT_TRUE(sys::RenameReplacing(spanned + "\\files.1", dist + "\\files.1"));
  ASSERT_TRUE(sys::RenameFile(spanned + "\\files.2", disk2 + "\\files.2"));

  std::string prompt, offered, browsed, lastPage;
  int prompts = 0;
  bool copyWindowShown = false;
  PassTheWelcomePages();
  gSteps.push_back([&] {
    TChangeDiskForm* f = ModalForm<TChangeDiskForm>();
    if (!f) return false;
    ++prompts;
    prompt = LayoutChild<TLabel>(*f, "PromptDiskLabel").Caption();
    offered = LayoutChild<TEdit>(*f, "PathEdit").Text();
    copyWindowShown = ProgressWindow() && IsWindowVisible(ProgressWindow()->Handle());
    Picture(*f, "change-disk-run");
    f->OnBrowse = [&](std::string& folder) {
      folder = disk2;
      return true;
    };
    LayoutChild<TBitBtn>(*f, "BrowseBtn").Click();
    browsed = LayoutChild<TEdit>(*f, "PathEdit").Text();
    LayoutChild<TBitBtn>(*f, "InstallBtn").Click();
    return true;
  });
  FinishTheRun(lastPage);
  install->StartHook(form);
  EXPECT_TRUE(shown.empty()) << shown[0];
  EXPECT_EQ(prompts, 1);
  EXPECT_EQ(prompt, "Please insert disk number 2");
  EXPECT_EQ(offered, dist) << "the prompt offers the archive's folder";
  EXPECT_EQ(browsed, disk2);
  EXPECT_TRUE(copyWindowShown) << "the prompt comes during the copy";
  EXPECT_EQ(lastPage, "Setup complete");
  for (const char* name : {"readme.txt", "notes.txt", "big.bin"})
    EXPECT_EQ(ReadAll(Dest(name)), ReadAll(src + "\\" + name)) << name;
}

TEST_F(CopyPhase, CancelDuringTheCopyEndsTheRunAsTheUsersAbortAndKeepsTheOldFile) {
  Build();
  ASSERT_TRUE(sys::MakeDir(target + "\\Data"));
  WriteAll(Dest("big.bin"), "the version installed before");
  int asked = 0;
  install->OnUserAbort = [&](TCustomInstall*, bool& quitOut) {
    ++asked;
    quitOut = true;
  };
  bool goodEnd = false, badEnd = false;
  install->OnBeforeNotifyGoodInstall = [&](TObject*) { goodEnd = true; };
  install->OnBeforeNotifyBadInstall = [&](TObject*) { badEnd = true; };
  std::vector<int> bigAfterCancel;
  bool cancelled = false;
  watcher->onNotify = [&](int code, TObject* po) {
    auto* status = dynamic_cast<TFileStatusParameter*>(po);
    if (code != ncFileStatus || !status || status->FileName != "big.bin") return;
    if (cancelled)
      bigAfterCancel.push_back(status->FilePercentDone);
    else
      Sleep(10);  // slow enough for the window's repaint ticks and the message pump to fall inside
  };
  int cancelledAt = -1;
  std::string lastPage;
  PassTheWelcomePages();
  // Cancel once big.bin is under way, as the user would press it.
  gSteps.push_back([&] {
    if (OpenWizard()) return true;  // the run has ended without the moment coming
    TBaseDuringCopyForm* w = ProgressWindow();
    if (!w || LayoutChild<TLabel>(*w, "lblCopyingFile").Caption() != "big.bin") return false;
    const int at = BarPosition(LayoutChild<TProgressBar>(*w, "ProgressBar1"));
    if (at <= 0 || at >= 90) return false;
    cancelledAt = at;
    cancelled = true;
    LayoutChild<TBitBtn>(*w, "CancelBtn").Click();
    return true;
  });
  FinishTheRun(lastPage);
  install->StartHook(form);

  ASSERT_GT(cancelledAt, 0) << "Cancel was not pressed during the copy of big.bin";
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(badEnd);
  EXPECT_FALSE(goodEnd);
  EXPECT_EQ(lastPage, "Setup incomplete");
  EXPECT_TRUE(shown.empty()) << "the user's abort is no error to report: " << shown[0];
  EXPECT_LE(bigAfterCancel.size(), 1u) << "the copy stops at the next buffer";
  for (int percent : bigAfterCancel) EXPECT_LT(percent, 100);
  EXPECT_FALSE(ProgressWindow());
  // The file being written keeps its old content and nothing half-written stays beside it; the files
  // copied before the cancel are complete.
  EXPECT_EQ(ReadAll(Dest("big.bin")), "the version installed before");
  EXPECT_EQ(Entries(target + "\\Data"), (std::vector<std::string>{"big.bin", "notes.txt", "readme.txt"}));
  EXPECT_EQ(ReadAll(Dest("notes.txt")), ReadAll(src + "\\notes.txt"));
}

}  // namespace

// ---- the component page

using TSelectProjectForm = TProjectForm<"TSelectProjectForm">;

// Nested groups, more than the tree shows at once: Program (with Samples inside) and Tools go to the
// target, Help to drive T: (another file system, mapped by the test command), five empty groups.
class ComponentPage : public CopyPhase {
protected:
  TForm* CreateProject() override {
    RegisterClass(TSelectProjectForm::StaticClassInfo());
    return Application().CreateForm<TSelectProjectForm>();
  }
  void SetUp() override {
    WizardPages::SetUp();
    if (HasFatalFailure()) return;
    InstallFrom(src, {"ProgramFile", "SampleFile", "ToolFile", "HelpFile"}, target);
    auto* help = dynamic_cast<TInstallContainer*>(form->FindComponent("Help"));
    help->SetDestDirType(nullptr);
    help->SetDestDir("T:\\tav-help-" + std::to_string(GetCurrentProcessId()));
    WriteAll(src + "\\program.exe", RandomBytes(300000, 1));
    WriteAll(src + "\\sample.txt", std::string(2000, 's'));
    WriteAll(src + "\\tool.exe", RandomBytes(5000, 2));
    WriteAll(src + "\\help.chm", RandomBytes(70000, 3));
    install->BuildArchives(coRelocateArchives | coForceNetFilesLocal | coIncludeExcluded);
  }
};

// Parses "12.3 GB" / "456 Bytes" back into bytes, for comparing with the system's figures.
double Bytes(const std::string& text) {
  double value = 0;
  char unit[16] = {};
  if (std::sscanf(text.c_str(), "%lf %15s", &value, unit) != 2) return -1;
  const std::string u = unit;
  const double scale = u == "KB" ? 1024.0 : u == "MB" ? 1048576.0 : u == "GB" ? 1073741824.0 : u == "TB" ? 1099511627776.0 : 1;
  return value * scale;
}

TEST_F(ComponentPage, TheUserChoosesGroupsInTheTreeAndExactlyThoseAreInstalled) {
  ULARGE_INTEGER freeT{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"T:\\", &freeT, nullptr, nullptr)) << "the test command maps T: to another file system";
  std::vector<std::string> rows, afterExpand, drives;
  std::string selectedDir, afterScroll, topRow;
  int checkBoxes = 0, visibleAfterCollapse = 0;
  bool helpIncluded = true;
  OnPage([](TWizardPage& page) { Click(page.NextBtn()); });
  OnPage([](TWizardPage& page) { Click(page.NextBtn()); });
  OnPage([](TWizardPage& page) { Click(page.NextBtn()); });
  OnPage([&](TWizardPage& p) {
    auto& page = dynamic_cast<TFileGroupSelectForm&>(p);
    TGroupTreeView& tree = *page.Tree();
    // The root and its groups show; Samples waits inside Program.
    auto visibleCaptions = [&] {
      std::vector<std::string> out;
      for (auto node : tree.AllNodes())
        if (tree.IsVisible(node)) out.push_back(tree.Text(node));
      return out;
    };
    rows = visibleCaptions();
    // Each visible row has its check box and size label on the row's line.
    auto visibleSlots = [](TFGSFList& list) {
      int n = 0;
      for (int i = 0; i < list.Count(); ++i) n += list.Slot(i)->Visible();
      return n;
    };
    checkBoxes = visibleSlots(*page.Includes());
    auto* program = dynamic_cast<TFileContainer*>(this->form->FindComponent("Program"));
    ASSERT_NE(program, nullptr);
    for (auto node : tree.AllNodes()) {
      if (tree.ContainerOf(node) == program) tree.Expand(node, true);
    }
    afterExpand = visibleCaptions();
    // Every check box stands on its own group's row, whatever the tree did last.
    auto aligned = [&](const char* when) {
      Application().ProcessMessages();
      for (int i = 0; i < page.Includes()->Count(); ++i) {
        auto* box = static_cast<TIncludeCheckBox*>(page.Includes()->Slot(i));
        if (!box->Visible() || !box->Container) continue;
        for (auto node : tree.AllNodes()) {
          RECT r{};
          if (tree.ContainerOf(node) != box->Container) continue;
          ASSERT_TRUE(tree.RowRect(node, r)) << when << ": " << box->Container->Name();
          EXPECT_EQ(box->Top(), ScaleToLogical(r.top, tree.Dpi())) << when << ": " << box->Container->Name();
          EXPECT_EQ(box->Checked(), box->Container->WillInstall()) << when << ": " << box->Container->Name();
        }
      }
    };
    aligned("expanded");
    Picture(page, "component-page");
    // Scrolled one line: the first slot now shows the second row's group.
    SendMessageW(tree.WindowHandle(), WM_VSCROLL, SB_LINEDOWN, 0);
    Application().ProcessMessages();
    auto* first = static_cast<TIncludeCheckBox*>(page.Includes()->Slot(0));
    afterScroll = first->Visible() && first->Container ? first->Container->Name() : "<none>";
    for (auto node : tree.AllNodes()) {
      RECT r{};
      if (tree.IsVisible(node) && tree.RowRect(node, r) && r.top >= 0) {
        topRow = tree.ContainerOf(node)->Name();
        break;
      }
    }
    aligned("scrolled");
    SendMessageW(tree.WindowHandle(), WM_VSCROLL, SB_TOP, 0);
    for (auto node : tree.AllNodes()) {
      if (tree.ContainerOf(node) == program) tree.Expand(node, false);
    }
    aligned("collapsed");
    visibleAfterCollapse = visibleSlots(*page.Includes());
    // Clearing Help's box: its group is left out, its drive needs nothing.
    for (int i = 0; i < page.Includes()->Count(); ++i) {
      auto* box = static_cast<TIncludeCheckBox*>(page.Includes()->Slot(i));
      if (box->Visible() && box->Container && box->Container->Name() == "Help") box->SetChecked(false);
    }
    for (auto node : tree.AllNodes()) {
      if (tree.ContainerOf(node) == program) tree.Select(node);
    }
    selectedDir = page.DirectoryEdit()->Text();
    aligned("Help cleared");
    helpIncluded = dynamic_cast<TInstallContainer*>(this->form->FindComponent("Help"))->Include();
    for (int i = 0; i < page.Drives()->ItemCount(); ++i) {
      drives.push_back(page.Drives()->ItemText(i, 0) + "|" + page.Drives()->ItemText(i, 1) + "|" +
                       page.Drives()->ItemText(i, 2) + "|" + std::to_string(page.Drives()->ItemStateImage(i)));
    }
    Picture(page, "component-page-help-cleared");
    Click(page.NextBtn());
  });
  std::string lastPage;
  FinishTheRun(lastPage);
  install->StartHook(form);
  EXPECT_TRUE(shown.empty()) << (shown.empty() ? "" : shown[0]);
  EXPECT_EQ(lastPage, "Setup complete");

  EXPECT_EQ(rows, (std::vector<std::string>{"Main", "Program", "Tools", "Help", "Extra 1", "Extra 2", "Extra 3",
                                            "Extra 4", "Extra 5"}));
  EXPECT_EQ(afterExpand.size(), rows.size() + 1);
  EXPECT_EQ(afterExpand[2], "Samples");
  EXPECT_GT(checkBoxes, 3);
  EXPECT_LT(checkBoxes, static_cast<int>(rows.size())) << "only the rows in view get a check box";
  EXPECT_NE(topRow, "Install1") << "the tree scrolled";
  EXPECT_EQ(afterScroll, topRow) << "the columns follow the tree when it scrolls";
  EXPECT_EQ(visibleAfterCollapse, checkBoxes);
  EXPECT_FALSE(helpIncluded) << "the box writes the group's Include";
  EXPECT_EQ(LowerCase(selectedDir), LowerCase(target + "\\Program"));

  // Two drives: the target's with what Program, Samples and Tools need, and T: with nothing once
  // Help is cleared; the free space is the system's, above 4 GiB shown in full.
  ASSERT_EQ(drives.size(), 2u);
  const std::string c = UpperCase(target.substr(0, 1));
  EXPECT_EQ(drives[0].substr(0, 2), c + "|");
  EXPECT_EQ(drives[1].substr(0, 2), "T|");
  auto field = [](const std::string& row, int i) {
    std::size_t start = 0;
    for (int k = 0; k < i; ++k) start = row.find('|', start) + 1;
    return row.substr(start, row.find('|', start) - start);
  };
  EXPECT_NEAR(Bytes(field(drives[0], 1)), 300000 + 2000 + 5000, 0.06 * 1024) << "shown to a tenth of a KB";
  EXPECT_EQ(field(drives[1], 1), "0 Bytes");
  ULARGE_INTEGER freeC{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(sys::Wide(c + ":\\").c_str(), &freeC, nullptr, nullptr));
  EXPECT_NEAR(Bytes(field(drives[0], 2)), static_cast<double>(freeC.QuadPart), 0.01 * freeC.QuadPart + 1e8);
  EXPECT_NEAR(Bytes(field(drives[1], 2)), static_cast<double>(freeT.QuadPart), 0.01 * freeT.QuadPart + 1e8);
  EXPECT_EQ(field(drives[0], 3), "-1") << "no shortage mark";

  // Exactly the chosen groups arrived.
  EXPECT_EQ(ReadAll(target + "\\Program\\program.exe"), ReadAll(src + "\\program.exe"));
  EXPECT_EQ(ReadAll(target + "\\Program\\Samples\\sample.txt"), std::string(2000, 's'));
  EXPECT_TRUE(sys::FileExists(target + "\\Tools\\tool.exe"));
  EXPECT_FALSE(sys::DirExists("T:\\tav-help-" + std::to_string(GetCurrentProcessId())));
}

TEST(ComponentPageParts, SpaceFiguresReadAsPeopleExpect) {
  EXPECT_EQ(FormatSpace(0, "Bytes"), "0 Bytes");
  EXPECT_EQ(FormatSpace(1023, "Bytes"), "1023 Bytes");
  EXPECT_EQ(FormatSpace(1536, "Bytes"), "1.5 KB");
  EXPECT_EQ(FormatSpace(5LL << 30, "Bytes"), "5.0 GB") << "past 32 bits";
  EXPECT_EQ(FormatSpace(3LL << 40, "Bytes"), "3.0 TB");
}


// ---- the pages in every language

namespace {

using test::TableText;

// build/screenshots/languages/<Language>/<name>.png
// The size a text takes in a font: one line, or wrapped at width device pixels.
SIZE TextExtent(HFONT font, const std::string& text, int wrapWidth, bool prefix) {
  const TWindowDC screen(nullptr);
  const TSelectedObject selected(screen.Get(), font);
  const std::wstring w = sys::Wide(text);
  RECT r{0, 0, wrapWidth, 0};
  const UINT flags = DT_CALCRECT | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE) | (prefix ? 0 : DT_NOPREFIX);
  DrawTextW(screen.Get(), w.c_str(), static_cast<int>(w.size()), &r, flags);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Every label's and button's text measured in its own font against its control (hidden ones too:
// they show on other pages of the phase), and every shown label inside its parent.
void Clipped(TWinControl& parent, const std::string& where, std::vector<std::string>& out) {
  for (int i = 0; i < parent.ControlCount(); ++i) {
    TControl* c = parent.Controls(i);
    const int dpi = c->Dpi();
    const int width = ScaleToDevice(c->Width(), dpi), height = ScaleToDevice(c->Height(), dpi);
    const std::string name = where + "." + c->Name();
    auto report = [&](const std::string& text, SIZE need, int w, int h) {
      out.push_back(name + " \"" + text + "\" needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy) +
                    ", has " + std::to_string(w) + "x" + std::to_string(h));
    };
    if (auto* label = dynamic_cast<TLabel*>(c); label && !label->Caption().empty()) {
      const SIZE need =
          TextExtent(label->FontHandle(), label->Caption(), label->WordWrap() ? width : 0, label->ShowAccelChar());
      if (need.cx > width || need.cy > height) report(label->Caption(), need, width, height);
      const TLayoutRect inside = parent.ClientRect();
      if (label->Visible() && (label->Top() + label->Height() > inside.Top + inside.Height ||
                               label->Left() + label->Width() > inside.Left + inside.Width))
        out.push_back(name + " reaches out of " + parent.Name());
    } else if (auto* button = dynamic_cast<TButton*>(c); button && !button->Caption().empty()) {
      SIZE need = TextExtent(button->FontHandle(), button->Caption(), 0, true);
      // The frame and the focus rectangle take 4 pixels a side; a glyph and its spacing come beside.
      need.cx += 2 * ScaleToDevice(4, dpi);
      if (auto* bit = dynamic_cast<TBitBtn*>(button); bit && !bit->Glyph().Empty())
        need.cx += ScaleToDevice(bit->Glyph().Width() / bit->NumGlyphs() + std::max(0, bit->Spacing()), dpi);
      if (need.cx > width || need.cy > height) report(button->Caption(), need, width, height);
    } else if (auto* group = dynamic_cast<TRadioGroup*>(c)) {
      for (int j = 0; j < group->Items().Count(); ++j) {
        TWinControl* item = group->Button(j);
        const int w = ScaleToDevice(item->Width(), dpi), h = ScaleToDevice(item->Height(), dpi);
        SIZE need = TextExtent(group->FontHandle(), group->Items()[j], 0, true);
        need.cx += GetSystemMetrics(SM_CXMENUCHECK) + ScaleToDevice(4, dpi);
        if (need.cx > w || need.cy > h) report(group->Items()[j], need, w, h);
      }
      continue;
    }
    if (auto* windowed = dynamic_cast<TWinControl*>(c)) Clipped(*windowed, name, out);
  }
}

// The texts that carry an identifier are the language's entries (English where it has none).
void ExpectTranslated(TWinControl& parent, TTvrkLanguage language, const std::string& where) {
  for (int i = 0; i < parent.ControlCount(); ++i) {
    TControl* c = parent.Controls(i);
    int glid = 0;
    if (auto* l = dynamic_cast<TTranslateLabel*>(c)) glid = l->GLID();
    if (auto* b = dynamic_cast<TTranslateBitBtn*>(c)) glid = b->GLID();
    if (glid > 0) {
      std::string expected = TableText(language, glid);
      if (expected.empty()) expected = TableText(tvlEnglish, glid);
      if (auto* prompt = dynamic_cast<TLabel*>(c); prompt && c->Name() == "PromptDiskLabel")
        expected = Format(expected, 2);
      EXPECT_EQ(c->Caption(), expected) << where << "." << c->Name();
    }
    if (auto* windowed = dynamic_cast<TWinControl*>(c)) ExpectTranslated(*windowed, language, where);
  }
}

// The wizard's phases with the shipped language tables in the project.
class LanguagePages : public WizardPages {
protected:
  void SetUp() override {
    WizardPages::SetUp();
    if (HasFatalFailure()) return;
    test::MakeShippedTranslator(form);
    ASSERT_EQ(test::TableLanguages().size(), 15u);
  }
};

TEST_F(LanguagePages, EveryWindowInEveryLanguageShowsItsTextsWhole) {
  struct TWindow {
    const char* name;
    int captionGLID;
    std::function<TForm*()> make;
  };
  const std::vector<TWindow> windows = {
      {"language", 62, [] { return Application().CreateForm<TSelectLanguageForm>(); }},
      {"welcome", 9, [] { return Application().CreateForm<TWelcomeForm>(); }},
      {"license", 1, [] { return Application().CreateForm<TLicenseForm>(); }},
      {"readme", 7, [] { return Application().CreateForm<TReadmeForm>(); }},
      {"components", 27, [] { return Application().CreateForm<TFileGroupSelectForm>(); }},
      {"folder", 40, [] { return Application().CreateForm<TSelectFolderForm>(); }},
      {"copying", 13, [] { return Application().CreateForm<TCopyFileForm>(); }},
      {"disk", 44, [] { return Application().CreateForm<TChangeDiskForm>(); }},
      {"complete", 37, [] { return Application().CreateForm<TGoodInstallForm>(); }},
      {"incomplete", 61, [] { return Application().CreateForm<TBadInstallForm>(); }},
      {"reboot", 51, [] { return Application().CreateForm<TRebootForm>(); }},
  };
  TDiskParameter disk;
  disk.NewDisk = 2;
  disk.Path = "A:\\";
  std::vector<std::string> clipped;
  int pictures = 0;
  for (TTvrkLanguage language : test::TableLanguages()) {
    SetTranslatorLanguage(language);
    const std::string lang = LangIdToString(language);
    for (const TWindow& w : windows) {
      SCOPED_TRACE(lang + " " + w.name);
      std::unique_ptr<TForm> window(w.make());
      auto& page = dynamic_cast<TBaseTavenrikForm&>(*window);
      page.ApplyLanguage();
      if (auto* prompt = dynamic_cast<TChangeDiskForm*>(&page)) prompt->SetDiskParameter(&disk);
      if (auto* wizard = dynamic_cast<TWizardPage*>(&page); wizard && wizard->FinishBtn()) {
        // As the only page of its phase shows it.
        wizard->NextBtn()->SetVisible(false);
        wizard->FinishBtn()->SetVisible(true);
      }
      window->Show();
      if (auto* choose = dynamic_cast<TSelectLanguageForm*>(&page)) choose->PrepareShow();
      EXPECT_EQ(window->Caption(), TableText(language, w.captionGLID));
      EXPECT_EQ(page.TextLanguage, language);
      ExpectTranslated(*window, language, std::string(w.name));
      Clipped(*window, lang + " " + w.name, clipped);
      const std::string folder = "languages\\" + lang;
      test::Picture(window->Handle(), folder, w.name);
      pictures += GetFileAttributesW(ScreenshotPath(folder, w.name + std::string(".png")).c_str()) != INVALID_FILE_ATTRIBUTES;
      window->Hide();
    }
  }
  EXPECT_EQ(pictures, 15 * 11);
  std::string all;
  for (const std::string& c : clipped) all += "\n  " + c;
  EXPECT_TRUE(clipped.empty()) << clipped.size() << " texts do not fit:" << all;
}

// The language page lists the fifteen tables; choosing a flag turns this page and every page after
// it into that language, entries a table lacks showing in English.
TEST_F(LanguagePages, ChoosingALanguageOnTheFirstPageTurnsEveryPageIntoIt) {
  test::DropEntry(tvlGerman, 11);
  SetTranslatorLanguage(tvlEnglish);
  int rows = -1, cells = 0;
  std::string emptyCell = "?", firstCaption, frenchNext, germanCaption, germanNext, germanCancel;
  auto click = [](TStringGrid& grid, TTvrkLanguage language) {
    for (int r = 0; r < grid.RowCount(); ++r) {
      for (int c = 0; c < grid.ColCount(); ++c) {
        if (grid.Objects(c, r) != test::LanguageObject(language)) continue;
        grid.SetTopRow(r);
        const RECT cell = grid.CellRect(c, r);
        const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
        SendMessageW(grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(grid.Handle(), WM_LBUTTONUP, 0, at);
        return true;
      }
    }
    return false;
  };
  OnPage([&](TWizardPage& p) {
    auto& page = dynamic_cast<TSelectLanguageForm&>(p);
    TStringGrid& grid = *page.LanguageGrid();
    firstCaption = OpenWizard()->Caption();
    rows = grid.RowCount();
    for (int r = 0; r < grid.RowCount(); ++r)
      for (int c = 0; c < grid.ColCount(); ++c) cells += grid.Objects(c, r) != nullptr;
    emptyCell = grid.Cells(1, rows - 1);
    EXPECT_EQ(grid.Objects(grid.Col(), grid.Row()), test::LanguageObject(tvlEnglish)) << "the current language";
    EXPECT_FALSE(page.BackBtn()->Visible());
    ASSERT_TRUE(click(grid, tvlFrench));
    frenchNext = page.NextBtn()->Caption();
    ASSERT_TRUE(click(grid, tvlGerman));
    germanCaption = OpenWizard()->Caption();
    germanNext = page.NextBtn()->Caption();
    germanCancel = page.CancelBtn()->Caption();
    Picture(*OpenWizard(), "language-page-german");
    // The empty cell after the last flag changes nothing.
    grid.SetTopRow(rows);
    const RECT none = grid.CellRect(1, rows - 1);
    SendMessageW(grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(none.left + 5, none.top + 5));
    Click(page.NextBtn());
  });
  std::vector<std::pair<std::string, std::string>> seen;  // page caption, first text
  std::string welcomeSecond;
  std::vector<std::string> driveColumns;
  for (int i = 0; i < 4; ++i) {
    OnPage([&](TWizardPage& page) {
      auto* first = dynamic_cast<TLabel*>(page.FindComponent("Label1"));
      seen.emplace_back(OpenWizard()->Caption(), first ? first->Caption() : std::string());
      if (auto* second = dynamic_cast<TLabel*>(page.FindComponent("Label2")); second && seen.size() == 1)
        welcomeSecond = second->Caption();
      if (auto* drives = dynamic_cast<TListView*>(page.FindComponent("DriveList"))) {
        for (int c = 0; c < drives->ColumnCount(); ++c) driveColumns.push_back(drives->ColumnCaption(c));
      }
      EXPECT_EQ(page.NextBtn()->Caption(), TableText(tvlGerman, 5));
      EXPECT_EQ(page.BackBtn()->Caption(), TableText(tvlGerman, 4));
      Click(page.NextBtn());
    });
  }
  EXPECT_NO_THROW(Broadcast(ncBeforeInstallPhase));
  EXPECT_EQ(rows, 8) << "fifteen flags in two columns";
  EXPECT_EQ(cells, 15);
  EXPECT_EQ(emptyCell, "");
  EXPECT_EQ(firstCaption, "Select a language");
  EXPECT_EQ(frenchNext, TableText(tvlFrench, 5));
  EXPECT_EQ(germanCaption, TableText(tvlGerman, 62));
  EXPECT_EQ(germanNext, "Weiter >");
  EXPECT_EQ(germanCancel, "Abbrechen");
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], std::make_pair(TableText(tvlGerman, 9), TableText(tvlGerman, 10)));
  EXPECT_EQ(welcomeSecond, TableText(tvlEnglish, 11)) << "an entry German lacks is English, not French";
  EXPECT_EQ(seen[1], std::make_pair(TableText(tvlGerman, 1), TableText(tvlGerman, 2)));
  EXPECT_EQ(seen[2], std::make_pair(TableText(tvlGerman, 7), TableText(tvlGerman, 8)));
  EXPECT_EQ(seen[3].first, TableText(tvlGerman, 27));
  EXPECT_EQ(driveColumns, (std::vector<std::string>{"", TableText(tvlGerman, 31), TableText(tvlGerman, 32)}));

  // The windows made later come in German too: the progress window and the last page.
  TFileStatusParameter file;
  file.FileName = "readme.txt";
  Broadcast(ncFileStatus, &file);
  auto& copy = Manager("CopyFilesManager");
  ASSERT_EQ(copy.DuringCopyForms().size(), 1u);
  EXPECT_EQ(copy.DuringCopyForms()[0]->Caption(), TableText(tvlGerman, 13));
  EXPECT_EQ(LayoutChild<TLabel>(*copy.DuringCopyForms()[0], "Label2").Caption(), TableText(tvlGerman, 16));
  Broadcast(ncOperationEnded);
  std::string finish;
  OnPage([&](TWizardPage& page) {
    finish = page.FinishBtn()->Caption();
    Click(page.FinishBtn());
  });
  EXPECT_NO_THROW(Broadcast(ncGoodEndPages));
  EXPECT_EQ(finish, TableText(tvlGerman, 72));
  // A message is German now as well.
  EXPECT_EQ(TranslateMessage("Installation aborted by the user"), TableText(tvlGerman, 113));
}

}  // namespace
