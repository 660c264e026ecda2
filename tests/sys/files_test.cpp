#include "sys/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include "sys/dates.h"
#include "sys/pump.h"
#include "sys/system.h"

namespace tav::sys {
namespace {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// A fresh directory under the temporary directory, removed with what the test left in it.
class Scratch : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = CreateUniqueFile(TempDirectory(), "tsys");
    ASSERT_FALSE(dir_.empty());
    ASSERT_TRUE(RemoveFile(dir_));
    ASSERT_TRUE(MakeDir(dir_));
  }
  void TearDown() override {
    for (const auto& p : made_) {
      RemoveFile(p);
      RemoveEmptyDir(p);
    }
    EXPECT_TRUE(RemoveEmptyDir(dir_)) << dir_;
  }
  std::string Path(const std::string& name) {
    made_.insert(made_.begin(), dir_ + kSep + name);
    return made_.front();
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    File f = File::Open(path, OpenMode::Create);
    ASSERT_TRUE(f.IsOpen()) << path;
    ASSERT_EQ(f.Write(text.data(), text.size()), text.size());
  }
  static std::string ReadAll(const std::string& path) {
    File f = File::Open(path, OpenMode::Read);
    std::string s(static_cast<std::size_t>(std::max<std::int64_t>(f.Size(), 0)), '\0');
    s.resize(f.Read(s.data(), s.size()));
    return s;
  }
  // A replacement of target; the teardown removes its temporary file should a failing test leave it.
  ReplacementFile Replace(const std::string& target) {
    ReplacementFile f(target);
    made_.push_back(f.WorkingPath());
    return f;
  }
  // The names in the scratch directory, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string dir_;
  std::vector<std::string> made_;
};

TEST_F(Scratch, WriteSeekReadTruncate) {
  const std::string p = Path("data.bin");
  {
    File f = File::Open(p, OpenMode::Create);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(f.Write("hello, world", 12), 12u);
    EXPECT_EQ(f.Position(), 12);
    EXPECT_EQ(f.Seek(5), 5);
    EXPECT_TRUE(f.Truncate());
    EXPECT_EQ(f.Size(), 5);
    EXPECT_EQ(f.Seek(0), 0);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 5u);  // short read at the end is no failure
    EXPECT_FALSE(f.Failed());
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(f.Seek(-1), -1);
    EXPECT_TRUE(f.Flush());
  }
  EXPECT_EQ(FileSizeOf(p), 5);
  // ReadWrite keeps the content; Create truncates it.
  {
    File f = File::Open(p, OpenMode::ReadWrite);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(f.Size(), 5);
    f.Seek(5);
    f.Write("!", 1);
  }
  EXPECT_EQ(ReadAll(p), "hello!");
  File::Open(p, OpenMode::Create);
  EXPECT_EQ(FileSizeOf(p), 0);
}

TEST_F(Scratch, OpenFailuresAndMoves) {
  const std::string missing = Path("missing.txt");
  EXPECT_FALSE(File::Open(missing, OpenMode::Read).IsOpen());
  EXPECT_FALSE(File::Open(missing, OpenMode::ReadWrite).IsOpen());
  EXPECT_FALSE(File::Open(missing, OpenMode::ReadShared).IsOpen());
  EXPECT_FALSE(File::Open("", OpenMode::Create).IsOpen());
  EXPECT_FALSE(File::Open(dir_, OpenMode::Read).IsOpen());  // a directory is no file
  EXPECT_EQ(FileSizeOf(missing), -1);
  EXPECT_EQ(FileSizeOf(dir_), -1);

  File closed;
  char c;
  EXPECT_EQ(closed.Read(&c, 1), 0u);
  EXPECT_TRUE(closed.Failed());
  EXPECT_EQ(closed.Size(), -1);
  EXPECT_EQ(closed.DosDateTime(), 0u);

  File a = File::Open(Path("a.txt"), OpenMode::Create);
  ASSERT_TRUE(a.IsOpen());
  File b = std::move(a);
  EXPECT_FALSE(a.IsOpen());
  EXPECT_TRUE(b.IsOpen());
  b = File();
  EXPECT_FALSE(b.IsOpen());
}

