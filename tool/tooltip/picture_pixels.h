// A picture's pixels recoloured for its drawing variants, its shadow and its
// blending onto a background, all on blocks of pixels. Portable: the draw
// manager reads the picture and the background out of GDI and puts the
// result back.
#pragma once
#include <cstdint>
#include <span>

#include "draw_effects.h"

namespace brevant {

// Drawing variants of a picture, as the markup's `style` letters set them.
enum PictureStyle : unsigned {
  kPictureGrey = 1,      // "g": drawn in shades of grey
  kPictureDisabled = 2,  // "d": the disabled look
  kPictureLight = 4,     // "l": lightened
};

// A picture of `pixels.width` x `pixels.height` and the opacity of each of
// its pixels, 0 (not drawn) to 255, one byte each in the same order. Not
// owned. Usable when the view is and `alpha` holds exactly one byte a pixel.
struct PictureView {
  PixelView pixels;
  std::span<std::uint8_t> alpha;
};
bool UsablePicture(const PictureView& picture);

// A picture drawn once over black (`on_black`) and once over white, as GDI
// blends it (an icon with its mask or its alpha): `on_black` becomes the
// picture's own colours and its opacity is read from the difference.
// Nothing happens when the sizes differ.
void OpacityFromBackgrounds(PictureView on_black, const PixelView& on_white);

// Grey: each pixel its luminance. Disabled: the platform's embossed look,
// the picture's dark pixels in `shadow` over a copy of them one pixel
// down and right in `highlight`, nothing else (opacity changes with it).
// Light: halfway to white. Applied in that order.
void ApplyPictureStyle(PictureView picture, unsigned style, std::uint32_t shadow, std::uint32_t highlight);

// Darkens `canvas` under the shadow of `picture` placed with its top-left at
// (x, y) of the canvas: `darkness` percent where the picture is opaque,
// blurred over `blur` pixels around its edges when `blur` > 0 (held within
// 0..kMaxShadowBlur). Clipped to the canvas.
constexpr int kMaxShadowBlur = 8;
void DarkenUnderShadow(PixelView canvas, int x, int y, const PictureView& picture, int blur, int darkness);

// Blends `picture` by its opacity onto `canvas` with its top-left at
// (x, y), clipped to the canvas.
void BlendPicture(PixelView canvas, int x, int y, const PictureView& picture);

}  // namespace brevant
