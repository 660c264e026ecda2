#include "lang/cmp_TTranslator.h"

#include "config/language_table.h"
#include "core/properties.h"
#include "core/routines_Strings.h"
#include "lang/translate_controls.h"
#include "sys/files.h"
#include "sys/unicode.h"
#include "ui/comctrls.h"
#include "ui/extctrls.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"
#include "ui/win32.h"

namespace tav {

// ---- TLangFormatStrings

const TClassInfo& TLangFormatStrings::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TLangFormatStrings, TStringList>("TLangFormatStrings");
  return info;
}

void TLangFormatStrings::Reparse() {
  if (UpdateCount() == 0 && language_.ParseEnabled()) language_.Parse();
}

void TLangFormatStrings::SetUpdateState(bool updating) {
  TStringList::SetUpdateState(updating);
  if (!updating) Reparse();
}

void TLangFormatStrings::Insert(int index, const std::string& s) {
  TStringList::Insert(index, s);
  Reparse();
}

void TLangFormatStrings::Put(int index, const std::string& s) {
  TStringList::Put(index, s);
  Reparse();
}

void TLangFormatStrings::Delete(int index) {
  TStringList::Delete(index);
  language_.LineDeleted(index);
}

void TLangFormatStrings::Clear() {
  TStringList::Clear();
  Reparse();
}

template <class F>
void TLangFormatStrings::Bulk(F&& operation) {
  const bool enabled = language_.ParseEnabled();
  language_.SetParseEnabled(false);
  try {
    operation();
  } catch (...) {
    language_.SetParseEnabled(enabled);
    throw;
  }
  language_.SetParseEnabled(enabled);
  if (enabled) language_.Parse();
}

void TLangFormatStrings::Assign(const TPersistent& source) {
  Bulk([&] { TStringList::Assign(source); });
}