TEST_F(Scratch, DirectoriesRenameCopyRemove) {
  const std::string sub = Path("sub");
  EXPECT_TRUE(MakeDir(sub));
  EXPECT_FALSE(MakeDir(sub));
  EXPECT_TRUE(DirExists(sub));
  EXPECT_FALSE(FileExists(sub));
  const std::string a = Path("sub" + std::string(1, kSep) + "a.txt");
  WriteFile(a, "alpha");
  EXPECT_TRUE(FileExists(a));
  EXPECT_FALSE(DirExists(a));
  EXPECT_FALSE(RemoveEmptyDir(sub));  // not empty

  const std::string b = Path("b.txt");
  WriteFile(b, "beta");
  EXPECT_FALSE(RenameFile(a, b));  // never replaces
  EXPECT_EQ(ReadAll(b), "beta");
  const std::string c = Path("c.txt");
  EXPECT_TRUE(RenameFile(a, c));
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(ReadAll(c), "alpha");

  EXPECT_FALSE(CopyFileTo(c, b, true));
  EXPECT_EQ(ReadAll(b), "beta");
  {
    File f = File::Open(c, OpenMode::ReadWrite);
    ASSERT_TRUE(f.SetDosDateTime(19u << 25 | 5u << 21 | 6u << 16 | 7u << 11 | 8u << 5 | 5u));
  }
  EXPECT_TRUE(CopyFileTo(c, b, false));
  EXPECT_EQ(ReadAll(b), "alpha");
  EXPECT_EQ(File::Open(b, OpenMode::Read).DosDateTime(), File::Open(c, OpenMode::Read).DosDateTime());
  EXPECT_FALSE(CopyFileTo(Path("none"), Path("none2"), false));
  EXPECT_FALSE(FileExists(Path("none2")));

  EXPECT_TRUE(RemoveFile(c));
  EXPECT_FALSE(RemoveFile(c));
  EXPECT_FALSE(RemoveFile(sub));  // a directory is not removed as a file
  EXPECT_TRUE(RemoveEmptyDir(sub));
}

TEST_F(Scratch, DosDateRoundTripsThroughTheFileTime) {
  const std::string p = Path("dated.txt");
  WriteFile(p, "x");
  TDateTime when = 0;
  ASSERT_TRUE(TryEncodeDateTime({2001, 2, 3, 4, 5, 7}, when));
  const std::uint32_t packed = DateTimeToDosDateTime(when);
  {
    File f = File::Open(p, OpenMode::ReadWrite);
    ASSERT_TRUE(f.SetDosDateTime(packed));
    EXPECT_FALSE(f.SetDosDateTime(0));  // not a date
  }
  {
    File f = File::Open(p, OpenMode::Read);
    EXPECT_EQ(f.DosDateTime(), packed);
    EXPECT_NEAR(f.LastWriteTime(), DosDateTimeToDateTime(packed), 1e-9);
  }
  // Boundaries of the packed range survive the file system too.
  for (std::uint32_t boundary : {0x00210000u, 127u << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u}) {
    File w = File::Open(p, OpenMode::ReadWrite);
    ASSERT_TRUE(w.SetDosDateTime(boundary)) << std::hex << boundary;
    EXPECT_EQ(w.DosDateTime(), boundary);
  }
}

TEST_F(Scratch, FreshFileIsDatedNowInLocalTime) {
  const TDateTime before = Now();
  const std::string p = Path("now.txt");
  WriteFile(p, "now");
  const TDateTime written = File::Open(p, OpenMode::Read).LastWriteTime();
  // Both are local time; a zone mix-up would be off by hours.
  EXPECT_NEAR(written, before, 60.0 / 86400);
  EXPECT_NEAR(DosDateTimeToDateTime(File::Open(p, OpenMode::Read).DosDateTime()), written, 2.01 / 86400);
}

