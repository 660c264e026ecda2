// The restart story for real under Wine: a setup program installs over a library and a COM server
// that another process holds open, and ends asking for a restart (recorded by the program, never
// carried out). The holder ends, the Wine prefix is restarted (wineboot -r performs the pending
// renames and runs the RunOnce commands, as Windows does at its start), and the setup program,
// started again with -r, registers the server and removes its record. Told twice: started directly,
// and from a self-extracting setup.exe whose loading program runs a private copy of setup.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fixtures.h"
#include "program_support.h"
#include "walk.h"

namespace fx = tav::fixtures;
using namespace tav::test;

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring SetupExe() { return WinePath(TAV_RESTART_SETUP); }
std::wstring DistDir() {
  std::wstring dir = SetupExe();
  return dir.erase(dir.find_last_of(L'\\'));
}
std::wstring LogFile() { return DistDir() + L"\\restart.log"; }

std::wstring TargetDir() { return ProgramFilesFolder(L"Tavenrik Restart Test"); }
std::wstring Target(const wchar_t* name) { return TargetDir() + L"\\" + name; }

// What the setup program wrote of its starts, messages and requests, one entry a line.
std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  std::string text = ReadAll(LogFile()), line;
  if (text == "<missing>") return lines;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  return lines;
}

std::wstring RegText(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t value[2048] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return L"<none>";
  return value;
}

const wchar_t* const kRunOnce = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t* const kRecords = L"SOFTWARE\\Tavenrik\\Install";

// The install record of the setup program (the one built here or a loading program's copy of it).
std::wstring RecordOfSetup() {
  HKEY root = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecords, 0, KEY_READ, &root) != ERROR_SUCCESS) return L"";
  std::wstring found;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(root, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring key = std::wstring(kRecords) + L"\\" + name, path = RegText(HKEY_LOCAL_MACHINE, key, L"Path");
    if (SameText(path.substr(path.find_last_of(L'\\') + 1), L"restart_setup.exe")) found = key;
  }
  RegCloseKey(root);
  return found;
}

// Leaves the prefix as no run of this test had touched it.
void Clean() {
  fx::RemoveServerKey(TAV_FIXTURE_COM_CLSID);
  for (const wchar_t* name : {L"tavver.dll", L"tavcomsrv.dll", L"tavver.1", L"tavcomsrv.1"}) {
    fx::RemovePendingRenames(Target(name));
    DeleteFileW(Target(name).c_str());
  }
  RemoveDirectoryW(TargetDir().c_str());
  HKEY runOnce = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_SET_VALUE, &runOnce) == ERROR_SUCCESS) {
    RegDeleteValueW(runOnce, L"TavenrikUnfinished");
    RegCloseKey(runOnce);
  }
  if (const std::wstring record = RecordOfSetup(); !record.empty())
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, record.c_str());
  DeleteFileW(LogFile().c_str());
}

// A restart runs every RunOnce command: one left behind by another test program (its own path with
// -r) would run that whole program inside the restart. The prefix is the build's own.
void KeepOnlyOurRunOnce() {
  HKEY runOnce = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_READ | KEY_SET_VALUE, &runOnce) != ERROR_SUCCESS) return;
  std::vector<std::wstring> others;
  wchar_t name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = 16384;
    if (RegEnumValueW(runOnce, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (std::wstring(name) != L"TavenrikUnfinished") others.push_back(name);
  }
  for (const std::wstring& other : others) RegDeleteValueW(runOnce, other.c_str());
  RegCloseKey(runOnce);
}

std::vector<std::string> Messages(const std::vector<std::string>& log) {
  std::vector<std::string> messages;
  for (const std::string& line : log)
    if (line.rfind("message ", 0) == 0) messages.push_back(line);
  return messages;
}

