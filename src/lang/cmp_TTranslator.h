#pragma once
// The translator: one string table per language, the target language, and the walk that turns a
// page's texts and fonts into that language. The first translator made is the process-wide one;
// every message of the program passes through it (TranslateMessage).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/graphics.h"
#include "core/strings.h"
#include "lang/languages.h"
#include "ui/controls.h"

namespace tav {

class TLanguage;
class TTranslator;

class TLanguageElement : public TObject {
public:
  int GLID = 0;
  TLanguage* Language = nullptr;
  int LineIndex = 0;  // 0-based line of the raw list it came from
};

class TLanguageString : public TLanguageElement {
public:
  std::string Text;  // at most 255 characters
};

class TLanguageMemo : public TLanguageElement {
public:
  TStringList Lines;
};

// The raw lines of one language. Every change parses the whole list again (once at the end of an
// update), except deleting a line, which only moves the line indexes of the entries after it.
class TLangFormatStrings : public TStringList {
public:
  explicit TLangFormatStrings(TLanguage& language) : language_(language) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Insert(int index, const std::string& s) override;
  void Put(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  // Copying and loading a file parse once, at the end.
  void Assign(const TPersistent& source) override;
  // Lines of a text file (CR LF, LF or CR); raises EFOpenError when it cannot be read.
  void LoadFromFile(const std::string& path);

protected:
  void SetUpdateState(bool updating) override;

private:
  void Reparse();
  template <class F>
  void Bulk(F&& operation);
  TLanguage& language_;
};

class TLanguage : public TPersistent {
public:
  TLanguage(TTranslator* translator, TTvrkLanguage ident, std::string bitmapName, std::string fileName);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font) { font_.Assign(font); }
  bool FontOverride() const { return fontOverride_; }
  void SetFontOverride(bool value) { fontOverride_ = value; }
  TTvrkLanguage LanguageIdent() const { return ident_; }
  TLangFormatStrings& Strings() { return strings_; }
  const TLangFormatStrings& Strings() const { return strings_; }
  void SetStrings(const TStrings& lines) { strings_.Assign(lines); }

  TTranslator* Translator() const { return translator_; }
  // The flag picture's resource and the name of the language's default table file.
  const std::string& BitmapName() const { return bitmapName_; }
  const std::string& FileName() const { return fileName_; }
  bool ParseEnabled() const { return parseEnabled_; }
  void SetParseEnabled(bool value) { parseEnabled_ = value; }

  // The parsed entries, in file order.
  const std::vector<std::unique_ptr<TLanguageString>>& StringEntries() const { return entries_; }
  const std::vector<std::unique_ptr<TLanguageMemo>>& MemoEntries() const { return memos_; }

  // Every lookup takes the first entry in file order.
  std::optional<std::string> FindString(int glid) const;
  // Compared without regard to case, as the user's locale sees it.
  const TLanguageString* FindStringByText(const std::string& text) const;
  const TLanguageMemo* FindMemo(int glid) const;
  const TLanguageMemo* FindMemoByLines(const TStrings& lines) const;

  // Entries from the raw lines; a malformed line raises Exception and leaves no entries.
  void Parse();
  void ClearEntries();
  // A line was deleted from the raw list: string entries of later lines move up by one.
  void LineDeleted(int index);

  void Assign(const TPersistent& source) override;

private:
  void SetLanguageIdent(TTvrkLanguage value);

  TTranslator* translator_;
  TTvrkLanguage ident_;
  std::string bitmapName_, fileName_;
  TFont font_;
  bool fontOverride_ = false;
  bool parseEnabled_ = true;
  TLangFormatStrings strings_{*this};
  std::vector<std::unique_ptr<TLanguageString>> entries_;
  std::vector<std::unique_ptr<TLanguageMemo>> memos_;
};

class TTranslator : public TComponent {
public:
  explicit TTranslator(TComponent* owner);
  ~TTranslator() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The sixteen languages in the order of the enumeration (tvlUser has none).
  int LanguageCount() const { return static_cast<int>(languages_.size()); }
  TLanguage* Languages(int index) const;
  TLanguage* FindLanguage(TTvrkLanguage ident) const;
  // The language of the user's system; nullptr when the system cannot tell.
  TLanguage* UserLanguage() const;
  // The target language: the user's when TranslateIntoLanguage is tvlUser.
  TLanguage* CurrentLanguage() const;

  TTvrkLanguage TranslateIntoLanguage() const { return into_; }
  void SetTranslateIntoLanguage(TTvrkLanguage value);
  // Told when TranslateIntoLanguage is set by code.
  std::function<void(TObject* sender)> OnLanguageChange;

  // Text looked up by its wording in the table of from and replaced by the target's entry of the
  // same identifier; unchanged when any of it is missing.
  std::string TranslateText(TTvrkLanguage from, const std::string& text) const;
  std::string TranslateGLID(int glid, const std::string& fallback) const;
  void TranslateLines(TTvrkLanguage from, const TStrings& lines, TStrings& result) const;
  // Every text of the component and of the components it owns (forms excepted); the language its
  // texts are in afterwards.
  TTvrkLanguage TranslateComponent(TTvrkLanguage from, TComponent* component);
  TTvrkLanguage TranslateComponentAs(TTvrkLanguage from, TTvrkLanguage into, TComponent* component);
  // The target language's character set, face and minimum size on the control and its children.
  void ApplyFont(TControl* control);
  void ApplyFontAs(TTvrkLanguage language, TControl* control);

private:
  // The target replaced for a scope, without telling anyone.
  class TIntoScope;
  void TranslateTree(TTvrkLanguage from, TComponent* component);
  void TranslateProperties(TTvrkLanguage from, TComponent& component);
  void TranslateItems(TTvrkLanguage from, TStrings& items) const;

  std::vector<std::unique_ptr<TLanguage>> languages_;
  TTvrkLanguage into_ = tvlUser;
};

// The font of a language on a control and, for a windowed one, on all its children.
void ApplyLanguageFont(TControl* control, const TLanguage& language);

// The process-wide translator (the first one made, while it lives).
TRunSlot<TTranslator*>& TranslatorSlot();
TTranslator* Translator();
// The same through the process-wide translator; without one nothing happens.
TTvrkLanguage Translate(TTvrkLanguage from, TComponent* component);
TTvrkLanguage TranslateAs(TTvrkLanguage from, TTvrkLanguage into, TComponent* component);
void ApplyFont(TControl* control);
void ApplyFontAs(TTvrkLanguage language, TControl* control);

}  // namespace tav
