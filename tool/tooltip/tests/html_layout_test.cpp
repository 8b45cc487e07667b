// The tooltip markup laid out on a device of fixed metrics: 10-point body
// text is 5 pixels a byte and 12 pixels a line.
#include "html_layout.h"

#include <gtest/gtest.h>

#include "fixed_metrics_device.h"

namespace {

using brevant::HtmlLayout;
using brevant::HtmlTextItem;

HtmlLayout Lay(const std::string& text, int limit = 0, bool fill = false, int hovered = -1) {
  static const brevant::StyleSheet sheet = brevant::ParseStyleSheet(brevant::BuiltInStyleSheet());
  brevant::testing::FixedMetricsDevice device;
  brevant::HtmlLayoutOptions options;
  options.width_limit = limit;
  options.fill_width = fill;
  options.hovered_link = hovered;
  options.shadow_dx = options.shadow_dy = 4;
  return brevant::LayoutHtml(text, sheet, device, options);
}

std::vector<HtmlTextItem> Texts(const HtmlLayout& layout) {
  std::vector<HtmlTextItem> texts;
  for (const auto& item : layout.items)
    if (const auto* text = std::get_if<HtmlTextItem>(&item)) texts.push_back(*text);
  return texts;
}

// The text of each line, runs joined.
std::vector<std::string> Lines(const HtmlLayout& layout) {
  std::vector<std::string> lines;
  int top = -1;
  for (const HtmlTextItem& text : Texts(layout)) {
    if (text.rect.top != top) lines.emplace_back();
    top = text.rect.top;
    lines.back() += text.text;
  }
  return lines;
}

HtmlTextItem Only(const std::vector<HtmlTextItem>& texts) {
  EXPECT_EQ(texts.size(), 1u);
  return texts.empty() ? HtmlTextItem{} : texts.front();
}

TEST(HtmlLayout, EntitiesBecomeTextBeforeTags) {
  EXPECT_EQ(Lines(Lay("a&lt;b")), std::vector<std::string>{"a<b"});
  EXPECT_EQ(Lines(Lay("&lt;b&gt;x&amp;")), std::vector<std::string>{"<b>x&"}) << "an escaped tag is text";
}

TEST(HtmlLayout, TagsChangeTheStateAndClosingTagsRestoreIt) {
  const auto texts = Texts(Lay("<b><b>x</b>y</b>z"));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].font.weight, 900) << "400 doubled twice, capped";
  EXPECT_EQ(texts[1].font.weight, 800);
  EXPECT_EQ(texts[2].font.weight, 400);

  const auto nested = Texts(Lay("<font color=red size=5><i>a</font>b"));
  ASSERT_EQ(nested.size(), 2u);
  EXPECT_TRUE(nested[0].font.italic);
  EXPECT_EQ(nested[0].font.points, 18);
  EXPECT_FALSE(nested[1].font.italic) << "closing the outer tag forgets the inner one";
  EXPECT_EQ(nested[1].colour, 0u);
}

TEST(HtmlLayout, ColoursAndSizesOfFontTags) {
  const auto green = brevant::MakeColour(0, 255, 0);
  EXPECT_EQ(Only(Texts(Lay("<font color=#00ff00>x"))).colour, green);
  EXPECT_EQ(Only(Texts(Lay("<font color=lime>x"))).colour, green);
  EXPECT_EQ(Only(Texts(Lay("<font color=#0f0>x"))).colour, 0u) << "three digits are malformed";
  EXPECT_EQ(Only(Texts(Lay("<font color=nosuch>x"))).colour, 0u);
  EXPECT_EQ(Only(Texts(Lay("<font color=infotext>x"))).colour, brevant::MakeColour(23, 1, 2));
  EXPECT_EQ(Only(Texts(Lay("<font size=3>x"))).font.points, 12);
  EXPECT_EQ(Only(Texts(Lay("<font style='font-size: 150%'>x"))).font.points, 15);
  EXPECT_EQ(Only(Texts(Lay("<h6>x"))).font.points, 6) << "65 % of the body's 10 points";
  const auto unknown = Only(Texts(Lay("<blink><font colour=red weight=heavy>x")));
  EXPECT_EQ(unknown.colour, 0u);
  EXPECT_EQ(unknown.font.weight, 400);
  EXPECT_EQ(unknown.font.face, "Verdana");
}

