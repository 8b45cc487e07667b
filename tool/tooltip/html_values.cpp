#include "html_values.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace brevant {
namespace {

struct NamedColour {
  const char* name;
  std::uint32_t rgb;  // 0xRRGGBB as the colour tables write it
};

// The 140 named colours with their standard values.
constexpr NamedColour kNamedColours[] = {
    {"aqua", 0x00FFFF}, {"black", 0x000000}, {"blue", 0x0000FF}, {"brown", 0xA52A2A}, {"cyan", 0x00FFFF},
    {"gold", 0xFFD700}, {"gray", 0x808080}, {"green", 0x008000}, {"magenta", 0xFF00FF}, {"maroon", 0x800000},
    {"navy", 0x000080}, {"olive", 0x808000}, {"orange", 0xFFA500}, {"pink", 0xFFC0CB}, {"purple", 0x800080},
    {"red", 0xFF0000}, {"silver", 0xC0C0C0}, {"snow", 0xFFFAFA}, {"violet", 0xEE82EE}, {"white", 0xFFFFFF},
    {"yellow", 0xFFFF00}, {"aliceblue", 0xF0F8FF}, {"antiquewhite", 0xFAEBD7}, {"aquamarine", 0x7FFFD4},
    {"azure", 0xF0FFFF}, {"beige", 0xF5F5DC}, {"bisque", 0xFFE4C4}, {"blanchedalmond", 0xFFEBCD},
    {"blueviolet", 0x8A2BE2}, {"burlywood", 0xDEB887}, {"cadetblue", 0x5F9EA0}, {"chartreuse", 0x7FFF00},
    {"chocolate", 0xD2691E}, {"coral", 0xFF7F50}, {"cornflowerblue", 0x6495ED}, {"cornsilk", 0xFFF8DC},
    {"crimson", 0xDC143C}, {"darkblue", 0x00008B}, {"darkcyan", 0x008B8B}, {"darkgoldenrod", 0xB8860B},
    {"darkgray", 0xA9A9A9}, {"darkgreen", 0x006400}, {"darkkhaki", 0xBDB76B}, {"darkmagenta", 0x8B008B},
    {"darkolivegreen", 0x556B2F}, {"darkorange", 0xFF8C00}, {"darkorchid", 0x9932CC}, {"darkred", 0x8B0000},
    {"darksalmon", 0xE9967A}, {"darkseagreen", 0x8FBC8F}, {"darkslateblue", 0x483D8B},
    {"darkslategray", 0x2F4F4F}, {"darkturquoise", 0x00CED1}, {"darkviolet", 0x9400D3}, {"deeppink", 0xFF1493},
    {"deepskyblue", 0x00BFFF}, {"dimgray", 0x696969}, {"dodgerblue", 0x1E90FF}, {"firebrick", 0xB22222},
    {"floralwhite", 0xFFFAF0}, {"forestgreen", 0x228B22}, {"fuchsia", 0xFF00FF}, {"gainsboro", 0xDCDCDC},
    {"ghostwhite", 0xF8F8FF}, {"goldenrod", 0xDAA520}, {"greenyellow", 0xADFF2F}, {"honeydew", 0xF0FFF0},
    {"hotpink", 0xFF69B4}, {"indianred", 0xCD5C5C}, {"indigo", 0x4B0082}, {"ivory", 0xFFFFF0},
    {"khaki", 0xF0E68C}, {"lavender", 0xE6E6FA}, {"lavenderblush", 0xFFF0F5}, {"lawngreen", 0x7CFC00},
    {"lemonchiffon", 0xFFFACD}, {"lightblue", 0xADD8E6}, {"lightcoral", 0xF08080}, {"lightcyan", 0xE0FFFF},
    {"lightgoldenrodyellow", 0xFAFAD2}, {"lightgreen", 0x90EE90}, {"lightgrey", 0xD3D3D3},
    {"lightpink", 0xFFB6C1}, {"lightsalmon", 0xFFA07A}, {"lightseagreen", 0x20B2AA}, {"lightskyblue", 0x87CEFA},
    {"lightslategray", 0x778899}, {"lightsteelblue", 0xB0C4DE}, {"lightyellow", 0xFFFFE0}, {"lime", 0x00FF00},
    {"limegreen", 0x32CD32}, {"linen", 0xFAF0E6}, {"mediumaquamarine", 0x66CDAA}, {"mediumblue", 0x0000CD},
    {"mediumorchid", 0xBA55D3}, {"mediumpurple", 0x9370DB}, {"mediumseagreen", 0x3CB371},
    {"mediumslateblue", 0x7B68EE}, {"mediumspringgreen", 0x00FA9A}, {"mediumturquoise", 0x48D1CC},
    {"mediumvioletred", 0xC71585}, {"midnightblue", 0x191970}, {"mintcream", 0xF5FFFA}, {"mistyrose", 0xFFE4E1},
    {"moccasin", 0xFFE4B5}, {"navajowhite", 0xFFDEAD}, {"oldlace", 0xFDF5E6}, {"olivedrab", 0x6B8E23},
    {"orangered", 0xFF4500}, {"orchid", 0xDA70D6}, {"palegoldenrod", 0xEEE8AA}, {"palegreen", 0x98FB98},
    {"paleturquoise", 0xAFEEEE}, {"palevioletred", 0xDB7093}, {"papayawhip", 0xFFEFD5}, {"peachpuff", 0xFFDAB9},
    {"peru", 0xCD853F}, {"plum", 0xDDA0DD}, {"powderblue", 0xB0E0E6}, {"rosybrown", 0xBC8F8F},
    {"royalblue", 0x4169E1}, {"saddlebrown", 0x8B4513}, {"salmon", 0xFA8072}, {"sandybrown", 0xF4A460},
    {"seagreen", 0x2E8B57}, {"seashell", 0xFFF5EE}, {"sienna", 0xA0522D}, {"skyblue", 0x87CEEB},
    {"slateblue", 0x6A5ACD}, {"slategray", 0x708090}, {"springgreen", 0x00FF7F}, {"steelblue", 0x4682B4},
    {"tan", 0xD2B48C}, {"teal", 0x008080}, {"thistle", 0xD8BFD8}, {"tomato", 0xFF6347},
    {"turquoise", 0x40E0D0}, {"wheat", 0xF5DEB3}, {"whitesmoke", 0xF5F5F5}, {"yellowgreen", 0x9ACD32},
};
static_assert(std::size(kNamedColours) == 140);

struct SystemColourName {
  const char* name;
  int index;
};

constexpr SystemColourName kSystemColours[] = {
    {"activeborder", 10},      {"activecaption", 2},        {"appworkspace", 12},    {"background", 1},
    {"buttonface", 15},        {"buttonhighlight", 20},     {"buttonshadow", 16},    {"buttontext", 18},
    {"captiontext", 9},        {"graytext", 17},            {"highlight", 13},       {"highlighttext", 14},
    {"inactiveborder", 11},    {"inactivecaption", 3},      {"inactivecaptiontext", 19}, {"infobackground", 24},
    {"infotext", 23},          {"menu", 4},                 {"menutext", 7},         {"scrollbar", 0},
    {"threeddarkshadow", 21},  {"threedface", 15},          {"threedhighlight", 20}, {"threedlightshadow", 22},
    {"threedshadow", 16},      {"window", 5},               {"windowframe", 6},      {"windowtext", 8},
};

bool SameName(std::string_view value, const char* name) {
  const std::string_view expected(name);
  return value.size() == expected.size() &&
         std::equal(value.begin(), value.end(), expected.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

constexpr HtmlColour FromTableValue(std::uint32_t rgb) {
  return MakeColour(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                    static_cast<std::uint8_t>(rgb));
}

// Digits of `base` only, the whole value, within 32 bits.
std::optional<std::uint32_t> ParseNumber(std::string_view digits, int base) {
  if (digits.empty() || digits.size() > (base == 16 ? 8u : 10u)) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : std::isxdigit(static_cast<unsigned char>(c))
                          ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                          : base;
    if (digit >= base) return std::nullopt;
    value = value * base + static_cast<std::uint64_t>(digit);
  }
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

struct Entity {
  std::string_view name;  // without "&" and ";"
  std::string_view replacement;
};

constexpr Entity kEntities[] = {
    {"amp", "&"},     {"bull", "\x95"},   {"copy", "\xA9"}, {"euro", "\x88"}, {"gt", ">"},
    {"iquest", "\xBF"}, {"lt", "<<"},     {"nbsp", " "},    {"para", "\xB6"}, {"pound", "\xA3"},
    {"quot", "\""},   {"reg", "\xAE"},    {"trade", "\x99"},
};

}  // namespace

std::optional<HtmlColour> ParseHtmlColour(std::string_view value, const SystemColourLookup& system_colour) {
  if (value.empty()) return std::nullopt;
  if (value.front() == '#') {
    if (value.size() != 7) return std::nullopt;
    const std::optional<std::uint32_t> rgb = ParseNumber(value.substr(1), 16);
    return rgb ? std::optional<HtmlColour>(FromTableValue(*rgb)) : std::nullopt;
  }
  if (std::isdigit(static_cast<unsigned char>(value.front()))) {
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
      return ParseNumber(value.substr(2), 16);
    return ParseNumber(value, 10);
  }
  for (const NamedColour& colour : kNamedColours)
    if (SameName(value, colour.name)) return FromTableValue(colour.rgb);
  for (const SystemColourName& colour : kSystemColours)
    if (SameName(value, colour.name)) return system_colour ? std::optional<HtmlColour>(system_colour(colour.index))
                                                           : std::nullopt;
  return std::nullopt;
}

std::string ReplaceHtmlEntities(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '&') {
      const std::size_t end = text.find(';', i + 1);
      if (end != std::string_view::npos) {
        const std::string_view name = text.substr(i + 1, end - i - 1);
        const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                         [&](const Entity& e) { return e.name == name; });
        if (entity != std::end(kEntities)) {
          result += entity->replacement;
          i = end + 1;
          continue;
        }
      }
    }
    result += text[i++];
  }
  return result;
}

}  // namespace brevant
