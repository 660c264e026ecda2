#include <gtest/gtest.h>

#include "core/exceptions_Tavenrik.h"
#include "engine/cleanup.h"
#include "engine/command_line.h"

using namespace tav;

namespace {

std::string InvalidMessage(const std::vector<std::string>& args) {
  try {
    ParseCommandLine(args);
  } catch (const IException& e) {
    return e.Message();
  }
  return "no error";
}

TEST(CommandLine, SwitchesValuesAndCase) {
  const TCommandSwitches s = ParseCommandLine({"-S C:\\My Build", "-b", "-eSETUP.EXE", "-c", "-sD:\\Later"});
  EXPECT_TRUE(s.Has(swSource));
  EXPECT_TRUE(s.Has(swBuild));
  EXPECT_TRUE(s.Has(swCleanup));
  EXPECT_FALSE(s.Has(swDebug));
  EXPECT_EQ(s.Value(swSource), "D:\\Later");  // the later -s wins
  EXPECT_EQ(s.Value(swBuild), "");
  EXPECT_EQ(s.Value(swSelfExtract), "SETUP.EXE");
  EXPECT_EQ(ParseCommandLine({}).Switches, 0u);
  EXPECT_EQ(ParseCommandLine({"-R", "-F", "-D"}).Switches, (1u << swAfterReboot) | (1u << swFloppies) | (1u << swDebug));
}

// The unattended switches: -q, -l and -p parse like the others, and -q and -l are also read before the
// project loads, from a command line that the full parse refuses.
TEST(CommandLine, UnattendedSwitches) {
  const TCommandSwitches s = ParseCommandLine({"-Q", "-lC:\\logs\\setup.log", "-pD:\\Apps\\Demo"});
  EXPECT_TRUE(s.Has(swQuiet));
  EXPECT_EQ(s.Value(swLog), "C:\\logs\\setup.log");
  EXPECT_EQ(s.Value(swFolder), "D:\\Apps\\Demo");
  EXPECT_FALSE(s.Has(swSource));

  const TRunOptions options = ReadRunOptions({"x", "-q", "-", "-L", "-lrun.log", "-z"});
  EXPECT_TRUE(options.Quiet);
  EXPECT_TRUE(options.HasLog);
  EXPECT_EQ(options.Log, "run.log");  // the later one
  const TRunOptions none = ReadRunOptions({"-s-q", "q", "-b"});
  EXPECT_FALSE(none.Quiet);
  EXPECT_FALSE(none.HasLog);
}

TEST(CommandLine, BadArgumentsNameThemselves) {
  const std::string tail =
      ". Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), -e (Called by "
      "self-extractor), -r (After reboot), -q (Quiet: no window), -l (Log file), -p (Install folder)";
  EXPECT_EQ(InvalidMessage({"-x"}), "Invalid parameter <-x>" + tail);
  EXPECT_EQ(InvalidMessage({"x"}), "Invalid parameter <x>" + tail);
  EXPECT_EQ(InvalidMessage({"-"}), "Invalid parameter <->" + tail);
  EXPECT_EQ(InvalidMessage({"-s", "/b"}), "Invalid parameter </b>" + tail);
  EXPECT_THROW(ParseCommandLine({"-b", ""}), IException);
}

TEST(Cleanup, OnlyAFolderOfItsOwnInsideTheTemporaryFolderIsRemoved) {
  EXPECT_TRUE(IsStrictlyInside("C:\\Temp\\setup1", "C:\\TEMP\\"));
  EXPECT_FALSE(IsStrictlyInside("C:\\Temp", "C:\\Temp"));
  EXPECT_FALSE(IsStrictlyInside("C:\\TempPlus\\x", "C:\\Temp"));
  EXPECT_FALSE(IsStrictlyInside("C:\\Temp\\..\\Windows", "C:\\Temp"));
  EXPECT_FALSE(IsStrictlyInside("\\\\server\\Temp\\x", "C:\\Temp"));
  EXPECT_FALSE(IsStrictlyInside("D:\\Temp\\x", "C:\\Temp"));
  EXPECT_FALSE(IsStrictlyInside("C:\\anything", ""));

  // Run from the distribution folder itself: nothing is removed but the presetup files.
  EXPECT_TRUE(CleanupBatchLines("D:\\Setup Disk\\setup.exe", "C:\\Temp\\bat1.bat", "C:\\Temp", true).empty());
  EXPECT_TRUE(CleanupBatchLines("C:\\Temp\\setup.exe", "C:\\Temp\\bat1.bat", "C:\\Temp", true).empty());

  const auto nt = CleanupBatchLines("C:\\Temp\\Copy 1\\setup.exe", "C:\\Temp\\bat1.bat", "C:\\Temp", true);
  std::string all;
  for (const std::string& l : nt) all += l + "\n";
  EXPECT_NE(all.find("del /f /q \"C:\\Temp\\Copy 1\\setup.exe\""), std::string::npos);
  EXPECT_NE(all.find("rmdir /s /q \"C:\\Temp\\Copy 1\"\n"), std::string::npos);
  EXPECT_NE(all.find("del /f /q \"C:\\Temp\\bat1.PIF\""), std::string::npos);
  EXPECT_EQ(nt.back(), "del /f /q \"C:\\Temp\\bat1.bat\" >nul 2>&1");
  // Every folder the batch removes lies inside the temporary folder.
  for (const std::string& l : nt) {
    if (l.rfind("rmdir", 0) == 0) {
      EXPECT_TRUE(IsStrictlyInside(l.substr(13, l.size() - 14), "C:\\Temp")) << l;
    }
  }

  const auto w95 = CleanupBatchLines("C:\\Temp\\Copy\\setup.exe", "C:\\Temp\\bat1.bat", "C:\\Temp", false);
  ASSERT_EQ(w95.size(), 4u);
  EXPECT_EQ(w95[0], "ERASE \"C:\\Temp\\Copy\\setup.exe\"");
  EXPECT_EQ(w95[1], "DELTREE /Y \"C:\\Temp\\Copy\"");
  EXPECT_EQ(w95[2], "ERASE \"C:\\Temp\\bat1.PIF\"");
  EXPECT_EQ(w95[3], "ERASE \"C:\\Temp\\bat1.bat\"");
}

}  // namespace
