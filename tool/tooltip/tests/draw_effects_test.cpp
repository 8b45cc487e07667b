// Background effects computed into blocks of pixels.
#include "draw_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using brevant::FromPixel;
using brevant::HtmlColour;
using brevant::MakeColour;
using brevant::PixelView;

constexpr HtmlColour kStart = MakeColour(200, 10, 50);
constexpr HtmlColour kMiddle = MakeColour(0, 255, 0);
constexpr HtmlColour kEnd = MakeColour(20, 100, 250);

struct Block {
  Block(int w, int h, std::uint32_t fill = 0x00ABCDEFu) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
  PixelView view() { return {pixels.data(), width, height}; }
  HtmlColour at(int x, int y) const { return FromPixel(pixels[std::size_t(y) * width + x]); }
  int width;
  int height;
  std::vector<std::uint32_t> pixels;
};

Block Filled(int effect, int w, int h) {
  Block block(w, h);
  brevant::FillEffect(block.view(), effect, kStart, kMiddle, kEnd);
  return block;
}

TEST(BackgroundEffect, NamesNumbersAndMalformedValues) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"transparent", -1}, {"solid", 0},       {"hgradient", 1},  {"vgradient", 2},  {"hcgradient", 3},
      {"vcgradient", 4},   {"3hgradient", 5},  {"3vgradient", 6}, {"noise", 7},      {"diagshade", 8},
      {"hshade", 9},       {"vshade", 10},     {"hbump", 11},     {"vbump", 12},     {"softbump", 13},
      {"hardbump", 14},    {"metal", 15},      {"VGradient", 2},  {"7", 7},          {"42", 42},
      {"-1", -1},          {"", std::nullopt}, {"grad", std::nullopt}, {"12x", std::nullopt},
      {" 3", std::nullopt}, {"-", std::nullopt}, {"99999999999", std::nullopt}, {"metals", std::nullopt},
  };
  for (const auto& [value, effect] : cases) EXPECT_EQ(brevant::ParseBackgroundEffect(value), effect) << value;
}

TEST(BackgroundEffect, GradientsReachTheirColoursAtEndsCentresAndMiddles) {
  struct Probe {
    int x, y;
    HtmlColour colour;
  };
  struct Case {
    int effect;
    std::vector<Probe> probes;
  };
  // Odd sides, so centres and middles fall on pixels.
  const Case cases[] = {
      {brevant::kEffectHGradient, {{0, 3, kStart}, {8, 3, kEnd}, {4, 0, MakeColour(110, 55, 150)}}},
      {brevant::kEffectVGradient, {{4, 0, kStart}, {4, 6, kEnd}, {0, 6, kEnd}}},
      {brevant::kEffectHCGradient, {{0, 2, kStart}, {8, 2, kStart}, {4, 2, kEnd}}},
      {brevant::kEffectVCGradient, {{3, 0, kStart}, {3, 6, kStart}, {3, 3, kEnd}}},
      {brevant::kEffect3HGradient, {{0, 1, kStart}, {4, 1, kMiddle}, {8, 1, kEnd}}},
      {brevant::kEffect3VGradient, {{5, 0, kStart}, {5, 3, kMiddle}, {5, 6, kEnd}}},
  };
  for (const Case& c : cases) {
    const Block block = Filled(c.effect, 9, 7);
    for (const Probe& p : c.probes)
      EXPECT_EQ(block.at(p.x, p.y), p.colour) << "effect " << c.effect << " at " << p.x << "," << p.y;
  }
}

TEST(BackgroundEffect, SolidAndUnknownNumbersFillStartTransparentKeepsPixels) {
  for (const int effect : {int{brevant::kEffectSolid}, 42, -7}) {
    const Block block = Filled(effect, 5, 4);
    EXPECT_TRUE(std::all_of(block.pixels.begin(), block.pixels.end(),
                            [](std::uint32_t p) { return p == brevant::ToPixel(kStart); }))
        << effect;
  }
  const Block untouched = Filled(brevant::kEffectTransparent, 5, 4);
  EXPECT_EQ(untouched.pixels, Block(5, 4).pixels);
}

