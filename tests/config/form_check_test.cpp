#include <gtest/gtest.h>

#include "config/form_check.h"
#include "config/text_form.h"
#include "test_classes.h"

using namespace tav::config;

namespace {

TEST(FormCheck, NamesEveryUnknownClassPropertyAndValue) {
  tav::test::RegisterTestClasses();
  EXPECT_TRUE(CheckForm(ReadTextForm("object Form: TTestForm\n  Settings.Font.Height = -11\n  Partner = A\n"
                                     "  object A: TThing\n    Entries = <\n      item\n        Key = 'k'\n      end>\n"
                                     "  end\nend\n"))
                  .empty());
  const std::vector<std::string> problems = CheckForm(ReadTextForm(
      "object Form: TTestForm\n"
      "  Nope = 1\n"
      "  Settings.Font.Weight = 1\n"
      "  Mode = mdTenth\n"
      "  Partner = Ghost\n"
      "  object A: TNoSuchThing\n"
      "    Whatever = 2\n"
      "  end\n"
      "  object B: TThing\n"
      "    Options = [opA, opQ]\n"
      "    Count = 'x'\n"
      "    Entries = <\n      item\n        Colour = 1\n      end>\n"
      "  end\n"
      "end\n"));
  const std::vector<std::string> expected = {
      "Form.Nope: TTestForm has no property Nope",
      "Form.Settings.Font.Weight: TFont has no property Weight",
      "Form.Mode: invalid value for this property",
      "Form.Partner: component Ghost does not exist in this form",
      "Form.A: class TNoSuchThing is not registered",
      "Form.B.Options: unknown set member opQ",
      "Form.B.Count: an integer was expected, not String",
      "Form.B.Entries[0].Colour: TEntryItem has no property Colour",
  };
  EXPECT_EQ(problems, expected);
}

}  // namespace
