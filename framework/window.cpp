#include "window.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "text.h"

// The image base of the module being linked, supplied by the linker.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace fw {
namespace {

// The window property that binds a window to its object, one per module, so
// that no module's FromHandle hands out (or reflects to) another module's
// object. An array, which has nothing to destroy: objects destroyed at exit
// still let go of their windows through it.
const wchar_t* ObjectProperty() {
  static const std::array<wchar_t, 40> name = [] {
    const std::wstring text = L"fw.Window." + std::to_wstring(reinterpret_cast<std::uintptr_t>(ThisModule()));
    std::array<wchar_t, 40> kept = {};
    text.copy(kept.data(), kept.size() - 1);
    return kept;
  }();
  return name.data();
}

// The classes RegisterWindowClass registered, for UnregisterWindowClasses.
struct RegisteredClasses {
  std::mutex lock;
  std::vector<std::wstring> names;
};

RegisteredClasses& Registered() {
  static RegisteredClasses classes;
  return classes;
}

}  // namespace

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    if (auto* object = static_cast<Window*>(create->lpCreateParams)) object->Attach(window);
  }
  Window* object = Window::FromHandle(window);
  if (object == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  bool handled = false;
  const LRESULT result = object->Route(message, wparam, lparam, handled);
  if (message == WM_NCDESTROY) {
    object->Detach();
    object->OnFinalMessage();
  }
  return result;
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* object = Window::FromHandle(window);
  if (object == nullptr) return DefWindowProcW(window, message, wparam, lparam);  // cannot happen: bound first
  if (message == WM_NCDESTROY) {
    // The control's own procedure gets its last message after we let go.
    const WNDPROC original = object->original_proc_;
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    object->Detach();
    object->OnFinalMessage();
    return CallWindowProcW(original, window, message, wparam, lparam);
  }
  bool handled = false;
  return object->Route(message, wparam, lparam, handled);
}

Window::~Window() {
  if (hwnd_ == nullptr) return;
  if (original_proc_ != nullptr) {
    // A control outliving its object goes back to its own procedure.
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_proc_));
    Detach();
  } else {
    // Our own window: it must not outlive the object its messages go to.
    const HWND window = hwnd_;
    Detach();
    DestroyWindow(window);
  }
}

Window* Window::FromHandle(HWND window) {
  return window != nullptr ? static_cast<Window*>(GetPropW(window, ObjectProperty())) : nullptr;
}

void Window::Attach(HWND window) {
  hwnd_ = window;
  SetPropW(window, ObjectProperty(), this);
}

void Window::Detach() {
  if (hwnd_ != nullptr) RemovePropW(hwnd_, ObjectProperty());
  hwnd_ = nullptr;
  original_proc_ = nullptr;
}

bool Window::Create(const wchar_t* class_name, const char* title, DWORD style, DWORD ex_style, const RECT& bounds,
                    HWND parent, HMENU menu_or_id) {
  if (hwnd_ != nullptr) return false;
  const std::wstring wide_title = AnsiToWide(title != nullptr ? title : "");
  return CreateWindowExW(ex_style, class_name, wide_title.c_str(), style, bounds.left, bounds.top,
                         bounds.right - bounds.left, bounds.bottom - bounds.top, parent, menu_or_id,
                         ThisModule(), this) != nullptr;
}

bool Window::Subclass(HWND control) {
  if (hwnd_ != nullptr || control == nullptr || FromHandle(control) != nullptr) return false;
  Attach(control);
  original_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
  if (original_proc_ == nullptr) {
    Detach();
    return false;
  }
  return true;
}

bool Window::Destroy() { return hwnd_ != nullptr && DestroyWindow(hwnd_); }

std::string WindowTextOf(HWND window) {
  const int length = window != nullptr ? GetWindowTextLengthW(window) : 0;
  if (length <= 0) return {};
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  return WideToAnsi(std::wstring_view(text.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0));
}

void Window::CenterWindow() const {
  RECT window = {};
  if (!GetWindowRect(hwnd_, &window)) return;
  RECT area = {};
  const HWND owner = GetWindow(hwnd_, GW_OWNER);
  if (owner == nullptr || !IsWindowVisible(owner) || IsIconic(owner) || !GetWindowRect(owner, &area))
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int x = area.left + ((area.right - area.left) - width) / 2;
  const int y = area.top + ((area.bottom - area.top) - height) / 2;
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::Reflect(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == WM_COMMAND && lparam != 0) {
    Window* child = FromHandle(reinterpret_cast<HWND>(lparam));
    if (child != nullptr && child->OnReflectedCommand(HIWORD(wparam))) {
      result = 0;
      return true;
    }
  } else if (message == WM_DRAWITEM && lparam != 0) {
    auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
    Window* child = item.CtlType == ODT_MENU ? nullptr : FromHandle(item.hwndItem);
    if (child != nullptr && child->OnReflectedDrawItem(item)) {
      result = TRUE;
      return true;
    }
  }
  return false;
}

LRESULT Window::Route(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
  LRESULT result = 0;
  handled = Reflect(message, wparam, lparam, result) || OnMessage(message, wparam, lparam, result);
  // A handler that destroyed the window leaves nothing to hand the message to.
  if (!handled && hwnd_ != nullptr) result = DefaultHandling(message, wparam, lparam);
  return result;
}

bool Window::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
      result = 0;
      return OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
    case WM_TIMER:
      result = 0;
      return OnTimer(wparam);
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      return header != nullptr && OnNotify(static_cast<int>(header->idFrom), *header, result);
    }
    default:
      return false;
  }
}

LRESULT Window::DefaultHandling(UINT message, WPARAM wparam, LPARAM lparam) {
  if (original_proc_ != nullptr) return CallWindowProcW(original_proc_, hwnd_, message, wparam, lparam);
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

bool RegisterWindowClass(const wchar_t* class_name, UINT style, HCURSOR cursor, HBRUSH background, HICON icon) {
  const HINSTANCE instance = ThisModule();
  RegisteredClasses& registered = Registered();
  const std::lock_guard<std::mutex> hold(registered.lock);
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, class_name, &existing)) return existing.lpfnWndProc == &WindowProc;
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.style = style;
  window_class.lpfnWndProc = &WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hCursor = cursor != nullptr ? cursor : LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  window_class.hbrBackground = background;
  window_class.lpszClassName = class_name;
  if (RegisterClassExW(&window_class) == 0) return false;
  registered.names.emplace_back(class_name);
  return true;
}

bool UnregisterWindowClasses() {
  RegisteredClasses& registered = Registered();
  const std::lock_guard<std::mutex> hold(registered.lock);
  std::erase_if(registered.names,
                [](const std::wstring& name) { return UnregisterClassW(name.c_str(), ThisModule()) != FALSE; });
  return registered.names.empty();
}

}  // namespace fw
