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


inline constexpr char kTInstallServersFormName[] = "TInstallServersForm";
using TInstallServersForm = TProjectForm<kTInstallServersFormName>;

// The default value of HKCR\CLSID\{clsid}\<server>, or "<none>".
std::wstring ServerCommand(const wchar_t* clsid, const wchar_t* server) {
  const std::wstring path = fx::ClassKey(clsid) + L"\\" + server;
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"<none>";
  return value;
}

// The EXE server registers itself in its own process, which the installer does not wait for.
std::wstring WaitForServerCommand(const wchar_t* clsid, const wchar_t* server) {
  for (int i = 0; i < 200; ++i) {
    const std::wstring command = ServerCommand(clsid, server);
    if (command != L"<none>") return command;
    Sleep(50);
  }
  return L"<none>";
}

std::wstring SameCase(std::wstring s) {
  CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

class InstallServers : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterSpineClasses();
    RegisterClass(TInstallServersForm::StaticClassInfo());
    Application().SetMessageBoxHook([this](const std::string& text, const std::string&, unsigned) {
      shown.push_back(text);
      return 1;
    });
    for (const wchar_t* clsid : {TAV_FIXTURE_COM_CLSID, TAV_FIXTURE_EXE_CLSID, TAV_FIXTURE_BAD_CLSID})
      fx::RemoveServerKey(clsid);
    ASSERT_TRUE(folder.Made());
    root = sys::Narrow(folder.Path(L"run"));
    dist = root + "\\dist";
    src = root + "\\src";
    target = root + "\\target";
    for (const std::string& d : {root, dist, src, src + "\\ver1", src + "\\ver2", src + "\\nover", target})
      ASSERT_TRUE(sys::MakeDir(d)) << d;
    // The fixtures are copied next to each other under a short path: archive members are named by it.
    for (const wchar_t* name : {L"tavcomsrv.dll", L"tavexesrv.exe", L"tavbadsrv.dll", L"ver1\\tavver.dll",
                                L"ver2\\tavver.dll", L"nover\\tavver.dll"})
      ASSERT_TRUE(sys::CopyFileTo(sys::Narrow(fx::FixturePath(name)), src + "\\" + sys::Narrow(name), false));
    systemCopy = sys::Narrow(SystemFolder()) + "\\tavcomsrv.dll";
    SetArgumentSource([this] { return std::vector<std::string>{"-s" + dist}; });

    form = Application().CreateForm<TInstallServersForm>();
    install = dynamic_cast<TTestInstall*>(form->FindComponent("Install1"));
    ASSERT_TRUE(install);
    install->SetDestDirType(nullptr);
    install->SetDestDir(target);
    // Never restart the machine from a test.
    install->OnBeforeReboot = [this](TCustomInstall*, bool& continueReboot) {
      rebootAsked = continueReboot;
      continueReboot = false;
    };
    const std::pair<const char*, const char*> sources[] = {
        {"ComServer", ""}, {"ExeServer", ""}, {"BadServer", ""},
        {"Upgrade", "\\ver2"}, {"Downgrade", "\\ver1"}, {"Held", "\\nover"}};
    for (const auto& [name, dir] : sources) {
      auto* file = dynamic_cast<TCustomInstallFile*>(form->FindComponent(name));
      ASSERT_TRUE(file) << name;
      file->SetIncludeFromDir(src + dir);
      files[name] = file;
    }
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
    delete form;
    form = nullptr;
    RemoveInstallRecord(InstallRecordKey());
    // The EXE server registers in a process of its own: let it finish before its key goes.
    WaitForServerCommand(TAV_FIXTURE_EXE_CLSID, L"LocalServer32");
    for (const wchar_t* clsid : {TAV_FIXTURE_COM_CLSID, TAV_FIXTURE_EXE_CLSID, TAV_FIXTURE_BAD_CLSID})
      fx::RemoveServerKey(clsid);
    fx::RemovePendingRenames(sys::Wide(Dest("held.dll")));
    sys::RegKey counters = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, false);
    for (const std::string& name : {systemCopy, sys::ShortPath(systemCopy)}) counters.DeleteValue(name);
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
  TInstallServersForm* form = nullptr;
  TTestInstall* install = nullptr;
  std::map<std::string, TCustomInstallFile*> files;
  std::vector<std::string> shown;
  std::string root, dist, src, target, systemCopy;
  bool rebootAsked = false;
};

TEST_F(InstallServers, ServersRegisterVersionsDecideAndAHeldFileWaitsForTheRestart) {
  // The failing server's marker goes once every file is installed: its registration failed during
  // the run, was put off, and succeeds when the installer tries again at the end.
  bool failedDuringRun = false;
  files["Held"]->OnAfterInstall = [&](TCustomInstallFile*) {
    failedDuringRun = ServerCommand(TAV_FIXTURE_BAD_CLSID, L"InprocServer32") == L"<none>";
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
  EXPECT_EQ(SameCase(ServerCommand(TAV_FIXTURE_COM_CLSID, L"InprocServer32")), SameCase(sys::Wide(systemCopy)));
  sys::RegKey counters = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, false);
  std::uint32_t count = 0;
  EXPECT_TRUE(counters.ReadDword(sys::ShortPath(systemCopy), count) || counters.ReadDword(systemCopy, count));
  EXPECT_GE(count, 1u);
  // The EXE server was started with /REGSERVER and wrote its own quoted path.
  EXPECT_EQ(SameCase(WaitForServerCommand(TAV_FIXTURE_EXE_CLSID, L"LocalServer32")),
            SameCase(L"\"" + sys::Wide(Dest("tavexesrv.exe")) + L"\""));
  EXPECT_TRUE(failedDuringRun);
  EXPECT_EQ(SameCase(ServerCommand(TAV_FIXTURE_BAD_CLSID, L"InprocServer32")), SameCase(sys::Wide(Dest("tavbadsrv.dll"))));

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
  EXPECT_EQ(ServerCommand(TAV_FIXTURE_BAD_CLSID, L"InprocServer32"), L"<none>");
  // Everything before it was installed and registered.
  EXPECT_EQ(ReadAll(Dest("tavbadsrv.dll")), ReadAll(src + "\\tavbadsrv.dll"));
  EXPECT_NE(ServerCommand(TAV_FIXTURE_COM_CLSID, L"InprocServer32"), L"<none>");
}

}  // namespace
