#include "tooltip_geometry.h"

#include <algorithm>

#include "dpi_scale.h"

namespace brevant {

TooltipShape ScaledShape(const TooltipShape& shape, int dpi) {
  TooltipShape scaled = shape;
  for (int* measure : {&scaled.corner, &scaled.tail_width, &scaled.tail_height, &scaled.tail_inset, &scaled.margin_x,
                       &scaled.margin_y, &scaled.shadow_dx, &scaled.shadow_dy})
    *measure = fw::ScaleToDpi(*measure, dpi);
  return scaled;
}

TooltipGeometry PlaceTooltip(HtmlSize text, TooltipPoint point, const HtmlRect& work_area, const TooltipShape& shape) {
  TooltipGeometry geometry;
  const int body_width = std::max(text.width, 0) + 2 * shape.margin_x;
  const int body_height = std::max(text.height, 0) + 2 * shape.margin_y;
  const int shadow_x = std::max(shape.shadow_dx, 0), shadow_y = std::max(shape.shadow_dy, 0);
  const int width = body_width + shadow_x;
  const int height = body_height + shape.tail_height + shadow_y;

  // Below the point with the tail on the left, unless that leaves the work
  // area: then above, or with the tail on the right.
  geometry.tail_below = point.y + height > work_area.bottom && point.y - height >= work_area.top;
  const int tip_x = shape.tail_inset;
  geometry.tail_right = point.x - tip_x + width > work_area.right && point.x - (body_width - tip_x) >= work_area.left;

  const int body_top = geometry.tail_below ? 0 : shape.tail_height;
  geometry.body = {0, body_top, body_width, body_top + body_height};
  geometry.text = {shape.margin_x, body_top + shape.margin_y, body_width - shape.margin_x,
                   body_top + body_height - shape.margin_y};

  const int base_y = geometry.tail_below ? body_height : body_top;
  const int tip_y = geometry.tail_below ? body_height + shape.tail_height : 0;
  if (geometry.tail_right) {
    const int edge = body_width - shape.tail_inset;
    geometry.tail[0] = {edge - shape.tail_width, base_y};
    geometry.tail[1] = {edge, base_y};
    geometry.tail[2] = {edge, tip_y};
  } else {
    geometry.tail[0] = {shape.tail_inset, base_y};
    geometry.tail[1] = {shape.tail_inset + shape.tail_width, base_y};
    geometry.tail[2] = {shape.tail_inset, tip_y};
  }
  const int left = point.x - geometry.tail[2].x;
  const int top = point.y - geometry.tail[2].y;
  geometry.window = {left, top, left + width, top + height};
  return geometry;
}

}  // namespace brevant
