// Background effects of the tooltip and of tables in its markup, computed
// into a block of pixels. Portable: the tooltip copies the pixels into an
// in-memory bitmap and draws that.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "html_values.h"

namespace brevant {

// The effects by number, as `bgeffect` and the tooltip's setter name them.
enum BackgroundEffect : int {
  kEffectTransparent = -1,
  kEffectSolid = 0,
  kEffectHGradient = 1,
  kEffectVGradient = 2,
  kEffectHCGradient = 3,
  kEffectVCGradient = 4,
  kEffect3HGradient = 5,
  kEffect3VGradient = 6,
  kEffectNoise = 7,
  kEffectDiagShade = 8,
  kEffectHShade = 9,
  kEffectVShade = 10,
  kEffectHBump = 11,
  kEffectVBump = 12,
  kEffectSoftBump = 13,
  kEffectHardBump = 14,
  kEffectMetal = 15,
};

// "transparent", "solid", "hgradient" ... "metal" (letters in any case) to
// their numbers; any other value read as a decimal number, the whole of it
// within int; nothing for a malformed value.
std::optional<int> ParseBackgroundEffect(std::string_view value);

// Pixels top-down, one 32-bit word each in the layout of a 32-bit
// device-independent bitmap: blue in the low byte, then green, red; the top
// byte is left 0. Not owned.
struct PixelView {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
};

// The largest side of a block of pixels anything here draws on: a tooltip
// never needs more, and a wild size from the markup must not allocate
// gigabytes. A view with no pixels, a side not positive or beyond this is
// left alone by every function below.
constexpr int kMaxPixelSide = 4096;
bool UsableView(const PixelView& view);

constexpr std::uint32_t ToPixel(HtmlColour colour) {
  return ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}
constexpr HtmlColour FromPixel(std::uint32_t pixel) {
  return ((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) | ((pixel & 0xFFu) << 16);
}

// Fills every pixel with `effect` from `start` through `middle` to `end`.
// Solid uses `start`; gradients run from start to end (the "c" forms from
// the edges to the centre, the "3" forms through `middle`); the later
// effects shade or texture `start` and `end` and stay within their
// channels. An unknown number fills solid; transparent leaves the pixels as
// they are. The same view and colours always give the same pixels.
void FillEffect(PixelView target, int effect, HtmlColour start, HtmlColour middle, HtmlColour end);

// Darkens every pixel: `percent` 0 keeps it, 100 makes it black (held
// within 0..100).
void Darken(PixelView target, int percent);
std::uint32_t DarkenPixel(std::uint32_t pixel, int percent);

}  // namespace brevant
