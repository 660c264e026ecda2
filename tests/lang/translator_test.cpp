#include "lang/cmp_TTranslator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/form_loader.h"
#include "config/resources.h"
#include "config/text_form.h"
#include "core/properties.h"
#include "lang/translate_controls.h"
#include "sys/files.h"
#include "sys/run_state.h"
#include "ui/application.h"
#include "ui/buttons.h"
#include "ui/extctrls.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace tav {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class TLangTestForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TLangTestForm, TForm>("TLangTestForm");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  template <class T>
  T& Get(const char* name) {
    auto* c = dynamic_cast<T*>(FindComponent(name));
    if (!c) throw EComponentError("No component %s of the expected class", std::string(name));
    return *c;
  }
  const std::string& CaptionOf(const char* name) { return Get<TControl>(name).Caption(); }
};

// Windows language identifiers: primary language in the low 10 bits.
constexpr unsigned kGerman = 0x0407, kDutch = 0x0413, kJapanese = 0x0411;

// A path of the checkout as Wine's drive for the Unix root sees it.
std::string CheckoutPath(const std::string& relative) {
  std::string dir = TAV_TEST_DATA;
  std::string path = "Z:" + dir.substr(0, dir.rfind("/tests/")) + "/" + relative;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// The line an entry of that wording came from; -1 when there is none.
int LineOf(const TLanguage& language, const std::string& text) {
  const TLanguageString* entry = language.FindStringByText(text);
  return entry ? entry->LineIndex : -1;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

// Each case loads the project form anew: the first translator made is the process-wide one, and the
// run state is reset between cases.
class TranslatorTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Application().Initialize();
    RegisterUiClasses();
    RegisterLangClasses();
    RegisterClass(TLangTestForm::StaticClassInfo());
  }
  void SetUp() override {
    form = std::make_unique<TLangTestForm>(nullptr);
    config::LoadFormFromResource(*form);
    t = &form->Get<TTranslator>("Translator1");
  }
  void TearDown() override { form.reset(); }

  TLanguage& Lang(TTvrkLanguage ident) { return *t->FindLanguage(ident); }

  std::unique_ptr<TLangTestForm> form;
  TTranslator* t = nullptr;
};

