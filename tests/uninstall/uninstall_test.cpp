// Installing a product under Wine with files, a shared DLL, COM servers, registry actions of every key
// type and the uninstaller, then removing it again with uninstall.exe: the record reads back as laid
// out, and after the uninstall the registry and the file system are as they were before.
// First: the Windows headers with their macros tamed, before the fixtures bring them again.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/exceptions_Tavenrik.h"
#include "engine/cmp_TInstall.h"
#include "engine/install_record.h"
#include "fixtures.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/cmp_TInstallRegistry.h"
#include "objects/cmp_TUninstallEXE.h"
#include "objects/routines_Registry.h"
#include "objects/uninstall_record.h"
#include "ui/controls.h"
#include "paths/cmp_TPathSpecifier.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/system.h"
#include "sys/unicode.h"
#include "ui/application.h"

using namespace tav;
namespace fx = tav::fixtures;

namespace {

const char* const kSharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class TUninstallRunForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TUninstallRunForm, TForm>("TUninstallRunForm");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// Records the requests to end the program instead of ending the test program.
class TTestInstall : public TInstall {
public:
  using TInstall::TInstall;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TTestInstall, TInstall>("TTestInstall");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

protected:
  void EndProgram() override {}
};

// ---- the registry as a map of every key to its values, for a before-and-after comparison ----

using Snapshot = std::map<std::wstring, std::wstring>;

// Keys and values that change by themselves, that Wine writes, or that the engine keeps for a run (the
// install records, removed with their parent key at a good end).
bool Volatile(const std::wstring& path) {
  static const wchar_t* const skipped[] = {
      L"HKLM\\HARDWARE", L"HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\PENDINGFILERENAMEOPERATIONS",
      L"HKLM\\SOFTWARE\\TAVENRIK", L"HKCU\\SOFTWARE\\WINE", L"HKLM\\SOFTWARE\\WINE",
      L"HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES", L"HKCU\\VOLATILE ENVIRONMENT"};
  for (const wchar_t* s : skipped)
    if (path.rfind(s, 0) == 0) return true;
  // The display driver's data, which Wine rewrites whenever a program starts.
  for (const wchar_t* part : {L"\\CONTROL\\CLASS\\", L"\\CONTROL\\VIDEO\\"})
    if (path.find(part) != std::wstring::npos) return true;
  // Renames at the restart: the uninstaller's temporary copy goes then (CurrentControlSet is a link).
  const std::wstring pending = L"\\PENDINGFILERENAMEOPERATIONS";
  return path.size() >= pending.size() && path.compare(path.size() - pending.size(), pending.size(), pending) == 0;
}

std::wstring Upper(std::wstring s) {
  CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

void Walk(HKEY key, const std::wstring& path, Snapshot& out) {
  if (Volatile(path)) return;
  std::wstring values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, bytes = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) break;
    std::wstring valueName(name, nameLength);
    if (Volatile(path + L"\\" + Upper(valueName))) continue;
    std::string data(bytes, '\0');
    nameLength = 16384;
    RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes);
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a of the data
    for (std::size_t b = 0; b < bytes && b < data.size(); ++b)
      hash = (hash ^ static_cast<unsigned char>(data[b])) * 1099511628211ull;
    values += valueName + L"=" + std::to_wstring(type) + L":" + std::to_wstring(bytes) + L":" + std::to_wstring(hash) +
              L"\n";
  }
  out[path] = values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    Walk(child, path + L"\\" + Upper(name), out);
    RegCloseKey(child);
  }
}

Snapshot Registry() {
  Snapshot s;
  Walk(HKEY_LOCAL_MACHINE, L"HKLM", s);
  Walk(HKEY_CURRENT_USER, L"HKCU", s);
  return s;
}

// The differences, one line each; empty when the two are the same.
std::string Differences(const Snapshot& before, const Snapshot& after) {
  std::wstring text;
  for (const auto& [key, values] : before) {
    auto it = after.find(key);
    if (it == after.end()) text += L"gone: " + key + L"\n";
    else if (it->second != values) text += L"changed: " + key + L"\n  before: " + values + L"  after: " + it->second;
  }
  for (const auto& [key, values] : after)
    if (!before.count(key)) text += L"new: " + key + L"\n" + values;
  return sys::Narrow(text);
}

