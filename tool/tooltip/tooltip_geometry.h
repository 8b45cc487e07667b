// Where a tooltip goes and what its outline is: a body with rounded corners
// and a pointing tail whose tip is at the point the tooltip is for, turned
// to the side that keeps the window inside the work area. Portable.
#pragma once

#include "html_layout.h"

namespace brevant {

// In pixels at 96 DPI; ScaledShape gives them at a window's DPI.
struct TooltipShape {
  int corner = 16;       // width and height of the corners' ellipses
  int tail_width = 16;
  int tail_height = 16;
  int tail_inset = 12;   // from the body's corner to the tail
  int margin_x = 12;     // around the text
  int margin_y = 12;
  int shadow_dx = 6;
  int shadow_dy = 6;
};

struct TooltipPoint {
  int x = 0;
  int y = 0;
};

struct TooltipGeometry {
  HtmlRect window;  // in screen coordinates
  // The rest in window coordinates.
  HtmlRect body;
  HtmlRect text;
  TooltipPoint tail[3];  // two on the body's edge, then the tip
  bool tail_below = false;  // the body is above the point
  bool tail_right = false;  // the tail near the body's right corner
};

TooltipShape ScaledShape(const TooltipShape& shape, int dpi);

// `text` is the size of the text, `point` the screen point the tail shows
// at, `work_area` the screen's work area.
TooltipGeometry PlaceTooltip(HtmlSize text, TooltipPoint point, const HtmlRect& work_area, const TooltipShape& shape);

}  // namespace brevant