TEST_F(TranslatorTest, LanguagesComeFromTheStreamAndAnswerEveryLookup) {
  ASSERT_EQ(t->LanguageCount(), 16);
  EXPECT_EQ(t->Languages(0)->LanguageIdent(), tvlChineseSimplified);
  EXPECT_EQ(t->Languages(15)->LanguageIdent(), tvlVietnamese);
  EXPECT_EQ(t->FindLanguage(tvlUser), nullptr);
  EXPECT_EQ(Lang(tvlPortugese).BitmapName(), "BM_LANG_PORTUGESE");
  EXPECT_EQ(Lang(tvlChineseSimplified).FileName(), "tvriChineseSimplified.txt");
  EXPECT_EQ(Lang(tvlGerman).Translator(), t);
  EXPECT_TRUE(Lang(tvlFrench).FontOverride());
  EXPECT_EQ(Lang(tvlFrench).Font().Name(), "Courier New");

  const TLanguage& de = Lang(tvlGerman);
  EXPECT_EQ(de.StringEntries().size(), 12u);
  EXPECT_EQ(de.FindString(6), "Abbrechen");  // the first of two entries 6
  EXPECT_EQ(de.FindString(77), std::nullopt);
  const TLanguageString* byText = de.FindStringByText("WEITER >");
  ASSERT_NE(byText, nullptr);
  EXPECT_EQ(byText->GLID, 5);
  EXPECT_EQ(byText->LineIndex, 1);
  EXPECT_EQ(byText->Language, &de);
  ASSERT_NE(de.FindStringByText("über UNS (de)"), nullptr);  // case beyond ASCII too
  ASSERT_NE(de.FindMemo(90), nullptr);
  EXPECT_THAT(de.FindMemo(90)->Lines.ToVector(), ElementsAre("Bitte lesen Sie dies.", "Es ist wichtig."));

  t->SetTranslateIntoLanguage(tvlGerman);
  EXPECT_EQ(t->TranslateText(tvlEnglish, "next >"), "Weiter >");
  EXPECT_EQ(t->TranslateText(tvlEnglish, "Compact"), "Compact");  // no German entry: the English stays
  EXPECT_EQ(t->TranslateText(tvlEnglish, "Unknown text"), "Unknown text");
  EXPECT_EQ(t->TranslateText(tvlGerman, "Abbrechen"), "Abbrechen");
  EXPECT_EQ(t->TranslateText(tvlItalian, "Cancel"), "Cancel");  // no Italian table
  EXPECT_EQ(t->TranslateGLID(12, "x"), "Klicken Sie auf Weiter, um mit der Installation fortzufahren.");
  EXPECT_EQ(t->TranslateGLID(19, "Compact"), "Compact");
  TStringList english, result;
  english.SetStrings({"Please read this.", "It matters."});
  t->TranslateLines(tvlEnglish, english, result);
  EXPECT_THAT(result.ToVector(), ElementsAre("Bitte lesen Sie dies.", "Es ist wichtig."));
  english.SetStrings({"Please read this."});
  t->TranslateLines(tvlEnglish, english, result);
  EXPECT_THAT(result.ToVector(), ElementsAre("Please read this."));

  // tvlUser follows the system's language; Dutch has no table of its own and reads English.
  t->SetTranslateIntoLanguage(tvlUser);
  {
    TRunSlotScope<TLangIdSource> system(UserLangIdSourceSlot(), [] { return kGerman; });
    EXPECT_EQ(t->CurrentLanguage(), &Lang(tvlGerman));
    EXPECT_EQ(t->TranslateText(tvlEnglish, "Cancel"), "Abbrechen");
    EXPECT_EQ(t->TranslateText(tvlUser, "Abbrechen"), "Abbrechen");
    EXPECT_EQ(LangIdToString(tvlUser), "German");
  }
  {
    TRunSlotScope<TLangIdSource> system(UserLangIdSourceSlot(), [] { return kDutch; });
    EXPECT_EQ(t->UserLanguage(), &Lang(tvlEnglish));
    EXPECT_EQ(LangIdToString(tvlUser), "English");
  }
  {
    TRunSlotScope<TLangIdSource> system(UserLangIdSourceSlot(), [] { return 0u; });
    EXPECT_EQ(t->CurrentLanguage(), nullptr);
    EXPECT_EQ(t->TranslateText(tvlEnglish, "Cancel"), "Cancel");
    EXPECT_EQ(LangIdToString(tvlUser), "");
  }
}

