#include "draw_manager.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cexdib.h"
#include "draw_effects.h"
#include "scoped_gdi.h"

namespace brevant {

namespace {

// GDI's own limit on logical coordinates; beyond it sums of positions and
// sizes could overflow.
constexpr long long kMaxCoordinate = 1 << 27;

bool InReach(long long x, long long y) {
  return x >= -kMaxCoordinate && x <= kMaxCoordinate && y >= -kMaxCoordinate && y <= kMaxCoordinate;
}

bool UsableSize(long long width, long long height) {
  return width > 0 && height > 0 && width <= kMaxPixelSide && height <= kMaxPixelSide;
}

// Palette-index flags in a COLORREF mean nothing to a 32-bit bitmap.
HtmlColour RgbOf(COLORREF colour) { return colour & 0xFFFFFFu; }

// Selects an object into a DC for a scope and puts the previous one back.
class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;
  ~ScopedSelection() {
    if (selected()) SelectObject(dc_, previous_);
  }
  bool selected() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A picture read out of GDI at the size it is drawn, with its opacity.
struct Picture {
  CCeXDib pixels;
  std::vector<std::uint8_t> alpha;
  PictureView View() { return {pixels.Pixels(), alpha}; }
};

bool ReadBitmap(Picture& picture, HBITMAP bitmap, int width, int height, bool use_mask, COLORREF mask) {
  BITMAP info = {};
  if (!bitmap || GetObjectW(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0)
    return false;
  fw::ScopedMemoryDc source(CreateCompatibleDC(nullptr));
  if (!source || !picture.pixels.Create(width, height)) return false;
  const ScopedSelection selected(source.get(), bitmap);  // fails while the caller has it selected
  if (!selected.selected()) return false;
  // Nearest pixels only: blending would smear the mask colour into its
  // neighbours and leave a fringe around the picture.
  SetStretchBltMode(picture.pixels.dc(), COLORONCOLOR);
  if (!StretchBlt(picture.pixels.dc(), 0, 0, width, height, source.get(), 0, 0, info.bmWidth, info.bmHeight,
                  SRCCOPY))
    return false;
  const PixelView view = picture.pixels.Pixels();
  picture.alpha.assign(static_cast<std::size_t>(width) * height, 255);
  if (use_mask) {
    const std::uint32_t key = ToPixel(RgbOf(mask));
    for (std::size_t i = 0; i < picture.alpha.size(); ++i)
      if ((view.pixels[i] & 0xFFFFFFu) == key) picture.alpha[i] = 0;
  }
  return true;
}

// The icon drawn over black and over white: what differs is its mask (and
// any alpha it has), what stays is its colour.
bool ReadIcon(Picture& picture, HICON icon, int width, int height) {
  CCeXDib on_white;
  if (!icon || !picture.pixels.Create(width, height) || !on_white.Create(width, height)) return false;
  FillEffect(on_white.Pixels(), kEffectSolid, 0xFFFFFFu, 0, 0);
  if (!DrawIconEx(picture.pixels.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL) ||
      !DrawIconEx(on_white.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL))
    return false;
  picture.alpha.assign(static_cast<std::size_t>(width) * height, 0);
  OpacityFromBackgrounds(picture.View(), on_white.Pixels());
  return true;
}

// The picture and its shadow onto what `dc` shows at (x, y): read back,
// darkened, blended, put back in one copy.
void Compose(HDC dc, int x, int y, Picture& picture, unsigned style, const PictureShadow& shadow) {
  const PictureView view = picture.View();
  ApplyPictureStyle(view, style, ToPixel(RgbOf(GetSysColor(COLOR_3DSHADOW))),
                             ToPixel(RgbOf(GetSysColor(COLOR_3DHILIGHT))));
  const int dx = std::clamp(shadow.dx, -PictureShadow::kMaxOffset, PictureShadow::kMaxOffset);
  const int dy = std::clamp(shadow.dy, -PictureShadow::kMaxOffset, PictureShadow::kMaxOffset);
  const bool shaded = dx != 0 || dy != 0;
  // A longer shadow is a softer one.
  const int blur = shaded && shadow.soft ? std::clamp(std::max(std::abs(dx), std::abs(dy)) / 2 + 1, 1, 4) : 0;
  RECT area = {x, y, x + view.pixels.width, y + view.pixels.height};
  if (shaded) {
    const RECT shade = {area.left + dx - blur, area.top + dy - blur, area.right + dx + blur, area.bottom + dy + blur};
    UnionRect(&area, &area, &shade);
  }
  CCeXDib canvas;
  if (!canvas.Create(area.right - area.left, area.bottom - area.top) || !canvas.CopyFrom(dc, area.left, area.top))
    return;
  const PixelView pixels = canvas.Pixels();
  if (shaded) DarkenUnderShadow(pixels, x + dx - area.left, y + dy - area.top, view, blur, shadow.darkness);
  BlendPicture(pixels, x - area.left, y - area.top, view);
  canvas.Draw(dc, area.left, area.top);
}

}  // namespace

void CPPDrawManager::FillEffect(HDC dc, int effect, const RECT& rect, COLORREF start, COLORREF middle,
                                COLORREF end) const {
  const long long width = static_cast<long long>(rect.right) - rect.left;
  const long long height = static_cast<long long>(rect.bottom) - rect.top;
  if (!dc || effect == kEffectTransparent || !UsableSize(width, height) || !InReach(rect.left, rect.top))
    return;
  CCeXDib block;
  if (!block.Create(static_cast<int>(width), static_cast<int>(height))) return;
  brevant::FillEffect(block.Pixels(), effect, RgbOf(start), RgbOf(middle), RgbOf(end));
  block.Draw(dc, rect.left, rect.top);
}

void CPPDrawManager::DrawBitmap(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, bool use_mask,
                                COLORREF mask, unsigned style, const PictureShadow& shadow) const {
  if (!dc || !UsableSize(width, height) || !InReach(x, y)) return;
  Picture picture;
  if (ReadBitmap(picture, bitmap, width, height, use_mask, mask)) Compose(dc, x, y, picture, style, shadow);
}

void CPPDrawManager::DrawIcon(HDC dc, int x, int y, int width, int height, HICON icon, unsigned style,
                              const PictureShadow& shadow) const {
  if (!dc || !UsableSize(width, height) || !InReach(x, y)) return;
  Picture picture;
  if (ReadIcon(picture, icon, width, height)) Compose(dc, x, y, picture, style, shadow);
}

}  // namespace brevant
