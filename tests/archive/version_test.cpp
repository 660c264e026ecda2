#include "archive/cmp_TVersion.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pe_builder.h"
#include "archive/pe_version.h"
#include "sys/files.h"
#include "sys/unicode.h"

namespace tav {
namespace {

using test::Bytes;

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

Bytes StandardBlock(const test::Fixed& fixed = {}) {
  return test::VersionInfo(fixed, {{u"040904E4",
                                    {{u"CompanyName", u"Acme \u00C6sir"},
                                     {u"FileVersion", u"9.9.9.9"},
                                     {u"ProductVersion", u"2.3 beta"},
                                     {u"Comments", u"note"}}},
                                   {u"040704B0", {{u"CompanyName", u"Acme GmbH"}}}});
}

Bytes Image(bool pe32plus = true, Bytes block = StandardBlock()) {
  test::ImageSpec layout;
  layout.pe32plus = pe32plus;
  layout.languages = {{0x0409, std::move(block)}};
  return test::BuildImage(layout);
}

Bytes VersionOf(const Bytes& image) {
  PeMemorySource source(image.data(), image.size());
  return ReadPeVersionResource(source);
}

std::string Query(const Bytes& block, const std::string& path) {
  std::string value = "<none>";
  QueryVersionString(block, path, value);
  return value;
}

TEST(PeVersion, ReadsPe32AndPe32Plus) {
  for (bool plus : {false, true}) {
    const Bytes block = VersionOf(Image(plus));
    ASSERT_EQ(block, StandardBlock()) << plus;
    FixedFileInfo fixed;
    ASSERT_TRUE(QueryFixedFileInfo(block, fixed));
    EXPECT_EQ(fixed.fileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.fileVersionLS, 5u);
    EXPECT_EQ(fixed.fileType, 1u);
    EXPECT_EQ(Query(block, "\\StringFileInfo\\040904E4\\CompanyName"), "Acme \xC3\x86sir");
    EXPECT_EQ(Query(block, "\\StringFileInfo\\040704B0\\CompanyName"), "Acme GmbH");
  }
}

TEST(PeVersion, QueriesLikeTheSystem) {
  const Bytes block = StandardBlock();
  EXPECT_EQ(Query(block, "\\stringfileinfo\\040904e4\\companyname"), "Acme \xC3\x86sir");  // any case
  EXPECT_EQ(Query(block, "\\StringFileInfo\\040904E4\\Company"), "<none>");  // whole keys only
  EXPECT_EQ(Query(block, "\\StringFileInfo\\040904E4\\CompanyNameX"), "<none>");
  EXPECT_EQ(Query(block, "\\StringFileInfo\\041104E4\\CompanyName"), "<none>");
  EXPECT_EQ(Query(block, "\\"), "<none>");

  // The first of two equal keys wins, and text ends at its first NUL.
  Bytes twice = test::VersionInfo({}, {{u"040904E4", {{u"A", u"first"}, {u"a", u"second"}}}});
  EXPECT_EQ(Query(twice, "\\StringFileInfo\\040904E4\\A"), "first");
  Bytes early = test::VersionInfo({}, {{u"040904E4", {{u"A", std::u16string(u"ab\0cd", 5)}}}});
  EXPECT_EQ(Query(early, "\\StringFileInfo\\040904E4\\A"), "ab");
}

TEST(PeVersion, ChoosesTheVersionEntryAndLanguage) {
  auto withLanguages = [](std::vector<std::uint16_t> ids) {
    test::ImageSpec layout;
    for (std::uint16_t id : ids) {
      layout.languages.push_back(
          {id, test::VersionInfo({}, {{u"040904E4", {{u"Lang", sys::Utf8ToUtf16(std::to_string(id))}}}})});
    }
    return Query(VersionOf(test::BuildImage(layout)), "\\StringFileInfo\\040904E4\\Lang");
  };
  EXPECT_EQ(withLanguages({0x0407, 0x0409}), "1033");
  EXPECT_EQ(withLanguages({0x0407, 0x0409, 0}), "0");
  EXPECT_EQ(withLanguages({0x0407, 0x040C}), "1031");
  EXPECT_EQ(withLanguages({}), "<none>");

  test::ImageSpec other;
  other.languages = {{0x0409, StandardBlock()}};
  other.nameId = 2;  // the system reads name 1 only
  EXPECT_TRUE(VersionOf(test::BuildImage(other)).empty());
  other.nameId = 1;
  other.typeId = 6;  // a string table, not a version
  EXPECT_TRUE(VersionOf(test::BuildImage(other)).empty());
}

TEST(PeVersion, DamagedImagesReadAsNoVersion) {
  const Bytes good = Image();
  // Every truncation either still holds the whole block or reads as none.
  for (std::size_t n = 0; n < good.size(); ++n) {
    const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    const Bytes block = VersionOf(cut);
    ASSERT_TRUE(block.empty() || block == StandardBlock()) << n;
  }
  auto damaged = [&](std::size_t at, std::uint32_t value) {
    Bytes b = good;
    test::Put32(b, at, value);
    return VersionOf(b);
  };
  const std::size_t sec = test::SectionTableAt(true), rsrc = test::kRsrcFile;
  EXPECT_TRUE(damaged(0, 0).empty());                     // no MZ
  EXPECT_TRUE(damaged(0x3C, 0xFFFFFFF0u).empty());        // PE header past the end
  EXPECT_TRUE(damaged(test::kLfanew, 0x00004550u ^ 1).empty());
  EXPECT_TRUE(damaged(test::kLfanew + 24, 0x30B).empty());  // unknown optional header
  EXPECT_TRUE(damaged(sec + 20, 0x7FFFFF00u).empty());    // section data past the end
  EXPECT_EQ(damaged(sec + 16, 0xFFFFFFFFu), StandardBlock());  // a section larger than the file: its bytes still count
  EXPECT_TRUE(damaged(test::kLfanew + 4, 0xFFFF0000u | 0x8664).empty());  // 65535 sections
  EXPECT_TRUE(damaged(rsrc + 12, 0xFFFFFFFFu).empty());   // 131070 directory entries
  EXPECT_TRUE(damaged(rsrc + 20, 0x80000000u).empty());   // the type points back at the root
  EXPECT_TRUE(damaged(rsrc + 0x2C, 0x80000000u | 0x18).empty());  // the name points at itself
  EXPECT_TRUE(damaged(rsrc + 0x44, 0x80000000u | 0x30).empty());  // a language that is a directory
  const std::size_t dataEntry = rsrc + 0x48;
  EXPECT_TRUE(damaged(dataEntry, 0xFFFFFF00u).empty());   // data outside every section
  EXPECT_TRUE(damaged(dataEntry + 4, 3).empty());         // shorter than a block header
  EXPECT_EQ(damaged(dataEntry + 4, 0xFFFFFFFFu), StandardBlock());  // a generous size is harmless
  const std::size_t blockAt = rsrc + (test::Get32(good, dataEntry) - test::kRsrcRva);
  Bytes longBlock = good;
  test::Put16(longBlock, blockAt, 0xFFFF);  // longer than the resource
  EXPECT_TRUE(VersionOf(longBlock).empty());
}

TEST(PeVersion, DamagedBlocksAnswerNothingBeyondTheirBounds) {
  const Bytes block = StandardBlock();
  FixedFileInfo fixed;
  Bytes badSignature = block;
  test::Put32(badSignature, 40, 0);  // the value starts after the padded key
  EXPECT_FALSE(QueryFixedFileInfo(badSignature, fixed));
  Bytes shortValue = block;
  test::Put16(shortValue, 2, 51);
  EXPECT_FALSE(QueryFixedFileInfo(shortValue, fixed));
  EXPECT_FALSE(QueryFixedFileInfo({}, fixed));
  EXPECT_FALSE(QueryFixedFileInfo(Bytes(block.begin(), block.begin() + 60), fixed));

  // StringFileInfo follows the fixed value at 92; damage its length.
  for (std::uint32_t length : {0u, 5u, 0xFFFFu}) {
    Bytes b = block;
    test::Put16(b, 92, length);
    EXPECT_EQ(Query(b, "\\StringFileInfo\\040904E4\\CompanyName"), "<none>") << length;
  }
  // A key without its terminating NUL inside the block is not a key.
  Bytes unterminated = test::VersionBlock(u"VS_VERSION_INFO", 0, test::FixedValue({}), 52,
                                          {test::VersionBlock(u"StringFileInfo", 1, {}, 0)});
  unterminated.resize(unterminated.size() - 4);
  test::Put16(unterminated, 0, static_cast<std::uint32_t>(unterminated.size()));
  test::Put16(unterminated, 92, 4 + 2 * 13);
  EXPECT_EQ(Query(unterminated, "\\StringFileInfo"), "<none>");
  // A text length past the block end stops at the block end.
  Bytes longText = test::VersionInfo({}, {{u"040904E4", {{u"K", u"abc"}}}});
  test::Put16(longText, longText.size() - 12 + 2, 0xFFFF);
  EXPECT_EQ(Query(longText, "\\StringFileInfo\\040904E4\\K"), "abc");
}

class VersionFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = sys::CreateUniqueFile(sys::TempDirectory(), "tver");
    ASSERT_TRUE(sys::RemoveFile(dir_));
    ASSERT_TRUE(sys::MakeDir(dir_));
  }
  void TearDown() override {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      sys::RemoveFile(*it);
      sys::RemoveEmptyDir(*it);
    }
    EXPECT_TRUE(sys::RemoveEmptyDir(dir_));
  }
  std::string Path(const std::string& name) {
    made_.push_back(dir_ + kSep + name);
    return made_.back();
  }
  std::string Write(const std::string& name, const Bytes& bytes, std::uint32_t dosDate = 0) {
    const std::string p = Path(name);
    sys::File f = sys::File::Open(p, sys::OpenMode::Create);
    EXPECT_EQ(f.Write(bytes.data(), bytes.size()), bytes.size());
    if (dosDate) {
      EXPECT_TRUE(f.SetDosDateTime(dosDate));
    }
    return p;
  }
  std::string dir_;
  std::vector<std::string> made_;
};

