#include "archive/cmp_TVersion.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>

#include "archive/pe_version.h"
#include "core/properties.h"
#include "core/routines_Strings.h"
#include "sys/files.h"

namespace tav {

constexpr std::string_view kOverwriteTypeNames[] = {"owAlways", "owNever", "owVersion", "owDate", "owVersionDate"};
constinit const TNameList OverwriteTypeNames(kOverwriteTypeNames);

constexpr std::string_view kLanguageNames[] = {
    "lnArabic", "lnBulgarian", "lnCatalan", "lnTraditionalChinese", "lnCzech", "lnDanish", "lnGerman", "lnGreek",
    "lnUSEnglish", "lnCastilianSpanish", "lnFinnish", "lnFrench", "lnHebrew", "lnHungarian", "lnIcelandic", "lnItalian",
    "lnJapanese", "lnKorean", "lnDutch", "lnNorwegianBokmal", "lnPolish", "lnBrazilianPortuguese", "lnRhaetoRomanic",
    "lnRomanian", "lnRussian", "lnCroatoSerbian", "lnSlovak", "lnAlbanian", "lnSwedish", "lnThai", "lnTurkish",
    "lnUrdu", "lnBahasa", "lnSimplifiedChinese", "lnSwissGerman", "lnUKEnglish", "lnMexicanSpanish", "lnBelgianFrench",
    "lnSwissItalian", "lnBelgianDutch", "lnNorwegianNynorsk", "lnPortuguese", "lnSerboCroatian", "lnCanadianFrench",
    "lnSwissFrench"};
constinit const TNameList LanguageNames(kLanguageNames);

constexpr std::string_view kCharacterSetNames[] = {
    "csASCII", "csJapan", "csKorea", "csTaiwan", "csUnicode", "csLatin2", "csCyrillic", "csMultilingual", "csGreek",
    "csTurkish", "csHebrew", "csArabic"};
constinit const TNameList CharacterSetNames(kCharacterSetNames);

namespace {

const std::uint16_t kLanguageIds[] = {
    0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A, 0x040B, 0x040C,
    0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418,
    0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0804, 0x0807, 0x0809,
    0x080A, 0x080C, 0x0810, 0x0813, 0x0814, 0x0816, 0x081A, 0x0C0C, 0x100C};
const std::uint16_t kCodePages[] = {0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256};

static_assert(std::size(kLanguageIds) == lnSwissFrench + 1);
static_assert(std::size(kCodePages) == csArabic + 1);

std::string Dotted(std::uint32_t ms, std::uint32_t ls) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
  return buf;
}

std::string FileOSText(std::uint32_t os) {
  switch (os) {
    case 0x1: return "Windows 3.0 or later";
    case 0x2: return "16 bit OS/2 Presentation Manager";
    case 0x3: return "32 bit OS/2 Presentation Manager";
    case 0x4: return "32 bit Windows";
    case 0x10000: return "MS-Dos";
    case 0x10001: return "Windows 3.0 or later with MS-Dos";
    case 0x10004: return "32 bit Windows with MS-Dos";
    case 0x20000: return "16 bit OS/2";
    case 0x20002: return "16 bit OS/2 with Presentation Manager";
    case 0x30000: return "32 bit OS/2";
    case 0x30003: return "32 bit OS/2 with Presentation Manager";
    case 0x40000: return "Windows NT";
    case 0x40004: return "Windows NT with 32 bit Windows";
    default: return "Unknown";
  }
}

std::string FileTypeText(std::uint32_t type) {
  switch (type) {
    case 1: return "Application";
    case 2: return "Dynamic-Link Library";
    case 3: return "Device Driver";
    case 4: return "Font";
    case 5: return "Virtual Device Driver";
    case 7: return "Static-Link Library";
    default: return "Unknown";
  }
}

std::string FileSubTypeText(std::uint32_t type, std::uint32_t subtype) {
  static const char* const kDrivers[] = {"Printer", "Keyboard", "Language", "Display",     "Mouse",
                                         "Network", "System",   "Installable", "Sound", "Communications"};
  static const char* const kFonts[] = {"Raster", "Vector", "TrueType"};
  if (type == 3) return subtype >= 1 && subtype <= std::size(kDrivers) ? kDrivers[subtype - 1] : "Unknown";
  if (type == 4) return subtype >= 1 && subtype <= std::size(kFonts) ? kFonts[subtype - 1] : "Unknown";
  return "";
}

// Integer form of a version field: optional leading blanks and sign, then decimal digits only.
// Any length is accepted, so that large numbers still compare as numbers.
bool ParseNumber(const std::string& field, bool& negative, std::string& digits) {
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  if (i == field.size()) return false;
  for (std::size_t j = i; j < field.size(); ++j) {
    if (field[j] < '0' || field[j] > '9') return false;
  }
  while (i + 1 < field.size() && field[i] == '0') ++i;
  digits = field.substr(i);
  if (digits == "0") negative = false;
  return true;
}

// <0, 0, >0 as a is less than, equal to or greater than b.
int CompareNumbers(bool negA, const std::string& a, bool negB, const std::string& b) {
  if (negA != negB) return negA ? -1 : 1;
  int magnitude = a.size() != b.size() ? (a.size() < b.size() ? -1 : 1) : a.compare(b);
  if (magnitude != 0) magnitude = magnitude < 0 ? -1 : 1;
  return negA ? -magnitude : magnitude;
}

std::string Field(const std::string& text, std::size_t index) {
  std::size_t start = 0;
  for (std::size_t k = 0; k < index; ++k) {
    const std::size_t dot = text.find('.', start);
    if (dot == std::string::npos) return "";
    start = dot + 1;
  }
  const std::size_t dot = text.find('.', start);
  return text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

std::size_t FieldCount(const std::string& text) {
  std::size_t n = 1;
  for (char c : text) n += c == '.';
  return n;
}

// A point in time in milliseconds, counting the negative day numbers' positive time of day correctly.
std::int64_t TimelineMs(sys::TDateTime t) {
  const double days = std::trunc(t);
  return static_cast<std::int64_t>(days) * 86400000 + std::llround(std::fabs(t - days) * 86400000.0);
}

// The 2-second steps of DOS file times; odd seconds fall to the even one below, as the DOS form does.
std::int64_t TwoSecondStep(sys::TDateTime t) {
  const std::int64_t ms = TimelineMs(t);
  return ms >= 0 ? ms / 2000 : -((-ms + 1999) / 2000);
}

// Newer/same/older of a date against a file's last write. 0 when the file cannot be opened.
std::uint8_t CompareDates(sys::TDateTime source, const std::string& dest) {
  sys::File file = sys::File::Open(dest, sys::OpenMode::ReadShared);
  if (!file.IsOpen()) return 0;
  const sys::TDateTime written = file.LastWriteTime();
  if (written == 0) return 0;
  const std::int64_t a = TwoSecondStep(source), b = TwoSecondStep(written);
  return a > b ? 2 : a == b ? 1 : 3;
}

std::uint8_t FromVersionOrder(int order) { return order == 0 ? 1 : order == 1 ? 2 : 3; }

std::uint8_t Decide(const std::string& sourceVersion, const std::string& dest, TOverwriteType rule,
                    const std::function<sys::TDateTime(bool&)>& sourceDate) {
  auto byDate = [&]() -> std::uint8_t {
    bool ok = false;
    const sys::TDateTime date = sourceDate(ok);
    return ok ? CompareDates(date, dest) : 0;
  };
  switch (rule) {
    case owAlways:
      return 2;
    case owNever:
      return !dest.empty() && sys::FileExists(dest) ? 3 : 2;
    case owVersion:
      return FromVersionOrder(CompareVersionStrings(sourceVersion, ReadFileVersion(dest)));
    case owDate:
      return byDate();
    case owVersionDate: {
      const int order = CompareVersionStrings(sourceVersion, ReadFileVersion(dest));
      return order != 0 ? FromVersionOrder(order) : byDate();
    }
  }
  return 0;
}

#ifdef _WIN32
constexpr bool kPosix = false;
#else
constexpr bool kPosix = true;
#endif

void CreateDirectoriesFrom(const std::string& given, bool top) {
  if (given.empty()) {
    if (top) throw Exception(std::string("Unable to create directory"));
    return;  // a relative name's parent: nothing left to create
  }
  std::string dir = given;
  if (IsPathDelimiter(dir.back())) dir.pop_back();
  // "C:" and the like are drives, never created; any other name, however short, is a folder.
  const bool drive = dir.size() == 2 && dir[1] == ':' && std::isalpha(static_cast<unsigned char>(dir[0]));
  if (dir.empty() || drive || DirectoryExists(dir)) return;
  std::size_t cut = dir.size();
  while (cut > 0 && !IsPathDelimiter(dir[cut - 1])) --cut;
  const std::string parent = dir.substr(0, cut);
  if (parent != dir) CreateDirectoriesFrom(parent, false);
  sys::MakeDir(dir);
}

}  // namespace

std::uint16_t LanguageId(TLanguage language) {
  return language >= lnArabic && language <= lnSwissFrench ? kLanguageIds[language] : 0x0409;
}

std::uint16_t CodePage(TCharacterSet characterSet) {
  return characterSet >= csASCII && characterSet <= csArabic ? kCodePages[characterSet] : 1252;
}

// ---------------------------------------------------------------------------------------------------------

const TClassInfo& TVersionInfo::StaticClassInfo() {
  using P = Props<TVersionInfo>;
  using V = TVersionInfo;
  static constexpr TPropInfo props[] = {
      P::String<&V::Comment, &V::SetComment>("Comment"),
      P::String<&V::CompanyName, &V::SetCompanyName>("CompanyName"),
      P::String<&V::FileDescription, &V::SetFileDescription>("FileDescription"),
      P::String<&V::FileVersion, &V::SetFileVersion>("FileVersion"),
      P::String<&V::InternalName, &V::SetInternalName>("InternalName"),
      P::String<&V::LegalCopyright, &V::SetLegalCopyright>("LegalCopyright"),
      P::String<&V::LegalTradeMarks, &V::SetLegalTradeMarks>("LegalTradeMarks"),
      P::String<&V::OriginalFileName, &V::SetOriginalFileName>("OriginalFileName"),
      P::String<&V::PrivateBuild, &V::SetPrivateBuild>("PrivateBuild"),
      P::String<&V::ProductName, &V::SetProductName>("ProductName"),
      P::String<&V::ProductVersion, &V::SetProductVersion>("ProductVersion"),
      P::String<&V::SpecialBuild, &V::SetSpecialBuild>("SpecialBuild"),
      P::String<&V::FileOS, &V::SetFileOS>("FileOS"),
      P::String<&V::FileType, &V::SetFileType>("FileType"),
      P::String<&V::FileSubType, &V::SetFileSubType>("FileSubType"),
  };
  static constexpr TClassInfo info = MakeClassInfo<V, TPersistent>("TVersionInfo", props);
  return info;
}

void TVersionInfo::Clear() { *this = TVersionInfo(); }

void TVersionInfo::Assign(const TPersistent& source) {
  if (const auto* other = dynamic_cast<const TVersionInfo*>(&source)) {
    *this = *other;
    return;
  }
  TPersistent::Assign(source);
}

// ---------------------------------------------------------------------------------------------------------

TVersionResource::TVersionResource(TComponent* owner) : TComponent(owner), fileName_(sys::ModuleFileName()) {
  Read();
}

const TClassInfo& TVersionResource::StaticClassInfo() {
  using P = Props<TVersionResource>;
  using R = TVersionResource;
  static constexpr TPropInfo props[] = {
      P::String<[](const R& r) { return r.FileName(); }, &R::SetFileName>("FileName"),
      P::Enum<&R::Language, &R::SetLanguage>("Language", LanguageNames, lnUSEnglish),
      P::Enum<&R::CharacterSet, &R::SetCharacterSet>("CharacterSet", CharacterSetNames, csMultilingual),
      P::Object<[](R& r) -> TPersistent* { return &r.info_; }>("VersionInfo"),
  };
  static constexpr TClassInfo info = MakeClassInfo<R, TComponent>("TVersionResource", props);
  return info;
}

const TClassInfo& TVersionResource::ClassInfo() const { return StaticClassInfo(); }

void TVersionResource::SetFileName(const std::string& fileName) {
  fileName_ = fileName;
  if (!HasState(csLoading)) Read();
}

void TVersionResource::SetLanguage(TLanguage language) {
  if (language < lnArabic || language > lnSwissFrench) return;
  language_ = language;
  if (!HasState(csLoading)) Read();
}

void TVersionResource::SetCharacterSet(TCharacterSet characterSet) {
  if (characterSet < csASCII || characterSet > csArabic) return;
  characterSet_ = characterSet;
  if (!HasState(csLoading)) Read();
}

void TVersionResource::Loaded() {
  TComponent::Loaded();
  Read();
}

void TVersionResource::Read() {
  info_.Clear();
  const std::vector<std::uint8_t> block = ReadPeVersionResourceFile(fileName_);
  FixedFileInfo fixed;
  if (block.empty() || !QueryFixedFileInfo(block, fixed)) return;
  info_.SetFileVersion(Dotted(fixed.fileVersionMS, fixed.fileVersionLS));
  info_.SetProductVersion(Dotted(fixed.productVersionMS, fixed.productVersionLS));
  info_.SetFileOS(FileOSText(fixed.fileOS));
  info_.SetFileType(FileTypeText(fixed.fileType));
  info_.SetFileSubType(FileSubTypeText(fixed.fileType, fixed.fileSubtype));

  char table[32];
  std::snprintf(table, sizeof table, "\\StringFileInfo\\%04X%04X\\", LanguageId(language_), CodePage(characterSet_));
  const std::string prefix = table;
  auto take = [&](const char* key, void (TVersionInfo::*set)(const std::string&)) {
    std::string value;
    if (!QueryVersionString(block, prefix + key, value)) return false;
    (info_.*set)(value);
    return true;
  };
  // The standard key is "Comments"; "Comment" is still read for files that use it.
  if (!take("Comments", &TVersionInfo::SetComment)) take("Comment", &TVersionInfo::SetComment);
  take("CompanyName", &TVersionInfo::SetCompanyName);
  take("FileDescription", &TVersionInfo::SetFileDescription);
  take("InternalName", &TVersionInfo::SetInternalName);
  take("LegalCopyright", &TVersionInfo::SetLegalCopyright);
  take("LegalTradeMarks", &TVersionInfo::SetLegalTradeMarks);
  take("OriginalFileName", &TVersionInfo::SetOriginalFileName);
  take("PrivateBuild", &TVersionInfo::SetPrivateBuild);
  take("ProductName", &TVersionInfo::SetProductName);
  take("ProductVersion", &TVersionInfo::SetProductVersion);
  take("SpecialBuild", &TVersionInfo::SetSpecialBuild);
}

std::uint8_t TVersionResource::IsFileNewerByName(const std::string& source, const std::string& dest,
                                                 TOverwriteType rule) {
  const std::string sourceVersion = rule == owVersion || rule == owVersionDate ? ReadFileVersion(source) : "";
  return Decide(sourceVersion, dest, rule, [&](bool& ok) {
    sys::File file = sys::File::Open(source, sys::OpenMode::ReadShared);
    const sys::TDateTime t = file.IsOpen() ? file.LastWriteTime() : 0;
    ok = file.IsOpen() && t != 0;
    return t;
  });
}

std::uint8_t TVersionResource::IsFileNewerByInfo(const std::string& version, const std::string& dest,
                                                 TOverwriteType rule, sys::TDateTime date) {
  return Decide(version, dest, rule, [&](bool& ok) {
    ok = true;
    return date;
  });
}

TVersionResource& VersionResource() {
  static std::unique_ptr<TVersionResource> shared;
  if (!shared) shared = std::make_unique<TVersionResource>(nullptr);
  return *shared;
}

namespace {
std::string FileVersionOf(const std::vector<std::uint8_t>& block) {
  FixedFileInfo fixed;
  if (block.empty() || !QueryFixedFileInfo(block, fixed)) return std::string();
  return Dotted(fixed.fileVersionMS, fixed.fileVersionLS);
}
}  // namespace

std::string ReadFileVersion(const std::string& path) { return FileVersionOf(ReadPeVersionResourceFile(path)); }

std::string ReadFileVersion(sys::File& file) { return FileVersionOf(ReadPeVersionResourceFile(file)); }

int CompareVersionStrings(const std::string& a, const std::string& b) {
  const std::size_t fields = std::max(FieldCount(a), FieldCount(b));
  for (std::size_t k = 0; k < fields; ++k) {
    const std::string fa = Field(a, k), fb = Field(b, k);
    if (fa.empty() || fb.empty()) return fa.empty() && fb.empty() ? 0 : fb.empty() ? 1 : 2;
    bool negA, negB;
    std::string da, db;
    int order;
    if (ParseNumber(fa, negA, da) && ParseNumber(fb, negB, db)) {
      order = CompareNumbers(negA, da, negB, db);
    } else {
      // Byte order is character-code order for UTF-8.
      const int c = fa.compare(fb);
      order = c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (order != 0) return order > 0 ? 1 : 2;
  }
  return 0;
}

bool DirectoryExists(const std::string& name) { return sys::DirExists(name); }

void CreateDirectories(const std::string& path) {
  std::string p = path;
  if (kPosix) {
    for (char& c : p) c = c == '\\' ? '/' : c;
  }
  CreateDirectoriesFrom(p, true);
}

void RegisterVersionClasses() {
  RegisterClass(TVersionResource::StaticClassInfo());
  RegisterClass(TVersionInfo::StaticClassInfo());
}

}  // namespace tav
