#include "ui/align_layout.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

struct LayoutCase {
  const char* what;
  TLayoutRect client;
  std::vector<TAlignItem> items;
  std::vector<TLayoutRect> expected;
};

TEST(AlignLayout, Table) {
  const TLayoutRect some{5, 6, 30, 40};
  const std::vector<LayoutCase> cases = {
      {"no children", {0, 0, 100, 50}, {}, {}},
      {"alNone keeps its bounds", {0, 0, 100, 50}, {{alNone, true, some}}, {some}},
      {"tops stack downwards in order, widths follow the parent",
       {0, 0, 200, 100},
       {{alTop, true, {7, 7, 10, 20}}, {alTop, true, {0, 0, 0, 30}}},
       {{0, 0, 200, 20}, {0, 20, 200, 30}}},
      {"bottoms stack upwards",
       {0, 0, 200, 100},
       {{alBottom, true, {0, 0, 0, 20}}, {alBottom, true, {0, 0, 0, 30}}},
       {{0, 80, 200, 20}, {0, 50, 200, 30}}},
      {"left and right take the height left between top and bottom",
       {0, 0, 200, 100},
       {{alLeft, true, {0, 0, 40, 0}}, {alTop, true, {0, 0, 0, 10}}, {alRight, true, {0, 0, 30, 0}},
        {alBottom, true, {0, 0, 0, 20}}},
       {{0, 10, 40, 70}, {0, 0, 200, 10}, {170, 10, 30, 70}, {0, 80, 200, 20}}},
      {"client fills the rest whatever its own bounds (page layout: side panel, button bar)",
       {0, 0, 470, 368},
       {{alClient, true, {1, 2, 3, 4}}, {alLeft, true, {0, 0, 136, 0}}, {alBottom, true, {0, 0, 0, 52}}},
       {{136, 0, 334, 316}, {0, 0, 136, 316}, {0, 316, 470, 52}}},
      {"the client rectangle's origin is respected (a border inside a panel)",
       {8, 8, 100, 60},
       {{alTop, true, {0, 0, 0, 10}}, {alClient, true, {}}},
       {{8, 8, 100, 10}, {8, 18, 100, 50}}},
      {"invisible controls take no room and keep their bounds",
       {0, 0, 100, 100},
       {{alTop, false, some}, {alTop, true, {0, 0, 0, 10}}},
       {some, {0, 0, 100, 10}}},
      {"zero-sized parent gives zero sizes, never negative",
       {0, 0, 0, 0},
       {{alTop, true, {0, 0, 0, 10}}, {alLeft, true, {0, 0, 20, 0}}, {alRight, true, {0, 0, 20, 0}},
        {alClient, true, {}}},
       {{0, 0, 0, 10}, {0, 0, 20, 0}, {0, 0, 20, 0}, {0, 0, 0, 0}}},
      {"crowded parent: later controls get no room, client none",
       {0, 0, 50, 30},
       {{alTop, true, {0, 0, 0, 20}}, {alBottom, true, {0, 0, 0, 20}}, {alClient, true, {}}},
       {{0, 0, 50, 20}, {0, 20, 50, 20}, {0, 20, 50, 0}}},
      {"negative parent size counts as zero",
       {0, 0, -10, -10},
       {{alClient, true, {}}},
       {{0, 0, 0, 0}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<TLayoutRect> got = AlignLayout(c.client, c.items);
    ASSERT_EQ(got.size(), c.expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(got[i].Left, c.expected[i].Left);
      EXPECT_EQ(got[i].Top, c.expected[i].Top);
      EXPECT_EQ(got[i].Width, c.expected[i].Width);
      EXPECT_EQ(got[i].Height, c.expected[i].Height);
    }
  }
}

}  // namespace
}  // namespace tav
