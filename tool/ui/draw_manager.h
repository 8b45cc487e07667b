// Background fills and picture drawing for the tooltip and its markup.
#pragma once
#include <windows.h>

// Drawing variants of a picture, as the markup's `style` letters set them.
enum PictureStyle : unsigned {
  kPictureGrey = 1,      // "g": drawn in shades of grey
  kPictureDisabled = 2,  // "d": the disabled look
  kPictureLight = 4,     // "l": lightened
};

struct PictureShadow {
  int dx = 0;  // offsets; 0 and 0: no shadow
  int dy = 0;
  bool soft = true;  // soft: blurred and faded; hard: one flat dark copy
  int darkness = 50;  // percent
};

class CPPDrawManager {
 public:
  // Fills `rect` of `dc` with an effect (numbers of draw_effects.h) through
  // an in-memory bitmap; transparent leaves `dc` untouched.
  void FillEffect(HDC dc, int effect, const RECT& rect, COLORREF start, COLORREF middle, COLORREF end) const;

  // Draws `bitmap` stretched to width x height at (x, y). With `use_mask`,
  // pixels of `mask` stay transparent. `style` combines PictureStyle bits.
  // The shadow (when its offsets are not 0) goes below and to the right of
  // the picture, shaped like its opaque pixels.
  void DrawBitmap(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, bool use_mask, COLORREF mask,
                  unsigned style, const PictureShadow& shadow) const;
  // The same for an icon (its own mask gives the transparency).
  void DrawIcon(HDC dc, int x, int y, int width, int height, HICON icon, unsigned style,
                const PictureShadow& shadow) const;
};
