// Background fills and pictures drawn by GDI into an in-memory bitmap, read
// back pixel by pixel.
#include "draw_manager.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "cexdib.h"
#include "scoped_gdi.h"

namespace {

using namespace brevant;

constexpr int kSide = 48;
constexpr COLORREF kBackground = RGB(10, 120, 200);
constexpr COLORREF kDarkened = RGB(5, 60, 100);  // the background at 50 %
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kRed = RGB(220, 20, 30);

// A picture of 4 x 4 pixels as GDI holds one: its first column magenta, the
// rest red.
fw::ScopedGdiObject MakePicture() {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = -4;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  fw::ScopedGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bits)
    for (int i = 0; i < 16; ++i) static_cast<std::uint32_t*>(bits)[i] = ToPixel(i % 4 == 0 ? kMagenta : kRed);
  return bitmap;
}

class Drawing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(target_.Create(kSide, kSide));
    fw::ScopedGdiObject brush(CreateSolidBrush(kBackground));
    const RECT all = {0, 0, kSide, kSide};
    FillRect(target_.dc(), &all, static_cast<HBRUSH>(brush.get()));
    ASSERT_TRUE(picture_);
  }
  COLORREF At(int x, int y) {
    const PixelView view = target_.Pixels();
    return FromPixel(view.pixels[y * view.width + x] & 0xFFFFFFu);
  }
  // Every pixel for which `inside` holds has `expected(x, y)`'s colour, every
  // other one is still the background.
  void ExpectPixels(const std::function<bool(int, int)>& inside, const std::function<COLORREF(int, int)>& expected) {
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const COLORREF want = inside(x, y) ? expected(x, y) : kBackground;
        ASSERT_EQ(At(x, y), want) << x << "," << y;
      }
  }
  void ExpectUntouched() {
    ExpectPixels([](int, int) { return false; }, nullptr);
  }
  void DrawPicture(int x, int y, int size, bool use_mask, unsigned style = 0, const PictureShadow& shadow = {}) {
    draw_.DrawBitmap(target_.dc(), x, y, size, size, static_cast<HBITMAP>(picture_.get()), use_mask, kMagenta, style,
                     shadow);
  }
  static bool InPicture(int x, int y) { return x >= 8 && x < 16 && y >= 8 && y < 16; }  // drawn at 8,8 doubled

  CCeXDib target_;
  CPPDrawManager draw_;
  fw::ScopedGdiObject picture_ = MakePicture();
};

TEST(Dib, RefusesSidesNotPositiveOrTooLargeAndHoldsNothingThen) {
  CCeXDib dib;
  ASSERT_TRUE(dib.Create(3, 2));
  for (const auto& [w, h] : {std::pair{0, 5}, std::pair{5, -1}, std::pair{kMaxPixelSide + 1, 1},
                             std::pair{1, kMaxPixelSide + 1}}) {
    EXPECT_FALSE(dib.Create(w, h)) << w << "x" << h;
    EXPECT_FALSE(dib.valid());
    EXPECT_EQ(dib.Pixels().pixels, nullptr);
    EXPECT_EQ(dib.dc(), nullptr);
  }
  fw::ScopedMemoryDc other(CreateCompatibleDC(nullptr));
  EXPECT_FALSE(dib.Draw(other.get(), 0, 0));
  EXPECT_FALSE(dib.CopyFrom(other.get(), 0, 0));
  ASSERT_TRUE(dib.Create(kMaxPixelSide, 2));
  EXPECT_EQ(dib.Pixels().pixels[kMaxPixelSide * 2 - 1], 0u);
}

