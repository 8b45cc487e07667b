#include "picture_pixels.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace brevant {
namespace {

int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFFu); }

std::uint32_t MakePixel(int red, int green, int blue) {
  return (static_cast<std::uint32_t>(red) << 16) | (static_cast<std::uint32_t>(green) << 8) |
         static_cast<std::uint32_t>(blue);
}

int Luminance(std::uint32_t pixel) {
  return (Channel(pixel, 16) * 299 + Channel(pixel, 8) * 587 + Channel(pixel, 0) * 114 + 500) / 1000;
}

std::size_t PixelCount(const PixelView& view) {
  return static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height);
}

// Pixels darker than this carry the drawing in the disabled look; lighter
// ones are background in most pictures and vanish, as on the platform.
constexpr int kInkLuminance = 192;

void MakeDisabled(PictureView picture, std::uint32_t shadow, std::uint32_t highlight) {
  const int w = picture.pixels.width;
  const int h = picture.pixels.height;
  std::vector<bool> ink(PixelCount(picture.pixels));
  for (std::size_t i = 0; i < ink.size(); ++i)
    ink[i] = picture.alpha[i] >= 128 && Luminance(picture.pixels.pixels[i]) < kInkLuminance;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * w + x;
      const bool lit = x > 0 && y > 0 && ink[i - w - 1];
      picture.pixels.pixels[i] = ink[i] ? shadow : lit ? highlight : 0u;
      picture.alpha[i] = ink[i] || lit ? 255 : 0;
    }
  }
}

// One pass of a box blur of radius `r` along the rows or the columns of a
// `w` x `h` block; cells outside count as 0, so edges fade.
std::vector<int> BoxBlur(const std::vector<int>& cells, int w, int h, int r, bool along_rows) {
  std::vector<int> blurred(cells.size());
  const int length = along_rows ? w : h;
  for (int line = 0; line < (along_rows ? h : w); ++line) {
    const auto at = [&](int k) {
      return along_rows ? static_cast<std::size_t>(line) * w + k : static_cast<std::size_t>(k) * w + line;
    };
    for (int k = 0; k < length; ++k) {
      int sum = 0;
      for (int j = std::max(0, k - r); j <= std::min(length - 1, k + r); ++j) sum += cells[at(j)];
      blurred[at(k)] = sum / (2 * r + 1);
    }
  }
  return blurred;
}

// A place from which no pixel of the picture can reach the canvas; also
// keeps the sums of coordinates below from overflowing.
bool OutOfReach(int x, int y) {
  constexpr int kReach = 2 * kMaxPixelSide + kMaxShadowBlur;
  return x < -kReach || x > kReach || y < -kReach || y > kReach;
}

}  // namespace

bool UsablePicture(const PictureView& picture) {
  return UsableView(picture.pixels) && picture.alpha.size() == PixelCount(picture.pixels);
}

void OpacityFromBackgrounds(PictureView on_black, const PixelView& on_white) {
  if (!UsablePicture(on_black) || !UsableView(on_white) || on_white.width != on_black.pixels.width ||
      on_white.height != on_black.pixels.height)
    return;
  for (std::size_t i = 0; i < on_black.alpha.size(); ++i) {
    const std::uint32_t black = on_black.pixels.pixels[i];
    const std::uint32_t white = on_white.pixels[i];
    int spread = 0;
    for (const int shift : {16, 8, 0}) spread += std::max(0, Channel(white, shift) - Channel(black, shift));
    const int alpha = 255 - spread / 3;
    on_black.alpha[i] = static_cast<std::uint8_t>(alpha);
    // Over black a blended pixel is its colour times its opacity.
    const auto whole = [&](int shift) { return alpha > 0 ? std::min(255, Channel(black, shift) * 255 / alpha) : 0; };
    on_black.pixels.pixels[i] = MakePixel(whole(16), whole(8), whole(0));
  }
}

void ApplyPictureStyle(PictureView picture, unsigned style, std::uint32_t shadow, std::uint32_t highlight) {
  if (!UsablePicture(picture)) return;
  std::uint32_t* const begin = picture.pixels.pixels;
  std::uint32_t* const end = begin + PixelCount(picture.pixels);
  if (style & kPictureGrey) {
    for (std::uint32_t* p = begin; p != end; ++p) {
      const int grey = Luminance(*p);
      *p = MakePixel(grey, grey, grey);
    }
  }
  if (style & kPictureDisabled) MakeDisabled(picture, shadow, highlight);
  if (style & kPictureLight) {
    const auto lighter = [](int channel) { return channel + (255 - channel) / 2; };
    for (std::uint32_t* p = begin; p != end; ++p)
      *p = MakePixel(lighter(Channel(*p, 16)), lighter(Channel(*p, 8)), lighter(Channel(*p, 0)));
  }
}

void DarkenUnderShadow(PixelView canvas, int x, int y, const PictureView& picture, int blur, int darkness) {
  if (!UsableView(canvas) || !UsablePicture(picture) || OutOfReach(x, y)) return;
  const int r = std::clamp(blur, 0, kMaxShadowBlur);
  const int w = picture.pixels.width + 2 * r;
  const int h = picture.pixels.height + 2 * r;
  std::vector<int> cover(static_cast<std::size_t>(w) * h);
  for (int row = 0; row < picture.pixels.height; ++row)
    for (int col = 0; col < picture.pixels.width; ++col)
      cover[static_cast<std::size_t>(row + r) * w + col + r] =
          picture.alpha[static_cast<std::size_t>(row) * picture.pixels.width + col];
  if (r > 0) cover = BoxBlur(BoxBlur(cover, w, h, r, true), w, h, r, false);
  const int percent = std::clamp(darkness, 0, 100);
  for (int row = 0; row < h; ++row) {
    const int cy = y - r + row;
    if (cy < 0 || cy >= canvas.height) continue;
    for (int col = 0; col < w; ++col) {
      const int cx = x - r + col;
      const int amount = cover[static_cast<std::size_t>(row) * w + col];
      if (cx < 0 || cx >= canvas.width || amount == 0) continue;
      std::uint32_t& pixel = canvas.pixels[static_cast<std::size_t>(cy) * canvas.width + cx];
      pixel = DarkenPixel(pixel, percent * amount / 255);
    }
  }
}

void BlendPicture(PixelView canvas, int x, int y, const PictureView& picture) {
  if (!UsableView(canvas) || !UsablePicture(picture) || OutOfReach(x, y)) return;
  for (int row = 0; row < picture.pixels.height; ++row) {
    const int cy = y + row;
    if (cy < 0 || cy >= canvas.height) continue;
    for (int col = 0; col < picture.pixels.width; ++col) {
      const int cx = x + col;
      const std::size_t i = static_cast<std::size_t>(row) * picture.pixels.width + col;
      const int alpha = picture.alpha[i];
      if (cx < 0 || cx >= canvas.width || alpha == 0) continue;
      std::uint32_t& under = canvas.pixels[static_cast<std::size_t>(cy) * canvas.width + cx];
      const std::uint32_t over = picture.pixels.pixels[i];
      const auto mix = [&](int shift) {
        return Channel(under, shift) + (Channel(over, shift) - Channel(under, shift)) * alpha / 255;
      };
      under = MakePixel(mix(16), mix(8), mix(0));
    }
  }
}

}  // namespace brevant
