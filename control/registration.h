// Registration of the control as an in-process server and scriptable,
// safe-for-scripting control, machine-wide or for the current user.
#pragma once
#include <windows.h>

namespace kestrine {

HRESULT RegisterControl(HMODULE module, bool per_user);
HRESULT UnregisterControl(HMODULE module, bool per_user);

}  // namespace kestrine
