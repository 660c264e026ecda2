// Whole-program runs of setup.exe: the program is started as a user would start it, its wizard is
// walked with Next, and its message boxes are read and answered from outside.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "fixtures.h"
#include "program_support.h"
#include "walk.h"

namespace fx = tav::fixtures;
using namespace tav::test;

namespace {

tav::TWalkResult RunSetup(const std::wstring& args, const std::wstring& shots = L"", int cancelOnPage = 0,
                          const std::vector<tav::TPageText>& typed = {}, DWORD timeoutMs = 120000) {
  tav::TWalkResult walk =
      tav::WalkSetup(L"\"" + WinePath(TAV_SETUP_EXE) + L"\" " + args, shots, timeoutMs, cancelOnPage, typed);
  EXPECT_TRUE(walk.Started);
  EXPECT_TRUE(walk.Ended) << "setup.exe did not end";
  return walk;
}

// The distribution: setup.exe with its archive files.1 beside it, as the build leaves them.
std::wstring DistributionSwitch() {
  std::wstring dir = WinePath(TAV_SETUP_EXE);
  dir.erase(dir.find_last_of(L'\\'));
  return L"\"-s" + dir + L"\"";
}

std::wstring InstalledFolder() { return ProgramFilesFolder(L"Tavenrik Demo"); }

// The demo's files, each in the folder of its group below the product's folder.
const std::vector<std::pair<std::wstring, std::wstring>> kPayload = {
    {L"", L"readme.txt"}, {L"", L"license.txt"}, {L"Help\\", L"help.txt"}, {L"Samples\\", L"sample.txt"}};

void ExpectPayloadInstalled() {
  for (const auto& [folder, name] : kPayload) {
    const std::string installed = ReadAll(InstalledFolder() + L"\\" + folder + name);
    const std::string source = ReadAll(WinePath(TAV_DEMO_PAYLOAD) + L"\\" + name);
    EXPECT_NE(source, "<missing>");
    EXPECT_EQ(installed, source) << Narrow(name);
  }
}

// A folder of the Start menu's Programs folder.
std::wstring ProgramsFolder(const std::wstring& name) {
  wchar_t programs[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
  return std::wstring(programs) + L"\\" + name;
}

const wchar_t* const kShortcuts[] = {L"Readme.lnk", L"License.lnk"};

void RemoveShortcuts(const std::wstring& folder) {
  for (const wchar_t* name : kShortcuts) DeleteFileW((folder + L"\\" + name).c_str());
  RemoveDirectoryW(folder.c_str());
}

void RemoveInstalled() {
  for (const auto& [folder, name] : kPayload) DeleteFileW((InstalledFolder() + L"\\" + folder + name).c_str());
  DeleteFileW((InstalledFolder() + L"\\uninstall.exe").c_str());
  for (const wchar_t* folder : {L"\\Help", L"\\Samples", L""}) RemoveDirectoryW((InstalledFolder() + folder).c_str());
  // Each run appends to the product's uninstall record: start from none.
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo Product");
  RemoveShortcuts(ProgramsFolder(L"Demo Product"));
}

// The shortcuts to the installed readme and licence are in the folder, read back by the shell.
void ExpectShortcutsIn(const std::wstring& folder, const std::wstring& installed = InstalledFolder()) {
  CoInitialize(nullptr);
  for (const wchar_t* name : kShortcuts) {
    IShellLinkW* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    IPersistFile* file = nullptr;
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    EXPECT_EQ(file->Load((folder + L"\\" + name).c_str(), STGM_READ), S_OK) << Narrow(folder + L"\\" + name);
    wchar_t target[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    const std::wstring expected = installed + (name == kShortcuts[0] ? L"\\readme.txt" : L"\\license.txt");
    EXPECT_EQ(_wcsicmp(target, expected.c_str()), 0) << Narrow(target);
    file->Release();
    link->Release();
  }
}

bool InstallRecordExists() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tavenrik\\Install", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The shipped project walked page by page with Next, as the main job does; each page is pictured. On
// the folder page a folder of the user's own is typed, and the shortcuts go there.
TEST(SetupProgram, WalksTheShippedWizardToItsGoodEnd) {
  const std::wstring shots = WinePath(TAV_SCREENSHOTS);
  CreateDirectoryW(shots.c_str(), nullptr);
  RemoveInstalled();
  const std::wstring chosen = ProgramsFolder(L"Tavenrik Demo Tools");
  RemoveShortcuts(chosen);
  const tav::TWalkResult walk = RunSetup(DistributionSwitch(), shots + L"\\setup", 0,
                                         {{L"Select folder in start menu", L"Tavenrik Demo Tools"}});
  EXPECT_EQ(walk.Pages, (std::vector<std::wstring>{L"Select a language", L"Welcome", L"Software license agreement",
                                                   L"Readme information",
                                                   L"Select components to install", L"Select folder in start menu", L"Setup complete"}));
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message: " << Narrow(m);
  EXPECT_EQ(walk.ExitCode, 0u);
  ExpectPayloadInstalled();
  ExpectShortcutsIn(chosen);
  EXPECT_EQ(GetFileAttributesW(ProgramsFolder(L"Demo Product").c_str()), INVALID_FILE_ATTRIBUTES)
      << "nothing in the folder that was not chosen";
  RemoveShortcuts(chosen);
  // A good end leaves no install record behind.
  EXPECT_FALSE(InstallRecordExists());
  // The product is registered for uninstalling, with the installed uninstaller quoted.
  const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo Product";
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"UninstallString", RRF_RT_REG_SZ, nullptr, value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), L"\"" + InstalledFolder() + L"\\uninstall.exe\" \"Demo Product\"");
  EXPECT_NE(ReadAll(InstalledFolder() + L"\\uninstall.exe"), "<missing>");
}

// The good end through the wizard, again and again: the program ends by itself every time, with its
// exit code and no fault on the way out (forms are torn down before the program's state goes).
TEST(SetupProgram, EndsCleanlyOnEveryGoodRun) {
  for (int run = 1; run <= 5; ++run) {
    const DWORD start = GetTickCount();
    const tav::TWalkResult walk = RunSetup(DistributionSwitch());
    ASSERT_TRUE(walk.Ended) << "run " << run;
    EXPECT_LT(GetTickCount() - start, 60000u) << "run " << run;
    ASSERT_FALSE(walk.Pages.empty()) << "run " << run;
    ASSERT_EQ(walk.Pages.back(), L"Setup complete") << "run " << run;
    ASSERT_EQ(walk.ExitCode, 0u) << "run " << run;
  }
  ExpectPayloadInstalled();
  ExpectShortcutsIn(ProgramsFolder(L"Demo Product"));
}

// --- unattended runs ---

// A folder below the temporary folder, gone (with what is in it) before and after.
class TFreshFolder {
public:
  explicit TFreshFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + name;
    Remove();
  }
  ~TFreshFolder() { Remove(); }
  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
  void Remove() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::wstring path_;
};

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// A quiet run: no window of the program's may ever be visible, and no message box.
tav::TWalkResult RunQuiet(const std::wstring& args) {
  const tav::TWalkResult walk = RunSetup(L"-q " + args, L"", 0, {}, 60000);
  for (const std::wstring& w : walk.Windows) ADD_FAILURE() << "a window showed: " << Narrow(w);
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message box: " << Narrow(m);
  return walk;
}

