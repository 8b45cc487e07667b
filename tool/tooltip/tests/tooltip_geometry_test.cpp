// Where the tooltip goes: its tail's tip on the point, turned so that the
// window stays on the screen.
#include "tooltip_geometry.h"

#include <gtest/gtest.h>

namespace {

TEST(TooltipGeometry, TheTailPointsAtThePointFromTheSideThatFits) {
  const brevant::HtmlRect screen = {0, 0, 1024, 768};
  const brevant::TooltipShape shape;
  struct Case {
    int x, y;
    bool below, right;
  };
  for (const Case c : {Case{100, 100, false, false}, Case{100, 740, true, false}, Case{1000, 100, false, true},
                       Case{1000, 740, true, true}}) {
    const auto g = brevant::PlaceTooltip({200, 50}, {c.x, c.y}, screen, shape);
    EXPECT_EQ(g.tail_below, c.below) << c.x << "," << c.y;
    EXPECT_EQ(g.tail_right, c.right) << c.x << "," << c.y;
    EXPECT_EQ(g.window.left + g.tail[2].x, c.x);
    EXPECT_EQ(g.window.top + g.tail[2].y, c.y);
    EXPECT_EQ(g.body.right - g.body.left, 224) << "margins of 12 on each side";
    EXPECT_EQ(g.window.bottom - g.window.top, 74 + 16 + 6) << "body, tail and shadow";
    const int from_corner = c.right ? g.body.right - g.tail[1].x : g.tail[0].x - g.body.left;
    EXPECT_EQ(from_corner, 12);
    EXPECT_EQ(g.tail[1].x - g.tail[0].x, 16);
    EXPECT_TRUE(g.window.left >= 0 && g.window.top >= 0 && g.window.right <= screen.right &&
                g.window.bottom <= screen.bottom)
        << "stays on the screen";
  }
}

}  // namespace
