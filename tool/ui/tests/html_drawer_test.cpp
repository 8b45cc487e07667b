// The markup drawn with GDI into a memory bitmap and read back pixel by
// pixel.
#include "html_drawer.h"

#include <gtest/gtest.h>

#include "cexdib.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

class Drawing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dib_.Create(kWidth, kHeight));
    const RECT all = {0, 0, kWidth, kHeight};
    fw::ScopedGdiObject white(CreateSolidBrush(kWhite));
    FillRect(dib_.dc(), &all, static_cast<HBRUSH>(white.get()));
  }
  void Draw(const std::string& text) { drawer_.Draw(dib_.dc(), text, RECT{0, 0, kWidth, kHeight}); }
  COLORREF Pixel(int x, int y) {
    const brevant::PixelView pixels = dib_.Pixels();
    return brevant::FromPixel(pixels.pixels[y * pixels.width + x]);
  }
  int Count(COLORREF colour, int top = 0, int bottom = kHeight) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < kWidth; ++x) count += Pixel(x, y) == colour ? 1 : 0;
    return count;
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

TEST_F(Drawing, TextInTheColourTheMarkupAsksFor) {
  Draw("<font color=#ff0000>XXXX</font> <font color=lime>XXXX</font>");
  EXPECT_GT(Count(RGB(255, 0, 0)), 20);
  EXPECT_GT(Count(RGB(0, 255, 0)), 20);
  EXPECT_EQ(Count(RGB(0, 0, 0)), 0) << "no text in the body's black";
  drawer_.SetColourless(true, RGB(128, 128, 128));
  Draw("<font color=red>XXXX</font>");
  EXPECT_GT(Count(RGB(128, 128, 128)), 20) << "colourless drawing";
}

TEST_F(Drawing, ARuleOfTheGivenThicknessAcrossTheWidth) {
  Draw("<hr size=3 color=blue>");
  EXPECT_EQ(RowsWith(RGB(0, 0, 255)), 3);
  EXPECT_EQ(Count(RGB(0, 0, 255)), 3 * kWidth);
  SetUp();
  Draw("<hr width=50% size=1 color=blue>");
  EXPECT_EQ(Count(RGB(0, 0, 255)), kWidth / 2);
}

TEST_F(Drawing, AGradientCellRunsFromItsStartToItsEndColour) {
  Draw("<table cellpadding=0 width=100%><tr><td height=40 bgcolor=#ff0000 bgendcolor=#0000ff bgeffect=hgradient>"
       "</td></tr></table>");
  EXPECT_EQ(Pixel(0, 10), RGB(255, 0, 0));
  const COLORREF end = Pixel(kWidth - 1, 10);
  EXPECT_LE(GetRValue(end), 3);
  EXPECT_GE(GetBValue(end), 252);
}

TEST_F(Drawing, MeasuresWhatItDraws) {
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

TEST_F(Drawing, LinksAreHitAndMessagesReachTheHandler) {
  std::string received;
  drawer_.SetMessageHandler([&](const std::string& message) { received = message; });
  Draw("<a msg=\"open pin help\">XXXXXXXXXX</a>");
  const int link = drawer_.LinkAt(POINT{5, 5});
  ASSERT_EQ(link, 0);
  EXPECT_EQ(drawer_.LinkAt(POINT{kWidth - 2, 5}), -1);
  EXPECT_TRUE(drawer_.FollowLink(link));
  EXPECT_EQ(received, "open pin help");
  EXPECT_FALSE(drawer_.FollowLink(1));
  EXPECT_GT(Count(RGB(0, 0, 255)), 20) << "a:link is blue";
}

}  // namespace
