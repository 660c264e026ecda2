#include <gtest/gtest.h>

// First: it brings <windows.h> and tames its macros.
#include "paths_support.h"

#include <string>

#include "core/exceptions_Tavenrik.h"
#include "objects/routines_Registry.h"
#include "sys/registry.h"

using namespace tav;

namespace {

// Each case works below its own key under HKEY_CURRENT_USER and removes it afterwards.
class RegistryRoutines : public ::testing::Test {
protected:
  void TearDown() override {
    DeleteKeyTree(hkCurrentUser, base_);
    EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::CurrentUser, base_, false).IsOpen());
  }
  const std::string base_ = "\\Software\\TavenrikPathsTest" + std::to_string(GetCurrentProcessId());
};

TEST_F(RegistryRoutines, ReadsYieldTheDefaultUnlessAValueOfTheRightTypeIsThere) {
  EXPECT_EQ(ReadRegString(hkCurrentUser, base_ + "\\Missing", "Name", "dflt"), "dflt");
  EXPECT_EQ(ReadRegInteger(hkCurrentUser, base_ + "\\Missing", "Name", 42), 42);

  WriteRegString(hkCurrentUser, base_ + "\\Deep\\Er", "Text", "Gr\xC3\xBC\xC3\x9F Gott \xE2\x9C\x93");
  WriteRegInteger(hkCurrentUser, base_ + "\\Deep\\Er", "Number", -5);
  WriteRegString(hkCurrentUser, base_ + "\\Deep\\Er", "Empty", "");
  EXPECT_EQ(ReadRegString(hkCurrentUser, base_ + "\\Deep\\Er", "Text", "dflt"), "Gr\xC3\xBC\xC3\x9F Gott \xE2\x9C\x93");
  EXPECT_EQ(ReadRegInteger(hkCurrentUser, base_ + "\\Deep\\Er", "Number", 0), -5);
  EXPECT_EQ(ReadRegString(hkCurrentUser, base_ + "\\Deep\\Er", "Empty", "dflt"), "");
  EXPECT_EQ(ReadRegString(hkCurrentUser, base_ + "\\Deep\\Er", "Absent", "dflt"), "dflt");
  // A value of another type is not reinterpreted.
  EXPECT_EQ(ReadRegString(hkCurrentUser, base_ + "\\Deep\\Er", "Number", "dflt"), "dflt");
  EXPECT_EQ(ReadRegInteger(hkCurrentUser, base_ + "\\Deep\\Er", "Text", 7), 7);

  // Writing again replaces the value in place.
  WriteRegString(hkCurrentUser, base_ + "\\Deep\\Er", "Text", "second");
  EXPECT_EQ(ReadRegString(hkCurrentUser, base_ + "\\Deep\\Er", "Text", ""), "second");
}

TEST_F(RegistryRoutines, FailedWritesRaiseWithTheKeyNameAndValue) {
  // A key name longer than the registry allows cannot be created.
  const std::string bad = base_ + "\\" + std::string(300, 'k');  // longer than a key name may be
  try {
    WriteRegString(hkCurrentUser, bad, "Ident", "Val");
    FAIL() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message(), "Cannot install into registry. Key: " + bad + " Ident: Ident Value Val");
  }
  try {
    WriteRegInteger(hkCurrentUser, bad, "Ident", 1);
    FAIL() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message(), bad);
  }
}

TEST_F(RegistryRoutines, DeleteKeyTreeRemovesEverythingBelowAndIgnoresWhatIsNotThere) {
  WriteRegString(hkCurrentUser, base_ + "\\Tree\\A\\A1\\A11", "v", "1");
  WriteRegString(hkCurrentUser, base_ + "\\Tree\\A\\A2", "v", "2");
  WriteRegString(hkCurrentUser, base_ + "\\Tree\\B", "v", "3");
  WriteRegString(hkCurrentUser, base_ + "\\Sibling", "v", "4");
  DeleteKeyTree(hkCurrentUser, base_ + "\\Tree\\");
  EXPECT_FALSE(sys::RegKey::Open(sys::RootKey::CurrentUser, base_ + "\\Tree", false).IsOpen());
  EXPECT_EQ(ReadRegString(hkCurrentUser, base_ + "\\Sibling", "v", ""), "4");

  DeleteKeyTree(hkCurrentUser, base_ + "\\Tree");  // gone already: nothing happens
  // An empty path would name the root: nothing is deleted.
  DeleteKeyTree(hkCurrentUser, "");
  DeleteKeyTree(hkCurrentUser, "\\");
  EXPECT_EQ(ReadRegString(hkCurrentUser, base_ + "\\Sibling", "v", ""), "4");
}

// RunOnce lives under HKEY_LOCAL_MACHINE: the names used here are saved and restored.
TEST(RunOnce, UniqueNamesTakeTheFirstFreeNumber) {
  pathstest::SavedValue plain(HKEY_LOCAL_MACHINE, kRunOnceKey, "TavenrikUnfinished");
  pathstest::SavedValue one(HKEY_LOCAL_MACHINE, kRunOnceKey, "TavenrikUnfinished1");
  pathstest::SavedValue two(HKEY_LOCAL_MACHINE, kRunOnceKey, "TavenrikUnfinished2");
  plain.Remove();
  one.Remove();
  two.Remove();

  EXPECT_TRUE(AddRunOnce("TavenrikUnfinished", "\"C:\\a\\setup.exe\" -r \"-sC:\\a\"", true));
  EXPECT_TRUE(AddRunOnce("TavenrikUnfinished", "\"C:\\b\\setup.exe\" -r \"-sC:\\b\"", true));
  EXPECT_EQ(ReadRegString(hkLocalMachine, kRunOnceKey, "TavenrikUnfinished", ""),
            "\"C:\\a\\setup.exe\" -r \"-sC:\\a\"");
  EXPECT_EQ(ReadRegString(hkLocalMachine, kRunOnceKey, "TavenrikUnfinished1", ""),
            "\"C:\\b\\setup.exe\" -r \"-sC:\\b\"");
  EXPECT_EQ(ReadRegString(hkLocalMachine, kRunOnceKey, "TavenrikUnfinished2", "none"), "none");

  // Without Unique the name is reused.
  EXPECT_TRUE(AddRunOnce("TavenrikUnfinished", "again", false));
  EXPECT_EQ(ReadRegString(hkLocalMachine, kRunOnceKey, "TavenrikUnfinished", ""), "again");
  EXPECT_EQ(ReadRegString(hkLocalMachine, kRunOnceKey, "TavenrikUnfinished2", "none"), "none");
}

}  // namespace