TEST(BackgroundEffect, EveryEffectWritesOnlyItsBlockTheSameWayEveryTime) {
  constexpr std::size_t kGuard = 8;
  constexpr std::uint32_t kGuardPixel = 0xDEADBEEFu;
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{37, 5}}) {
    for (int effect = -1; effect <= 16; ++effect) {
      std::vector<std::uint32_t> first(std::size_t(w) * h + 2 * kGuard, kGuardPixel);
      std::vector<std::uint32_t> second(first.size(), 0x00123456u);
      std::fill_n(second.begin(), kGuard, kGuardPixel);
      std::fill_n(second.end() - kGuard, kGuard, kGuardPixel);
      brevant::FillEffect({first.data() + kGuard, w, h}, effect, kStart, kMiddle, kEnd);
      brevant::FillEffect({second.data() + kGuard, w, h}, effect, kStart, kMiddle, kEnd);
      const std::string where = "effect " + std::to_string(effect) + " " + std::to_string(w) + "x" + std::to_string(h);
      for (std::size_t i = 0; i < kGuard; ++i) {
        EXPECT_EQ(first[i], kGuardPixel) << where;
        EXPECT_EQ(first[first.size() - 1 - i], kGuardPixel) << where;
      }
      if (effect == brevant::kEffectTransparent) continue;
      EXPECT_EQ(first, second) << where << ": the pixels before must not show through";
      for (std::size_t i = kGuard; i < first.size() - kGuard; ++i) ASSERT_EQ(first[i] >> 24, 0u) << where;
    }
  }
}

TEST(BackgroundEffect, EachEffectLooksDifferentTexturesStayBetweenStartAndEnd) {
  std::vector<Block> drawn;
  for (int effect = 0; effect <= 15; ++effect) drawn.push_back(Filled(effect, 40, 30));
  for (std::size_t a = 0; a < drawn.size(); ++a)
    for (std::size_t b = a + 1; b < drawn.size(); ++b) EXPECT_NE(drawn[a].pixels, drawn[b].pixels) << a << " " << b;
  const auto within = [](HtmlColour c, int shift) {
    const int v = (c >> shift) & 0xFF, s = (kStart >> shift) & 0xFF, e = (kEnd >> shift) & 0xFF;
    return v >= std::min(s, e) && v <= std::max(s, e);
  };
  for (int effect = brevant::kEffectNoise; effect <= brevant::kEffectMetal; ++effect)
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        const HtmlColour c = drawn[effect].at(x, y);
        ASSERT_TRUE(within(c, 0) && within(c, 8) && within(c, 16)) << "effect " << effect << " at " << x << "," << y;
      }
}

TEST(BackgroundEffect, DarkenKeepsHalvesOrBlackensHoldingThePercent) {
  const std::pair<int, HtmlColour> cases[] = {
      {0, MakeColour(200, 101, 51)}, {50, MakeColour(100, 50, 25)}, {100, 0},
      {150, 0},                      {-10, MakeColour(200, 101, 51)},
  };
  for (const auto& [percent, expected] : cases) {
    Block block(3, 1, brevant::ToPixel(MakeColour(200, 101, 51)));
    brevant::Darken(block.view(), percent);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(block.at(x, 0), expected) << percent;
  }
}

TEST(BackgroundEffect, ViewsWithoutPixelsOrWithWildSidesAreLeftAlone) {
  std::vector<std::uint32_t> few(4, 7u);
  const PixelView refused[] = {{nullptr, 4, 4}, {few.data(), 0, 4}, {few.data(), 2, -2},
                               {few.data(), brevant::kMaxPixelSide + 1, 1}, {few.data(), 1, brevant::kMaxPixelSide + 1}};
  for (const PixelView& view : refused) {
    brevant::FillEffect(view, brevant::kEffectNoise, kStart, kMiddle, kEnd);
    brevant::Darken(view, 50);
  }
  EXPECT_EQ(few, std::vector<std::uint32_t>(4, 7u));
}

}  // namespace
