// The restart story for real under Wine: a setup program installs over a library and a COM server
// that another process holds open, and ends asking for a restart (recorded by the program, never
// carried out). The holder ends, the Wine prefix is restarted (wineboot -r performs the pending
// renames and runs the RunOnce commands, as Windows does at its start), and the setup program,
// started again with -r, registers the server and removes its record.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fixtures.h"
#include "walk.h"

namespace fx = tav::fixtures;

namespace {

// A Unix path of the build as Wine's drive for the Unix root sees it.
std::wstring WinePath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

std::wstring SetupExe() { return WinePath(TAV_RESTART_SETUP); }
std::wstring DistDir() {
  std::wstring dir = SetupExe();
  return dir.erase(dir.find_last_of(L'\\'));
}
std::wstring LogFile() { return DistDir() + L"\\restart.log"; }

std::wstring TargetDir() {
  wchar_t programFiles[MAX_PATH] = {};
  ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH);
  return std::wstring(programFiles) + L"\\Tavenrik Restart Test";
}
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

// The install record of the setup program, found by its path; empty when there is none.
std::wstring RecordOfSetup() {
  HKEY root = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecords, 0, KEY_READ, &root) != ERROR_SUCCESS) return L"";
  std::wstring found;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(root, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring key = std::wstring(kRecords) + L"\\" + name;
    if (SameText(RegText(HKEY_LOCAL_MACHINE, key, L"Path"), SetupExe())) found = key;
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

TEST(Restart, HeldFilesAreReplacedAndTheInstallIsResumedAtTheRestart) {
  Clean();
  ASSERT_TRUE(CreateDirectoryW(TargetDir().c_str(), nullptr));
  // What the target holds: an older library, and an older file where the server goes.
  const std::wstring older = fx::FixturePath(L"ver1\\tavver.dll");
  ASSERT_TRUE(CopyFileW(older.c_str(), Target(L"tavver.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(older.c_str(), Target(L"tavcomsrv.dll").c_str(), FALSE));
  fx::FileLock heldLibrary(Target(L"tavver.dll"), 300), heldServer(Target(L"tavcomsrv.dll"), 300);
  ASSERT_TRUE(heldLibrary.Held() && heldServer.Held());

  const std::wstring shots = WinePath(TAV_SCREENSHOTS);
  CreateDirectoryW(shots.c_str(), nullptr);
  const std::wstring source = L"\"-s" + DistDir() + L"\"";
  const tav::TWalkResult walk = tav::WalkSetup(L"\"" + SetupExe() + L"\" " + source, shots + L"\\restart", 120000);
  ASSERT_TRUE(walk.Started && walk.Ended);
  EXPECT_EQ(walk.ExitCode, 0u);
  EXPECT_EQ(walk.Pages, std::vector<std::wstring>{L"Reboot windows"});
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message box: " << Narrow(m);

  // The run ended asking for the restart, with the privilege enabled, and left everything the
  // restart needs: the renames, the resumption command, the unfinished list and the language.
  std::vector<std::string> log = LogLines();
  for (const std::string& m : Messages(log)) ADD_FAILURE() << m;
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0].find(" -r"), std::string::npos) << log[0];
  EXPECT_EQ(std::count(log.begin(), log.end(), "restart privilege enabled"), 1) << "log: " << ReadAll(LogFile());
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunOnce, L"TavenrikUnfinished"), L"\"" + SetupExe() + L"\" -r " + source);
  for (const wchar_t* name : {L"tavver", L"tavcomsrv"}) {
    const std::wstring from = TargetDir() + L"\\" + name + L".1", to = TargetDir() + L"\\" + name + L".dll";
    bool pending = false;
    for (const fx::PendingRename& r : fx::PendingRenames())
      pending |= fx::NamesPath(r.from, from) && fx::NamesPath(r.to, to);
    EXPECT_TRUE(pending) << Narrow(from);
  }
  const std::wstring record = RecordOfSetup();
  ASSERT_FALSE(record.empty());
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
  ASSERT_EQ(resumed.size(), 1u) << "log: " << ReadAll(LogFile());
  EXPECT_NE(resumed[0].find(Narrow(source)), std::string::npos) << resumed[0];
  EXPECT_EQ(std::count(log.begin(), log.end(), "language 4"), 1);
  EXPECT_EQ(log.back(), "end 0");
  const std::wstring server = fx::ClassKey(TAV_FIXTURE_COM_CLSID) + L"\\InprocServer32";
  EXPECT_TRUE(SameText(RegText(HKEY_CLASSES_ROOT, server, nullptr), Target(L"tavcomsrv.dll")));
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunOnce, L"TavenrikUnfinished"), L"<none>");
  EXPECT_TRUE(RecordOfSetup().empty());
  Clean();
}

}  // namespace
