#include <gtest/gtest.h>

// First: it brings <windows.h> and tames its macros.
#include "paths_support.h"

#include <string>

#include "core/exceptions_Tavenrik.h"
#include "core/routines_API.h"
#include "paths/cmp_TPathSpecifier.h"
#include "paths/routines_ExpandPaths.h"

using namespace tav;

namespace {

TEST(ExpandPathPlaceholder, ReplacesPAndKeepsEveryOtherLetter) {
  const std::string path = "C:\\Program Files\\App";
  const struct {
    const char* text;
    std::string expected;
  } cases[] = {
      {"%p\\bin\\app.exe", path + "\\bin\\app.exe"},
      {"\"%P\" /s", "\"" + path + "\" /s"},
      {"100%%", "100%"},
      {"%%p", "%p"},
      {"%i and %x", "i and x"},  // only the percent sign vanishes
      {"trailing%", "trailing"},
      {"%", ""},
      {"", ""},
      {"%p%p", path + path},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandPathPlaceholder(c.text, path), c.expected) << c.text;
}

class MetaVariables : public ::testing::Test {
protected:
  MetaVariables() { RegisterPathClasses(); }
  pathstest::TTestForm form_;
};

TEST_F(MetaVariables, PercentSignsAndUnknownLetters) {
  EXPECT_EQ(ExpandMetaVariables("%%i", nullptr), "%i");  // not the install directory
  EXPECT_EQ(ExpandMetaVariables("a%zb%qc", nullptr), "abc");  // unknown: the letter vanishes too
  EXPECT_EQ(ExpandMetaVariables("end%", nullptr), "end");
  EXPECT_EQ(ExpandMetaVariables("50%% off", nullptr), "50% off");
  EXPECT_EQ(ExpandMetaVariables("no variables", nullptr), "no variables");
}

TEST_F(MetaVariables, FolderVariablesInEitherCase) {
  const struct {
    char letter;
    std::string expected;
  } cases[] = {
      {'b', ProgramsFolder()},   {'d', DesktopFolder()},  {'f', CommonFilesDirectory()},
      {'m', StartMenuFolder()},  {'p', ProgramFilesDirectory()}, {'s', SystemDirectory()},
      {'w', WindowsDirectory()},
  };
  for (const auto& c : cases) {
    const std::string lower = std::string("[%") + c.letter + "]";
    const std::string upper = std::string("[%") + static_cast<char>(c.letter - 'a' + 'A') + "]";
    EXPECT_EQ(ExpandMetaVariables(lower, nullptr), "[" + c.expected + "]") << lower;
    EXPECT_EQ(ExpandMetaVariables(upper, nullptr), "[" + c.expected + "]") << upper;
  }
}

template <class E>
std::string MessageOf(const std::string& text, TInstallObject* link) {
  try {
    ExpandMetaVariables(text, link);
  } catch (const E& e) {
    return e.Message();
  }
  return "no exception";
}

TEST_F(MetaVariables, ObjectVariablesNeedTheirLinkContainerAndInstaller) {
  ASSERT_EQ(CurrentInstall(), nullptr);
  EXPECT_EQ(MessageOf<EAICannotExpandContainerDirMV>("%a", nullptr),
            "Cannot expand the %a meta variable because the component is Nil");
  EXPECT_EQ(MessageOf<EAICannotExpandContainerDirMV>("%C", nullptr),
            "Cannot expand the %c meta variable because the component is Nil");
  EXPECT_EQ(MessageOf<EAICannotExpandInstallDirMV>("%i", nullptr),
            "Cannot expand the %i meta variable because there is no TInstall component");

  auto* link = new pathstest::TTestObject(&form_);
  link->SetName("Link1");
  link->SetDestDir("C:\\Links");
  EXPECT_EQ(ExpandMetaVariables("%a", link), "C:\\Links");
  EXPECT_EQ(MessageOf<EAICannotExpandContainerDirMV>("x %c", link),
            "Cannot expand the %c meta variable because the Container property is Nil");

  auto* install = new pathstest::TTestInstall(&form_);
  install->SetDestDir("C:\\Apps\\Demo\\");
  link->SetContainer(install);
  link->SetDestDirType(nullptr);
  link->SetDestDir("D:\\Own");
  EXPECT_EQ(ExpandMetaVariables("-i%i -c%C -a%A", link), "-iC:\\Apps\\Demo -cC:\\Apps\\Demo -aD:\\Own");
  delete install;
  EXPECT_EQ(CurrentInstall(), nullptr);
}

TEST_F(MetaVariables, MessagesPassTheTranslator) {
  SetMessageTranslator([](const std::string& english) { return "[" + english + "]"; });
  const std::string message = MessageOf<EAICannotExpandInstallDirMV>("%i", nullptr);
  SetMessageTranslator(nullptr);
  EXPECT_EQ(message, "[Cannot expand the %i meta variable because there is no TInstall component]");
}

}  // namespace
