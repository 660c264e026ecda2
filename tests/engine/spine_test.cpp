#include <gtest/gtest.h>

#include "engine/install_record.h"
#include "install_support.h"
#include "spine_classes.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "ui/application.h"

using namespace tav;
using namespace tav::test;

namespace {

// The installer is a file container: its install step opens with -992 and always closes with -996.
const std::vector<int> kStart = {-984, -974, -973, -983, -986, -976, -975, -982, -981, -977, -980, -990, -999, -992};

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool RecordExists(const std::string& key) {
  return !key.empty() && sys::RegKey::Open(sys::RootKey::LocalMachine, key, false).IsOpen();
}

class Spine : public SpineProjectTest {
protected:
  void SetUp() override {
    SetUpProject(TSpineForm::StaticClassInfo());
    Arguments({"-sC:\\dist"});
  }
  void Create() { OpenSpine<TSpineForm>(); }
  std::string CreateError() {
    try {
      Create();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "no error";
  }
};

TEST_F(Spine, GoodRunStartsOnFirstActivationAndAnnouncesEveryPhase) {
  Create();
  EXPECT_EQ(install->HostForm(), form);
  EXPECT_EQ(install->CurrentInstallType(), itCompact);  // first of default, compact, full, custom
  EXPECT_EQ(install->SourceDirectory(), "C:\\dist");
  form->Show();
  Application().ProcessMessages();
  ASSERT_TRUE(install->Started());
  EXPECT_EQ(recorder->codes, Concat(kStart, {-996, -989, -995, -979}));
  EXPECT_EQ(recorder->texts, std::vector<std::string>{"Reading file information..."});
  EXPECT_EQ(compact->installs, 1);
  EXPECT_EQ(full->installs, 0);
  EXPECT_FALSE(install->Installing());
  EXPECT_EQ(install->endRequests, 1);
  EXPECT_EQ(form->WindowState(), wsMaximized);
  EXPECT_FALSE(InstallRecordKey().empty());
  EXPECT_FALSE(RecordExists(InstallRecordKey()));  // a good end removes the record
  EXPECT_TRUE(shown.empty());

  // A second activation starts nothing.
  install->StartHook(form);
  EXPECT_EQ(recorder->codes.size(), kStart.size() + 4);
}

TEST_F(Spine, FailedRunShowsTheErrorKeepsTheRecordAndEnds) {
  Create();
  compact->onInstall = [] { throw IECustomInstallFile(std::string("The disk caught fire")); };
  install->StartHook(form);
  EXPECT_EQ(recorder->codes, Concat(kStart, {-996, -994, -978}));
  EXPECT_EQ(shown, std::vector<std::string>{"The disk caught fire"});
  EXPECT_TRUE(RecordExists(InstallRecordKey()));
  EXPECT_FALSE(install->Installing());
  EXPECT_EQ(install->endRequests, 1);
}

TEST_F(Spine, CancelledRunRemovesTheRecordButNothingOutsideTheTemporaryFolder) {
  Arguments({"-sC:\\dist", "-c"});
  Create();
  // The program's folder is no temporary copy (it lies outside the temporary folder): nothing in it
  // goes, not even a file named like a presetup file, and a message says so.
  const std::string presetup = install->ProgramDirectory() + "\\presetup-test.dll";
  sys::File::Open(presetup, sys::OpenMode::Create).Close();
  ASSERT_TRUE(sys::FileExists(presetup));
  install->PresetupFiles().Add("D:\\elsewhere\\presetup-test.dll");
  compact->onInstall = [] { throw EAIUserAbort(); };
  install->StartHook(form);
  EXPECT_EQ(recorder->codes, Concat(kStart, {-996, -994, -978}));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("The setup program is not running from a folder of its own in the temporary folder", 0), 0u);
  EXPECT_FALSE(RecordExists(InstallRecordKey()));
  EXPECT_TRUE(sys::FileExists(presetup));
  sys::RemoveFile(presetup);
  EXPECT_FALSE(install->RunCleanupBatch());
  EXPECT_EQ(install->endRequests, 1);
}

TEST_F(Spine, ARunNeedingARestartRegistersItsResumptionAndEndsWithoutTheSuccessPages) {
  Create();
  compact->onInstall = [this] { install->SetReboot(true); };
  bool asked = false;
  install->OnBeforeReboot = [&](TCustomInstall*, bool& continueReboot) {
    asked = continueReboot;
    continueReboot = false;  // the user declines the restart
  };
  install->StartHook(form);
  EXPECT_TRUE(asked);
  EXPECT_EQ(recorder->codes, Concat(kStart, {-996, -989, -987}));
  EXPECT_EQ(install->endRequests, 1);
  EXPECT_TRUE(RecordExists(InstallRecordKey()));  // kept for the resumption
  sys::RegKey runOnce =
      sys::RegKey::Open(sys::RootKey::LocalMachine, "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false);
  std::string command;
  ASSERT_TRUE(runOnce.ReadString("TavenrikUnfinished", command));
  EXPECT_EQ(command, "\"" + sys::ModuleFileName() + "\" -r \"-sC:\\dist\"");
  runOnce.DeleteValue("TavenrikUnfinished");
}

TEST_F(Spine, SkippedObjectsAndTheSilentAbort) {
  Create();
  compact->SetInclude(false);
  full->SetInstallTypes({itAlways});
  full->OnBeforeProcess = [](TInstallContainer*) { throw EAbort(std::string("skip me")); };
  install->StartHook(form);
  EXPECT_EQ(full->installs, 0);
  EXPECT_EQ(compact->installs, 0);
  EXPECT_EQ(recorder->codes, Concat(kStart, {-996, -989, -995, -979}));
  EXPECT_TRUE(shown.empty());
}

TEST_F(Spine, ShutdownCanBeRefusedAndRunAutomaticFalseWaitsForTheHost) {
  Create();
  install->OnBeforeShutdown = [](TCustomInstall*, bool& quitOut) { quitOut = false; };
  install->StartHook(form);
  EXPECT_EQ(install->endRequests, 0);
  EXPECT_EQ(recorder->codes.back(), -979);
  delete form;
  form = nullptr;

  Create();
  install->SetRunAutomatic(false);
  install->StartHook(form);
  EXPECT_TRUE(install->Started());
  EXPECT_EQ(form->WindowState(), wsMaximized);
  EXPECT_TRUE(recorder->codes.empty());
  // The host runs it; a cancel then keeps the program running, an error still ends it.
  compact->onInstall = [] { throw EAIUserAbort(); };
  try {
    install->Execute();
  } catch (const Exception& e) {
    install->HandleException(install, e);
  }
  EXPECT_EQ(install->endRequests, 0);
}

TEST_F(Spine, WithoutTheLoadingProgramsPathTheRunFails) {
  Arguments({});
  Create();
  install->StartHook(form);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("The path of the loading program was not passed correctly.", 0), 0u) << shown[0];
  EXPECT_EQ(recorder->codes, (std::vector<int>{-994, -978}));
  EXPECT_EQ(install->endRequests, 1);
}

TEST_F(Spine, LoadingRefusesBadCommandLinesAndASecondInstaller) {
  Arguments({"-d"});
  EXPECT_EQ(CreateError(),
            "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My Build\"");
  Arguments({"-d", "-s   "});
  EXPECT_EQ(CreateError().rfind("You forgot", 0), 0u);
  Arguments({"-x"});
  EXPECT_EQ(CreateError().rfind("Invalid parameter <-x>. Valid command line parameters are:", 0), 0u);
  EXPECT_EQ(CurrentInstall(), nullptr);  // the failed forms took their installers with them

  Arguments({"-sC:\\dist"});
  Create();
  try {
    new TInstall(form);
    ADD_FAILURE() << "a second installer was accepted";
  } catch (const IEInstall& e) {
    EXPECT_EQ(e.Message(),
              "The TInstall component does not currently support the use of 2 TInstall components in the same project");
  }
  EXPECT_EQ(CurrentInstall(), static_cast<TCurrentInstall*>(install));
}

TEST_F(Spine, BuildModeWithoutBuildInfShowsItsErrorAndEnds) {
  Arguments({"-b"});
  Create();
  EXPECT_EQ(shown, std::vector<std::string>{
                       "Need to have a BUILD.INF file in this directory with the first line specifying the build directory"});
  EXPECT_EQ(install->endRequests, 1);
  EXPECT_FALSE(install->Started());
}

TEST_F(Spine, HideMainFormAndAutoMaximizeExcludeEachOther) {
  Create();
  install->SetHideMainForm(true);
  EXPECT_FALSE(install->AutoMaximizeWindow());
  install->SetAutoMaximizeWindow(true);
  EXPECT_FALSE(install->HideMainForm());
  EXPECT_EQ(RunAfterInstallCommandLine("C:\\Program Files\\App", "app.exe"), "\"C:\\Program Files\\App\\app.exe\"");
  EXPECT_EQ(CurrentDistributeType(), dtTraditional);
  EXPECT_THROW(install->SetDistributeType(dtWeb), IEInstall);
  delete form;
  form = nullptr;
  EXPECT_EQ(CurrentDistributeType(), dtTraditionalNet);
  EXPECT_FALSE(RunInProgress());
}

}  // namespace
