// The work that waits for a restart: the unfinished list, the RunOnce entry, the restart request
// (recorded, never carried out) and the resumption that a start with -r performs while loading.
// First: the Windows headers with their macros tamed, before the fixtures bring them again.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include "engine/install_record.h"
#include "fixtures.h"
#include "install_support.h"
#include "engine/translator_language.h"
#include "lang/translate_controls.h"
#include "objects/routines_Registry.h"
#include "spine_classes.h"
#include "sys/files.h"
#include "sys/process.h"
#include "sys/registry.h"
#include "sys/unicode.h"
#include "ui/application.h"

using namespace tav;
using namespace tav::test;
namespace fx = tav::fixtures;

namespace {

using TResumeForm = TProjectForm<"TResumeForm">;

std::string RunOnceValue(const std::string& name) {
  std::string value = "<none>";
  sys::RegKey::Open(sys::RootKey::LocalMachine, tav::kRunOnceKey, false).ReadString(name, value);
  return value;
}

// A file of its own in the temporary folder, or in a folder below it.
std::string MakeFile(const std::string& path) {
  sys::File::Open(path, sys::OpenMode::Create).Close();
  return path;
}

class Resume : public SpineProjectTest {
protected:
  void SetUp() override {
    SetUpProject(TResumeForm::StaticClassInfo());
    RegisterLangClasses();
    // Never the machine's restart: the request is counted with the state of the privilege.
    sys::RestartCallSlot().Set([this] {
      restartRequests.push_back(fx::ShutdownPrivilegeEnabled());
      return restartAccepted;
    });
    ASSERT_TRUE(fx::SetShutdownPrivilege(false));
    Arguments({"-sC:\\dist"});
  }
  void TearDown() override {
    SpineProjectTest::TearDown();
    sys::RegKey runOnce = sys::RegKey::Open(sys::RootKey::LocalMachine, tav::kRunOnceKey, false);
    for (const char* name : {"TavenrikUnfinished", "TavenrikUnfinished1"}) runOnce.DeleteValue(name);
  }
  void Create() { OpenSpine<TResumeForm>(); }
  // The record of this test program, as the interrupted run left it.
  std::string MakeRecord(const std::vector<std::pair<std::string, std::string>>& unfinished) {
    const std::string key = FindInstallRecord({sys::ModuleFileName(), 1, std::nullopt}, true);
    sys::RegKey list = sys::RegKey::Open(sys::RootKey::LocalMachine, key + "\\Unfinished", true);
    for (const auto& [name, kind] : unfinished) list.WriteString(name, kind);
    return key;
  }
  bool Exists(const std::string& key) { return sys::RegKey::Open(sys::RootKey::LocalMachine, key, false).IsOpen(); }