TEST_F(Scratch, UniqueFilesAreNewAndEmpty) {
  const std::string a = CreateUniqueFile(dir_, "bat");
  const std::string b = CreateUniqueFile(dir_ + kSep, "bat");
  made_.push_back(a);
  made_.push_back(b);
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(a.substr(0, dir_.size() + 4), dir_ + kSep + "bat");
  EXPECT_EQ(b.substr(0, dir_.size() + 4), dir_ + kSep + "bat");
  EXPECT_EQ(FileSizeOf(a), 0);
  EXPECT_EQ(FileSizeOf(b), 0);
  EXPECT_EQ(CreateUniqueFile(dir_ + kSep + "no-such-dir", "bat"), "");
  EXPECT_EQ(CreateUniqueFile("", "bat"), "");
}

TEST_F(Scratch, ReplacementAppearsWholeOnlyOnCommit) {
  const std::string target = Path("out.txt");
  WriteFile(target, "old content");
  {
    ReplacementFile f = Replace(target);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_NE(f.WorkingPath(), target);
    EXPECT_EQ(f.WorkingPath().rfind(dir_ + kSep, 0), 0u) << "the temporary file lies beside the target";
    EXPECT_TRUE(f.Write("new ", 4));
    EXPECT_EQ(ReadAll(target), "old content");  // readers see the old file until the commit
    ReplacementFile moved = std::move(f);
    EXPECT_FALSE(f.Commit());
    EXPECT_TRUE(moved.Write("content", 7));
    EXPECT_TRUE(moved.Commit());
    EXPECT_FALSE(moved.Commit());  // closed by the first
  }
  EXPECT_EQ(ReadAll(target), "new content");
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"});

  // A new target; an empty file is a file too.
  const std::string fresh = Path("fresh.txt");
  ReplacementFile empty(fresh);
  ASSERT_TRUE(empty.IsOpen());
  EXPECT_TRUE(empty.Commit());
  EXPECT_EQ(FileSizeOf(fresh), 0);

  EXPECT_FALSE(ReplacementFile(Path("no-dir") + kSep + "x.txt").IsOpen());
  EXPECT_FALSE(ReplacementFile("").IsOpen());
  EXPECT_EQ(Entries(), (std::vector<std::string>{"fresh.txt", "out.txt"}));
}

TEST_F(Scratch, AbandonedOrFailedReplacementLeavesTheTarget) {
  const std::string target = Path("keep.txt");
  WriteFile(target, "keep me");
  {
    ReplacementFile dropped = Replace(target);  // an exception or early return: never committed
    ASSERT_TRUE(dropped.Write("half", 4));
  }
  {
    ReplacementFile discarded = Replace(target);
    ASSERT_TRUE(discarded.Write("half", 4));
    discarded.Discard();
    EXPECT_FALSE(discarded.Write("more", 4));
    EXPECT_FALSE(discarded.Commit());
  }
  {
    // Moving onto a pending replacement drops that one.
    ReplacementFile a = Replace(target);
    ReplacementFile b = Replace(target);
    a = std::move(b);
  }
  EXPECT_EQ(ReadAll(target), "keep me");
  EXPECT_EQ(Entries(), std::vector<std::string>{"keep.txt"});

  // A directory in the way fails on opening or at the commit; either way nothing is left behind.
  const std::string sub = Path("sub");
  ASSERT_TRUE(MakeDir(sub));
  ReplacementFile onDir = Replace(sub);
  EXPECT_FALSE(onDir.Write("x", 1) && onDir.Commit());
  EXPECT_TRUE(DirExists(sub));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"keep.txt", "sub"}));
}

