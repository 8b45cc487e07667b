// Owners for windows, menus, icons, image lists, hooks, device contexts and
// GDI objects.
#pragma once
#include <windows.h>
#include <commctrl.h>

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
struct IconTraits {  // LoadImage without LR_SHARED, CreateIcon...: never a shared icon
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DestroyIcon(h); }
};
struct ImageListTraits {
  using Type = HIMAGELIST;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ImageList_Destroy(h); }
};
struct HookTraits {  // SetWindowsHookEx
  using Type = HHOOK;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { UnhookWindowsHookEx(h); }
};

using ScopedWindow = Scoped<WindowTraits>;
using ScopedMemoryDc = Scoped<MemoryDcTraits>;
using ScopedGdiObject = Scoped<GdiObjectTraits>;
using ScopedMenu = Scoped<MenuTraits>;
using ScopedIcon = Scoped<IconTraits>;
using ScopedImageList = Scoped<ImageListTraits>;
using ScopedHook = Scoped<HookTraits>;

// The device context of one WM_PAINT: BeginPaint here, EndPaint when it
// goes.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() {
    if (dc_ != nullptr) EndPaint(window_, &paint_);
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  PAINTSTRUCT paint_ = {};
  HDC dc_;
};

// A window's device context (the screen's for a null window): GetDC here,
// ReleaseDC when it goes.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// Restores a DC's objects, colours, modes and clipping when a drawing is
// done, on every path.
class SavedDcState {
 public:
  explicit SavedDcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  SavedDcState(const SavedDcState&) = delete;
  SavedDcState& operator=(const SavedDcState&) = delete;
  ~SavedDcState() {
    if (saved_ != 0) RestoreDC(dc_, saved_);
  }

 private:
  HDC dc_;
  int saved_;
};

}  // namespace fw
