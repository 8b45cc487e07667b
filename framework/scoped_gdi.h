// Owners for windows, memory DCs, GDI objects and menus.
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

struct MenuTraits {
  using Type = HMENU;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DestroyMenu(h); }
};

using ScopedWindow = Scoped<WindowTraits>;
using ScopedMemoryDc = Scoped<MemoryDcTraits>;
using ScopedGdiObject = Scoped<GdiObjectTraits>;
using ScopedMenu = Scoped<MenuTraits>;

}  // namespace fw
