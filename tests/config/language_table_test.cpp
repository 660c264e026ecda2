#include "config/language_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"

namespace tav::config {
namespace {

using ::testing::ElementsAre;

std::string ParseError(const std::vector<std::string>& lines) {
  try {
    ParseLanguageTable(lines);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(LanguageTable, EntriesMemosCommentsAndBlankLinesInFileOrder) {
  const TLanguageTable t = ParseLanguageTable({
      "* Common strings",      // 0
      "  5;Next >  ",          // 1: trimmed before it is split
      "",                      // 2
      "6; Cancel",             // 3: the blank after ";" is part of the text
      "7;Back;ignored;x",      // 4: a second ";" ends the text
      ".90;memo title",        // 5
      "  first line  ",        // 6
      "* not part of it",      // 7
      "",                      // 8
      "second line",           // 9
      "  #  ",                 // 10
      "5;Duplicate",           // 11
      ".91;",                  // 12: never closed, dropped
      "lost",                  // 13
  });
  ASSERT_EQ(t.Strings.size(), 4u);
  EXPECT_EQ(t.Strings[0].GLID, 5);
  EXPECT_EQ(t.Strings[0].Text, "Next >");
  EXPECT_EQ(t.Strings[0].LineIndex, 1);
  EXPECT_EQ(t.Strings[1].Text, " Cancel");
  EXPECT_EQ(t.Strings[2].Text, "Back");
  EXPECT_EQ(t.Strings[2].LineIndex, 4);
  EXPECT_EQ(t.Strings[3].GLID, 5);
  EXPECT_EQ(t.Strings[3].LineIndex, 11);
  ASSERT_EQ(t.Memos.size(), 1u);
  EXPECT_EQ(t.Memos[0].GLID, 90);
  EXPECT_EQ(t.Memos[0].LineIndex, 5);
  EXPECT_THAT(t.Memos[0].Lines, ElementsAre("first line", "second line"));
}

TEST(LanguageTable, IdentifiersAreSignedIntegersOfTheFirstField) {
  const TLanguageTable t = ParseLanguageTable({"-3;minus", "+4;plus", "2147483647;max", "-2147483648;min"});
  ASSERT_EQ(t.Strings.size(), 4u);
  EXPECT_EQ(t.Strings[0].GLID, -3);
  EXPECT_EQ(t.Strings[1].GLID, 4);
  EXPECT_EQ(t.Strings[2].GLID, 2147483647);
  EXPECT_EQ(t.Strings[3].GLID, -2147483647 - 1);
}

TEST(LanguageTable, MalformedLinesNameTheirIndexAndTrimmedText) {
  EXPECT_EQ(ParseError({"1;a", "  #  "}), "Found the end of memo marker # at line 1. Was not in a memo however");
  EXPECT_EQ(ParseError({"5"}), "The 0'th string (5) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError({"", " 5;   "}), "The 1'th string (5;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError({";text"}), "The 0'th string (;text) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError({".;"}), "The 0'th string (.;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError({"x5;Next"}),
            "The 0'th string (x5;Next) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ParseError({".a;"}), "The 0'th string (.a;) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ParseError({"5 ;Next"}),
            "The 0'th string (5 ;Next) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ParseError({"2147483648;too big"}),
            "The 0'th string (2147483648;too big) does not have the proper format of GLID;Text or .GLID;");
  // The first fault wins, whatever follows it.
  EXPECT_EQ(ParseError({"1;ok", "2", "#"}), "The 1'th string (2) does not have the proper format of GLID;Text");
}

TEST(LanguageTable, LongTextsAreCutAtWholeCharacters) {
  const std::string ascii(300, 'a');
  std::string umlauts;
  for (int i = 0; i < 300; ++i) umlauts += "\xC3\xA4";  // a-umlaut, two bytes each
  const TLanguageTable t = ParseLanguageTable({"1;" + ascii, "2;" + umlauts, "3;" + std::string(255, 'b')});
  EXPECT_EQ(t.Strings[0].Text, std::string(255, 'a'));
  EXPECT_EQ(t.Strings[1].Text.size(), 510u);
  EXPECT_EQ(t.Strings[1].Text, umlauts.substr(0, 510));
  EXPECT_EQ(t.Strings[2].Text, std::string(255, 'b'));
  // What is left after the cut must still say something.
  EXPECT_THROW(ParseLanguageTable({"4;" + std::string(255, ' ') + "late text"}), tav::Exception);
}


std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The placeholders of a text in order, and whether it carries an accelerator.
std::string Shape(const std::string& text) {
  static const std::regex placeholder("%[ds]");
  std::string shape;
  for (std::sregex_iterator i(text.begin(), text.end(), placeholder), end; i != end; ++i) shape += i->str();
  return shape + (text.find('&') != std::string::npos ? "&" : "");
}

// Every shipped table has the English identifiers, the same placeholders and accelerators, and no text
// twice for entries whose English differs (a lookup by wording would take the wrong one).
TEST(LanguageTable, ShippedTablesFollowTheEnglishOne) {
  const std::string data = TAV_TEST_DATA;
  const std::filesystem::path dir = data.substr(0, data.rfind("/tests/")) + "/src/lang/tables";
  const TLanguageTable english = ParseLanguageTable(ReadLines(dir / "tvriEnglish.txt"));
  std::map<int, std::string> englishText;
  for (const auto& s : english.Strings) englishText.emplace(s.GLID, s.Text);
  ASSERT_GT(englishText.size(), 70u);
  int tables = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    ++tables;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const std::vector<std::string> lines = ReadLines(entry.path());
    // No text is so long that the parser would cut it.
    for (const std::string& line : lines) {
      const std::size_t semicolon = line.find(';');
      if (semicolon == std::string::npos || Trim(line).rfind('*', 0) == 0) continue;
      const std::string text = line.substr(semicolon + 1, line.find(';', semicolon + 1) - semicolon - 1);
      EXPECT_EQ(FirstCharacters(text, kMaxEntryText), text) << "cut: " << line.substr(0, 40);
    }
    const TLanguageTable table = ParseLanguageTable(lines);
    std::map<int, std::string> text;
    std::map<std::string, int> byWording;
    for (const auto& s : table.Strings) {
      EXPECT_TRUE(text.emplace(s.GLID, s.Text).second) << "identifier twice: " << s.GLID;
      ASSERT_TRUE(englishText.count(s.GLID)) << "not in English: " << s.GLID;
      EXPECT_EQ(Shape(s.Text), Shape(englishText[s.GLID])) << s.GLID;
      EXPECT_EQ(s.Text, Trim(s.Text)) << s.GLID;
      const auto [it, fresh] = byWording.emplace(UpperCase(s.Text), s.GLID);
      if (!fresh) {
        EXPECT_TRUE(SameText(englishText[it->second], englishText[s.GLID])) << s.Text;
      }
    }
    EXPECT_EQ(text.size(), englishText.size());
  }
  EXPECT_EQ(tables, 15);  // every language but Hebrew
}


// The words a user meets on every page are the same throughout a table: when the English text names
// the Next, Back, Cancel or Finish button, or speaks of installing, folders or disks, the translation
// uses the language's one word for it (a stem, where the language inflects it).
TEST(LanguageTable, ShippedTablesUseTheirTermsThroughout) {
  struct Terms {
    const char* file;
    std::vector<std::string> words;  // Next, Back, Cancel, Finish, install, folder, disk
  };
  const std::vector<Terms> tables = {
      {"tvriChineseSimplified.txt", {"下一步", "上一步", "取消", "完成", "安装", "文件夹", "磁盘"}},
      {"tvriCzech.txt", {"Další", "Zpět", "Storno", "Dokončit", "instal", "složk", "disk"}},
      {"tvriDanish.txt", {"Næste", "Tilbage", "Annuller", "Udfør", "install", "mappe", "disk"}},
      {"tvriEnglish.txt", {"Next", "Previous", "Cancel", "Finish", "install", "folder", "disk"}},
      {"tvriFrench.txt", {"Suivant", "Précédent", "Annuler", "Terminer", "install", "dossier", "disque"}},
      {"tvriGerman.txt", {"Weiter", "Zurück", "Abbrechen", "Fertig stellen", "install", "ordner", "datenträger"}},
      {"tvriGreek.txt", {"Επόμενο", "Πίσω", "Άκυρο", "Τέλος", "εγκατ", "φάκελ|φακέλ", "δίσκ"}},
      {"tvriItalian.txt", {"Avanti", "Indietro", "Annulla", "Fine", "install", "cartell", "disco"}},
      {"tvriJapanese.txt", {"次へ", "戻る", "キャンセル", "完了", "インストール", "フォルダ", "ディスク"}},
      {"tvriKorean.txt", {"다음", "뒤로", "취소", "마침", "설치", "폴더", "디스크"}},
      {"tvriPolish.txt", {"Dalej", "Wstecz", "Anuluj", "Zakończ", "instal", "folder", "dysk"}},
      {"tvriPortugese.txt", {"Avançar", "Voltar", "Cancelar", "Concluir", "instal", "pasta", "disco"}},
      {"tvriRussian.txt", {"Далее", "Назад", "Отмена", "Готово", "устан", "папк", "диск"}},
      {"tvriSpanish.txt", {"Siguiente", "Anterior", "Cancelar", "Finalizar", "instal", "carpeta", "disco"}},
      {"tvriVietnamese.txt", {"Tiếp", "Quay lại", "Hủy bỏ", "Hoàn tất", "cài đặt", "thư mục", "đĩa"}},
  };
  const std::string data = TAV_TEST_DATA;
  const std::filesystem::path dir = data.substr(0, data.rfind("/tests/")) + "/src/lang/tables";
  std::map<int, std::string> english;
  for (const auto& s : ParseLanguageTable(ReadLines(dir / "tvriEnglish.txt")).Strings) english.emplace(s.GLID, s.Text);
  // Which of the terms an English text calls for; the buttons by their capitalised names only ("the
  // next disk" is no button), installing but not uninstalling (a word of its own in some languages).
  auto wanted = [](std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
    const std::string lower = LowerCase(text);
    std::vector<bool> w(7);
    w[0] = text.find("Next") != std::string::npos;
    w[1] = text.find("Previous") != std::string::npos;
    w[2] = text.find("Cancel") != std::string::npos;
    w[3] = text.find("Finish") != std::string::npos;
    w[4] = lower.find("install") != std::string::npos && lower.find("uninstall") == std::string::npos;
    w[5] = lower.find("folder") != std::string::npos;
    w[6] = lower.find("disk") != std::string::npos;
    return w;
  };
  // Lower case of the letters this test's terms use (the portable layers have no locale of their own).
  auto lowered = [](std::string text) {
    static const std::vector<std::pair<std::string, std::string>> letters = {
        {"Ä", "ä"}, {"Ö", "ö"}, {"Ü", "ü"}, {"Δ", "δ"}, {"Ε", "ε"}, {"Φ", "φ"}, {"Π", "π"}, {"Д", "д"},
        {"П", "п"}, {"У", "у"}, {"Ф", "ф"}, {"Đ", "đ"}};
    text = LowerCase(text);
    for (const auto& [upper, lower] : letters) {
      for (std::size_t at; (at = text.find(upper)) != std::string::npos;) text.replace(at, upper.size(), lower);
    }
    return text;
  };
  static const char* const names[] = {"Next", "Back", "Cancel", "Finish", "install", "folder", "disk"};
  for (const Terms& t : tables) {
    SCOPED_TRACE(t.file);
    for (const auto& s : ParseLanguageTable(ReadLines(dir / t.file)).Strings) {
      const std::vector<bool> w = wanted(english[s.GLID]);
      std::string text = s.Text;
      text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
      for (int i = 0; i < 7; ++i) {
        if (!w[i]) continue;
        // Button names as written; the other terms in any case.
        bool found = false;
        std::stringstream stems(t.words[i]);
        for (std::string word; std::getline(stems, word, '|');) {
          found = found || (i < 4 ? text.find(word) != std::string::npos
                                  : lowered(text).find(lowered(word)) != std::string::npos);
        }
        EXPECT_TRUE(found) << s.GLID << " " << names[i] << ": " << s.Text;
      }
    }
  }
}

}  // namespace
}  // namespace tav::config