#ifdef _WIN32
TEST_F(Scratch, ReplacementOfAFileHeldOpenFailsCleanly) {
  const std::string target = Path("held.txt");
  WriteFile(target, "held");
  File holder = File::Open(target, OpenMode::Read);  // shares reading only, not deleting
  ASSERT_TRUE(holder.IsOpen());
  ReplacementFile f = Replace(target);
  ASSERT_TRUE(f.IsOpen());
  EXPECT_TRUE(f.Write("new", 3));
  EXPECT_FALSE(f.Commit());
  holder.Close();
  EXPECT_EQ(ReadAll(target), "held");
  EXPECT_EQ(Entries(), std::vector<std::string>{"held.txt"});
}

TEST(Files, DeviceIsWrittenDirectly) {
  ReplacementFile nul("NUL");
  ASSERT_TRUE(nul.IsOpen());
  EXPECT_EQ(nul.WorkingPath(), "NUL");
  EXPECT_TRUE(nul.Write("gone", 4));
  EXPECT_TRUE(nul.Commit());
}
#else
TEST_F(Scratch, FullDiskKeepsTheOldFile) {
  const std::string target = Path("big.bin");
  WriteFile(target, "the previous version");
  ReplacementFile f = Replace(target);
  ASSERT_TRUE(f.IsOpen());
  // A file size limit fails writes beyond it just as a full disk does.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string block(64 * 1024, 'x');
  const bool wrote = f.Write(block.data(), block.size());
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(wrote);
  EXPECT_FALSE(f.Write("y", 1));  // after a failure nothing more is written
  EXPECT_FALSE(f.Commit());
  EXPECT_EQ(ReadAll(target), "the previous version");
  EXPECT_EQ(Entries(), std::vector<std::string>{"big.bin"});
}

TEST_F(Scratch, ReplacementKeepsModeAndLinksAndSparesDevices) {
  const std::string real = Path("real.txt");
  const std::string link = Path("link.txt");
  WriteFile(real, "old");
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.txt", link.c_str()), 0);
  ReplacementFile f(link);
  ASSERT_TRUE(f.Write("new", 3));
  ASSERT_TRUE(f.Commit());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(real), "new");
  struct stat st;
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.txt", "real.txt"}));

  // Nothing to keep in a device, and it must stay a device.
  ReplacementFile null("/dev/null");
  ASSERT_TRUE(null.IsOpen());
  EXPECT_EQ(null.WorkingPath(), "/dev/null");
  EXPECT_TRUE(null.Write("gone", 4));
  EXPECT_TRUE(null.Commit());
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}
#endif

TEST(Files, ProgramAndDirectories) {
  EXPECT_TRUE(FileExists(ModuleFileName())) << ModuleFileName();
  for (const std::string& d : {TempDirectory(), CurrentDirectory()}) {
    EXPECT_TRUE(DirExists(d)) << d;
    ASSERT_FALSE(d.empty());
    if (d.size() > 3) {
      EXPECT_NE(d.back(), kSep) << d;
    }
  }
}

TEST(Pump, HookIsCalledAndCanBeRemoved) {
  int calls = 0;
  PumpMessages();  // no hook: nothing happens
  SetMessagePumpHook([&] { ++calls; });
  PumpMessages();
  PumpMessages();
  EXPECT_EQ(calls, 2);
  SetMessagePumpHook([&] { SetMessagePumpHook(nullptr); ++calls; });  // a hook may remove itself
  PumpMessages();
  PumpMessages();
  EXPECT_EQ(calls, 3);
}

TEST(System, VersionIsKnown) {
  const OsVersion v = QueryOsVersion();
  EXPECT_NE(v.platform, Platform::Unknown);
#ifdef _WIN32
  EXPECT_EQ(v.platform, Platform::WindowsNT);
  EXPECT_GE(v.major, 6u);
#else
  EXPECT_EQ(v.platform, Platform::Other);
  EXPECT_EQ(WindowsDir(), "");
  EXPECT_EQ(ShortPath("/some/path"), "/some/path");
#endif
}

}  // namespace
}  // namespace tav::sys
