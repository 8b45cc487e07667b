// The tool's key monitor on its own device table, tray icon and main window.
#pragma once
#include <windows.h>

namespace brevant {

// The window the monitor's messages and the icon's notifications go to.
// On the user-interface thread, before StartKeyMonitor.
void PublishMainWindow(HWND window);
// The hidden window of the tray icon, made on the calling thread, then the
// start-up scan and the library's callbacks.
void StartKeyMonitor();
// Program end, on the user-interface thread: no event is handled after it,
// and the icon goes.
void StopKeyMonitor();

int PresentKeyCount();
bool TakeArrivalFlag();

}  // namespace brevant
