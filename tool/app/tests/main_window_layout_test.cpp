// The main window's layout at other DPIs: every place and size follows the
// DPI, and 96 DPI keeps the pixel values the window has always had.
#include "main_window_layout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using brevant::Box;
using brevant::LayOutMainWindow;
using brevant::MainWindowMeasuresAt;

std::vector<int> Numbers(const brevant::MainWindowLayout& l) {
  std::vector<int> numbers;
  std::vector<Box> boxes = {l.banner, l.button_frame, l.tree, l.key_frame};
  boxes.insert(boxes.end(), l.buttons.begin(), l.buttons.end());
  for (const Box& b : boxes) numbers.insert(numbers.end(), {b.x, b.y, b.width, b.height});
  numbers.insert(numbers.end(), {l.window.width, l.window.height});
  return numbers;
}

TEST(MainWindowLayout, FollowsTheDpi) {
  const std::vector<int> at96 = Numbers(LayOutMainWindow({}));
  EXPECT_EQ(Numbers(LayOutMainWindow(MainWindowMeasuresAt(96))), at96);
  EXPECT_EQ(at96.back(), 245 + 179) << "the window's height at 96 DPI";
  for (const int dpi : {120, 144, 168, 192}) {
    const std::vector<int> scaled = Numbers(LayOutMainWindow(MainWindowMeasuresAt(dpi)));
    ASSERT_EQ(scaled.size(), at96.size());
    for (std::size_t i = 0; i < at96.size(); ++i) {
      // Each measure is rounded on its own: a sum of a few is off by a pixel or two.
      EXPECT_LE(std::abs(scaled[i] * 96 - at96[i] * dpi), 3 * 96) << "number " << i << " at " << dpi << " DPI";
      if (dpi == 192) EXPECT_EQ(scaled[i], 2 * at96[i]) << "number " << i;
    }
  }
}

}  // namespace
