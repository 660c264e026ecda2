// Installing real Windows programs under Wine: self-registering servers (in-process, an EXE server,
// one that fails while its marker stands beside it), DLLs compared by their version resources, and a
// destination that another process holds open. The programs are the build's test fixtures.
// First: the Windows headers with their macros tamed, before the fixtures bring them again.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/install_record.h"
#include "fixtures.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/routines_Registry.h"
#include "install_support.h"
#include "spine_classes.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/system.h"
#include "sys/unicode.h"
#include "ui/application.h"

using namespace tav;
using namespace tav::test;
namespace fx = tav::fixtures;

namespace {

using TInstallServersForm = TProjectForm<"TInstallServersForm">;

std::wstring SameCase(std::wstring s) {
  CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

class InstallServers : public ProjectTest {
protected:
  void SetUp() override {
    SetUpProject(TInstallServersForm::StaticClassInfo());
    for (const wchar_t* clsid : {TAV_FIXTURE_COM_CLSID, TAV_FIXTURE_EXE_CLSID, TAV_FIXTURE_BAD_CLSID})
      fx::RemoveServerKey(clsid);
    ASSERT_TRUE(folder.Made());
    RunFolders(sys::Narrow(folder.Path(L"run")));
    for (const std::string& d : {root, dist, src, src + "\\ver1", src + "\\ver2", src + "\\nover", target})
      ASSERT_TRUE(sys::MakeDir(d)) << d;
    // The fixtures are copied next to each other under a short path: archive members are named by it.
    for (const wchar_t* name : {L"tavcomsrv.dll", L"tavexesrv.exe", L"tavbadsrv.dll", L"ver1\\tavver.dll",
                                L"ver2\\tavver.dll", L"nover\\tavver.dll"})
      ASSERT_TRUE(sys::CopyFileTo(sys::Narrow(fx::FixturePath(name)), src + "\\" + sys::Narrow(name), false));
    systemCopy = sys::Narrow(SystemFolder()) + "\\tavcomsrv.dll";

    Open<TInstallServersForm>();
    // Never restart the machine from a test.
    install->OnBeforeReboot = [this](TCustomInstall*, bool& continueReboot) {
      rebootAsked = continueReboot;
      continueReboot = false;
    };
    InstallFrom(src, {"ComServer", "ExeServer", "BadServer"}, target);
    InstallFrom(src + "\\ver2", {"Upgrade"}, target);
    InstallFrom(src + "\\ver1", {"Downgrade"}, target);
    InstallFrom(src + "\\nover", {"Held"}, target);
    install->BuildArchives(coRelocateArchives | coForceNetFilesLocal | coIncludeExcluded);
    ASSERT_TRUE(sys::FileExists(dist + "\\files.1"));

    // What the target holds already: an older and a newer version, the failing server's marker, and
    // a file another program keeps open.
    ASSERT_TRUE(sys::CopyFileTo(src + "\\ver1\\tavver.dll", Dest("newer.dll"), false));
    ASSERT_TRUE(sys::CopyFileTo(src + "\\ver2\\tavver.dll", Dest("older.dll"), false));
    ASSERT_TRUE(sys::CopyFileTo(src + "\\ver1\\tavver.dll", Dest("held.dll"), false));
    sys::File::Open(Dest(sys::Narrow(TAV_FIXTURE_BAD_MARKER)), sys::OpenMode::Create).Close();
  }

  void TearDown() override {
    ProjectTest::TearDown();
    // The EXE server registers in a process of its own: let it finish before its key goes.
    fx::WaitForServerCommand(TAV_FIXTURE_EXE_CLSID, L"LocalServer32");
    for (const wchar_t* clsid : {TAV_FIXTURE_COM_CLSID, TAV_FIXTURE_EXE_CLSID, TAV_FIXTURE_BAD_CLSID})
      fx::RemoveServerKey(clsid);
    fx::RemovePendingRenames(sys::Wide(Dest("held.dll")));
    DropSharedCount(systemCopy);
    sys::RegKey::Open(sys::RootKey::LocalMachine, test::kRunOnceKey, false).DeleteValue("TavenrikUnfinished");
    DeleteKeyTree(hkLocalMachine, std::string(kUninstallKeyPrefix) + "My product");
    sys::RemoveFile(systemCopy);
  }

  static std::wstring SystemFolder() {
    wchar_t dir[MAX_PATH] = {};
    GetSystemDirectoryW(dir, MAX_PATH);
    return dir;
  }
  std::string Dest(const std::string& name) const { return target + "\\" + name; }

  fx::TempFolder folder;
  std::string systemCopy;
  bool rebootAsked = false;
};

TEST_F(InstallServers, ServersRegisterVersionsDecideAndAHeldFileWaitsForTheRestart) {
  // The failing server's marker goes once every file is installed: its registration failed during
  // the run, was put off, and succeeds when the installer tries again at the end.
  bool failedDuringRun = false;
  files["Held"]->OnAfterInstall = [&](TCustomInstallFile*) {
    failedDuringRun = fx::ServerCommand(TAV_FIXTURE_BAD_CLSID, L"InprocServer32") == L"<none>";
    sys::RemoveFile(Dest(sys::Narrow(TAV_FIXTURE_BAD_MARKER)));
  };
  {
    fx::FileLock lock(sys::Wide(Dest("held.dll")));
    ASSERT_TRUE(lock.Held());
    install->StartHook(form);
    EXPECT_EQ(lock.Release(), 0);
  }
  for (const std::string& m : shown) ADD_FAILURE() << "message: " << m;

  // The system-wide server went to the system folder, counted and registered by its own code.
  EXPECT_EQ(ReadAll(systemCopy), ReadAll(src + "\\tavcomsrv.dll"));
  EXPECT_EQ(SameCase(fx::ServerCommand(TAV_FIXTURE_COM_CLSID, L"InprocServer32")), SameCase(sys::Wide(systemCopy)));
  EXPECT_GE(SharedCount(systemCopy), 1u);
  // The EXE server was started with /REGSERVER and wrote its own quoted path.
  EXPECT_EQ(SameCase(fx::WaitForServerCommand(TAV_FIXTURE_EXE_CLSID, L"LocalServer32")),
            SameCase(L"\"" + sys::Wide(Dest("tavexesrv.exe")) + L"\""));
  EXPECT_TRUE(failedDuringRun);
  EXPECT_EQ(SameCase(fx::ServerCommand(TAV_FIXTURE_BAD_CLSID, L"InprocServer32")),
            SameCase(sys::Wide(Dest("tavbadsrv.dll"))));

  // Version resources decide: 2.0 replaces 1.0, 1.0 does not replace 2.0.
  EXPECT_EQ(ReadAll(Dest("newer.dll")), ReadAll(src + "\\ver2\\tavver.dll"));
  EXPECT_EQ(ReadAll(Dest("older.dll")), ReadAll(src + "\\ver2\\tavver.dll"));
  EXPECT_TRUE(files["Upgrade"]->WillCopy());
  EXPECT_FALSE(files["Downgrade"]->WillCopy());

  // The held file: the new one waits as held.1, the old one is intact, Windows moves it at the restart.
  EXPECT_EQ(ReadAll(Dest("held.dll")), ReadAll(src + "\\ver1\\tavver.dll"));
  EXPECT_EQ(ReadAll(Dest("held.1")), ReadAll(src + "\\nover\\tavver.dll"));
  EXPECT_TRUE(files["Held"]->ReplaceAtReboot());
  bool pending = false;
  for (const fx::PendingRename& r : fx::PendingRenames())
    pending = pending || (fx::NamesPath(r.from, sys::Wide(Dest("held.1"))) && fx::NamesPath(r.to, sys::Wide(Dest("held.dll"))));
  EXPECT_TRUE(pending);
  EXPECT_TRUE(rebootAsked);
}

TEST_F(InstallServers, AServerThatStillFailsAtTheEndIsReported) {
  install->StartHook(form);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("Could not register the ActiveX component, " + Dest("tavbadsrv.dll") +
                          ", because the DllRegisterServer function returned a value of "),
            std::string::npos)
      << shown[0];
  EXPECT_EQ(fx::ServerCommand(TAV_FIXTURE_BAD_CLSID, L"InprocServer32"), L"<none>");
  // Everything before it was installed and registered.
  EXPECT_EQ(ReadAll(Dest("tavbadsrv.dll")), ReadAll(src + "\\tavbadsrv.dll"));
  EXPECT_NE(fx::ServerCommand(TAV_FIXTURE_COM_CLSID, L"InprocServer32"), L"<none>");
}

}  // namespace
