#include "html_state.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

namespace brevant {
namespace {

constexpr int kMaxWeight = 900;
constexpr int kMaxPoints = 1000;  // no tooltip needs a larger font
constexpr int kMaxBorderWidth = 100;

struct NamedTag {
  const char* name;
  TagKind kind;
};
constexpr NamedTag kTags[] = {
    {"b", kTagBold},         {"i", kTagItalic},        {"em", kTagItalic},      {"u", kTagUnderline},
    {"s", kTagStrikeout},    {"strike", kTagStrikeout}, {"font", kTagFont},      {"hr", kTagRule},
    {"br", kTagBreak},       {"t", kTagTab},           {"left", kTagLeft},      {"center", kTagCenter},
    {"right", kTagRight},    {"justify", kTagJustify}, {"baseline", kTagBaseline}, {"top", kTagTop},
    {"vcenter", kTagVCenter}, {"middle", kTagVCenter},  {"bottom", kTagBottom},  {"bmp", kTagBitmap},
    {"icon", kTagIcon},      {"ilst", kTagImageList},  {"string", kTagString},  {"body", kTagStyle},
    {"h1", kTagStyle},       {"h2", kTagStyle},        {"h3", kTagStyle},       {"h4", kTagStyle},
    {"h5", kTagStyle},       {"h6", kTagStyle},        {"h7", kTagStyle},       {"code", kTagStyle},
    {"pre", kTagStyle},      {"big", kTagStyle},       {"small", kTagStyle},    {"sub", kTagStyle},
    {"sup", kTagStyle},      {"span", kTagSpan},       {"a", kTagLink},         {"table", kTagTable},
    {"tr", kTagRow},         {"td", kTagCell},
};

std::optional<int> Integer(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<int> FontWeight(std::string_view value) {
  if (value.empty() || value == "normal") return 400;
  if (value == "bold") return 700;
  if (value == "bolder") return 900;
  if (value == "lighter") return 100;
  const std::optional<int> number = Integer(value);
  if (!number || *number < 1 || *number > 1000) return std::nullopt;
  return number;
}

std::optional<bool> Italic(std::string_view value) {
  if (value.empty() || value == "normal") return false;
  if (value == "italic" || value == "oblique") return true;
  return std::nullopt;
}

std::optional<int> BorderStyleValue(std::string_view value) {
  if (value == "none") return kBorderNone;
  if (value == "solid") return kBorderSolid;
  if (value == "dotted") return kBorderDotted;
  if (value == "dashed") return kBorderDashed;
  if (value == "double") return kBorderDouble;
  return std::nullopt;
}

LengthContext Lengths(const DrawingState& state, HtmlDevice& device, int percent_base) {
  LengthContext context;
  context.dpi = device.Dpi();
  context.font_size = state.font.points;
  context.x_height = device.Metrics(state.font).x_height;
  context.percent_base = percent_base;
  return context;
}

void ApplyFontSize(DrawingState& state, std::string_view value, HtmlDevice& device) {
  if (const std::optional<int> points = ParseFontSize(value, state.font.points, Lengths(state, device, 0)))
    state.font.points = std::clamp(*points, 1, kMaxPoints);
}

void ApplyBackgroundColour(DrawingState& state, std::string_view value, HtmlDevice& device) {
  if (value == "transparent") {
    state.opaque = false;
  } else if (const std::optional<HtmlColour> colour = ColourValue(value, device)) {
    state.opaque = true;
    state.background_colour = *colour;
  }
}

void ApplyDecoration(DrawingState& state, std::string_view value) {
  if (value == "none") {
    state.font.underline = state.font.strikeout = state.overline = false;
  } else if (value == "underline") {
    state.font.underline = true;
  } else if (value == "line-through") {
    state.font.strikeout = true;
  } else if (value == "overline") {
    state.overline = true;
  }
}

void ApplyBorderWidth(DrawingState& state, std::string_view value, HtmlDevice& device) {
  int& width = state.border.width;
  if (value == "thin") width = width * 75 / 100;
  else if (value == "thick") width = width * 125 / 100;
  else if (value == "medium") return;
  else if (const std::optional<int> length = ParseLength(value, Lengths(state, device, width))) width = *length;
  width = std::clamp(width, 0, kMaxBorderWidth);  // "thick" again and again must not overflow
}

void ApplyDeclaration(DrawingState& state, const std::string& name, const std::string& value, HtmlDevice& device,
                      int available_width) {
  if (name == "font-size") {
    ApplyFontSize(state, value, device);
  } else if (name == "font-family") {
    if (!value.empty()) state.font.face = value;
  } else if (name == "font-style") {
    if (const std::optional<bool> italic = Italic(value)) state.font.italic = *italic;
  } else if (name == "font-weight") {
    if (const std::optional<int> weight = FontWeight(value)) state.font.weight = *weight;
  } else if (name == "text-align") {
    if (value == "left") state.horizontal_align = kAlignLeft;
    else if (value == "center") state.horizontal_align = kAlignCenter;
    else if (value == "right") state.horizontal_align = kAlignRight;
  } else if (name == "text-transform") {
    if (value == "none") state.transform = TextTransform::None;
    else if (value == "uppercase") state.transform = TextTransform::Uppercase;
    else if (value == "lowercase") state.transform = TextTransform::Lowercase;
    else if (value == "capitalize") state.transform = TextTransform::Capitalize;
  } else if (name == "color") {
    if (const std::optional<HtmlColour> colour = ColourValue(value, device)) state.text_colour = *colour;
  } else if (name == "background-color") {
    ApplyBackgroundColour(state, value, device);
  } else if (name == "text-decoration") {
    ApplyDecoration(state, value);
  } else if (name == "vertical-align") {
    if (value.empty() || value == "baseline") state.vertical_align = kAlignBaseline;
    else if (value == "middle" || value == "vcenter") state.vertical_align = kAlignMiddle;
    else if (value == "top") state.vertical_align = kAlignTop;
    else if (value == "bottom") state.vertical_align = kAlignBottom;
  } else if (name == "border-color") {
    if (const std::optional<HtmlColour> colour = ColourValue(value, device))
      state.border.light = state.border.dark = *colour;
  } else if (name == "border-width" || name == "size") {
    ApplyBorderWidth(state, value, device);
  } else if (name == "border-style") {
    if (const std::optional<int> style = BorderStyleValue(value)) state.border.style = *style;
  } else if (name == "margin" || name == "padding") {
    if (const std::optional<int> length = ParseLength(value, Lengths(state, device, available_width)))
      (name == "margin" ? state.margin : state.padding) = *length;
  }
}

// A `font` tag's attributes.
void ApplyFontTag(DrawingState& state, const HtmlToken& tag, HtmlDevice& device) {
  for (const auto& [name, value] : tag.params) {
    if (name == "face") {
      if (!value.empty()) state.font.face = value;
    } else if (name == "size") {
      ApplyFontSize(state, value, device);
    } else if (name == "color") {
      if (const std::optional<HtmlColour> colour = ColourValue(value, device)) state.text_colour = *colour;
    } else if (name == "style") {
      // Declarations, or a font style on its own.
      if (value.find(':') != std::string::npos) ApplyDeclarations(state, value, device);
      else if (const std::optional<bool> italic = Italic(value)) state.font.italic = *italic;
    } else if (name == "weight") {
      if (const std::optional<int> weight = FontWeight(value)) state.font.weight = *weight;
    } else if (name == "bkgnd") {
      ApplyBackgroundColour(state, value, device);
    }
  }
}

void ApplyLinkTag(DrawingState& state, const HtmlToken& tag, const StyleSheet& sheet, HtmlDevice& device, int link,
                  bool hovered) {
  const auto href = tag.params.find("href");
  const auto msg = tag.params.find("msg");
  if (href != tag.params.end()) {
    state.link_kind = 1;
    state.link_text = href->second;
  } else if (msg != tag.params.end()) {
    state.link_kind = 2;
    state.link_text = msg->second;
  } else {
    return;  // a link to nowhere is plain text
  }
  state.link = link;
  ApplyRule(state, sheet, hovered ? "a:hover" : "a:link", device);
}

}  // namespace

TagKind LookupTag(std::string_view name) {
  for (const NamedTag& tag : kTags)
    if (name == tag.name) return tag.kind;
  return kTagUnknown;
}

bool IsContainerTag(TagKind kind) {
  return (kind >= kTagBold && kind <= kTagFont) || (kind >= kTagLeft && kind <= kTagBottom) ||
         (kind >= kTagStyle && kind <= kTagLink);
}

std::optional<HtmlColour> ColourValue(std::string_view value, HtmlDevice& device) {
  return ParseHtmlColour(value, [&device](int index) { return device.SystemColour(index); });
}

void ApplyDeclarations(DrawingState& state, std::string_view declarations, HtmlDevice& device,
                       int available_width) {
  for (const auto& [name, value] : ParseDeclarations(declarations))
    ApplyDeclaration(state, name, value, device, available_width);
}

void ApplyRule(DrawingState& state, const StyleSheet& sheet, const std::string& selector, HtmlDevice& device) {
  const auto rule = sheet.find(selector);
  if (rule != sheet.end()) ApplyDeclarations(state, rule->second, device);
}

void OpenTag(DrawingState& state, TagKind kind, const HtmlToken& tag, const StyleSheet& sheet, HtmlDevice& device,
             int link, bool hovered) {
  switch (kind) {
    case kTagBold: state.font.weight = std::min(state.font.weight * 2, kMaxWeight); break;
    case kTagItalic: state.font.italic = !state.font.italic; break;
    case kTagUnderline: state.font.underline = !state.font.underline; break;
    case kTagStrikeout: state.font.strikeout = !state.font.strikeout; break;
    case kTagFont: ApplyFontTag(state, tag, device); break;
    case kTagLeft: state.horizontal_align = kAlignLeft; break;
    case kTagCenter: state.horizontal_align = kAlignCenter; break;
    case kTagRight: state.horizontal_align = kAlignRight; break;
    case kTagJustify: state.horizontal_align = kAlignJustify; break;
    case kTagBaseline: state.vertical_align = kAlignBaseline; break;
    case kTagTop: state.vertical_align = kAlignTop; break;
    case kTagVCenter: state.vertical_align = kAlignMiddle; break;
    case kTagBottom: state.vertical_align = kAlignBottom; break;
    case kTagStyle: ApplyRule(state, sheet, tag.text, device); break;
    case kTagSpan: {
      const auto name = tag.params.find("class");
      if (name != tag.params.end()) ApplyRule(state, sheet, "." + name->second, device);
      break;
    }
    case kTagLink: ApplyLinkTag(state, tag, sheet, device, link, hovered); break;
    default: break;
  }
}

void StateStack::Push(const std::string& tag, const DrawingState& state) { saved_.emplace_back(tag, state); }

bool StateStack::Pop(const std::string& tag, DrawingState& state) {
  for (std::size_t i = saved_.size(); i-- > 0;) {
    if (saved_[i].first != tag) continue;
    state = std::move(saved_[i].second);
    saved_.resize(i);
    return true;
  }
  return false;
}

std::string TransformText(std::string_view text, TextTransform transform, HtmlDevice& device) {
  std::string result(text);
  if (transform == TextTransform::None) return result;
  bool word_start = true;
  for (std::size_t i = 0; i < result.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(result[i]);
    if (device.IsLeadByte(c) && i + 1 < result.size()) {
      ++i;  // both bytes of a double-byte character stay as they are
      word_start = false;
      continue;
    }
    const bool upper = transform == TextTransform::Uppercase || (transform == TextTransform::Capitalize && word_start);
    if (c < 0x80) result[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
    word_start = c == ' ';
  }
  return result;
}

}  // namespace brevant