// The whole story from a start as the user makes it: the run ends asking for a restart, the holders
// end, Wine restarts and the resumption finishes the install. `resumeArguments`: what the RunOnce
// command must pass after the path of the program file the run used; that path is returned.
std::wstring RestartStory(const std::wstring& userStart, const std::wstring& resumeArguments) {
  Clean();
  EXPECT_TRUE(CreateDirectoryW(TargetDir().c_str(), nullptr));
  // What the target holds: an older library, and an older file where the server goes.
  const std::wstring older = fx::FixturePath(L"ver1\\tavver.dll");
  EXPECT_TRUE(CopyFileW(older.c_str(), Target(L"tavver.dll").c_str(), FALSE));
  EXPECT_TRUE(CopyFileW(older.c_str(), Target(L"tavcomsrv.dll").c_str(), FALSE));
  fx::FileLock heldLibrary(Target(L"tavver.dll"), 300), heldServer(Target(L"tavcomsrv.dll"), 300);
  if (!heldLibrary.Held() || !heldServer.Held()) {
    ADD_FAILURE() << "the holders did not start";
    return L"";
  }

  const std::wstring shots = WinePath(TAV_SCREENSHOTS);
  CreateDirectoryW(shots.c_str(), nullptr);
  const tav::TWalkResult walk = tav::WalkSetup(userStart, shots + L"\\restart", 120000);
  EXPECT_TRUE(walk.Started && walk.Ended);
  EXPECT_EQ(walk.ExitCode, 0u);
  EXPECT_EQ(walk.Pages, std::vector<std::wstring>{L"Reboot windows"});
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message box: " << Narrow(m);

  // The run ended asking for the restart, with the privilege enabled, and left everything the
  // restart needs: the renames, the resumption command, the unfinished list and the language.
  std::vector<std::string> log = LogLines();
  for (const std::string& m : Messages(log)) ADD_FAILURE() << m;
  if (log.size() < 2) {
    ADD_FAILURE() << "log: " << ReadAll(LogFile());
    return L"";
  }
  EXPECT_EQ(log[0].find(" -r"), std::string::npos) << log[0];
  EXPECT_EQ(std::count(log.begin(), log.end(), "restart privilege enabled"), 1) << "log: " << ReadAll(LogFile());
  for (const wchar_t* name : {L"tavver", L"tavcomsrv"}) {
    const std::wstring from = TargetDir() + L"\\" + name + L".1", to = TargetDir() + L"\\" + name + L".dll";
    bool pending = false;
    for (const fx::PendingRename& r : fx::PendingRenames())
      pending |= fx::NamesPath(r.from, from) && fx::NamesPath(r.to, to);
    EXPECT_TRUE(pending) << Narrow(from);
  }
  const std::wstring record = RecordOfSetup();
  if (record.empty()) {
    ADD_FAILURE() << "no install record";
    return L"";
  }
  const std::wstring program = RegText(HKEY_LOCAL_MACHINE, record, L"Path");
  const std::wstring resume = L"\"" + program + L"\" -r " + resumeArguments;
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunOnce, L"TavenrikUnfinished"), resume);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, record + L"\\Unfinished", L"Server"), L"0");
  DWORD language = 0, size = sizeof language;
  EXPECT_EQ(
      RegGetValueW(HKEY_LOCAL_MACHINE, record.c_str(), L"Language", RRF_RT_REG_DWORD, nullptr, &language, &size),
      ERROR_SUCCESS);
  EXPECT_EQ(language, 4u);  // French, chosen before the restart
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, fx::ClassKey(TAV_FIXTURE_COM_CLSID) + L"\\InprocServer32", nullptr), L"<none>");

  // The user restarts: the holder is gone by then, and Wine starts as Windows does.
  EXPECT_EQ(heldLibrary.Release(), 0);
  EXPECT_EQ(heldServer.Release(), 0);
  EXPECT_TRUE(ReadAll(Target(L"tavver.dll")) == ReadAll(older));
  KeepOnlyOurRunOnce();
  EXPECT_EQ(fx::RunAndWait(L"wineboot.exe -r", 180000), 0);

  EXPECT_TRUE(ReadAll(Target(L"tavver.dll")) == ReadAll(fx::FixturePath(L"ver2\\tavver.dll")));
  EXPECT_TRUE(ReadAll(Target(L"tavcomsrv.dll")) == ReadAll(fx::FixturePath(L"tavcomsrv.dll")));
  for (const wchar_t* name : {L"tavver.1", L"tavcomsrv.1"})
    EXPECT_EQ(GetFileAttributesW(Target(name).c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(name);
  log = LogLines();
  for (const std::string& m : Messages(log)) ADD_FAILURE() << m;
  std::vector<std::string> resumed;
  for (const std::string& line : log)
    if (line.rfind("start ", 0) == 0 && line.find(" -r ") != std::string::npos) resumed.push_back(line);
  EXPECT_EQ(resumed.size(), 1u) << "log: " << ReadAll(LogFile());
  if (!resumed.empty()) {
    EXPECT_NE(resumed[0].find(Narrow(resume.substr(resume.find(L" -r ")))), std::string::npos) << resumed[0];
  }
  EXPECT_EQ(std::count(log.begin(), log.end(), "language 4"), 1);
  EXPECT_EQ(log.back(), "end 0");
  const std::wstring server = fx::ClassKey(TAV_FIXTURE_COM_CLSID) + L"\\InprocServer32";
  EXPECT_TRUE(SameText(RegText(HKEY_CLASSES_ROOT, server, nullptr), Target(L"tavcomsrv.dll")));
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunOnce, L"TavenrikUnfinished"), L"<none>");
  EXPECT_TRUE(RecordOfSetup().empty());
  return program;
}

