// The markup read into text runs and tags.
#include "html_tokens.h"

#include <gtest/gtest.h>

#include "html_values.h"

namespace {

using brevant::HtmlToken;

// One line per token: "text" or <name> / </name> with params and count.
std::vector<std::string> Shown(std::string_view markup) {
  std::vector<std::string> shown;
  for (const HtmlToken& token : brevant::TokenizeHtml(markup)) {
    if (token.kind == HtmlToken::Kind::Text) {
      shown.push_back("\"" + token.text + "\"");
      continue;
    }
    std::string tag = std::string(token.closing ? "</" : "<") + token.text;
    for (const auto& [name, value] : token.params) tag += " " + name + "=[" + value + "]";
    if (token.count != 1) tag += " x" + std::to_string(token.count);
    shown.push_back(tag + ">");
  }
  return shown;
}

TEST(HtmlTokens, TextTagsParametersAndCounts) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Shown("a<b>bold</b>"), (V{"\"a\"", "<b>", "\"bold\"", "</b>"}));
  EXPECT_EQ(Shown("<font color=#00ff00 face=\"Arial Black\" size='3'>x"),
            (V{"<font color=[#00ff00] face=[Arial Black] size=[3]>", "\"x\""}));
  EXPECT_EQ(Shown("<a msg=\"1 > 0\">go</a>"), (V{"<a msg=[1 > 0]>", "\"go\"", "</a>"})) << "quotes hold a >";
  EXPECT_EQ(Shown("<br 2>x<t 3><br>"), (V{"<br x2>", "\"x\"", "<t x3>", "<br>"}));
  EXPECT_EQ(Shown("one\ntwo\tthree"), (V{"\"one\"", "<br>", "\"two\"", "<t>", "\"three\""}));
  EXPECT_EQ(Shown("<br 99999>"), (V{"<br>"})) << "an absurd count is not taken";
}

TEST(HtmlTokens, LiteralLessThanAndUnendedTags) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Shown(brevant::ReplaceHtmlEntities("a&lt;b")), (V{"\"a<b\""}));
  EXPECT_EQ(Shown("x < y"), (V{"\"x < y\""})) << "no > after it: text";
  EXPECT_EQ(Shown("<font color=\"red>x"), (V{"\"<font color=\"red>x\""}));
  EXPECT_EQ(Shown("<>"), (V{"<>"}));
  EXPECT_TRUE(Shown("").empty());
}

}  // namespace
