#include "draw_effects.h"

#include <charconv>

namespace brevant {
namespace {

constexpr const char* kEffectNames[] = {"solid",      "hgradient",  "vgradient", "hcgradient", "vcgradient", "3hgradient",
                                        "3vgradient", "noise",      "diagshade", "hshade",     "vshade",     "hbump",
                                        "vbump",      "softbump",   "hardbump",  "metal"};

}  // namespace

std::optional<int> ParseBackgroundEffect(std::string_view value) {
  if (value == "transparent") return kEffectTransparent;
  for (int i = 0; i < static_cast<int>(std::size(kEffectNames)); ++i)
    if (value == kEffectNames[i]) return i;
  int number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || error != std::errc() || end != value.data() + value.size()) return std::nullopt;
  return number;
}

}  // namespace brevant