TEST(Restart, HeldFilesAreReplacedAndTheInstallIsResumedAtTheRestart) {
  const std::wstring source = L"\"-s" + DistDir() + L"\"";
  const std::wstring program = RestartStory(L"\"" + SetupExe() + L"\" " + source, source);
  EXPECT_TRUE(SameText(program, SetupExe()));
  Clean();
}

std::wstring TempDir() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

std::wstring TempFolder(const wchar_t* name) {
  std::wstring folder = TempDir() + name;
  RemoveTree(folder);
  EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << Narrow(folder);
  return folder;
}

// A loading program's copy ran from a folder of its own under the temporary folder; the clean-up
// that the resumption starts removes it once the resumption has ended.
void ExpectCopyFolderRemoved(const std::wstring& program) {
  std::wstring folder = program;
  folder.erase(folder.find_last_of(L'\\'));
  EXPECT_TRUE(SameText(folder.substr(0, folder.find_last_of(L'\\') + 1), TempDir())) << Narrow(folder);
  for (int i = 0; i < 60 && GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(500);
  EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(folder);
  RemoveTree(folder);
}

// A copy as the loading program of a distribution that is not self-extracting makes it (setup.1
// unpacked beside nothing but itself, started with -s and -c): the resumption gets -s and -c, no -e.
TEST(Restart, ALoadingProgramsCopyIsRemovedAtTheEndOfTheResumption) {
  const std::wstring folder = TempFolder(L"tvl-restart-copy"), copy = folder + L"\\restart_setup.exe";
  ASSERT_TRUE(CopyFileW(SetupExe().c_str(), copy.c_str(), FALSE));
  const std::wstring arguments = L"\"-s" + DistDir() + L"\" -c";
  const std::wstring program = RestartStory(L"\"" + copy + L"\" " + arguments, arguments);
  EXPECT_TRUE(SameText(program, copy));
  ExpectCopyFolderRemoved(copy);
  Clean();
}

// The setup program built into a self-extracting setup.exe (setup -b, as its developer builds it),
// copied alone elsewhere and started as the user starts it: the loading program runs a copy from a
// private folder with -s, -c and -e. The resumption is given the same -e and -s, so that it would find
// the archive inside setup.exe again, and removes that copy's folder at its end.
TEST(Restart, FromASelfExtractingDistributionTheLoadingProgramsCopyIsResumedAndRemoved) {
  // The build's bin folder is the toolkit directory: it holds the loading program and its marker.
  HKEY toolkit = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Tavenrik\\Toolkit", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &toolkit, nullptr),
            ERROR_SUCCESS);
  std::wstring bin = WinePath(TAV_LOADER_EXE);
  bin.erase(bin.find_last_of(L'\\'));
  RegSetValueExW(toolkit, L"Search Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(bin.c_str()),
                 static_cast<DWORD>((bin.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(toolkit);

  const std::wstring build = TempFolder(L"tav-restart-build"), download = TempFolder(L"tav-restart-download");
  const std::wstring inf = DistDir() + L"\\BUILD.INF";
  const std::string infText = Narrow(build) + "\r\n";
  HANDLE file = CreateFileW(inf.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ASSERT_TRUE(file != INVALID_HANDLE_VALUE &&
              WriteFile(file, infText.data(), static_cast<DWORD>(infText.size()), &written, nullptr));
  CloseHandle(file);
  // The project names its files relative to the folder it is built from: the build's own.
  std::wstring buildRoot = DistDir();
  buildRoot.erase(buildRoot.find_last_of(L'\\'));
  wchar_t here[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, here);
  SetCurrentDirectoryW(buildRoot.c_str());
  DeleteFileW(LogFile().c_str());
  const long built = fx::RunAndWait(L"\"" + SetupExe() + L"\" -b", 120000);
  SetCurrentDirectoryW(here);
  DeleteFileW(inf.c_str());
  EXPECT_EQ(built, 0);
  for (const std::string& m : Messages(LogLines())) ADD_FAILURE() << "build: " << m;
  ASSERT_TRUE(CopyFileW((build + L"\\setup.exe").c_str(), (download + L"\\setup.exe").c_str(), FALSE));

  const std::wstring program =
      RestartStory(L"\"" + download + L"\\setup.exe\"", L"\"-esetup.exe\" \"-s" + download + L"\" -c");
  ExpectCopyFolderRemoved(program);
  Clean();
  RemoveTree(build);
  RemoveTree(download);
}

}  // namespace