// Every file and folder below dir, relative to it.
std::vector<std::string> Tree(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(sys::Wide(dir), ec))
    names.push_back(sys::Narrow(entry.path().wstring().substr(sys::Wide(dir).size())));
  std::sort(names.begin(), names.end());
  return names;
}

std::string Value(const std::string& key, const std::string& name) {
  std::string value = "<missing>";
  sys::RegKey::Open(sys::RootKey::LocalMachine, key, false).ReadString(name, value);
  return value;
}

std::uint32_t Dword(sys::RootKey root, const std::string& key, const std::string& name) {
  std::uint32_t value = 0xFFFFFFFF;
  sys::RegKey::Open(root, key, false).ReadDword(name, value);
  return value;
}

std::uint32_t SharedCount(const std::string& path) {
  sys::RegKey counters = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, false);
  std::uint32_t count = 0;
  if (counters.ReadDword(path, count) || counters.ReadDword(sys::ShortPath(path), count)) return count;
  return 0;
}

// The build's uninstall.exe, as Windows names it.
std::string UninstallerProgram() {
  std::string path = std::string("Z:") + TAV_UNINSTALL_EXE;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string ReadAll(const std::string& path) {
  sys::File f = sys::File::Open(path, sys::OpenMode::ReadShared);
  if (!f.IsOpen()) return "<missing>";
  std::string text(static_cast<std::size_t>(f.Size()), '\0');
  text.resize(f.Read(text.data(), text.size()));
  return text;
}

bool WaitUntilGone(const std::string& path) {
  for (int i = 0; i < 200; ++i) {
    if (!sys::FileExists(path)) return true;
    Sleep(50);
  }
  return false;
}

std::wstring ServerCommand(const wchar_t* clsid, const wchar_t* server) {
  const std::wstring path = fx::ClassKey(clsid) + L"\\" + server;
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"<none>";
  return value;
}

class Uninstall : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterUiClasses();
    RegisterPathClasses();
    RegisterEngineClasses();
    RegisterClass(TUninstallRunForm::StaticClassInfo());
    RegisterClass(TTestInstall::StaticClassInfo());
    Application().SetMessageBoxHook([this](const std::string& text, const std::string&, unsigned) {
      shown.push_back(text);
      return 1;
    });
    ASSERT_TRUE(folder.Made());
    root = sys::Narrow(folder.Path(L"run"));
    dist = root + "\\dist";
    src = root + "\\src";
    apps = root + "\\Apps";
    common = apps + "\\Common Files";
    for (const std::string& d : {root, dist, src, apps}) ASSERT_TRUE(sys::MakeDir(d)) << d;
    sys::File f = sys::File::Open(src + "\\readme.txt", sys::OpenMode::Create);
    f.Write("Read me.\r\n", 10);
    f.Close();
    for (const wchar_t* name : {L"tavcomsrv.dll", L"tavexesrv.exe"})
      ASSERT_TRUE(sys::CopyFileTo(sys::Narrow(fx::FixturePath(name)), src + "\\" + sys::Narrow(name), false));
    ASSERT_TRUE(sys::CopyFileTo(sys::Narrow(fx::FixturePath(L"ver1\\tavver.dll")), src + "\\tavshared.dll", false));
    ASSERT_TRUE(sys::CopyFileTo(UninstallerProgram(), src + "\\uninstall.exe", false));
    SetArgumentSource([this] { return std::vector<std::string>{"-s" + dist}; });
  }

  void TearDown() override {
    delete form;
    form = nullptr;
    RemoveInstallRecord(InstallRecordKey());
    for (const wchar_t* clsid : {TAV_FIXTURE_COM_CLSID, TAV_FIXTURE_EXE_CLSID}) fx::RemoveServerKey(clsid);
    DropTemporaryCopies();
    // Whatever a failed test left of its products.
    for (const char* product : {"Tavenrik Uninstall Test", "Tavenrik Uninstall Test A", "Tavenrik Uninstall Test B"})
      DeleteKeyTree(hkLocalMachine, std::string(kUninstallKeyPrefix) + product);
    DeleteKeyTree(hkLocalMachine, "\\SOFTWARE\\Tavenrik Test Company");
    DeleteKeyTree(hkCurrentUser, "\\Software\\Tavenrik Uninstall Test");
    sys::RegKey counters = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, false);
    const std::string shared = common + "\\tavshared.dll";
    for (const std::string& name : {shared, sys::ShortPath(shared)}) counters.DeleteValue(name);
  }

  // Loads the project, points it at target and builds its archive.
  void Load(const std::string& product, const std::string& target) {
    delete form;
    form = Application().CreateForm<TUninstallRunForm>();
    install = dynamic_cast<TTestInstall*>(form->FindComponent("Install1"));
    ASSERT_TRUE(install);
    install->Information().ProductName = product;
    install->SetDestDirType(nullptr);
    install->SetDestDir(target);
    for (const char* name : {"Readme", "Shared", "ComServer", "ExeServer", "Uninstaller"}) {
      auto* file = dynamic_cast<TCustomInstallFile*>(form->FindComponent(name));
      ASSERT_TRUE(file) << name;
      file->SetIncludeFromDir(src);
    }
    dynamic_cast<TCustomInstallFile*>(form->FindComponent("Shared"))->SetDestDir(common);
    install->BuildArchives(coRelocateArchives | coForceNetFilesLocal | coIncludeExcluded);
    ASSERT_TRUE(sys::FileExists(dist + "\\files.1"));
  }

  void Install() {
    install->StartHook(form);
    for (const std::string& m : shown) ADD_FAILURE() << "message: " << m;
    shown.clear();
    // The EXE server registers itself in a process of its own.
    for (int i = 0; i < 200 && ServerCommand(TAV_FIXTURE_EXE_CLSID, L"LocalServer32") == L"<none>"; ++i) Sleep(50);
  }

  // Runs the installed uninstaller quietly with a log; its exit code. The program file is gone
  // (removed by its temporary copy) when this returns, unless the removal failed.
  long RunUninstaller(const std::string& target, const std::string& product, bool removes = true) {
    const std::string program = target + "\\uninstall.exe";
    const long code = fx::RunAndWait(sys::Wide("\"" + program + "\" -q \"-l" + log + "\" \"" + product + "\""));
    if (removes) WaitUntilGone(program);
    DropTemporaryCopies();
    return code;
  }

  // The temporary copy the uninstaller ran from waits for the restart to go: it goes now.
  static void DropTemporaryCopies() {
    for (int i = 0; i < 100; ++i) {
      std::wstring copy;
      for (const fx::PendingRename& r : fx::PendingRenames())
        if (r.to.empty() && r.from.find(L"\\tavun") != std::wstring::npos) copy = r.from.substr(4);
      if (copy.empty()) break;
      for (int attempt = 0; attempt < 100 && !DeleteFileW(copy.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND;
           ++attempt)
        Sleep(50);
      fx::RemovePendingRenames(copy);
    }
  }

  fx::TempFolder folder;
  TUninstallRunForm* form = nullptr;
  TTestInstall* install = nullptr;
  std::vector<std::string> shown;
  std::string root, dist, src, apps, common;
  std::string log = sys::Narrow(folder.Path(L"uninstall.log"));
};

