// Background fills and picture drawing for the tooltip and its markup.
#pragma once
#include <windows.h>

#include "picture_pixels.h"

namespace brevant {

struct PictureShadow {
  int dx = 0;  // offsets, positive: below and to the right; 0 and 0: no
  int dy = 0;  // shadow; held within +-kMaxOffset
  bool soft = true;  // soft: blurred and faded; hard: one flat dark copy
  int darkness = 50;  // percent
  static constexpr int kMaxOffset = 64;
};

class CPPDrawManager {
 public:
  // Fills `rect` of `dc` with an effect (numbers of draw_effects.h) through
  // an in-memory bitmap; transparent leaves `dc` untouched, and so does a
  // rect empty or wider or higher than kMaxPixelSide.
  void FillEffect(HDC dc, int effect, const RECT& rect, COLORREF start, COLORREF middle, COLORREF end) const;

  // Draws `bitmap` stretched to width x height at (x, y). With `use_mask`,
  // pixels of `mask` stay transparent. `style` combines PictureStyle bits.
  // The shadow (when its offsets are not 0) goes below and to the right of
  // the picture, shaped like its opaque pixels, by darkening what `dc`
  // already shows there. Nothing is drawn for a missing picture, a size not
  // positive, or a picture and shadow together wider or higher than
  // kMaxPixelSide.
  void DrawBitmap(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, bool use_mask, COLORREF mask,
                  unsigned style, const PictureShadow& shadow) const;
  // The same for an icon (its own mask gives the transparency).
  void DrawIcon(HDC dc, int x, int y, int width, int height, HICON icon, unsigned style,
                const PictureShadow& shadow) const;
};

}  // namespace brevant
