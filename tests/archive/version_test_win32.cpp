// The PE reader against the system's own version.dll on the same files.
#include <windows.h>

#include <gtest/gtest.h>

#include "archive/cmp_TVersion.h"
#include "archive/pe_version.h"
#include "sys/system.h"
#include "sys/unicode.h"

namespace tav {
namespace {

const char* const kKeys[] = {"Comments",     "CompanyName",      "FileDescription", "FileVersion",
                             "InternalName", "LegalCopyright",   "LegalTrademarks", "OriginalFilename",
                             "PrivateBuild", "ProductName",      "ProductVersion",  "SpecialBuild"};

void ExpectSameAsSystem(const std::string& path, const std::vector<std::string>& tables) {
  SCOPED_TRACE(path);
  const std::wstring wide = sys::Wide(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
  const std::vector<std::uint8_t> ours = ReadPeVersionResourceFile(path);
  ASSERT_GT(size, 0u) << "the system sees no version resource";
  ASSERT_FALSE(ours.empty());
  std::vector<std::uint8_t> theirs(size);
  ASSERT_TRUE(GetFileVersionInfoW(wide.c_str(), 0, size, theirs.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(theirs.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  FixedFileInfo mine;
  ASSERT_TRUE(QueryFixedFileInfo(ours, mine));
  EXPECT_EQ(mine.fileVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(mine.fileVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(mine.productVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(mine.productVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ(mine.fileOS, fixed->dwFileOS);
  EXPECT_EQ(mine.fileType, fixed->dwFileType);
  EXPECT_EQ(mine.fileSubtype, fixed->dwFileSubtype);
  EXPECT_EQ(mine.fileFlags, fixed->dwFileFlags);

  int found = 0;
  for (const std::string& table : tables) {
    for (const char* key : kKeys) {
      const std::string query = "\\StringFileInfo\\" + table + "\\" + key;
      wchar_t* value = nullptr;
      UINT chars = 0;
      const bool system =
          VerQueryValueW(theirs.data(), sys::Wide(query).c_str(), reinterpret_cast<void**>(&value), &chars);
      std::string text;
      const bool parsed = QueryVersionString(ours, query, text);
      EXPECT_EQ(parsed, system) << query;
      if (system && parsed) {
        std::wstring expected(value, chars);
        expected = expected.substr(0, expected.find(L'\0'));
        EXPECT_EQ(text, sys::Narrow(expected)) << query;
        ++found;
      }
    }
  }
  EXPECT_GT(found, 0) << "no string was compared";
}

std::string Built(const std::string& name) {
  std::string p = "Z:" + std::string(TAV_PE_DIR) + "/" + name;
  for (char& c : p) c = c == '/' ? '\\' : c;
  return p;
}

TEST(VersionAgainstSystem, FilesOfTheSystem) {
  const std::string system = sys::SystemDir();
  for (const char* name : {"kernel32.dll", "user32.dll", "comctl32.dll", "notepad.exe", "version.dll",
                           "shell32.dll", "msvcrt.dll"}) {
    ExpectSameAsSystem(system + "\\" + name, {"040904E4", "040904B0", "000004B0", "000004E4"});
  }
  ExpectSameAsSystem(sys::WindowsDir() + "\\notepad.exe", {"040904E4", "040904B0"});
  // 32-bit images of the prefix.
  const std::string wow = sys::WindowsDir() + "\\syswow64\\kernel32.dll";
  if (GetFileAttributesW(sys::Wide(wow).c_str()) != INVALID_FILE_ATTRIBUTES) {
    ExpectSameAsSystem(wow, {"040904E4", "040904B0"});
  }
}

TEST(VersionAgainstSystem, FilesBuiltFromResourceScripts) {
  ExpectSameAsSystem(Built("fixed_wins.dll"), {"040904E4", "040904e4"});
  ExpectSameAsSystem(Built("no_default_table.dll"), {"040904B0"});
  ExpectSameAsSystem(Built("other_language.dll"), {"0C0C04E4", "041103A4"});
  ExpectSameAsSystem(Built("driver32.dll"), {"040904E4"});
  ExpectSameAsSystem(Built("font.dll"), {"040904E4"});
}

TEST(VersionAgainstSystem, TheComponentReadsTheSameAsTheSystem) {
  TVersionResource r(nullptr);
  r.SetFileName(sys::SystemDir() + "\\kernel32.dll");
  DWORD ignored = 0;
  const std::wstring wide = sys::Wide(r.FileName());
  std::vector<std::uint8_t> theirs(GetFileVersionInfoSizeW(wide.c_str(), &ignored));
  ASSERT_FALSE(theirs.empty());
  ASSERT_TRUE(GetFileVersionInfoW(wide.c_str(), 0, static_cast<DWORD>(theirs.size()), theirs.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(theirs.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string expected = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                               std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                               std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                               std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(r.VersionInfo().FileVersion(), expected);
  EXPECT_EQ(ReadFileVersion(r.FileName()), expected);
  // The running test program has no version resource of its own.
  EXPECT_EQ(TVersionResource(nullptr).VersionInfo().FileVersion(), "");
}

TEST(VersionAgainstSystem, CreateDirectoriesOnADrive) {
  const std::string base = "C:\\tav_version_dirs";
  CreateDirectories(base + "\\A\\B\\");
  EXPECT_TRUE(DirectoryExists(base + "\\A"));
  EXPECT_TRUE(DirectoryExists(base + "\\A\\B"));
  CreateDirectories("C:\\");
  CreateDirectories("C:");
  EXPECT_TRUE(RemoveDirectoryW(sys::Wide(base + "\\A\\B").c_str()));
  EXPECT_TRUE(RemoveDirectoryW(sys::Wide(base + "\\A").c_str()));
  EXPECT_TRUE(RemoveDirectoryW(sys::Wide(base).c_str()));
}

}  // namespace
}  // namespace tav
