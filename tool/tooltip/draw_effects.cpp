#include "draw_effects.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cstddef>
#include <cstdint>

namespace brevant {
namespace {

struct EffectName {
  std::string_view name;
  int effect;
};

constexpr EffectName kEffectNames[] = {
    {"transparent", kEffectTransparent}, {"solid", kEffectSolid},           {"hgradient", kEffectHGradient},
    {"vgradient", kEffectVGradient},     {"hcgradient", kEffectHCGradient}, {"vcgradient", kEffectVCGradient},
    {"3hgradient", kEffect3HGradient},   {"3vgradient", kEffect3VGradient}, {"noise", kEffectNoise},
    {"diagshade", kEffectDiagShade},     {"hshade", kEffectHShade},         {"vshade", kEffectVShade},
    {"hbump", kEffectHBump},             {"vbump", kEffectVBump},           {"softbump", kEffectSoftBump},
    {"hardbump", kEffectHardBump},       {"metal", kEffectMetal},
};

bool SameName(std::string_view value, std::string_view name) {
  return std::equal(value.begin(), value.end(), name.begin(), name.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

struct Rgb {
  int red;
  int green;
  int blue;
};

Rgb ChannelsOf(HtmlColour colour) {
  return {static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
          static_cast<int>((colour >> 16) & 0xFFu)};
}

std::uint32_t PixelOf(Rgb rgb) {
  return (static_cast<std::uint32_t>(rgb.red) << 16) | (static_cast<std::uint32_t>(rgb.green) << 8) |
         static_cast<std::uint32_t>(rgb.blue);
}

// `t` of `n` of the way from `a` to `b`; exact at both ends, `a` when n is 0.
std::uint32_t Blend(Rgb a, Rgb b, int t, int n) {
  if (n <= 0) return PixelOf(a);
  const auto step = [t, n](int from, int to) { return from + (to - from) * t / n; };
  return PixelOf({step(a.red, b.red), step(a.green, b.green), step(a.blue, b.blue)});
}

// A fixed integer mix of the coordinates: the textures look random but draw
// the same on every call and every machine.
std::uint32_t Hash(int x, int y) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9E3779B1u ^ static_cast<std::uint32_t>(y) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

// 0 at both ends of `size`, 255 in its middle, a parabola between: the
// profile of a rounded ridge.
int Ridge(int position, int size) {
  const long long span = size - 1;
  if (span <= 0) return 255;
  const long long d = 2LL * position - span;
  return static_cast<int>(255 - 255 * d * d / (span * span));
}

// `t` of `n` as 0..255, roughened by a grain of -16..15 from the hash.
int Grainy(int t, int n, int x, int y) {
  const int base = n > 0 ? t * 255 / n : 0;
  return std::clamp(base + static_cast<int>(Hash(x, y) & 31u) - 16, 0, 255);
}

// A raised button: the top and left bevel in `start`, the bottom and right
// in `end`, the face halfway between. Corners split on the diagonal.
std::uint32_t Bevel(Rgb start, Rgb end, int x, int y, int width, int height) {
  const int bevel = std::clamp(std::min(width, height) / 8, 1, 6);
  const int near_edge = std::min(x, y);
  const int far_edge = std::min(width - 1 - x, height - 1 - y);
  if (std::min(near_edge, far_edge) >= bevel) return Blend(start, end, 1, 2);
  return near_edge <= far_edge ? PixelOf(start) : PixelOf(end);
}

// Brushed metal: a broad vertical sheen crossed by horizontal streaks that
// change along a row only every 16 pixels.
int MetalAmount(int x, int y, int height) {
  const int sheen = Ridge(y, height) * 3 / 4;
  const int streak = static_cast<int>(Hash(0, y) & 63u) - 32 + static_cast<int>(Hash(x / 16, y) & 7u);
  return std::clamp(sheen + streak, 0, 255);
}

constexpr int kBumpPeriod = 16;

}  // namespace

std::optional<int> ParseBackgroundEffect(std::string_view value) {
  for (const EffectName& entry : kEffectNames)
    if (SameName(value, entry.name)) return entry.effect;
  int number = 0;
  const char* const end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, number);
  if (value.empty() || error != std::errc() || stop != end) return std::nullopt;
  return number;
}

bool UsableView(const PixelView& view) {
  return view.pixels != nullptr && view.width > 0 && view.height > 0 && view.width <= kMaxPixelSide &&
         view.height <= kMaxPixelSide;
}

void FillEffect(PixelView target, int effect, HtmlColour start, HtmlColour middle, HtmlColour end) {
  if (effect == kEffectTransparent || !UsableView(target)) return;
  const Rgb s = ChannelsOf(start);
  const Rgb m = ChannelsOf(middle);
  const Rgb e = ChannelsOf(end);
  const int w = target.width;
  const int h = target.height;
  // Start to middle over the first half of `n`, middle to end over the rest.
  const auto through = [&](int t, int n) { return 2 * t <= n ? Blend(s, m, 2 * t, n) : Blend(m, e, 2 * t - n, n); };
  const auto colour_at = [&](int x, int y) -> std::uint32_t {
    switch (effect) {
      case kEffectHGradient: return Blend(s, e, x, w - 1);
      case kEffectVGradient: return Blend(s, e, y, h - 1);
      case kEffectHCGradient: return Blend(s, e, std::min(x, w - 1 - x), (w - 1) / 2);
      case kEffectVCGradient: return Blend(s, e, std::min(y, h - 1 - y), (h - 1) / 2);
      case kEffect3HGradient: return through(x, w - 1);
      case kEffect3VGradient: return through(y, h - 1);
      case kEffectNoise: return Blend(s, e, static_cast<int>(Hash(x, y) & 255u), 255);
      case kEffectDiagShade: return Blend(s, e, Grainy(x + y, w + h - 2, x, y), 255);
      case kEffectHShade: return Blend(s, e, Grainy(x, w - 1, x, y), 255);
      case kEffectVShade: return Blend(s, e, Grainy(y, h - 1, x, y), 255);
      case kEffectHBump: return Blend(s, e, Ridge(x % kBumpPeriod, kBumpPeriod), 255);
      case kEffectVBump: return Blend(s, e, Ridge(y % kBumpPeriod, kBumpPeriod), 255);
      case kEffectSoftBump: return Blend(s, e, Ridge(x, w) * Ridge(y, h) / 255, 255);
      case kEffectHardBump: return Bevel(s, e, x, y, w, h);
      case kEffectMetal: return Blend(s, e, MetalAmount(x, y, h), 255);
      default: return PixelOf(s);
    }
  };
  std::uint32_t* pixel = target.pixels;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) *pixel++ = colour_at(x, y);
}

std::uint32_t DarkenPixel(std::uint32_t pixel, int percent) {
  const std::uint32_t keep = static_cast<std::uint32_t>(100 - std::clamp(percent, 0, 100));
  const auto channel = [&](int shift) { return (((pixel >> shift) & 0xFFu) * keep / 100) << shift; };
  return channel(16) | channel(8) | channel(0);
}

void Darken(PixelView target, int percent) {
  if (!UsableView(target)) return;
  std::uint32_t* const end = target.pixels + static_cast<std::size_t>(target.width) * target.height;
  for (std::uint32_t* pixel = target.pixels; pixel != end; ++pixel) *pixel = DarkenPixel(*pixel, percent);
}

}  // namespace brevant