TEST_F(TranslatorTest, RawLinesReparseOnEveryChangeAndKeepTheirTextOnAnError) {
  TLanguage& it = Lang(tvlItalian);
  TLangFormatStrings& lines = it.Strings();
  lines.Add("5;Avanti >");
  lines.Add("* commento");
  lines.Add("6;Annulla");
  EXPECT_EQ(it.FindString(6), "Annulla");
  EXPECT_EQ(LineOf(it, "annulla"), 2);
  lines.Delete(1);  // no parse: the later entry moves up
  EXPECT_EQ(LineOf(it, "Annulla"), 1);
  lines.Insert(0, "4;< Indietro");
  EXPECT_EQ(LineOf(it, "Annulla"), 2);
  lines.Move(0, 2);
  EXPECT_EQ(LineOf(it, "< Indietro"), 2);

  EXPECT_EQ(ErrorOf([&] { lines.Add("7"); }), "The 3'th string (7) does not have the proper format of GLID;Text");
  EXPECT_EQ(lines.Count(), 4);  // the raw lines stay
  EXPECT_TRUE(it.StringEntries().empty());
  EXPECT_EQ(ErrorOf([&] { lines.Put(3, "#"); }),
            "Found the end of memo marker # at line 3. Was not in a memo however");
  lines.Put(3, "7;Fine");
  EXPECT_EQ(it.StringEntries().size(), 4u);
  lines.Clear();
  EXPECT_TRUE(it.StringEntries().empty());

  // A bulk copy parses once at the end; a failing one leaves the flag as it was.
  TStringList source;
  source.SetStrings({"1;uno", "bad line"});
  EXPECT_THAT(ErrorOf([&] { it.SetStrings(source); }), HasSubstr("(bad line)"));
  EXPECT_TRUE(it.ParseEnabled());
  it.SetParseEnabled(false);
  lines.Add("not parsed while disabled");
  EXPECT_TRUE(it.StringEntries().empty());
  it.SetParseEnabled(true);

  lines.LoadFromFile(CheckoutPath("src/lang/tables/tvriEnglish.txt"));
  EXPECT_EQ(it.FindString(5), "Next >");
  EXPECT_EQ(it.FindString(6), "Cancel");
  EXPECT_THAT(ErrorOf([&] { lines.LoadFromFile(CheckoutPath("tests/lang/no such table.txt")); }),
              HasSubstr("Cannot open file"));
  EXPECT_EQ(it.FindString(5), "Next >");  // the failed load changed nothing
}

TEST_F(TranslatorTest, TablesGoThroughTheStreamBothWaysAndAFaultyOneStopsTheLoad) {
  const std::string text = config::WriteTextForm(config::SaveForm(*form));
  EXPECT_THAT(text, HasSubstr("lgGerman.Strings.Strings = ("));
  EXPECT_THAT(text, HasSubstr("lgFrench.FontOverride = True"));
  auto again = std::make_unique<TLangTestForm>(nullptr);
  config::LoadForm(*again, config::ReadTextForm(text));
  TTranslator& copy = again->Get<TTranslator>("Translator1");
  for (int i = 0; i < t->LanguageCount(); ++i) {
    EXPECT_EQ(copy.Languages(i)->Strings().ToVector(), t->Languages(i)->Strings().ToVector()) << i;
    EXPECT_EQ(copy.Languages(i)->StringEntries().size(), t->Languages(i)->StringEntries().size()) << i;
  }

  const std::string bad = "object LangTestForm: TLangTestForm\n  object Translator1: TTranslator\n"
                          "    lgGerman.Strings.Strings = (\n      '5;Weiter >'\n      'x;kaputt')\n  end\nend\n";
  auto broken = std::make_unique<TLangTestForm>(nullptr);
  EXPECT_EQ(ErrorOf([&] { config::LoadForm(*broken, config::ReadTextForm(bad)); }),
            "Error reading Translator1.lgGerman.Strings.Strings: The 1'th string (x;kaputt) does not have the "
            "proper format of GLID;Text or .GLID;");
  const std::string wrongIdent = "object LangTestForm: TLangTestForm\n  object Translator1: TTranslator\n"
                                 "    lgGerman.LanguageIdent = tvlFrench\n  end\nend\n";
  auto wrong = std::make_unique<TLangTestForm>(nullptr);
  EXPECT_THAT(ErrorOf([&] { config::LoadForm(*wrong, config::ReadTextForm(wrongIdent)); }),
              HasSubstr("read-only"));
}