const std::string kKey = std::string(kUninstallKeyPrefix) + "Tavenrik Uninstall Test";

TEST_F(Uninstall, TheRecordReadsBackAsLaidOutAndTheUninstallLeavesTheMachineAsBefore) {
  const std::string target = apps + "\\Test Product";  // a blank, as under Program Files
  Load("Tavenrik Uninstall Test", target);
  // Keys every Windows has, which a fresh prefix may lack: the test compares what the product leaves.
  for (const char* key : {kSharedDLLsKey, kUninstallKeyPrefix}) CreateRegKey(hkLocalMachine, key);
  const Snapshot before = Registry();
  const std::vector<std::string> filesBefore = Tree(apps);
  Install();

  // What the registry actions wrote, under all four key types.
  const std::string settings = "\\Software\\Tavenrik Uninstall Test\\Settings";
  std::string text;
  ASSERT_TRUE(sys::RegKey::Open(sys::RootKey::CurrentUser, settings, false).ReadString("Docs", text));
  EXPECT_EQ(text, target + "\\Docs 100%");
  EXPECT_EQ(Dword(sys::RootKey::CurrentUser, settings, "Count"), 42u);
  EXPECT_EQ(Dword(sys::RootKey::CurrentUser, settings, "Enabled"), 1u);
  const std::string company = "\\SOFTWARE\\Tavenrik Test Company";
  EXPECT_EQ(Value(company, "Tavenrik Uninstall Test"), "installed");
  EXPECT_EQ(Value(company + "\\Tavenrik Uninstall Test", "Edition"), "Test");
  EXPECT_EQ(Dword(sys::RootKey::LocalMachine, company + "\\Tavenrik Uninstall Test\\2.5", "Build"), 7u);

  // The record, value by value.
  const std::string program = target + "\\uninstall.exe";
  EXPECT_EQ(Value(kKey, "DisplayName"), "Tavenrik Uninstall Test");
  EXPECT_EQ(Value(kKey, "UninstallString"), "\"" + program + "\" \"Tavenrik Uninstall Test\"");
  EXPECT_EQ(Value(kKey, "QuietUninstallString"), "\"" + program + "\" -q \"Tavenrik Uninstall Test\"");
  EXPECT_EQ(Value(kKey, "DisplayVersion"), "2.5");
  EXPECT_EQ(Value(kKey, "Publisher"), "Tavenrik Test Company");
  EXPECT_EQ(Value(kKey, "InstallLocation"), target);
  EXPECT_EQ(Value(kKey, "DisplayIcon"), program + ",0");
  EXPECT_EQ(Value(kKey, "InstallDate").size(), 8u);
  EXPECT_GE(Dword(sys::RootKey::LocalMachine, kKey, "EstimatedSize"), 1u);
  EXPECT_EQ(Dword(sys::RootKey::LocalMachine, kKey, "NoModify"), 1u);
  EXPECT_EQ(Dword(sys::RootKey::LocalMachine, kKey, "NoRepair"), 1u);
  // Files in processing order; the servers only under ActiveX; the uninstaller is not a file entry.
  EXPECT_EQ(Value(kKey + "\\Files", "Entries"), "2");
  EXPECT_EQ(Value(kKey + "\\Files", "File1"), target + "\\Docs\\readme.txt");
  EXPECT_EQ(Value(kKey + "\\Files", "File2"), common + "\\tavshared.dll");
  EXPECT_EQ(Value(kKey + "\\ActiveX", "Entries"), "2");
  EXPECT_EQ(Value(kKey + "\\ActiveX", "File1"), target + "\\tavcomsrv.dll;0");
  EXPECT_EQ(Value(kKey + "\\ActiveX", "File2"), target + "\\tavexesrv.exe;1");
  EXPECT_EQ(Value(kKey + "\\RegistryKeys", "Entries"), "4");
  const std::string slots = kKey + "\\RegistryKeys\\RegistryKey";
  const std::pair<const char*, std::uint32_t> keys[] = {{"\\Software\\Tavenrik Uninstall Test\\Settings", 2},
                                                        {"\\SOFTWARE\\Tavenrik Test Company", 4},
                                                        {"\\SOFTWARE\\Tavenrik Test Company\\Tavenrik Uninstall Test", 4},
                                                        {"\\SOFTWARE\\Tavenrik Test Company\\Tavenrik Uninstall Test\\2.5", 4}};
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(Value(slots + std::to_string(n), "Key"), keys[n - 1].first) << n;
    EXPECT_EQ(Dword(sys::RootKey::LocalMachine, slots + std::to_string(n), "Root"), keys[n - 1].second) << n;
  }
  // Each entry's text, whatever its type.
  EXPECT_EQ(Value(slots + "1\\Entries", "Docs"), target + "\\Docs 100%");
  EXPECT_EQ(Value(slots + "1\\Entries", "Count"), "ignored");
  EXPECT_EQ(Value(slots + "4\\Entries", "Build"), "");
  EXPECT_EQ(SharedCount(common + "\\tavshared.dll"), 1u);
  EXPECT_NE(ServerCommand(TAV_FIXTURE_COM_CLSID, L"InprocServer32"), L"<none>");

  EXPECT_EQ(RunUninstaller(target, "Tavenrik Uninstall Test"), 0) << ReadAll(log);
  EXPECT_EQ(ServerCommand(TAV_FIXTURE_COM_CLSID, L"InprocServer32"), L"<none>");
  EXPECT_EQ(ServerCommand(TAV_FIXTURE_EXE_CLSID, L"LocalServer32"), L"<none>");
  EXPECT_EQ(Tree(apps), filesBefore);
  EXPECT_EQ(Differences(before, Registry()), "");
}

