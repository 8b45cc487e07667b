#include "html_style.h"

#include <cctype>
#include <cstdlib>

namespace brevant {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

std::string_view Unquote(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
    return text.substr(1, text.size() - 2);
  return text;
}

// The number a length starts with and the unit after it.
struct Number {
  double value;
  std::string_view unit;
};
std::optional<Number> SplitNumber(std::string_view text) {
  text = Trim(text);
  std::size_t end = 0;
  bool digits = false, point = false;
  while (end < text.size()) {
    const char c = text[end];
    if (std::isdigit(static_cast<unsigned char>(c))) digits = true;
    else if (c == '.' && !point) point = true;
    else break;
    ++end;
  }
  if (!digits) return std::nullopt;
  return Number{std::strtod(std::string(text.substr(0, end)).c_str(), nullptr), Trim(text.substr(end))};
}

std::optional<double> DeviceUnit(std::string_view unit, int dpi) {
  if (unit == "in") return dpi;
  if (unit == "cm") return dpi / 2.54;
  if (unit == "mm") return dpi / 25.4;
  if (unit == "pt") return dpi / 72.0;
  if (unit == "pc") return dpi / 6.0;
  return std::nullopt;
}

constexpr int kNumberedFontSizes[] = {8, 10, 12, 14, 18, 24, 36};
// Far beyond any size a tooltip draws; keeps absurd values from wrapping.
constexpr double kLargestLength = 100000;

int Whole(double value) { return static_cast<int>(value < kLargestLength ? value : kLargestLength); }
constexpr int kPointsPerInch = 72;

}  // namespace

const char* BuiltInStyleSheet() {
  return "body {font-size: 10pt; color: black; font-family: Verdana}\n"
         "p {font-size: 10pt; color: black; font-family: Verdana; font-weight: bold}\n"
         "h1 {font-size: 14pt; color: black; font-family: Verdana; font-weight: bold}\n"
         "h2 {font-size: 13pt; color: #ff9900; font-family: Verdana; font-weight: bold}\n"
         "h3 {font-size: 12pt; color: #ff9900; font-family: Arial; font-weight: bold}\n"
         "h4 {font-size: 10pt; color: black; font-family: Verdana; font-weight: bold}\n"
         "h5 {font-size: 9pt; color: #ff9900; font-family: Verdana; font-weight: bold}\n"
         "h6 {font-size: 65%; color: #626262; font-family: Verdana; font-weight: normal}\n"
         "h7 {font-size: 14pt; color: #0000FF; font-family: Verdana; font-weight: bold}\n"
         "pre {font-size: 9pt; font-family: \"Courier\"; background-color: #fbedbb}\n"
         "code {color: #990000; font-family: Arial}\n"
         "a:link {text-decoration: none; color: blue}\n"
         "a:hover {text-decoration: underline; color: blue}\n"
         "sub {font-size: 65%; vertical-align: bottom}\n"
         "sup {font-size: 65%; vertical-align: top}\n"
         "big {font-size: 125%}\n"
         "small {font-size: 75%}\n"
         ".cpp-comment {color: green; font-style: italic}\n"
         ".cpp-redfont {color: black}\n";
}

StyleSheet ParseStyleSheet(std::string_view text) {
  StyleSheet sheet;
  while (!text.empty()) {
    const std::size_t open = text.find('{');
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('}', open + 1);
    if (close == std::string_view::npos) break;  // an unended rule is not taken
    const std::string_view selector = Trim(text.substr(0, open));
    if (!selector.empty()) sheet[std::string(selector)] = std::string(Trim(text.substr(open + 1, close - open - 1)));
    text.remove_prefix(close + 1);
  }
  return sheet;
}

std::vector<std::pair<std::string, std::string>> ParseDeclarations(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> declarations;
  while (!text.empty()) {
    const std::size_t end = text.find(';');
    const std::string_view declaration = text.substr(0, end);
    const std::size_t colon = declaration.find(':');
    if (colon != std::string_view::npos) {
      const std::string_view name = Trim(declaration.substr(0, colon));
      if (!name.empty())
        declarations.emplace_back(std::string(name), std::string(Unquote(Trim(declaration.substr(colon + 1)))));
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return declarations;
}

std::optional<int> ParseLength(std::string_view value, const LengthContext& context) {
  const std::optional<Number> number = SplitNumber(value);
  if (!number) return std::nullopt;
  const std::string_view unit = number->unit;
  double pixels = 0;
  if (unit.empty() || unit == "px") pixels = number->value;
  else if (unit == "em") pixels = number->value * context.font_size;
  else if (unit == "ex") pixels = number->value * context.x_height;
  else if (unit == "%") pixels = number->value * context.percent_base / 100.0;
  else if (const std::optional<double> per_unit = DeviceUnit(unit, context.dpi)) pixels = number->value * *per_unit;
  else return std::nullopt;
  return Whole(pixels);
}

std::optional<int> ParseFontSize(std::string_view value, int current_points, const LengthContext& context) {
  const std::optional<Number> number = SplitNumber(value);
  if (!number) return std::nullopt;
  const std::string_view unit = number->unit;
  if (unit.empty()) {
    const int n = Whole(number->value);
    if (n >= 1 && n <= 7 && n == number->value) return kNumberedFontSizes[n - 1];
    return n;
  }
  if (unit == "pt") return Whole(number->value);
  if (unit == "%") return Whole(number->value * current_points / 100.0);
  if (unit == "em") return Whole(number->value * current_points);
  const std::optional<int> pixels = ParseLength(value, context);
  if (!pixels || context.dpi <= 0) return std::nullopt;
  return *pixels * kPointsPerInch / context.dpi;
}

}  // namespace brevant