TEST_F(TranslatorTest, AFormsTextsTurnIntoTheTargetLanguageAndBack) {
  TLangTestForm& f = *form;
  f.Show();
  int changes = 0;
  t->OnLanguageChange = [&](TObject*) { ++changes; };
  t->SetTranslateIntoLanguage(tvlGerman);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(f.Get<TLabel>("Title").AutoSize());

  EXPECT_EQ(Translate(tvlEnglish, &f), tvlGerman);
  EXPECT_EQ(f.Caption(), "Installation abgeschlossen");
  EXPECT_EQ(f.CaptionOf("Title"), "Installation abgeschlossen");
  EXPECT_EQ(f.CaptionOf("Hidden"), "Abbrechen");
  EXPECT_EQ(f.CaptionOf("Prompt"), "Klicken Sie auf Weiter, um mit der Installation fortzufahren.");
  EXPECT_EQ(f.CaptionOf("Kept"), "Only in English");  // identifier missing: never an empty text
  EXPECT_EQ(f.CaptionOf("Negative"), "Cancel");       // a negative identifier is left alone
  EXPECT_EQ(f.CaptionOf("NextBtn"), "Weiter >");
  EXPECT_EQ(f.CaptionOf("CancelBtn"), "Abbrechen");   // identifier 0: by its wording, in any case
  EXPECT_EQ(f.CaptionOf("Tiny"), "Standard");
  EXPECT_EQ(f.CaptionOf("Big"), "Compact");
  EXPECT_EQ(f.CaptionOf("RadioGroup1"), "Über uns (DE)");
  EXPECT_EQ(f.Get<TPanel>("Panel1").Name(), "Panel1");  // names are not texts
  EXPECT_EQ(f.CaptionOf("Panel1"), "Tafel");
  EXPECT_THAT(f.Get<TMemo>("Memo1").Lines().ToVector(), ElementsAre("Bitte lesen Sie dies.", "Es ist wichtig."));
  EXPECT_THAT(f.Get<TListBox>("ListBox1").Items().ToVector(), ElementsAre("Standard", "Compact", "Not in any table"));
  EXPECT_THAT(f.Get<TRadioGroup>("RadioGroup1").Items().ToVector(),
              ElementsAre("Ja, Windows jetzt neu starten", "Nein, Windows nicht neu starten"));
  // Visibility and auto-size are as they were, and the windows show the new texts.
  EXPECT_TRUE(f.Get<TLabel>("Title").Visible());
  EXPECT_TRUE(f.Get<TLabel>("Title").AutoSize());
  EXPECT_FALSE(f.Get<TLabel>("Hidden").Visible());
  EXPECT_TRUE(f.Get<TMemo>("Memo1").Visible());
  EXPECT_TRUE(IsWindowVisible(f.Get<TMemo>("Memo1").WindowHandle()));
  EXPECT_EQ(WindowTextOf(f.Get<TBitBtn>("NextBtn").Handle()), "Weiter >");

  // Back to English for once: the target comes back afterwards and nobody is told.
  EXPECT_EQ(t->TranslateComponentAs(tvlGerman, tvlEnglish, &f), tvlEnglish);
  EXPECT_EQ(t->TranslateIntoLanguage(), tvlGerman);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(f.Caption(), "Setup complete");
  EXPECT_EQ(f.CaptionOf("CancelBtn"), "Cancel");
  EXPECT_EQ(f.CaptionOf("NextBtn"), "Next >");
  EXPECT_THAT(f.Get<TMemo>("Memo1").Lines().ToVector(), ElementsAre("Please read this.", "It matters."));

  // A target without a table changes nothing and reports the language the texts are still in.
  EXPECT_EQ(TranslateAs(tvlEnglish, tvlItalian, &f), tvlEnglish);
  EXPECT_EQ(f.Caption(), "Setup complete");
  EXPECT_EQ(TranslateAs(tvlEnglish, tvlFrench, &f), tvlFrench);
  EXPECT_EQ(f.CaptionOf("NextBtn"), "Suivant >");
  EXPECT_EQ(f.Caption(), "Setup complete");  // no French entry 37
  EXPECT_EQ(t->TranslateComponent(tvlEnglish, nullptr), tvlGerman);
}

