#include <gtest/gtest.h>

#include "core/exceptions_Tavenrik.h"
#include "core/format.h"
#include "core/graphics.h"
#include "core/routines_Strings.h"
#include "core/strings.h"

using namespace tav;

namespace {

TEST(Format, PlaceholdersWidthsAndThousands) {
  EXPECT_EQ(Format("Cannot open the file %s", "a.txt"), "Cannot open the file a.txt");
  EXPECT_EQ(Format("%d is an invalid index", -3), "-3 is an invalid index");
  EXPECT_EQ(Format("%0.0n bytes", 1234567.0), "1,234,567 bytes");
  EXPECT_EQ(Format("%0.0n", 999), "999");
  EXPECT_EQ(Format("%.2n", -1234.5), "-1,234.50");
  EXPECT_EQ(Format("[%5s|%-3d]", "ab", 7), "[   ab|7  ]");
  EXPECT_EQ(Format("100%% of %s", "x"), "100% of x");
  EXPECT_EQ(Format("%.3d %x", 5, 255), "005 FF");
  // A placeholder without an argument stays visible rather than reading garbage.
  EXPECT_EQ(Format("%s and %s", "one"), "one and %s");
}

TEST(Exceptions, InstallMessagesPassThroughTheTranslatorBeforeFormatting) {
  SetMessageTranslator([](const std::string& english) {
    if (english == "Cannot open %s") return std::string("Kann %s nicht oeffnen");
    if (english == "Plain") return std::string("Schlicht");
    return english;
  });
  EXPECT_EQ(IEInstall(std::string("Plain")).Message(), "Schlicht");
  EXPECT_EQ(IEInstall("Cannot open %s", "x.dll").Message(), "Kann x.dll nicht oeffnen");
  // Non-install classes keep their message as given.
  EXPECT_EQ(ETvrkCompress(std::string("Plain")).Message(), "Plain");
  SetMessageTranslator(nullptr);
  EXPECT_EQ(IEInstall(std::string("Plain")).Message(), "Plain");

  EAIUserAbort abort;
  EXPECT_STREQ(abort.what(), "Installation aborted by the user");
  EXPECT_STREQ(abort.ClassName(), "EAIUserAbort");
  // The family tree: callers catch by base class.
  EXPECT_THROW(throw EtcDiskFull(std::string("The disk is full")), ETvrkCompress);
  EXPECT_THROW(throw IEfcDuplicateFile(std::string("x")), IException);
  EXPECT_THROW(throw IEInstallNetLocNil(std::string("x")), ECustomTavenrikAbnormal);
  EXPECT_THROW(throw EAICannotExpandInstallDirMV(std::string("x")), EAI);
}

TEST(Routines, TrailingBackslashes) {
  EXPECT_EQ(IncludeTrailingBackslash(""), "");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\a\\\\"), "C:\\a\\");
  EXPECT_EQ(ExcludeTrailingBackslash(""), "");
}

TEST(Routines, Fields) {
  EXPECT_EQ(CountFields(""), 0);
  EXPECT_EQ(CountFields("a"), 1);
  EXPECT_EQ(CountFields("a;b"), 2);
  EXPECT_EQ(CountFields("a;b;"), 2);
  EXPECT_EQ(CountFields(";"), 1);
  EXPECT_EQ(GetField("a;b", 2, ';'), "b");
  EXPECT_EQ(GetField("a;b", 3, ';'), "");
  EXPECT_EQ(GetField("a;b;c", 1, ';'), "a");
  EXPECT_EQ(GetField("x.y.z", 3, '.'), "z");
  EXPECT_EQ(GetField("a;;c", 2, ';'), "");
  TStringList list;
  list.Add("old");
  SplitFields("one;two;;four", ';', list);
  EXPECT_EQ(list.ToVector(), (std::vector<std::string>{"one", "two", "", "four"}));
  std::string result = "unchanged";
  EXPECT_FALSE(TextAfterColon("no colon", result));
  EXPECT_EQ(result, "unchanged");
  EXPECT_TRUE(TextAfterColon("key: a:b", result));
  EXPECT_EQ(result, " a:b");
}

TEST(Routines, FileNamesAndSafeNames) {
  EXPECT_EQ(MakeFileNameSafe("www.example.com/downloads"), "www.example.com-downloads");
  EXPECT_EQ(MakeFileNameSafe("a\"*:;<>?\\|b\x01\xe9"), "ab\x01\xe9");
  EXPECT_EQ(ExtractFilePath("C:\\dir\\file.txt"), "C:\\dir\\");
  EXPECT_EQ(ExtractFileName("C:\\dir\\file.txt"), "file.txt");
  EXPECT_EQ(ExtractFileName("C:file"), "file");
  EXPECT_EQ(ExtractFileExt("C:\\d.x\\file"), "");
  EXPECT_EQ(ChangeFileExt("C:\\d.x\\files.1", ".12"), "C:\\d.x\\files.12");
  EXPECT_EQ(ChangeFileExt("/tmp/setup", ".1"), "/tmp/setup.1");
  EXPECT_EQ(Trim("  a b \t"), "a b");
  EXPECT_EQ(Trim("\r\n\x01 x\x1f "), "x");
  EXPECT_EQ(Trim(" \t "), "");
}

// One comparison without regard to case serves SameText, sorting and the string lists' lookups. It folds
// ASCII letters only: bytes of UTF-8 and code-page letters are compared as they are.
TEST(Routines, CaseIsFoldedForAsciiLettersOnly) {
  EXPECT_TRUE(SameText("TInstall", "tinstall"));
  EXPECT_FALSE(SameText("TInstall", "TInstall1"));
  EXPECT_FALSE(SameText("\xC3\x86sir", "\xC3\xA6sir"));  // AE and ae in UTF-8
  EXPECT_FALSE(SameText("\xC9", "\xE9"));                // E acute in Windows-1252, both cases
  EXPECT_EQ(CompareText("abc", "ABD"), -1);
  EXPECT_EQ(CompareText("ABD", "abc"), 1);
  EXPECT_EQ(CompareText("ab", "AB"), 0);
  EXPECT_EQ(CompareText("ab", "ABC"), -1);
  EXPECT_EQ(CompareText("_", "a"), -1);  // '_' sorts before letters of either case, as lower case
  EXPECT_EQ(CompareText("\xE9", "z"), 1);  // bytes compare unsigned
  EXPECT_EQ(LowerCase("Setup.EXE \xC9"), "setup.exe \xC9");
  EXPECT_EQ(UpperCase("setup.exe \xE9"), "SETUP.EXE \xE9");

  TStringList list;
  list.SetStrings({"Beta", "alpha", "Path=C:\\x", "_first"});
  EXPECT_EQ(list.IndexOf("ALPHA"), 1);
  EXPECT_EQ(list.IndexOf("\xC9"), -1);
  EXPECT_EQ(list.Values("PATH"), "C:\\x");
  list.Sort();
  EXPECT_EQ(list.ToVector(), (std::vector<std::string>{"_first", "alpha", "Beta", "Path=C:\\x"}));
}

TEST(Graphics, BitmapAndPictureDataKeepTheirStreamLayout) {
  // A 1x1 24-bit BMP.
  std::string bmp = "BM";
  bmp += std::string("\x3a\0\0\0\0\0\0\0\x36\0\0\0", 12);
  bmp += std::string("\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0", 16);
  bmp += std::string(24, '\0');
  TPicture picture;
  TBitmap bitmap;
  bitmap.SetBmp(bmp);
  picture.Assign(bitmap);
  const std::string data = picture.Data();
  EXPECT_EQ(data.substr(0, 8), std::string("\x07TBitmap"));
  EXPECT_EQ(static_cast<unsigned char>(data[8]), bmp.size());
  TPicture copy;
  copy.SetData(data);
  EXPECT_EQ(copy.Data(), data);
  EXPECT_EQ(copy.Bitmap().Width(), 1);
  EXPECT_EQ(copy.Bitmap().Height(), 1);
  EXPECT_THROW(copy.SetData(std::string("\x07TBitmap\x05\0\0\0XX", 14)), EReadError);
  EXPECT_THROW(bitmap.SetBmp("not a bitmap at all"), EReadError);

  TFont font;
  int changes = 0;
  font.OnChange = [&](TFont&) { ++changes; };
  font.SetSize(8);
  EXPECT_EQ(font.Height(), -11);  // already the default: no change
  font.SetSize(12);
  EXPECT_EQ(font.Height(), -16);
  EXPECT_EQ(font.Size(), 12);
  EXPECT_EQ(changes, 1);
}

}  // namespace
