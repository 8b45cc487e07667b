// The tooltip markup's style-sheet language and lengths: rules
// "selector { property: value; ... }", the built-in sheet, lengths with
// units converted at the device's resolution. Portable.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brevant {

// Selector ("h1", ".class", "a:hover") to its declarations text. A later
// rule of the same selector replaces the earlier one.
using StyleSheet = std::map<std::string, std::string>;
StyleSheet ParseStyleSheet(std::string_view text);
const char* BuiltInStyleSheet();

// "property: value" pairs in their order, names and values trimmed, quotes
// around a value taken off; a declaration without ":" is skipped.
std::vector<std::pair<std::string, std::string>> ParseDeclarations(std::string_view text);

struct LengthContext {
  int dpi = 96;            // the device's vertical resolution
  int font_size = 10;      // the current font size, for "em"
  int x_height = 5;        // height of "x" in the current font, for "ex"
  int percent_base = 0;    // what a percentage is taken of
};

// A length in pixels ("px", "em", "ex", "in", "cm", "mm", "pt", "pc", "%",
// or a bare number); nothing for a malformed value.
std::optional<int> ParseLength(std::string_view value, const LengthContext& context);

// A font size in points: a bare number 1..7 picks 8, 10, 12, 14, 18, 24, 36;
// "pt" as written; "%" and "em" of `current_points`; other units through
// pixels at the device's resolution.
std::optional<int> ParseFontSize(std::string_view value, int current_points, const LengthContext& context);

}  // namespace brevant