void TLangFormatStrings::LoadFromFile(const std::string& path) {
  Bulk([&] {
    sys::File file = sys::File::Open(path, sys::OpenMode::Read);
    if (!file.IsOpen()) throw EFOpenError("Cannot open file %s", path);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = file.Read(buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    if (file.Failed()) throw EFOpenError("Cannot read file %s", path);
    // A byte-order mark is not part of the first line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    SetText(text);
  });
}

// ---- TLanguage

TLanguage::TLanguage(TTranslator* translator, TTvrkLanguage ident, std::string bitmapName, std::string fileName)
    : translator_(translator), ident_(ident), bitmapName_(std::move(bitmapName)), fileName_(std::move(fileName)) {}

const TClassInfo& TLanguage::StaticClassInfo() {
  using P = Props<TLanguage>;
  static constexpr TPropInfo props[] = {
      P::Object<[](TLanguage& l) { return &l.Font(); }>("Font"),
      P::Boolean<&TLanguage::FontOverride, &TLanguage::SetFontOverride>("FontOverride"),
      P::Enum<&TLanguage::LanguageIdent, &TLanguage::SetLanguageIdent>("LanguageIdent", TvrkLanguageNames),
      P::Object<[](TLanguage& l) { return &l.Strings(); }>("Strings"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TLanguage, TPersistent>("TLanguage", props);
  return info;
}

// The identifier is fixed when the translator makes the language; a stream may only repeat it.
void TLanguage::SetLanguageIdent(TTvrkLanguage value) {
  if (value != ident_) throw EPropertyError("LanguageIdent of %s is read-only", LangIdToString(ident_));
}

void TLanguage::Assign(const TPersistent& source) {
  if (auto* other = dynamic_cast<const TLanguage*>(&source)) {
    font_.Assign(other->font_);
    fontOverride_ = other->fontOverride_;
    strings_.Assign(other->strings_);
    return;
  }
  TPersistent::Assign(source);
}

void TLanguage::ClearEntries() {
  entries_.clear();
  memos_.clear();
}

void TLanguage::Parse() {
  ClearEntries();
  const config::TLanguageTable table = config::ParseLanguageTable(strings_.ToVector());
  for (const config::TLanguageTableString& s : table.Strings) {
    auto entry = std::make_unique<TLanguageString>();
    entry->GLID = s.GLID;
    entry->Language = this;
    entry->LineIndex = s.LineIndex;
    entry->Text = s.Text;
    entries_.push_back(std::move(entry));
  }
  for (const config::TLanguageTableMemo& m : table.Memos) {
    auto entry = std::make_unique<TLanguageMemo>();
    entry->GLID = m.GLID;
    entry->Language = this;
    entry->LineIndex = m.LineIndex;
    entry->Lines.SetStrings(m.Lines);
    memos_.push_back(std::move(entry));
  }
}

void TLanguage::LineDeleted(int index) {
  for (auto& e : entries_) {
    if (e->LineIndex > index) --e->LineIndex;
  }
}

std::optional<std::string> TLanguage::FindString(int glid) const {
  for (const auto& e : entries_) {
    if (e->GLID == glid) return e->Text;
  }
  return std::nullopt;
}

namespace {

// Equal without regard to case in the user's locale (letters beyond ASCII included).
bool SameTextInLocale(const std::string& a, const std::string& b) {
  const std::wstring wa = sys::Wide(a), wb = sys::Wide(b);
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(), static_cast<int>(wa.size()), wb.data(),
                        static_cast<int>(wb.size())) == CSTR_EQUAL;
}

}  // namespace

const TLanguageString* TLanguage::FindStringByText(const std::string& text) const {
  for (const auto& e : entries_) {
    if (SameTextInLocale(e->Text, text)) return e.get();
  }
  return nullptr;
}

const TLanguageMemo* TLanguage::FindMemo(int glid) const {
  for (const auto& m : memos_) {
    if (m->GLID == glid) return m.get();
  }
  return nullptr;
}

const TLanguageMemo* TLanguage::FindMemoByLines(const TStrings& lines) const {
  const std::string text = lines.Text();
  for (const auto& m : memos_) {
    if (m->Lines.Text() == text) return m.get();
  }
  return nullptr;
}

// ---- TTranslator

namespace {

struct TLanguageResource {
  TTvrkLanguage Ident;
  const char* Bitmap;
  const char* File;
};

const TLanguageResource kLanguages[] = {
    {tvlChineseSimplified, "BM_LANG_SIMPCHINESE", "tvriChineseSimplified.txt"},
    {tvlCzech, "BM_LANG_CZECH", "tvriCzech.txt"},
    {tvlDanish, "BM_LANG_DANISH", "tvriDanish.txt"},
    {tvlEnglish, "BM_LANG_ENGLISH", "tvriEnglish.txt"},
    {tvlFrench, "BM_LANG_FRENCH", "tvriFrench.txt"},
    {tvlGerman, "BM_LANG_GERMAN", "tvriGerman.txt"},
    {tvlGreek, "BM_LANG_GREEK", "tvriGreek.txt"},
    {tvlHebrew, "BM_LANG_HEBREW", "tvriHebrew.txt"},
    {tvlItalian, "BM_LANG_ITALIAN", "tvriItalian.txt"},
    {tvlJapanese, "BM_LANG_JAPANESE", "tvriJapanese.txt"},
    {tvlKorean, "BM_LANG_KOREAN", "tvriKorean.txt"},
    {tvlPolish, "BM_LANG_POLISH", "tvriPolish.txt"},
    {tvlPortugese, "BM_LANG_PORTUGESE", "tvriPortugese.txt"},
    {tvlRussian, "BM_LANG_RUSSIAN", "tvriRussian.txt"},
    {tvlSpanish, "BM_LANG_SPANISH", "tvriSpanish.txt"},
    {tvlVietnamese, "BM_LANG_VIETNAMESE", "tvriVietnamese.txt"},
};

template <TTvrkLanguage L>
TLanguage* LanguageOf(TTranslator& t) {
  return t.FindLanguage(L);
}

template <TTvrkLanguage L>
constexpr TPropInfo LanguageProperty(const char* name) {
  return Props<TTranslator>::Object<&LanguageOf<L>>(name);
}

std::string TranslateWithProcessTranslator(const std::string& english) {
  const TTranslator* t = TranslatorSlot().Get();
  return t ? t->TranslateText(tvlEnglish, english) : english;
}

}  // namespace

TRunSlot<TTranslator*>& TranslatorSlot() {
  static auto& slot = TRunSlot<TTranslator*>::Make("translator", nullptr);
  return slot;
}

TTranslator* Translator() { return TranslatorSlot().Get(); }

TTranslator::TTranslator(TComponent* owner) : TComponent(owner) {
  for (const TLanguageResource& r : kLanguages)
    languages_.push_back(std::make_unique<TLanguage>(this, r.Ident, r.Bitmap, r.File));
  if (!TranslatorSlot().Get()) {
    TranslatorSlot().Set(this);
    SetMessageTranslator(TranslateWithProcessTranslator);
  }
}

TTranslator::~TTranslator() {
  Destroying();
  if (TranslatorSlot().Get() == this) {
    TranslatorSlot().Set(nullptr);
    SetMessageTranslator(nullptr);
  }
}

const TClassInfo& TTranslator::StaticClassInfo() {
  using P = Props<TTranslator>;
  static constexpr TPropInfo props[] = {
      LanguageProperty<tvlChineseSimplified>("lgChineseSimplified"),
      LanguageProperty<tvlCzech>("lgCzech"),
      LanguageProperty<tvlDanish>("lgDanish"),
      LanguageProperty<tvlEnglish>("lgEnglish"),
      LanguageProperty<tvlFrench>("lgFrench"),
      LanguageProperty<tvlGerman>("lgGerman"),
      LanguageProperty<tvlGreek>("lgGreek"),
      LanguageProperty<tvlHebrew>("lgHebrew"),
      LanguageProperty<tvlItalian>("lgItalian"),
      LanguageProperty<tvlJapanese>("lgJapanese"),
      LanguageProperty<tvlKorean>("lgKorean"),
      LanguageProperty<tvlPolish>("lgPolish"),
      LanguageProperty<tvlPortugese>("lgPortugese"),
      LanguageProperty<tvlRussian>("lgRussian"),
      LanguageProperty<tvlSpanish>("lgSpanish"),
      LanguageProperty<tvlVietnamese>("lgVietnamese"),
      P::Enum<&TTranslator::TranslateIntoLanguage, &TTranslator::SetTranslateIntoLanguage>("TranslateIntoLanguage",
                                                                                           TvrkLanguageNames, tvlUser),
  };
  static constexpr TClassInfo info = MakeClassInfo<TTranslator, TComponent>("TTranslator", props);
  return info;
}

TLanguage* TTranslator::Languages(int index) const {
  if (index < 0 || index >= LanguageCount()) throw EListError("List index out of bounds (%d)", index);
  return languages_[index].get();
}

TLanguage* TTranslator::FindLanguage(TTvrkLanguage ident) const {
  for (const auto& l : languages_) {
    if (l->LanguageIdent() == ident) return l.get();
  }
  return nullptr;
}

TLanguage* TTranslator::UserLanguage() const {
  const unsigned id = UserDefaultLangId();
  return id == 0 ? nullptr : FindLanguage(LanguageFromLangId(id));
}

TLanguage* TTranslator::CurrentLanguage() const { return into_ == tvlUser ? UserLanguage() : FindLanguage(into_); }

void TTranslator::SetTranslateIntoLanguage(TTvrkLanguage value) {
  into_ = value;
  if (!HasState(csLoading) && OnLanguageChange) OnLanguageChange(this);
}

class TTranslator::TIntoScope {
public:
  TIntoScope(TTranslator& t, TTvrkLanguage into) : t_(t), previous_(std::exchange(t.into_, into)) {}
  ~TIntoScope() { t_.into_ = previous_; }
  TIntoScope(const TIntoScope&) = delete;
  TIntoScope& operator=(const TIntoScope&) = delete;

private:
  TTranslator& t_;
  TTvrkLanguage previous_;
};

std::string TTranslator::TranslateText(TTvrkLanguage from, const std::string& text) const {
  const TLanguage* source = from == tvlUser ? UserLanguage() : FindLanguage(from);
  if (!source) return text;
  const TLanguageString* entry = source->FindStringByText(text);
  if (!entry) return text;
  const TLanguage* target = CurrentLanguage();
  if (!target) return text;
  return target->FindString(entry->GLID).value_or(text);
}

std::string TTranslator::TranslateGLID(int glid, const std::string& fallback) const {
  const TLanguage* target = CurrentLanguage();
  if (!target) return fallback;
  return target->FindString(glid).value_or(fallback);
}

void TTranslator::TranslateLines(TTvrkLanguage from, const TStrings& lines, TStrings& result) const {
  const TLanguage* source = from == tvlUser ? UserLanguage() : FindLanguage(from);
  const TLanguage* target = CurrentLanguage();
  const TLanguageMemo* memo = source ? source->FindMemoByLines(lines) : nullptr;
  const TLanguageMemo* translated = memo && target ? target->FindMemo(memo->GLID) : nullptr;
  if (translated) {
    result.Assign(translated->Lines);
  } else if (&result != &lines) {
    result.Assign(lines);
  }
}

void TTranslator::TranslateItems(TTvrkLanguage from, TStrings& items) const {
  for (int i = 0; i < items.Count(); ++i) {
    const std::string translated = TranslateText(from, items[i]);
    if (translated != items[i]) items.Put(i, translated);
  }
}

void TTranslator::TranslateProperties(TTvrkLanguage from, TComponent& component) {
  for (const TPropInfo* p : component.ClassInfo().AllProperties()) {
    if (p->Kind != pkString || SameText(p->Name, "NAME")) continue;
    const std::string value = p->GetText(component);
    if (Trim(value).empty()) continue;
    const std::string translated = TranslateText(from, value);
    if (translated != value) p->SetText(component, translated);
  }
  if (auto* memo = dynamic_cast<TMemo*>(&component)) {
    TStringList lines;
    TranslateLines(from, memo->Lines(), lines);
    if (lines.ToVector() != memo->Lines().ToVector()) memo->Lines().Assign(lines);
  } else if (auto* list = dynamic_cast<TListBox*>(&component)) {
    TranslateItems(from, list->Items());
  } else if (auto* group = dynamic_cast<TRadioGroup*>(&component)) {
    TranslateItems(from, group->Items());
  } else if (auto* view = dynamic_cast<TListView*>(&component)) {
    for (int i = 0; i < view->ColumnCount(); ++i) {
      const std::string caption = view->ColumnCaption(i);
      if (Trim(caption).empty()) continue;
      const std::string translated = TranslateText(from, caption);
      if (translated != caption) view->SetColumnCaption(i, translated);
    }
  }
}

namespace {

// Hides a control while its texts change (forms and pictures stay) and switches a label's auto-size
// off; both come back however the translation ends, and the control realigns its children.
class TQuietControl {
public:
  explicit TQuietControl(TComponent* component) : control_(dynamic_cast<TControl*>(component)) {
    if (!control_) return;
    visible_ = control_->Visible();
    if (!dynamic_cast<TForm*>(control_) && !dynamic_cast<TImage*>(control_)) control_->SetVisible(false);
    if ((label_ = dynamic_cast<TLabel*>(control_))) {
      autoSize_ = label_->AutoSize();
      label_->SetAutoSize(false);
    }
  }
  ~TQuietControl() {
    if (!control_) return;
    if (label_) label_->SetAutoSize(autoSize_);
    control_->SetVisible(visible_);
    if (auto* windowed = dynamic_cast<TWinControl*>(control_)) windowed->Realign();
  }
  TQuietControl(const TQuietControl&) = delete;
  TQuietControl& operator=(const TQuietControl&) = delete;

private:
  TControl* control_;
  TLabel* label_ = nullptr;
  bool visible_ = true, autoSize_ = false;
};

// The identifier of a translating control; 0 for every other component.
int GLIDOf(const TComponent& component) {
  if (auto* label = dynamic_cast<const TTranslateLabel*>(&component)) return label->GLID();
  if (auto* button = dynamic_cast<const TTranslateBitBtn*>(&component)) return button->GLID();
  return 0;
}

}  // namespace

void TTranslator::TranslateTree(TTvrkLanguage from, TComponent* component) {
  if (!component) return;
  TQuietControl quiet(component);
  if (const int glid = GLIDOf(*component); glid != 0) {
    auto* control = static_cast<TControl*>(component);
    if (glid > 0) control->SetCaption(TranslateGLID(glid, control->Caption()));
  } else {
    TranslateProperties(from, *component);
  }
  // Copied: a translated control may make or free components of its own.
  const std::vector<TComponent*> owned = component->ComponentList();
  for (TComponent* child : owned) {
    if (!dynamic_cast<TForm*>(child)) TranslateTree(from, child);
  }
}

TTvrkLanguage TTranslator::TranslateComponent(TTvrkLanguage from, TComponent* component) {
  TranslateTree(from, component);
  const TLanguage* target = CurrentLanguage();
  return target && target->Strings().Count() > 0 ? into_ : from;
}

TTvrkLanguage TTranslator::TranslateComponentAs(TTvrkLanguage from, TTvrkLanguage into, TComponent* component) {
  TIntoScope scope(*this, into);
  return TranslateComponent(from, component);
}

void ApplyLanguageFont(TControl* control, const TLanguage& language) {
  if (!control) return;
  if (language.FontOverride()) {
    control->Font().Assign(language.Font());
  } else {
    const TLanguageFace& face = LanguageFace(language.LanguageIdent());
    TFont font;
    font.Assign(control->Font());
    font.SetCharset(face.Charset);
    font.SetName(face.FaceName);
    if (font.Size() < face.MinSize) font.SetSize(face.MinSize);
    control->Font().Assign(font);
  }
  if (auto* windowed = dynamic_cast<TWinControl*>(control)) {
    for (int i = 0; i < windowed->ControlCount(); ++i) ApplyLanguageFont(windowed->Controls(i), language);
  }
}

void TTranslator::ApplyFont(TControl* control) {
  const TLanguage* language = CurrentLanguage();
  if (!language) return;
  if (language->Strings().Count() == 0) language = FindLanguage(tvlEnglish);
  ApplyLanguageFont(control, *language);
}

void TTranslator::ApplyFontAs(TTvrkLanguage language, TControl* control) {
  TIntoScope scope(*this, language);
  ApplyFont(control);
}

// ---- process-wide

void TranslateLinesFrom(TTvrkLanguage from, const TStrings& lines, TStrings& result) {
  if (TTranslator* t = Translator()) {
    t->TranslateLines(from, lines, result);
  } else {
    result.Assign(lines);
  }
}

TTvrkLanguage Translate(TTvrkLanguage from, TComponent* component) {
  TTranslator* t = Translator();
  return t ? t->TranslateComponent(from, component) : from;
}

TTvrkLanguage TranslateAs(TTvrkLanguage from, TTvrkLanguage into, TComponent* component) {
  TTranslator* t = Translator();
  return t ? t->TranslateComponentAs(from, into, component) : from;
}

void ApplyFont(TControl* control) {
  if (TTranslator* t = Translator()) t->ApplyFont(control);
}

void ApplyFontAs(TTvrkLanguage language, TControl* control) {
  if (TTranslator* t = Translator()) t->ApplyFontAs(language, control);
}

}  // namespace tav
