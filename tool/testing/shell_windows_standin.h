// The shell window list a test puts in place of the shell's own (see
// shell_windows_standin.cpp): where it reads its windows from and the
// handles it gives them.
#pragma once
#include <windows.h>

namespace standin {

// Under the shell window list's class key (HKEY_CLASSES_ROOT\CLSID\{...}):
// REG_MULTI_SZ, the address of each browser window, in list order.
inline constexpr wchar_t kWindowAddressesValue[] = L"BrowserWindowAddresses";
// Window i of the list reports this handle plus i. No such window exists:
// the handles only tell the windows apart.
inline constexpr LONG_PTR kFirstWindowHandle = 0x5100;

}  // namespace standin