TEST(HtmlLayout, StyleSheetRulesForTagsClassesAndLinks) {
  const auto comment = Only(Texts(Lay("<span class=cpp-comment>x</span>")));
  EXPECT_TRUE(comment.font.italic);
  EXPECT_EQ(comment.colour, brevant::MakeColour(0, 128, 0));
  const auto code = Only(Texts(Lay("<code>x")));
  EXPECT_EQ(code.font.face, "Arial");
  const auto decorated = Only(Texts(Lay("<font style='text-decoration: overline'>x")));
  EXPECT_TRUE(decorated.overline);
  EXPECT_EQ(Lines(Lay("<font style='text-transform: capitalize'>hELLO wORLD")),
            std::vector<std::string>{"Hello World"});
  EXPECT_EQ(Lines(Lay("<font style='text-transform: uppercase'>a\xb0\xe1z")), std::vector<std::string>{"A\xb0\xe1Z"})
      << "double-byte characters are not letters";
}

TEST(HtmlLayout, LinesBreakAtBlanksAndAfterPunctuationOnly) {
  struct Case {
    const char* text;
    int limit;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"aaaa bbbb", 30, {"aaaa", "bbbb"}},
      {"one,two", 30, {"one,", "two"}},
      {"a(b)c", 20, {"a(b)", "c"}},
      {"abcdefghij kl", 30, {"abcdefghij", "kl"}},  // a long word is not broken
      {"abcdefghij", 10, {"abcdefghij"}},
      {"aa   bb", 15, {"aa", "bb"}},  // blanks at the break are dropped
      {"\xd6\xd0\xce\xc4\xd6\xd0", 20, {"\xd6\xd0\xce\xc4", "\xd6\xd0"}},  // never inside a double-byte character
      {"x<br>y<br 2>z", 0, {"x", "y", "z"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Lines(Lay(c.text, c.limit)), c.lines) << c.text;
  const HtmlLayout dropped = Lay("aaaa bbbb", 30);
  EXPECT_EQ(dropped.size.width, 20) << "a trailing blank is not measured";
  EXPECT_EQ(Lay("x<br 2>z").size.height, 36) << "an empty line is a line";
  EXPECT_EQ(Lay("x <b> </b>").size.width, 5) << "blanks a line ends in, in runs of their own too";
}

TEST(HtmlLayout, AlignmentJustificationAndTabs) {
  const auto centred = Texts(Lay("<center>ab</center><br>abcdef"));
  EXPECT_EQ(centred[0].rect.left, 10);
  const auto right = Texts(Lay("<right>ab</right><br>abcdef"));
  EXPECT_EQ(right[0].rect.left, 20);

  const auto justified = Texts(Lay("<justify>aa b cc dddddddd</justify>", 45, true));
  ASSERT_EQ(justified.size(), 4u);
  EXPECT_EQ(justified[2].rect.right, 45) << "the first line is spread to the full width";
  EXPECT_EQ(justified[3].rect.left, 0) << "a paragraph's last line is not";

  const auto tabs = Texts(Lay("a<t>b<t 2>c"));
  EXPECT_EQ(tabs[1].rect.left, 32);
  EXPECT_EQ(tabs[2].rect.left, 96);
}

TEST(HtmlLayout, RulesAndPictures) {
  const HtmlLayout ruled = Lay("abcdefghij<hr width=50% size=3 color=red>", 0);
  const auto* rule = std::get_if<brevant::HtmlRuleItem>(&ruled.items.back());
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->rect.right - rule->rect.left, 25);
  EXPECT_EQ(rule->rect.bottom - rule->rect.top, 3);
  EXPECT_EQ(rule->colour, brevant::MakeColour(255, 0, 0));
  EXPECT_EQ(ruled.size.height, 12 + 11) << "a rule's line is its size and 8 pixels";

  const HtmlLayout pictures = Lay("ab<bmp idres=16 style=gs><bmp idres=0><icon idres=8 width=50% mask>", 32);
  ASSERT_EQ(pictures.items.size(), 3u) << "a picture that cannot be loaded takes no space";
  const auto& first = std::get<brevant::HtmlPictureItem>(pictures.items[1]);
  EXPECT_EQ(first.style, 1u);
  EXPECT_TRUE(first.shadow);
  const auto hot = std::get<brevant::HtmlPictureItem>(Lay("<bmp idres=16 hotstyle=s>").items[0]);
  EXPECT_FALSE(hot.shadow) << "a shadow only while hovered";
  EXPECT_TRUE(hot.hot_shadow);
  EXPECT_EQ(Lay("<bmp idres=16 hotstyle=s>").size.width, 20) << "its room is kept all the time";
  EXPECT_FALSE(first.use_mask);
  const auto& second = std::get<brevant::HtmlPictureItem>(pictures.items[2]);
  EXPECT_EQ(second.rect.right - second.rect.left, 4);
  EXPECT_EQ(second.rect.left, 0) << "it did not fit beside the first and its shadow";
  EXPECT_TRUE(second.use_mask);
  EXPECT_EQ(second.mask, brevant::MakeColour(255, 0, 255));
}