TEST_F(Drawing, EffectFillsExactlyItsRect) {
  const RECT rect = {5, 6, 20, 13};
  const auto inside = [&](int x, int y) { return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom; };
  draw_.FillEffect(target_.dc(), kEffectSolid, rect, RGB(1, 2, 3), kRed, kMagenta);
  ExpectPixels(inside, [](int, int) { return RGB(1, 2, 3); });
  draw_.FillEffect(target_.dc(), kEffectHGradient, rect, RGB(0, 0, 0), kRed, RGB(250, 250, 250));
  EXPECT_EQ(At(5, 9), RGB(0, 0, 0));
  EXPECT_EQ(At(19, 9), RGB(250, 250, 250));
  EXPECT_EQ(At(20, 9), kBackground);
  draw_.FillEffect(target_.dc(), kEffectMetal, rect, RGB(1, 2, 3), kRed, RGB(4, 5, 6));
  ExpectPixels(inside, [&](int x, int y) {
    const COLORREF c = At(x, y);  // some mix of the two colours
    return GetRValue(c) >= 1 && GetRValue(c) <= 4 && GetBValue(c) >= 3 && GetBValue(c) <= 6 ? c : ~c & 0xFFFFFFu;
  });
}

TEST_F(Drawing, TransparentOrEmptyOrHugeRectsDrawNothing) {
  const RECT rects[] = {{5, 5, 20, 20}, {5, 5, 5, 20}, {20, 5, 5, 20}, {0, 0, kMaxPixelSide + 1, 10}};
  for (std::size_t i = 0; i < std::size(rects); ++i)
    draw_.FillEffect(target_.dc(), i == 0 ? kEffectTransparent : kEffectSolid, rects[i], kRed,
                     kRed, kRed);
  draw_.FillEffect(nullptr, kEffectSolid, rects[0], kRed, kRed, kRed);
  ExpectUntouched();
}

TEST_F(Drawing, MaskColourStaysTransparentOnlyWhenAsked) {
  DrawPicture(8, 8, 8, true);
  ExpectPixels(InPicture, [](int x, int) { return x < 10 ? kBackground : kRed; });
  DrawPicture(8, 8, 8, false);
  ExpectPixels(InPicture, [](int x, int) { return x < 10 ? kMagenta : kRed; });
}

TEST_F(Drawing, GreyVariantDrawsShadesOfGreyKeepingTheMask) {
  DrawPicture(8, 8, 8, true, kPictureGrey);
  ExpectPixels(InPicture, [&](int x, int y) {
    const COLORREF c = At(x, y);
    const bool grey = GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
    return x < 10 ? kBackground : grey ? c : ~c & 0xFFFFFFu;
  });
}

TEST_F(Drawing, HardShadowDarkensTheBackgroundUnderTheOpaquePixelsAtTheOffset) {
  DrawPicture(8, 8, 8, true, 0, PictureShadow{3, 2, false, 50});
  // The picture's opaque pixels cover 10..15 x 8..15; their shadow 13..18 x 10..17.
  const auto shaded = [](int x, int y) { return x >= 13 && x < 19 && y >= 10 && y < 18; };
  ExpectPixels([&](int x, int y) { return InPicture(x, y) || shaded(x, y); },
               [](int x, int y) { return !InPicture(x, y) ? kDarkened : x >= 10 ? kRed : kBackground; });
}

TEST_F(Drawing, IconsAreTransparentWhereTheirMaskSays) {
  // Where the AND mask's bit is 1 the background stays, and the colour
  // there is black (any other would be XORed onto the background).
  const WORD mask_rows[4] = {0x00C0, 0x00C0, 0x00C0, 0x00C0};  // bytes C0 00: pixels 0 and 1 of a row
  fw::ScopedGdiObject mask(CreateBitmap(4, 4, 1, 1, mask_rows));
  std::uint32_t colours[16];
  for (int i = 0; i < 16; ++i) colours[i] = i % 4 < 2 ? 0u : ToPixel(kRed);
  fw::ScopedGdiObject colour(CreateBitmap(4, 4, 1, 32, colours));
  ICONINFO info = {TRUE, 0, 0, static_cast<HBITMAP>(mask.get()), static_cast<HBITMAP>(colour.get())};
  const HICON icon = CreateIconIndirect(&info);
  ASSERT_NE(icon, nullptr);
  draw_.DrawIcon(target_.dc(), 8, 8, 8, 8, icon, 0, PictureShadow{2, 0, false, 50});
  DestroyIcon(icon);
  // Columns 0 and 1 of the icon (8..11 drawn) are masked; the shadow of the
  // rest lies under 10..17.
  ExpectPixels([](int x, int y) { return y >= 8 && y < 16 && x >= 12 && x < 18; },
               [](int x, int) { return x < 16 ? kRed : kDarkened; });
}

