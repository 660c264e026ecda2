// Whole-program runs of setup.exe: the program is started as a user would start it, its wizard is
// walked with Next, and its message boxes are read and answered from outside.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

#include "walk.h"

namespace {

// A Unix path of the build as Wine's drive for the Unix root sees it.
std::wstring WinePath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

tav::TWalkResult RunSetup(const std::wstring& args, const std::wstring& shots = L"", int cancelOnPage = 0,
                          const std::vector<tav::TPageText>& typed = {}) {
  tav::TWalkResult walk =
      tav::WalkSetup(L"\"" + WinePath(TAV_SETUP_EXE) + L"\" " + args, shots, 120000, cancelOnPage, typed);
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

std::wstring InstalledFolder() {
  wchar_t programFiles[MAX_PATH] = {};
  ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH);
  return std::wstring(programFiles) + L"\\Tavenrik Demo";
}

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

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
void ExpectShortcutsIn(const std::wstring& folder) {
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
    const std::wstring expected = InstalledFolder() + (name == kShortcuts[0] ? L"\\readme.txt" : L"\\license.txt");
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

// The good end, again and again: the program ends by itself every time, with its exit code and no
// fault on the way out (forms are torn down before the program's state goes).
TEST(SetupProgram, EndsCleanlyOnEveryGoodRun) {
  for (int run = 1; run <= 20; ++run) {
    const tav::TWalkResult walk = RunSetup(DistributionSwitch());
    ASSERT_TRUE(walk.Ended) << "run " << run;
    ASSERT_FALSE(walk.Pages.empty()) << "run " << run;
    ASSERT_EQ(walk.Pages.back(), L"Setup complete") << "run " << run;
    ASSERT_EQ(walk.ExitCode, 0u) << "run " << run;
  }
  ExpectPayloadInstalled();
  ExpectShortcutsIn(ProgramsFolder(L"Demo Product"));
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
    EXPECT_EQ(walk.ExitCode, 0u) << Narrow(c.args);
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
  const tav::TWalkResult walk = RunSetup(DistributionSwitch(), shots + L"\\cancelled-setup", 3);
  EXPECT_EQ(walk.Pages, (std::vector<std::wstring>{L"Select a language", L"Welcome", L"Software license agreement",
                                                   L"Setup incomplete"}));
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message: " << Narrow(m);
  EXPECT_EQ(ReadAll(InstalledFolder() + L"\\readme.txt"), "<missing>");
  EXPECT_EQ(GetFileAttributesW(ProgramsFolder(L"Demo Product").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(InstallRecordExists());
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
  EXPECT_EQ(walk.ExitCode, 0u);
}

}  // namespace