TEST_F(VersionFiles, ResourceReadsTheDefaultTableAndTheFixedVersion) {
  test::Fixed fixed;
  fixed.os = 0x40000, fixed.type = 3, fixed.subtype = 9;
  const std::string p = Write("a.dll", Image(true, StandardBlock(fixed)));
  TVersionResource r(nullptr);
  r.SetFileName(p);
  const TVersionInfo& v = r.VersionInfo();
  EXPECT_EQ(v.FileVersion(), "1.0.0.5");  // not the table's 9.9.9.9
  EXPECT_EQ(v.ProductVersion(), "2.3 beta");  // the table's replaces the fixed 2.3.4.5
  EXPECT_EQ(v.CompanyName(), "Acme \xC3\x86sir");
  EXPECT_EQ(v.Comment(), "note");
  EXPECT_EQ(v.FileOS(), "Windows NT");
  EXPECT_EQ(v.FileType(), "Device Driver");
  EXPECT_EQ(v.FileSubType(), "Sound");
  EXPECT_EQ(v.SpecialBuild(), "");

  r.SetCharacterSet(csUnicode);  // 040904B0: no such table, the fixed values stay
  EXPECT_EQ(r.VersionInfo().CompanyName(), "");
  EXPECT_EQ(r.VersionInfo().ProductVersion(), "2.3.4.5");
  r.SetLanguage(lnGerman);  // 040704B0
  EXPECT_EQ(r.VersionInfo().CompanyName(), "Acme GmbH");

  r.SetFileName(Write("plain.txt", Bytes{'h', 'i'}));
  EXPECT_EQ(r.VersionInfo().FileVersion(), "");
  EXPECT_EQ(r.VersionInfo().FileOS(), "");
  r.SetFileName(Path("missing.dll"));
  EXPECT_EQ(r.VersionInfo().CompanyName(), "");
  EXPECT_EQ(ReadFileVersion(p), "1.0.0.5");
  EXPECT_EQ(ReadFileVersion(Path("missing.dll")), "");
}