// Two products share a DLL: it stays with the first uninstall and goes with the second. A file held
// open during the second one is left for the restart: exit code 3010 and a pending delete.
TEST_F(Uninstall, ASharedDllGoesWithItsLastProductAndAFileInUseWaitsForTheRestart) {
  const std::string first = apps + "\\First", second = apps + "\\Second";
  const std::string shared = common + "\\tavshared.dll";
  Load("Tavenrik Uninstall Test A", first);
  Install();
  Load("Tavenrik Uninstall Test B", second);
  Install();
  EXPECT_EQ(SharedCount(shared), 2u);

  EXPECT_EQ(RunUninstaller(first, "Tavenrik Uninstall Test A"), 0) << ReadAll(log);
  EXPECT_TRUE(sys::FileExists(shared));
  EXPECT_EQ(SharedCount(shared), 1u);
  EXPECT_FALSE(sys::DirExists(first));
  EXPECT_TRUE(sys::FileExists(second + "\\Docs\\readme.txt"));

  const std::string held = second + "\\Docs\\readme.txt";
  {
    fx::FileLock lock(sys::Wide(held));
    ASSERT_TRUE(lock.Held());
    EXPECT_EQ(RunUninstaller(second, "Tavenrik Uninstall Test B"), 3010) << ReadAll(log);
  }
  EXPECT_FALSE(sys::FileExists(shared));
  EXPECT_EQ(SharedCount(shared), 0u);
  EXPECT_FALSE(sys::FileExists(second + "\\uninstall.exe"));
  bool pending = false;
  for (const fx::PendingRename& r : fx::PendingRenames())
    pending = pending || (fx::NamesPath(r.from, sys::Wide(held)) && r.to.empty());
  EXPECT_TRUE(pending);
  EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::LocalMachine, std::string(kUninstallKeyPrefix) + "Tavenrik Uninstall Test B",
                                 false)
                   .IsOpen());
  fx::RemovePendingRenames(sys::Wide(held));
  fx::RemovePendingRenames(sys::Wide(second + "\\Docs"));
  sys::RemoveFile(held);
}