  std::vector<bool> restartRequests;
  bool restartAccepted = true;
};

// A run whose files want the restart saves the language, registers the resumption and asks for the
// restart with the shutdown privilege enabled; the list written in the run is in the record.
TEST_F(Resume, ARunThatNeedsTheRestartAsksForItWithThePrivilegeEnabled) {
  Create();
  ASSERT_TRUE(SetTranslatorLanguage(tvlGerman));  // as the language page would
  compact->onInstall = [this] {
    install->SetReboot(true);
    install->AddUnfinished("Compact1", 0);
    install->AddUnfinished("Compact1", 0);  // the same entry again replaces the first
  };
  install->StartHook(form);
  EXPECT_TRUE(shown.empty()) << shown.front();
  EXPECT_EQ(restartRequests, std::vector<bool>{true});
  EXPECT_EQ(install->endRequests, 1);
  EXPECT_EQ(install->UnfinishedCount(), 2);
  EXPECT_EQ(ReadRegInteger(hkLocalMachine, InstallRecordKey(), "Language", -1), tvlGerman);
  TStringList list;
  install->ReadUnfinished(list);
  EXPECT_EQ(list.Text(), "Compact1;0\r\n");
  EXPECT_EQ(RunOnceValue("TavenrikUnfinished"), "\"" + sys::ModuleFileName() + "\" -r \"-sC:\\dist\"");
  EXPECT_EQ(std::count(recorder->codes.begin(), recorder->codes.end(), -995), 0);  // no success pages

  // A refused request shows its message and keeps the resumption for a manual restart.
  restartAccepted = false;
  install->RebootWindows();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Could not reboot windows. Please manually reboot windows.");
  int failed = 0;
  install->OnFailedReboot = [&](TObject*) { ++failed; };
  install->RebootWindows();
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_NE(RunOnceValue("TavenrikUnfinished"), "<none>");
}

// A start with -e and -c passes both on; a second interrupted run takes the next free name.
TEST_F(Resume, TheResumptionCommandKeepsTheSwitchesAndTakesAFreeName) {
  Arguments({"-sC:\\My Dist", "-esetup.exe", "-c"});
  Create();
  install->RegisterRunOnce();
  install->RegisterRunOnce();
  const std::string command = "\"" + sys::ModuleFileName() + "\" -r \"-esetup.exe\" \"-sC:\\My Dist\" -c";
  EXPECT_EQ(RunOnceValue("TavenrikUnfinished"), command);
  EXPECT_EQ(RunOnceValue("TavenrikUnfinished1"), command);
  // Without a record the list cannot be kept, and the run says so.
  SetInstallRecordKey("");
  TStringList list;
  for (auto op : {std::function<void()>([&] { install->AddUnfinished("x", 0); }),
                  std::function<void()>([&] { install->ReadUnfinished(list); }),
                  std::function<void()>([&] { install->DeleteUnfinished(); })}) {
    try {
      op();
      ADD_FAILURE() << "no error";
    } catch (const IEInstall& e) {
      EXPECT_EQ(e.Message(), "The TInstall could not either write or read unfinished business from the registry");
    }
  }
}

// -r while loading: every named object resumes, the batch files the installer made go (and nothing
// else a forged entry names), the saved language is spoken again, and the run ends well.
TEST_F(Resume, LoadingWithRResumesTheListAndEndsAsAGoodInstall) {
  const std::string temp = sys::TempDirectory();
  const std::string batch = MakeFile(temp + "\\batresume1.bat");
  const std::string notBatch = MakeFile(temp + "\\batresume1.txt");
  fx::TempFolder folder;
  const std::string below = MakeFile(sys::Narrow(folder.Path(L"bat2.bat")));
  const std::string key = MakeRecord({{"Compact1", "0"},
                                      {"FULL1", "0"},
                                      {"Nobody", "0"},
                                      {"Install1", "0"},
                                      {batch, "1"},
                                      {notBatch, "1"},
                                      {below, "1"},
                                      {"Other", "7"}});
  WriteRegInteger(hkLocalMachine, key, "Language", tvlFrench);
  Arguments({"-r", "-sC:\\dist"});
  Create();
  for (const std::string& m : shown) ADD_FAILURE() << m;
  EXPECT_EQ(compact->resumes, 1);
  EXPECT_EQ(full->resumes, 1);
  EXPECT_EQ(compact->installs + full->installs, 0);
  EXPECT_FALSE(sys::FileExists(batch));
  EXPECT_TRUE(sys::FileExists(notBatch));
  EXPECT_TRUE(sys::FileExists(below));
  EXPECT_EQ(TranslatorLanguage(), tvlFrench);
  EXPECT_FALSE(Exists(key));
  EXPECT_EQ(std::count(recorder->codes.begin(), recorder->codes.end(), -979), 1);
  EXPECT_EQ(install->endRequests, 1);
  EXPECT_FALSE(install->Installing());
  EXPECT_TRUE(restartRequests.empty());
  sys::RemoveFile(notBatch);
}

// A line whose kind is no number stops the resumption with the whole line named; so does a
// resumption whose record is gone.
TEST_F(Resume, AnInvalidEntryOrAMissingRecordFailsTheResumption) {
  const std::string key = MakeRecord({{"Compact1", "zero"}});
  Arguments({"-r", "-sC:\\dist"});
  Create();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "There is an invalid entry for the unfinished install list Compact1;zero");
  EXPECT_EQ(compact->resumes, 0);
  EXPECT_EQ(std::count(recorder->codes.begin(), recorder->codes.end(), -978), 1);
  EXPECT_EQ(install->endRequests, 1);
  EXPECT_TRUE(Exists(key));  // a failed run keeps its record
  delete form;
  form = nullptr;
  RemoveInstallRecord(key);

  shown.clear();
  Create();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "The TInstall could not either write or read unfinished business from the registry");
}

}  // namespace
