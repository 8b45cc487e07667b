// Owners for windows, memory DCs and GDI objects.
#pragma once
#include <windows.h>

#include "scoped_handle.h"

namespace fw {

struct WindowTraits {
  using Type = HWND;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DestroyWindow(h); }
};
struct MemoryDcTraits {  // CreateCompatibleDC
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DeleteDC(h); }
};
struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DeleteObject(h); }
};

using ScopedWindow = Scoped<WindowTraits>;
using ScopedMemoryDc = Scoped<MemoryDcTraits>;
using ScopedGdiObject = Scoped<GdiObjectTraits>;

}  // namespace fw
