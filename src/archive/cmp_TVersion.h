#pragma once
// Version resources of files and the comparisons that decide whether an existing file is replaced.
#include <cstdint>
#include <string>
#include <vector>

#include "core/classes.h"
#include "sys/dates.h"
#include "sys/files.h"

namespace tav {

enum TOverwriteType { owAlways, owNever, owVersion, owDate, owVersionDate };
extern const TNameList OverwriteTypeNames;

// Windows languages of a string table, in this order; LanguageId gives each one's identifier.
enum TLanguage {
  lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish, lnGerman, lnGreek, lnUSEnglish,
  lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian, lnIcelandic, lnItalian, lnJapanese, lnKorean,
  lnDutch, lnNorwegianBokmal, lnPolish, lnBrazilianPortuguese, lnRhaetoRomanic, lnRomanian, lnRussian,
  lnCroatoSerbian, lnSlovak, lnAlbanian, lnSwedish, lnThai, lnTurkish, lnUrdu, lnBahasa, lnSimplifiedChinese,
  lnSwissGerman, lnUKEnglish, lnMexicanSpanish, lnBelgianFrench, lnSwissItalian, lnBelgianDutch,
  lnNorwegianNynorsk, lnPortuguese, lnSerboCroatian, lnCanadianFrench, lnSwissFrench
};
extern const TNameList LanguageNames;
std::uint16_t LanguageId(TLanguage language);

enum TCharacterSet {
  csASCII, csJapan, csKorea, csTaiwan, csUnicode, csLatin2, csCyrillic, csMultilingual, csGreek, csTurkish,
  csHebrew, csArabic
};
extern const TNameList CharacterSetNames;
std::uint16_t CodePage(TCharacterSet characterSet);

// The values read from one file; all empty when it has no version information.
class TVersionInfo : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  const std::string& Comment() const { return comment_; }
  const std::string& CompanyName() const { return companyName_; }
  const std::string& FileDescription() const { return fileDescription_; }
  const std::string& FileVersion() const { return fileVersion_; }
  const std::string& InternalName() const { return internalName_; }
  const std::string& LegalCopyright() const { return legalCopyright_; }
  const std::string& LegalTradeMarks() const { return legalTradeMarks_; }
  const std::string& OriginalFileName() const { return originalFileName_; }
  const std::string& PrivateBuild() const { return privateBuild_; }
  const std::string& ProductName() const { return productName_; }
  const std::string& ProductVersion() const { return productVersion_; }
  const std::string& SpecialBuild() const { return specialBuild_; }
  const std::string& FileOS() const { return fileOS_; }
  const std::string& FileType() const { return fileType_; }
  const std::string& FileSubType() const { return fileSubType_; }

  void SetComment(const std::string& v) { comment_ = v; }
  void SetCompanyName(const std::string& v) { companyName_ = v; }
  void SetFileDescription(const std::string& v) { fileDescription_ = v; }
  void SetFileVersion(const std::string& v) { fileVersion_ = v; }
  void SetInternalName(const std::string& v) { internalName_ = v; }
  void SetLegalCopyright(const std::string& v) { legalCopyright_ = v; }
  void SetLegalTradeMarks(const std::string& v) { legalTradeMarks_ = v; }
  void SetOriginalFileName(const std::string& v) { originalFileName_ = v; }
  void SetPrivateBuild(const std::string& v) { privateBuild_ = v; }
  void SetProductName(const std::string& v) { productName_ = v; }
  void SetProductVersion(const std::string& v) { productVersion_ = v; }
  void SetSpecialBuild(const std::string& v) { specialBuild_ = v; }
  void SetFileOS(const std::string& v) { fileOS_ = v; }
  void SetFileType(const std::string& v) { fileType_ = v; }
  void SetFileSubType(const std::string& v) { fileSubType_ = v; }

  void Clear();
  void Assign(const TPersistent& source) override;

private:
  std::string comment_, companyName_, fileDescription_, fileVersion_, internalName_, legalCopyright_,
      legalTradeMarks_, originalFileName_, privateBuild_, productName_, productVersion_, specialBuild_, fileOS_,
      fileType_, fileSubType_;
};

class TVersionResource : public TComponent {
public:
  // Reads the running program's own version at once.
  explicit TVersionResource(TComponent* owner);

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override;

  // Each setter reads the file again, except while the component is loading (Loaded reads then).
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName);
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage language);
  TCharacterSet CharacterSet() const { return characterSet_; }
  void SetCharacterSet(TCharacterSet characterSet);
  TVersionInfo& VersionInfo() { return info_; }
  const TVersionInfo& VersionInfo() const { return info_; }

  void Loaded() override;

  // Result codes: 0 the comparison failed, 1 same (keep), 2 the new file wins, 3 the existing file wins.
  static std::uint8_t IsFileNewerByName(const std::string& source, const std::string& dest, TOverwriteType rule);
  // The same for an archive member known by its version string and date.
  static std::uint8_t IsFileNewerByInfo(const std::string& version, const std::string& dest, TOverwriteType rule,
                                        sys::TDateTime date);

private:
  void Read();

  std::string fileName_;
  TLanguage language_ = lnUSEnglish;
  TCharacterSet characterSet_ = csMultilingual;
  TVersionInfo info_;
};

// The shared instance, created on first use.
TVersionResource& VersionResource();

// The fixed file version of a file ("1.0.0.5"), "" when it has none. Reads the file afresh and
// touches no shared reader, so callers may read versions while another reader points elsewhere.
std::string ReadFileVersion(const std::string& path);
// The same of a file open for reading; its position is left anywhere.
std::string ReadFileVersion(sys::File& file);

// 0 when equal, 1 when a is newer, 2 when b is newer.
int CompareVersionStrings(const std::string& a, const std::string& b);

bool DirectoryExists(const std::string& name);
// Creates the directory and any missing parents; "" fails with Exception "Unable to create directory".
// Whether the last creation worked is not checked: creating a file inside it will tell.
void CreateDirectories(const std::string& path);

void RegisterVersionClasses();

}  // namespace tav
