// Tables of the tooltip markup: grid, span-by-span sizes, spare width,
// borders. Text on the fixed-metrics device is 5 pixels a byte.
#include "html_table.h"

#include <gtest/gtest.h>

#include "fixed_metrics_device.h"
#include "html_layout.h"

namespace {

using brevant::SpanNeed;

TEST(HtmlTable, SizesAreSettledSpanBySpan) {
  struct Case {
    const char* what;
    std::vector<SpanNeed> needs;
    int count, gap;
    std::vector<int> sizes;
  };
  const Case cases[] = {
      {"widest single cell", {{0, 1, 10}, {0, 1, 30}, {1, 1, 5}}, 2, 0, {30, 5}},
      {"a span adds its shortfall evenly, the remainder to the first", {{0, 1, 10}, {1, 1, 10}, {0, 2, 31}}, 2, 0, {16, 15}},
      {"a span that fits adds nothing", {{0, 1, 10}, {1, 1, 10}, {0, 2, 20}}, 2, 0, {10, 10}},
      {"the gap between spanned columns counts", {{0, 1, 10}, {1, 1, 10}, {0, 2, 24}}, 2, 4, {10, 10}},
      {"spans settle after the single cells", {{0, 3, 30}, {1, 1, 12}}, 3, 0, {6, 18, 6}},
      {"needs outside the grid are ignored", {{2, 2, 50}, {-1, 1, 50}}, 3, 0, {0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(brevant::SettleSpans(c.needs, c.count, c.gap), c.sizes) << c.what;
}

TEST(HtmlTable, SpareWidthGoesToColumnsThatAreNotFixed) {
  std::vector<int> sizes = {10, 10, 10};
  EXPECT_TRUE(brevant::ShareSpare(sizes, {false, true, false}, 11));
  EXPECT_EQ(sizes, (std::vector<int>{15, 10, 16}));
  std::vector<int> all_fixed = {10, 10};
  EXPECT_FALSE(brevant::ShareSpare(all_fixed, {true, true}, 10));
  EXPECT_EQ(all_fixed, (std::vector<int>{10, 10}));
}

TEST(HtmlTable, CellsTakeTheFirstPlacesLeftFreeByRowSpans) {
  const auto tokens = brevant::TokenizeHtml(
      "<tr><td rowspan=2>a</td><td>b</td></tr><tr><td>c<td colspan=99999>d</tr>stray<td>e");
  const brevant::TableGrid grid = brevant::ParseTableGrid(tokens, 0, tokens.size());
  ASSERT_EQ(grid.cells.size(), 4u) << "e finds its row full";
  EXPECT_EQ(grid.cells[2].column, 1) << "c goes beside a's second row";
  EXPECT_EQ(grid.cells[3].colspan, brevant::kMaxTableSpan - 2) << "absurd spans are cut";
  EXPECT_EQ(grid.cells[3].end - grid.cells[3].begin, 1u) << "a cell without its closing tag ends at the row";
  EXPECT_EQ(grid.rows, 2);
}

brevant::HtmlLayout Lay(const std::string& text, int limit = 0) {
  static const brevant::StyleSheet sheet = brevant::ParseStyleSheet(brevant::BuiltInStyleSheet());
  brevant::testing::FixedMetricsDevice device;
  brevant::HtmlLayoutOptions options;
  options.width_limit = limit;
  options.fill_width = limit > 0;
  return brevant::LayoutHtml(text, sheet, device, options);
}

const brevant::HtmlBoxItem& Box(const brevant::HtmlLayout& layout, std::size_t index) {
  return std::get<brevant::HtmlBoxItem>(layout.items.at(index));
}

TEST(HtmlTable, WidthsBordersAndSpareWidthOfALaidOutTable) {
  // Columns: "aaaa" and "bb" with padding 1 on each side: 22 and 12.
  const std::string cells = "<tr><td>aaaa</td><td>bb</td></tr>";
  struct Case {
    std::string table;
    int limit;
    int width;
  };
  const Case cases[] = {
      {"<table cellpadding=1>", 0, 34},
      {"<table cellpadding=1 border=2>", 0, 42}  /* cells get 1-pixel borders */,
      {"<table cellpadding=1 border=4 borderstyle=double>", 0, 44},
      {"<table cellpadding=1 border=3 borderstyle=dotted>", 0, 40},
      {"<table cellpadding=1 cellspacing=4>", 0, 42},
      {"<table cellpadding=1>", 100, 100},
      {"<table cellpadding=1 width=50%>", 100, 50},
  };
  for (const Case& c : cases) {
    const auto layout = Lay(c.table + cells + "</table>", c.limit);
    EXPECT_EQ(Box(layout, 0).rect.right - Box(layout, 0).rect.left, c.width) << c.table;
  }

  const auto stretched = Lay("<table cellpadding=1>" + cells + "</table>", 100);
  EXPECT_EQ(Box(stretched, 1).rect.right - Box(stretched, 1).rect.left, 22 + 33);
  const auto fixed = Lay("<table cellpadding=1 align=center><tr><td width=20>a</td><td width=30>b</td></tr></table>", 100);
  EXPECT_EQ(fixed.size.width, 100);
  EXPECT_EQ(Box(fixed, 0).rect.left, 25) << "every column fixed: the table is centred";
  EXPECT_EQ(Box(fixed, 0).rect.right - Box(fixed, 0).rect.left, 50);
}

TEST(HtmlTable, WhatIsMeasuredWithoutALimitFitsWhenDrawnAtThatWidth) {
  for (const char* table : {"<table><tr><td width=30%>aaaa aaaa</td><td>bb</td></tr></table>",
                            "<table width=50% border=1><tr><td colspan=2>aaaaaaaaaa</td></tr><tr><td>b</td><td>c</td></tr></table>"}) {
    const auto measured = Lay(table);
    const auto drawn = Lay(table, measured.size.width);
    EXPECT_EQ(Box(drawn, 0).rect.right, measured.size.width) << table;
    EXPECT_EQ(drawn.size.height, measured.size.height) << table;
  }
}

TEST(HtmlTable, CellBordersAndBackgrounds) {
  const auto layout = Lay("<table border=5 bordercolor=red bgcolor=#102030 bgeffect=vgradient bgendcolor=white>"
                          "<tr><td bgcolor=blue>x</td><td border=4 borderstyle=dashed>y</td></tr></table>");
  const auto& table = Box(layout, 0);
  EXPECT_EQ(table.border.width, 5);
  EXPECT_EQ(table.border.light, brevant::MakeColour(255, 0, 0));
  EXPECT_EQ(table.background.effect, 2);
  EXPECT_EQ(table.background.start, brevant::MakeColour(0x10, 0x20, 0x30));
  EXPECT_EQ(table.background.end, brevant::MakeColour(255, 255, 255));
  const auto& first = Box(layout, 1);
  EXPECT_EQ(first.border.width, 1) << "inside cells borders are at most 1 pixel";
  EXPECT_EQ(first.background.effect, 0) << "a colour alone fills solid";
  const auto& second = Box(layout, 3);
  EXPECT_EQ(second.border.style, 2);
  EXPECT_EQ(second.background.effect, -1) << "no colour: nothing filled";
  EXPECT_EQ(Box(Lay("<table border=0 borderstyle=solid><tr><td>x</table>"), 0).border.width, 1);
  EXPECT_EQ(Box(Lay("<table borderstyle=solid border=0><tr><td>x</table>"), 0).border.width, 1)
      << "the style given with width 0 gets width 1 whatever the order";
}

}  // namespace
