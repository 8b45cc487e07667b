#include "main_window_layout.h"

#include "dpi_scale.h"

namespace brevant {

MainWindowLayout LayOutMainWindow(const MainWindowMeasures& m) {
  MainWindowLayout layout;
  layout.banner = {0, 0, m.banner.width, m.banner.height};
  for (std::size_t i = 0; i < kColumnButtons; ++i)
    layout.buttons[i] = {m.button_x, m.first_button_y + m.button_step * static_cast<int>(i), m.button.width,
                         m.button.height};
  const int column_height = m.button_step * static_cast<int>(kColumnButtons) + m.column_spare;
  layout.button_frame = {m.button_frame_x, m.column_top, m.button_frame_width, column_height};
  layout.tree = {m.tree_x, m.column_top, m.tree_width, column_height - m.tree_shortfall};
  layout.key_frame = {m.key_frame_x, m.key_frame_y, m.key_frame_width, column_height + m.key_frame_excess};
  layout.window = {m.window_width, column_height + m.window_excess};
  return layout;
}

MainWindowMeasures MainWindowMeasuresAt(int dpi) {
  const auto at = [dpi](int pixels) { return fw::ScaleToDpi(pixels, dpi); };
  const auto extent_at = [&at](Extent e) { return Extent{at(e.width), at(e.height)}; };
  MainWindowMeasures m;
  m.banner = extent_at(m.banner);
  m.button = extent_at(m.button);
  for (int* measure : {&m.button_x, &m.first_button_y, &m.button_step, &m.column_spare, &m.column_top,
                       &m.button_frame_x, &m.button_frame_width, &m.tree_x, &m.tree_width, &m.tree_shortfall,
                       &m.key_frame_x, &m.key_frame_y, &m.key_frame_width, &m.key_frame_excess, &m.window_width,
                       &m.window_excess})
    *measure = at(*measure);
  return m;
}

std::string BannerFileName(int scale_percent) {
  if (scale_percent == 100) return "QZR_logo.bmp";
  return "QZR_logo_" + std::to_string(scale_percent) + ".bmp";
}

}  // namespace brevant