TEST(HtmlLayout, LinksAreNumberedHitAndHovered) {
  EXPECT_EQ(Lay("<a msg=\"1 &lt; 2\">x</a>").links.at(0).target, "1 < 2");
  const std::string text = "x <a href=\"http://bank/\">go</a> <a msg=hello>tell</a> <a>plain</a>";
  const HtmlLayout layout = Lay(text);
  ASSERT_EQ(layout.links.size(), 2u);
  EXPECT_EQ(layout.links[0].kind, 1);
  EXPECT_EQ(layout.links[1].target, "hello");
  const auto texts = Texts(layout);
  EXPECT_EQ(layout.LinkAt(texts[1].rect.left + 1, 2), 0);
  EXPECT_EQ(layout.LinkAt(texts[3].rect.left + 1, 2), 1);
  EXPECT_EQ(layout.LinkAt(1, 2), -1);
  EXPECT_EQ(texts[1].colour, brevant::MakeColour(0, 0, 255));
  EXPECT_FALSE(texts[1].font.underline);
  EXPECT_TRUE(Texts(Lay(text, 0, false, 0))[1].font.underline) << "the link under the mouse";
  EXPECT_FALSE(Texts(Lay(text, 0, false, 0))[3].font.underline);
}

TEST(HtmlLayout, BrokenMarkupEndsCleanly) {
  std::string open, close;
  for (int i = 0; i < 5000; ++i) open += "<b>", close += "</b>";
  const auto bold = Texts(Lay(open + "x" + close + "y"));
  ASSERT_EQ(bold.size(), 2u);
  EXPECT_EQ(bold[0].font.weight, 900);
  EXPECT_EQ(bold[1].font.weight, 400);
  std::string tables = "x";
  for (int i = 0; i < 50; ++i) tables = "<table border=1><tr><td>" + tables + "</td></tr></table>";
  EXPECT_TRUE(Texts(Lay(tables)).empty()) << "tables nested too deep are dropped";
  EXPECT_EQ(Lines(Lay("<table><tr><td><table><tr><td>x")), std::vector<std::string>{"x"}) << "unclosed tables";
  std::string thick = "<font style='border-width: 100000px'>";
  for (int i = 0; i < 40; ++i) thick += "<font style='border-width: thick'>";
  EXPECT_EQ(Lines(Lay(thick + "x")), std::vector<std::string>{"x"}) << "growing widths stay bounded";
  EXPECT_EQ(Lines(Lay("a<font color='red>b")), std::vector<std::string>{"a<font color='red>b"});
  EXPECT_EQ(Lines(Lay("a</b></table></td>b<")), std::vector<std::string>{"ab<"});
}

}  // namespace

namespace {

TEST(HtmlLayout, TheHtmFallbackCommand) {
  EXPECT_EQ(brevant::HtmOpenCommand("\"C:\\b\\b.exe\" -nohome \"%1\"", "http://x/"), "\"C:\\b\\b.exe\" -nohome http://x/");
  EXPECT_EQ(brevant::HtmOpenCommand("b.exe %1 -x", "a"), "b.exe a");
  EXPECT_EQ(brevant::HtmOpenCommand("b.exe", "a"), "b.exe a");
  EXPECT_EQ(brevant::HtmOpenCommand("", "a"), "");
}

}  // namespace
