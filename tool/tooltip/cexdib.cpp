#include "cexdib.h"

#include <algorithm>
#include <cstddef>

namespace brevant {

CCeXDib::~CCeXDib() { Release(); }

void CCeXDib::Release() {
  // A bitmap still selected into a DC cannot be deleted: put the DC's own
  // one back first.
  if (dc_ && previous_) SelectObject(dc_.get(), previous_);
  previous_ = nullptr;
  bitmap_.reset();
  dc_.reset();
  bits_ = nullptr;
  width_ = 0;
  height_ = 0;
}

bool CCeXDib::Create(int width, int height) {
  Release();
  if (width <= 0 || height <= 0 || width > kMaxPixelSide || height > kMaxPixelSide) return false;
  dc_.reset(CreateCompatibleDC(nullptr));
  if (!dc_) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 first, as PixelView has it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_ || !bits) {
    Release();
    return false;
  }
  previous_ = SelectObject(dc_.get(), bitmap_.get());
  if (!previous_ || previous_ == HGDI_ERROR) {
    previous_ = nullptr;
    Release();
    return false;
  }
  bits_ = static_cast<std::uint32_t*>(bits);
  width_ = width;
  height_ = height;
  std::fill_n(bits_, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  return true;
}

PixelView CCeXDib::Pixels() {
  if (!valid()) return {};
  GdiFlush();
  return {bits_, width_, height_};
}

bool CCeXDib::CopyFrom(HDC source, int x, int y) {
  return valid() && source && BitBlt(dc_.get(), 0, 0, width_, height_, source, x, y, SRCCOPY);
}

bool CCeXDib::Draw(HDC target, int x, int y) const {
  return valid() && target && BitBlt(target, x, y, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

}  // namespace brevant
