#include <gtest/gtest.h>

#include "config/resources.h"
#include "test_classes.h"

using namespace tav;

namespace {

TEST(Resources, FormsLoadFromTheRCDataResourceNamedAfterTheirClass) {
  tav::test::RegisterTestClasses();
  ASSERT_TRUE(config::FindRCData("TTESTFORM").has_value());
  EXPECT_EQ(config::FindRCData("TTESTFORM")->substr(0, 4), "TPF0");
  EXPECT_FALSE(config::FindRCData("TNOSUCHFORM").has_value());

  tav::test::TTestForm form(nullptr);
  config::LoadFormFromResource(form);
  EXPECT_EQ(form.Name(), "ResForm");
  EXPECT_EQ(form.count, 300);
  auto* later = dynamic_cast<tav::test::TThing*>(form.FindComponent("Later"));
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(form.partner, later);
  EXPECT_EQ(later->text, "from a resource");
  EXPECT_EQ(later->lines.Count(), 2);

  tav::test::TThing other(nullptr);  // TTHING is not a resource of this program
  EXPECT_THROW(config::LoadFormFromResource(other), EResNotFound);
}

}  // namespace
