// Shortcuts made for real under Wine: shell link files read back through the shell's own interfaces,
// internet shortcuts through the INI routines, and Program Manager groups through a DDE conversation
// with the shell's Program Manager server.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <ddeml.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <memory>

#include "core/routines_API.h"
#include "core/routines_Strings.h"
#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/objects_registry.h"
#include "paths/cmp_TPathSpecifier.h"
#include "paths/routines_ExpandPaths.h"
#include "shell/cmp_TInstallShellLink.h"
#include "shell/cmp_TProgramManager.h"
#include "sys/registry.h"
#include "sys/unicode.h"
#include "ui/application.h"

using namespace tav;

namespace {

class TLinksForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TLinksForm, TForm>("TLinksForm");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TTestInstall : public TCurrentInstall {
public:
  std::string ProductName() const override { return "Tavenrik Shell Test"; }
  TInstallContainer* RootContainer() override { return nullptr; }
  const std::string& SourceDirectory() const override { return source_; }
  bool HasSelfExtractSwitch() const override { return false; }
  std::string SelfExtractValue() const override { return std::string(); }

private:
  std::string source_ = "C:\\";
};

const char* const kRecordKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavenrik Shell Test";

struct LinkInfo {
  std::string path, arguments, directory, iconPath, description;
  int iconIndex = -1, showCommand = -1;
  WORD hotKey = 0;
};

// Everything the shell reads from a link file; fails the test when it cannot be loaded.
LinkInfo ReadLink(const std::string& file) {
  LinkInfo info;
  IShellLinkW* link = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  if (!link) return info;
  IPersistFile* persist = nullptr;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  const HRESULT loaded = persist ? persist->Load(sys::Wide(file).c_str(), STGM_READ) : E_FAIL;
  EXPECT_EQ(loaded, S_OK) << file;
  if (loaded == S_OK) {
    wchar_t text[MAX_PATH * 2] = {};
    int value = 0;
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    info.path = sys::Narrow(text);
    text[0] = 0;
    link->GetArguments(text, MAX_PATH);
    info.arguments = sys::Narrow(text);
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    info.directory = sys::Narrow(text);
    text[0] = 0;
    link->GetIconLocation(text, MAX_PATH, &value);
    info.iconPath = sys::Narrow(text);
    info.iconIndex = value;
    text[0] = 0;
    link->GetDescription(text, MAX_PATH);
    info.description = sys::Narrow(text);
    link->GetShowCmd(&value);
    info.showCommand = value;
    link->GetHotkey(&info.hotKey);
  }
  if (persist) persist->Release();
  link->Release();
  return info;
}

bool Exists(const std::string& path) { return GetFileAttributesW(sys::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveFolder(const std::string& dir) {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(sys::Wide(dir + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW(sys::Wide(dir + "\\" + sys::Narrow(found.cFileName)).c_str());
    } while (FindNextFileW(h, &found));
    FindClose(h);
  }
  RemoveDirectoryW(sys::Wide(dir).c_str());
}

// Program Manager shows a group by opening the shell's window on its folder; the test closes what it
// opened, so that no window process outlives it.
void CloseFolderWindows(const std::string& name) {
  struct Search {
    std::wstring name;
    std::vector<HWND> found;
  } search{sys::Wide(name), {}};
  const auto collect = [](HWND w, LPARAM data) -> BOOL {
    auto& s = *reinterpret_cast<Search*>(data);
    wchar_t title[512] = {};
    GetWindowTextW(w, title, 512);
    if (IsWindowVisible(w) && std::wstring(title).find(s.name) != std::wstring::npos) s.found.push_back(w);
    return TRUE;
  };
  for (int tries = 0; tries < 100; ++tries) {
    search.found.clear();
    EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty()) return;
    for (HWND w : search.found) PostMessageW(w, WM_CLOSE, 0, 0);
    Sleep(50);
  }
  ADD_FAILURE() << "the folder window of " << name << " did not close";
}

// The folder windows start as processes of their own, seconds later under load, and one still open at
// the end keeps the test runner waiting on this program's output. Before it exits, the program closes
// every window on one of its groups' folders until none has appeared for a few seconds.
void EndFolderWindowProcesses() {
  struct Search {
    std::vector<DWORD> pids;
  };
  DWORD quietSince = GetTickCount();
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
    // Only the windows on our own groups' folders: the desktop's explorer must live on.
    Search search;
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL {
          wchar_t title[512] = {};
          GetWindowTextW(w, title, 512);
          if (std::wstring(title).find(L"Tavenrik") == std::wstring::npos) return TRUE;
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid != GetCurrentProcessId()) {
            PostMessageW(w, WM_CLOSE, 0, 0);
            reinterpret_cast<Search*>(data)->pids.push_back(pid);
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    for (DWORD pid : search.pids) {
      if (HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
        // Closed, not killed: a window process ended abruptly upsets the window system of later programs.
        WaitForSingleObject(p, 3000);
        CloseHandle(p);
      }
    }
    if (!search.pids.empty()) quietSince = GetTickCount();
    if (GetTickCount() - quietSince > 4000) return;
    Sleep(200);
  }
}

class FolderWindowsGone : public ::testing::Environment {
public:
  void TearDown() override { EndFolderWindowProcesses(); }
};
const auto* const kFolderWindowsGone = ::testing::AddGlobalTestEnvironment(new FolderWindowsGone);

std::string ReadRecord(const std::string& value) {
  std::string text;
  sys::RegKey key = sys::RegKey::Open(sys::RootKey::LocalMachine, std::string(kRecordKey) + "\\Files", false);
  if (!key.ReadString(value, text)) return "<missing>";
  return text;
}

class Shortcuts : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Application().Initialize();
    RegisterUiClasses();
    RegisterPathClasses();
    RegisterObjectClasses();
    RegisterShellClasses();
    RegisterClass(TLinksForm::StaticClassInfo());
    CoInitialize(nullptr);
  }
  void SetUp() override {
    SetCurrentInstall(&install);
    folder = ProgramsFolder() + "\\Tavenrik Links";
    RemoveFolder(folder);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, sys::Wide(kRecordKey).c_str());
  }
  void TearDown() override {
    delete form;
    CloseFolderWindows("Tavenrik Links");
    RemoveFolder(folder);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, sys::Wide(kRecordKey).c_str());
  }
  void Load() {
    form = Application().CreateForm<TLinksForm>();
    ASSERT_NE(form, nullptr);
  }
  template <class T>
  T* Find(const char* name) {
    auto* c = dynamic_cast<T*>(form->FindComponent(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }

  TTestInstall install;
  TForm* form = nullptr;
  std::string folder;
};

TEST_F(Shortcuts, TheGroupMakesEachKindOfShortcutAndRecordsIt) {
  Load();
  auto* group = Find<TMainLinkGroup>("Links");
  ASSERT_EQ(MainLinkGroup(), group);
  ASSERT_EQ(group->FullDestDir(), folder) << "the group's folder is under the Programs folder";
  group->Process();
  ASSERT_TRUE(group->Processed());
  const std::string windows = WindowsDirectory();

  // The shell link with all it was given, read back by the shell.
  LinkInfo editor = ReadLink(folder + "\\Editor.lnk");
  EXPECT_TRUE(SameText(editor.path, windows + "\\notepad.exe")) << editor.path;
  EXPECT_EQ(editor.arguments, windows + "\\win.ini") << "meta variables are expanded";
  EXPECT_TRUE(SameText(editor.directory, windows)) << editor.directory;
  EXPECT_EQ(editor.iconPath, "");
  EXPECT_EQ(editor.iconIndex, 0);
  EXPECT_EQ(editor.description, "");
  EXPECT_EQ(editor.showCommand, SW_SHOWNORMAL);
  EXPECT_EQ(editor.hotKey, 0x641);

  // The automatic method makes a shell link on this Windows; a link to its own group points at the folder.
  LinkInfo console = ReadLink(folder + "\\Console.lnk");
  EXPECT_TRUE(SameText(console.path, SystemDirectory() + "\\cmd.exe")) << console.path;
  EXPECT_TRUE(SameText(console.directory, SystemDirectory()));
  EXPECT_EQ(console.hotKey, 0);
  EXPECT_TRUE(SameText(ReadLink(folder + "\\Folder.lnk").path, folder));

  // The internet shortcut holds the address as written, scheme and query included.
  wchar_t url[512] = {};
  GetPrivateProfileStringW(L"InternetShortcut", L"URL", L"<none>", url, 512, sys::Wide(folder + "\\Home.URL").c_str());
  EXPECT_EQ(sys::Narrow(url), "http://www.example.com/tavenrik?a=1");

  // A file that was not installed gets no shortcut.
  EXPECT_FALSE(Exists(folder + "\\Readme.lnk"));

  // The Program Manager item: the shell's server made it as a link in the group of the folder's name.
  LinkInfo notes = ReadLink(folder + "\\Notes.lnk");
  EXPECT_TRUE(SameText(notes.path, windows + "\\notepad.exe")) << notes.path;
  EXPECT_TRUE(SameText(notes.directory, windows)) << notes.directory;

  // Every processed link is recorded in processing order, also the one that made nothing.
  const std::vector<std::string> names{"Editor.lnk", "Console.lnk", "Folder.lnk", "Home.URL", "Readme.lnk", "Notes.lnk"};
  EXPECT_EQ(ReadRecord("Entries"), std::to_string(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(ReadRecord("File" + std::to_string(i + 1)), folder + "\\" + names[i]);

  // A second run makes the same shortcuts again in place.
  group->Process();
  EXPECT_TRUE(SameText(ReadLink(folder + "\\Notes.lnk").path, windows + "\\notepad.exe"));
  EXPECT_EQ(ReadRecord("Entries"), std::to_string(2 * names.size()));
}

TEST_F(Shortcuts, PropertiesFollowTheirRules) {
  Load();
  auto* link = Find<TInstallMainLink>("Home");
  link->SetLinkName("Readme");
  EXPECT_EQ(link->LinkName(), "Readme.URL") << "a name without extension keeps the previous one";
  link->SetLinkName("Other.lnk");
  link->SetLinkName("Setup 2.0");
  EXPECT_EQ(link->LinkName(), "Setup 2.LNK");
  link->SetLinkName("");
  link->SetLinkName("Readme");
  EXPECT_EQ(link->LinkName(), "Readme.LNK");
  link->SetLinkName("");
  link->SetObjectLocation("ftp://files.example.com");
  EXPECT_EQ(link->LinkName(), "files.example.com.URL");
  link->SetLinkName("");
  link->SetObjectLocation("C:\\Tools\\run.exe");
  EXPECT_EQ(link->LinkName(), "run.LNK");

  // Pointing at an install file names the link after it and resolves to the installed file.
  auto* readme = Find<TInstallFile>("Readme");
  link->SetObjectLink(readme);
  EXPECT_EQ(link->LinkName(), "readme.lnk");
  ASSERT_NE(link->ObjectLocationType(), nullptr);
  EXPECT_EQ(link->ObjectLocationType()->Name(), "psObjectLink");
  EXPECT_EQ(link->TargetPath(), "C:\\Tavenrik Links\\readme.txt");
  link->SetObjectLink(Find<TInstallFileGroup>("Target"));
  EXPECT_EQ(link->LinkName(), "Program files.lnk");
  EXPECT_EQ(link->TargetPath(), "C:\\Tavenrik Links");
  link->SetLinkName("Web.url");
  EXPECT_EQ(link->ObjectLink(), nullptr) << "an internet shortcut points at no install object";
  EXPECT_EQ(link->ObjectLocationType(), nullptr);

  // The object-link specifier serves only shortcuts that point at something.
  TCustomPathSpecifier* objectLink = Find<TCustomPathSpecifier>("psObjectLink");
  ASSERT_NE(objectLink, nullptr);
  try {
    objectLink->GetPath(link);
    ADD_FAILURE() << "no ObjectLink";
  } catch (const IEPathSpecifier& e) {
    EXPECT_STREQ(e.what(), "Cannot use ddObjectLink for Home unless you assign a value to ObjectLink");
  }
  try {
    objectLink->Validate(readme);
    ADD_FAILURE() << "not a shortcut";
  } catch (const IEPathSpecifier& e) {
    EXPECT_STREQ(e.what(), "Readme must be a TCustomInstallShellLink to use the psObjectLink path specifier");
  }

  // The main group is the only one and the only container of main links.
  try {
    TMainLinkGroup second(form);
    ADD_FAILURE() << "a second main link group";
  } catch (const IEShellLinkGroup& e) {
    EXPECT_STREQ(e.what(), "You can only have one TMainLinkGroup component in your project");
  }
  EXPECT_THROW(link->SetContainer(Find<TInstallFileGroup>("Target")), IEInstallShellLink);
  EXPECT_EQ(link->Container(), Find<TMainLinkGroup>("Links"));
  EXPECT_EQ(link->FullDestDir(), folder) << "a link's folder is always its group's";

  // A link goes with the object it points at.
  ASSERT_NE(Find<TInstallMainLink>("ReadmeLink"), nullptr);
  const int links = static_cast<int>(ShellLinks().Items().size());
  delete readme;
  EXPECT_EQ(form->FindComponent("ReadmeLink"), nullptr);
  EXPECT_EQ(static_cast<int>(ShellLinks().Items().size()), links - 1);

  delete form;
  form = nullptr;
  EXPECT_EQ(MainLinkGroup(), nullptr);
  try {
    TInstallMainLink orphan(nullptr);
    ADD_FAILURE() << "a main link without a group";
  } catch (const IEInstallShellLink& e) {
    EXPECT_STREQ(e.what(), "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  }
}

// An address with a line break would write INI lines of its own: it is refused and nothing is written.
TEST_F(Shortcuts, AnInternetShortcutWithALineBreakIsRefused) {
  Load();
  auto* link = Find<TInstallMainLink>("Home");
  link->SetObjectLocation("http://example.com/\r\n[InternetShortcut]\r\nURL=file:///C:/evil.exe");
  try {
    link->Install();
    ADD_FAILURE() << "installed";
  } catch (const IEInstallShellLink& e) {
    EXPECT_NE(std::string(e.what()).find("Home"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("line break"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(Exists(folder + "\\Home.URL"));
}

class ProgramManagerServer : public ::testing::Test {
protected:
  void SetUp() override {
    group = "Tavenrik PM " + std::to_string(GetCurrentProcessId());
    dir = ProgramsFolder() + "\\" + group;
  }
  void TearDown() override {
    CloseFolderWindows(group);
    RemoveFolder(dir);
  }
  std::string group, dir;
};

// The shell's own server: groups are folders under Programs and items are link files in them.
TEST_F(ProgramManagerServer, TheShellMakesTheGroupAndItsItems) {
  TProgramManager& pm = ProgramManager();
  pm.CreateGroup(group);
  EXPECT_EQ(pm.CurrentGroup(), group) << "current even though this server does not describe groups";
  EXPECT_TRUE(Exists(dir));
  const std::vector<std::string> groups = pm.GetGroups();
  EXPECT_NE(std::find(groups.begin(), groups.end(), group), groups.end());

  const std::string windows = WindowsDirectory();
  pm.AddItem("\"" + windows + "\\notepad.exe\" ", "Read Me", "", 0, "\"" + windows + "\"", "");
  const LinkInfo made = ReadLink(dir + "\\Read Me.lnk");
  EXPECT_TRUE(SameText(made.path, windows + "\\notepad.exe")) << made.path;
  EXPECT_TRUE(SameText(made.directory, windows)) << made.directory;

  // A command the server refuses is an error that says what was sent, not a silent nothing.
  const std::string missing = "\"C:\\Tavenrik missing\\tool.exe\" ";
  try {
    pm.AddItem(missing, "Missing", "", 0, "", "");
    ADD_FAILURE() << "a refused item went unnoticed";
  } catch (const EAIPMCannotAddItem& e) {
    EXPECT_EQ(e.GroupName, group);
    EXPECT_EQ(e.ItemName, "Missing");
    EXPECT_EQ(e.Command, "[AddItem(" + missing + ",Missing,,0,,,,)]");
  }

  // A command Program Manager would cut is refused before it is sent, naming the item.
  try {
    pm.AddItem("\"C:\\" + std::string(240, 'x') + "\\tool.exe\" ", "Long One", "", 0, "", "");
    ADD_FAILURE() << "a long command went";
  } catch (const EAIPMBadCommand& e) {
    EXPECT_EQ(e.Name, "Long One");
    EXPECT_NE(std::string(e.what()).find("Long One"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("255"), std::string::npos) << e.what();
  }
  // Characters that would end or split an argument are refused in names and outside quotes.
  for (const char* bad : {"A\"B", "A,B", "A[B", "A]B", "A(B", "A)B"}) {
    EXPECT_THROW(pm.AddItem("\"" + windows + "\\notepad.exe\" ", bad, "", 0, "", ""), EAIPMBadCommand) << bad;
    EXPECT_THROW(pm.CreateGroup(group + bad), EAIPMBadCommand) << bad;
    EXPECT_FALSE(Exists(dir + bad));
  }
  EXPECT_THROW(pm.AddItem("\"" + windows + "\\notepad.exe\" a,b", "Split", "", 0, "", ""), EAIPMBadCommand);
  EXPECT_THROW(pm.AddItem("\"" + windows + "\\notepad.exe", "Open", "", 0, "", ""), EAIPMBadCommand);
  EXPECT_NO_THROW(CheckProgmanArgument("Quoted", "\"C:\\Program Files (x86)\\a,b.exe\" -x"));
  Sleep(500);
  for (const char* name : {"Long One", "Split", "Open", "Missing"}) EXPECT_FALSE(Exists(dir + "\\" + name + ".lnk")) << name;
}

// A Program Manager of the test's own on another thread, under another service name: it describes its
// one group as Program Manager does, records every command and refuses those it is told to.
class FakeProgman {
public:
  FakeProgman() {
    self = this;
    thread_ = std::thread([this] { Run(); });
    while (!ready_) Sleep(10);
  }
  ~FakeProgman() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    self = nullptr;
  }
  std::vector<std::string> TakeCommands() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(commands_, {});
  }
  void Describe(std::string group, std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    group_ = std::move(group);
    description_ = std::move(text);
  }
  void Refuse(std::string prefix) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuse_ = std::move(prefix);
  }

private:
  static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ, HSZ item, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    FakeProgman& me = *self;
    switch (type) {
      case XTYP_CONNECT: return reinterpret_cast<HDDEDATA>(TRUE);
      case XTYP_EXECUTE: {
        std::wstring text(DdeGetData(data, nullptr, 0, 0) / sizeof(wchar_t), L'\0');
        DdeGetData(data, reinterpret_cast<LPBYTE>(text.data()), static_cast<DWORD>(text.size() * sizeof(wchar_t)), 0);
        const std::string command = sys::Narrow(text.c_str());
        std::lock_guard<std::mutex> lock(me.mutex_);
        me.commands_.push_back(command);
        const bool refused = !me.refuse_.empty() && command.rfind(me.refuse_, 0) == 0;
        return reinterpret_cast<HDDEDATA>(refused ? DDE_FNOTPROCESSED : DDE_FACK);
      }
      case XTYP_REQUEST: {
        wchar_t name[256] = {};
        DdeQueryStringW(me.instance_, item, name, 256, CP_WINUNICODE);
        std::lock_guard<std::mutex> lock(me.mutex_);
        me.commands_.push_back("request " + sys::Narrow(name));
        if (sys::Narrow(name) != me.group_) return nullptr;
        return DdeCreateDataHandle(me.instance_, reinterpret_cast<LPBYTE>(me.description_.data()),
                                   static_cast<DWORD>(me.description_.size() + 1), 0, item, CF_TEXT, 0);
      }
    }
    return nullptr;
  }
  void Run() {
    threadId_ = GetCurrentThreadId();
    DdeInitializeW(&instance_, Callback, APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS, 0);
    HSZ service = DdeCreateStringHandleW(instance_, L"TAVPROGMAN", CP_WINUNICODE);
    DdeNameService(instance_, service, nullptr, DNS_REGISTER);
    ready_ = true;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DdeNameService(instance_, service, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(instance_, service);
    DdeUninitialize(instance_);
  }

  static inline FakeProgman* self = nullptr;
  std::thread thread_;
  DWORD threadId_ = 0;
  DWORD instance_ = 0;
  std::atomic<bool> ready_{false};
  std::mutex mutex_;
  std::vector<std::string> commands_;
  std::string group_, description_, refuse_;
};

class TTestProgramManager : public TProgramManager {
public:
  TTestProgramManager() : TProgramManager("TAVPROGMAN") {}
};

// The group description as Program Manager gives it: fields split at commas, quotes taken off, and
// the exact commands the client sends around it.
TEST(ProgramManagerConversation, ReadsGroupsAndSendsItsCommandsAsWritten) {
  FakeProgman server;
  server.Describe("Tools", "\"Tools\",C:\\Tools,2\r\n"
                           "\"Read Me\",\"\"C:\\Tools\\view.exe\"\",C:\\Tools,C:\\Tools\\view.exe,10,20,3,0\r\n"
                           "\"Editor\",\"C:\\Tools\\edit.exe\",C:\\Tools,,0,0,0,0\r\n");
  TTestProgramManager pm;
  pm.CreateGroup("Tools");
  EXPECT_EQ(server.TakeCommands(), (std::vector<std::string>{"[CreateGroup(\"Tools\")]", "request Tools"}));
  ASSERT_EQ(pm.ItemCount(), 2);
  EXPECT_EQ(pm.FindItem("Editor"), 2);
  EXPECT_EQ(pm.FindItem("editor"), -1) << "names are compared exactly";
  EXPECT_EQ(pm.ItemField(1, pmfName), "Read Me");
  EXPECT_EQ(pm.ItemField(1, pmfCommandLine), "C:\\Tools\\view.exe") << "name and command lose two quotes each";
  EXPECT_EQ(pm.ItemField(1, pmfIconPath), "C:\\Tools\\view.exe");
  EXPECT_EQ(pm.ItemField(1, pmfIconIndex), "3");
  EXPECT_EQ(pm.ItemField(0, pmfName), "");
  EXPECT_EQ(pm.ItemField(3, pmfName), "");

  pm.ReplaceItem("Editor");
  pm.AddItem("\"C:\\Tools\\edit.exe\" -new", "Editor", "", 2, "\"C:\\Tools\"", "");
  EXPECT_EQ(server.TakeCommands(),
            (std::vector<std::string>{"[ShowGroup(Tools,8)]", "[ReplaceItem(\"Editor\")]", "request Tools",
                                      "[ShowGroup(Tools,8)]",
                                      "[AddItem(\"C:\\Tools\\edit.exe\" -new,Editor,,2,,,\"C:\\Tools\",)]",
                                      "request Tools"}));

  server.Refuse("[AddItem(");
  try {
    pm.AddItem("\"C:\\Tools\\x.exe\" ", "Ex 100%", "", 0, "", "");
    ADD_FAILURE() << "refused";
  } catch (const EAIPMCannotAddItem& e) {
    EXPECT_STREQ(e.what(),
                 "The TProgramManager object was unable to add the following program item: Ex 100% to the following "
                 "group: Tools. The arguments passed to  Program Manager were: [AddItem(\"C:\\Tools\\x.exe\" ,Ex "
                 "100%,,0,,,,)]");
  }
  server.Refuse("[ReplaceItem(");
  try {
    pm.ReplaceItem("Editor");
    ADD_FAILURE() << "refused";
  } catch (const EAIPMCannotReplaceItem& e) {
    EXPECT_STREQ(e.what(),
                 "The TProgramManager object was unable to replace the following program item: Editor to the "
                 "following group: Tools");
  }

  // A group the server does not describe is not current: items then go nowhere and nothing is sent.
  pm.SelectGroup("Other");
  EXPECT_EQ(pm.CurrentGroup(), "");
  server.TakeCommands();
  pm.AddItem("\"C:\\Tools\\x.exe\" ", "X", "", 0, "", "");
  pm.ReplaceItem("X");
  EXPECT_TRUE(server.TakeCommands().empty());
}

}  // namespace
