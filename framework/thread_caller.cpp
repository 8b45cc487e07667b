#include "thread_caller.h"

#include <bcrypt.h>

namespace fw {
namespace {

const wchar_t kClassName[] = L"fw.ThreadCaller";
const UINT kRunWork = WM_APP + 1;

bool RegisterCallerClass(WNDPROC procedure) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kClassName;
  return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

ThreadCaller::ThreadCaller() : owner_thread_(GetCurrentThreadId()) {
  if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&cookie_), sizeof cookie_,
                      BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
    return;
  if (!RegisterCallerClass(&WindowProc)) return;
  window_.reset(CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                nullptr));
  if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

bool ThreadCaller::Call(const std::function<void()>& work) const {
  if (!window_.valid()) return false;
  if (GetCurrentThreadId() == owner_thread_) {
    work();
    return true;
  }
  // A sent message is run by the owner inside its next message retrieval,
  // one at a time, and the sender waits for it: the work's references stay
  // valid and no two pieces of work overlap.
  return SendMessageW(window_.get(), kRunWork, cookie_, reinterpret_cast<LPARAM>(&work)) != 0;
}

LRESULT CALLBACK ThreadCaller::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kRunWork) return DefWindowProcW(window, message, wparam, lparam);
  const auto* self = reinterpret_cast<const ThreadCaller*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || wparam != self->cookie_) return 0;  // not sent by Call
  try {
    (*reinterpret_cast<const std::function<void()>*>(lparam))();
    return 1;
  } catch (...) {
    return 0;  // exceptions never cross the window procedure
  }
}

}  // namespace fw
