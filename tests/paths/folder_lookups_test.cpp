#include <gtest/gtest.h>

// First: it brings <windows.h> and tames its macros.
#include "paths_support.h"
#include <winioctl.h>

#include <cctype>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "core/routines_API.h"
#include "paths/routines_ExpandPaths.h"
#include "sys/files.h"

using namespace tav;
using pathstest::SavedValue;

namespace {

struct Lookup {
  const char* value;
  HKEY root;
  const char* key;
  std::function<std::string()> get;
  std::function<std::string()> fallback;  // what a missing value yields
};

// The six registry values the lookups read, put back as they were after each case.
class FolderLookups : public ::testing::Test {
protected:
  FolderLookups() {
    for (const Lookup& l : Lookups()) saved_.push_back(std::make_unique<SavedValue>(l.root, l.key, l.value));
  }
  static const std::vector<Lookup>& Lookups() {
    static const std::vector<Lookup> lookups{
        {"Start Menu", HKEY_CURRENT_USER, kShellFoldersKey, StartMenuFolder,
         [] { return WindowsDirectory() + "\\Startmen"; }},
        {"Programs", HKEY_CURRENT_USER, kShellFoldersKey, ProgramsFolder,
         [] { return StartMenuFolder() + "\\Programs"; }},
        {"Desktop", HKEY_CURRENT_USER, kShellFoldersKey, DesktopFolder,
         [] { return WindowsDirectory() + "\\Desktop"; }},
        {"Startup", HKEY_CURRENT_USER, kShellFoldersKey, StartupFolder,
         [] { return WindowsDirectory() + "\\Startup"; }},
        {"ProgramFilesDir", HKEY_LOCAL_MACHINE, kCurrentVersionKey, ProgramFilesDirectory,
         [] { return CurrentDrive() + "\\Program Files"; }},
        {"CommonFilesDir", HKEY_LOCAL_MACHINE, kCurrentVersionKey, CommonFilesDirectory,
         [] { return CurrentDrive() + "\\Program Files\\Common Files"; }},
    };
    return lookups;
  }
  const SavedValue& Value(std::size_t i) { return *saved_[i]; }

  std::vector<std::unique_ptr<SavedValue>> saved_;
};

TEST_F(FolderLookups, PresentEmptyAndMissingValues) {
  for (std::size_t i = 0; i < Lookups().size(); ++i) {
    const Lookup& l = Lookups()[i];
    SCOPED_TRACE(l.value);
    Value(i).Set("C:\\Tav Test\\Folder");
    EXPECT_EQ(l.get(), "C:\\Tav Test\\Folder");
    // Exactly one trailing backslash goes.
    Value(i).Set("C:\\Tav Test\\Folder\\");
    EXPECT_EQ(l.get(), "C:\\Tav Test\\Folder");
    Value(i).Set("C:\\Tav Test\\Folder\\\\");
    EXPECT_EQ(l.get(), "C:\\Tav Test\\Folder\\");
    Value(i).Set("");
    EXPECT_EQ(l.get(), "");
    Value(i).Remove();
    EXPECT_EQ(l.get(), l.fallback());
  }
}

TEST_F(FolderLookups, DefaultsAreBuiltFromTheWindowsDirectoryAndTheStartMenu) {
  for (std::size_t i = 0; i < 4; ++i) Value(i).Remove();
  const std::string windows = WindowsDirectory();
  EXPECT_EQ(StartMenuFolder(), windows + "\\Startmen");
  EXPECT_EQ(ProgramsFolder(), windows + "\\Startmen\\Programs");
  EXPECT_EQ(DesktopFolder(), windows + "\\Desktop");
  EXPECT_EQ(StartupFolder(), windows + "\\Startup");
  // The Programs default follows the Start Menu value, without its trailing backslash.
  Value(0).Set("E:\\Menu\\");
  EXPECT_EQ(ProgramsFolder(), "E:\\Menu\\Programs");
}

// Keeps the current directory and restores it.
class CurrentDirectoryGuard {
public:
  CurrentDirectoryGuard() : saved_(sys::CurrentDirectory()) {}
  ~CurrentDirectoryGuard() { SetCurrentDirectoryW(sys::Wide(saved_).c_str()); }

private:
  std::string saved_;
};

// Maps a drive letter of the prefix to a folder for the life of the object, the way the prefix's own
// drive configuration does: the mount manager makes the dosdevices link to the folder's Unix path.
class MappedDrive {
public:
  MappedDrive(char letter, const std::string& target) : letter_(letter) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return;
    char* unixPath = toUnix(sys::Wide(target).c_str());
    if (!unixPath) return;
    mapped_ = Define(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
  }
  ~MappedDrive() {
    if (mapped_) Define(nullptr);
  }
  bool Mapped() const { return mapped_; }

private:
  // The mount manager's request to define (or, without a path, remove) a drive on a Unix folder.
  struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
  };
  bool Define(const char* unixPath) const {
    const std::size_t pathSize = unixPath ? std::strlen(unixPath) + 1 : 0;
    std::vector<char> request(sizeof(UnixDrive) + pathSize, '\0');
    auto* drive = reinterpret_cast<UnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = DRIVE_FIXED;
    drive->letter = static_cast<WCHAR>(std::tolower(letter_));
    if (unixPath) {
      drive->mountPointOffset = sizeof(UnixDrive);
      std::memcpy(request.data() + sizeof(UnixDrive), unixPath, pathSize);
    }
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    constexpr DWORD defineUnixDrive = CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(manager, defineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                                    nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != 0;
  }

  char letter_;
  bool mapped_ = false;
};

TEST_F(FolderLookups, ProgramFilesDefaultsToTheCurrentDrive) {
  Value(4).Remove();
  Value(5).Remove();
  CurrentDirectoryGuard guard;
  ASSERT_TRUE(SetCurrentDirectoryW(sys::Wide(WindowsDirectory()).c_str()));
  EXPECT_EQ(CurrentDrive(), WindowsDirectory().substr(0, 2));
  EXPECT_EQ(ProgramFilesDirectory(), WindowsDirectory().substr(0, 2) + "\\Program Files");

  // A second drive D: on a folder of the prefix, made the current one.
  const std::string target = sys::TempDirectory() + "\\tavdrive" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(sys::MakeDir(target));
  {
    MappedDrive d('D', target);
    ASSERT_TRUE(d.Mapped());
    ASSERT_TRUE(SetCurrentDirectoryW(L"D:\\")) << GetLastError();
    EXPECT_EQ(sys::CurrentDirectory().substr(0, 2), "D:");
    EXPECT_EQ(CurrentDrive(), "D:");
    EXPECT_EQ(ProgramFilesDirectory(), "D:\\Program Files");
    EXPECT_EQ(CommonFilesDirectory(), "D:\\Program Files\\Common Files");
    SetCurrentDirectoryW(sys::Wide(WindowsDirectory()).c_str());
  }
  sys::RemoveEmptyDir(target);
}

}  // namespace