TEST_F(TranslatorTest, FontsFollowTheLanguageTable) {
  TLangTestForm& f = *form;
  TLabel& tiny = f.Get<TLabel>("Tiny");
  TLabel& big = f.Get<TLabel>("Big");

  t->SetTranslateIntoLanguage(tvlRussian);
  ApplyFont(&f);
  for (TControl* c : {static_cast<TControl*>(&f), static_cast<TControl*>(&tiny), static_cast<TControl*>(&big),
                      static_cast<TControl*>(&f.Get<TBitBtn>("NextBtn"))}) {
    EXPECT_EQ(c->Font().Charset(), 204) << c->Name();
    EXPECT_EQ(c->Font().Name(), "Arial") << c->Name();
  }
  EXPECT_EQ(tiny.Font().Size(), 8);  // raised to the smallest legible size
  EXPECT_EQ(big.Font().Height(), -24);  // never lowered

  // Japanese has no table here: English fonts stand in.
  t->ApplyFontAs(tvlJapanese, &f);
  EXPECT_EQ(t->TranslateIntoLanguage(), tvlRussian);
  EXPECT_EQ(tiny.Font().Charset(), 0);
  EXPECT_EQ(tiny.Font().Name(), "Arial");

  // A table of its own brings the language's face, character set and size.
  Lang(tvlJapanese).Strings().Add("5;\xE6\xAC\xA1\xE3\x81\xB8 >");
  ApplyFontAs(tvlJapanese, &f);
  EXPECT_EQ(tiny.Font().Charset(), 128);
  EXPECT_EQ(tiny.Font().Name(), LanguageFace(tvlJapanese).FaceName);
  EXPECT_EQ(tiny.Font().Size(), 9);
  EXPECT_EQ(big.Font().Height(), -24);

  // An overriding font is copied whole.
  t->ApplyFontAs(tvlFrench, &f);
  EXPECT_EQ(tiny.Font().Name(), "Courier New");
  EXPECT_EQ(big.Font().Height(), -16);

  // The system's language when the target is tvlUser; the German face.
  t->SetTranslateIntoLanguage(tvlUser);
  TRunSlotScope<TLangIdSource> system(UserLangIdSourceSlot(), [] { return kGerman; });
  ApplyFont(&tiny);
  EXPECT_EQ(tiny.Font().Name(), "MS Sans Serif");
  EXPECT_EQ(big.Font().Name(), "Courier New");  // only the control given and its children
}

// Every language but Hebrew ships a table under the language's file name; any two of them translate
// into each other through the identifiers.
TEST_F(TranslatorTest, ShippedTablesLoadUnderTheirFileNamesAndTranslateIntoEachOther) {
  Lang(tvlEnglish).Strings().LoadFromFile(CheckoutPath("src/lang/tables/tvriEnglish.txt"));
  ASSERT_GT(Lang(tvlEnglish).StringEntries().size(), 70u);
  for (int i = 0; i < t->LanguageCount(); ++i) {
    TLanguage& l = *t->Languages(i);
    if (l.LanguageIdent() == tvlHebrew || l.LanguageIdent() == tvlEnglish) continue;
    SCOPED_TRACE(l.FileName());
    l.Strings().LoadFromFile(CheckoutPath("src/lang/tables/" + l.FileName()));
    EXPECT_EQ(l.StringEntries().size(), Lang(tvlEnglish).StringEntries().size());
  }
  t->SetTranslateIntoLanguage(tvlJapanese);
  EXPECT_EQ(t->TranslateText(tvlEnglish, "Next >"), "\xE6\xAC\xA1\xE3\x81\xB8 >");
  t->SetTranslateIntoLanguage(tvlGerman);
  EXPECT_EQ(t->TranslateText(tvlFrench, "Annuler"), "Abbrechen");
  EXPECT_EQ(Format(t->TranslateText(tvlEnglish, "Please insert disk number %d"), 2), "Bitte legen Sie Datentr\xC3\xA4ger 2 ein");
  t->SetTranslateIntoLanguage(tvlRussian);
  EXPECT_EQ(t->TranslateText(tvlGerman, "Setup abgeschlossen"), "\xD0\xA3\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBA\xD0\xB0 \xD0\xB7\xD0\xB0\xD0\xB2\xD0\xB5\xD1\x80\xD1\x88\xD0\xB5\xD0\xBD\xD0\xB0");
  t->SetTranslateIntoLanguage(tvlEnglish);
  EXPECT_EQ(t->TranslateText(tvlKorean, "\xEB\x8B\xA4\xEC\x9D\x8C >"), "Next >");
}