// What must not reach the record or be acted on: a blank product name stops the run before anything
// is installed, a registry action on a first-level key is refused, and the uninstaller refuses a record
// that names a drive root, a system folder or a relative path, removing nothing.
TEST_F(Uninstall, RecordsThatAimAtSharedGroundAreRefused) {
  const std::string target = apps + "\\Refused";
  Load("", target);
  install->StartHook(form);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("Information.ProductName is blank"), std::string::npos) << shown[0];
  EXPECT_FALSE(sys::DirExists(target));
  EXPECT_EQ(Value(kUninstallKeyPrefix, "DisplayName"), "<missing>");
  EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::LocalMachine, std::string(kUninstallKeyPrefix) + "Files", false).IsOpen());
  shown.clear();

  Load("Tavenrik Uninstall Test", target);
  install->Information().CompanyName = "";
  install->StartHook(form);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("RegCompany cannot write into the registry key \"\\SOFTWARE\\\""), std::string::npos)
      << shown[0];
  EXPECT_EQ(Value(kKey + "\\RegistryKeys", "Entries"), "1");  // only the absolute key before it
  shown.clear();
  DeleteKeyTree(hkLocalMachine, kKey);
  DeleteKeyTree(hkCurrentUser, "\\Software\\Tavenrik Uninstall Test");

  // A record written by hand: one sound file, then shared ground.
  const std::string keep = sys::Narrow(folder.Path(L"keep.txt"));
  sys::File::Open(keep, sys::OpenMode::Create).Close();
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  for (const std::string& bad : {std::string("C:\\"), sys::Narrow(windows), std::string("relative\\file.txt"),
                                 std::string("\\\\server\\share\\file.txt")}) {
    DeleteKeyTree(hkLocalMachine, kKey);
    AppendUninstallFile(kKey, keep);
    AppendUninstallFile(kKey, bad);
    sys::MakeDir(target);
    ASSERT_TRUE(sys::CopyFileTo(UninstallerProgram(), target + "\\uninstall.exe", false));
    EXPECT_EQ(RunUninstaller(target, "Tavenrik Uninstall Test", false), 1) << bad;
    EXPECT_TRUE(sys::FileExists(keep)) << bad;
    EXPECT_EQ(Value(kKey + "\\Files", "File2"), bad);  // the record is left as it was
  }
  // A failure does not stop the rest: a folder listed as a file stays, the file before it goes, and
  // the exit code and the log say what was left.
  DeleteKeyTree(hkLocalMachine, kKey);
  const std::string listedFolder = sys::Narrow(folder.Path(L"listed"));
  ASSERT_TRUE(sys::MakeDir(listedFolder));
  AppendUninstallFile(kKey, keep);
  AppendUninstallFile(kKey, listedFolder);
  ASSERT_TRUE(sys::CopyFileTo(UninstallerProgram(), target + "\\uninstall.exe", false));
  EXPECT_EQ(RunUninstaller(target, "Tavenrik Uninstall Test"), 1);
  EXPECT_FALSE(sys::FileExists(keep));
  EXPECT_TRUE(sys::DirExists(listedFolder));
  EXPECT_NE(ReadAll(log).find("FAILED: " + listedFolder + ": it is a folder"), std::string::npos) << ReadAll(log);
  EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::LocalMachine, kKey, false).IsOpen());
  // A registry entry on a first-level key.
  const std::string slot = AppendUninstallRegistryKey(kKey);
  WriteRegString(hkLocalMachine, slot, "Key", "\\SOFTWARE\\");
  WriteRegInteger(hkLocalMachine, slot, "Root", 4);
  sys::MakeDir(target);
  ASSERT_TRUE(sys::CopyFileTo(UninstallerProgram(), target + "\\uninstall.exe", false));
  EXPECT_EQ(RunUninstaller(target, "Tavenrik Uninstall Test", false), 1);
  EXPECT_NE(ReadAll(log).find("first-level key"), std::string::npos);
  DeleteKeyTree(hkLocalMachine, kKey);
  sys::RemoveFile(target + "\\uninstall.exe");
  sys::RemoveEmptyDir(target);
}

