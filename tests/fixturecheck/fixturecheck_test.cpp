// Proves that each fixture program behaves as the tests of installing files rely on.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fixtures.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/unicode.h"

namespace tav {
namespace {

using fixtures::FixturePath;
using fixtures::ServerCommand;

bool ClassKeyExists(const wchar_t* clsid) {
  return sys::RegKey::Open(sys::RootKey::ClassesRoot, "CLSID\\" + sys::Narrow(clsid), false).IsOpen();
}

using RegisterFn = HRESULT(STDAPICALLTYPE*)();

// A loaded server library, freed at the end of the test.
struct TLibrary {
  explicit TLibrary(const std::wstring& path) : module(LoadLibraryW(path.c_str())) {}
  ~TLibrary() {
    if (module) FreeLibrary(module);
  }
  HRESULT Call(const char* name) const {
    auto fn = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return fn ? fn() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  }
  HMODULE module;
};

TEST(Fixtures, InProcessServerRegistersItselfAndIsCreatedThroughTheRegistry) {
  const std::wstring path = FixturePath(L"tavcomsrv.dll");
  ASSERT_TRUE(fixtures::RemoveServerKey(TAV_FIXTURE_COM_CLSID));
  {
    TLibrary server(path);
    ASSERT_NE(server.module, nullptr) << GetLastError();
    ASSERT_EQ(server.Call("DllRegisterServer"), S_OK);
  }
  EXPECT_EQ(ServerCommand(TAV_FIXTURE_COM_CLSID, L"InprocServer32"), path);
  std::string model;
  EXPECT_TRUE(sys::RegKey::Open(sys::RootKey::ClassesRoot,
                                "CLSID\\" + sys::Narrow(TAV_FIXTURE_COM_CLSID) + "\\InprocServer32", false)
                  .ReadString("ThreadingModel", model));
  EXPECT_EQ(model, "Apartment");

  // COM finds the module through the key just written and the object names its class.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  CLSID clsid{}, reported{};
  CLSIDFromString(TAV_FIXTURE_COM_CLSID, &clsid);
  IPersist* object = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist, reinterpret_cast<void**>(&object)),
            S_OK);
  if (object) {
    EXPECT_EQ(object->GetClassID(&reported), S_OK);
    EXPECT_TRUE(IsEqualCLSID(reported, clsid));
    object->Release();
  }
  CoUninitialize();

  TLibrary server(path);
  EXPECT_EQ(server.Call("DllUnregisterServer"), S_OK);
  EXPECT_FALSE(ClassKeyExists(TAV_FIXTURE_COM_CLSID));
  // Unregistering what is not registered is no failure.
  EXPECT_EQ(server.Call("DllUnregisterServer"), S_OK);
}

TEST(Fixtures, ExeServerRegistersOnTheCommandLine) {
  const std::wstring exe = FixturePath(L"tavexesrv.exe");
  const std::wstring quoted = L"\"" + exe + L"\"";
  ASSERT_TRUE(fixtures::RemoveServerKey(TAV_FIXTURE_EXE_CLSID));
  EXPECT_EQ(fixtures::RunAndWait(quoted + L" /REGSERVER"), 0);
  EXPECT_EQ(ServerCommand(TAV_FIXTURE_EXE_CLSID, L"LocalServer32"), quoted);
  EXPECT_EQ(fixtures::RunAndWait(quoted + L" /UNREGSERVER"), 0);
  EXPECT_FALSE(ClassKeyExists(TAV_FIXTURE_EXE_CLSID));
  // Anything else is refused and writes nothing.
  EXPECT_EQ(fixtures::RunAndWait(quoted + L" /Embedding"), 2);
  EXPECT_EQ(fixtures::RunAndWait(quoted), 2);
  EXPECT_FALSE(ClassKeyExists(TAV_FIXTURE_EXE_CLSID));
}

TEST(Fixtures, FailingServerFailsWhileItsMarkerLiesBesideIt) {
  // A copy, as an installation would place it, so the marker goes beside the copy.
  fixtures::TempFolder scratch;
  ASSERT_TRUE(scratch.Made());
  const std::wstring copy = scratch.Path(L"tavbadsrv.dll");
  const std::string marker = sys::Narrow(scratch.Path(TAV_FIXTURE_BAD_MARKER));
  ASSERT_TRUE(CopyFileW(FixturePath(L"tavbadsrv.dll").c_str(), copy.c_str(), TRUE));
  ASSERT_TRUE(sys::WriteFileReplacing(marker, "fail"));
  ASSERT_TRUE(fixtures::RemoveServerKey(TAV_FIXTURE_BAD_CLSID));
  {
    TLibrary server(copy);
    ASSERT_NE(server.module, nullptr);
    EXPECT_EQ(server.Call("DllRegisterServer"), E_FAIL);
    EXPECT_FALSE(ClassKeyExists(TAV_FIXTURE_BAD_CLSID));

    ASSERT_TRUE(sys::RemoveFile(marker));
    EXPECT_EQ(server.Call("DllRegisterServer"), S_OK);
    EXPECT_EQ(ServerCommand(TAV_FIXTURE_BAD_CLSID, L"InprocServer32"), copy);
    EXPECT_EQ(server.Call("DllUnregisterServer"), S_OK);
  }
  EXPECT_FALSE(ClassKeyExists(TAV_FIXTURE_BAD_CLSID));
}

