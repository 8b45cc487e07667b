// Tests drive windows from a second thread, the way a user or an
// accessibility tool does, while the window's own thread runs its loop.
#pragma once
#include <windows.h>

#include <functional>
#include <thread>

namespace fw::testing {

// The visible top-level window of `class_name` with `title`, waited for up
// to 5 s. Visible: a dialog is shown once its initialisation is over.
inline HWND WaitForWindow(const wchar_t* class_name, const wchar_t* title) {
  for (int i = 0; i < 500; ++i) {
    HWND found = FindWindowW(class_name, title);
    if (found != nullptr && IsWindowVisible(found)) return found;
    Sleep(10);
  }
  return nullptr;
}

// Runs `drive` on its own thread against the window once it is up; joins on
// destruction.
class WindowDriver {
 public:
  WindowDriver(const wchar_t* class_name, const wchar_t* title, std::function<void(HWND)> drive)
      : thread_([class_name, title, drive = std::move(drive)] {
          if (HWND window = WaitForWindow(class_name, title)) drive(window);
        }) {}
  WindowDriver(const WindowDriver&) = delete;
  WindowDriver& operator=(const WindowDriver&) = delete;
  ~WindowDriver() { thread_.join(); }

 private:
  std::thread thread_;
};

// A child's rectangle in its parent's client coordinates.
inline RECT ChildRect(HWND parent, int id) {
  RECT rect = {};
  const HWND child = GetDlgItem(parent, id);
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace fw::testing
