// Windows behaviour of the system layer, checked against the real API under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "sys/dates.h"
#include "sys/files.h"
#include "sys/system.h"
#include "sys/unicode.h"

namespace tav::sys {
namespace {

class WinScratch : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = CreateUniqueFile(TempDirectory(), "tsw");
    ASSERT_FALSE(dir_.empty());
    ASSERT_TRUE(RemoveFile(dir_));
    ASSERT_TRUE(MakeDir(dir_));
    file_ = dir_ + "\\Shared file name.txt";
    File f = File::Open(file_, OpenMode::Create);
    ASSERT_EQ(f.Write("abc", 3), 3u);
  }
  void TearDown() override {
    RemoveFile(file_);
    EXPECT_TRUE(RemoveEmptyDir(dir_));
  }
  std::string dir_, file_;
};

TEST_F(WinScratch, ShareModesOfEachOpenMode) {
  {
    File reader = File::Open(file_, OpenMode::Read);
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_TRUE(File::Open(file_, OpenMode::Read).IsOpen());
    EXPECT_TRUE(File::Open(file_, OpenMode::ReadShared).IsOpen());
    EXPECT_FALSE(File::Open(file_, OpenMode::ReadWrite).IsOpen());  // others may only read
    EXPECT_FALSE(RemoveFile(file_));
  }
  {
    File shared = File::Open(file_, OpenMode::ReadShared);
    ASSERT_TRUE(shared.IsOpen());
    EXPECT_TRUE(File::Open(file_, OpenMode::ReadWrite).IsOpen());  // deny none: a writer gets in
  }
  {
    // A file someone else is writing (sharing reads and writes) can be read with ReadShared only.
    HANDLE h = CreateFileW(Wide(file_).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(File::Open(file_, OpenMode::ReadShared).IsOpen());
    EXPECT_FALSE(File::Open(file_, OpenMode::Read).IsOpen());
    CloseHandle(h);
  }
  {
    File writer = File::Open(file_, OpenMode::Create);
    ASSERT_TRUE(writer.IsOpen());
    EXPECT_FALSE(File::Open(file_, OpenMode::ReadWrite).IsOpen());
    EXPECT_FALSE(File::Open(file_, OpenMode::Read).IsOpen());  // Read denies writers, and one is there
    EXPECT_TRUE(File::Open(file_, OpenMode::ReadShared).IsOpen());
  }
}

TEST_F(WinScratch, DosDateIsTheLocalFileTime) {
  const std::uint32_t packed = 23u << 25 | 7u << 21 | 14u << 16 | 13u << 11 | 45u << 5 | 17u;  // 2003-07-14 13:45:34
  {
    File f = File::Open(file_, OpenMode::ReadWrite);
    ASSERT_TRUE(f.SetDosDateTime(packed));
  }
  HANDLE h = CreateFileW(Wide(file_).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME utc, local;
  SYSTEMTIME st;
  ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &utc));
  CloseHandle(h);
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
  EXPECT_EQ(st.wYear, 2003);
  EXPECT_EQ(st.wMonth, 7);
  EXPECT_EQ(st.wDay, 14);
  EXPECT_EQ(st.wHour, 13);
  EXPECT_EQ(st.wMinute, 45);
  EXPECT_EQ(st.wSecond, 34);
  File f = File::Open(file_, OpenMode::Read);
  EXPECT_EQ(f.DosDateTime(), packed);
  const DateParts p = DecodeDateTime(f.LastWriteTime());
  EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 20030714);
  EXPECT_EQ(p.hour * 10000 + p.minute * 100 + p.second, 134534);
}

TEST_F(WinScratch, ShortPathsAndUnicodeNames) {
  const std::string shortName = ShortPath(file_);
  EXPECT_NE(shortName, file_);
  EXPECT_EQ(shortName.find(' '), std::string::npos) << shortName;
  EXPECT_TRUE(FileExists(shortName));
  EXPECT_EQ(ShortPath(dir_ + "\\not there.txt"), dir_ + "\\not there.txt");

  const std::string unicode = dir_ + "\\\xC3\x9C" "ber \xE2\x9C\x93.txt";  // Über ✓.txt
  {
    File f = File::Open(unicode, OpenMode::Create);
    ASSERT_TRUE(f.IsOpen());
  }
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW(Wide(dir_ + "\\*.txt").c_str(), &fd);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  bool seen = false;
  do {
    seen = seen || std::wstring(fd.cFileName) == L"\u00DCber \u2713.txt";
  } while (FindNextFileW(find, &fd));
  FindClose(find);
  EXPECT_TRUE(seen);
  EXPECT_TRUE(RemoveFile(unicode));
}

TEST(WinSystem, WindowsAndSystemDirectories) {
  const std::string windows = WindowsDir();
  const std::string system = SystemDir();
  wchar_t expected[261];
  ASSERT_GT(GetEnvironmentVariableW(L"SystemRoot", expected, 261), 0u);
  EXPECT_EQ(CompareStringOrdinal(Wide(windows).c_str(), -1, expected, -1, TRUE), CSTR_EQUAL) << windows;
  EXPECT_EQ(CompareStringOrdinal(Wide(system).c_str(), -1, Wide(windows + "\\system32").c_str(), -1, TRUE),
            CSTR_EQUAL)
      << system;
  EXPECT_TRUE(DirExists(windows));
  EXPECT_TRUE(FileExists(system + "\\kernel32.dll"));
  EXPECT_EQ(ModuleFileName().substr(ModuleFileName().size() - 4), ".exe");
}

}  // namespace
}  // namespace tav::sys
