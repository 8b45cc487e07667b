// The tooltip markup's style sheets, declarations and lengths.
#include "html_style.h"

#include <gtest/gtest.h>

namespace {

TEST(HtmlStyle, TheBuiltInSheetAndItsDeclarations) {
  const brevant::StyleSheet sheet = brevant::ParseStyleSheet(brevant::BuiltInStyleSheet());
  EXPECT_EQ(sheet.size(), 19u);
  ASSERT_TRUE(sheet.count("a:hover"));
  ASSERT_TRUE(sheet.count(".cpp-comment"));
  const auto pre = brevant::ParseDeclarations(sheet.at("pre"));
  ASSERT_EQ(pre.size(), 3u);
  EXPECT_EQ(pre[1], std::make_pair(std::string("font-family"), std::string("Courier"))) << "quotes taken off";
  EXPECT_EQ(brevant::ParseDeclarations(sheet.at("h2"))[1].second, "#ff9900");
}

TEST(HtmlStyle, BrokenRulesAndDeclarationsAreSkipped) {
  const brevant::StyleSheet sheet = brevant::ParseStyleSheet(" h1 { color: red } {color: blue} h1 {color: lime} p {x");
  EXPECT_EQ(sheet.size(), 1u);
  EXPECT_EQ(sheet.at("h1"), "color: lime") << "the later rule wins";
  const auto declarations = brevant::ParseDeclarations("color red; : x; margin : 4px ;;padding:2");
  ASSERT_EQ(declarations.size(), 2u);
  EXPECT_EQ(declarations[0], std::make_pair(std::string("margin"), std::string("4px")));
  EXPECT_EQ(declarations[1], std::make_pair(std::string("padding"), std::string("2")));
}

TEST(HtmlStyle, LengthsInPixelsAtTheDevicesResolution) {
  const brevant::LengthContext context{96, 12, 6, 200};
  struct Case {
    const char* value;
    std::optional<int> pixels;
  };
  for (const Case c : {Case{"7", 7}, Case{"7px", 7}, Case{"2em", 24}, Case{"3ex", 18}, Case{"1in", 96},
                       Case{"2.54cm", 96}, Case{"10mm", 37}, Case{"72pt", 96}, Case{"1pc", 16}, Case{"50%", 100},
                       Case{"1e30", std::nullopt}, Case{"99999999999999999999999px", 100000},
                       Case{"12furlongs", std::nullopt}, Case{"px", std::nullopt}, Case{"", std::nullopt}})
    EXPECT_EQ(brevant::ParseLength(c.value, context), c.pixels) << c.value;
}

TEST(HtmlStyle, FontSizesInPoints) {
  const brevant::LengthContext context{96, 10, 5, 0};
  EXPECT_EQ(brevant::ParseFontSize("3", 10, context), 12);
  EXPECT_EQ(brevant::ParseFontSize("7", 10, context), 36);
  EXPECT_EQ(brevant::ParseFontSize("9", 10, context), 9) << "beyond the numbered sizes: points";
  EXPECT_EQ(brevant::ParseFontSize("150%", 10, context), 15);
  EXPECT_EQ(brevant::ParseFontSize("14pt", 10, context), 14);
  EXPECT_EQ(brevant::ParseFontSize("2em", 10, context), 20);
  EXPECT_EQ(brevant::ParseFontSize("16px", 10, context), 12);
  EXPECT_EQ(brevant::ParseFontSize("big", 10, context), std::nullopt);
}

}  // namespace