// The file list moves on past a counter that is not a number, and gives up after a bounded number of
// lists instead of looping.
TEST_F(Uninstall, TheFileListOverflowsPastABadCounterAndGivesUpInBounds) {
  DeleteKeyTree(hkLocalMachine, kKey);
  WriteRegString(hkLocalMachine, kKey + "\\Files", "Entries", "many");
  AppendUninstallFile(kKey, "C:\\a.txt");
  EXPECT_EQ(Value(kKey + "\\Files1", "File1"), "C:\\a.txt");
  EXPECT_EQ(Value(kKey + "\\Files1", "Entries"), "1");
  AppendUninstallFile(kKey, "C:\\b.txt");
  EXPECT_EQ(Value(kKey + "\\Files1", "File2"), "C:\\b.txt");
  for (int n = 1; n <= kUninstallFileListTries; ++n)
    WriteRegString(hkLocalMachine, kKey + "\\Files" + std::to_string(n), "Entries", "x");
  EXPECT_THROW(AppendUninstallFile(kKey, "C:\\c.txt"), EIRCannotWriteValue);
  DeleteKeyTree(hkLocalMachine, kKey);

  // A batch keeps the list open and numbers on as without one; the next batch reads the counter again.
  {
    TUninstallRecordBatch batch;
    for (int i = 1; i <= 3; ++i) AppendUninstallFile(kKey, "C:\\f" + std::to_string(i));
  }
  WriteRegString(hkLocalMachine, kKey + "\\Files", "Entries", "10");
  {
    TUninstallRecordBatch batch;
    AppendUninstallFile(kKey, "C:\\g");
  }
  EXPECT_EQ(Value(kKey + "\\Files", "File3"), "C:\\f3");
  EXPECT_EQ(Value(kKey + "\\Files", "File11"), "C:\\g");
  EXPECT_EQ(Value(kKey + "\\Files", "Entries"), "11");
  DeleteKeyTree(hkLocalMachine, kKey);
}

