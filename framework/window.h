// The window layer every window of the suite stands on (the tray tool, the
// control, the bridge, the thread hand-over): an object bound to its HWND for
// the window's lifetime, messages routed to virtual handlers, windows of our
// own classes, subclassed controls, notifications reflected to the object
// that owns the child, timers.
//
// Binding: the object is stored in a window property when the window is made
// (WM_NCCREATE; dialogs: WM_INITDIALOG; controls: Subclass) and taken away at
// WM_NCDESTROY, after which hwnd() is null and FromHandle finds nothing. No
// message reaches an object after that.
//
// Modules: the framework is linked statically into each program and DLL, and
// every copy works for its own module. Its window classes are registered
// under that module's instance and its dialog templates are that module's
// resources, so the control DLL's classes never clash with a program's of
// the same name; a window's binding is seen only by the copy that made it.
#pragma once
#include <windows.h>

#include <string>

namespace fw {

// The module this copy of the framework is linked into: the program, or the
// DLL (for a program, the same as GetModuleHandle(nullptr)).
HINSTANCE ThisModule();

// The text of any window, in the ANSI code page.
std::string WindowTextOf(HWND window);

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  // Destroys a window that is still alive, so that no message can reach a
  // destroyed object.
  virtual ~Window();

  HWND hwnd() const { return hwnd_; }
  // Whether `window` is this window or one of its children: what a message
  // filter of this window may act on (a dialog over it, or a message box,
  // keeps its own keys).
  bool IsSelfOrChild(HWND window) const {
    return hwnd_ != nullptr && window != nullptr && (window == hwnd_ || ::IsChild(hwnd_, window));
  }
  static Window* FromHandle(HWND window);

  // A window of a class registered with RegisterWindowClass.
  bool Create(const wchar_t* class_name, const char* title, DWORD style, DWORD ex_style, const RECT& bounds,
              HWND parent, HMENU menu_or_id = nullptr);
  // Takes over an existing control: what the object does not handle goes to
  // the control's own procedure. Undone when the control is destroyed.
  bool Subclass(HWND control);
  bool Destroy();

  // Timers of this window; they end with it. An object without a window
  // starts none: SetTimer would make a timer of the thread instead, with an
  // id of its own choosing, that nobody stops.
  bool StartTimer(UINT_PTR id, UINT period_ms) {
    return hwnd_ != nullptr && ::SetTimer(hwnd_, id, period_ms, nullptr) != 0;
  }
  void StopTimer(UINT_PTR id) {
    if (hwnd_ != nullptr) ::KillTimer(hwnd_, id);
  }

  // Centres the window over its owner when that is visible, else over the
  // work area, without sizing it.
  void CenterWindow() const;
  std::string Text() const { return WindowTextOf(hwnd_); }
  void SetText(const std::string& text) const { ::SetWindowTextA(hwnd_, text.c_str()); }

 protected:
  // Every message first comes here; true when handled (`result` is then the
  // answer). The default routes to the typed handlers below.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  // What the window does with a message its object did not handle: the
  // subclassed control's procedure, else DefWindowProc (dialogs: the dialog
  // manager's handling).
  virtual LRESULT DefaultHandling(UINT message, WPARAM wparam, LPARAM lparam);

  // Typed handlers; each returns true when it handled the message.
  virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
  virtual bool OnTimer(UINT_PTR /*id*/) { return false; }
  virtual bool OnNotify(int /*id*/, NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
  // A parent's notification about this (child) window, reflected to it
  // before the parent's own handlers see it.
  virtual bool OnReflectedCommand(int /*code*/) { return false; }
  virtual bool OnReflectedDrawItem(DRAWITEMSTRUCT& /*item*/) { return false; }
  // The last message: the window is gone, the object may be reused.
  virtual void OnFinalMessage() {}

  // Binds the object to `window` (first message of the window), and lets go
  // of it (last message).
  void Attach(HWND window);
  void Detach();
  // Routes one message of a bound window: reflection, then OnMessage, then
  // the default. `handled` tells a dialog whether to answer for it.
  LRESULT Route(UINT message, WPARAM wparam, LPARAM lparam, bool& handled);

 private:
  friend LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM);
  static bool Reflect(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

  HWND hwnd_ = nullptr;
  WNDPROC original_proc_ = nullptr;  // subclassed controls only
};

// Registers a window class of this module whose windows are served by
// Window objects; true when it exists afterwards (registered now or before).
bool RegisterWindowClass(const wchar_t* class_name, UINT style = 0, HCURSOR cursor = nullptr,
                         HBRUSH background = nullptr, HICON icon = nullptr);

// Unregisters the classes RegisterWindowClass registered. A DLL calls it when
// it is unloaded: its classes would otherwise outlive it, pointing at a window
// procedure that is no longer there. A class that still has windows stays;
// true when none is left.
bool UnregisterWindowClasses();

}  // namespace fw