bool Has(const std::string& log, const std::wstring& text) { return log.find(Narrow(text)) != std::string::npos; }

// Every line of a log is one event with its local date and time.
void ExpectTimedLines(const std::string& log) {
  static const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d .+)");
  std::size_t start = 0, lines = 0;
  while (start < log.size()) {
    std::size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "unterminated line: " << log.substr(start);
    EXPECT_TRUE(std::regex_match(log.substr(start, end - start), line)) << log.substr(start, end - start);
    start = end + 2;
    ++lines;
  }
  EXPECT_GT(lines, 0u);
}

void ExpectPayloadIn(const std::wstring& folder) {
  for (const auto& [sub, name] : kPayload)
    EXPECT_EQ(ReadAll(folder + L"\\" + sub + name), ReadAll(WinePath(TAV_DEMO_PAYLOAD) + L"\\" + name)) << Narrow(name);
  EXPECT_NE(ReadAll(folder + L"\\uninstall.exe"), "<missing>");
}

// The shipped distribution installed quietly 20 times in a row, each into a fresh folder named by -p:
// every run ends by itself, without a window, with exit code 0, the files in place and a log that tells
// each phase, file, registry value and shortcut. The loading program passes the switches on as well.
TEST(SetupProgram, QuietInstallsEndEveryTime) {
  for (int run = 1; run <= 20; ++run) {
    RemoveInstalled();
    const TFreshFolder target(L"tav quiet " + std::to_wstring(run));
    const TFreshFolder logs(L"tav quiet logs");
    CreateDirectoryW(logs.Path().c_str(), nullptr);
    const std::wstring log = logs / L"setup.log";
    const DWORD start = GetTickCount();
    const tav::TWalkResult walk =
        RunQuiet(DistributionSwitch() + L" " + Quoted(L"-p" + target.Path()) + L" " + Quoted(L"-l" + log));
    ASSERT_TRUE(walk.Ended) << "run " << run;
    EXPECT_LT(GetTickCount() - start, 30000u) << "run " << run;
    ASSERT_EQ(walk.ExitCode, 0u) << "run " << run;
    ExpectPayloadIn(target.Path());
    const std::string text = ReadAll(log);
    ExpectTimedLines(text);
    for (const std::wstring& expected :
         {std::wstring(L"Setup started with the command line: -q "),
          std::wstring(L"Phase: before installation (quiet: every page keeps its defaults)\r\n"),
          L"Phase: installing into " + target.Path() + L"\r\n", std::wstring(L"Object HelpGroup (TInstallFileGroup)\r\n"),
          L"File written: " + (target / L"readme.txt") + L"\r\n", L"File written: " + (target / L"Help\\help.txt"),
          L"File written: " + (target / L"Samples\\sample.txt"), L"File written: " + (target / L"uninstall.exe"),
          L"Registry value written: HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo "
          L"Product, InstallLocation = " + target.Path() + L"\r\n",
          L"Shortcut written: " + ProgramsFolder(L"Demo Product") + L"\\Readme.lnk",
          std::wstring(L"Phase: the installation is complete\r\n"), std::wstring(L"Setup ended with the exit code 0\r\n")})
      EXPECT_TRUE(Has(text, expected)) << "run " << run << ": no \"" << Narrow(expected) << "\" in\n" << text;
    EXPECT_FALSE(Has(text, L"Error")) << text;
    ExpectShortcutsIn(ProgramsFolder(L"Demo Product"), target.Path());
    ASSERT_FALSE(testing::Test::HasFailure()) << "run " << run;
  }
  EXPECT_FALSE(InstallRecordExists());

  // Through the loading program: a folder with it, setup.1 (setup.exe packed) and files.1, as a
  // distribution is laid out; -q, -l and -p reach setup, which installs and ends with 0.
  RemoveInstalled();
  const TFreshFolder dist(L"tav quiet dist"), target(L"tav quiet loaded");
  ASSERT_TRUE(CreateDirectoryW(dist.Path().c_str(), nullptr));
  std::wstring bin = WinePath(TAV_SETUP_EXE);
  bin.erase(bin.find_last_of(L'\\'));
  ASSERT_TRUE(CopyFileW(WinePath(TAV_LOADER_EXE).c_str(), (dist / L"setup.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((bin + L"\\files.1").c_str(), (dist / L"files.1").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(WinePath(TAV_SETUP_EXE).c_str(), (dist / L"tvsetup.exe").c_str(), FALSE));
  const std::wstring pack = Quoted(WinePath(TAV_TVARC_EXE)) + L" add setup.1 tvsetup.exe";
  ASSERT_EQ(fx::RunAndWait(pack, 60000, dist.Path().c_str()), 0);
  DeleteFileW((dist / L"tvsetup.exe").c_str());
  const std::wstring log = dist / L"loaded.log";
  const tav::TWalkResult loaded = tav::WalkSetup(
      Quoted(dist / L"setup.exe") + L" /Q " + Quoted(L"-p" + target.Path() + L"\\") + L" " + Quoted(L"-l" + log), L"",
      60000);
  for (const std::wstring& w : loaded.Windows) ADD_FAILURE() << "a window showed: " << Narrow(w);
  EXPECT_TRUE(loaded.Ended);
  EXPECT_EQ(loaded.ExitCode, 0u);
  ExpectPayloadIn(target.Path());
  EXPECT_TRUE(Has(ReadAll(log), L"Phase: installing into " + target.Path() + L"\r\n")) << ReadAll(log);

  // The loading program's own failure (no setup.1 beside it) shows no box either: it goes to the log.
  DeleteFileW((dist / L"setup.1").c_str());
  const tav::TWalkResult damaged =
      tav::WalkSetup(Quoted(dist / L"setup.exe") + L" -q " + Quoted(L"-l" + log), L"", 60000);
  EXPECT_TRUE(damaged.Ended);
  EXPECT_EQ(damaged.ExitCode, 1u);
  EXPECT_TRUE(damaged.Messages.empty());
  EXPECT_TRUE(Has(ReadAll(log), L"This setup program is damaged or incomplete")) << ReadAll(log);
  RemoveInstalled();
}

// A quiet run that cannot install ends with 1, the error in its log and never a message box: the
// archive is missing, the target cannot be made, the command line or the folder is wrong.
TEST(SetupProgram, FailingQuietRunsExitOneWithTheErrorInTheLog) {
  const TFreshFolder scratch(L"tav quiet failures");
  ASSERT_TRUE(CreateDirectoryW(scratch.Path().c_str(), nullptr));
  const std::wstring empty = scratch / L"empty";
  CreateDirectoryW(empty.c_str(), nullptr);
  // A file where the target's folder would have to be.
  const std::wstring blocker = scratch / L"blocker";
  HANDLE made = CreateFileW(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  CloseHandle(made);
  struct Case {
    std::wstring args;
    std::wstring error;
  };
  const Case cases[] = {
      {Quoted(L"-s" + empty) + L" " + Quoted(L"-p" + (scratch / L"target")),
       L"Error: Cannot open the compressed file " + empty + L"\\files.1"},
      {DistributionSwitch() + L" " + Quoted(L"-p" + blocker + L"\\Product"), L"Error: "},
      {DistributionSwitch() + L" -x", L"Error: Invalid parameter <-x>. Valid command line parameters are: -b (Build)"},
      {DistributionSwitch() + L" -pProduct", L"Error: The install folder given with -p must be a full path"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring log = scratch / (L"failed" + std::to_wstring(++n) + L".log");
    const tav::TWalkResult walk = RunQuiet(c.args + L" " + Quoted(L"-l" + log));
    EXPECT_TRUE(walk.Ended) << Narrow(c.args);
    EXPECT_EQ(walk.ExitCode, 1u) << Narrow(c.args);
    const std::string text = ReadAll(log);
    EXPECT_TRUE(Has(text, c.error)) << Narrow(c.args) << "\n" << text;
    EXPECT_TRUE(Has(text, L"Setup ended with the exit code 1\r\n")) << text;
  }
  EXPECT_EQ(GetFileAttributesW((scratch / L"target").c_str()), INVALID_FILE_ATTRIBUTES);
  // A log that cannot be written is itself the failure; no box says so.
  const tav::TWalkResult noLog = RunQuiet(DistributionSwitch() + L" " + Quoted(L"-l" + (blocker + L"\\setup.log")));
  EXPECT_TRUE(noLog.Ended);
  EXPECT_EQ(noLog.ExitCode, 1u);
  // A failed run keeps its install record; the next start of this program would take it up.
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tavenrik\\Install");
  RemoveInstalled();
}

// Every other way out ends with its exit code and without a fault: the modes that end at once with a
// message, a resumption with nothing to resume, and a source path far longer than any folder.
TEST(SetupProgram, EveryModeEndsWithItsExitCode) {
  struct Case {
    std::wstring args;
    std::wstring message;  // how the one message box starts
  };
  const Case cases[] = {
      {L"-b", L"Need to have a BUILD.INF file in this directory"},
      {L"-f", L"Sorry... You can only transfer this installation to floppies through the self-extracting file"},
      // Nothing left to resume: this program file has no install record.
      {L"-r \"-sC:\\My Dist\"", L"The TInstall could not either write or read unfinished business from the registry"},
  };
  for (const Case& c : cases) {
    const tav::TWalkResult walk = RunSetup(c.args);
    ASSERT_TRUE(walk.Ended) << Narrow(c.args);
    ASSERT_FALSE(walk.Messages.empty()) << Narrow(c.args);
    EXPECT_EQ(walk.Messages[0].rfind(c.message, 0), 0u) << Narrow(walk.Messages[0]);
    EXPECT_EQ(walk.ExitCode, 1u) << Narrow(c.args);  // each of them failed
  }
  const tav::TWalkResult longPath = RunSetup(L"\"-sC:\\" + std::wstring(10000, L'd') + L"\"");
  EXPECT_TRUE(longPath.Ended);
  EXPECT_NE(longPath.ExitCode, 0xC0000005u);
  EXPECT_LE(longPath.ExitCode, 1u);
}

// Cancel on the licence page ends the run as the user's abort: the failure page follows, nothing is
// installed and no record stays.
TEST(SetupProgram, CancelOnTheLicencePageEndsTheRunWithoutInstalling) {
  const std::wstring shots = WinePath(TAV_SCREENSHOTS);
  RemoveInstalled();
  const TFreshFolder logs(L"tav cancelled");
  CreateDirectoryW(logs.Path().c_str(), nullptr);
  const tav::TWalkResult walk =
      RunSetup(DistributionSwitch() + L" " + Quoted(L"-l" + (logs / L"setup.log")), shots + L"\\cancelled-setup", 3);
  EXPECT_EQ(walk.Pages, (std::vector<std::wstring>{L"Select a language", L"Welcome", L"Software license agreement",
                                                   L"Setup incomplete"}));
  // The wizard's run writes its log too.
  const std::string log = ReadAll(logs / L"setup.log");
  ExpectTimedLines(log);
  for (const wchar_t* expected :
       {L"Phase: before installation\r\n", L"Phase: the installation was cancelled: Installation aborted by the user\r\n",
        L"Setup ended with the exit code 2\r\n"})
    EXPECT_TRUE(Has(log, expected)) << Narrow(expected) << " not in\n" << log;
  EXPECT_FALSE(Has(log, L"File written")) << log;
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message: " << Narrow(m);
  EXPECT_EQ(ReadAll(InstalledFolder() + L"\\readme.txt"), "<missing>");
  EXPECT_EQ(GetFileAttributesW(ProgramsFolder(L"Demo Product").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(InstallRecordExists());
  EXPECT_EQ(walk.ExitCode, 2u);
}

TEST(SetupProgram, RefusesAnInvalidSwitchWithItsMessage) {
  const tav::TWalkResult walk = RunSetup(L"-x");
  ASSERT_EQ(walk.Messages.size(), 1u);
  EXPECT_EQ(walk.Messages[0].rfind(
                L"Invalid parameter <-x>. Valid command line parameters are: -b (Build), -d (Debug)", 0),
            0u);
  EXPECT_TRUE(walk.Pages.empty());
  EXPECT_EQ(walk.ExitCode, 1u);
}

TEST(SetupProgram, DebugWithoutBuildDirectoryAsksForIt) {
  const tav::TWalkResult walk = RunSetup(L"-d");
  ASSERT_EQ(walk.Messages.size(), 1u);
  EXPECT_EQ(walk.Messages[0],
            L"You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My Build\"");
  EXPECT_EQ(walk.ExitCode, 1u);
}

// Before anything is installed the run fails: the error is shown, then the failure page.
TEST(SetupProgram, WithoutTheLoadingProgramsPathTheRunFailsAndEnds) {
  const std::wstring shots = WinePath(TAV_SCREENSHOTS);
  const tav::TWalkResult walk = RunSetup(L"", shots + L"\\failed-setup");
  ASSERT_FALSE(walk.Messages.empty());
  EXPECT_EQ(walk.Messages[0].rfind(L"The path of the loading program was not passed correctly.", 0), 0u);
  EXPECT_EQ(walk.ExitCode, 1u);
}

// A file in use, installed quietly: it is written beside the old one for the restart, the program
// never restarts the computer and ends with 3010; the restart's resumption is quiet and logged too.
TEST(SetupProgram, QuietInstallOverAFileInUseAsksForARestartByItsExitCode) {
  RemoveInstalled();
  const TFreshFolder target(L"tav quiet in use");
  ASSERT_TRUE(CreateDirectoryW(target.Path().c_str(), nullptr));
  const std::wstring held = target / L"readme.txt";
  HANDLE lock = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  const std::wstring log = target / L"setup.log";
  const tav::TWalkResult walk =
      RunQuiet(DistributionSwitch() + L" " + Quoted(L"-p" + target.Path()) + L" " + Quoted(L"-l" + log));
  CloseHandle(lock);
  EXPECT_TRUE(walk.Ended);
  EXPECT_EQ(walk.ExitCode, 3010u);
  EXPECT_EQ(ReadAll(target / L"readme.1"), ReadAll(WinePath(TAV_DEMO_PAYLOAD) + L"\\readme.txt"));
  EXPECT_EQ(ReadAll(target / L"license.txt"), ReadAll(WinePath(TAV_DEMO_PAYLOAD) + L"\\license.txt"));
  const std::string text = ReadAll(log);
  EXPECT_TRUE(Has(text, L"File in use: " + held + L" is written as " + (target / L"readme.1"))) << text;
  EXPECT_TRUE(Has(text, L"The computer is not restarted in quiet mode")) << text;
  EXPECT_TRUE(Has(text, L"Setup ended with the exit code 3010\r\n")) << text;
  EXPECT_FALSE(Has(text, L"Phase: the installation is complete")) << text;
  // The resumption waits in RunOnce, quiet and writing the same log.
  HKEY runOnce;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                          KEY_READ | KEY_WRITE, &runOnce),
            ERROR_SUCCESS);
  wchar_t command[2048] = {};
  DWORD size = sizeof command;
  EXPECT_EQ(RegQueryValueExW(runOnce, L"TavenrikUnfinished", nullptr, nullptr, reinterpret_cast<BYTE*>(command), &size),
            ERROR_SUCCESS);
  const std::wstring resume = command;
  EXPECT_NE(resume.find(L" -r "), std::wstring::npos) << Narrow(resume);
  EXPECT_NE(resume.find(L" -q"), std::wstring::npos) << Narrow(resume);
  EXPECT_NE(resume.find(Quoted(L"-l" + log)), std::wstring::npos) << Narrow(resume);
  // Nothing of this run may wait for the test prefix's next start.
  RegDeleteValueW(runOnce, L"TavenrikUnfinished");
  RegDeleteValueW(runOnce, L"TavenrikBatFile");
  RegCloseKey(runOnce);
  // The new file waits to take the old one's place at the restart.
  EXPECT_EQ(fx::RemovePendingRenamesIn(target.Path()), 1);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tavenrik\\Install");
  RemoveInstalled();
}

}  // namespace
