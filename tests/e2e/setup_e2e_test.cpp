// Whole-program runs of setup.exe: the program is started as a user would start it, its wizard is
// walked with Next, and its message boxes are read and answered from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
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

tav::TWalkResult RunSetup(const std::wstring& args, const std::wstring& shots = L"", int cancelOnPage = 0) {
  tav::TWalkResult walk =
      tav::WalkSetup(L"\"" + WinePath(TAV_SETUP_EXE) + L"\" " + args, shots, 120000, cancelOnPage);
  EXPECT_TRUE(walk.Started);
  EXPECT_TRUE(walk.Ended) << "setup.exe did not end";
  return walk;
}

bool InstallRecordExists() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tavenrik\\Install", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The shipped project walked page by page with Next, as the main job does; each page is pictured.
TEST(SetupProgram, WalksTheShippedWizardToItsGoodEnd) {
  const std::wstring shots = WinePath(TAV_SCREENSHOTS);
  CreateDirectoryW(shots.c_str(), nullptr);
  const tav::TWalkResult walk = RunSetup(L"\"-sC:\\My Dist\"", shots + L"\\setup");
  EXPECT_EQ(walk.Pages, (std::vector<std::wstring>{L"Welcome", L"Software license agreement",
                                                   L"Readme information", L"Setup complete"}));
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message: " << Narrow(m);
  EXPECT_EQ(walk.ExitCode, 0u);
  // A good end leaves no install record behind.
  EXPECT_FALSE(InstallRecordExists());
}

// Cancel on the licence page ends the run as the user's abort: the failure page follows, nothing is
// installed and no record stays.
TEST(SetupProgram, CancelOnTheLicencePageEndsTheRunWithoutInstalling) {
  const std::wstring shots = WinePath(TAV_SCREENSHOTS);
  const tav::TWalkResult walk = RunSetup(L"\"-sC:\\My Dist\"", shots + L"\\cancelled-setup", 2);
  EXPECT_EQ(walk.Pages, (std::vector<std::wstring>{L"Welcome", L"Software license agreement", L"Setup incomplete"}));
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message: " << Narrow(m);
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
