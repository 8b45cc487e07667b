// The markup drawn with GDI into a memory bitmap and read back pixel by
// pixel.
#include "html_drawer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "cexdib.h"

namespace {

using namespace brevant;

constexpr COLORREF kWhite = RGB(255, 255, 255);

class MarkupDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dib_.Create(kWidth, kHeight));
    const RECT all = {0, 0, kWidth, kHeight};
    fw::ScopedGdiObject white(CreateSolidBrush(kWhite));
    FillRect(dib_.dc(), &all, static_cast<HBRUSH>(white.get()));
  }
  void Draw(const std::string& text) { drawer_.Draw(dib_.dc(), text, RECT{0, 0, kWidth, kHeight}); }
  COLORREF Pixel(int x, int y) {
    const PixelView pixels = dib_.Pixels();
    return FromPixel(pixels.pixels[y * pixels.width + x]);
  }
  int Count(COLORREF colour, int top = 0, int bottom = kHeight) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < kWidth; ++x) count += Pixel(x, y) == colour ? 1 : 0;
    return count;
  }
  // Pixels of text drawn in `colour` over white, smoothed edges included:
  // those nearer to it than to white and to black.
  int CountNear(COLORREF colour) {
    int count = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) count += Near(Pixel(x, y), colour) ? 1 : 0;
    return count;
  }
  static int Distance(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
  }
  static bool Near(COLORREF pixel, COLORREF colour) {
    return Distance(pixel, colour) < Distance(pixel, kWhite) && Distance(pixel, colour) < Distance(pixel, 0) &&
           Distance(pixel, colour) < 200;
  }
  int RowsWith(COLORREF colour) {
    int rows = 0;
    for (int y = 0; y < kHeight; ++y) rows += Count(colour, y, y + 1) > 0 ? 1 : 0;
    return rows;
  }

  static constexpr int kWidth = 200, kHeight = 60;
  CCeXDib dib_;
  CPPHtmlDrawer drawer_;
};

TEST_F(MarkupDrawing, TextInTheColourTheMarkupAsksFor) {
  Draw("<font color=#ff0000>XXXX</font> <font color=lime>XXXX</font>");
  EXPECT_GT(CountNear(RGB(255, 0, 0)), 20);
  EXPECT_GT(CountNear(RGB(0, 255, 0)), 20);
  EXPECT_EQ(CountNear(RGB(0, 0, 0)), 0) << "no text in the body's black";
  SetUp();
  drawer_.SetColourless(true, RGB(0, 0, 160));
  Draw("<font color=red>XXXX</font>");
  EXPECT_GT(CountNear(RGB(0, 0, 160)), 20) << "colourless drawing";
  EXPECT_EQ(CountNear(RGB(255, 0, 0)), 0);
}

TEST_F(MarkupDrawing, ARuleOfTheGivenThicknessAcrossTheWidth) {
  Draw("<hr size=3 color=blue>");
  EXPECT_EQ(RowsWith(RGB(0, 0, 255)), 3);
  EXPECT_EQ(Count(RGB(0, 0, 255)), 3 * kWidth);
  SetUp();
  Draw("<hr width=50% size=1 color=blue>");
  EXPECT_EQ(Count(RGB(0, 0, 255)), kWidth / 2);
}

TEST_F(MarkupDrawing, AGradientCellRunsFromItsStartToItsEndColour) {
  Draw("<table cellpadding=0 width=100%><tr><td height=40 bgcolor=#ff0000 bgendcolor=#0000ff bgeffect=hgradient>"
       "</td></tr></table>");
  EXPECT_EQ(Pixel(0, 10), RGB(255, 0, 0));
  const COLORREF end = Pixel(kWidth - 1, 10);
  EXPECT_LE(GetRValue(end), 3);
  EXPECT_GE(GetBValue(end), 252);
}

TEST_F(MarkupDrawing, MeasuresWhatItDraws) {
  const std::string text = "<b>Heading</b><br>line one<br><font color=red>line two</font>";
  const SIZE size = drawer_.Measure(dib_.dc(), text);
  EXPECT_GT(size.cx, 30);
  EXPECT_GE(size.cy, 3 * 10);
  EXPECT_LT(size.cy, kHeight);
  Draw(text);
  int lowest = 0;
  for (int y = 0; y < kHeight; ++y)
    if (Count(kWhite, y, y + 1) != kWidth) lowest = y;
  EXPECT_LT(lowest, size.cy) << "nothing drawn below the measured height";
}

TEST_F(MarkupDrawing, LinksAreHitAndMessagesReachTheHandler) {
  std::string received;
  drawer_.SetMessageHandler([&](const std::string& message) { received = message; });
  Draw("<a msg=\"open pin help\">XXXXXXXXXX</a>");
  const int link = drawer_.LinkAt(POINT{5, 5});
  ASSERT_EQ(link, 0);
  EXPECT_EQ(drawer_.LinkAt(POINT{kWidth - 2, 5}), -1);
  EXPECT_TRUE(drawer_.FollowLink(link));
  EXPECT_EQ(received, "open pin help");
  EXPECT_FALSE(drawer_.FollowLink(1));
  EXPECT_GT(CountNear(RGB(0, 0, 255)), 20) << "a:link is blue";
}

}  // namespace
