// An otherwise empty module: the control's loading rule takes the library from
// the folder of the module that asks.
#include <windows.h>

extern "C" __declspec(dllexport) int ProbeModule() { return 1; }
