#include "dpi.h"

#include "scoped_gdi.h"

namespace fw {
namespace {

// Present from Windows 10, version 1607.
template <typename Fn>
Fn User32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

}  // namespace

int SystemDpi() {
  const WindowDc screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : kDefaultDpi;
}

int WindowDpi(HWND window) {
  static const auto for_window = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  const UINT dpi = for_window != nullptr && window != nullptr ? for_window(window) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

int SystemMetricAt(int index, int dpi) {
  static const auto for_dpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (for_dpi != nullptr) return for_dpi(index, static_cast<UINT>(dpi));
  return GetSystemMetrics(index);
}

bool NonClientMetricsAt(NONCLIENTMETRICSW& metrics, int dpi) {
  static const auto for_dpi = User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  metrics = {};
  metrics.cbSize = sizeof metrics;
  if (for_dpi != nullptr) return for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi) != FALSE;
  return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) != FALSE;
}

void MoveToSuggestedRect(HWND window, LPARAM suggested) {
  const RECT* rect = reinterpret_cast<const RECT*>(suggested);
  if (rect == nullptr) return;
  SetWindowPos(window, nullptr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace fw