// The rules of a registry action and its entries, driven on the loaded project.
TEST_F(Uninstall, RegistryActionsFollowTheirKeyTypeAndEntryRules) {
  Load("Tavenrik Uninstall Test", apps + "\\Rules");
  auto* action = dynamic_cast<TInstallRegistry*>(form->FindComponent("RegAbsolute"));
  ASSERT_TRUE(action);
  ASSERT_EQ(action->Entries()->Count(), 3);
  TRegistryEntry* docs = action->Entries()->Items(0);
  TRegistryEntry* count = action->Entries()->Items(1);
  EXPECT_EQ(docs->Owner(), action);
  EXPECT_EQ(action->FullKey(), "\\Software\\Tavenrik Uninstall Test\\Settings");

  // A handler that declines one entry skips only that one; an integer entry writes its integer.
  action->OnBeforeWriteEntry = [&](TCustomInstallRegistry*, TRegistryEntry* entry, bool& go) { go = entry != docs; };
  action->Install();
  const std::string settings = "\\Software\\Tavenrik Uninstall Test\\Settings";
  EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::CurrentUser, settings, false).HasValue("Docs"));
  EXPECT_EQ(Dword(sys::RootKey::CurrentUser, settings, "Count"), 42u);
  EXPECT_EQ(Dword(sys::RootKey::CurrentUser, settings, "Enabled"), 1u);

  // Two percent signs: unchanged without a specifier, one with it.
  docs->SetText("%%p");
  EXPECT_EQ(docs->ValueText(), "%" + std::string("p"));
  auto* custom = new TPathSpecifier(form);
  custom->OnGetPath = [](TComponent*, std::string& path) { path = "C:\\Custom"; };
  docs->SetPathSpecifier(custom);
  EXPECT_EQ(docs->Text(), "%p");
  docs->SetText("%p\\Sub 5%%");
  EXPECT_EQ(docs->ValueText(), "C:\\Custom\\Sub 5%");
  docs->SetPathSpecifier(nullptr);
  EXPECT_EQ(docs->ValueText(), "%p\\Sub 5%%");
  // Setters switch the type of an entry whose action is there.
  count->SetBoolean(true);
  EXPECT_EQ(count->EntryType(), retBoolean);
  count->SetInteger(3);
  EXPECT_EQ(count->EntryType(), retInteger);
  // A specifier that goes is dropped from its entries, which keep their type.
  docs->SetPathSpecifier(custom);
  docs->SetEntryType(retInteger);
  delete custom;
  EXPECT_EQ(docs->PathSpecifier(), nullptr);
  EXPECT_EQ(docs->EntryType(), retInteger);

  // The key types: the product information forms the key, an assigned Key is dropped.
  action->SetRootKey(hkCurrentUser);
  action->SetKeySpecifierType(ksVersion);
  EXPECT_EQ(action->Key(), "");
  EXPECT_EQ(action->RootKey(), hkLocalMachine);
  action->SetKey("\\Elsewhere");
  EXPECT_EQ(action->Key(), "");
  EXPECT_EQ(action->FullKey(), "\\SOFTWARE\\Tavenrik Test Company\\Tavenrik Uninstall Test\\2.5");

  // A first-level key is refused before anything is written or recorded.
  action->SetKeySpecifierType(ksAbsolute);
  action->SetKey("\\SOFTWARE\\");
  action->OnBeforeWriteEntry = nullptr;
  EXPECT_THROW(action->Install(), IEInstallRegistry);
  EXPECT_THROW(action->WriteUninstall(kKey), IEInstallRegistry);
  EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::LocalMachine, kKey, false).IsOpen());
  EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::LocalMachine, "\\SOFTWARE", false).HasValue("Count"));

  // Without the installer the key types fall back to an absolute key.
  action->SetKeySpecifierType(ksProductName);
  delete install;
  install = nullptr;
  EXPECT_EQ(action->KeySpecifierType(), ksAbsolute);
}