TEST_F(VersionFiles, TextsOfTheFixedFields) {
  struct Case {
    std::uint32_t os, type, subtype;
    const char *osText, *typeText, *subText;
  } cases[] = {
      {0x10004, 4, 3, "32 bit Windows with MS-Dos", "Font", "TrueType"},
      {0x30003, 4, 4, "32 bit OS/2 with Presentation Manager", "Font", "Unknown"},
      {0x4, 3, 10, "32 bit Windows", "Device Driver", "Communications"},
      {0x40004, 3, 11, "Windows NT with 32 bit Windows", "Device Driver", "Unknown"},
      {0x50000, 7, 3, "Unknown", "Static-Link Library", ""},
      {0, 6, 0, "Unknown", "Unknown", ""},
  };
  TVersionResource r(nullptr);
  for (const Case& c : cases) {
    test::Fixed fixed;
    fixed.os = c.os, fixed.type = c.type, fixed.subtype = c.subtype;
    r.SetFileName(Write("f" + std::to_string(c.os) + "_" + std::to_string(c.type) + ".dll", Image(false, StandardBlock(fixed))));
    EXPECT_EQ(r.VersionInfo().FileOS(), c.osText);
    EXPECT_EQ(r.VersionInfo().FileType(), c.typeText);
    EXPECT_EQ(r.VersionInfo().FileSubType(), c.subText);
  }
}

