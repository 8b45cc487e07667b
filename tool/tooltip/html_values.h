// Values of the tooltip markup that need no device: colours by name, number
// or "#rrggbb", and the entities replaced before a text is parsed. Portable.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brevant {

// A colour in the platform's layout: red in the low byte, then green, blue.
using HtmlColour = std::uint32_t;
constexpr HtmlColour MakeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<HtmlColour>(red) | (static_cast<HtmlColour>(green) << 8) | (static_cast<HtmlColour>(blue) << 16);
}

// The platform's current colour of a system colour index.
using SystemColourLookup = std::function<HtmlColour(int index)>;

// The colour a value names: "#" and exactly six hex digits, a raw number
// (decimal, or hex after "0x") when it starts with a digit, else one of the
// 140 colour names or a system colour name (letters compared without regard
// to case). Nothing for an unknown name or a malformed value: the caller
// keeps the colour it had.
std::optional<HtmlColour> ParseHtmlColour(std::string_view value, const SystemColourLookup& system_colour);

// The text with its entities replaced by characters of the single-byte code
// page; "&lt;" becomes "<<", which the parser reads as a literal "<".
// Unknown entities stay as they are.
std::string ReplaceHtmlEntities(std::string_view text);

}  // namespace brevant
