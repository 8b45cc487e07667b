// An in-memory 32-bit device-independent bitmap with its own memory device
// context: effects write its pixels directly, GDI draws into and out of it.
#pragma once
#include <windows.h>

#include "draw_effects.h"
#include "scoped_gdi.h"

namespace brevant {

class CCeXDib {
 public:
  CCeXDib() = default;
  CCeXDib(const CCeXDib&) = delete;
  CCeXDib& operator=(const CCeXDib&) = delete;
  ~CCeXDib();

  // A new top-down bitmap of this size (the old one is released), its
  // pixels 0; false, and nothing held, when a side is not positive or beyond
  // kMaxPixelSide or GDI refuses.
  bool Create(int width, int height);
  bool valid() const { return bits_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  // The memory device context with the bitmap selected, for GDI drawing.
  HDC dc() const { return dc_.get(); }
  // The pixels; call GdiFlush (done here) before reading after GDI drew.
  // Empty when there is no bitmap.
  PixelView Pixels();

  // Copies the bitmap's size from `source` at (x, y) into the bitmap.
  // False without a bitmap or when GDI refuses.
  bool CopyFrom(HDC source, int x, int y);
  // Draws the whole bitmap at (x, y) of `target`.
  bool Draw(HDC target, int x, int y) const;

 private:
  void Release();
  fw::ScopedMemoryDc dc_;
  fw::ScopedGdiObject bitmap_;  // deselected by Release before it goes
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace brevant
