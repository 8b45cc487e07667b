// The scales the tool's pictures are drawn at (make_artwork.py), and the one
// a window at a given DPI shows: the largest not above the window's scale,
// so a picture is never stretched by a fraction; at least 100 %. A picture
// made at a scale is the 96-DPI picture's size at that DPI, rounded as
// fw::ScaleToDpi rounds.
#pragma once

namespace brevant {

inline constexpr int kPictureScales[] = {100, 125, 150, 200};  // percent

constexpr int PictureDpi(int scale_percent) { return scale_percent * 96 / 100; }

constexpr int PictureScaleFor(int dpi) {
  int chosen = kPictureScales[0];
  for (const int scale : kPictureScales)
    if (PictureDpi(scale) <= dpi) chosen = scale;
  return chosen;
}

}  // namespace brevant