TEST_F(Drawing, MissingPicturesAndSizesNotPositiveOrHugeDrawNothing) {
  const HBITMAP picture = static_cast<HBITMAP>(picture_.get());
  const PictureShadow shadow{4, 4, true, 50};
  for (const auto& [w, h] : {std::pair{0, 8}, std::pair{8, 0}, std::pair{-5, 8}, std::pair{8, -1},
                             std::pair{kMaxPixelSide + 1, 8}}) {
    draw_.DrawBitmap(target_.dc(), 8, 8, w, h, picture, true, kMagenta, 0, shadow);
    draw_.DrawIcon(target_.dc(), 8, 8, w, h, LoadIcon(nullptr, IDI_APPLICATION), 0, shadow);
  }
  draw_.DrawBitmap(target_.dc(), 8, 8, 8, 8, nullptr, true, kMagenta, 0, shadow);
  draw_.DrawBitmap(nullptr, 8, 8, 8, 8, picture, true, kMagenta, 0, shadow);
  draw_.DrawIcon(target_.dc(), 8, 8, 8, 8, nullptr, 0, shadow);
  // Picture and shadow together beyond the largest bitmap.
  draw_.DrawBitmap(target_.dc(), 0, 0, kMaxPixelSide, 8, picture, true, kMagenta, 0, shadow);
  // A picture the caller still has selected cannot be read: refused, not garbled.
  fw::ScopedMemoryDc holder(CreateCompatibleDC(nullptr));
  const HGDIOBJ previous = SelectObject(holder.get(), picture);
  draw_.DrawBitmap(target_.dc(), 8, 8, 8, 8, picture, true, kMagenta, 0, shadow);
  SelectObject(holder.get(), previous);
  ExpectUntouched();
}

// How many more GDI objects the process can make now: Wine counts none
// through GetGuiResources, but its handle table is as finite as Windows'.
int FreeGdiHandles() {
  std::vector<fw::ScopedGdiObject> made;
  for (fw::ScopedGdiObject brush(CreateSolidBrush(kRed)); brush && made.size() < 1000000;
       brush.reset(CreateSolidBrush(kRed)))
    made.push_back(std::move(brush));
  return static_cast<int>(made.size());
}

TEST_F(Drawing, EveryPathReleasesEveryGdiObject) {
  fw::ScopedMemoryDc holder(CreateCompatibleDC(nullptr));
  const auto draw_all = [&] {
    draw_.FillEffect(target_.dc(), kEffectMetal, RECT{0, 0, 4, 4}, kRed, kRed, kRed);
    DrawPicture(8, 8, 8, true, kPictureGrey | kPictureDisabled, PictureShadow{2, 2, true, 50});
    draw_.DrawIcon(target_.dc(), 30, 30, 8, 8, LoadIcon(nullptr, IDI_APPLICATION), kPictureLight, PictureShadow{1, 1});
    draw_.DrawBitmap(target_.dc(), 0, 0, kMaxPixelSide, 8, static_cast<HBITMAP>(picture_.get()), true,
                     kMagenta, 0, PictureShadow{4, 4});
    const HGDIOBJ previous = SelectObject(holder.get(), picture_.get());
    DrawPicture(8, 8, 8, true);
    SelectObject(holder.get(), previous);
  };
  draw_all();  // GDI makes some objects of its own once, on first use
  const int free_before = FreeGdiHandles();
  ASSERT_GT(free_before, 1000);
  for (int i = 0; i < 50; ++i) draw_all();
  EXPECT_EQ(FreeGdiHandles(), free_before);
}

}  // namespace