TEST_F(VersionFiles, SettersOnlyStoreWhileLoading) {
  RegisterVersionClasses();
  const TClassInfo* cls = FindClass("TVersionResource");
  ASSERT_NE(cls, nullptr);
  std::unique_ptr<TComponent> c(cls->Create(nullptr));
  auto& r = static_cast<TVersionResource&>(*c);
  EXPECT_EQ(r.FileName(), sys::ModuleFileName());
  EXPECT_EQ(r.Language(), lnUSEnglish);
  EXPECT_EQ(r.CharacterSet(), csMultilingual);
  const std::string p = Write("b.dll", Image());
  r.SetState(csLoading);
  cls->FindProperty("FileName")->SetText(r, p);
  cls->FindProperty("Language")->SetOrd(r, lnGerman);
  cls->FindProperty("CharacterSet")->SetOrd(r, csUnicode);
  EXPECT_EQ(r.VersionInfo().CompanyName(), "");
  r.Loaded();
  EXPECT_FALSE(r.HasState(csLoading));
  EXPECT_EQ(r.VersionInfo().CompanyName(), "Acme GmbH");
  EXPECT_EQ(cls->FindProperty("VersionInfo")->GetObject(r), &r.VersionInfo());
  EXPECT_TRUE(cls->FindProperty("Language")->IsDefault(TVersionResource(nullptr)));
}