// Reads a file's version as the system does: the fixed version, and whether the first translation's
// string table holds OLESelfRegister. False when the file has no version information.
bool SystemVersion(const std::wstring& path, std::string& version, bool& selfRegister) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return false;
  version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
            "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
  WORD* translation = nullptr;
  selfRegister = false;
  if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) &&
      length >= 4) {
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04X%04X\\OLESelfRegister", translation[0], translation[1]);
    void* value = nullptr;
    selfRegister = VerQueryValueW(data.data(), query, &value, &length) != FALSE;
  }
  return true;
}

TEST(Fixtures, VersionResourcesAreWhatTheOverwriteRulesAndSelfRegistrationRead) {
  struct Case {
    const wchar_t* file;
    const char* version;  // null: no version information
    bool selfRegister;
  };
  const Case cases[] = {{L"ver1\\tavver.dll", "1.0.0.0", false}, {L"ver2\\tavver.dll", "2.0.0.0", false},
                        {L"nover\\tavver.dll", nullptr, false},  {L"tavcomsrv.dll", "1.0.0.0", true},
                        {L"tavbadsrv.dll", "1.0.0.0", true},     {L"tavexesrv.exe", "1.0.0.0", true},
                        {L"tavlock.exe", nullptr, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(sys::Narrow(c.file));
    std::string version;
    bool selfRegister = false;
    ASSERT_EQ(SystemVersion(FixturePath(c.file), version, selfRegister), c.version != nullptr);
    if (!c.version) continue;
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(selfRegister, c.selfRegister);
  }
  // The same name with different content, each loadable and telling its build.
  std::vector<std::string> contents;
  for (const wchar_t* folder : {L"ver1", L"ver2", L"nover"}) {
    std::ifstream in(FixturePath(std::wstring(folder) + L"\\tavver.dll").c_str(), std::ios::binary);
    contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    EXPECT_GT(contents.back().size(), 0u);
  }
  EXPECT_NE(contents[0], contents[1]);
  EXPECT_NE(contents[1], contents[2]);
  TLibrary v2(FixturePath(L"ver2\\tavver.dll"));
  ASSERT_NE(v2.module, nullptr);
  auto tell = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(v2.module, "TavVersion")));
  ASSERT_NE(tell, nullptr);
  EXPECT_EQ(tell(), 2);
}

TEST(Fixtures, LockHolderKeepsAFileInUseUntilReleased) {
  fixtures::TempFolder scratch;
  ASSERT_TRUE(scratch.Made());
  const std::wstring target = scratch.Path(L"in use.dll");
  const std::wstring replacement = scratch.Path(L"new.dll");
  ASSERT_TRUE(sys::WriteFileReplacing(sys::Narrow(target), "old"));
  ASSERT_TRUE(sys::WriteFileReplacing(sys::Narrow(replacement), "new"));

  fixtures::FileLock lock(target);
  ASSERT_TRUE(lock.Held());
  EXPECT_FALSE(DeleteFileW(target.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  HANDLE h = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);

  // What an installation does with a file in use: replace it, and delete its source, at the next start.
  const std::size_t before = fixtures::PendingRenames().size();
  ASSERT_TRUE(MoveFileExW(replacement.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(MoveFileExW(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  const std::vector<fixtures::PendingRename> pending = fixtures::PendingRenames();
  ASSERT_EQ(pending.size(), before + 2);
  EXPECT_TRUE(fixtures::NamesPath(pending[before].from, replacement));
  EXPECT_TRUE(fixtures::NamesPath(pending[before].to, target));
  EXPECT_TRUE(fixtures::NamesPath(pending[before + 1].from, target));
  EXPECT_EQ(pending[before + 1].to, L"");
  // Both name the target; entries of others stay.
  EXPECT_EQ(fixtures::RemovePendingRenames(target), 2);
  EXPECT_EQ(fixtures::PendingRenames().size(), before);

  const DWORD start = GetTickCount();
  EXPECT_EQ(lock.Release(), 0);
  EXPECT_LT(GetTickCount() - start, 20000u) << "the holder waited for its time instead of the event";
  EXPECT_TRUE(DeleteFileW(target.c_str()));
}

TEST(Fixtures, LockHolderSignalsWithAMarkerFileAndEndsByItself) {
  fixtures::TempFolder scratch;
  ASSERT_TRUE(scratch.Made());
  const std::wstring target = scratch.Path(L"held.txt");
  const std::wstring marker = target + L".locked";
  ASSERT_TRUE(sys::WriteFileReplacing(sys::Narrow(target), "x"));
  // A missing file is not held.
  EXPECT_EQ(fixtures::RunAndWait(L"\"" + FixturePath(L"tavlock.exe") + L"\" \"" + scratch.Path(L"missing") + L"\""), 3);

  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + FixturePath(L"tavlock.exe") + L"\" \"" + target + L"\" /seconds:2";
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &si, &pi));
  CloseHandle(pi.hThread);
  for (int i = 0; i < 200 && GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
  EXPECT_NE(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(DeleteFileW(target.c_str()));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(DeleteFileW(target.c_str()));
}

}  // namespace
}  // namespace tav
