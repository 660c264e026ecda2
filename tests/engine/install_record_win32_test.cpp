#include <gtest/gtest.h>

#include <fstream>

#include "core/routines_API.h"
#include "engine/install_record.h"
#include "sys/files.h"
#include "sys/registry.h"

using namespace tav;

namespace {

// Each case starts without install records and leaves none behind.
class InstallRecord : public ::testing::Test {
protected:
  void SetUp() override {
    Wipe();
    dir_ = sys::TempDirectory() + "\\tavrec" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
    sys::MakeDir(dir_);
    program_ = dir_ + "\\setup.exe";
    WriteFile(program_, std::string(1000, 'p'));
  }
  void TearDown() override {
    Wipe();
    sys::RemoveFile(program_);
    sys::RemoveFile(dir_ + "\\copy.exe");
    sys::RemoveEmptyDir(dir_);
  }
  static void Wipe() {
    sys::RegKey root = sys::RegKey::Open(sys::RootKey::LocalMachine, InstallRecordRoot, false);
    for (const std::string& n : root.SubKeyNames()) {
      sys::RegKey rec = root.OpenSubKey(n, false);
      for (const std::string& s : rec.SubKeyNames()) rec.DeleteSubKey(s);
      rec.Close();
      root.DeleteSubKey(n);
    }
    root.Close();
    sys::DeleteRegKey(sys::RootKey::LocalMachine, InstallRecordRoot);
    sys::DeleteRegKey(sys::RootKey::LocalMachine, "\\Software\\Tavenrik");
  }
  static void WriteFile(const std::string& path, const std::string& data) {
    sys::File f = sys::File::Open(path, sys::OpenMode::Create);
    ASSERT_TRUE(f.IsOpen());
    ASSERT_EQ(f.Write(data.data(), data.size()), data.size());
    ASSERT_TRUE(f.SetDosDateTime(0x5A2B6C00));  // a fixed date so copies match
  }
  static sys::RegKey Record(const std::string& key) { return sys::RegKey::Open(sys::RootKey::LocalMachine, key, false); }

  std::string dir_, program_;
};

TEST_F(InstallRecord, CreatedOnceAndFoundAgainFromAnotherFolder) {
  EXPECT_EQ(FindInstallRecord({program_, 45000.5, std::nullopt}, false), "");
  const std::string key = FindInstallRecord({program_, 45000.5, std::string("C:\\dist\\setup.exe")}, true);
  EXPECT_EQ(key, std::string(InstallRecordRoot) + "\\Install0");
  sys::RegKey rec = Record(key);
  std::string path, self;
  double last = 0;
  std::uint32_t size = 0;
  ASSERT_TRUE(rec.ReadString("Path", path));
  EXPECT_EQ(path, program_);
  ASSERT_TRUE(rec.ReadDouble("LastRunDate", last));
  EXPECT_EQ(last, 45000.5);
  ASSERT_TRUE(rec.ReadDword("Size", size));
  EXPECT_EQ(size, 1000u);
  ASSERT_TRUE(rec.ReadString("SelfExtract", self));
  EXPECT_EQ(self, "C:\\dist\\setup.exe");
  rec.Close();

  // The same file copied elsewhere (same size and date) is the same program.
  const std::string copy = dir_ + "\\copy.exe";
  WriteFile(copy, std::string(1000, 'p'));
  EXPECT_EQ(FindInstallRecord({copy, 45001.0, std::nullopt}, true), key);
  ASSERT_TRUE(Record(key).ReadString("Path", path));
  EXPECT_EQ(path, copy);

  // A rebuilt program of another size gets a record of its own.
  WriteFile(program_, std::string(1001, 'p'));
  EXPECT_EQ(FindInstallRecord({program_, 45002.0, std::nullopt}, true), std::string(InstallRecordRoot) + "\\Install1");
}

TEST_F(InstallRecord, LowestFreeNumberAndUnreadableDatesSkipped) {
  {
    sys::RegKey root = sys::RegKey::Open(sys::RootKey::LocalMachine, InstallRecordRoot, true);
    for (const char* n : {"Install0", "INSTALL2"}) {
      sys::RegKey r = root.OpenSubKey(n, true);
      r.WriteString("Path", program_);
      r.WriteDword("Size", 1000);
      // A date that is not an 8-byte double: the record cannot match.
      r.WriteBinary("CreationDate", "1234");
    }
  }
  EXPECT_EQ(FindInstallRecord({program_, 1, std::nullopt}, true), std::string(InstallRecordRoot) + "\\Install1");
}

TEST_F(InstallRecord, RemovalDeletesLocalCopiesAndEmptyParents) {
  const std::string key = FindInstallRecord({program_, 1, std::nullopt}, true);
  // Downloads are made in the temporary folder; a value naming any other file is not followed.
  const std::string local =
      sys::TempDirectory() + "\\batrec" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".1";
  const std::string elsewhere = dir_ + "\\copy.exe";
  WriteFile(local, "downloaded");
  WriteFile(elsewhere, "the user's");
  {
    sys::RegKey rec = Record(key);
    rec.OpenSubKey("files.1", true).WriteString("LocalFile", "  " + local + " ");
    rec.OpenSubKey("Group1", true).WriteString("LocalFile", elsewhere);
    rec.OpenSubKey("Unfinished", true).WriteString("C:\\x.bat", "1");
  }
  sys::RegKey other = sys::RegKey::Open(sys::RootKey::LocalMachine, "\\Software\\Tavenrik\\Other", true);
  other.Close();
  RemoveInstallRecord(key);
  EXPECT_FALSE(sys::FileExists(local));
  EXPECT_TRUE(sys::FileExists(elsewhere));
  EXPECT_FALSE(Record(key).IsOpen());
  EXPECT_FALSE(Record(InstallRecordRoot).IsOpen());
  // Something else still lives under the company key: it stays.
  EXPECT_TRUE(Record("\\Software\\Tavenrik").IsOpen());
  sys::DeleteRegKey(sys::RootKey::LocalMachine, "\\Software\\Tavenrik\\Other");

  const std::string again = FindInstallRecord({program_, 1, std::nullopt}, true);
  RemoveInstallRecord(again);
  EXPECT_FALSE(Record("\\Software\\Tavenrik").IsOpen());
  RemoveInstallRecord("");  // nothing to do, no failure
}

}  // namespace