TEST(CompareVersionStrings, Table) {
  struct {
    const char *a, *b;
    int expected;
  } cases[] = {
      {"1.10", "1.9", 1},   {"1.9", "1.10", 2},    {"1.2.1", "1.2", 1}, {"1.2", "1.2.1", 2},  {"1.2", "1.2", 0},
      {"", "", 0},          {"1.0", "", 1},        {"", "0", 2},        {"1.2.", "1.2", 0},   {"01.2", "1.2", 0},
      {"1.b", "1.a", 1},    {"1.B", "1.a", 2},     {"1.a", "1.10", 1},  {"1.10a", "1.9", 2},  {"-1", "0", 2},
      {"+3", "3", 0},       {" 4", "3", 1},        {"1..2", "1.0.2", 2},
      {"4294967296", "4294967295", 1},  // beyond 32 bits still compares as a number
      {"99999999999999999999.1", "100000000000000000000", 2},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareVersionStrings(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST_F(VersionFiles, OverwriteRules) {
  test::Fixed v2;
  v2.fileMS = 0x00020000, v2.fileLS = 0;
  const std::uint32_t t10 = 44u << 25 | 3u << 21 | 1u << 16 | 10u << 11;  // 2024-03-01 10:00:00
  const std::string newer = Write("new.dll", Image(true, StandardBlock(v2)), t10);
  const std::string older = Write("old.dll", Image(), t10 + 1);  // 1.0.0.5, two seconds later
  const std::string textA = Write("a.txt", Bytes{'a'}, t10);
  const std::string textB = Write("b.txt", Bytes{'b'}, t10 + 2);
  const std::string missing = Path("missing.txt");

  using R = TVersionResource;
  EXPECT_EQ(R::IsFileNewerByName(missing, older, owAlways), 2);
  EXPECT_EQ(R::IsFileNewerByName(newer, older, owNever), 3);
  EXPECT_EQ(R::IsFileNewerByName(newer, missing, owNever), 2);
  EXPECT_EQ(R::IsFileNewerByName(newer, "", owNever), 2);
  EXPECT_EQ(R::IsFileNewerByName(newer, older, owVersion), 2);
  EXPECT_EQ(R::IsFileNewerByName(older, newer, owVersion), 3);
  EXPECT_EQ(R::IsFileNewerByName(older, older, owVersion), 1);
  EXPECT_EQ(R::IsFileNewerByName(newer, older, owDate), 3);
  EXPECT_EQ(R::IsFileNewerByName(older, newer, owDate), 2);
  EXPECT_EQ(R::IsFileNewerByName(missing, newer, owDate), 0);
  EXPECT_EQ(R::IsFileNewerByName(newer, missing, owDate), 0);
  // Without version information both are the same under owVersion; owVersionDate goes on to the dates.
  EXPECT_EQ(R::IsFileNewerByName(textA, textB, owVersion), 1);
  EXPECT_EQ(R::IsFileNewerByName(textA, textB, owVersionDate), 3);
  EXPECT_EQ(R::IsFileNewerByName(textB, textA, owVersionDate), 2);
  EXPECT_EQ(R::IsFileNewerByName(textA, textA, owVersionDate), 1);
  EXPECT_EQ(R::IsFileNewerByName(newer, older, owVersionDate), 2);  // versions differ: dates do not count

  const sys::TDateTime at10 = sys::DosDateTimeToDateTime(t10);
  const double second = 1.0 / 86400;
  EXPECT_EQ(R::IsFileNewerByInfo("1.0.0.5", older, owVersion, 0), 1);
  EXPECT_EQ(R::IsFileNewerByInfo("1.0.0.6", older, owVersion, 0), 2);
  EXPECT_EQ(R::IsFileNewerByInfo("", older, owVersion, 0), 3);
  EXPECT_EQ(R::IsFileNewerByInfo("", missing, owVersion, 0), 1);  // no version, nothing there: not written
  EXPECT_EQ(R::IsFileNewerByInfo("1.0", missing, owVersion, 0), 2);
  EXPECT_EQ(R::IsFileNewerByInfo("", textA, owDate, at10 + 1.9 * second), 1);  // same 2-second step
  EXPECT_EQ(R::IsFileNewerByInfo("", textA, owDate, at10 + 2 * second), 2);
  EXPECT_EQ(R::IsFileNewerByInfo("", textA, owDate, at10 - 0.5 * second), 3);
  EXPECT_EQ(R::IsFileNewerByInfo("", missing, owDate, at10), 0);
  EXPECT_EQ(R::IsFileNewerByInfo("", missing, owVersionDate, at10), 0);
  EXPECT_EQ(R::IsFileNewerByInfo("", textB, owVersionDate, at10), 3);
  EXPECT_EQ(R::IsFileNewerByInfo("1.0.0.5", older, owVersionDate, at10 + 2 * second), 1);
  EXPECT_EQ(R::IsFileNewerByInfo("x", older, owNever, at10), 3);
}

// Reading one file's version, directly or to decide an overwrite, leaves the shared reader where its
// user pointed it.
TEST_F(VersionFiles, ReadingAVersionLeavesTheSharedReaderAlone) {
  test::Fixed v2;
  v2.fileMS = 0x00020000, v2.fileLS = 0x00030004;
  const std::string pointed = Write("pointed.dll", Image());
  const std::string other = Write("other.dll", Image(false, StandardBlock(v2)));
  TVersionResource& shared = VersionResource();
  const std::string before = shared.FileName();
  shared.SetFileName(pointed);
  EXPECT_EQ(ReadFileVersion(other), "2.0.3.4");
  EXPECT_EQ(TVersionResource::IsFileNewerByName(other, pointed, owVersion), 2);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(pointed, other, owVersionDate), 3);
  EXPECT_EQ(shared.FileName(), pointed);
  EXPECT_EQ(shared.VersionInfo().FileVersion(), "1.0.0.5");
  EXPECT_EQ(shared.VersionInfo().CompanyName(), "Acme \xC3\x86sir");
  shared.SetFileName(before);
}

TEST_F(VersionFiles, CreateDirectoriesBuildsParentsFirst) {
  try {
    CreateDirectories("");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to create directory");
  }
  const std::string a = Path("A"), ab = Path("A" + std::string(1, kSep) + "B");
  Path("A" + std::string(1, kSep) + "B" + kSep + "C");
  CreateDirectories(ab + "\\");
  EXPECT_TRUE(DirectoryExists(a));
  EXPECT_TRUE(DirectoryExists(ab));
  EXPECT_FALSE(DirectoryExists(Write("file", Bytes{'x'})));
  CreateDirectories(ab);  // already there: nothing to do
  // Both separators split a path.
  CreateDirectories(ab + "/C");
  EXPECT_TRUE(DirectoryExists(made_[2]));
  CreateDirectories("Q:");  // a drive is never created
  EXPECT_FALSE(DirectoryExists("Q:"));

  // Relative names of one or two characters are folders like any other.
  const std::string o = Path("o"), w7 = Path("w7"), w7x = Path("w7" + std::string(1, kSep) + "x");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::path(dir_));
  CreateDirectories("o");
  CreateDirectories("w7\\x\\");
  std::filesystem::current_path(before);
  EXPECT_TRUE(DirectoryExists(o));
  EXPECT_TRUE(DirectoryExists(w7));
  EXPECT_TRUE(DirectoryExists(w7x));
}

#ifdef TAV_PE_DIR
// Images made from the .rc files by the resource compiler and linker.
std::string Built(const std::string& name) {
  std::string p = std::string(TAV_PE_DIR) + "/" + name;
#ifdef _WIN32
  for (char& c : p) c = c == '/' ? '\\' : c;
  p = "Z:" + p;
#endif
  return p;
}

TEST(BuiltImages, ValuesOfEachResource) {
  TVersionResource r(nullptr);
  r.SetFileName(Built("fixed_wins.dll"));
  const TVersionInfo& v = r.VersionInfo();
  EXPECT_EQ(v.FileVersion(), "1.0.0.5");
  EXPECT_EQ(v.ProductVersion(), "2.3 beta");
  EXPECT_EQ(v.CompanyName(), "T\xC3\xA4venrik \xCE\xA9 Werkstatt");
  EXPECT_EQ(v.LegalCopyright(), "\xC2\xA9 2024 Nobody");
  EXPECT_EQ(v.LegalTradeMarks(), "None at all");
  EXPECT_EQ(v.OriginalFileName(), "fixed_wins.dll");
  EXPECT_EQ(v.Comment(), "Built for the version reader tests");
  EXPECT_EQ(v.PrivateBuild(), "private 7");
  EXPECT_EQ(v.SpecialBuild(), "special 8");
  EXPECT_EQ(v.FileType(), "Application");
  EXPECT_EQ(v.FileOS(), "Windows NT with 32 bit Windows");

  r.SetFileName(Built("no_default_table.dll"));
  EXPECT_EQ(v.FileVersion(), "3.1.4.1");
  EXPECT_EQ(v.CompanyName(), "");
  EXPECT_EQ(v.ProductVersion(), "3.1.4.1");
  r.SetCharacterSet(csUnicode);
  EXPECT_EQ(v.CompanyName(), "Unicode Table Inc.");
  EXPECT_EQ(v.ProductVersion(), "3.1.4.1-u");

  r.SetCharacterSet(csMultilingual);
  r.SetFileName(Built("other_language.dll"));
  EXPECT_EQ(v.FileVersion(), "65535.0.1.65535");
  EXPECT_EQ(v.CompanyName(), "");
  r.SetLanguage(lnCanadianFrench);
  EXPECT_EQ(v.CompanyName(), "Soci\xC3\xA9t\xC3\xA9 canadienne");
  r.SetLanguage(lnJapanese);
  r.SetCharacterSet(csASCII);
  EXPECT_EQ(v.CompanyName(), "");
  r.SetCharacterSet(csJapan);  // code page 932: 041103A4
  EXPECT_EQ(v.CompanyName(), "Japanese table");
  EXPECT_EQ(v.FileType(), "Static-Link Library");

  r.SetLanguage(lnUSEnglish);
  r.SetCharacterSet(csMultilingual);
  r.SetFileName(Built("driver32.dll"));
  EXPECT_EQ(v.FileVersion(), "5.6.7.8");
  EXPECT_EQ(v.FileSubType(), "Sound");
  EXPECT_EQ(v.Comment(), "old-style key");
  r.SetFileName(Built("font.dll"));
  EXPECT_EQ(v.FileType(), "Font");
  EXPECT_EQ(v.FileSubType(), "TrueType");
  EXPECT_EQ(v.FileOS(), "Unknown");
}
#endif

}  // namespace
}  // namespace tav