TEST(Languages, NamesCharsetsAndSystemLanguages) {
  EXPECT_EQ(LangIdToString(tvlChineseSimplified), "ChineseSimplified");
  EXPECT_EQ(LangIdToString(tvlPortugese), "Portugese");
  EXPECT_EQ(LangIdToString(tvlVietnamese), "Vietnamese");
  EXPECT_EQ(LanguageFromLangId(kGerman), tvlGerman);
  EXPECT_EQ(LanguageFromLangId(0x0807), tvlGerman);  // Swiss German: the primary language counts
  EXPECT_EQ(LanguageFromLangId(kJapanese), tvlJapanese);
  EXPECT_EQ(LanguageFromLangId(0x042A), tvlVietnamese);
  EXPECT_EQ(LanguageFromLangId(0x0416), tvlPortugese);
  EXPECT_EQ(LanguageFromLangId(kDutch), tvlEnglish);
  EXPECT_EQ(LanguageCharset(tvlCzech), 238);
  EXPECT_EQ(LanguageCharset(tvlRussian), 204);
  EXPECT_EQ(LanguageCharset(tvlHebrew), 177);
  EXPECT_EQ(LanguageCharset(tvlChineseSimplified), 134);
  EXPECT_EQ(LanguageCharset(tvlKorean), 129);
  EXPECT_EQ(LanguageCharset(tvlVietnamese), 163);
  EXPECT_EQ(ErrorOf([] { LanguageCharset(tvlUser); }), "Unrecognized language");
  EXPECT_EQ(ErrorOf([] { LanguageFace(static_cast<TTvrkLanguage>(17)); }), "Unrecognized language");
}

TEST(Languages, TheFirstTranslatorTranslatesEveryMessageWhileItLives) {
  RegisterLangClasses();
  EXPECT_EQ(Translator(), nullptr);
  EXPECT_EQ(Translate(tvlGerman, nullptr), tvlGerman);
  auto first = std::make_unique<TTranslator>(nullptr);
  auto second = std::make_unique<TTranslator>(nullptr);
  EXPECT_EQ(Translator(), first.get());
  first->FindLanguage(tvlEnglish)->Strings().SetStrings(
      {"100;Installation aborted by the user", "101;Cannot find %s", "102;Unrecognized language"});
  first->FindLanguage(tvlGerman)->Strings().SetStrings(
      {"100;Installation vom Benutzer abgebrochen", "101;%s wurde nicht gefunden", "102;Unbekannte Sprache"});
  second->FindLanguage(tvlEnglish)->Strings().SetStrings({"100;Installation aborted by the user"});
  second->FindLanguage(tvlGerman)->Strings().SetStrings({"100;Vom zweiten"});
  first->SetTranslateIntoLanguage(tvlGerman);
  second->SetTranslateIntoLanguage(tvlGerman);

  EXPECT_EQ(IEInstall("Installation aborted by the user").Message(), "Installation vom Benutzer abgebrochen");
  EXPECT_EQ(IEInstall("Cannot find %s", std::string("setup.1")).Message(), "setup.1 wurde nicht gefunden");
  EXPECT_EQ(IEInstall("Not in the table").Message(), "Not in the table");
  EXPECT_EQ(ErrorOf([] { LanguageCharset(tvlUser); }), "Unbekannte Sprache");

  second.reset();
  EXPECT_EQ(TranslateMessage("Cannot find %s"), "%s wurde nicht gefunden");
  first.reset();
  EXPECT_EQ(Translator(), nullptr);
  EXPECT_EQ(TranslateMessage("Cannot find %s"), "Cannot find %s");
  // The next one made takes the place.
  TTranslator third(nullptr);
  EXPECT_EQ(Translator(), &third);
}

}  // namespace
}  // namespace tav
