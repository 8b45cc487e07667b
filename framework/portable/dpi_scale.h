// Sizes given in pixels at 96 DPI (100 %), at another DPI: portable, so
// layouts can be worked out and tested without a window.
#pragma once

namespace fw {

inline constexpr int kDefaultDpi = 96;

// `pixels` at `dpi`, rounded to the nearest pixel (halves away from zero).
constexpr int ScaleToDpi(int pixels, int dpi) {
  const long long scaled = static_cast<long long>(pixels) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + kDefaultDpi / 2) / kDefaultDpi
                                      : (scaled - kDefaultDpi / 2) / kDefaultDpi);
}

}  // namespace fw