// Without -q the user is asked first: No ends with exit code 2 and nothing removed; Yes removes the
// product, shows the progress and ends with a message. The uninstaller speaks the language the product
// was installed in: a product installed in German is asked about and reported on in German.
TEST_F(Uninstall, TheUserConfirmsOrDeclinesInTheLanguageOfTheInstall) {
  const std::string target = apps + "\\Asked";
  const std::string file = target + "\\file.txt";
  ASSERT_TRUE(sys::MakeDir(target));
  sys::File::Open(file, sys::OpenMode::Create).Close();
  AppendUninstallFile(kKey, file);
  std::vector<std::string> texts;
  // Starts the uninstaller with a window and presses the given buttons of its message boxes, which
  // carry that title, in turn; their texts are kept.
  auto run = [&](std::vector<int> buttons, const std::wstring& title) {
    EXPECT_TRUE(sys::CopyFileTo(UninstallerProgram(), target + "\\uninstall.exe", false));
    std::wstring command = sys::Wide("\"" + target + "\\uninstall.exe\" \"Tavenrik Uninstall Test\"");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1L;
    CloseHandle(pi.hThread);
    texts.clear();
    for (int button : buttons) {
      HWND box = nullptr;
      for (int i = 0; i < 300 && !box; ++i, Sleep(50)) box = FindWindowW(L"#32770", title.c_str());
      EXPECT_TRUE(box) << "no message box for button " << button;
      if (!box) continue;
      texts.push_back(WindowTextOf(GetDlgItem(box, 0xFFFF)));
      PostMessageW(box, WM_COMMAND, button, 0);
      for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(50);
    }
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return static_cast<long>(code);
  };
  EXPECT_EQ(run({IDNO}, L"Uninstall"), 2);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "Are you sure you want to completely remove \"Tavenrik Uninstall Test\" and all of its components?");
  EXPECT_TRUE(sys::FileExists(file));
  EXPECT_EQ(Value(kKey + "\\Files", "File1"), file);

  WriteRegString(hkLocalMachine, kKey, kInstallLanguageValue, "German");
  EXPECT_EQ(run({IDYES, IDOK}, L"Deinstallation"), 0);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "M\xC3\xB6" "chten Sie \xE2\x80\x9ETavenrik Uninstall Test\xE2\x80\x9C und alle zugeh\xC3\xB6rigen "
                      "Komponenten wirklich vollst\xC3\xA4ndig entfernen?");
  EXPECT_EQ(texts[1], "\xE2\x80\x9ETavenrik Uninstall Test\xE2\x80\x9C wurde erfolgreich von Ihrem Computer entfernt.");
  EXPECT_TRUE(WaitUntilGone(target + "\\uninstall.exe"));
  EXPECT_FALSE(sys::FileExists(file));
  EXPECT_FALSE(sys::DirExists(target));
  EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::LocalMachine, kKey, false).IsOpen());
}

}  // namespace
