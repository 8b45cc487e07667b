// The DPI a window is drawn at, and what Windows gives for it. The program
// declares itself per-monitor aware: on Windows 10 and later a window's DPI
// is its monitor's and changes when it is moved (WM_DPICHANGED); before that,
// and where the per-monitor functions are missing, it is the system's.
#pragma once
#include <windows.h>

#include "dpi_scale.h"

namespace fw {

int SystemDpi();
int WindowDpi(HWND window);
// GetSystemMetrics at `dpi` (the system's value where Windows cannot say).
int SystemMetricAt(int index, int dpi);
// The icon fonts and message fonts of the system at `dpi`.
bool NonClientMetricsAt(NONCLIENTMETRICSW& metrics, int dpi);
// WM_DPICHANGED: puts the window where Windows suggests (lParam).
void MoveToSuggestedRect(HWND window, LPARAM suggested);

}  // namespace fw
