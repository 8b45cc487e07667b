// Pictures' variants, opacity, shadows and blending on blocks of pixels.
#include "picture_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using brevant::PictureView;

constexpr std::uint32_t Rgb(int r, int g, int b) { return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b; }
constexpr std::uint32_t kShadow = Rgb(128, 128, 128);
constexpr std::uint32_t kHighlight = Rgb(255, 255, 255);

struct Image {
  Image(int w, int h, std::uint32_t pixel, std::uint8_t opacity = 255)
      : width(w), height(h), pixels(std::size_t(w) * h, pixel), alpha(pixels.size(), opacity) {}
  PictureView view() { return {{pixels.data(), width, height}, alpha}; }
  std::uint32_t& at(int x, int y) { return pixels[std::size_t(y) * width + x]; }
  std::uint8_t& opacity(int x, int y) { return alpha[std::size_t(y) * width + x]; }
  int width;
  int height;
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint8_t> alpha;
};

TEST(PicturePixels, OpacityReadFromTheDrawingOverBlackAndOverWhite) {
  Image on_black(3, 1, 0);
  Image on_white(3, 1, 0);
  const std::uint32_t black[] = {Rgb(255, 0, 0), Rgb(0, 0, 0), Rgb(128, 0, 0)};
  const std::uint32_t white[] = {Rgb(255, 0, 0), Rgb(255, 255, 255), Rgb(255, 127, 127)};  // opaque, masked, half
  for (int x = 0; x < 3; ++x) {
    on_black.at(x, 0) = black[x];
    on_white.at(x, 0) = white[x];
  }
  brevant::OpacityFromBackgrounds(on_black.view(), on_white.view().pixels);
  EXPECT_EQ(on_black.alpha, (std::vector<std::uint8_t>{255, 0, 128}));
  EXPECT_EQ(on_black.at(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(on_black.at(2, 0), Rgb(255, 0, 0)) << "the half-covered pixel keeps its full colour";
}

TEST(PicturePixels, GreyAndLightVariants) {
  Image picture(3, 1, 0);
  picture.at(0, 0) = Rgb(0, 0, 128);
  picture.at(1, 0) = Rgb(255, 255, 255);
  picture.at(2, 0) = Rgb(200, 30, 0);
  Image grey = picture;
  brevant::ApplyPictureStyle(grey.view(), brevant::kPictureGrey, kShadow, kHighlight);
  for (const std::uint32_t p : grey.pixels) EXPECT_TRUE((p & 0xFF) == (p >> 8 & 0xFF) && (p & 0xFF) == (p >> 16)) << p;
  EXPECT_EQ(grey.at(1, 0), Rgb(255, 255, 255));
  EXPECT_LT(grey.at(0, 0), grey.at(2, 0)) << "dark blue is darker than red";

  Image light = picture;
  brevant::ApplyPictureStyle(light.view(), brevant::kPictureLight, kShadow, kHighlight);
  EXPECT_EQ(light.at(0, 0), Rgb(127, 127, 191));
  EXPECT_EQ(light.at(1, 0), Rgb(255, 255, 255));
  EXPECT_EQ(light.alpha, picture.alpha);
}

TEST(PicturePixels, DisabledLookEmbossesTheDarkPixelsOnly) {
  Image picture(3, 3, Rgb(250, 250, 250));
  picture.at(0, 0) = Rgb(10, 10, 10);
  picture.at(2, 1) = Rgb(0, 0, 200);
  picture.opacity(1, 0) = 0;
  brevant::ApplyPictureStyle(picture.view(), brevant::kPictureDisabled, kShadow, kHighlight);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) {
      const bool ink = (x == 0 && y == 0) || (x == 2 && y == 1);
      const bool lit = x == 1 && y == 1;  // down-right of the ink at 0,0; the one of 2,1 falls outside
      EXPECT_EQ(picture.opacity(x, y), ink || lit ? 255 : 0) << x << "," << y;
      if (ink || lit) {
        EXPECT_EQ(picture.at(x, y), ink ? kShadow : kHighlight) << x << "," << y;
      }
    }
}

TEST(PicturePixels, HardShadowDarkensExactlyTheOpaqueShape) {
  Image canvas(10, 10, Rgb(200, 200, 200));
  Image picture(2, 2, 0);
  picture.opacity(1, 1) = 0;
  brevant::DarkenUnderShadow(canvas.view().pixels, 3, 4, picture.view(), 0, 50);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool under = x >= 3 && x <= 4 && y >= 4 && y <= 5 && !(x == 4 && y == 5);
      EXPECT_EQ(canvas.at(x, y), under ? Rgb(100, 100, 100) : Rgb(200, 200, 200)) << x << "," << y;
    }
}

TEST(PicturePixels, SoftShadowFadesOutWithinItsBlurAndClipsAtTheCanvas) {
  Image canvas(20, 20, Rgb(200, 200, 200));
  Image picture(6, 6, 0);
  brevant::DarkenUnderShadow(canvas.view().pixels, 5, 5, picture.view(), 2, 60);
  const auto level = [&](int x, int y) { return int(canvas.at(x, y) & 0xFF); };
  EXPECT_EQ(level(7, 7), 80) << "full darkness inside";
  EXPECT_GT(level(5, 5), level(7, 7)) << "lighter at the edge";
  EXPECT_GT(level(3, 7), level(4, 7));
  EXPECT_LT(level(4, 7), 200);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(level(i, 2), 200) << "nothing beyond the blur";
    EXPECT_EQ(level(13, i), 200);
  }
  Image corner(4, 4, Rgb(200, 200, 200));
  brevant::DarkenUnderShadow(corner.view().pixels, -4, 2, picture.view(), 3, 60);
  EXPECT_LT(corner.at(0, 3) & 0xFF, 200u);
}

TEST(PicturePixels, BlendByOpacityClippedToTheCanvas) {
  Image canvas(4, 4, Rgb(0, 0, 0));
  Image picture(3, 1, Rgb(200, 100, 50));
  picture.alpha = {0, 255, 128};
  brevant::BlendPicture(canvas.view().pixels, -1, 3, picture.view());
  EXPECT_EQ(canvas.at(0, 3), Rgb(200, 100, 50));
  EXPECT_EQ(canvas.at(1, 3), Rgb(100, 50, 25));
  EXPECT_EQ(canvas.at(2, 3), 0u);
  brevant::BlendPicture(canvas.view().pixels, 5, 0, picture.view());
  picture.alpha.pop_back();  // no longer one byte a pixel: refused
  brevant::BlendPicture(canvas.view().pixels, 0, 0, picture.view());
  brevant::DarkenUnderShadow(canvas.view().pixels, 0, 0, picture.view(), 0, 50);
  EXPECT_EQ(std::count(canvas.pixels.begin(), canvas.pixels.end(), 0u), 14);
}

}  // namespace
