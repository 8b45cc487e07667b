// Colour values and entities of the tooltip markup.
#include "html_values.h"

#include <gtest/gtest.h>

namespace {

using brevant::MakeColour;

brevant::HtmlColour FakeSystemColour(int index) { return 0x010000u * static_cast<unsigned>(index); }

TEST(HtmlColour, HexNumbersNamesAndSystemColours) {
  struct Case {
    const char* value;
    std::optional<brevant::HtmlColour> colour;
  };
  const Case cases[] = {
      {"#00ff00", MakeColour(0, 255, 0)},     {"lime", MakeColour(0, 255, 0)},
      {"#FF9900", MakeColour(255, 153, 0)},   {"Red", MakeColour(255, 0, 0)},
      {"lightgoldenrodyellow", MakeColour(250, 250, 210)}, {"yellowgreen", MakeColour(154, 205, 50)},
      {"255", MakeColour(255, 0, 0)},         {"0x00FF00", MakeColour(0, 255, 0)},
      {"infobackground", FakeSystemColour(24)}, {"scrollbar", FakeSystemColour(0)},
      // Left as they were:
      {"#0f0", std::nullopt},                 {"#00ff0g", std::nullopt},
      {"#00ff000", std::nullopt},             {"grey", std::nullopt},
      {"12ab", std::nullopt},                 {"0x", std::nullopt},
      {"99999999999", std::nullopt},          {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(brevant::ParseHtmlColour(c.value, &FakeSystemColour), c.colour) << c.value;
  EXPECT_EQ(brevant::ParseHtmlColour("window", nullptr), std::nullopt);
}

TEST(HtmlEntities, ReplacedBeforeParsingLtDoubled) {
  EXPECT_EQ(brevant::ReplaceHtmlEntities("a&lt;b"), "a<<b");
  EXPECT_EQ(brevant::ReplaceHtmlEntities("&amp;&gt;&quot;&nbsp;&copy;&euro;&trade;"), "&>\" \xA9\x88\x99");
  EXPECT_EQ(brevant::ReplaceHtmlEntities("&bull;&iquest;&para;&pound;&reg;"), "\x95\xBF\xB6\xA3\xAE");
  EXPECT_EQ(brevant::ReplaceHtmlEntities("&unknown; & &amp"), "&unknown; & &amp") << "left as written";
}

}  // namespace
