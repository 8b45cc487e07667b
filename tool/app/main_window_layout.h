// Where the main window's controls go, worked out from its measures: the
// banner at the top, the column of buttons on the right in its frame, the
// key tree on the left, the frame around both, and the window's size.
#pragma once
#include <array>
#include <cstddef>
#include <string>

namespace brevant {

inline constexpr std::size_t kColumnButtons = 5;

struct Extent {
  int width = 0;
  int height = 0;
};
struct Box {  // client pixels
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The measures in pixels at 96 DPI. The column's height (that of the
// buttons' frame) is a step per button and `column_spare`; the tree, the key
// frame and the window take their heights from it.
struct MainWindowMeasures {
  Extent banner{425, 114};  // at the client's origin
  int button_x = 265;
  int first_button_y = 145;
  int button_step = 45;  // from one button's top to the next one's
  Extent button{135, 25};
  int column_spare = 20;
  int column_top = 133;  // of the buttons' frame and of the tree
  int button_frame_x = 235;
  int button_frame_width = 155;
  int tree_x = 15;
  int tree_width = 230;
  int tree_shortfall = 8;  // the tree is the column's height less this
  int key_frame_x = 8;
  int key_frame_y = 114;
  int key_frame_width = 402;
  int key_frame_excess = 17;  // the key frame is the column's height and this
  int window_width = 425;
  int window_excess = 179;  // the window is the column's height and this
};

struct MainWindowLayout {
  Box banner;
  std::array<Box, kColumnButtons> buttons;  // from the top
  Box button_frame;
  Box tree;
  Box key_frame;
  Extent window;
};

MainWindowLayout LayOutMainWindow(const MainWindowMeasures& measures);

// The measures at `dpi`, each scaled from its 96-DPI value.
MainWindowMeasures MainWindowMeasuresAt(int dpi);

// The banner beside the program drawn for a picture scale (percent):
// "QZR_logo.bmp" at 100 %, "QZR_logo_150.bmp" at 150 %.
std::string BannerFileName(int scale_percent);

}  // namespace brevant
