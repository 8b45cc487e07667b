// Cutting texts into fixed buffers without splitting a double-byte
// character, and the settings' decimal conversion.
#include "text_cut.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// "\xD6\xD0" is one double-byte character of code page 936.
constexpr char kHan[] = "\xD6\xD0";

TEST(TextCut, CutsAtCharacterBoundaries) {
  struct Case {
    std::string text;
    std::size_t buffer;
    std::string expected;
  };
  const std::string han = kHan;
  const Case cases[] = {
      {"abc", 4, "abc"},                            // fits exactly
      {"abcd", 4, "abc"},                           // cut by one
      {"a" + han, 4, "a" + han},                    // pair ends on the last byte
      {"ab" + han, 4, "ab"},                        // pair would straddle the end
      {han + han + "x", 4, han},                    // pairs counted from the start
      {"a\x81", 8, "a"},                            // lone lead byte at the end
      {"a\x7F\x80\xFFz", 8, "a\x7F\x80\xFFz"},      // 0x7F, 0x80, 0xFF are single bytes
      {"\xFE\x40\xFE", 8, "\xFE\x40"},              // 0xFE leads, 0x40 trails
      {"", 1, ""},
      {"abc", 1, ""},
  };
  for (const Case& c : cases) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    const std::size_t copied = brevant::CopyCut(buffer, c.buffer, c.text);
    EXPECT_EQ(std::string(buffer), c.expected) << c.text << " / " << c.buffer;
    EXPECT_EQ(copied, c.expected.size());
    EXPECT_EQ(buffer[c.buffer], '#') << "wrote past the buffer";
    EXPECT_EQ(brevant::CutText(c.text, c.buffer), c.expected);
  }
}

TEST(TextCut, LongTextFillsButNeverOverrunsAToolBuffer) {
  std::string pairs;
  for (int i = 0; i < 200; ++i) pairs += kHan;
  // 259 bytes available: after one single byte, 129 pairs fill them exactly;
  // after two, the 129th pair would lose its trail byte and is left out.
  char buffer[260 + 1];
  buffer[260] = '#';
  EXPECT_EQ(brevant::CopyCut(buffer, 260, "x" + pairs), 259u);
  EXPECT_EQ(std::strlen(buffer), 259u);
  EXPECT_EQ(buffer[260], '#');
  EXPECT_EQ(brevant::CopyCut(buffer, 260, "xy" + pairs), 258u);
  EXPECT_EQ(std::strlen(buffer), 258u);
}

TEST(TextCut, ZeroSizedBufferIsLeftAlone) {
  char buffer[1] = {'#'};
  EXPECT_EQ(brevant::CopyCut(buffer, 0, "abc"), 0u);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(brevant::CutText("abc", 0), "");
}

TEST(ParseDecimal, ReadsLeadingNumberLikeTheStandardConversion) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {
      {"7", 7},         {"00012", 12},    {"-3", -3},        {"+4", 4},          {" 42", 42},
      {"12abc", 12},    {"", 0},          {"abc", 0},        {"-", 0},           {"- 5", 0},
      {"2147483647", 2147483647},         {"99999999999", 2147483647},           {"-2147483648", -2147483647 - 1},
      {"-99999999999", -2147483647 - 1},  {"1 2", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(brevant::ParseDecimal(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace

TEST(WithNumber, PutsTheOneNumberInWithoutReadingTheTextAsAFormat) {
  const struct {
    const char* text;
    std::string shown;
  } cases[] = {
      {"PIN\xC2\xEB\xB4\xED\xCE\xF3\xA3\xAC\xBB\xB9\xBF\xC9\xB3\xA2\xCA\xD4%d\xB4\xCE", "PIN\xC2\xEB\xB4\xED\xCE\xF3\xA3\xAC\xBB\xB9\xBF\xC9\xB3\xA2\xCA\xD4" "5\xB4\xCE"},
      {"%s tries: %d, then %d", "%s tries: 5, then %d"},
      {"100%% sure, %d left", "100% sure, 5 left"},
      {"no number", "no number"},
      {"ends with %", "ends with %"},
  };
  for (const auto& c : cases) EXPECT_EQ(brevant::WithNumber(c.text, 5), c.shown) << c.text;
}
