// The bitmap resource of a picture drawn at a display scale
// (picture_scales.h, make_artwork.py). A scale no picture is drawn at gets
// the 100 % picture: callers pass PictureScaleFor(dpi), which is always one
// of kPictureScales.
#pragma once

#include "resource.h"

namespace brevant {

// The key and certificate images of the main window's tree, two square
// images side by side, ScaleToDpi(16, PictureDpi(scale)) pixels each.
constexpr int TreeImagesFor(int scale_percent) {
  switch (scale_percent) {
    case 125: return IDB_TREE_IMAGES_125;
    case 150: return IDB_TREE_IMAGES_150;
    case 200: return IDB_TREE_IMAGES_200;
    default: return IDB_TREE_IMAGES;
  }
}

// The popup's background (280 x 133 at 100 %).
constexpr int PopupBackgroundFor(int scale_percent) {
  switch (scale_percent) {
    case 125: return IDB_POPUP_BACKGROUND_125;
    case 150: return IDB_POPUP_BACKGROUND_150;
    case 200: return IDB_POPUP_BACKGROUND_200;
    default: return IDB_POPUP_BACKGROUND;
  }
}

}  // namespace brevant
